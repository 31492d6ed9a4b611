// quillon-cli directions: the directions the installed kernel supports.
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Session.h"
#include "descriptions/LanguageDirections.h"
#include "product/KernelConnection.h"
#include "support/Json.h"

#include <cstdio>
#include <map>

namespace quillon::cli {
namespace {

class NameList : public DirectionListPort {
public:
    void AddString(const std::string& text) override { names.push_back(text); }
    void SelectFirst() override {}
    std::vector<std::string> names;
};

} // namespace

int Directions(const CommandLine& line) {
    Arguments a(line);
    if (!a.positional.empty())
        return UsageError("directions takes no operand: '" + a.positional[0] + "'");
    Session session(a.yes);
    NameList list;
    std::map<std::string, std::uint32_t> ids;
    if (!FillDirectionList(list, &ids)) {
        if (session.Messages().Shown().empty()) // the kernel could not be connected: say so
            Complain("the translation kernel cannot be reached" +
                     (KernelConnectionFailure().empty() ? std::string() : ": " + KernelConnectionFailure()));
        return kExitCannotStart;
    }
    std::string out = a.json ? "\"directions\":[" : "";
    for (std::size_t i = 0; i < list.names.size(); ++i) {
        const std::uint32_t id = ids[list.names[i]];
        const std::string code = CodeFromDirection(id);
        if (a.json)
            out += std::string(i ? "," : "") + "{\"code\":" + JsonString(code) + ",\"id\":" + std::to_string(id) +
                   ",\"name\":" + JsonString(list.names[i]) + "}";
        else
            out += (code.empty() ? std::string("--") : code) + "  " + list.names[i] + "\n";
    }
    if (a.json)
        WriteJson(out + "]", kExitDone);
    else
        std::fputs(out.c_str(), stdout);
    return kExitDone;
}

} // namespace quillon::cli
