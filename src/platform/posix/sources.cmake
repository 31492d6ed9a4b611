set(QUILLON_PLATFORM_SOURCES
  platform/posix/HiveDocument.cpp
  platform/posix/HiveRegistry.cpp
  platform/posix/LibraryObjectFactory.cpp
  platform/posix/PosixFileSystem.cpp
  platform/posix/PosixPorts.cpp
  platform/posix/ProcProcessList.cpp
)
