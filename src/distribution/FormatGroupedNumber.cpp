#include "distribution/FormatGroupedNumber.h"

namespace quillon {

std::string FormatGroupedNumber(std::uint64_t number) {
    const std::string digits = std::to_string(number);
    std::string grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    const std::size_t lead = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    grouped.append(digits, 0, lead);
    for (std::size_t i = lead; i < digits.size(); i += 3) {
        grouped.push_back(',');
        grouped.append(digits, i, 3);
    }
    return grouped;
}

} // namespace quillon
