#pragma once
// quillon-dist verify DIST: a whole distribution checked the way the installer will meet it
// (docs/quillon-dist.md, "verify"). The description files are found and loaded as the installer
// loads them (RAVIRI.INF and SETUP.INI, or setup.inf); every collection, profile, dictionary,
// TM base, preprocessor, keywords and WWT file they name is looked up under the installer's case
// rule; every packed dictionary is decoded in memory with the unpacker's decoder and checked
// against its CRC, and the dictionary inside read with the product's format; keys that are not
// safe file names, direction codes no table knows, sections nothing references and declared
// sizes far from the real ones are reported.
//
// Every fault is reported once, where it is met first: a dictionary shared by two profiles is
// checked once; nothing more is said about an item whose section or file is missing.
#include "product/DictionaryFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::dist {

struct Finding {
    enum class Severity { Error, Warning };
    Severity severity = Severity::Error;
    std::string check;   // a stable word: "packed-checksum", "direction", …
    std::string section; // the description section it concerns (empty for the files as a whole)
    std::string file;    // the distribution file it concerns, relative as the descriptions name it
    std::string text;    // for people (English), naming the installer's message where there is one
};

struct VerifyReport {
    std::string folder; // the folder holding the description files
    std::vector<Finding> findings;
    int collections = 0, profiles = 0, dictionaries = 0, basesTM = 0;
    std::uint64_t packedBytes = 0, unpackedBytes = 0; // of the dictionaries decoded
    double seconds = 0;
    int Errors() const;
    int Warnings() const;
};

// Checks the distribution in `folder` (the folder itself, else its DICTS folder, as the
// installer looks). `format` may be null: the dictionaries inside are then not read. A setup.inf
// is unpacked into working copies as the installer does (the POSIX ports are installed when the
// process has none).
VerifyReport VerifyDistribution(const std::string& folder, const DictionaryFormat* format);

// "error" / "warning".
const char* SeverityName(Finding::Severity severity);

} // namespace quillon::dist
