// quillon-launcher: starts the installer program the translation product has registered,
// without arguments, and ends at once. Exit status: 0 started; 255 nothing to start (nothing
// registered, the hive unreadable: the product's -1); 1 the start failed; 2 bad usage. Why
// nothing was started is said on standard error.
#include "launcher/Launcher.h"
#include "platform/posix/HiveRegistry.h"
#include "support/CommandLine.h"
#include "support/Text.h"
#include "support/Version.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

constexpr int kExitStartFailed = 1, kExitUsage = 2;

} // namespace

int main(int argc, char** argv) {
    // Operands are ignored, as the product's launcher ignores its command line; options are not.
    const quillon::CommandLine line(std::vector<std::string>(argv + 1, argv + argc),
                                    {{"help", 'h', false}, {"version", 0, false}});
    if (!line.Ok()) {
        std::fprintf(stderr, "quillon-launcher: %s\nTry 'quillon-launcher --help' for more information.\n",
                     quillon::TerminalSafe(line.Error()).c_str());
        return kExitUsage;
    }
    if (line.Has("help")) {
        std::puts("usage: quillon-launcher [--help | --version]\n"
                  "Starts the dictionary installer the KALDO product registered (\"Apps\": \"Pelladrin\",\n"
                  "\"Morvels\", \"Morvel\"), preferring the program of that name beside the launcher.\n"
                  "Exit status: 0 started; 255 nothing to start (said on standard error);\n"
                  "1 the start failed (said on standard error); 2 bad usage.");
        return 0;
    }
    if (line.Has("version")) {
        std::printf("quillon-launcher %s\n", quillon::QuillonVersion());
        return 0;
    }
    quillon::posix::HiveRegistry registry(quillon::posix::HiveRegistry::DefaultPath());
    if (registry.Check() != quillon::regerr::Success) { // a FIFO, a folder, a malformed file
        std::fprintf(stderr, "quillon-launcher: nothing started: %s\n", quillon::TerminalSafe(registry.Error()).c_str());
        return quillon::launcher::kExitNothingToStart;
    }
    std::error_code ec;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    std::string reason, started;
    const int code = quillon::launcher::RunLauncher(
        registry, ec ? std::string() : self,
        [&](const std::string& path) {
            started = path;
            return quillon::launcher::StartDetached(path);
        },
        &reason);
    if (code == quillon::launcher::kExitNothingToStart) {
        std::fprintf(stderr, "quillon-launcher: nothing started: %s\n",
                     quillon::TerminalSafe(reason.empty() ? "nothing to start" : reason).c_str());
        return code;
    }
    // The system's error code is said, not returned: it would be read as one of ours (2: usage).
    if (code != 0) {
        std::fprintf(stderr, "quillon-launcher: cannot start %s: %s\n", quillon::TerminalSafe(started).c_str(),
                     std::strerror(code));
        return kExitStartFailed;
    }
    return 0;
}
