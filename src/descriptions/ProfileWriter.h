#pragma once
// Writes a profile store as a profile file: the record stream in the order the sections and
// entries were added (read or built), wrapped in the container of ProfileContainer.h. Loading
// the result gives a store that answers every query as the written one does, index order
// included.
#include "descriptions/XCryptedProfile2.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// The whole file image. Answers false (with a message in `error` when given) when a count or a
// length does not fit the format's 32 bits.
bool WriteProfileImage(const CXCryptedProfile2& store, std::vector<std::uint8_t>& image,
                       std::string* error = nullptr);

// Writes the file image to `path`: into a temporary file beside it, then renamed over `path`,
// so a failure leaves no half-written file (and an existing file at `path` unchanged).
bool SaveProfileFile(const CXCryptedProfile2& store, const std::string& path,
                     std::string* error = nullptr);

} // namespace quillon
