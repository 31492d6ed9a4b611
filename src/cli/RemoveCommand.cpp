// quillon-cli remove: installed collections, through the removal page's logic.
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Session.h"
#include "cli/Terminal.h"
#include "descriptions/LanguageDirections.h"
#include "product/ComError.h"
#include "product/KernelConnection.h"
#include "support/Messages.h"
#include "removal/RemoveCollections.h"
#include "support/Json.h"
#include "support/Text.h"

#include <cstdio>
#include <map>

namespace quillon::cli {
namespace {

const char* StatusName(RemovalOutcome::Status status) {
    switch (status) {
    case RemovalOutcome::Status::Done: return "done";
    case RemovalOutcome::Status::NotConnected: return "not-connected";
    case RemovalOutcome::Status::ListFailed: return "list-failed";
    case RemovalOutcome::Status::UnknownDirection: return "unknown-direction";
    case RemovalOutcome::Status::NothingToRemove: return "nothing-to-remove";
    case RemovalOutcome::Status::Failed: return "failed";
    }
    return "?";
}

// The outcome said, and its exit code (`code`: the direction asked for, for the messages). With
// `absentIsFine` a name the kernel does not list is no failure (a distribution's collection of
// which some profiles are not installed).
int Report(const Arguments& options, const RemovalOutcome& outcome, const std::string& code, bool absentIsFine = false) {
    int exitCode = kExitDone;
    switch (outcome.status) {
    case RemovalOutcome::Status::NotConnected:
    case RemovalOutcome::Status::ListFailed:
        exitCode = kExitCannotStart;
        break;
    case RemovalOutcome::Status::UnknownDirection:
        Complain("the kernel has no direction " + code);
        exitCode = kExitUsage;
        break;
    case RemovalOutcome::Status::NothingToRemove:
        exitCode = kExitNothingDone;
        break;
    case RemovalOutcome::Status::Failed:
        exitCode = outcome.removed.empty() ? kExitNothingDone : kExitPartlyFailed;
        break;
    case RemovalOutcome::Status::Done:
        if (outcome.removed.empty())
            exitCode = kExitNothingDone;
        else if (!outcome.failed.empty() || (!outcome.notListed.empty() && !absentIsFine))
            exitCode = kExitPartlyFailed;
        break;
    }

    if (options.json) {
        std::string out = "\"status\":" + JsonString(StatusName(outcome.status)) + ",\"removed\":[";
        for (std::size_t i = 0; i < outcome.removed.size(); ++i)
            out += std::string(i ? "," : "") + "{\"direction\":" + JsonString(CodeFromDirection(outcome.removed[i].direction)) +
                   ",\"name\":" + JsonString(outcome.removed[i].name) + "}";
        out += "],\"failed\":[";
        for (std::size_t i = 0; i < outcome.failed.size(); ++i)
            out += std::string(i ? "," : "") + "{\"direction\":" + JsonString(CodeFromDirection(outcome.failed[i].direction)) +
                   ",\"name\":" + JsonString(outcome.failed[i].name) + ",\"error\":" + JsonString(HResultText(outcome.failed[i].error)) + "}";
        out += "],\"notListed\":[";
        for (std::size_t i = 0; i < outcome.notListed.size(); ++i)
            out += std::string(i ? "," : "") + JsonString(outcome.notListed[i]);
        WriteJson(out + "]", exitCode);
    } else if (!Quiet()) {
        for (const auto& r : outcome.removed)
            std::printf("removed  %s  %s\n", CodeFromDirection(r.direction).c_str(), TerminalSafe(r.name).c_str());
        for (const auto& f : outcome.failed)
            std::printf("FAILED   %s  %s  (%s)\n", CodeFromDirection(f.direction).c_str(), TerminalSafe(f.name).c_str(),
                        HResultText(f.error).c_str());
        for (const auto& n : outcome.notListed)
            std::printf("not installed: %s\n", TerminalSafe(n).c_str());
        if (outcome.removed.empty() && outcome.failed.empty())
            std::printf("nothing removed (%s)\n", StatusName(outcome.status));
    }
    return exitCode;
}

// remove DIST --collection ID: the installed profiles of a distribution's collection, found by
// their directions and names as the kernel lists them.
int RemoveDistributionCollection(const Arguments& options) {
    const std::string id = options.Get("collection");
    if (options.positional.size() != 1 || options.All("collection").size() != 1 || options.Switch("direction") ||
        options.Switch("all") || options.Switch("all-of-direction"))
        return UsageError("remove DIST takes exactly one --collection ID, and nothing else to choose by");
    Session session(options.yes);
    ChosenCollection chosen;
    if (const auto failed = ChooseCollection(options.positional[0], id, {}, chosen))
        return *failed;
    if (!CanChangeProduct("remove"))
        return kExitCannotStart;
    // Every profile of an installed direction, selected or not: all of the collection goes.
    std::map<DirectionId, std::vector<std::string>> byDirection;
    for (const auto& p : chosen.collection->GetProfiles())
        if (p && p->IsSupported())
            byDirection[p->GetDirID()].push_back(p->GetName());
    RemovalOutcome all;
    all.status = RemovalOutcome::Status::NothingToRemove;
    for (const auto& [direction, names] : byDirection) {
        RemovalOutcome one = RemoveCollections(direction, names, RemovalMode::Chosen);
        all.removed.insert(all.removed.end(), one.removed.begin(), one.removed.end());
        all.failed.insert(all.failed.end(), one.failed.begin(), one.failed.end());
        all.notListed.insert(all.notListed.end(), one.notListed.begin(), one.notListed.end());
        if (one.status != RemovalOutcome::Status::Done && one.status != RemovalOutcome::Status::NothingToRemove) {
            all.status = one.status;
            break;
        }
        if (one.status == RemovalOutcome::Status::Done)
            all.status = RemovalOutcome::Status::Done;
    }
    return Report(options, all, {}, true);
}

} // namespace

int Remove(const CommandLine& line) {
    Arguments options(line);
    if (!options.positional.empty() && options.Switch("collection"))
        return RemoveDistributionCollection(options);
    const bool everything = options.Switch("all");
    const bool wholeDirection = options.Switch("all-of-direction");
    const auto names = options.All("collection");
    const std::string code = options.Get("direction");
    const int modes = int(everything) + int(wholeDirection) + int(!names.empty());
    if (!options.positional.empty())
        return UsageError("remove takes no operand: '" + options.positional[0] + "' (collections are named with --collection)");
    if (modes != 1)
        return UsageError("remove needs exactly one of --collection NAME, --all-of-direction and --all");
    if (everything && options.Switch("direction"))
        return UsageError("remove --all removes every direction's collections: it takes no --direction");
    if (!everything && code.empty())
        return UsageError("remove needs --direction CODE (quillon-cli directions shows the codes)");
    const DirectionId direction = everything ? 0 : DirectionFromCode(code);
    if (!everything && (direction == 0 || code.size() != 2)) {
        Complain("not a direction code: " + code);
        return kExitUsage;
    }
    // Removing a whole direction, or everything, is asked first on a terminal; elsewhere it needs
    // --yes, as apt's removals do.
    if ((everything || wholeDirection) && !options.yes) {
        const std::string what = everything ? "every collection the product holds, of every direction"
                                            : "every " + code + " collection the product holds";
        if (!Interactive())
            return UsageError("remove would remove " + what + "; give --yes to do so without a question");
        if (!AskYesNo("Remove " + what + "?", false)) {
            Complain("nothing removed");
            return kExitCancelled;
        }
    }
    Session session(options.yes);
    // Without the product there is nothing to remove (message 1035, as the removal page says);
    // with it, a user who may not write it is told so before anything is tried.
    if (!EnsureKernelConnection()) {
        SayNoKernel();
        return kExitCannotStart;
    }
    if (!CanChangeProduct("remove"))
        return kExitCannotStart;
    const RemovalMode mode = everything ? RemovalMode::All : wholeDirection ? RemovalMode::Direction : RemovalMode::Chosen;
    const RemovalOutcome outcome = RemoveCollections(direction, names, mode);

    return Report(options, outcome, code);
}

} // namespace quillon::cli
