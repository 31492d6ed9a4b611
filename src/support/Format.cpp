#include "support/Format.h"

#include <cstdio>
#include <vector>

namespace quillon {
namespace {

std::string IntegerText(std::int64_t v, char conv) {
    char buf[32];
    switch (conv) {
    case 'u':
        std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(v));
        break;
    case 'x':
        std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(v));
        break;
    case 'X':
        std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v));
        break;
    default:
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
        break;
    }
    return buf;
}

} // namespace

std::string FormatText(std::string_view pattern, std::initializer_list<FormatArg> args) {
    const std::vector<FormatArg> list(args);
    std::size_t next = 0;
    std::string out;
    out.reserve(pattern.size() + 32);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 >= pattern.size()) {
            out += c;
            continue;
        }
        std::size_t j = i + 1;
        if (pattern[j] == '%') {
            out += '%';
            i = j;
            continue;
        }
        bool zero = false;
        if (pattern[j] == '0') {
            zero = true;
            ++j;
        }
        std::size_t width = 0;
        while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9' && width < 64)
            width = width * 10 + static_cast<std::size_t>(pattern[j++] - '0');
        while (j < pattern.size() && (pattern[j] == 'l' || pattern[j] == 'h'))
            ++j;
        if (j >= pattern.size()) { // a dangling specifier is kept as text
            out.append(pattern.substr(i));
            break;
        }
        const char conv = pattern[j];
        std::string piece;
        const FormatArg* arg = next < list.size() ? &list[next] : nullptr;
        switch (conv) {
        case 's':
            if (arg)
                piece = std::holds_alternative<std::string>(*arg)
                            ? std::get<std::string>(*arg)
                            : IntegerText(std::get<std::int64_t>(*arg), 'd');
            ++next;
            break;
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
            if (arg)
                piece = std::holds_alternative<std::int64_t>(*arg)
                            ? IntegerText(std::get<std::int64_t>(*arg), conv)
                            : std::get<std::string>(*arg);
            ++next;
            break;
        case 'c':
            if (arg && std::holds_alternative<std::int64_t>(*arg))
                piece = std::string(1, static_cast<char>(std::get<std::int64_t>(*arg)));
            ++next;
            break;
        default: // unknown conversion: keep the text as written
            out.append(pattern.substr(i, j - i + 1));
            i = j;
            continue;
        }
        if (piece.size() < width)
            piece.insert(0, width - piece.size(), zero ? '0' : ' ');
        out += piece;
        i = j;
    }
    return out;
}

} // namespace quillon
