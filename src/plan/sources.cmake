list(APPEND QUILLON_CORE_SOURCES
  plan/InstallPlan.cpp
  plan/PackedFileCheck.cpp
)
