#include "tools/WordList.h"

#include "support/Text.h"

namespace quillon::dist {
namespace {

bool IsValidUtf8(const std::string& s) {
    return Utf16ToUtf8(Utf8ToUtf16(s)) == s;
}

} // namespace

bool ParseWordList(const std::string& text, std::vector<kaldo::DictionaryEntry>& entries,
                   WordListError& error) {
    std::size_t pos = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    for (int lineNo = 1; pos < text.size(); ++lineNo) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (Trim(line).empty() || line[0] == '#')
            continue;
        error.line = lineNo;
        if (!IsValidUtf8(line)) {
            error.what = "not UTF-8 text";
            return false;
        }
        std::vector<std::string> fields;
        for (std::size_t start = 0;;) {
            const std::size_t tab = line.find('\t', start);
            fields.push_back(Trim(
                line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        if (fields.size() < 2 || fields[0].empty()) {
            error.what = "expected a word, a tab and its translation";
            return false;
        }
        if (fields[0].size() > 0xFFFF || fields.size() - 1 > 0xFFFF) {
            error.what = "entry too long";
            return false;
        }
        kaldo::DictionaryEntry entry;
        entry.word = fields[0];
        for (std::size_t i = 1; i < fields.size(); ++i)
            if (!fields[i].empty())
                entry.lines.push_back(fields[i]);
        entries.push_back(std::move(entry));
    }
    error = {};
    return true;
}

} // namespace quillon::dist
