#pragma once
// The manifest of `quillon-dist build` (format in docs/manifest.md): an INI-like UTF-8 text that
// describes a whole distribution. ReadManifest parses and checks it completely before anything is
// written: every section and entry known, every reference resolved, every key a safe file name,
// every NameOnCD a relative path below the distribution, every source file present, no two output
// files at one place. What it answers is what the builder writes, without further checks.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon::dist {

// One diagnostic, "FILE:LINE: what" (LINE 0: the whole file).
struct ManifestMessage {
    int line = 0;
    std::string what;
};

// "Name.R" = "..." and the like, in manifest order.
using LocalizedTexts = std::vector<std::pair<std::string, std::string>>;

// A file taken from the author's disk and placed into the distribution.
struct PlacedFile {
    std::string source;   // full path on this machine
    std::string nameOnCD; // relative path in the distribution, as written into SETUP.INI
    int line = 0;         // of the entry that placed it
};

// "ShowTransVariants" / "TranslitUnknown": an "I" or an "S" entry.
struct TextOrFlag {
    bool isText = false;
    std::int32_t number = 0;
    std::string text;
};

struct ManifestItem {
    std::string key;
    int line = 0;          // of the section header
    std::string direction; // two upper-case letters
    LocalizedTexts names;  // "Name.<letter>"
    std::optional<std::int32_t> size;
};

struct ManifestDictionary : ManifestItem {
    PlacedFile file;        // source: an existing dictionary file, or the word list
    bool fromWords = false; // compile `file.source` as a word list
    // Attributes of a compiled dictionary.
    std::uint16_t version = 4;
    std::string title; // empty: the first name, else the key
    std::int32_t linkNumber = 0;
    std::uint8_t linkCode = 0;
    std::int32_t formatLevel = 0;
    std::string guid; // empty: a fresh one
};

struct ManifestBaseTM : ManifestItem {
    PlacedFile file;
};

struct ManifestPreprocessor {
    std::string key;
    int line = 0;
    std::string uid;
};

struct ManifestProfile : ManifestItem {
    std::optional<PlacedFile> file; // the profile file itself
    std::vector<std::string> dictionaries;
    std::vector<std::string> baseTM;
    std::vector<std::string> preprocessors;
    std::vector<std::pair<std::string, std::int32_t>> masks; // "Preproc.<key>"
    std::vector<std::string> algorithms;                     // "Algo.1", "Algo.2", ...
    std::vector<std::string> keywords;                       // "Keywords.1", ...
    std::optional<PlacedFile> keywordsFile;
    std::optional<PlacedFile> wwtFile;
    std::optional<TextOrFlag> showTransVariants;
    std::optional<TextOrFlag> translitUnknown;
};

struct ManifestCollection {
    std::string id;
    int line = 0;
    LocalizedTexts names;
    std::vector<std::string> profiles;
};

struct Manifest {
    std::string path;
    std::string folder;  // sources resolve against it (ends in '/')
    LocalizedTexts info; // "Comment.<letter>", "Copyright.<letter>"
    std::vector<ManifestCollection> collections;
    std::vector<ManifestProfile> profiles;
    std::vector<ManifestDictionary> dictionaries;
    std::vector<ManifestBaseTM> baseTM;
    std::vector<ManifestPreprocessor> preprocessors;
};

// Reads and checks the manifest at `path`. Answers it when it has no error; warnings (a
// dictionary whose direction differs from a profile's, an item nobody uses) are added to
// `warnings` either way. Errors go to `errors`, at most 100 of them.
std::optional<Manifest> ReadManifest(const std::string& path, std::vector<ManifestMessage>& errors,
                                     std::vector<ManifestMessage>& warnings);

// The same over text in memory; `path` names the file in messages and gives the source folder.
std::optional<Manifest> ParseManifest(const std::string& text, const std::string& path,
                                      std::vector<ManifestMessage>& errors,
                                      std::vector<ManifestMessage>& warnings);

} // namespace quillon::dist
