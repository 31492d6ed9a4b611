#pragma once
// A readable UTF-8 text form of profile files, for authoring and inspection:
//
//   # a comment (whole lines only)
//   section "7 - templates"
//     S "Name.R" "Англо-русский"
//     I "Size" 1024
//     B "Hidden" 1
//     H "Blob" 00ff1a
//     H "Empty" ""
//
// A "section" line starts a new section (also when a section of that name came before); the
// entry lines after it belong to it. Names and S values are quoted; inside quotes \" \\ \n \r
// \t and \uXXXX (a BMP character other than NUL or a surrogate) are escapes, every other
// character stands for itself. I is a signed 32-bit decimal, B is 0 or 1, H an even number of
// hex digits (or "" for no bytes). Blank lines and indentation do not matter.
//
// The printed form lists sections and entries in the order they were added (the file's order),
// so compiling it rebuilds an equal store, index order included.
#include "descriptions/XCryptedProfile2.h"

#include <string>
#include <string_view>

namespace quillon {

struct ProfileTextError {
    int line = 0;     // 1-based
    std::string what; // "unterminated string", ...
};

// Adds the sections and entries of `text` to `store` (an empty one). On the first error answers
// false with its line and reason; `store` is then to be discarded.
bool ParseProfileText(std::string_view text, CXCryptedProfile2& store, ProfileTextError& error);

// The text form of a store.
std::string PrintProfileText(const CXCryptedProfile2& store);

// {"sections":[{"name":…,"entries":[{"name":…,"type":"S","value":…}]}]} in index order; H values
// as lower-case hex strings, I and B values as numbers, S values as strings.
std::string PrintProfileJson(const CXCryptedProfile2& store);

} // namespace quillon
