#pragma once
// CMainFrame: the installer's one main window. It covers the whole screen with a caption only,
// paints the blue gradient and the title, owns every wizard page and runs the wizard on the start
// command. "VANTEL_GO_HOME" ends the open page with Cancel, or closes the window when no page is
// open.
#include <QWidget>
#include <functional>

namespace quillon {

class CMainFrame : public QWidget {
    Q_OBJECT
public:
    CMainFrame();

    // The handler of the start commands 0xE100 / 0xE101 (set by the front end: RunWizard).
    void SetCommandHandler(std::function<void(int)> handler) {
        commandHandler_ = std::move(handler);
    }
    // Runs command `command` (posted by start-up).
    void OnCommand(int command);

    // "VANTEL_GO_HOME". Answers 0.
    int OnGoHome();
    // A second instance asked this one to come to the front.
    void BringToFront();
    // Posts a close request (WM_CLOSE) while the window exists.
    void PostClose();
    // True once the window was closed; pages are no longer shown then.
    bool Closed() const { return closed_; }
    // The process's exit status once the window has closed: 1 after a start that could not
    // go on (the rights were missing), else 0.
    void SetExitCode(int code) { exitCode_ = code; }
    int ExitCode() const { return exitCode_; }

    // The background of a client area of `size`: the gradient, then the title (string 1000).
    static void PaintBackground(QPainter& painter, const QSize& size);

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<void(int)> commandHandler_;
    bool noPageOpen_ = true;
    bool closed_ = false;
    int exitCode_ = 0;
};

} // namespace quillon
