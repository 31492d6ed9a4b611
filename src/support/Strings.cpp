#include "support/Strings.h"

#include "platform/Ports.h"

#include <charconv>
#include <string_view>
#include <unordered_map>

namespace quillon {
namespace resources {
extern const std::string_view kStringsTsv;
}

namespace {

// Lines "id<TAB>text"; the two characters "\n" in a text stand for a line break; the header
// line and anything that does not start with a number are skipped.
std::unordered_map<int, std::string> ParseTable(std::string_view tsv) {
    std::unordered_map<int, std::string> table;
    std::size_t pos = 0;
    while (pos < tsv.size()) {
        std::size_t end = tsv.find('\n', pos);
        if (end == std::string_view::npos)
            end = tsv.size();
        std::string_view line = tsv.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            continue;
        int id = 0;
        const auto [ptr, ec] = std::from_chars(line.data(), line.data() + tab, id);
        if (ec != std::errc() || ptr != line.data() + tab)
            continue;
        std::string text;
        const std::string_view raw = line.substr(tab + 1);
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == 'n') {
                text += '\n';
                ++i;
            } else {
                text += raw[i];
            }
        }
        table[id] = std::move(text);
    }
    return table;
}

} // namespace

std::optional<std::string> BuiltinStrings::Find(int id) const {
    static const std::unordered_map<int, std::string> table = ParseTable(resources::kStringsTsv);
    const auto it = table.find(id);
    if (it == table.end())
        return std::nullopt;
    return it->second;
}

const BuiltinStrings& BuiltinStrings::Instance() {
    static const BuiltinStrings instance;
    return instance;
}

std::string LoadString(int id) {
    if (const StringTable* installed = CurrentPorts().strings) {
        if (auto text = installed->Find(id))
            return *text;
    }
    return BuiltinStrings::Instance().Find(id).value_or(std::string());
}

std::string LoadText(std::string_view id, std::string builtIn) {
    if (const StringTable* installed = CurrentPorts().strings) {
        if (auto text = installed->FindText(id))
            return *text;
    }
    return builtIn;
}

} // namespace quillon
