#pragma once
// FormatGroupedNumber: a byte count as the profile page shows it (message 1005 "%s байт"): the
// decimal digits grouped in threes from the right and joined by ",", so 1234567 gives
// "1,234,567" and 0 gives "0".
#include <cstdint>
#include <string>

namespace quillon {

std::string FormatGroupedNumber(std::uint64_t number);

} // namespace quillon
