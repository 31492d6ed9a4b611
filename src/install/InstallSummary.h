#pragma once
// What one installation did, item by item, and the summary both front ends show of it: the
// window in place of question 2016 when anything was not installed, quillon-cli at the end of
// its report. One record per item the engine handled or left because of a cancel.
#include "platform/StepObserver.h"

#include <string>
#include <vector>

namespace quillon {

// The reasons an item is not installed that are no message of its own: a profile or TM base left
// because a dictionary of the profile is not held (2042, naming it); an item left by the user's
// cancel (2050); an item left because a kernel error ended the installation (2053).
inline constexpr int kDictionaryNotInstalledId = 2042;
inline constexpr int kCancelledReasonId = 2050;
inline constexpr int kKernelStoppedReasonId = 2053;

struct InstallRecord {
    enum class Kind { Dictionary, BaseTM, Profile } kind = Kind::Dictionary;
    std::string key;
    std::string fullName;
    ItemOutcome outcome = ItemOutcome::Failed;
    std::string uid;    // the kernel's identifier (dictionaries and TM bases)
    std::string reason; // why it was not installed, for people; empty when it was

    bool Held() const { return IsHeld(outcome); }
};

StepItemKind StepKindOf(InstallRecord::Kind kind);

struct OutcomeCounts {
    int installed = 0, alreadyThere = 0, failed = 0, cancelled = 0;
    int NotInstalled() const { return failed + cancelled; }
};

struct InstallationSummary {
    OutcomeCounts profiles, dictionaries, basesTM;
    bool cancelled = false;                    // the user confirmed a cancel
    std::vector<InstallRecord> notInstalled;   // in the engine's order

    int Held() const;
    int NotInstalled() const;
    int Failed() const { return profiles.failed + dictionaries.failed + basesTM.failed; }
    // Nothing was cancelled and every item is held: the window asks question 2016 as it is.
    bool Complete() const { return !cancelled && NotInstalled() == 0; }
};

InstallationSummary Summarize(const std::vector<InstallRecord>& records, bool cancelled);

// The message that stands in for question 2016 when the installation is not complete: 2043
// after a cancel, 2054 when nothing at all is held, else 2044.
int SummaryMessageId(const InstallationSummary& summary);
// Its text without the question: the heading, a line of counts per kind of object, and each
// object not installed with its reason, in the interface language.
std::string SummaryText(const InstallationSummary& summary);
// The question that follows it (string 2051, the second line of 2016).
std::string AnotherCollectionQuestion();

} // namespace quillon
