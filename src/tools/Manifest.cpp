#include "tools/Manifest.h"

#include "descriptions/LanguageDirections.h"
#include "product/Paths.h"
#include "support/Guid.h"
#include "support/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace quillon::dist {
namespace {

constexpr std::size_t kMaxManifestSize = 16u * 1024 * 1024;
constexpr std::size_t kMaxErrors = 100;

struct RawEntry {
    std::string name;
    std::string value;
    int line = 0;
    bool quoted = false;
    bool used = false;
};

struct RawSection {
    std::string kind;
    std::string key;
    int line = 0;
    std::vector<RawEntry> entries;
};

bool IsValidUtf8(std::string_view s) {
    return Utf16ToUtf8(Utf8ToUtf16(s)) == s;
}

bool HasControl(std::string_view s, bool allowLayout) {
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && !(allowLayout && (c == '\n' || c == '\t'))) || c == 0x7F)
            return true;
    }
    return false;
}

std::string Quote(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

class Checker {
public:
    Checker(std::vector<ManifestMessage>& errors, std::vector<ManifestMessage>& warnings)
        : errors_(errors), warnings_(warnings) {}
    void Error(int line, std::string what) {
        if (errors_.size() < kMaxErrors)
            errors_.push_back({line, std::move(what)});
    }
    void Warn(int line, std::string what) { warnings_.push_back({line, std::move(what)}); }
    bool Failed() const { return !errors_.empty(); }

private:
    std::vector<ManifestMessage>& errors_;
    std::vector<ManifestMessage>& warnings_;
};

// "..." with \" \\ \n \t escapes; false when unterminated, followed by text or badly escaped.
bool Unquote(std::string_view value, std::string& out, std::string& error) {
    out.clear();
    for (std::size_t i = 1; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"') {
            if (!Trim(value.substr(i + 1)).empty()) {
                error = "text after the closing quote";
                return false;
            }
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= value.size())
            break;
        switch (value[i]) {
        case '"':
            out += '"';
            break;
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        default:
            error = std::string("unknown escape \\") + value[i];
            return false;
        }
    }
    error = "unterminated quoted value";
    return false;
}

// Splits the text into sections; syntax errors are reported and the line skipped.
std::vector<RawSection> SplitSections(const std::string& text, Checker& check) {
    std::vector<RawSection> sections;
    std::size_t pos = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    for (int lineNo = 1; pos < text.size(); ++lineNo) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string_view raw(text.data() + pos, end - pos);
        pos = end + 1;
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        if (!IsValidUtf8(raw)) {
            check.Error(lineNo, "not UTF-8 text");
            continue;
        }
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (HasControl(line, true) || line.find('\n') != std::string::npos) {
            check.Error(lineNo, "control character in the line");
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') {
                check.Error(lineNo, "section header without a closing ']'");
                continue;
            }
            const std::string inner = Trim(std::string_view(line).substr(1, line.size() - 2));
            const auto space = inner.find_first_of(" \t");
            RawSection s;
            s.kind = inner.substr(0, space);
            s.key = space == std::string::npos ? std::string()
                                               : Trim(std::string_view(inner).substr(space));
            s.line = lineNo;
            sections.push_back(std::move(s));
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            check.Error(lineNo, "expected NAME = VALUE, a [section] or a # comment");
            continue;
        }
        if (sections.empty()) {
            check.Error(lineNo, "entry before the first [section]");
            continue;
        }
        RawEntry e;
        e.name = Trim(std::string_view(line).substr(0, eq));
        e.line = lineNo;
        const std::string value = Trim(std::string_view(line).substr(eq + 1));
        if (e.name.empty()) {
            check.Error(lineNo, "entry without a name");
            continue;
        }
        if (!value.empty() && value[0] == '"') {
            std::string error;
            if (!Unquote(value, e.value, error)) {
                check.Error(lineNo, error);
                continue;
            }
            e.quoted = true;
        } else {
            e.value = value;
        }
        if (e.value.find('\0') != std::string::npos) {
            check.Error(lineNo, "NUL in the value");
            continue;
        }
        for (const RawEntry& earlier : sections.back().entries) {
            if (earlier.name == e.name) {
                check.Error(lineNo, Quote(e.name) + " given twice in this section (first on line " +
                                        std::to_string(earlier.line) + ")");
                break;
            }
        }
        sections.back().entries.push_back(std::move(e));
    }
    return sections;
}

