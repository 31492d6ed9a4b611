#include "platform/StepObserver.h"

#include "platform/Ports.h"

namespace quillon {

const char* StepItemKindName(StepItemKind kind) {
    switch (kind) {
    case StepItemKind::Dictionary:
        return "dictionary";
    case StepItemKind::BaseTM:
        return "tm";
    case StepItemKind::Profile:
        return "profile";
    }
    return "?";
}

const char* ItemOutcomeName(ItemOutcome outcome) {
    switch (outcome) {
    case ItemOutcome::Installed:
        return "installed";
    case ItemOutcome::AlreadyThere:
        return "already-there";
    case ItemOutcome::Failed:
        return "failed";
    case ItemOutcome::Cancelled:
        return "cancelled";
    }
    return "?";
}

InstallResult ClassifyInstallation(int held, int notInstalled, int pageResult, bool cancelled) {
    if (cancelled)
        return InstallResult::Cancelled;
    if (held == 0)
        return InstallResult::NothingDone;
    if (notInstalled > 0 || pageResult != 1)
        return InstallResult::PartlyFailed;
    return InstallResult::Installed;
}

const char* InstallResultName(InstallResult result) {
    switch (result) {
    case InstallResult::Installed:
        return "installed";
    case InstallResult::PartlyFailed:
        return "partly-failed";
    case InstallResult::NothingDone:
        return "nothing-done";
    case InstallResult::Cancelled:
        return "cancelled";
    }
    return "?";
}

const char* MessageAnswerName(MessageAnswer answer) {
    switch (answer) {
    case MessageAnswer::Ok:
        return "ok";
    case MessageAnswer::Cancel:
        return "cancel";
    case MessageAnswer::Retry:
        return "retry";
    case MessageAnswer::Yes:
        return "yes";
    case MessageAnswer::No:
        return "no";
    }
    return "?";
}

StepObserver& Steps() {
    static StepObserver nobody;
    StepObserver* observer = CurrentPorts().steps;
    return observer ? *observer : nobody;
}

void StepFanOut::Add(StepObserver* observer) {
    if (observer)
        observers_.push_back(observer);
}

void StepFanOut::ItemStarted(const StepItem& item) {
    for (StepObserver* o : observers_)
        o->ItemStarted(item);
}

void StepFanOut::Progress(std::uint32_t position, std::uint32_t range) {
    for (StepObserver* o : observers_)
        o->Progress(position, range);
}

void StepFanOut::ItemFinished(const StepItem& item, ItemOutcome outcome, const std::string& uid,
                              const std::string& reason) {
    for (StepObserver* o : observers_)
        o->ItemFinished(item, outcome, uid, reason);
}

void StepFanOut::KernelCall(std::string_view operation, HRESULT status,
                            std::chrono::microseconds took) {
    for (StepObserver* o : observers_)
        o->KernelCall(operation, status, took);
}

void StepFanOut::MessageShown(const MessageBoxRequest& request, MessageAnswer answer) {
    for (StepObserver* o : observers_)
        o->MessageShown(request, answer);
}

void StepFanOut::InstallationEnded(InstallResult result, int pageResult, int held, int failed,
                                   int cancelled) {
    for (StepObserver* o : observers_)
        o->InstallationEnded(result, pageResult, held, failed, cancelled);
}

MessageAnswer ObservedMessagePort::Show(const MessageBoxRequest& request) {
    const MessageAnswer answer = inner_.Show(request);
    Steps().MessageShown(request, answer);
    return answer;
}

} // namespace quillon
