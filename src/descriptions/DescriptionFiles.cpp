#include "descriptions/DescriptionFiles.h"

#include "support/Strings.h"
#include "support/Text.h"

#include <limits>

namespace quillon {

std::string InterfaceLanguageLetter() {
    return LoadString(500);
}

std::string LocalizedEntryName(std::string_view name, std::string_view letter) {
    std::string result(name);
    if (!name.empty() && name.back() == '.')
        result += letter;
    return result;
}

std::vector<std::string> SplitKeyList(std::string_view value) {
    std::vector<std::string> pieces;
    while (!value.empty()) {
        const auto semicolon = value.find(';');
        const std::string_view piece = value.substr(0, semicolon);
        if (piece.empty())
            break;
        pieces.emplace_back(piece);
        if (semicolon == std::string_view::npos)
            break;
        value.remove_prefix(semicolon + 1);
    }
    return pieces;
}

std::vector<AlgoSetting> SplitAlgoSettings(std::string_view value) {
    std::vector<AlgoSetting> settings;
    for (const std::string& pair : SplitKeyList(value)) {
        const std::string_view text(pair);
        const auto bar = text.find('|');
        AlgoSetting s;
        s.name = Trim(text.substr(0, bar));
        if (bar != std::string_view::npos) {
            const std::string_view rest = text.substr(bar + 1);
            s.value = Trim(rest.substr(0, rest.find('|')));
        }
        settings.push_back(std::move(s));
    }
    return settings;
}

std::optional<DirectionLetters> ParseDirectionCode(std::string_view code) {
    constexpr std::string_view kLetters = "ERGFISPLD";
    if (code.size() < 2)
        return std::nullopt;
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    const char source = upper(code[0]);
    const char target = upper(code[1]);
    if (kLetters.find(source) == std::string_view::npos ||
        kLetters.find(target) == std::string_view::npos)
        return std::nullopt;
    return DirectionLetters{source, target};
}

std::int32_t CollectionNumber(std::string_view identifier) {
    std::size_t i = 0;
    while (i < identifier.size() &&
           (identifier[i] == ' ' || (identifier[i] >= '\t' && identifier[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < identifier.size() && (identifier[i] == '+' || identifier[i] == '-'))
        negative = identifier[i++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    for (; i < identifier.size() && identifier[i] >= '0' && identifier[i] <= '9'; ++i) {
        value = value * 10 + (identifier[i] - '0');
        if (value > kLimit)
            value = kLimit;
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min<std::int64_t>(value, kLimit - 1));
}

std::string ReadTextOrFlag(const CXCryptedProfile2& store, std::string_view section,
                           std::string_view entry) {
    switch (store.GetEntryType(section, entry)) {
    case kTypeString:
        return store.GetString(section, entry);
    case kTypeInt:
        return store.GetInt(section, entry, 0) != 0 ? "true" : "false";
    default:
        return {};
    }
}

std::vector<std::string> ReadNumberedStrings(const CXCryptedProfile2& store,
                                             std::string_view section, std::string_view prefix) {
    std::vector<std::string> values;
    // A section cannot hold more numbered entries than entries, which bounds the walk.
    const std::int32_t most = store.GetEntryCount(section);
    for (std::int32_t n = 1; n <= most; ++n) {
        std::string value = store.GetString(section, std::string(prefix) + std::to_string(n));
        if (value.empty())
            break;
        values.push_back(std::move(value));
    }
    return values;
}

CRaviriInf::CRaviriInf(const CXCryptedProfile2& store, std::string letter)
    : store_(store), letter_(std::move(letter)) {}

std::vector<std::string> CRaviriInf::CollectionIds() const {
    std::vector<std::string> ids;
    const std::int32_t count = store_.GetSectionCount();
    for (std::int32_t i = 0; i < count; ++i) {
        const std::string name = store_.GetSectionName(i);
        if (name.size() > kTemplatesSuffix.size() && name.ends_with(kTemplatesSuffix))
            ids.push_back(name.substr(0, name.size() - kTemplatesSuffix.size()));
    }
    return ids;
}

std::string CRaviriInf::CollectionDisplayName(std::string_view id) const {
    std::string name = store_.GetString(std::string(id) + std::string(kCollectionSuffix),
                                        LocalizedEntryName("Name.", letter_));
    return name.empty() ? std::string(id) : name;
}

std::vector<std::string> CRaviriInf::ProfileKeys(std::string_view id) const {
    const std::string section = std::string(id) + std::string(kTemplatesSuffix);
    std::vector<std::string> keys;
    const std::int32_t count = store_.GetEntryCount(section);
    keys.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i)
        keys.push_back(store_.GetEntryName(section, i));
    return keys;
}

CSetupIni::CSetupIni(const CXCryptedProfile2& store, std::string letter)
    : store_(store), letter_(std::move(letter)) {}

std::string CSetupIni::Comment() const {
    return store_.GetString(kInfoSection, LocalizedEntryName("Comment.", letter_));
}

std::string CSetupIni::Copyright() const {
    return store_.GetString(kInfoSection, LocalizedEntryName("Copyright.", letter_));
}

ItemEntries CSetupIni::ReadItem(std::string_view key) const {
    ItemEntries item;
    item.size = store_.GetInt(key, "Size", 0);
    item.nameOnCD = store_.GetString(key, "NameOnCD");
    item.direction = store_.GetString(key, "Direction");
    item.name = store_.GetString(key, LocalizedEntryName("Name.", letter_));
    return item;
}

std::string CSetupIni::PreprocessorUid(std::string_view key) const {
    return store_.GetString(key, "UID");
}

ProfileEntries CSetupIni::ReadProfile(std::string_view key) const {
    ProfileEntries p;
    p.dictionaries = SplitKeyList(store_.GetString(key, "Dictionaries"));
    p.baseTM = SplitKeyList(store_.GetString(key, "BaseTM"));
    p.preprocessorKeys = SplitKeyList(store_.GetString(key, "Preproc"));
    for (const std::string& x : p.preprocessorKeys) {
        std::string uid = PreprocessorUid(x);
        if (uid.empty())
            continue;
        p.preprocessors.push_back({x, std::move(uid), store_.GetInt(key, "Preproc." + x, 0)});
    }
    for (const std::string& value : ReadNumberedStrings(store_, key, "Algo.")) {
        for (AlgoSetting& s : SplitAlgoSettings(value))
            p.algorithms.push_back(std::move(s));
    }
    p.keywords = ReadNumberedStrings(store_, key, "Keywords.");
    p.keywordsFile = store_.GetString(key, "Keywords");
    p.wwtFile = store_.GetString(key, "WWT");
    p.showTransVariants = ReadTextOrFlag(store_, key, "ShowTransVariants");
    p.translitUnknown = ReadTextOrFlag(store_, key, "TranslitUnknown");
    return p;
}

} // namespace quillon
