#include "support/Json.h"

#include "support/Text.h"

#include <cstdio>

namespace quillon {

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        const auto c = static_cast<unsigned char>(ch);
        // Multi-byte characters: invalid UTF-8 (a path's bytes) becomes U+FFFD, so a strict
        // decoder reads the line; the C1 controls are escaped like the C0 ones.
        if (c >= 0x80) {
            const std::size_t n = Utf8SequenceLength(text.substr(i));
            if (n == 0) {
                out += "\\ufffd";
            } else if (n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(text[i + 1]));
                out += escape;
                ++i;
            } else {
                out.append(text.substr(i, n));
                i += n - 1;
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else
                out += ch;
        }
    }
    return out + "\"";
}

} // namespace quillon
