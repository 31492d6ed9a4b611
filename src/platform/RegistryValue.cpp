#include "platform/RegistryStore.h"
#include "support/Text.h"

namespace quillon {

RegistryValue RegistryValue::String(std::string_view utf8) {
    return {static_cast<std::uint32_t>(RegistryType::String), Utf8ToUtf16LeBytes(utf8, true)};
}

RegistryValue RegistryValue::Dword(std::uint32_t value) {
    return {static_cast<std::uint32_t>(RegistryType::Dword),
            {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
             static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
}

RegistryValue RegistryValue::Binary(std::vector<std::uint8_t> bytes) {
    return {static_cast<std::uint32_t>(RegistryType::Binary), std::move(bytes)};
}

} // namespace quillon
