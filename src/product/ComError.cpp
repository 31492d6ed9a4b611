#include "product/ComError.h"

#include "support/Format.h"
#include "support/Strings.h"

#include <cstdio>

namespace quillon {

std::string HResultText(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

std::string ServiceErrorText(HRESULT hr) {
    std::string pattern = LoadString(57355);
    if (const auto dot = pattern.find('.'); dot != std::string::npos)
        pattern.replace(dot, 1, ": %X");
    return FormatText(pattern, {static_cast<std::int64_t>(static_cast<std::uint32_t>(hr))});
}

ComError::ComError(HRESULT hr, std::string description)
    : std::runtime_error(description.empty() ? "service error " + HResultText(hr) : description),
      hr_(hr), description_(what()) {}

} // namespace quillon
