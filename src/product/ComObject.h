#pragma once
// The base of every service object. An object may implement several interfaces (a kernel
// service and its login interface); QueryInterface asks for one of them.
#include <memory>

namespace quillon {

class ComObject {
public:
    virtual ~ComObject() = default;
};

template <class Interface>
std::shared_ptr<Interface> QueryInterface(const std::shared_ptr<ComObject>& object) {
    return std::dynamic_pointer_cast<Interface>(object);
}

} // namespace quillon
