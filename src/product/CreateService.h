#pragma once
// Creates a product service by class id and asks it for the interface the caller needs.
#include "platform/Ports.h"
#include "product/ComError.h"

#include <memory>
#include <string_view>

namespace quillon {

// Throws ComError: what the factory raised, or E_NOINTERFACE when the object lacks Interface.
template <class Interface>
std::shared_ptr<Interface> CreateService(std::string_view clsid, ServerContext context = ServerContext::Any) {
    auto object = Objects().CreateInstance(clsid, context);
    auto typed = QueryInterface<Interface>(object);
    if (!typed)
        throw ComError(E_NOINTERFACE, "the service object lacks the interface asked for");
    return typed;
}

} // namespace quillon
