list(APPEND QUILLON_CORE_SOURCES
  distribution/FormatGroupedNumber.cpp
  distribution/KldoInifileManager.cpp
  distribution/MountTable.cpp
  distribution/SourceSearch.cpp
)
