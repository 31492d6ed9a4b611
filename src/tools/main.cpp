#include "tools/Commands.h"
#include "support/Version.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace {

using quillon::dist::Command;

std::vector<const std::vector<Command>*> Groups() {
    using namespace quillon::dist;
    return {
#ifdef QUILLON_DIST_PROFILE
        &ProfileCommands(),
#endif
#ifdef QUILLON_DIST_PACK
        &PackCommands(),
#endif
#ifdef QUILLON_DIST_STORAGE
        &StorageCommands(),
#endif
#ifdef QUILLON_DIST_BUILD
        &BuildCommands(),
#endif
#ifdef QUILLON_DIST_DICT
        &DictCommands(),
#endif
#ifdef QUILLON_DIST_DESCRIBE
        &DescribeCommands(),
#endif
    };
}

// The usage on `out`: standard error for a mistake, standard output for --help.
void PrintUsage(std::FILE* out) {
    std::fprintf(out, "usage: quillon-dist COMMAND ...\n       quillon-dist --help | --version\ncommands:\n");
    for (const auto* group : Groups())
        for (const Command& c : *group)
            std::fprintf(out, "  %s %s\n", c.name, c.usage);
}

int Usage() {
    PrintUsage(stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    const auto given = [&](const char* flag) { return std::find(words.begin(), words.end(), flag) != words.end(); };
    if (given("--help") || given("-h")) {
        PrintUsage(stdout);
        return 0;
    }
    // Only as the first word: "dict make … --version N" is the dictionary's format version.
    if (!words.empty() && words[0] == "--version") {
        std::printf("quillon-dist %s\n", quillon::QuillonVersion());
        return 0;
    }
    // The longest command name that matches the first words wins ("profile dump" over "profile").
    const Command* best = nullptr;
    std::size_t bestWords = 0;
    for (const auto* group : Groups()) {
        for (const Command& c : *group) {
            std::vector<std::string> parts;
            for (std::string_view rest = c.name; !rest.empty();) {
                const auto space = rest.find(' ');
                parts.emplace_back(rest.substr(0, space));
                rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
            }
            if (parts.size() > words.size() || parts.size() <= bestWords)
                continue;
            bool match = true;
            for (std::size_t i = 0; i < parts.size(); ++i)
                match &= words[i] == parts[i];
            if (match) {
                best = &c;
                bestWords = parts.size();
            }
        }
    }
    if (!best)
        return Usage();
    return best->run(std::vector<std::string>(words.begin() + static_cast<long>(bestWords), words.end()));
}
