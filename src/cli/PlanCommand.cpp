// quillon-cli plan: what install with the same arguments would do, item by item, changing
// nothing: the collection page, the loader and the profile page run as for install; the kernel
// is asked only reading calls (the session refuses every other); the engine's steps are
// predicted by InstallPlanner.
#include "ReferenceDictionaryFormat.h"
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Session.h"
#include "cli/StepOutput.h"
#include "descriptions/LanguageDirections.h"
#include "distribution/FormatGroupedNumber.h"
#include "plan/InstallPlan.h"
#include "platform/Ports.h"
#include "selection/TemplateDlg.h"
#include "support/Json.h"
#include "support/Messages.h"
#include "support/Strings.h"
#include "support/Text.h"

#include <cstdio>

namespace quillon::cli {
namespace {

// "Требуется места на диске:" and "Свободно места на диске:".
constexpr int kRequiredLabelId = 3001, kFreeLabelId = 3002;
constexpr int kDiskQuestionId = 2003;

// The profile page's question 2003 is noted, not asked: the plan goes on as after "Yes" and
// reports what install would answer.
class DiskQuestion : public MessagePort {
public:
    explicit DiskQuestion(MessagePort& inner) : inner_(inner) {}
    MessageAnswer Show(const MessageBoxRequest& request) override {
        if (request.id != kDiskQuestionId)
            return inner_.Show(request);
        asked = true;
        return MessageAnswer::Yes;
    }
    bool asked = false;

private:
    MessagePort& inner_;
};

const char* ReplaceName(int mode) {
    return mode == 1 ? "replace" : mode == 0 ? "skip" : "ask";
}

// Whether the product holds the item already: a profile of the same direction and name (the
// kernel lists it: the plan replaces or keeps it), a dictionary of the same file name (message
// 1). The kernel lists no TM bases: one counts as present when the profile it comes with is held.
std::vector<bool> Present(const InstallPlan& plan) {
    std::vector<bool> present(plan.items.size());
    bool nextProfileHeld = false;
    for (std::size_t i = plan.items.size(); i-- > 0;) {
        const PlannedItem& p = plan.items[i];
        const bool held = p.action == PlanAction::Replace || p.action == PlanAction::Keep;
        switch (p.kind) {
        case StepItemKind::Profile:
            present[i] = nextProfileHeld = held;
            break;
        case StepItemKind::BaseTM:
            present[i] = nextProfileHeld;
            break;
        case StepItemKind::Dictionary:
            present[i] = p.action == PlanAction::Exists;
            break;
        }
    }
    return present;
}

std::string ItemsJson(const InstallPlan& plan, const CDictCollection& collection) {
    const std::vector<bool> present = Present(plan);
    std::string out = "[";
    for (std::size_t i = 0; i < plan.items.size(); ++i) {
        const PlannedItem& p = plan.items[i];
        std::string profile; // a profile's direction and name, as the kernel lists collections
        if (p.kind == StepItemKind::Profile)
            for (const auto& t : collection.GetProfiles())
                if (t && FoldCase(t->GetKey()) == FoldCase(p.key))
                    profile = ",\"direction\":" + JsonString(CodeFromDirection(t->GetDirID())) +
                              ",\"profileName\":" + JsonString(t->GetName());
        out += std::string(i ? "," : "") + "{\"kind\":\"" + StepItemKindName(p.kind) +
               "\",\"key\":" + JsonString(p.key) + ",\"name\":" + JsonString(p.name) +
               ",\"action\":\"" + PlanActionName(p.action) +
               "\",\"installs\":" + (PlanActionInstalls(p.action) ? "true" : "false") +
               ",\"message\":" + std::to_string(p.message) +
               ",\"messageText\":" + JsonString(p.messageText) +
               ",\"size\":" + std::to_string(p.size) + ",\"source\":" + JsonString(p.source) +
               ",\"detail\":" + JsonString(p.detail) + ",\"present\":" + (present[i] ? "true" : "false") +
               profile + "}";
    }
    out += "],\"skipped\":[";
    for (std::size_t i = 0; i < plan.skipped.size(); ++i) {
        const SkippedProfile& s = plan.skipped[i];
        out += std::string(i ? "," : "") + "{\"kind\":\"profile\",\"key\":" + JsonString(s.key) +
               ",\"name\":" + JsonString(s.name) + ",\"reason\":\"" +
               (s.supported ? "not-selected" : "unsupported") + "\"}";
    }
    return out + "]";
}

} // namespace

int Plan(const CommandLine& line) {
    Arguments a(line);
    if (const auto mistake = InstallArgumentsMistake(a, "plan"))
        return UsageError(*mistake);
    const std::string replace = a.Get("replace");
    const std::string id = a.Get("collection");
    Session session(a.yes, /*readOnly=*/true);
    ChosenCollection chosen;
    if (const auto failed = ChooseCollection(a.positional[0], id, a.All("profile"), chosen))
        return *failed;

    MemoryProfileList list;
    CTemplateDlg selection(chosen.collection, list);
    selection.SetReplaceMode(replace == "skip" ? 0 : replace == "ask" ? 2 : 1);
    DiskQuestion question(Messages());
    std::optional<int> pageResult;
    {
        Ports ports;
        ports.messages = &question;
        ScopedPorts scope(ports);
        pageResult = selection.Initialize();
    }
    if (pageResult != 1)
        return pageResult == 2 ? kExitCannotStart : kExitNothingDone;

    const kaldo::ReferenceDictionaryFormat format;
    InstallPlanner planner(chosen.copies.GetSourceFolder(), selection.ReplaceMode(), &format);
    InstallPlan plan = planner.Plan(*chosen.collection);

    // What install would end with: unattended, question 2003 is answered No (Yes with --yes)
    // and nothing is installed.
    const bool stopsAtQuestion = question.asked && !a.yes;
    if (stopsAtQuestion)
        InstallPlanner::NotStarted(plan);
    const InstallResult result =
        stopsAtQuestion || !selection.AnySelected()
            ? InstallResult::NothingDone
            : ClassifyInstallation(plan.Installing(), plan.Failing(), 1, false);
    const int code = result == InstallResult::Installed     ? kExitDone
                     : result == InstallResult::NothingDone ? kExitNothingDone
                                                            : kExitPartlyFailed;
    SetRunResult(InstallResultName(result));
    if (a.json) {
        WriteJson("\"collection\":" + JsonString(id) + ",\"result\":\"" +
                      InstallResultName(result) + "\",\"replaceMode\":\"" +
                      ReplaceName(selection.ReplaceMode()) + "\",\"items\":" + ItemsJson(plan, *chosen.collection) +
                      ",\"disk\":{\"required\":" + std::to_string(selection.Required()) +
                      ",\"free\":" + std::to_string(selection.Free()) +
                      ",\"question\":" + (question.asked ? "true" : "false") + ",\"answer\":\"" +
                      (question.asked ? (a.yes ? "yes" : "no") : "") + "\"}",
                  code);
        return code;
    }
    for (const PlannedItem& p : plan.items) {
        std::printf(
            "  %-10s %-21s %12s  %s\n", StepItemKindName(p.kind), PlanActionName(p.action),
            FormatGroupedNumber(static_cast<std::uint64_t>(std::max<std::int64_t>(0, p.size)))
                .c_str(),
            TerminalSafe(p.name).c_str());
        if (!p.detail.empty())
            std::printf("             %s\n", TerminalSafe(p.detail).c_str());
        if (p.message)
            std::printf("             message %d: %s\n", p.message, TerminalSafe(p.messageText).c_str());
    }
    for (const SkippedProfile& s : plan.skipped)
        std::printf("  %-10s %-21s %12s  %s\n", "profile",
                    s.supported ? "not-selected" : "unsupported", "", TerminalSafe(s.name).c_str());
    // The profile page's figures with its labels, as install shows them.
    const auto lineBreak = list.figures.find('\n');
    std::printf("%s %s\n%s %s\n", LoadString(kRequiredLabelId).c_str(),
                list.figures.substr(0, lineBreak).c_str(), LoadString(kFreeLabelId).c_str(),
                lineBreak == std::string::npos ? "" : list.figures.substr(lineBreak + 1).c_str());
    if (question.asked)
        std::printf("message %d: %s\n  (install %s)\n", kDiskQuestionId,
                    LoadString(kDiskQuestionId).c_str(),
                    a.yes ? "answers Yes with --yes and goes on"
                          : "answers No unattended and installs nothing");
    std::printf("quillon-cli: install would end: %s\n", InstallResultName(result));
    return code;
}

} // namespace quillon::cli
