#pragma once
// Port: an observer of the installer's steps. The installation engine (CProgressDlg) reports
// every item it starts and finishes, the progress of the current file and the end of the
// installation; the observed services (product/ObservedServices.h) report every kernel call
// with its HRESULT and every message shown with its answer. Implemented by StepJsonLines
// (the log file of quillon-cli --log and of the window's QUILLON_LOG, and quillon-cli's event
// stream) and StepFanOut; nothing is observed when no observer is installed.
#include "platform/MessagePort.h"
#include "product/HResult.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

enum class StepItemKind { Dictionary, BaseTM, Profile };

// "dictionary", "tm", "profile": the words of the JSON reports.
const char* StepItemKindName(StepItemKind kind);

// What became of one item: installed now; already held by the kernel (a dictionary it refuses as
// existing, 0x800F000F); not installed because something failed; not installed because the user
// cancelled the installation first.
enum class ItemOutcome { Installed, AlreadyThere, Failed, Cancelled };
// "installed", "already-there", "failed", "cancelled".
const char* ItemOutcomeName(ItemOutcome outcome);
// Installed or AlreadyThere: the kernel holds the item after its step.
inline bool IsHeld(ItemOutcome outcome) {
    return outcome == ItemOutcome::Installed || outcome == ItemOutcome::AlreadyThere;
}

struct StepItem {
    StepItemKind kind = StepItemKind::Dictionary;
    std::string key;
    std::string name; // the item's full name
};

// How an installation ended, from what its items did: Cancelled when the user confirmed a
// cancel; NothingDone when no item is held (installed or already there); PartlyFailed when some
// item was not installed or the page did not end with 1; Installed otherwise (an item already
// there is no failure).
enum class InstallResult { Installed, PartlyFailed, NothingDone, Cancelled };
InstallResult ClassifyInstallation(int held, int notInstalled, int pageResult, bool cancelled);
// "installed", "partly-failed", "nothing-done", "cancelled".
const char* InstallResultName(InstallResult result);

class StepObserver {
public:
    virtual ~StepObserver() = default;
    virtual void ItemStarted(const StepItem& /*item*/) {}
    // The current file: `position` of `range`.
    virtual void Progress(std::uint32_t /*position*/, std::uint32_t /*range*/) {}
    // `uid`: the kernel's identifier of the item (empty when it has none); `reason`: why it was
    // not installed (empty when it was).
    virtual void ItemFinished(const StepItem& /*item*/, ItemOutcome /*outcome*/,
                              const std::string& /*uid*/, const std::string& /*reason*/) {}
    // A call of a kernel service: its operation name ("ImportDictionary", "Catalogue.GetDirection",
    // "CreateInstance" for the creation of a service object), its status (a raised ComError's
    // HRESULT included) and how long it took.
    virtual void KernelCall(std::string_view /*operation*/, HRESULT /*status*/,
                            std::chrono::microseconds /*took*/) {}
    virtual void MessageShown(const MessageBoxRequest& /*request*/, MessageAnswer /*answer*/) {}
    // The installation engine ended: its page result, and how many items are held (installed or
    // already there), failed, and were left by a cancel.
    virtual void InstallationEnded(InstallResult /*result*/, int /*pageResult*/, int /*held*/,
                                   int /*failed*/, int /*cancelled*/) {}
};

// The observer installed in the ports (CurrentPorts().steps), or one that ignores everything.
StepObserver& Steps();

// Hands every step on to each observer added, in the order added.
class StepFanOut : public StepObserver {
public:
    void Add(StepObserver* observer);
    void ItemStarted(const StepItem& item) override;
    void Progress(std::uint32_t position, std::uint32_t range) override;
    void ItemFinished(const StepItem& item, ItemOutcome outcome, const std::string& uid,
                      const std::string& reason) override;
    void KernelCall(std::string_view operation, HRESULT status,
                    std::chrono::microseconds took) override;
    void MessageShown(const MessageBoxRequest& request, MessageAnswer answer) override;
    void InstallationEnded(InstallResult result, int pageResult, int held, int failed,
                           int cancelled) override;

private:
    std::vector<StepObserver*> observers_;
};

// A message port that hands every box to `inner` and then tells the observer (Steps(), looked
// up at each box) what was shown and answered.
class ObservedMessagePort : public MessagePort {
public:
    explicit ObservedMessagePort(MessagePort& inner) : inner_(inner) {}
    MessageAnswer Show(const MessageBoxRequest& request) override;

private:
    MessagePort& inner_;
};

// "ok", "cancel", "retry", "yes", "no".
const char* MessageAnswerName(MessageAnswer answer);

} // namespace quillon
