#pragma once
// Byte counts as the profile page shows them: decimal digits grouped in threes from the right,
// joined by "," (1234567 -> "1,234,567"; 0 -> "0").
#include <cstdint>
#include <string>

namespace quillon {

std::string FormatGroupedNumber(std::uint64_t value);

} // namespace quillon
