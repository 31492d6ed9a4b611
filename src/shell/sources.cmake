list(APPEND QUILLON_CORE_SOURCES
  shell/RunWizard.cpp
)
