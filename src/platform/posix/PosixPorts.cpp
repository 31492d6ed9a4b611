#include "platform/posix/PosixPorts.h"

#include "platform/Ports.h"

namespace quillon::posix {

PosixAdapters& InstallPosixPorts() {
    static PosixAdapters adapters;
    Ports& ports = CurrentPorts();
    ports.registry = &adapters.registry;
    ports.objects = &adapters.objects;
    ports.files = &adapters.files;
    ports.processes = &adapters.processes;
    return adapters;
}

} // namespace quillon::posix
