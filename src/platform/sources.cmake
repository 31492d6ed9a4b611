list(APPEND QUILLON_CORE_SOURCES
  platform/MessagePort.cpp
  platform/Ports.cpp
  platform/RegistryValue.cpp
  platform/StepJsonLines.cpp
  platform/StepObserver.cpp
)