// "Name." + letters (ASCII).
bool IsLocalizedName(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || name.size() == prefix.size())
        return false;
    for (const char c : name.substr(prefix.size()))
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    return true;
}

std::optional<long long> Number(std::string_view text) {
    const std::string s(text);
    if (s.empty() || s.find_first_of(" \t") != std::string::npos)
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s.c_str(), &end, 0);
    if (errno != 0 || *end != '\0')
        return std::nullopt;
    return v;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Reads one section's entries on demand and reports what was never asked for.
class SectionReader {
public:
    SectionReader(RawSection& section, Checker& check, const std::string& folder)
        : s_(section), check_(check), folder_(folder) {}

    RawEntry* Find(std::string_view name) {
        for (RawEntry& e : s_.entries)
            if (e.name == name) {
                e.used = true;
                return &e;
            }
        return nullptr;
    }

    LocalizedTexts Localized(std::initializer_list<std::string_view> prefixes) {
        LocalizedTexts out;
        for (RawEntry& e : s_.entries)
            for (const std::string_view p : prefixes)
                if (IsLocalizedName(e.name, p)) {
                    e.used = true;
                    if (!e.value.empty())
                        out.emplace_back(e.name, e.value);
                }
        return out;
    }

    std::string Direction(bool required) {
        RawEntry* e = Find("Direction");
        if (!e) {
            if (required)
                check_.Error(s_.line, "no Direction in [" + s_.kind + " " + s_.key + "]");
            return {};
        }
        if (e->value.size() != 2 || DirectionFromCode(e->value) == 0) {
            check_.Error(e->line,
                         "Direction " + Quote(e->value) +
                             " is not a direction code (two of the letters E R G F I S P L D)");
            return {};
        }
        std::string code = e->value;
        for (char& c : code)
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        return code;
    }

    std::optional<long long> Integer(std::string_view name, long long lo, long long hi) {
        RawEntry* e = Find(name);
        if (!e)
            return std::nullopt;
        const auto v = Number(e->value);
        if (!v || *v < lo || *v > hi) {
            check_.Error(e->line, std::string(name) + " must be a whole number from " +
                                      std::to_string(lo) + " to " + std::to_string(hi));
            return std::nullopt;
        }
        return v;
    }

    // A source file of the author; its full path, or nothing (reported) when it is missing.
    std::optional<std::string> Source(RawEntry& e) {
        if (e.value.empty()) {
            check_.Error(e.line, e.name + " is empty");
            return std::nullopt;
        }
        const std::string full = e.value[0] == '/' ? e.value : folder_ + e.value;
        if (!IsRegularFile(full)) {
            check_.Error(e.line, "source file " + Quote(e.value) + " not found (" + full + ")");
            return std::nullopt;
        }
        return full;
    }

    // `source` placed at the NameOnCD-like entry `name`, else at `fallback`; the place is checked
    // as a path below the distribution.
    std::optional<PlacedFile> Place(const std::string& source, std::string_view name,
                                    const std::string& fallback, int fallbackLine) {
        RawEntry* e = Find(name);
        const std::string value = e ? e->value : fallback;
        const int line = e ? e->line : fallbackLine;
        if (!IsSafeRelativePath(value)) {
            check_.Error(line, std::string(name) + " " + Quote(value) +
                                   " must be a relative path inside the distribution (no leading "
                                   "'/', no drive, no "
                                   "'..', no empty part)");
            return std::nullopt;
        }
        return PlacedFile{source, value, line};
    }

