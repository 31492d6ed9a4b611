#include "platform/Ports.h"

#include <stdexcept>

namespace quillon {
namespace {

template <class T>
T& Need(T* port, const char* name) {
    if (!port)
        throw std::logic_error(std::string("port not installed: ") + name);
    return *port;
}

} // namespace

Ports& CurrentPorts() {
    static Ports ports;
    return ports;
}

RegistryStore& Registry() { return Need(CurrentPorts().registry, "registry"); }
MessagePort& Messages() { return Need(CurrentPorts().messages, "messages"); }
ProcessList& Processes() { return Need(CurrentPorts().processes, "processes"); }
ObjectFactory& Objects() { return Need(CurrentPorts().objects, "objects"); }
FileSystemPort& Files() { return Need(CurrentPorts().files, "files"); }

ScopedPorts::ScopedPorts(const Ports& replacement) : saved_(CurrentPorts()) {
    Ports& ports = CurrentPorts();
    if (replacement.registry)
        ports.registry = replacement.registry;
    if (replacement.messages)
        ports.messages = replacement.messages;
    if (replacement.processes)
        ports.processes = replacement.processes;
    if (replacement.objects)
        ports.objects = replacement.objects;
    if (replacement.files)
        ports.files = replacement.files;
    if (replacement.strings)
        ports.strings = replacement.strings;
    if (replacement.steps)
        ports.steps = replacement.steps;
}

ScopedPorts::~ScopedPorts() { CurrentPorts() = saved_; }

} // namespace quillon
