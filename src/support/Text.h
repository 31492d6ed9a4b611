#pragma once
// Text helpers shared by every layer. Text inside the installer is UTF-8; the product's services
// and the registry hive speak UTF-16 (little-endian) where Windows would.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// UTF-8 -> UTF-16. Invalid sequences become U+FFFD; never reads past the input.
std::u16string Utf8ToUtf16(std::string_view utf8);
// UTF-16 -> UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// UTF-16LE bytes (no terminator) of a UTF-8 text, and back (stops at the first NUL unit;
// an odd trailing byte is ignored).
std::vector<std::uint8_t> Utf8ToUtf16LeBytes(std::string_view utf8, bool withTerminator);
std::string Utf16LeBytesToUtf8(const std::uint8_t* data, std::size_t size);

// Lower-case folding of ASCII and Cyrillic letters (the scripts of the system's names), as
// used for case-insensitive names: registry keys and values, distribution file names.
std::string FoldCase(std::string_view utf8);
bool EqualsNoCase(std::string_view a, std::string_view b);

// The order of the installer's sorted lists (collections, profiles, directions' collections):
// by the folded text, then by the text itself, so that the window and quillon-cli list alike.
bool ListSortsBefore(std::string_view a, std::string_view b);

// Windows-1251: the ANSI code page of the product's legacy byte fields (dictionary titles).
// Characters without a code become '?'.
std::string Utf8ToCp1251(std::string_view utf8);
std::string Cp1251ToUtf8(std::string_view cp1251);

std::string Trim(std::string_view text);

} // namespace quillon
