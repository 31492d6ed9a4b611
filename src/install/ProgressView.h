#pragma once
// Port: the view of the progress page (dialog 142). Implemented by the Qt page and by
// quillon-cli's terminal view; tests use a recording double.
//
// Texts follow the dialog's convention: "&&" stands for one '&'.
#include "shell/TaskbarProgress.h"

#include <cstdint>
#include <string>

namespace quillon {

// Control ids of dialog 142.
enum ProgressControl : int {
    kCtlStatus = 2018,           // "Идет процесс установки ..."
    kCtlItem = 1006,             // "Устанавливается\n%s"
    kCtlProgressBar = 1005,
    kCtlTotalDictionaries = 1010,
    kCtlDictionaryNumber = 1009,
    kCtlTotalProfiles = 2021,
    kCtlProfileNumber = 2022,
    kCtlTotalBasesTM = 1011,
    kCtlBaseTMNumber = 1012,
};

class ProgressView {
public:
    virtual ~ProgressView() = default;
    // The caption a control starts with (the templates are captured from these).
    virtual std::string InitialText(int control) = 0;
    virtual void SetText(int control, const std::string& text) = 0;
    virtual void ShowControl(int control, bool visible) = 0;
    // The progress bar: `position` of `range`.
    virtual void SetProgress(std::uint32_t position, std::uint32_t range) = 0;
    virtual void SetTaskbarProgress(std::uint64_t completed, std::uint64_t total) = 0;
    // State NoProgress at the end also shows the finished overlay (icon 143).
    virtual void SetTaskbarState(TaskbarState state) = 0;
    // Handles pending user input (Cancel, Escape, "VANTEL_GO_HOME"); the handlers call
    // CProgressDlg::RequestCancel.
    virtual void PumpMessages() = 0;
    // Asks the cancel confirmation (dialog 135): true for "Да".
    virtual bool ConfirmCancel() = 0;
    // The question-mark system beep that goes with a kernel error.
    virtual void Beep() {}
};

// The captions of dialog 142, as the dialog resource carries them, in the interface language.
std::string DefaultProgressText(int control);

} // namespace quillon
