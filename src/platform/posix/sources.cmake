set(QUILLON_PLATFORM_SOURCES
  platform/posix/AppendOnlyFile.cpp
  platform/posix/HiveDocument.cpp
  platform/posix/HiveRegistry.cpp
  platform/posix/LibraryObjectFactory.cpp
  platform/posix/PosixAdministrator.cpp
  platform/posix/PosixFileSystem.cpp
  platform/posix/PosixPorts.cpp
  platform/posix/ProcProcessList.cpp
  platform/posix/QmCatalogue.cpp
)
# Installed, the catalogues are architecture-independent data (docs/packages.md).
set_source_files_properties(platform/posix/QmCatalogue.cpp PROPERTIES
  COMPILE_DEFINITIONS QUILLON_DATA_DIR="${CMAKE_INSTALL_FULL_DATADIR}/quillon")
