list(APPEND QUILLON_CORE_SOURCES
  descriptions/CryptedProfileImpl.cpp
  descriptions/DescriptionFiles.cpp
  descriptions/DictCollectionLoader.cpp
  descriptions/LanguageDirections.cpp
  descriptions/ProfileContainer.cpp
  descriptions/ProfileHashMap.cpp
  descriptions/ProfileRecords.cpp
  descriptions/ProfileText.cpp
  descriptions/ProfileValue.cpp
  descriptions/ProfileWriter.cpp
  descriptions/XCryptedProfile2.cpp
)
