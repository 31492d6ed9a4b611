#include "descriptions/ProfileHashMap.h"

#include "support/Text.h"

namespace quillon {

std::uint32_t ProfileNameHash(std::string_view utf8Name, TextForm form) {
    std::uint32_t h = 0;
    bool ascii = true;
    for (const char c : utf8Name)
        ascii &= static_cast<unsigned char>(c) < 0x80;
    if (ascii) { // one code unit per byte in both forms
        for (const char c : utf8Name)
            h = h * 33u + static_cast<unsigned char>(c);
        return h;
    }
    if (form == TextForm::Wide) {
        for (const char16_t unit : Utf8ToUtf16(utf8Name))
            h = h * 33u + unit;
    } else {
        for (const char byte : Utf8ToCp1251(utf8Name))
            h = h * 33u + static_cast<unsigned char>(byte);
    }
    return h;
}

} // namespace quillon