    static bool IsSafeRelativePath(std::string_view path) {
        if (path.empty() || HasControl(path, false))
            return false;
        for (std::size_t i = 0; i <= path.size();) {
            std::size_t j = path.find_first_of("/\\", i);
            if (j == std::string_view::npos)
                j = path.size();
            const std::string_view part = path.substr(i, j - i);
            if (!IsSafeFileName(part) || part.find(':') != std::string_view::npos)
                return false;
            i = j + 1;
        }
        return true;
    }

    // Entries that belong to a file whose source failed are not reported a second time.
    void ReportUnused() {
        for (const char* placement : {"NameOnCD", "KeywordsOnCD", "WWTOnCD"})
            if (s_.kind != "preprocessor" && s_.kind != "collection" && s_.kind != "distribution" &&
                (std::string_view(placement) == "NameOnCD" || s_.kind == "profile"))
                Find(placement);
        for (const RawEntry& e : s_.entries)
            if (!e.used)
                check_.Error(e.line,
                             "unknown entry " + Quote(e.name) + " in a [" + s_.kind + "] section");
    }

    // A ";" list, each piece trimmed; empty pieces are refused (the installer stops at them).
    std::vector<std::string> List(std::string_view name) {
        std::vector<std::string> out;
        RawEntry* e = Find(name);
        if (!e || Trim(e->value).empty())
            return out;
        std::string_view rest = e->value;
        for (;;) {
            const auto semi = rest.find(';');
            const std::string piece = Trim(rest.substr(0, semi));
            if (piece.empty()) {
                if (semi != std::string_view::npos || out.empty())
                    check_.Error(e->line,
                                 std::string(name) +
                                     " has an empty piece (the installer stops reading there)");
                break;
            }
            out.push_back(piece);
            if (semi == std::string_view::npos)
                break;
            rest = rest.substr(semi + 1);
            if (Trim(rest).empty())
                break; // a trailing ';'
        }
        return out;
    }

    // "Prefix1", "Prefix2", ...: without gaps, each non-empty.
    std::vector<std::string> Numbered(std::string_view prefix) {
        std::map<long long, RawEntry*> found;
        for (RawEntry& e : s_.entries) {
            if (!e.name.starts_with(prefix))
                continue;
            const auto n = Number(std::string_view(e.name).substr(prefix.size()));
            if (!n || *n < 1 || std::to_string(*n) != e.name.substr(prefix.size()))
                continue;
            e.used = true;
            if (e.value.empty())
                check_.Error(e.line, e.name + " is empty (the installer stops reading there)");
            found[*n] = &e;
        }
        std::vector<std::string> out;
        long long expect = 1;
        for (const auto& [n, e] : found) {
            if (n != expect) {
                check_.Error(e->line, e->name + " without " + std::string(prefix) +
                                          std::to_string(expect) +
                                          " (the installer stops at the first missing number)");
                break;
            }
            out.push_back(e->value);
            ++expect;
        }
        return out;
    }

    std::optional<TextOrFlag> Flag(std::string_view name) {
        RawEntry* e = Find(name);
        if (!e)
            return std::nullopt;
        TextOrFlag f;
        if (e->quoted) {
            f.isText = true;
            f.text = e->value;
            return f;
        }
        const std::string v = FoldCase(e->value);
        if (v == "true" || v == "yes")
            f.number = 1;
        else if (v == "false" || v == "no")
            f.number = 0;
        else if (const auto n = Number(e->value); n && *n >= INT32_MIN && *n <= INT32_MAX)
            f.number = static_cast<std::int32_t>(*n);
        else {
            check_.Error(e->line,
                         std::string(name) + " must be true, false, a number, or a quoted text");
            return std::nullopt;
        }
        return f;
    }

    RawSection& Section() { return s_; }

private:
    RawSection& s_;
    Checker& check_;
    const std::string& folder_;
};

