#include "shell/QtStartupHost.h"

#include <QDir>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <cstdlib>

namespace quillon {

const char* const kMainWindowClass = "Darvel9Class_7C3A91E4_5B2D_4F86_A0D3_9E1B6C2F48A7";

namespace {
constexpr int kSocketTimeoutMs = 1000;
}

QString InstanceSocketPath() {
    QString folder = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QString::fromLatin1(kMainWindowClass));
}

bool SendToRunningInstance(const QString& socketPath, const QByteArray& message) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(kSocketTimeoutMs))
        return false;
    socket.write(message + '\n');
    socket.flush();
    socket.waitForBytesWritten(kSocketTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kSocketTimeoutMs);
    return true;
}

QtStartupHost::QtStartupHost(QString socketPath, std::function<void()> loadInterfaceResources)
    : socketPath_(socketPath.isEmpty() ? InstanceSocketPath() : std::move(socketPath)),
      loadInterfaceResources_(std::move(loadInterfaceResources)) {}

QtStartupHost::~QtStartupHost() {
    if (server_)
        server_->close();
}

void QtStartupHost::LoadInterfaceResources() {
    if (loadInterfaceResources_)
        loadInterfaceResources_();
}

bool QtStartupHost::BringExistingInstanceToFront() {
    if (SendToRunningInstance(socketPath_, kActivateMessage))
        return true;
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_.get(), &QLocalServer::newConnection, this, &QtStartupHost::OnNewConnection);
    if (server_->listen(socketPath_))
        return false;
    if (server_->serverError() == QAbstractSocket::AddressInUseError) {
        // Another instance may have started listening meanwhile; otherwise the name is left
        // over from an instance that ended without closing it.
        if (SendToRunningInstance(socketPath_, kActivateMessage)) {
            server_.reset();
            return true;
        }
        QLocalServer::removeServer(socketPath_);
        if (server_->listen(socketPath_))
            return false;
    }
    // Without the socket the installer still runs; only the single-instance test is lost.
    std::fprintf(stderr, "quillon: %s: %s\n", qPrintable(socketPath_),
                 qPrintable(server_->errorString()));
    return false;
}

void QtStartupHost::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::disconnected, this, &QtStartupHost::ConnectionEnded);
        QPointer<QLocalSocket> guard(socket);
        auto readLines = [this, guard] {
            // A line longer than this is not one of ours; the connection is dropped.
            constexpr qint64 kMaxLine = 256;
            while (guard && guard->canReadLine()) {
                const QByteArray line = guard->readLine(kMaxLine + 1).trimmed();
                OnMessage(line);
            }
            if (guard && guard->bytesAvailable() > kMaxLine)
                guard->abort();
        };
        connect(socket, &QLocalSocket::readyRead, this, readLines);
        readLines();
    }
}

void QtStartupHost::OnMessage(const QByteArray& message) {
    if (!frame_)
        return;
    if (message == kActivateMessage)
        frame_->BringToFront();
    else if (message == kGoHomeMessage)
        frame_->OnGoHome();
}

bool QtStartupHost::CreateMainWindow() {
    frame_ = std::make_unique<CMainFrame>();
    return true;
}

void QtStartupHost::ShowMainWindow() {
    frame_->show();
    frame_->update();
}

void QtStartupHost::PostCommand(int command) {
    QPointer<CMainFrame> frame(frame_.get());
    QMetaObject::invokeMethod(
        frame_.get(),
        [frame, command] {
            if (frame)
                frame->OnCommand(command);
        },
        Qt::QueuedConnection);
}

void QtStartupHost::Sleep(std::chrono::milliseconds duration) {
    QThread::msleep(static_cast<unsigned long>(duration.count()));
}

} // namespace quillon
