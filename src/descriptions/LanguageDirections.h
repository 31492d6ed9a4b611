#pragma once
// Language directions: the 32-bit direction identifier, its two-letter code ("ER"), its Russian
// pair name ("Англо-русский"), and the map of directions the installed kernel supports.
//
// Identifier: the source language's bit in the low 16 bits, the target language's bit in the
// high 16 bits, exactly one bit in each half; 0 = no valid direction. English to Russian is
// 0x00020001. Letters: E English, R Russian, G German, F French, I Italian, S Spanish,
// P Portuguese, L Polish, D Dutch (source bits 1, 2, 4, ... 256 in that order).
#include "product/KernelService.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace quillon {

using DirectionId = std::uint32_t;

// Adjective form of a pair name.
enum class PairForm : int {
    Masculine = 0, // "Англо-русский"
    Feminine = 1,  // "Англо-русская"
    Plural = 2,    // "Англо-русские"
};

// Direction identifier -> direction name as the kernel reports it. Keys are the identifiers
// read as signed 32-bit numbers; use IsDirectionInstalled for lookups.
using InstalledDirections = std::map<std::int32_t, std::string>;

// "ER", "er", "ERX" -> 0x00020001. 0 when the first or the second character is not a letter of
// the table (a text shorter than two characters included); characters after the second are
// ignored.
DirectionId DirectionFromCode(std::string_view code);

// 0x00020001 -> "ER". Empty when either half is not exactly one language of the table.
std::string CodeFromDirection(DirectionId id);

// The display name through the string table: template 1018 ("%s-%s") with the source prefix
// (1019-1023, 57362, 57346-57348) and the target adjective (1024-1028, 57363, 57349-57351),
// "кий" turned into "кая" (feminine) or "кие" (plural). Empty when either half is not exactly
// one language of the table. Equal languages are allowed ("Голландско-голландский").
std::string PairName(DirectionId id, PairForm form);

// True when `id` is a key of `directions`.
bool IsDirectionInstalled(const InstalledDirections& directions, DirectionId id);

// The directions the kernel supports, asked through `connection`, the process-wide kernel
// connection (the caller passes the slot that holds it). When the slot is empty the kernel
// service is created (clsid::KernelService, any server context) and logged in with
// (1, "RAVIRI", 1); on success the slot keeps it, on failure it stays empty and the answer is
// an EMPTY map (every item then counts as unsupported).
// Answers nullptr when the kernel reports 0 directions, or when asking for the count or a
// direction raises an error (ComError or any other exception). A direction whose status is a
// failure or whose identifier is 0 is left out; a later direction with the same identifier
// replaces the earlier one's name.
std::unique_ptr<InstalledDirections>
GetInstalledDirections(std::shared_ptr<KernelService>& connection);

} // namespace quillon
