#include "platform/posix/HiveDocument.h"

#include "support/Text.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace quillon::posix {
namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

std::string LineError(std::size_t line, std::string_view what) {
    return "line " + std::to_string(line) + ": " + std::string(what);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads a quoted text starting at s[i] == '"'; handles \\ and \" only. Advances i past the
// closing quote. False on a missing quote or any other escape.
bool ReadQuoted(std::string_view s, std::size_t& i, std::string& out) {
    ++i;
    while (i < s.size()) {
        const char c = s[i++];
        if (c == '"')
            return true;
        if (c == '\\') {
            if (i >= s.size() || (s[i] != '\\' && s[i] != '"'))
                return false;
            out += s[i++];
        } else {
            out += c;
        }
    }
    return false;
}

// Characters of UTF-8 text (bytes that do not continue a character).
std::size_t CharacterCount(std::string_view utf8) {
    std::size_t n = 0;
    for (char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

// "aa,bb , cc" (continuations already removed) -> bytes. False on anything else.
bool ParseHexList(std::string_view list, std::vector<std::uint8_t>& out) {
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < list.size() && (list[i] == ' ' || list[i] == '\t'))
            ++i;
    };
    skipBlanks();
    if (i == list.size())
        return true;
    for (;;) {
        skipBlanks();
        int value = 0, digits = 0;
        while (i < list.size() && HexDigit(list[i]) >= 0) {
            value = value * 16 + HexDigit(list[i++]);
            if (++digits > 2)
                return false;
        }
        if (digits == 0)
            return false;
        out.push_back(static_cast<std::uint8_t>(value));
        skipBlanks();
        if (i == list.size())
            return true;
        if (list[i++] != ',')
            return false;
        skipBlanks();
        if (i == list.size()) // a trailing comma is written before continuations
            return true;
    }
}

// Parses the data part of a value line ("..." after '='). Sets `erase` for "-".
bool ParseData(std::string_view data, RegistryValue& value, bool& erase, std::string& why) {
    erase = false;
    if (data == "-") {
        erase = true;
        return true;
    }
    if (!data.empty() && data.front() == '"') {
        std::size_t i = 0;
        std::string text;
        if (!ReadQuoted(data, i, text)) {
            why = "bad quoted text (only \\\\ and \\\" escapes are allowed)";
            return false;
        }
        if (!Trim(data.substr(i)).empty()) {
            why = "text after the closing quote";
            return false;
        }
        value = RegistryValue::String(text);
        return true;
    }
    if (data.starts_with("dword:")) {
        const std::string_view digits = data.substr(6);
        if (digits.empty() || digits.size() > 8 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return HexDigit(c) >= 0; })) {
            why = "dword needs 1 to 8 hex digits";
            return false;
        }
        std::uint32_t v = 0;
        for (char c : digits)
            v = v * 16 + static_cast<std::uint32_t>(HexDigit(c));
        value = RegistryValue::Dword(v);
        return true;
    }
    if (data.starts_with("hex")) {
        std::size_t i = 3;
        std::uint32_t type = static_cast<std::uint32_t>(RegistryType::Binary);
        if (i < data.size() && data[i] == '(') {
            ++i;
            std::uint32_t t = 0;
            int digits = 0;
            while (i < data.size() && HexDigit(data[i]) >= 0 && digits < 8) {
                t = t * 16 + static_cast<std::uint32_t>(HexDigit(data[i++]));
                ++digits;
            }
            if (digits == 0 || i >= data.size() || data[i] != ')') {
                why = "bad hex(type)";
                return false;
            }
            ++i;
            type = t;
        }
        if (i >= data.size() || data[i] != ':') {
            why = "missing ':' after the value type";
            return false;
        }
        value.type = type;
        value.data.clear();
        if (!ParseHexList(data.substr(i + 1), value.data)) {
            why = "bad hex byte list";
            return false;
        }
        return true;
    }
    why = "unknown value type";
    return false;
}