// Keys become section names, list pieces and (dictionaries, TM bases) file names.
bool CheckKey(const RawSection& s, Checker& check) {
    if (s.key.empty()) {
        check.Error(s.line, "[" + s.kind + "] needs a key: [" + s.kind + " KEY]");
        return false;
    }
    if (!IsSafeFileName(s.key) || s.key.find_first_of(";=|:") != std::string::npos ||
        HasControl(s.key, false)) {
        check.Error(
            s.line,
            "key " + Quote(s.key) +
                " is not a safe file name (no '/', '\\', ':', ';', '=', '|', not '.' or '..')");
        return false;
    }
    return true;
}

void ReadItemCommon(SectionReader& r, ManifestItem& item) {
    item.key = r.Section().key;
    item.line = r.Section().line;
    item.direction = r.Direction(true);
    item.names = r.Localized({"Name."});
    if (const auto size = r.Integer("Size", 0, INT32_MAX))
        item.size = static_cast<std::int32_t>(*size);
}

class ManifestParser {
public:
    ManifestParser(const std::string& path, std::vector<ManifestMessage>& errors,
                   std::vector<ManifestMessage>& warnings)
        : check_(errors, warnings) {
        m_.path = path;
        const auto slash = path.rfind('/');
        m_.folder = slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
    }

    std::optional<Manifest> Run(const std::string& text) {
        auto sections = SplitSections(text, check_);
        std::map<std::string, int> keys; // SETUP.INI section names -> line
        bool haveDistribution = false;
        for (RawSection& s : sections) {
            SectionReader r(s, check_, m_.folder);
            if (s.kind == "distribution") {
                if (haveDistribution)
                    check_.Error(s.line, "a second [distribution] section");
                haveDistribution = true;
                if (!s.key.empty())
                    check_.Error(s.line, "[distribution] takes no key");
                for (auto& t : r.Localized({"Comment.", "Copyright."}))
                    m_.info.push_back(std::move(t));
            } else if (s.kind == "collection") {
                ReadCollection(r);
            } else if (s.kind == "profile" || s.kind == "dictionary" || s.kind == "tm" ||
                       s.kind == "preprocessor") {
                if (!CheckKey(s, check_)) {
                    for (RawEntry& e : s.entries)
                        e.used = true;
                    continue;
                }
                if (s.key == "Info")
                    check_.Error(s.line,
                                 "the key \"Info\" is the distribution's own section of SETUP.INI");
                const auto [it, added] = keys.emplace(s.key, s.line);
                if (!added)
                    check_.Error(s.line, "key " + Quote(s.key) + " already used on line " +
                                             std::to_string(it->second) +
                                             " (profiles, dictionaries, TM bases and preprocessors "
                                             "share one name space)");
                if (s.kind == "profile")
                    ReadProfile(r);
                else if (s.kind == "dictionary")
                    ReadDictionary(r);
                else if (s.kind == "tm")
                    ReadBaseTM(r);
                else
                    ReadPreprocessor(r);
            } else {
                check_.Error(
                    s.line,
                    "unknown section kind " + Quote(s.kind) +
                        " (distribution, collection, profile, dictionary, tm, preprocessor)");
                for (RawEntry& e : s.entries)
                    e.used = true;
            }
            r.ReportUnused();
        }
        if (m_.collections.empty() && !check_.Failed())
            check_.Error(0, "no [collection] section: the distribution would offer nothing");
        CheckReferences();
        CheckOutputs();
        if (check_.Failed())
            return std::nullopt;
        return std::move(m_);
    }

private:
    void ReadCollection(SectionReader& r) {
        RawSection& s = r.Section();
        ManifestCollection c;
        c.id = s.key;
        c.line = s.line;
        if (c.id.empty() || HasControl(c.id, false) ||
            c.id.find_first_of("[]") != std::string::npos)
            check_.Error(s.line, "[collection] needs an identifier: [collection 1]");
        for (const auto& other : m_.collections)
            if (other.id == c.id)
                check_.Error(s.line, "collection " + Quote(c.id) + " already defined on line " +
                                         std::to_string(other.line));
        c.names = r.Localized({"Name."});
        c.profiles = r.List("Profiles");
        if (c.profiles.empty())
            check_.Error(s.line, "collection " + Quote(c.id) + " lists no Profiles");
        std::set<std::string> seen;
        for (const auto& p : c.profiles)
            if (!seen.insert(p).second)
                check_.Error(r.Find("Profiles")->line, "profile " + Quote(p) + " listed twice");
        m_.collections.push_back(std::move(c));
    }

