// quillon-cli: the installer's engine from the command line (docs/quillon-cli.md).
//
//   quillon-cli directions [--json]
//   quillon-cli list DIST [--json]
//   quillon-cli install DIST --collection ID [--profile KEY]... [--replace replace|skip|ask] [--yes]
//               [--json | --events]
//   quillon-cli plan DIST --collection ID [--profile KEY]... [--replace …] [--yes] [--json]
//   quillon-cli installed [--direction CODE] [--json]
//   quillon-cli remove ...; quillon-cli --help | -h | --version
//   with any command: --log FILE (the steps as JSON lines appended to FILE), -y/--yes,
//   -q/--quiet, -v/--verbose, --no-progress; GNU conventions (--name=value, "--" ends options)
//
// Exit codes: 0 done; 1 could not start (no kernel, no distribution, unreadable descriptions);
// 2 bad usage; 3 cancelled; 4 partly failed; 5 nothing done. With --json, standard output is one
// JSON object whatever the exit code (cli/Output.h).
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/StepOutput.h"
#include "platform/posix/PosixPorts.h"
#include "support/CommandLine.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quillon::CommandLine;
using quillon::OptionSpec;

struct CommandInfo {
    const char* name;
    int (*run)(const CommandLine&);
    std::vector<std::string> options; // besides the options of every command
};

const std::vector<CommandInfo>& Commands() {
    using namespace quillon::cli;
    static const std::vector<CommandInfo> commands{
        {"directions", Directions, {}},
        {"list", List, {}},
        {"plan", Plan, {"collection", "profile", "replace"}},
        {"install", Install, {"collection", "profile", "replace", "events"}},
        {"installed", Installed, {"direction"}},
        {"remove", Remove, {"direction", "collection", "all", "all-of-direction"}},
    };
    return commands;
}

// The options of every command, then those of one command or another.
const std::vector<OptionSpec> kOptions{
    {"help", 'h', false},    {"version", 0, false},  {"json", 0, false},        {"yes", 'y', false},
    {"quiet", 'q', false},   {"verbose", 'v', false}, {"no-progress", 0, false}, {"log", 0, true},
    {"collection", 0, true}, {"profile", 0, true},    {"replace", 0, true},      {"direction", 0, true},
    {"events", 0, false},    {"all", 0, false},       {"all-of-direction", 0, false},
};
constexpr int kEveryCommandOptions = 8;

// The command and its options checked; the exit code of a mistake, or nothing.
std::optional<int> Check(const CommandLine& line, const CommandInfo*& command) {
    using namespace quillon::cli;
    if (!line.Ok())
        return UsageError(line.Error());
    if (line.Operands().empty())
        return UsageError("no command given");
    const std::string& word = line.Operands()[0];
    const auto& all = Commands();
    const auto found = std::find_if(all.begin(), all.end(), [&](const CommandInfo& c) { return word == c.name; });
    if (found == all.end())
        return UsageError("unknown command '" + word + "'");
    command = &*found;
    for (const auto& [name, value] : line.Given()) {
        const bool everyCommand = std::any_of(kOptions.begin(), kOptions.begin() + kEveryCommandOptions,
                                              [&](const OptionSpec& s) { return s.name == name; });
        if (!everyCommand && std::find(command->options.begin(), command->options.end(), name) == command->options.end())
            return UsageError("option '--" + name + "' does not apply to " + command->name);
    }
    for (const char* once : {"log", "collection", "replace", "direction"})
        if (line.Count(once) > 1 && !(std::string_view(once) == "collection" && std::string_view(command->name) == "remove"))
            return UsageError("option '--" + std::string(once) + "' given more than once");
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    using namespace quillon::cli;
    // A reader that went away (`--events | head -1`) or the file-size limit must not kill an
    // installation midway: writes then fail with EPIPE / EFBIG, which the writers handle.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> all(argv + 1, argv + argc);
    const CommandLine line(all, kOptions);
    if (line.Has("help"))
        return Help();
    if (line.Has("version"))
        return Version();
    const bool events = line.Has("events");
    SetJsonOutput(line.Has("json") || events);
    SetEventStream(events);
    SetQuiet(line.Has("quiet"));
    SetVerbose(line.Has("verbose") && !line.Has("quiet"));
    SetProgressShown(!line.Has("no-progress") && !line.Has("quiet"));
    const CommandInfo* command = nullptr;
    if (const auto mistake = Check(line, command)) {
        FinishJson(*mistake);
        return *mistake;
    }
    if (line.Has("log") && !OpenLog(line.Value("log"), all)) {
        SetJsonError("the log file cannot be opened");
        FinishJson(kExitCannotStart);
        return kExitCannotStart;
    }
    if (events)
        EnableEvents();
    // Every command reads the hive: one that cannot be read (a FIFO, a folder, a malformed file)
    // is named here, not mistaken for a machine without the product.
    int code = kExitCannotStart;
    auto& hive = quillon::posix::InstallPosixPorts().registry;
    if (hive.Check() != quillon::regerr::Success)
        Complain(hive.Error());
    else
        code = command->run(line);
    FinishJson(code);
    // What the command wrote must have reached standard output (`list >/dev/full`); the events'
    // reader going away only ended the events.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && !Events()) {
        std::fprintf(stderr, "quillon-cli: standard output cannot be written\n");
        if (code == kExitDone)
            code = kExitCannotStart;
    }
    CloseLog(code);
    return code;
}