std::string FormatValue(const std::string& name, const RegistryValue& v) {
    std::string line = name.empty() ? "@=" : "\"" + Escape(name) + "\"=";
    const auto& d = v.data;
    if (v.type == static_cast<std::uint32_t>(RegistryType::String) && d.size() >= 2 && d.size() % 2 == 0 &&
        d[d.size() - 1] == 0 && d[d.size() - 2] == 0) {
        bool interiorNul = false;
        for (std::size_t i = 0; i + 2 < d.size(); i += 2)
            interiorNul |= d[i] == 0 && d[i + 1] == 0;
        if (!interiorNul)
            return line + "\"" + Escape(Utf16LeBytesToUtf8(d.data(), d.size())) + "\"";
    }
    if (v.type == static_cast<std::uint32_t>(RegistryType::Dword) && d.size() == 4) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", d[0] | d[1] << 8 | d[2] << 16 | static_cast<unsigned>(d[3]) << 24);
        return line + buf;
    }
    char buf[16];
    if (v.type == static_cast<std::uint32_t>(RegistryType::Binary))
        line += "hex:";
    else {
        std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
        line += buf;
    }
    std::size_t column = line.size();
    for (std::size_t i = 0; i < d.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", d[i]);
        line += buf;
        column += 2;
        if (i + 1 < d.size()) {
            line += ',';
            ++column;
            if (column > 76) {
                line += "\\\n  ";
                column = 2;
            }
        }
    }
    return line;
}

} // namespace

std::string HiveDocument::RootName(RegistryRoot root) {
    switch (root) {
    case RegistryRoot::LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    case RegistryRoot::CurrentUser:
        return "HKEY_CURRENT_USER";
    case RegistryRoot::ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    }
    return {};
}

std::string HiveDocument::FullPath(RegistryRoot root, std::string_view path) {
    std::string full = RootName(root);
    // Tolerate leading and trailing separators and doubled ones as Windows does.
    std::size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '\\')
            ++i;
        std::size_t j = path.find('\\', i);
        if (j == std::string_view::npos)
            j = path.size();
        if (j > i) {
            full += '\\';
            full.append(path.substr(i, j - i));
        }
        i = j;
    }
    return full;
}

std::vector<std::string_view> HiveDocument::Levels(std::string_view fullPath) {
    std::vector<std::string_view> levels;
    for (std::size_t i = 0; i < fullPath.size();) {
        std::size_t j = fullPath.find('\\', i);
        if (j == std::string_view::npos)
            j = fullPath.size();
        if (j > i)
            levels.push_back(fullPath.substr(i, j - i));
        i = j + 1;
    }
    return levels;
}

std::string HiveDocument::CheckLevels(const std::vector<std::string_view>& levels) {
    if (levels.size() > kMaxKeyDepth + 1)
        return "key deeper than " + std::to_string(kMaxKeyDepth) + " levels";
    for (std::size_t i = 1; i < levels.size(); ++i)
        if (CharacterCount(levels[i]) > kMaxKeyNameLength)
            return "key name longer than " + std::to_string(kMaxKeyNameLength) + " characters";
    return {};
}

std::size_t HiveDocument::FindKey(std::string_view fullPath) const {
    const auto levels = Levels(fullPath);
    if (levels.empty())
        return kNone;
    const auto root = roots_.find(FoldCase(levels[0]));
    if (root == roots_.end())
        return kNone;
    std::size_t key = root->second;
    for (std::size_t i = 1; i < levels.size(); ++i) {
        const auto& children = keys_[key].children;
        const auto child = children.find(FoldCase(levels[i]));
        if (child == children.end())
            return kNone;
        key = child->second;
    }
    return key;
}

std::size_t HiveDocument::MakeKey(const std::vector<std::string_view>& levels, bool implicit) {
    std::size_t key = kNone;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        auto& map = key == kNone ? roots_ : keys_[key].children;
        const std::string folded = FoldCase(levels[i]);
        const auto it = map.find(folded);
        if (it != map.end()) {
            key = it->second;
            continue;
        }
        // A level created here is implied by the key asked for; the root is never a key of the
        // file.
        cursor_.key = kNone;
        Key made;
        made.name = std::string(levels[i]);
        made.parent = key;
        made.implicit = true;
        keys_.push_back(std::move(made));
        const std::size_t index = keys_.size() - 1;
        (key == kNone ? roots_ : keys_[key].children).emplace(folded, index);
        key = index;
    }
    if (key != kNone && !implicit)
        keys_[key].implicit = false;
    return key;
}

