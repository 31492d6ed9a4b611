// launcher: starts the installer program the translation product has registered, without
// arguments, and ends at once (exit 0; -1 when there is nothing to start or the hive cannot be
// read, said on standard error; else the error code of the failed start).
#include "launcher/Launcher.h"
#include "platform/posix/HiveRegistry.h"
#include "support/Version.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::puts("usage: launcher\n"
                  "Starts the dictionary installer the KALDO product registered (\"Apps\": \"Pelladrin\",\n"
                  "\"Morvels\", \"Morvel\"), preferring the program of that name beside the launcher.\n"
                  "Exit code: 0 started; 255 (-1) nothing registered; else the error of the start.");
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("launcher %s\n", quillon::QuillonVersion());
        return 0;
    }
    quillon::posix::HiveRegistry registry(quillon::posix::HiveRegistry::DefaultPath());
    if (registry.Check() != quillon::regerr::Success) { // a FIFO, a folder, a malformed file
        std::fprintf(stderr, "launcher: %s\n", registry.Error().c_str());
        return -1;
    }
    std::error_code ec;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    std::string reason;
    const int code =
        quillon::launcher::RunLauncher(registry, ec ? std::string() : self, quillon::launcher::StartDetached, &reason);
    if (code == quillon::launcher::kExitNothingToStart && !reason.empty())
        std::fprintf(stderr, "launcher: nothing started: %s\n", reason.c_str());
    return code;
}
