// quillon-dist storage commands: build, list and unpack compound files (setup.inf).
//   storage create OUT NAME=FILE...   a compound file whose root storage holds the given streams
//   storage list FILE                 one line per root element: kind, size, name
//   storage extract FILE NAME OUT     one stream (name matched ignoring case) into OUT
#include "support/CompoundFile.h"
#include "support/CompoundFileWriter.h"
#include "support/Storage.h"
#include "tools/Commands.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace quillon::dist {
namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "quillon-dist: %s\n", message.c_str());
    return 1;
}

int Usage(const char* text) {
    std::fprintf(stderr, "usage: quillon-dist %s\n", text);
    return 2;
}

// Control characters of element names (MSI's "\x05SummaryInformation") shown as \xNN.
std::string Printable(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || c == '\\') {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int Create(const Args& args) {
    if (args.size() < 2)
        return Usage("storage create OUT NAME=FILE...");
    CompoundFileWriter writer;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const auto eq = args[i].find('=');
        if (eq == std::string::npos || eq == 0) {
            std::fprintf(stderr, "quillon-dist: \"%s\" is not NAME=FILE\n", args[i].c_str());
            return Usage("storage create OUT NAME=FILE...");
        }
        const std::string file = args[i].substr(eq + 1);
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return Fail(file + ": cannot be read");
        std::vector<std::uint8_t> content((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
        if (in.bad())
            return Fail(file + ": cannot be read");
        if (!writer.AddStream(args[i].substr(0, eq), std::move(content)))
            return Fail(writer.Error());
    }
    if (!writer.WriteFile(args[0]))
        return Fail(writer.Error());
    return 0;
}

int List(const Args& args) {
    if (args.size() != 1)
        return Usage("storage list FILE");
    CompoundFile file;
    if (!file.Open(args[0]))
        return Fail(args[0] + ": " + file.Error());
    for (const CompoundEntry& e : file.Elements()) {
        if (e.isStream)
            std::printf("stream\t%llu\t%s\n", static_cast<unsigned long long>(e.size),
                        Printable(e.name).c_str());
        else
            std::printf("storage\t-\t%s\n", Printable(e.name).c_str());
    }
    return 0;
}

int Extract(const Args& args) {
    if (args.size() != 3)
        return Usage("storage extract FILE NAME OUT");
    CStorage storage(args[0]);
    if (storage.Open(true) != CStorage::kOpened)
        return Fail(storage.LastError());
    if (!storage.ExtractStream(args[1], args[2], true))
        return Fail(storage.LastError());
    return 0;
}

} // namespace

const std::vector<Command>& StorageCommands() {
    static const std::vector<Command> commands = {
        {"storage create", "OUT NAME=FILE...", Create},
        {"storage list", "FILE", List},
        {"storage extract", "FILE NAME OUT", Extract},
    };
    return commands;
}

} // namespace quillon::dist
