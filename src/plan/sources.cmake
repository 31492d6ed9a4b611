list(APPEND QUILLON_CORE_SOURCES
  plan/InstallPlan.cpp
  plan/PackedInspection.cpp
)
