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

#include <string>
#include <vector>

namespace quillon::dist {

struct BuildOptions {
    bool setupInf = false; // setup.inf instead of the two plain description files
};

// True when the distribution was written; false with a one-line reason in `error`. Findings
// that do not stop the build (a dictionary file whose own direction differs from its entry) are
// added to `warnings`.
bool BuildDistribution(const Manifest& manifest, const std::string& outDir,
                       const BuildOptions& options, std::string& error,
                       std::vector<std::string>& warnings);

} // namespace quillon::dist