    void ReadProfile(SectionReader& r) {
        ManifestProfile p;
        ReadItemCommon(r, p);
        if (RawEntry* f = r.Find("File")) {
            if (auto src = r.Source(*f))
                p.file = r.Place(*src, "NameOnCD", "PROFILES/" + p.key, f->line);
        } else if (RawEntry* n = r.Find("NameOnCD")) {
            check_.Error(
                n->line,
                "NameOnCD without File: the distribution would name a file it does not hold");
        }
        p.dictionaries = r.List("Dictionaries");
        p.baseTM = r.List("BaseTM");
        p.preprocessors = r.List("Preproc");
        for (RawEntry& e : r.Section().entries) {
            if (!e.name.starts_with("Preproc.") || e.name.size() == 8)
                continue;
            e.used = true;
            const std::string key = e.name.substr(8);
            const auto v = Number(e.value);
            if (!v || *v < INT32_MIN || *v > 0xFFFFFFFFll) {
                check_.Error(e.line, e.name + " must be a 32-bit number (the preprocessor's mask)");
                continue;
            }
            bool listed = false;
            for (const auto& k : p.preprocessors)
                listed |= k == key;
            if (!listed)
                check_.Error(e.line, "mask for " + Quote(key) + ", which Preproc does not list");
            p.masks.emplace_back(key, static_cast<std::int32_t>(static_cast<std::uint32_t>(*v)));
        }
        p.algorithms = r.Numbered("Algo.");
        p.keywords = r.Numbered("Keywords.");
        p.keywordsFile = Attached(r, "Keywords", "KeywordsOnCD", "KEYWORDS/");
        p.wwtFile = Attached(r, "WWT", "WWTOnCD", "WWT/");
        p.showTransVariants = r.Flag("ShowTransVariants");
        p.translitUnknown = r.Flag("TranslitUnknown");
        m_.profiles.push_back(std::move(p));
    }

    std::optional<PlacedFile> Attached(SectionReader& r, std::string_view name,
                                       std::string_view onCD, const std::string& folder) {
        RawEntry* e = r.Find(name);
        if (!e) {
            if (RawEntry* d = r.Find(onCD))
                check_.Error(d->line, std::string(onCD) + " without " + std::string(name));
            return std::nullopt;
        }
        auto src = r.Source(*e);
        if (!src)
            return std::nullopt;
        const auto slash = src->rfind('/');
        return r.Place(*src, onCD, folder + src->substr(slash + 1), e->line);
    }

