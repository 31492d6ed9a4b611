#pragma once
// The product's language directions: two-letter codes, 32-bit ids (source bit in the low word,
// target bit in the high word) and pair names in the product's interface language (Russian, or
// English). The product keeps its own small table so
// that it depends on nothing of the installer but the service contract.
#include <cstdint>
#include <string>
#include <string_view>

namespace kaldo {

// "ER" -> 0x00020001; 0 for anything that is not two letters of the table (case ignored,
// characters after the second ignored).
std::uint32_t DirectionIdFromCode(std::string_view code);
// 0x00020001 -> "ER"; empty unless each half is exactly one language of the table.
std::string DirectionCode(std::uint32_t id);
// 0x00020001 -> "Англо-русский" (string 1018 with the source prefix and target adjective), or
// "English-Russian" when the product's interface language (`languageId`, "KldoLangID") is
// English; empty for an id that is not a direction.
std::string DirectionName(std::uint32_t id, std::uint32_t languageId = 0x0419);

} // namespace kaldo
