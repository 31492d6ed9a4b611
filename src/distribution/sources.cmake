list(APPEND QUILLON_CORE_SOURCES
  distribution/KldoInifileManager.cpp
  distribution/MountTable.cpp
  distribution/SourceSearch.cpp
)
