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

// The length of the well-formed UTF-8 sequence at the start of `text` (1 to 4), or 0 when its
// first byte does not start one: a stray continuation byte, an overlong form, a surrogate, a
// code point above U+10FFFF, or a sequence cut short.
std::size_t Utf8SequenceLength(std::string_view text);

// A text as a terminal may show it: control characters (C0 — line breaks and tabs included —,
// DEL, and the C1 range U+0080..U+009F, which some terminals take as commands) written as
// "\xHH" / "\u009B", a backslash doubled, invalid UTF-8 bytes as "\xHH". Names from a
// distribution pass through it before any terminal sees them, so no disc can retitle the
// terminal, clear the screen or write a line of its own.
std::string TerminalSafe(std::string_view text);
// The same for a text of several lines: each line escaped, the line breaks kept ("\r\n" as
// "\n").
std::string TerminalSafeLines(std::string_view text);

} // namespace quillon
