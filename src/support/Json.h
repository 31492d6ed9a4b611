#pragma once
// JSON output helpers for the tools' machine-readable results.
#include <string>
#include <string_view>

namespace quillon {

// `text` (UTF-8) as a JSON string literal with its quotes; control characters escaped.
std::string JsonString(std::string_view text);

} // namespace quillon