    void ReadDictionary(SectionReader& r) {
        ManifestDictionary d;
        ReadItemCommon(r, d);
        RawEntry* file = r.Find("File");
        RawEntry* words = r.Find("Words");
        if ((file != nullptr) == (words != nullptr)) {
            check_.Error(r.Section().line,
                         "a dictionary needs exactly one source: File (a dictionary file) or Words "
                         "(a word list)");
        } else {
            RawEntry* src = file ? file : words;
            d.fromWords = words != nullptr;
            if (auto full = r.Source(*src))
                if (auto placed = r.Place(*full, "NameOnCD", "DICT/" + d.key, src->line))
                    d.file = *placed;
        }
        const char* compiled[] = {"Version",  "Title",       "LinkNumber",
                                  "LinkCode", "FormatLevel", "Guid"};
        if (!d.fromWords) {
            for (const char* n : compiled)
                if (RawEntry* e = r.Find(n))
                    check_.Error(e->line, std::string(n) +
                                              " applies to dictionaries compiled from Words only");
        } else {
            if (auto v = r.Integer("Version", 1, 5))
                d.version = static_cast<std::uint16_t>(*v);
            if (RawEntry* t = r.Find("Title"))
                d.title = t->value;
            if (auto v = r.Integer("LinkNumber", INT32_MIN, 0xFFFFFFFFll))
                d.linkNumber = static_cast<std::int32_t>(static_cast<std::uint32_t>(*v));
            if (auto v = r.Integer("LinkCode", 0, 255))
                d.linkCode = static_cast<std::uint8_t>(*v);
            if (auto v = r.Integer("FormatLevel", INT32_MIN, INT32_MAX))
                d.formatLevel = static_cast<std::int32_t>(*v);
            if (RawEntry* g = r.Find("Guid")) {
                if (!IsGuidString(g->value))
                    check_.Error(g->line,
                                 "Guid " + Quote(g->value) + " is not a GUID in registry form {…}");
                d.guid = g->value;
            }
        }
        m_.dictionaries.push_back(std::move(d));
    }

    void ReadBaseTM(SectionReader& r) {
        ManifestBaseTM t;
        ReadItemCommon(r, t);
        if (RawEntry* f = r.Find("File")) {
            if (auto src = r.Source(*f))
                if (auto placed = r.Place(*src, "NameOnCD", "TM/" + t.key, f->line))
                    t.file = *placed;
        } else {
            check_.Error(r.Section().line, "a TM base needs its File");
        }
        m_.baseTM.push_back(std::move(t));
    }

    void ReadPreprocessor(SectionReader& r) {
        ManifestPreprocessor p;
        p.key = r.Section().key;
        p.line = r.Section().line;
        RawEntry* uid = r.Find("UID");
        if (!uid || uid->value.empty())
            check_.Error(p.line,
                         "a preprocessor needs its UID (the installer ignores one without)");
        else
            p.uid = uid->value;
        m_.preprocessors.push_back(std::move(p));
    }

    template <class T>
    static const T* FindKey(const std::vector<T>& items, const std::string& key) {
        for (const T& item : items)
            if (item.key == key)
                return &item;
        return nullptr;
    }

    void CheckReferences() {
        std::set<std::string> usedProfiles, usedItems;
        for (const auto& c : m_.collections)
            for (const auto& p : c.profiles) {
                usedProfiles.insert(p);
                if (!FindKey(m_.profiles, p))
                    check_.Error(c.line, "collection " + Quote(c.id) + " lists profile " +
                                             Quote(p) + ", which no [profile] section defines");
            }
        for (const auto& p : m_.profiles) {
            if (!usedProfiles.count(p.key))
                check_.Warn(p.line, "profile " + Quote(p.key) + " belongs to no collection");
            // The installer reads Name.R (its interface letter); the kernel refuses a profile
            // without a name, and the installation would fail with message 2006.
            if (std::none_of(p.names.begin(), p.names.end(), [](const auto& n) { return n.first == "Name.R" && !n.second.empty(); }))
                check_.Error(p.line, "profile " + Quote(p.key) +
                                         " has no Name.R: the kernel refuses a profile without a name "
                                         "(message 2006 at installation)");
            auto refer = [&](const std::vector<std::string>& keys, const char* what, auto& items) {
                std::set<std::string> seen;
                for (const auto& k : keys) {
                    usedItems.insert(k);
                    if (!seen.insert(k).second)
                        check_.Error(p.line,
                                     "profile " + Quote(p.key) + " lists " + Quote(k) + " twice");
                    const auto* item = FindKey(items, k);
                    if (!item) {
                        check_.Error(p.line, "profile " + Quote(p.key) + " names " + what + " " +
                                                 Quote(k) + ", which no such section defines");
                        continue;
                    }
                    if constexpr (requires { item->direction; }) {
                        if (!item->direction.empty() && !p.direction.empty() &&
                            item->direction != p.direction)
                            check_.Warn(p.line, "profile " + Quote(p.key) + " (" + p.direction +
                                                    ") lists " + what + " " + Quote(k) +
                                                    " of direction " + item->direction +
                                                    ": the installer will not install it there");
                    }
                }
            };
            refer(p.dictionaries, "dictionary", m_.dictionaries);
            refer(p.baseTM, "TM base", m_.baseTM);
            refer(p.preprocessors, "preprocessor", m_.preprocessors);
        }
        auto unused = [&](const auto& items, const char* what) {
            for (const auto& item : items)
                if (!usedItems.count(item.key))
                    check_.Warn(item.line, std::string(what) + " " + Quote(item.key) +
                                               " is listed by no profile");
        };
        unused(m_.dictionaries, "dictionary");
        unused(m_.baseTM, "TM base");
        unused(m_.preprocessors, "preprocessor");
    }

