// quillon-cli: the installer's engine from the command line (docs/quillon-cli.md).
//
//   quillon-cli directions [--json]
//   quillon-cli list DIST [--json]
//   quillon-cli install DIST --collection ID [--profile KEY]... [--replace replace|skip|ask] [--yes]
//               [--json | --events]
//   quillon-cli plan DIST --collection ID [--profile KEY]... [--replace …] [--yes] [--json]
//   quillon-cli installed [--direction CODE] [--json]
//   quillon-cli remove ...; quillon-cli --help | -h | --version
//   --log FILE with any command: the steps as JSON lines appended to FILE
//
// Exit codes: 0 done; 1 could not start (no kernel, no distribution, unreadable descriptions);
// 2 bad usage; 3 cancelled; 4 partly failed; 5 nothing done. With --json, standard output is one
// JSON object whatever the exit code (cli/Output.h).
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/StepOutput.h"
#include "platform/posix/PosixPorts.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace {

int Run(const std::vector<std::string>& args) {
    if (args.empty())
        return quillon::cli::Usage();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    static const char* const kCommands[] = {"directions", "list",      "install",
                                            "remove",     "installed", "plan"};
    if (std::find(std::begin(kCommands), std::end(kCommands), args[0]) == std::end(kCommands))
        return quillon::cli::Usage();
    // Every command reads the hive: one that cannot be read (a FIFO, a folder, a malformed file)
    // is named here, not mistaken for a machine without the product.
    auto& hive = quillon::posix::InstallPosixPorts().registry;
    if (hive.Check() != quillon::regerr::Success) {
        quillon::cli::Complain(hive.Error());
        return quillon::cli::kExitCannotStart;
    }
    if (args[0] == "directions")
        return quillon::cli::Directions(rest);
    if (args[0] == "list")
        return quillon::cli::List(rest);
    if (args[0] == "install")
        return quillon::cli::Install(rest);
    if (args[0] == "remove")
        return quillon::cli::Remove(rest);
    if (args[0] == "installed")
        return quillon::cli::Installed(rest);
    if (args[0] == "plan")
        return quillon::cli::Plan(rest);
    return quillon::cli::Usage();
}

} // namespace

int main(int argc, char** argv) {
    // A reader that went away (`--events | head -1`) or the file-size limit must not kill an
    // installation midway: writes then fail with EPIPE / EFBIG, which the writers handle.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> all(argv + 1, argv + argc);
    const auto given = [&](const char* flag) { return std::find(all.begin(), all.end(), flag) != all.end(); };
    if (given("--help") || given("-h"))
        return quillon::cli::Help();
    if (given("--version"))
        return quillon::cli::Version();
    // --log FILE, anywhere on the line, belongs to every command.
    std::vector<std::string> args;
    std::string logPath;
    bool logGiven = false;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] != "--log") {
            args.push_back(all[i]);
        } else if (i + 1 < all.size() && !logGiven) {
            logGiven = true;
            logPath = all[++i];
        } else {
            return quillon::cli::Usage();
        }
    }
    const bool events = given("--events");
    quillon::cli::SetJsonOutput(given("--json") || events);
    quillon::cli::SetEventStream(events);
    if (events && (args.empty() || args[0] != "install")) {
        const int code = quillon::cli::Usage();
        quillon::cli::FinishJson(code);
        return code;
    }
    if (logGiven && !quillon::cli::OpenLog(logPath, all)) {
        quillon::cli::SetJsonError("the log file cannot be opened");
        quillon::cli::FinishJson(quillon::cli::kExitCannotStart);
        return quillon::cli::kExitCannotStart;
    }
    if (events)
        quillon::cli::EnableEvents();
    int code = Run(args);
    quillon::cli::FinishJson(code);
    // What the command wrote must have reached standard output (`list >/dev/full`); the events'
    // reader going away only ended the events.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && !quillon::cli::Events()) {
        std::fprintf(stderr, "quillon-cli: standard output cannot be written\n");
        if (code == quillon::cli::kExitDone)
            code = quillon::cli::kExitCannotStart;
    }
    quillon::cli::CloseLog(code);
    return code;
}
