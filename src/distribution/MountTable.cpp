#include "distribution/MountTable.h"

#include <fstream>

namespace quillon {

std::string DecodeMountField(std::string_view field) {
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) &&
            octal(field[i + 2]) && octal(field[i + 3])) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value <= 0xFF) {
                out += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

MountTable MountTable::Parse(std::string_view text) {
    MountTable table;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        std::vector<std::string_view> fields;
        for (std::size_t i = 0; i < line.size() && fields.size() < 3;) {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
                ++i;
            const std::size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                ++i;
            if (i > start)
                fields.push_back(line.substr(start, i - start));
        }
        if (fields.size() < 3)
            continue;
        table.entries_.push_back({DecodeMountField(fields[0]), DecodeMountField(fields[1]),
                                  DecodeMountField(fields[2])});
    }
    return table;
}

MountTable MountTable::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    // /proc files report no size: read in blocks up to a bound.
    constexpr std::size_t kLimit = 4u << 20;
    std::string text;
    char buffer[16384];
    while (text.size() < kLimit && in.read(buffer, sizeof buffer).gcount() > 0)
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
    return Parse(text);
}

std::vector<std::string> MountTable::OpticalRoots() const {
    std::vector<std::string> roots;
    for (const MountEntry& e : entries_) {
        if (e.type != "iso9660" && e.type != "udf")
            continue;
        if (e.mountPoint.empty() || e.mountPoint.front() != '/')
            continue;
        std::string root = e.mountPoint;
        if (root.back() != '/')
            root += '/';
        bool seen = false;
        for (const std::string& r : roots)
            seen |= r == root;
        if (!seen)
            roots.push_back(std::move(root));
    }
    return roots;
}

} // namespace quillon
