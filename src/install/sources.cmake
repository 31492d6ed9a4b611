list(APPEND QUILLON_CORE_SOURCES
  install/DictFile.cpp
)
