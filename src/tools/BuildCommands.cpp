// quillon-dist build MANIFEST OUTDIR [--setup-inf]: a whole distribution from a manifest
// (docs/manifest.md). Exit 0 when written, 1 when the manifest is wrong or writing failed
// (OUTDIR then absent or as it was), 2 on bad usage.
#include "support/Text.h"
#include "tools/Commands.h"
#include "tools/DistributionBuilder.h"
#include "tools/Manifest.h"

#include <cstdio>
#include <unistd.h>

namespace quillon::dist {
namespace {

void Print(const std::string& file, const ManifestMessage& m, const char* kind) {
    std::fprintf(stderr, "%s:%d: %s%s\n", file.c_str(), m.line, kind, m.what.c_str());
}

int Build(const Args& args) {
    const Args& plain = args;
    BuildOptions options;
    options.setupInf = args.Has("setup-inf");
    options.best = args.Has("best");
    // On a terminal, one line that says which dictionary is being compiled or packed.
    const bool terminal = ::isatty(STDERR_FILENO);
    if (terminal)
        options.progress = [](std::size_t number, std::size_t count, const std::string& key, int percent) {
            std::string line = "dictionary " + std::to_string(number) + " of " + std::to_string(count) + ": " +
                               TerminalSafe(key) + (percent < 0 ? "  compiling" : "  packing " + std::to_string(percent) + "%");
            std::fprintf(stderr, "\r\033[K%s", line.substr(0, 200).c_str());
            std::fflush(stderr);
        };
    if (plain.size() != 2) {
        std::fprintf(stderr, "usage: quillon-dist build MANIFEST OUTDIR [--setup-inf] [--best]\n");
        return 2;
    }
    std::vector<ManifestMessage> errors, warnings;
    const auto manifest = ReadManifest(plain[0], errors, warnings);
    for (const auto& w : warnings)
        Print(plain[0], w, "warning: ");
    for (const auto& e : errors)
        Print(plain[0], e, "");
    if (!manifest)
        return 1;
    std::string error;
    std::vector<std::string> buildWarnings;
    const bool ok = BuildDistribution(*manifest, plain[1], options, error, buildWarnings);
    if (terminal && !manifest->dictionaries.empty())
        std::fputs("\r\033[K", stderr);
    for (const auto& w : buildWarnings)
        std::fprintf(stderr, "%s\n", w.c_str());
    if (!ok) {
        std::fprintf(stderr, "quillon-dist: build: %s\n", error.c_str());
        return 1;
    }
    std::printf(
        "%s: %zu collections, %zu profiles, %zu dictionaries, %zu TM bases, %zu preprocessors%s\n",
        plain[1].c_str(), manifest->collections.size(), manifest->profiles.size(),
        manifest->dictionaries.size(), manifest->baseTM.size(), manifest->preprocessors.size(),
        options.setupInf ? " (setup.inf)" : "");
    return 0;
}

} // namespace

const std::vector<Command>& BuildCommands() {
    static const std::vector<Command> commands{
        {"build", "MANIFEST OUTDIR [--setup-inf] [--best]   a whole distribution from a manifest", &Build,
         {{"setup-inf", 0, false}, {"best", 0, false}}},
    };
    return commands;
}

} // namespace quillon::dist
