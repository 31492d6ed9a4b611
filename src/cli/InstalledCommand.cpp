// quillon-cli installed: the collections the product holds, per direction, through the kernel's
// catalogue operations.
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Session.h"
#include "descriptions/LanguageDirections.h"
#include "product/ComError.h"
#include "removal/InstalledCollections.h"
#include "support/Json.h"
#include "support/Messages.h"
#include "support/Text.h"

#include <cstdio>
#include <optional>

namespace quillon::cli {

int Installed(const CommandLine& line) {
    Arguments a(line);
    const std::string code = a.Get("direction");
    if (!a.positional.empty())
        return UsageError("installed takes no operand: '" + a.positional[0] + "'");
    std::optional<std::uint32_t> direction;
    if (!code.empty()) {
        direction = DirectionFromCode(code);
        if (*direction == 0 || code.size() != 2) {
            Complain("not a direction code: " + code);
            return kExitUsage;
        }
    }
    Session session(a.yes, /*readOnly=*/true);
    const InstalledListing listing = ListInstalledCollections(direction);
    switch (listing.status) {
    case InstalledListing::Status::NotConnected:
        SayNoKernel();
        return kExitCannotStart;
    case InstalledListing::Status::UnknownDirection:
        Complain("the kernel has no direction " + code);
        return kExitUsage;
    case InstalledListing::Status::Failed:
        Complain("the kernel's catalogue cannot be read (" + HResultText(listing.error) + ")");
        return kExitCannotStart;
    case InstalledListing::Status::Listed:
        break;
    }
    if (a.json) {
        std::string out = "\"directions\":[";
        for (std::size_t i = 0; i < listing.directions.size(); ++i) {
            const InstalledDirection& d = listing.directions[i];
            out += std::string(i ? "," : "") + "{\"code\":" + JsonString(CodeFromDirection(d.id)) +
                   ",\"id\":" + std::to_string(d.id) + ",\"name\":" + JsonString(d.name) +
                   ",\"collections\":[";
            for (std::size_t k = 0; k < d.collections.size(); ++k) {
                const InstalledCollection& c = d.collections[k];
                out += std::string(k ? "," : "") + "{\"index\":" + std::to_string(c.index) +
                       ",\"name\":" + JsonString(c.name) + ",\"state\":" + std::to_string(c.state) +
                       ",\"listed\":" + (c.state == 0 ? "true" : "false") + "}";
            }
            out += "]}";
        }
        WriteJson(out + "]", kExitDone);
        return kExitDone;
    }
    for (const InstalledDirection& d : listing.directions) {
        const std::string dirCode = CodeFromDirection(d.id);
        std::printf("%s  %s: %zu\n", dirCode.empty() ? "--" : dirCode.c_str(), TerminalSafe(d.name).c_str(),
                    d.collections.size());
        for (const InstalledCollection& c : d.collections) {
            if (c.state == 0)
                std::printf("  %s\n", TerminalSafe(c.name).c_str());
            else
                std::printf("  %s  (state %d: not listed for removal)\n", TerminalSafe(c.name).c_str(), c.state);
        }
    }
    return kExitDone;
}

} // namespace quillon::cli
