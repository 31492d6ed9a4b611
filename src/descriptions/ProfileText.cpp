#include "descriptions/ProfileText.h"

#include "support/Json.h"

#include "support/Text.h"

#include <charconv>
#include <cstdio>

namespace quillon {
namespace {

constexpr char kHex[] = "0123456789abcdef";

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

void AppendUnitEscape(std::string& out, unsigned char c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04x", c);
    out += buf;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
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
            if (c < 0x20 || c == 0x7F)
                AppendUnitEscape(out, c);
            else
                out += ch;
        }
    }
    return out + "\"";
}


// One line split into tokens: bare words and quoted strings (unescaped).
struct Token {
    bool quoted = false;
    std::string text;
};

class LineLexer {
public:
    explicit LineLexer(std::string_view line) : line_(line) {}

    // Answers false at the end of the line; `error` is set when a token is malformed.
    bool Next(Token& token, std::string& error) {
        while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t'))
            ++pos_;
        if (pos_ >= line_.size())
            return false;
        token = Token{};
        if (line_[pos_] != '"') {
            const std::size_t start = pos_;
            while (pos_ < line_.size() && line_[pos_] != ' ' && line_[pos_] != '\t' &&
                   line_[pos_] != '"')
                ++pos_;
            token.text = std::string(line_.substr(start, pos_ - start));
            return true;
        }
        token.quoted = true;
        ++pos_;
        while (true) {
            if (pos_ >= line_.size()) {
                error = "unterminated string";
                return false;
            }
            const char c = line_[pos_++];
            if (c == '"')
                return true;
            if (c != '\\') {
                token.text += c;
                continue;
            }
            if (pos_ >= line_.size()) {
                error = "unterminated string";
                return false;
            }
            const char e = line_[pos_++];
            switch (e) {
            case '"':
                token.text += '"';
                break;
            case '\\':
                token.text += '\\';
                break;
            case 'n':
                token.text += '\n';
                break;
            case 'r':
                token.text += '\r';
                break;
            case 't':
                token.text += '\t';
                break;
            case 'u': {
                unsigned code = 0;
                for (int k = 0; k < 4; ++k) {
                    const int v = pos_ < line_.size() ? HexValue(line_[pos_]) : -1;
                    if (v < 0) {
                        error = "\\u needs four hex digits";
                        return false;
                    }
                    code = code * 16 + unsigned(v);
                    ++pos_;
                }
                if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) {
                    error = "\\u escape of NUL or a surrogate";
                    return false;
                }
                token.text += Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(code)));
                break;
            }
            default:
                error = std::string("unknown escape \\") + e;
                return false;
            }
        }
    }

private:
    std::string_view line_;
    std::size_t pos_ = 0;
};

bool ValidUtf8(std::string_view text) {
    return Utf16ToUtf8(Utf8ToUtf16(text)) == text;
}

bool ParseValue(char type, const Token& token, CProfileValue& value, std::string& error) {
    switch (type) {
    case kTypeString:
        if (!token.quoted)
            return error = "S value must be quoted", false;
        value = CProfileValue::String(token.text);
        return true;
    case kTypeInt:
    case kTypeBool: {
        std::int32_t n = 0;
        const char* first = token.text.data();
        const char* last = first + token.text.size();
        const auto [end, ec] = std::from_chars(first, last, n);
        if (token.quoted || token.text.empty() || ec != std::errc() || end != last)
            return error = "bad integer \"" + token.text + "\"", false;
        if (type == kTypeBool && n != 0 && n != 1)
            return error = "B value must be 0 or 1", false;
        value = type == kTypeBool ? CProfileValue::Bool(n != 0) : CProfileValue::Int(n);
        return true;
    }
    case kTypeBytes: {
        if (token.text.size() % 2 != 0)
            return error = "H value needs an even number of hex digits", false;
        std::vector<std::uint8_t> bytes;
        bytes.reserve(token.text.size() / 2);
        for (std::size_t i = 0; i < token.text.size(); i += 2) {
            const int hi = HexValue(token.text[i]);
            const int lo = HexValue(token.text[i + 1]);
            if (hi < 0 || lo < 0)
                return error = "H value holds a non-hex digit", false;
            bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        }
        value = CProfileValue::Bytes(std::move(bytes));
        return true;
    }
    default:
        return error = "unknown type", false;
    }
}

} // namespace

