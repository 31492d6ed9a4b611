#include "product/ComError.h"

#include <cstdio>

namespace quillon {

std::string HResultText(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

ComError::ComError(HRESULT hr, std::string description)
    : std::runtime_error(description.empty() ? "service error " + HResultText(hr) : description),
      hr_(hr), description_(what()) {}

} // namespace quillon
