list(APPEND QUILLON_CORE_SOURCES
  descriptions/LanguageDirections.cpp
)
