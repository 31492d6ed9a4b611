list(APPEND QUILLON_CORE_SOURCES
  shell/MessageFilter.cpp
  shell/RunWizard.cpp
  shell/ServerWait.cpp
  shell/SetupApp.cpp
  shell/TaskbarProgress.cpp
)
