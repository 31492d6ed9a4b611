#pragma once
// Installs the POSIX adapters as the process's ports (front ends call this first thing).
#include "platform/posix/HiveRegistry.h"
#include "platform/posix/LibraryObjectFactory.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/ProcProcessList.h"

namespace quillon::posix {

// The adapters installed by InstallPosixPorts, for callers that need more than the port
// (the hive's error text, in-process class registration).
struct PosixAdapters {
    HiveRegistry registry{HiveRegistry::DefaultPath()};
    LibraryObjectFactory objects;
    PosixFileSystem files;
    ProcProcessList processes;
};

// The process's adapters (created on first use; installing them is InstallPosixPorts's job).
PosixAdapters& Adapters();

// Installs registry, objects, files and processes; messages are the front end's to install.
// Safe to call more than once; answers the same adapters.
PosixAdapters& InstallPosixPorts();

} // namespace quillon::posix
