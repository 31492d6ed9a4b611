#pragma once
// One typed value of a profile entry. Type codes are the characters of the profile file:
//   'B' boolean (a 32-bit value holding 0 or 1), 'H' byte string, 'I' signed 32-bit integer,
//   'S' text (UTF-8 here; UTF-16 in the file).
#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

enum ProfileType : char {
    kTypeBool = 'B',
    kTypeBytes = 'H',
    kTypeInt = 'I',
    kTypeString = 'S',
};

// True for the four codes above.
bool IsProfileType(int code);

class CProfileValue {
public:
    static CProfileValue Bool(bool value);
    static CProfileValue Int(std::int32_t value);
    // Text ends at its first NUL (the file's texts are C strings to the reader); invalid UTF-8
    // sequences become U+FFFD, so a written store reads back exactly.
    static CProfileValue String(std::string_view text);
    static CProfileValue Bytes(std::vector<std::uint8_t> bytes);

    char Type() const { return type_; }
    // The 32-bit value of a 'B' or 'I' entry; 0 for other types.
    std::int32_t Number() const { return number_; }
    // The text of an 'S' entry; empty for other types.
    const std::string& Text() const { return text_; }
    // The bytes of an 'H' entry; empty for other types.
    const std::vector<std::uint8_t>& Data() const { return bytes_; }

    bool operator==(const CProfileValue&) const = default;

private:
    char type_ = kTypeInt;
    std::int32_t number_ = 0;
    std::string text_;
    std::vector<std::uint8_t> bytes_;
};

// The form every text of a store is kept in: cut at the first NUL, invalid UTF-8 replaced.
std::string NormalizeProfileText(std::string_view text);

} // namespace quillon
