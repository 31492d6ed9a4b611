#pragma once
// The progress page on a terminal: a bar with the item being installed and the counters,
// redrawn in place within the terminal's width (again when the window is resized, SIGWINCH);
// plain lines, without escape sequences, when the output is not a terminal. The output is
// ProgressStream(): standard output, or with --json standard error or nothing.
#include "install/ProgressView.h"

#include <csignal>
#include <cstdio>
#include <map>
#include <string>

namespace quillon {
class CProgressDlg;
}

namespace quillon::cli {

class TerminalProgress : public ProgressView {
public:
    explicit TerminalProgress(bool assumeYes);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;
    void SetPage(CProgressDlg* page) { page_ = page; }
    // Ends the bar's line.
    void Finish();

    std::string InitialText(int control) override { return DefaultProgressText(control); }
    void SetText(int control, const std::string& text) override;
    void ShowControl(int, bool) override {}
    void SetProgress(std::uint32_t position, std::uint32_t range) override;
    void SetTaskbarProgress(std::uint64_t, std::uint64_t) override {}
    void SetTaskbarState(TaskbarState) override {}
    void PumpMessages() override;
    bool ConfirmCancel() override;
    void Beep() override;

private:
    void Draw();

    CProgressDlg* page_ = nullptr;
    std::FILE* out_;
    bool terminal_;
    bool assumeYes_;
    bool lineOpen_ = false;
    int percent_ = 0;
    std::map<int, std::string> texts_;
    struct sigaction previousResize_ {};
};

} // namespace quillon::cli
