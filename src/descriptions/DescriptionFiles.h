#pragma once
// The logical content of a distribution's description files, read through profile stores:
//   RAVIRI.INF  the collections: "<id> - templates" (one entry per profile key) and
//               "<id> - collection" ("Name." + L, the display name);
//   SETUP.INI   "Info" ("Comment." + L, "Copyright." + L) and one section per item key
//               (profile, dictionary, TM base, preprocessor).
// L is the interface language letter (string 500, "R"), appended to the entry names that end in
// a dot. Missing sections and entries read as their defaults; nothing here fails.
#include "descriptions/XCryptedProfile2.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

inline constexpr std::string_view kTemplatesSuffix = " - templates";
inline constexpr std::string_view kCollectionSuffix = " - collection";
inline constexpr std::string_view kInfoSection = "Info";

// The interface language letter: the text of string 500.
std::string InterfaceLanguageLetter();

// `name` followed by `letter` when `name` ends in '.' ("Name." -> "Name.R"); otherwise `name`.
std::string LocalizedEntryName(std::string_view name, std::string_view letter);

// A ";" list: the pieces in order, up to the first empty one ("law;;it" -> {"law"}, a trailing
// ';' is harmless). Pieces are not trimmed ("law; it" -> {"law", " it"}).
std::vector<std::string> SplitKeyList(std::string_view value);

// An algorithm-settings value: a ";" list (rules above) of "name|value|ignored" pairs; name and
// value are trimmed of white space, the value is empty without a '|'.
struct AlgoSetting {
    std::string name;
    std::string value;
    bool operator==(const AlgoSetting&) const = default;
};
std::vector<AlgoSetting> SplitAlgoSettings(std::string_view value);

// The two letters of a direction code, upper-cased, source first ("er", "ER-x" -> {'E','R'}).
// Nothing when the value is shorter than two characters or a letter is not one of
// E R G F I S P L D.
struct DirectionLetters {
    char source;
    char target;
    bool operator==(const DirectionLetters&) const = default;
};
std::optional<DirectionLetters> ParseDirectionCode(std::string_view code);

// The numeric identifier of a collection identifier text: leading white space, an optional sign,
// then decimal digits; 0 when there are none. Values beyond 32 bits saturate.
std::int32_t CollectionNumber(std::string_view identifier);

// A setting stored as "S" or "I" ("ShowTransVariants", "TranslitUnknown"): an "S" entry as it
// stands, an "I" entry as "true" (non-zero) or "false"; empty when absent or of another type.
std::string ReadTextOrFlag(const CXCryptedProfile2& store, std::string_view section,
                           std::string_view entry);

// The string entries prefix + "1", prefix + "2", ... of a section, up to the first missing or
// empty one ("Algo.", "Keywords.").
std::vector<std::string> ReadNumberedStrings(const CXCryptedProfile2& store,
                                             std::string_view section, std::string_view prefix);

// RAVIRI.INF.
class CRaviriInf {
public:
    CRaviriInf(const CXCryptedProfile2& store, std::string letter);

    // Identifiers of every section named longer than " - templates" and ending in it exactly,
    // in the store's index order.
    std::vector<std::string> CollectionIds() const;
    // "Name." + L of "<id> - collection"; the identifier itself when that is empty.
    std::string CollectionDisplayName(std::string_view id) const;
    // The profile keys of a collection: the entry names of "<id> - templates", in index order.
    std::vector<std::string> ProfileKeys(std::string_view id) const;

private:
    const CXCryptedProfile2& store_;
    std::string letter_;
};

// The entries every item section has (profile, dictionary, TM base).
struct ItemEntries {
    std::int32_t size = 0; // "Size"
    std::string nameOnCD;  // "NameOnCD", relative to the distribution root
    std::string direction; // "Direction", the code as written (see ParseDirectionCode)
    std::string name;      // "Name." + L
};

// A preprocessor a profile names, with a non-empty "UID".
struct PreprocessorEntries {
    std::string key;       // the piece of the profile's "Preproc" list (its section name)
    std::string uid;       // "UID" of that section
    std::int32_t mask = 0; // "Preproc." + key of the profile's section
};

// The further entries of a profile section.
struct ProfileEntries {
    std::vector<std::string> dictionaries;     // "Dictionaries" list
    std::vector<std::string> baseTM;           // "BaseTM" list
    std::vector<std::string> preprocessorKeys; // "Preproc" list, as written
    std::vector<PreprocessorEntries>
        preprocessors;                   // those of preprocessorKeys with a UID, in order
    std::vector<AlgoSetting> algorithms; // "Algo.1", "Algo.2", ... split into pairs
    std::vector<std::string> keywords;   // "Keywords.1", "Keywords.2", ...
    std::string keywordsFile;            // "Keywords"
    std::string wwtFile;                 // "WWT"
    std::string showTransVariants;       // see ReadTextOrFlag
    std::string translitUnknown;         // see ReadTextOrFlag
};

// SETUP.INI.
class CSetupIni {
public:
    CSetupIni(const CXCryptedProfile2& store, std::string letter);

    std::string Comment() const;   // "Comment." + L of "Info"
    std::string Copyright() const; // "Copyright." + L of "Info"
    ItemEntries ReadItem(std::string_view key) const;
    ProfileEntries ReadProfile(std::string_view key) const;
    // "UID" of a preprocessor section; empty means the preprocessor is ignored.
    std::string PreprocessorUid(std::string_view key) const;

private:
    const CXCryptedProfile2& store_;
    std::string letter_;
};

} // namespace quillon
