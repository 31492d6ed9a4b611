#include "platform/posix/PosixPorts.h"

#include "platform/Ports.h"

namespace quillon::posix {

PosixAdapters& Adapters() {
    static PosixAdapters adapters;
    return adapters;
}

PosixAdapters& InstallPosixPorts() {
    PosixAdapters& adapters = Adapters();
    Ports& ports = CurrentPorts();
    ports.registry = &adapters.registry;
    ports.objects = &adapters.objects;
    ports.files = &adapters.files;
    ports.processes = &adapters.processes;
    return adapters;
}

} // namespace quillon::posix
