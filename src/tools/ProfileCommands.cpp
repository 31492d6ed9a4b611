// quillon-dist profile compile SRC.txt OUT   text form -> profile file
// quillon-dist profile dump FILE [--json]    profile file -> text form (or JSON) on stdout
#include "descriptions/ProfileText.h"
#include "support/Text.h"
#include "descriptions/ProfileWriter.h"
#include "descriptions/XCryptedProfile2.h"
#include "tools/Commands.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace quillon::dist {
namespace {

bool ReadWholeFile(const std::string& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    content = s.str();
    return !in.bad();
}

int Compile(const Args& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: quillon-dist profile compile SRC.txt OUT\n");
        return 2;
    }
    std::string text;
    if (!ReadWholeFile(args[0], text)) {
        std::fprintf(stderr, "%s: cannot read the file\n", args[0].c_str());
        return 1;
    }
    CXCryptedProfile2 store(1);
    ProfileTextError error;
    if (!ParseProfileText(text, store, error)) {
        std::fprintf(stderr, "%s:%d: %s\n", args[0].c_str(), error.line, error.what.c_str());
        return 1;
    }
    std::string message;
    if (!SaveProfileFile(store, args[1], &message)) {
        std::fprintf(stderr, "%s: %s\n", args[1].c_str(), message.c_str());
        return 1;
    }
    return 0;
}

int Dump(const Args& args) {
    const bool json = args.Has("json");
    if (args.size() != 1)
        return UsageError(args.empty() ? "profile dump needs a FILE" : "profile dump takes one FILE", json);
    const std::string& path = args[0];
    CXCryptedProfile2 store(1);
    if (!store.Load(path)) {
        const std::string what = path + ": " + ProfileLoadErrorText(store.LastError());
        if (json)
            return JsonFailure(what, 1);
        std::fprintf(stderr, "%s\n", TerminalSafe(what).c_str());
        return 1;
    }
    const std::string out = json ? PrintProfileJson(store) : PrintProfileText(store);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

const std::vector<Command>& ProfileCommands() {
    static const std::vector<Command> commands = {
        {"profile compile", "SRC.txt OUT   compile the text form of a description file", Compile},
        {"profile dump", "FILE [--json]   print a description file as text (or JSON)", Dump, {{"json", 0, false}}},
    };
    return commands;
}

} // namespace quillon::dist