    // No two files at one place (letter case ignored, as the installer matches names), no file
    // where another needs a folder, nothing over the description files. The same source placed
    // twice at one place (a keywords file shared by profiles) is one file.
    void CheckOutputs() {
        std::map<std::string, std::pair<const PlacedFile*, int>> files;
        std::set<std::string> folders;
        for (const char* reserved : {"RAVIRI.INF", "SETUP.INI", "setup.inf"})
            files.emplace(FoldCase(reserved), std::pair<const PlacedFile*, int>{nullptr, 0});
        auto place = [&](const PlacedFile& f) {
            const int line = f.line;
            if (f.nameOnCD.empty())
                return;
            std::string path = f.nameOnCD;
            for (char& c : path)
                if (c == '\\')
                    c = '/';
            const std::string folded = FoldCase(path);
            const auto [it, added] =
                files.emplace(folded, std::pair<const PlacedFile*, int>{&f, line});
            if (!added) {
                if (it->second.first && it->second.first->source == f.source)
                    return;
                check_.Error(line, "NameOnCD " + Quote(f.nameOnCD) + " is already taken" +
                                       (it->second.second
                                            ? " (line " + std::to_string(it->second.second) + ")"
                                            : std::string(" by a description file")));
                return;
            }
            for (auto slash = folded.find('/'); slash != std::string::npos;
                 slash = folded.find('/', slash + 1))
                folders.insert(folded.substr(0, slash));
        };
        for (const auto& p : m_.profiles) {
            if (p.file)
                place(*p.file);
            if (p.keywordsFile)
                place(*p.keywordsFile);
            if (p.wwtFile)
                place(*p.wwtFile);
        }
        for (const auto& d : m_.dictionaries)
            place(d.file);
        for (const auto& t : m_.baseTM)
            place(t.file);
        for (const auto& [path, owner] : files)
            if (folders.count(path))
                check_.Error(owner.second,
                             "NameOnCD " + Quote(path) + " is also a folder of another file");
    }

    Manifest m_;
    Checker check_;
};

} // namespace

std::optional<Manifest> ParseManifest(const std::string& text, const std::string& path,
                                      std::vector<ManifestMessage>& errors,
                                      std::vector<ManifestMessage>& warnings) {
    return ManifestParser(path, errors, warnings).Run(text);
}

std::optional<Manifest> ReadManifest(const std::string& path, std::vector<ManifestMessage>& errors,
                                     std::vector<ManifestMessage>& warnings) {
    std::ifstream in(path, std::ios::binary);
    if (!in || !IsRegularFile(path)) {
        errors.push_back({0, "cannot read the manifest"});
        return std::nullopt;
    }
    std::string text(kMaxManifestSize + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) {
        errors.push_back({0, "cannot read the manifest"});
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxManifestSize) {
        errors.push_back({0, "the manifest is larger than 16 MiB"});
        return std::nullopt;
    }
    return ParseManifest(text, path, errors, warnings);
}

} // namespace quillon::dist
