// quillon-cli list: the collections of a distribution that the collection page offers, in its
// order.
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Session.h"
#include "descriptions/LanguageDirections.h"
#include "product/KernelConnection.h"
#include "support/Json.h"
#include "support/Messages.h"
#include "support/Text.h"

#include <cstdio>

namespace quillon::cli {

int List(const CommandLine& line) {
    Arguments a(line);
    if (a.positional.size() != 1)
        return UsageError(a.positional.empty() ? "list needs the distribution folder DIST"
                                               : "list takes one DIST, not " + std::to_string(a.positional.size()));
    Session session(a.yes);
    if (!EnsureKernelConnection()) {
        SayNoKernel();
        return kExitCannotStart;
    }
    CKldoInifileManager copies;
    if (!PrepareDistribution(a.positional[0], copies))
        return kExitCannotStart;
    MemoryCollectionList view;
    CSelectCollectionDlg page(copies.GetSourceFolder(), copies.GetSetupIniPath(), copies.GetMainDescriptionPath(), view);
    if (OpenCollectionPage(page) == CollectionPageStatus::Unreadable)
        return kExitCannotStart;

    std::string out = a.json ? "\"distribution\":" + JsonString(copies.GetSourceFolder()) + ",\"collections\":[" : "";
    bool first = true;
    for (const MemoryCollectionList::Entry& entry : view.entries) {
        const CDictCollection& c = page.Distribution().FindCollection(page.ItemMap().at(entry.data));
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
            out += TerminalSafe(c.GetIdText()) + "  " + TerminalSafe(c.GetDisplayName()) + "\n";
            for (const auto& p : c.GetProfiles())
                out += "    " + TerminalSafe(p->GetKey()) + "  " + CodeFromDirection(p->GetDirID()) + "  " +
                       TerminalSafe(p->GetFullName()) + (p->IsSupported() ? "" : "  (direction not installed)") + "\n";
        }
        first = false;
    }
    if (a.json)
        WriteJson(out + "]", kExitDone);
    else
        std::fputs((first ? "(no collection of this distribution has an installed direction)\n" : out).c_str(), stdout);
    return kExitDone;
}

} // namespace quillon::cli
