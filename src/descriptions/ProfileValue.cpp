#include "descriptions/ProfileValue.h"

#include "support/Text.h"

namespace quillon {

bool IsProfileType(int code) {
    return code == kTypeBool || code == kTypeBytes || code == kTypeInt || code == kTypeString;
}

std::string NormalizeProfileText(std::string_view text) {
    const auto nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    bool ascii = true;
    for (const char c : text)
        ascii &= static_cast<unsigned char>(c) < 0x80;
    if (ascii) // nothing to replace: the common case, kept cheap for large files
        return std::string(text);
    return Utf16ToUtf8(Utf8ToUtf16(text));
}

CProfileValue CProfileValue::Bool(bool value) {
    CProfileValue v;
    v.type_ = kTypeBool;
    v.number_ = value ? 1 : 0;
    return v;
}

CProfileValue CProfileValue::Int(std::int32_t value) {
    CProfileValue v;
    v.type_ = kTypeInt;
    v.number_ = value;
    return v;
}

CProfileValue CProfileValue::String(std::string_view text) {
    CProfileValue v;
    v.type_ = kTypeString;
    v.text_ = NormalizeProfileText(text);
    return v;
}

CProfileValue CProfileValue::Bytes(std::vector<std::uint8_t> bytes) {
    CProfileValue v;
    v.type_ = kTypeBytes;
    v.bytes_ = std::move(bytes);
    return v;
}

} // namespace quillon
