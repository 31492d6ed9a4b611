#pragma once
// The process-wide set of ports. A front end installs the POSIX adapters at start
// (posix::InstallPosixPorts); a test installs doubles for the scope of a test (ScopedPorts).
#include "platform/FileSystemPort.h"
#include "platform/MessagePort.h"
#include "platform/ObjectFactory.h"
#include "platform/ProcessList.h"
#include "platform/RegistryStore.h"
#include "platform/StepObserver.h"
#include "platform/StringTable.h"

namespace quillon {

struct Ports {
    RegistryStore* registry = nullptr;
    MessagePort* messages = nullptr;
    ProcessList* processes = nullptr;
    ObjectFactory* objects = nullptr;
    FileSystemPort* files = nullptr;
    const StringTable* strings = nullptr; // null: the built-in table
    StepObserver* steps = nullptr;        // null: nothing observes the steps (Steps())
};

Ports& CurrentPorts();

// Each accessor throws std::logic_error when its port was never installed: a wiring fault.
RegistryStore& Registry();
MessagePort& Messages();
ProcessList& Processes();
ObjectFactory& Objects();
FileSystemPort& Files();

// Replaces some ports for its lifetime and restores the previous set afterwards.
class ScopedPorts {
public:
    explicit ScopedPorts(const Ports& replacement);
    ~ScopedPorts();
    ScopedPorts(const ScopedPorts&) = delete;
    ScopedPorts& operator=(const ScopedPorts&) = delete;

private:
    Ports saved_;
};

} // namespace quillon
