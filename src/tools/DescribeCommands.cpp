// quillon-dist describe: what the installer will read from a distribution, before installing.
#include "descriptions/DictCollectionLoader.h"
#include "distribution/KldoInifileManager.h"
#include "platform/posix/PosixPorts.h"
#include "product/ComError.h"
#include "product/Paths.h"
#include "support/Json.h"
#include "tools/Commands.h"
#include "support/Text.h"

#include <cstdio>
#include <iostream>
#include <sstream>

namespace quillon::dist {
namespace {

constexpr std::string_view kLetters = "ERGFISPLD";

bool ParseDirections(const std::string& list, InstalledDirections& directions) {
    std::stringstream in(list);
    std::string code;
    while (std::getline(in, code, ',')) {
        const DirectionId id = code.size() == 2 ? DirectionFromCode(code) : 0;
        if (id == 0) {
            std::fprintf(stderr, "quillon-dist describe: not a direction code: %s\n", code.c_str());
            return false;
        }
        directions[static_cast<std::int32_t>(id)] = PairName(id, PairForm::Masculine);
    }
    return true;
}

std::string Flag(bool value) { return value ? "true" : "false"; }

int Describe(const Args& args) {
    const bool json = args.Has("json"), haveDirections = args.Has("directions");
    const std::string collectionId = args.Value("collection");
    auto directions = std::make_unique<InstalledDirections>();
    if (haveDirections && !ParseDirections(args.Value("directions"), *directions))
        return UsageError("describe: not a list of direction codes: " + args.Value("directions"), json);
    if (args.size() != 1)
        return UsageError(args.empty() ? "describe needs the distribution folder DIST" : "describe takes one DIST", json);
    std::string folder = args[0];
    if (!haveDirections) // every direction of the table
        for (char s : kLetters)
            for (char t : kLetters)
                ParseDirections(std::string{s, t}, *directions);

    posix::InstallPosixPorts();
    folder = AbsolutePath(folder); // the profiles' FilePath values are absolute
    if (folder.back() != '/')
        folder += '/';
    CKldoInifileManager copies;
    if (!copies.Prepare(folder)) {
        const std::string what = "describe: " + folder + " holds no RAVIRI.INF and SETUP.INI (nor setup.inf)";
        return json ? JsonFailure(what, 1) : (std::fprintf(stderr, "quillon-dist %s\n", TerminalSafe(what).c_str()), 1);
    }
    try {
        CDictCollectionLoader loader(copies.GetSetupIniPath(), copies.GetMainDescriptionPath(), copies.GetSourceFolder(),
                                     std::move(directions));
        CDictDistrib distribution;
        if (loader.ListCollections(distribution) == 0 && !loader.LoadDescriptions()) {
            const std::string what = "describe: the description files cannot be read";
            return json ? JsonFailure(what, 1) : (std::fprintf(stderr, "quillon-dist %s\n", what.c_str()), 1);
        }
        std::ostringstream out;
        out << (json ? "{\"collections\":[" : "");
        bool first = true;
        for (const CDictCollection& listed : distribution.GetCollections()) {
            CSmartPtr<CDictCollection> full(new CDictCollection);
            loader.ReadCollection(listed.GetIdText(), *full);
            std::vector<std::string> keys;
            for (const auto& p : full->GetProfiles())
                keys.push_back(p->GetKey());
            if (json) {
                out << (first ? "" : ",") << "{\"id\":" << JsonString(full->GetIdText())
                    << ",\"name\":" << JsonString(full->GetDisplayName()) << ",\"number\":" << full->GetNumericId()
                    << ",\"comment\":" << JsonString(full->GetComment())
                    << ",\"copyright\":" << JsonString(full->GetCopyright()) << ",\"profiles\":[";
                for (std::size_t k = 0; k < keys.size(); ++k)
                    out << (k ? "," : "") << JsonString(keys[k]);
                out << "]}";
            } else {
                out << "collection " << TerminalSafe(full->GetIdText()) << " \"" << TerminalSafe(full->GetDisplayName())
                    << "\" (number " << full->GetNumericId() << ")\n  comment: " << TerminalSafe(full->GetComment())
                    << "\n  copyright: " << TerminalSafe(full->GetCopyright()) << "\n  profiles:";
                for (const auto& k : keys)
                    out << " " << TerminalSafe(k);
                out << "\n";
            }
            first = false;
        }
        out << (json ? "]" : "");

        if (!collectionId.empty()) {
            CSmartPtr<CDictCollection> collection(new CDictCollection);
            loader.ReadCollection(distribution.FindCollection(collectionId).GetIdText(), *collection);
            out << (json ? ",\"profiles\":[" : "");
            first = true;
            for (const auto& p : collection->GetProfiles()) {
                const std::string code = CodeFromDirection(p->GetDirID());
                const bool selected = p->IsSelected(), supported = p->IsSupported();
                if (json)
                    out << (first ? "" : ",") << "{\"key\":" << JsonString(p->GetKey())
                        << ",\"direction\":" << JsonString(code) << ",\"selected\":" << Flag(selected)
                        << ",\"supported\":" << Flag(supported) << ",\"xml\":" << JsonString(p->GetXmlDocument()) << "}";
                else
                    out << "\nprofile " << TerminalSafe(p->GetKey()) << " " << (code.empty() ? "--" : code)
                        << (selected ? " selected" : " not-selected") << (supported ? " supported" : " unsupported") << "\n"
                        << TerminalSafeLines(p->GetXmlDocument()) << "\n";
                first = false;
            }
            out << (json ? "]" : "");
        }
        out << (json ? "}\n" : "");
        std::cout << out.str();
        return 0;
    } catch (const ComError& e) {
        const std::string what =
            "describe: " + (e.Error() == E_INVALIDARG ? "no collection " + collectionId : e.Description());
        return json ? JsonFailure(what, 1) : (std::fprintf(stderr, "quillon-dist %s\n", TerminalSafe(what).c_str()), 1);
    }
}

} // namespace

const std::vector<Command>& DescribeCommands() {
    static const std::vector<Command> commands = {
        {"describe", "DIST [--collection ID] [--json] [--directions ER,GR,...]", Describe,
         {{"collection", 0, true}, {"json", 0, false}, {"directions", 0, true}}},
    };
    return commands;
}

} // namespace quillon::dist
