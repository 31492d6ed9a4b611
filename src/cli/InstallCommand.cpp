// quillon-cli install: a whole installation, as the wizard's profile and progress pages run it.
#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Session.h"
#include "cli/StepOutput.h"
#include "cli/Terminal.h"
#include "cli/TerminalProgress.h"
#include "descriptions/DictCollectionLoader.h"
#include "install/ProgressDlg.h"
#include "product/ComError.h"
#include "product/KernelConnection.h"
#include "selection/TemplateDlg.h"
#include "support/Json.h"
#include "support/Messages.h"
#include "support/Strings.h"
#include "support/Text.h"

#include <algorithm>
#include <cstdio>

namespace quillon::cli {
namespace {

// "Требуется места на диске:" and "Свободно места на диске:".
constexpr int kRequiredLabelId = 3001, kFreeLabelId = 3002;

const char* KindName(InstallRecord::Kind kind) {
    return StepItemKindName(StepKindOf(kind));
}

// The word of an item's line: what became of it.
const char* OutcomeWord(ItemOutcome outcome) {
    return outcome == ItemOutcome::Failed ? "FAILED" : ItemOutcomeName(outcome);
}

const char* ResultName(int code) {
    switch (code) {
    case kExitDone: return InstallResultName(InstallResult::Installed);
    case kExitCancelled: return InstallResultName(InstallResult::Cancelled);
    case kExitPartlyFailed: return InstallResultName(InstallResult::PartlyFailed);
    case kExitNothingDone: return InstallResultName(InstallResult::NothingDone);
    default: return "failed";
    }
}

int ExitCodeOf(InstallResult result) {
    switch (result) {
    case InstallResult::Installed: return kExitDone;
    case InstallResult::PartlyFailed: return kExitPartlyFailed;
    case InstallResult::NothingDone: return kExitNothingDone;
    case InstallResult::Cancelled: return kExitCancelled;
    }
    return kExitPartlyFailed;
}

// The JSON members of the installation's report (Output.h adds exitCode and messages).
std::string Report(const std::string& collectionId, const std::vector<InstallRecord>& records, int code) {
    std::string out = "\"collection\":" + JsonString(collectionId) + ",\"result\":" + JsonString(ResultName(code)) +
                      ",\"items\":[";
    for (std::size_t i = 0; i < records.size(); ++i) {
        const InstallRecord& r = records[i];
        out += std::string(i ? "," : "") + "{\"kind\":\"" + KindName(r.kind) + "\",\"key\":" + JsonString(r.key) +
               ",\"name\":" + JsonString(r.fullName) + ",\"result\":\"" + ItemOutcomeName(r.outcome) +
               "\",\"installed\":" + (r.Held() ? "true" : "false") + ",\"uid\":" + JsonString(r.uid) +
               ",\"reason\":" + JsonString(r.reason) + "}";
    }
    return out + "]";
}

int Finish(const Arguments& a, const std::string& id, const std::vector<InstallRecord>& records, int code) {
    SetRunResult(ResultName(code));
    if (a.json)
        WriteJson(Report(id, records, code), code);
    else if (!Quiet())
        std::printf("quillon-cli: %s\n", ResultName(code));
    return code;
}

} // namespace

int Install(const CommandLine& line) {
    Arguments a(line);
    if (const auto mistake = InstallArgumentsMistake(a, "install"))
        return UsageError(*mistake);
    const std::string replace = a.Get("replace");
    const std::string id = a.Get("collection");
    // From here an interrupt cancels the installation at its first checkpoint.
    SetInstalling(true);
    Session session(a.yes);
    ChosenCollection chosen;
    if (const auto failed = ChooseCollection(a.positional[0], id, a.All("profile"), chosen))
        return *failed;
    if (!CanChangeProduct("install"))
        return kExitCannotStart;
    CSmartPtr<CDictCollection>& collection = chosen.collection;
    CKldoInifileManager& copies = chosen.copies;

    MemoryProfileList list;
    CTemplateDlg selection(collection, list);
    selection.SetReplaceMode(replace == "skip" ? 0 : replace == "ask" ? 2 : 1);
    const auto pageResult = selection.Initialize();
    if (pageResult != 1)
        return Finish(a, id, {}, pageResult == 2 ? kExitCannotStart : kExitNothingDone);
    if (!selection.AnySelected())
        return Finish(a, id, {}, kExitNothingDone);
    if (!a.json && !Quiet()) {
        const auto lineBreak = list.figures.find('\n');
        // The profile page's figures with its labels, as the page shows them.
        std::printf("%s %s\n%s %s\n", LoadString(kRequiredLabelId).c_str(), list.figures.substr(0, lineBreak).c_str(),
                    LoadString(kFreeLabelId).c_str(),
                    lineBreak == std::string::npos ? "" : list.figures.substr(lineBreak + 1).c_str());
    }

    TerminalProgress view(a.yes);
    CProgressDlg page(collection, copies.GetSourceFolder(), view);
    view.SetPage(&page);
    page.SetReplaceMode(selection.ReplaceMode());
    const int result = page.Run();
    SetInstalling(false);
    view.Finish();

    // The same record the window summarises: a line per item, then the summary when anything was
    // not installed.
    const auto& records = page.Records();
    const InstallationSummary summary = page.Summary();
    const int code =
        ExitCodeOf(ClassifyInstallation(summary.Held(), summary.NotInstalled(), result, page.Cancelled()));
    if (!a.json && !Quiet()) {
        for (const InstallRecord& r : records)
            std::printf("  %-10s %-13s %s%s\n", KindName(r.kind), OutcomeWord(r.outcome),
                        TerminalSafe(r.fullName).c_str(), r.uid.empty() ? "" : ("  " + TerminalSafe(r.uid)).c_str());
        if (!summary.Complete())
            std::printf("\n%s\n\n", TerminalSafeLines(SummaryText(summary)).c_str());
    }
    return Finish(a, id, records, code);
}

} // namespace quillon::cli
