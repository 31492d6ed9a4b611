#pragma once
// ProgressPage: the progress page's window (dialog 142) over CProgressDlg, the installation
// engine. The installation starts by itself once the page is on screen; the engine pumps the
// window's events at every progress report, so the page repaints and answers Cancel while a
// dictionary is unpacked or imported. Cancel, Escape, the close box and "VANTEL_GO_HOME" ask the
// confirmation; the engine stops at its next checkpoint, and only then does the page end: with 1
// (the wizard summarises what was left), or with 2 after "VANTEL_GO_HOME".
#include "install/ProgressDlg.h"
#include "install/ProgressView.h"
#include "shell/WizardPage.h"

#include <map>
#include <memory>

namespace Ui {
class ProgressPage;
}

namespace quillon {

class ProgressPage : public CWizardPage, private ProgressView {
    Q_OBJECT
public:
    ProgressPage(QWidget* parent, CSmartPtr<CDictCollection> collection, std::string sourceFolder);
    ~ProgressPage() override;

    void SetReplaceMode(int mode) { engine_.SetReplaceMode(mode); }
    const CProgressDlg& Engine() const { return engine_; }
    // Whether the installation is running (between the start and the page's end).
    bool Running() const { return running_; }

    // Asks the confirmation; when confirmed the page ends (once the engine stops).
    bool OnGoHome() override;
    void reject() override;

protected:
    bool OnInitDialog() override;

private:
    void Start();

    std::string InitialText(int control) override;
    void SetText(int control, const std::string& text) override;
    void ShowControl(int control, bool visible) override;
    void SetProgress(std::uint32_t position, std::uint32_t range) override;
    void SetTaskbarProgress(std::uint64_t completed, std::uint64_t total) override;
    void SetTaskbarState(TaskbarState state) override;
    void PumpMessages() override;
    bool ConfirmCancel() override;
    void Beep() override;

    QWidget* Control(int control) const;
    WindowId TaskbarWindow() const;

    std::unique_ptr<Ui::ProgressPage> ui_;
    CProgressDlg engine_;
    std::map<int, std::string> initialTexts_; // the captions as the dialog carries them
    bool running_ = false;
    bool goHome_ = false; // "VANTEL_GO_HOME" was confirmed: the page ends with Cancel
};

} // namespace quillon
