// quillon-dist pack | unpack | verify: packed dictionary files.
#include "install/Packer.h"
#include "install/UnpackFile.h"
#include "support/AtomicFile.h"
#include "tools/Commands.h"

#include <cstdio>
#include <sys/stat.h>

namespace quillon::dist {
namespace {

const char* UnpackMessage(int result) {
    switch (result) {
    case kUnpackOk: return "ok";
    case kUnpackSourceError: return "cannot open the packed file for reading";
    case kUnpackCreateError: return "cannot create the destination file";
    case kUnpackWriteError: return "writing the destination failed (removed)";
    case kUnpackBadHeader: return "not a packed file (short header, wrong magic or version not 1)";
    case kUnpackChecksumError: return "checksum mismatch: the unpacked data are damaged";
    case kUnpackCancelled: return "cancelled";
    default: return "unexpected result";
    }
}

const char* PackMessage(int result) {
    switch (result) {
    case kPackOk: return "ok";
    case kPackSourceError: return "cannot read the source file";
    case kPackCreateError: return "cannot create the destination file";
    case kPackWriteError: return "writing the destination failed (removed)";
    default: return "unexpected result";
    }
}

int Pack(const Args& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: quillon-dist pack IN OUT [--best]\n");
        return 2;
    }
    PackOptions options;
    options.best = args.Has("best");
    const int rc = PackFile(args[0], args[1], options);
    if (rc != kPackOk) {
        std::fprintf(stderr, "pack: %s: %s (%d)\n", args[0].c_str(), PackMessage(rc), rc);
        return 1;
    }
    return 0;
}

int Unpack(const Args& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: quillon-dist unpack IN OUT\n");
        return 2;
    }
    // Unpacked beside OUT under a fresh name and renamed only when complete: a failed unpack
    // leaves an existing OUT as it was.
    AtomicFile out;
    if (!out.Begin(args[1])) {
        std::fprintf(stderr, "unpack: %s\n", out.Error().c_str());
        return 1;
    }
    const int rc = UnpackFile(args[0], out.TempPath(), nullptr, nullptr);
    if (rc != kUnpackOk) {
        std::fprintf(stderr, "unpack: %s: %s (%d)\n", args[0].c_str(), UnpackMessage(rc), rc);
        return 1;
    }
    if (!out.Commit()) {
        std::fprintf(stderr, "unpack: %s\n", out.Error().c_str());
        return 1;
    }
    return 0;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int Verify(const Args& args) {
    const bool json = args.Has("json");
    if (args.empty())
        return UsageError("verify needs packed FILEs or a distribution folder DIST", json);
    // A folder: the whole distribution (--json only there).
    if (args.size() == 1 && (IsFolder(args[0]) || json))
        return VerifyFolder(args);
    if (json)
        return UsageError("verify --json takes one distribution folder", true);
    int exitCode = 0;
    for (const std::string& file : args) {
        const int rc = VerifyPackedFile(file);
        std::printf("%s: %s\n", file.c_str(), UnpackMessage(rc));
        if (rc != kUnpackOk)
            exitCode = 1;
    }
    return exitCode;
}

} // namespace

const std::vector<Command>& PackCommands() {
    static const std::vector<Command> commands{
        {"pack", "IN OUT [--best]   pack a file into the distribution's packed form (--best: smallest, slow)", &Pack,
         {{"best", 0, false}}},
        {"unpack", "IN OUT      unpack a packed file", &Unpack},
        {"verify", "FILE... | DIST [--json]   packed files: header and checksum; a folder: the whole distribution", &Verify,
         {{"json", 0, false}}},
    };
    return commands;
}

} // namespace quillon::dist