std::string HiveDocument::PathOf(std::size_t key) const {
    std::vector<std::size_t> chain;
    for (std::size_t k = key; k != kNone; k = keys_[k].parent)
        chain.push_back(k);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty())
            path += '\\';
        path += keys_[*it].name;
    }
    return path;
}

void HiveDocument::RemoveKeyTree(std::size_t key) {
    cursor_.key = kNone;
    const std::size_t parent = keys_[key].parent;
    (parent == kNone ? roots_ : keys_[parent].children).erase(FoldCase(keys_[key].name));
    std::vector<std::size_t> pending{key}; // no recursion: the depth is the file's to choose
    while (!pending.empty()) {
        Key& k = keys_[pending.back()];
        pending.pop_back();
        k.live = false;
        for (const auto& [folded, child] : k.children)
            pending.push_back(child);
        k.children.clear();
        k.entries.clear();
        k.values.clear();
    }
}

HiveDocument::Entry* HiveDocument::FindValue(std::size_t key, std::string_view name) {
    Key& k = keys_[key];
    const auto it = k.values.find(FoldCase(name));
    return it == k.values.end() ? nullptr : &k.entries[it->second];
}

void HiveDocument::AddValue(std::size_t key, Entry entry) {
    Key& k = keys_[key];
    if (!entry.comment)
        k.values[FoldCase(entry.name)] = k.entries.size();
    k.entries.push_back(std::move(entry));
}

void HiveDocument::EraseValue(std::size_t key, Entry& entry) {
    keys_[key].values.erase(FoldCase(entry.name));
    entry.erased = true;
    entry.raw.clear();
    entry.value = {};
}

