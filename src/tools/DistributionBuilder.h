#pragma once
// Writes the distribution a checked manifest describes (docs/manifest.md): RAVIRI.INF and
// SETUP.INI (or setup.inf holding them as the streams "RAVIRI.INF" and "SETUP.INI"), every
// dictionary packed at its NameOnCD, every TM base, profile, keywords and WWT file copied to its
// NameOnCD.
//
// Everything is written into a fresh private folder beside `outDir` and renamed to `outDir` only
// when complete: a failure leaves `outDir` as it was and removes the partial folder. `outDir`
// must not exist yet (an empty folder is accepted and replaced).
#include "tools/Manifest.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quillon::dist {

struct BuildOptions {
    bool setupInf = false; // setup.inf instead of the two plain description files
    bool best = false;     // dictionaries packed at the best level (Packer.h), not the fast one
    // Told what is being done, for a progress line: the dictionary's number (from 1) of
    // `count`, its key, and the percentage of its packing (-1 while its word list compiles).
    std::function<void(std::size_t number, std::size_t count, const std::string& key, int percent)> progress;
};

// True when the distribution was written; false with a one-line reason in `error`. Findings
// that do not stop the build (a dictionary file whose own direction differs from its entry) are
// added to `warnings`.
bool BuildDistribution(const Manifest& manifest, const std::string& outDir,
                       const BuildOptions& options, std::string& error,
                       std::vector<std::string>& warnings);

} // namespace quillon::dist
