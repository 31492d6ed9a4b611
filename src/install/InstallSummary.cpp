#include "install/InstallSummary.h"

#include "support/Format.h"
#include "support/Strings.h"

namespace quillon {
namespace {

constexpr int kCancelledHeadingId = 2043;
constexpr int kIncompleteHeadingId = 2044;
constexpr int kNothingHeadingId = 2054;
constexpr int kCountsId = 2045;
constexpr int kProfilesId = 2046, kDictionariesId = 2047, kBasesTMId = 2048;
constexpr int kNotInstalledId = 2049;
constexpr int kAnotherCollectionId = 2051;

void Count(OutcomeCounts& counts, ItemOutcome outcome) {
    switch (outcome) {
    case ItemOutcome::Installed: ++counts.installed; break;
    case ItemOutcome::AlreadyThere: ++counts.alreadyThere; break;
    case ItemOutcome::Failed: ++counts.failed; break;
    case ItemOutcome::Cancelled: ++counts.cancelled; break;
    }
}

std::string CountsLine(int kindId, const OutcomeCounts& c) {
    return FormatText(LoadString(kCountsId), {LoadString(kindId), std::int64_t(c.installed),
                                              std::int64_t(c.alreadyThere), std::int64_t(c.failed),
                                              std::int64_t(c.cancelled)});
}

} // namespace

StepItemKind StepKindOf(InstallRecord::Kind kind) {
    switch (kind) {
    case InstallRecord::Kind::Dictionary: return StepItemKind::Dictionary;
    case InstallRecord::Kind::BaseTM: return StepItemKind::BaseTM;
    case InstallRecord::Kind::Profile: return StepItemKind::Profile;
    }
    return StepItemKind::Dictionary;
}

int InstallationSummary::Held() const {
    int n = 0;
    for (const OutcomeCounts* c : {&profiles, &dictionaries, &basesTM})
        n += c->installed + c->alreadyThere;
    return n;
}

int InstallationSummary::NotInstalled() const {
    return profiles.NotInstalled() + dictionaries.NotInstalled() + basesTM.NotInstalled();
}

InstallationSummary Summarize(const std::vector<InstallRecord>& records, bool cancelled) {
    InstallationSummary s;
    s.cancelled = cancelled;
    for (const InstallRecord& r : records) {
        switch (r.kind) {
        case InstallRecord::Kind::Dictionary: Count(s.dictionaries, r.outcome); break;
        case InstallRecord::Kind::BaseTM: Count(s.basesTM, r.outcome); break;
        case InstallRecord::Kind::Profile: Count(s.profiles, r.outcome); break;
        }
        if (!r.Held())
            s.notInstalled.push_back(r);
    }
    return s;
}

int SummaryMessageId(const InstallationSummary& summary) {
    if (summary.cancelled)
        return kCancelledHeadingId;
    return summary.Held() == 0 ? kNothingHeadingId : kIncompleteHeadingId;
}

std::string SummaryText(const InstallationSummary& summary) {
    std::string text = LoadString(SummaryMessageId(summary)) + "\n\n" +
                       CountsLine(kProfilesId, summary.profiles) + "\n" +
                       CountsLine(kDictionariesId, summary.dictionaries) + "\n" +
                       CountsLine(kBasesTMId, summary.basesTM);
    if (!summary.notInstalled.empty()) {
        text += "\n\n" + LoadString(kNotInstalledId);
        for (const InstallRecord& r : summary.notInstalled)
            text += "\n" + r.fullName + " — " + r.reason;
    }
    return text;
}

std::string AnotherCollectionQuestion() {
    return LoadString(kAnotherCollectionId);
}

} // namespace quillon
