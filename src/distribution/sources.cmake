list(APPEND QUILLON_CORE_SOURCES
  distribution/FormatGroupedNumber.cpp
)
