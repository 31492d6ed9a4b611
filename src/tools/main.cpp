#include "tools/Commands.h"
#include "support/Json.h"
#include "support/Text.h"
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

// The usage on standard output (--help).
void PrintUsage() {
    std::printf("usage: quillon-dist COMMAND ...\n       quillon-dist --help | --version\ncommands:\n");
    for (const auto* group : Groups())
        for (const Command& c : *group)
            std::printf("  %s %s\n", c.name, c.usage);
    std::printf("An option's value may follow it (--collection 1) or be joined with '=' (--collection=1);\n"
                "\"--\" ends the options. Exit status: 0 done, 1 the work failed, 2 bad usage.\n");
}

} // namespace


int main(int argc, char** argv) {
    using quillon::dist::UsageError;
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (!words.empty() && (words[0] == "--help" || words[0] == "-h")) {
        PrintUsage();
        return 0;
    }
    // Only as the first word: "dict make … --version N" is the dictionary's format version.
    if (!words.empty() && words[0] == "--version") {
        std::printf("quillon-dist %s\n", quillon::QuillonVersion());
        return 0;
    }
    if (words.empty())
        return UsageError("no command given");
    if (words[0].starts_with("-"))
        return UsageError("unknown option '" + words[0] + "'");
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
        return UsageError("unknown command '" + words[0] + "'");
    std::vector<quillon::OptionSpec> options = best->options;
    options.push_back({"help", 'h', false});
    const std::vector<std::string> rest(words.begin() + static_cast<long>(bestWords), words.end());
    const quillon::CommandLine line(rest, options);
    const bool json = std::any_of(options.begin(), options.end(), [](const auto& o) { return o.name == "json"; }) &&
                      std::find(rest.begin(), rest.end(), "--json") != rest.end();
    if (!line.Ok())
        return UsageError(std::string(best->name) + ": " + line.Error(), json);
    if (line.Has("help")) {
        std::printf("usage: quillon-dist %s %s\n", best->name, best->usage);
        return 0;
    }
    return best->run(quillon::dist::Args(line.Operands(), line));
}
