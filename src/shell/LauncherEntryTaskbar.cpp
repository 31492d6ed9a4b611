#include "shell/LauncherEntryTaskbar.h"

#include <QDBusMessage>

namespace quillon {

LauncherEntryTaskbar::LauncherEntryTaskbar(QDBusConnection connection, QString desktopId)
    : connection_(std::move(connection)), appUri_(QStringLiteral("application://") + desktopId) {}

std::unique_ptr<LauncherEntryTaskbar> LauncherEntryTaskbar::OnSessionBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return nullptr;
    return std::make_unique<LauncherEntryTaskbar>(bus, QStringLiteral("quillon.desktop"));
}

bool LauncherEntryTaskbar::Update(const QVariantMap& properties) {
    QDBusMessage signal =
        QDBusMessage::createSignal(kObjectPath, kInterface, QStringLiteral("Update"));
    signal << appUri_ << properties;
    return connection_.isConnected() && connection_.send(signal);
}

bool LauncherEntryTaskbar::SetProgressState(WindowId, TaskbarState state) {
    return Update({{QStringLiteral("progress-visible"), state != TaskbarState::NoProgress}});
}

bool LauncherEntryTaskbar::SetProgressValue(WindowId, std::uint64_t completed,
                                            std::uint64_t total) {
    const double fraction =
        total == 0 ? 0.0
                   : static_cast<double>(std::min(completed, total)) / static_cast<double>(total);
    return Update(
        {{QStringLiteral("progress"), fraction}, {QStringLiteral("progress-visible"), true}});
}

bool LauncherEntryTaskbar::SetOverlayIcon(WindowId, const std::string&, const std::string&) {
    return false;
}

} // namespace quillon
