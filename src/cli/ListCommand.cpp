// quillon-cli list: the collections of a distribution that the installed directions support,
// as the collection page lists them.
#include "cli/Commands.h"
#include "cli/Session.h"
#include "descriptions/DictCollectionLoader.h"
#include "product/ComError.h"
#include "product/KernelConnection.h"
#include "support/Json.h"
#include "support/Messages.h"

#include <cstdio>

namespace quillon::cli {
namespace {

// A collection is offered when one of its profiles has a direction the kernel names.
bool Offered(const CDictCollection& collection, const InstalledDirections& directions) {
    for (const auto& p : collection.GetProfiles()) {
        const auto it = directions.find(static_cast<std::int32_t>(p->GetDirID()));
        if (it != directions.end() && !it->second.empty())
            return true;
    }
    return false;
}

} // namespace

int List(const std::vector<std::string>& args) {
    Arguments a(args, {});
    if (a.bad || a.positional.size() != 1)
        return Usage();
    Session session(a.yes);
    if (!EnsureKernelConnection()) {
        ShowMessage(1035);
        return kExitCannotStart;
    }
    CKldoInifileManager copies;
    if (!PrepareDistribution(a.positional[0], copies))
        return kExitCannotStart;
    try {
        CDictCollectionLoader loader(copies.GetSetupIniPath(), copies.GetMainDescriptionPath(), copies.GetSourceFolder());
        CDictDistrib distribution;
        if (loader.ListCollections(distribution) == 0 && !loader.LoadDescriptions()) {
            ShowMessage(2001, MessageIcon::Error);
            return kExitCannotStart;
        }
        std::string out = a.json ? "{\"distribution\":" + JsonString(copies.GetSourceFolder()) + ",\"collections\":[" : "";
        bool first = true;
        for (const CDictCollection& c : distribution.GetCollections()) {
            if (!Offered(c, loader.Directions()))
                continue;
            if (a.json) {
                out += std::string(first ? "" : ",") + "{\"id\":" + JsonString(c.GetIdText()) +
                       ",\"name\":" + JsonString(c.GetDisplayName()) + ",\"profiles\":[";
                bool firstProfile = true;
                for (const auto& p : c.GetProfiles()) {
                    out += std::string(firstProfile ? "" : ",") + "{\"key\":" + JsonString(p->GetKey()) +
                           ",\"direction\":" + JsonString(CodeFromDirection(p->GetDirID())) +
                           ",\"name\":" + JsonString(p->GetFullName()) +
                           ",\"supported\":" + (p->IsSupported() ? "true" : "false") + "}";
                    firstProfile = false;
                }
                out += "]}";
            } else {
                out += c.GetIdText() + "  " + c.GetDisplayName() + "\n";
                for (const auto& p : c.GetProfiles())
                    out += "    " + p->GetKey() + "  " + CodeFromDirection(p->GetDirID()) + "  " + p->GetFullName() +
                           (p->IsSupported() ? "" : "  (direction not installed)") + "\n";
            }
            first = false;
        }
        if (a.json)
            out += "]}\n";
        else if (first)
            out += "(no collection of this distribution has an installed direction)\n";
        std::fputs(out.c_str(), stdout);
        return kExitDone;
    } catch (const ComError&) {
        ShowMessage(57355, MessageIcon::Error);
        return kExitCannotStart;
    }
}

} // namespace quillon::cli