bool ParseProfileText(std::string_view text, CXCryptedProfile2& store, ProfileTextError& error) {
    int lineNo = 0;
    bool inSection = false;
    std::string currentSection;
    auto fail = [&](std::string what) {
        error.line = lineNo;
        error.what = std::move(what);
        return false;
    };
    while (!text.empty() || lineNo == 0) {
        ++lineNo;
        const auto newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!ValidUtf8(line))
            return fail("invalid UTF-8");
        if (line.find('\0') != std::string_view::npos)
            return fail("NUL character");

        LineLexer lexer(line);
        std::vector<Token> tokens;
        std::string lexError;
        for (Token t; lexer.Next(t, lexError);)
            tokens.push_back(std::move(t));
        if (!lexError.empty())
            return fail(lexError);
        if (tokens.empty() || (!tokens[0].quoted && tokens[0].text.starts_with('#')))
            continue;
        if (tokens[0].quoted)
            return fail("expected \"section\" or an entry type (S, I, B, H)");

        const std::string& word = tokens[0].text;
        if (word == "section") {
            if (tokens.size() < 2 || !tokens[1].quoted)
                return fail("section name must be quoted");
            if (tokens.size() > 2)
                return fail("unexpected text after the section name");
            currentSection = NormalizeProfileText(tokens[1].text);
            store.AddSection(currentSection);
            inSection = true;
            continue;
        }
        if (word.size() != 1 || !IsProfileType(word[0]))
            return fail("unknown keyword \"" + word + "\" (expected section, S, I, B or H)");
        if (!inSection)
            return fail("entry before the first section");
        if (tokens.size() < 2 || !tokens[1].quoted)
            return fail("entry name must be quoted");
        if (tokens.size() < 3)
            return fail("entry without a value");
        if (tokens.size() > 3)
            return fail("unexpected text after the value");
        CProfileValue value;
        std::string valueError;
        if (!ParseValue(word[0], tokens[2], value, valueError))
            return fail(valueError);
        store.AddEntry(currentSection, tokens[1].text, value);
    }
    return true;
}

std::string PrintProfileText(const CXCryptedProfile2& store) {
    std::string out = "# Quillon profile text form (quillon-dist profile compile)\n";
    const CCryptedProfileImpl& impl = store.Implementation();
    for (std::size_t s = 0; s < impl.Size(); ++s) {
        const auto* section = impl.AtAdded(s);
        out += "section " + Quote(section->name) + "\n";
        const CCryptedSection& entries = *section->value;
        for (std::size_t e = 0; e < entries.Size(); ++e) {
            const auto* entry = entries.AtAdded(e);
            const CProfileValue& v = *entry->value;
            out += "  ";
            out += v.Type();
            out += " " + Quote(entry->name) + " ";
            switch (v.Type()) {
            case kTypeString:
                out += Quote(v.Text());
                break;
            case kTypeInt:
            case kTypeBool:
                out += std::to_string(v.Number());
                break;
            case kTypeBytes:
                out += v.Data().empty() ? std::string("\"\"") : Hex(v.Data());
                break;
            default:
                break;
            }
            out += "\n";
        }
    }
    return out;
}

std::string PrintProfileJson(const CXCryptedProfile2& store) {
    std::string out = "{\"sections\":[";
    const CCryptedProfileImpl& impl = store.Implementation();
    for (std::size_t s = 0; s < impl.Size(); ++s) {
        const auto* section = impl.AtIndex(s);
        if (s)
            out += ",";
        out += "{\"name\":" + JsonString(section->name) + ",\"entries\":[";
        const CCryptedSection& entries = *section->value;
        for (std::size_t e = 0; e < entries.Size(); ++e) {
            const auto* entry = entries.AtIndex(e);
            const CProfileValue& v = *entry->value;
            if (e)
                out += ",";
            out += "{\"name\":" + JsonString(entry->name) + ",\"type\":\"";
            out += v.Type();
            out += "\",\"value\":";
            switch (v.Type()) {
            case kTypeString:
                out += JsonString(v.Text());
                break;
            case kTypeInt:
            case kTypeBool:
                out += std::to_string(v.Number());
                break;
            case kTypeBytes:
                out += "\"" + Hex(v.Data()) + "\"";
                break;
            default:
                out += "null";
                break;
            }
            out += "}";
        }
        out += "]}";
    }
    return out + "]}\n";
}

} // namespace quillon
