#pragma once
// The Qt front end's start-up port: single instance, the main window, the posted start command.
//
// Single instance: the first instance listens on a local socket named after the main window
// class ("Darvel9Class_" + the fixed GUID); a second one connects, sends "ACTIVATE" and exits
// silently. Other programs of the product send "VANTEL_GO_HOME" through the same socket. Each
// message is one line of text.
#include "shell/MainFrame.h"
#include "shell/SetupApp.h"

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace quillon {

// The main window class name: "Darvel9Class_" and the fixed GUID with underscores.
extern const char* const kMainWindowClass;

// Messages of the instance socket.
inline constexpr const char* kActivateMessage = "ACTIVATE";
inline constexpr const char* kGoHomeMessage = "VANTEL_GO_HOME";

// The socket's full path: $XDG_RUNTIME_DIR, else the temporary folder, + kMainWindowClass.
QString InstanceSocketPath();

// Sends one message to the running instance listening on `socketPath`; false when none listens.
bool SendToRunningInstance(const QString& socketPath, const QByteArray& message);

class QtStartupHost : public QObject, public StartupHost {
    Q_OBJECT
public:
    // `socketPath` empty: InstanceSocketPath(). `loadInterfaceResources`: the interface-language
    // texts' loader (none yet: the built-in table).
    explicit QtStartupHost(QString socketPath = {},
                           std::function<void()> loadInterfaceResources = {});
    ~QtStartupHost() override;

    void LoadInterfaceResources() override;
    // Asks a running instance to come to the front (true), or starts listening (false).
    bool BringExistingInstanceToFront() override;
    // There is no OLE here; services are called in process, so nothing needs a filter.
    bool InitializeMessageFilter() override { return true; }
    bool CreateMainWindow() override;
    void ShowMainWindow() override;
    void PostCommand(int command) override;
    void Sleep(std::chrono::milliseconds duration) override;

    CMainFrame* MainFrame() const { return frame_.get(); }
    bool Listening() const { return server_ && server_->isListening(); }

signals:
    // A connection from another instance or the product ended, everything it sent handled (or
    // dropped, when it was not one of our lines).
    void ConnectionEnded();

private:
    void OnNewConnection();
    void OnMessage(const QByteArray& message);

    QString socketPath_;
    std::function<void()> loadInterfaceResources_;
    std::unique_ptr<QLocalServer> server_;
    std::unique_ptr<CMainFrame> frame_;
};

} // namespace quillon
