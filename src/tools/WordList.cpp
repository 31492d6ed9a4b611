#include "tools/WordList.h"

#include "support/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace quillon::dist {
namespace {

bool IsValidUtf8(const std::string& s) {
    return Utf16ToUtf8(Utf8ToUtf16(s)) == s;
}

// One line of a word list (without its line end): an entry, a line to skip, or an error.
enum class LineKind { Entry, Skip, Bad };
LineKind ParseLine(std::string line, kaldo::DictionaryEntry& entry, std::string& what) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (Trim(line).empty() || line[0] == '#')
        return LineKind::Skip;
    if (!IsValidUtf8(line)) {
        what = "not UTF-8 text";
        return LineKind::Bad;
    }
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(Trim(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    if (fields.size() < 2 || fields[0].empty()) {
        what = "expected a word, a tab and its translation";
        return LineKind::Bad;
    }
    if (fields[0].size() > 0xFFFF || fields.size() - 1 > 0xFFFF) {
        what = "entry too long";
        return LineKind::Bad;
    }
    entry = {};
    entry.word = fields[0];
    for (std::size_t i = 1; i < fields.size(); ++i)
        if (!fields[i].empty())
            entry.lines.push_back(fields[i]);
    return LineKind::Entry;
}

} // namespace

bool ParseWordList(const std::string& text, std::vector<kaldo::DictionaryEntry>& entries, WordListError& error) {
    std::size_t pos = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    for (int lineNo = 1; pos < text.size(); ++lineNo) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        kaldo::DictionaryEntry entry;
        const LineKind kind = ParseLine(text.substr(pos, end - pos), entry, error.what);
        pos = end + 1;
        if (kind == LineKind::Bad) {
            error.line = lineNo;
            return false;
        }
        if (kind == LineKind::Entry)
            entries.push_back(std::move(entry));
    }
    error = {};
    return true;
}

bool ReadWordList(const std::string& path, const std::function<bool(kaldo::DictionaryEntry&&)>& add,
                  WordListError& error) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    struct stat st {};
    if (!in || ::fstat(::fileno(in), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = {0, path + ": " + (in ? "not a regular file" : std::string(std::strerror(errno)))};
        if (in)
            std::fclose(in);
        return false;
    }
    std::string line;
    bool ok = true;
    for (int lineNo = 1; ok; ++lineNo) {
        line.clear();
        int c = 0;
        while ((c = ::getc_unlocked(in)) != EOF && c != '\n') {
            if (line.size() == kMaxWordListLine) {
                error = {lineNo, "line longer than " + std::to_string(kMaxWordListLine) + " bytes"};
                std::fclose(in);
                return false;
            }
            line.push_back(static_cast<char>(c));
        }
        if (c == EOF && line.empty())
            break;
        if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);
        kaldo::DictionaryEntry entry;
        switch (ParseLine(line, entry, error.what)) {
        case LineKind::Bad: error.line = lineNo; ok = false; break;
        case LineKind::Entry: ok = add(std::move(entry)); if (!ok) error.line = lineNo; break;
        case LineKind::Skip: break;
        }
        if (c == EOF)
            break;
    }
    if (ok && std::ferror(in)) {
        error = {0, path + ": " + std::strerror(errno)};
        ok = false;
    }
    std::fclose(in);
    if (ok)
        error = {};
    return ok;
}

} // namespace quillon::dist
