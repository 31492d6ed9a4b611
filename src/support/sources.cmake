list(APPEND QUILLON_CORE_SOURCES
  support/AutoAnswers.cpp
  support/CommandLine.cpp
  support/Crc32.cpp
  support/ReadUpTo.cpp
  support/Format.cpp
  support/Guid.cpp
  support/Json.cpp
  support/Messages.cpp
  support/Strings.cpp
  support/Text.cpp
  support/Version.cpp
)
list(APPEND QUILLON_CORE_SOURCES
  support/AtomicFile.cpp
  support/CompoundFile.cpp
  support/CompoundFileWriter.cpp
  support/Storage.cpp
)