std::optional<HiveDocument> HiveDocument::Parse(std::string_view bytes, std::string& error) {
    HiveDocument doc;
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        doc.encoding_ = Encoding::Utf16Le;
        std::u16string w;
        w.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            w += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (bytes.size() % 2 != 0) {
            error = "line 0: a UTF-16 file of odd length (cut off)";
            return std::nullopt;
        }
        text = Utf16ToUtf8(w);
    } else {
        if (bytes.starts_with("\xEF\xBB\xBF")) {
            doc.encoding_ = Encoding::Utf8Bom;
            bytes.remove_prefix(3);
        }
        text = std::string(bytes);
        if (Utf16ToUtf8(Utf8ToUtf16(text)) != text) {
            error = "line 0: not UTF-8 or UTF-16 text";
            return std::nullopt;
        }
    }
    doc.crlf_ = text.find("\r\n") != std::string::npos;

    std::vector<std::string_view> lines;
    for (std::size_t pos = 0; pos <= text.size();) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        // Every CR before the line end goes: one kept in a line's raw text would make the
        // written file look like CRLF to the next reader.
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        pos = end + 1;
    }

    std::size_t n = 0;
    while (n < lines.size() && Trim(lines[n]).empty())
        ++n;
    if (n == lines.size()) {
        error = "line 1: empty file, no \"Windows Registry Editor Version 5.00\" header";
        return std::nullopt;
    }
    const std::string first = Trim(lines[n]);
    if (first != kHeader5 && first != kHeader4) {
        error = LineError(n + 1, "missing \"Windows Registry Editor Version 5.00\" header");
        return std::nullopt;
    }
    ++n;

    std::size_t current = kNone;
    bool ignoring = false; // values after a [-key] line belong to no key
    const char* eol = doc.crlf_ ? "\r\n" : "\n";
    for (; n < lines.size(); ++n) {
        const std::size_t lineNo = n + 1;
        const std::string line = Trim(lines[n]);
        if (line.empty())
            continue;
        if (line[0] == ';') {
            if (current != kNone)
                doc.AddValue(current, Entry{true, false, {}, {}, std::string(lines[n])});
            else if (!ignoring)
                doc.header_.emplace_back(lines[n]);
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') {
                error = LineError(lineNo, "key line without closing ']'");
                return std::nullopt;
            }
            std::string path = line.substr(1, line.size() - 2);
            const bool erase = !path.empty() && path[0] == '-';
            if (erase)
                path.erase(0, 1);
            while (!path.empty() && path.back() == '\\')
                path.pop_back();
            if (!path.starts_with("HKEY_") || path.find("\\\\") != std::string::npos) {
                error = LineError(lineNo, "bad key name");
                return std::nullopt;
            }
            const auto levels = Levels(path);
            if (const std::string why = CheckLevels(levels); !why.empty()) {
                error = LineError(lineNo, why);
                return std::nullopt;
            }
            if (erase) {
                if (const std::size_t key = doc.FindKey(path); key != kNone)
                    doc.RemoveKeyTree(key);
                current = kNone;
                ignoring = true;
            } else {
                current = doc.MakeKey(levels, false);
                ignoring = false;
            }
            continue;
        }
        if (line[0] != '"' && line[0] != '@') {
            error = LineError(lineNo, "not a key, value or comment line");
            return std::nullopt;
        }
        if (current == kNone && !ignoring) {
            error = LineError(lineNo, "value before the first key");
            return std::nullopt;
        }
        std::string name;
        std::size_t i = 0;
        if (line[0] == '@') {
            i = 1;
        } else if (!ReadQuoted(line, i, name)) {
            error = LineError(lineNo, "bad value name");
            return std::nullopt;
        }
        if (CharacterCount(name) > kMaxValueNameLength) {
            error = LineError(lineNo, "value name longer than " +
                                          std::to_string(kMaxValueNameLength) + " characters");
            return std::nullopt;
        }
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size() || line[i] != '=') {
            error = LineError(lineNo, "missing '=' after the value name");
            return std::nullopt;
        }
        std::string data = Trim(std::string_view(line).substr(i + 1));
        std::string raw(lines[n]);
        // Hex data may continue on the next lines after a trailing backslash.
        while (!data.empty() && data.back() == '\\' && data.front() != '"') {
            data.pop_back();
            if (n + 1 >= lines.size()) {
                error = LineError(lineNo, "file ends inside a continued value");
                return std::nullopt;
            }
            ++n;
            data += Trim(lines[n]);
            raw += eol;
            raw += lines[n];
        }
        RegistryValue value;
        bool eraseValue = false;
        std::string why;
        if (!ParseData(data, value, eraseValue, why)) {
            error = LineError(lineNo, why);
            return std::nullopt;
        }
        if (ignoring)
            continue;
        Entry* existing = doc.FindValue(current, name);
        if (eraseValue) {
            if (existing)
                doc.EraseValue(current, *existing);
        } else if (existing) {
            existing->value = std::move(value);
            existing->raw = std::move(raw);
        } else {
            doc.AddValue(current, Entry{false, false, name, std::move(value), std::move(raw)});
        }
    }
    return doc;
}

std::vector<std::string> HiveDocument::Contents() const {
    std::vector<std::string> lines;
    static const char* const kHex = "0123456789ABCDEF";
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        const Key& key = keys_[k];
        const bool empty =
            std::all_of(key.entries.begin(), key.entries.end(), [](const Entry& e) { return e.erased || e.comment; });
        if (!key.live || (key.implicit && empty))
            continue;
        lines.push_back("key " + PathOf(k));
        for (const Entry& e : key.entries) {
            if (e.erased || e.comment)
                continue;
            std::string data;
            for (const std::uint8_t b : e.value.data)
                data += {kHex[b >> 4], kHex[b & 15]};
            lines.push_back("value " + e.name + " " + std::to_string(e.value.type) + " " + data);
        }
    }
    return lines;
}

std::string HiveDocument::Serialize() const {
    const std::string eol = crlf_ ? "\r\n" : "\n";
    std::string text(kHeader5);
    text += eol;
    for (const std::string& c : header_)
        text += c + eol;
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        const Key& key = keys_[k];
        const bool empty = std::all_of(key.entries.begin(), key.entries.end(),
                                       [](const Entry& e) { return e.erased; });
        if (!key.live || (key.implicit && empty))
            continue;
        text += eol + "[" + PathOf(k) + "]" + eol;
        for (const Entry& e : key.entries)
            if (!e.erased)
                text += (e.raw.empty() ? FormatValue(e.name, e.value) : e.raw) + eol;
    }
    text += eol;
    if (encoding_ == Encoding::Utf8)
        return text;
    if (encoding_ == Encoding::Utf8Bom)
        return "\xEF\xBB\xBF" + text;
    const auto bytes = Utf8ToUtf16LeBytes(text, false);
    return std::string("\xFF\xFE") + std::string(bytes.begin(), bytes.end());
}

long HiveDocument::OpenKey(RegistryRoot root, std::string_view path, bool create) {
    const std::string full = FullPath(root, path);
    if (full.find('\\') == std::string::npos) // a root always exists
        return regerr::Success;
    if (FindKey(full) != kNone)
        return regerr::Success;
    if (!create)
        return regerr::FileNotFound;
    const auto levels = Levels(full);
    if (!CheckLevels(levels).empty())
        return regerr::InvalidParameter;
    MakeKey(levels, false);
    return regerr::Success;
}

long HiveDocument::QueryValue(RegistryRoot root, std::string_view path, std::string_view name, RegistryValue& out) {
    const std::size_t key = FindKey(FullPath(root, path));
    if (key == kNone)
        return regerr::FileNotFound;
    const Entry* e = FindValue(key, name);
    if (!e)
        return regerr::FileNotFound;
    out = e->value;
    return regerr::Success;
}

long HiveDocument::EnumSubkey(RegistryRoot root, std::string_view path, std::uint32_t index, std::string& name) {
    const std::string full = FullPath(root, path);
    const std::size_t key = FindKey(full);
    if (full.find('\\') != std::string::npos && key == kNone)
        return regerr::FileNotFound;
    if (key == kNone)
        return regerr::NoMoreItems;             // a root without keys
    const auto& children = keys_[key].children; // ordered by folded name, as Windows lists them
    if (index >= children.size())
        return regerr::NoMoreItems;
    if (cursor_.key != key || cursor_.index > index) {
        cursor_.key = key;
        cursor_.index = 0;
        cursor_.at = children.begin();
    }
    cursor_.at = std::next(cursor_.at, index - cursor_.index);
    cursor_.index = index;
    name = keys_[cursor_.at->second].name;
    return regerr::Success;
}

long HiveDocument::SetValue(RegistryRoot root, std::string_view path, std::string_view name, const RegistryValue& value) {
    const std::string full = FullPath(root, path);
    if (full.find('\\') == std::string::npos)
        return regerr::AccessDenied; // values directly under a root are not ours to write
    const auto levels = Levels(full);
    if (!CheckLevels(levels).empty() || CharacterCount(name) > kMaxValueNameLength)
        return regerr::InvalidParameter;
    const std::size_t key = MakeKey(levels, false);
    if (Entry* e = FindValue(key, name)) {
        if (e->value != value) {
            e->value = value;
            e->raw.clear();
        }
    } else {
        AddValue(key, Entry{false, false, std::string(name), value, {}});
    }
    return regerr::Success;
}

long HiveDocument::DeleteValue(RegistryRoot root, std::string_view path, std::string_view name) {
    const std::size_t key = FindKey(FullPath(root, path));
    if (key == kNone)
        return regerr::FileNotFound;
    Entry* e = FindValue(key, name);
    if (!e)
        return regerr::FileNotFound;
    EraseValue(key, *e);
    return regerr::Success;
}

long HiveDocument::DeleteKey(RegistryRoot root, std::string_view path) {
    const std::string full = FullPath(root, path);
    if (full.find('\\') == std::string::npos)
        return regerr::AccessDenied;
    const std::size_t key = FindKey(full);
    if (key == kNone)
        return regerr::FileNotFound;
    RemoveKeyTree(key);
    return regerr::Success;
}

} // namespace quillon::posix
