#pragma once
// LauncherEntryTaskbar: progress on the desktop's launcher entry, the freedesktop/Unity
// "com.canonical.Unity.LauncherEntry" Update signal on the session bus (docks and panels of
// KDE, GNOME extensions, Unity, elementary show it on the program's icon). The installer uses it
// when a session bus is there; otherwise the no-op TaskbarProgress stays installed.
#include "shell/TaskbarProgress.h"

#include <QDBusConnection>
#include <QString>
#include <memory>

namespace quillon {

class LauncherEntryTaskbar : public TaskbarProgress {
public:
    // The launcher entry of `desktopId` (the desktop file's name), signalled on `connection`.
    LauncherEntryTaskbar(QDBusConnection connection, QString desktopId);

    // The adapter on the session bus; null when there is no session bus.
    static std::unique_ptr<LauncherEntryTaskbar> OnSessionBus();

    static constexpr const char* kInterface = "com.canonical.Unity.LauncherEntry";
    static constexpr const char* kObjectPath = "/com/velmarsoft/quillon/LauncherEntry";

    // NoProgress hides the progress; any other state shows it.
    bool SetProgressState(WindowId window, TaskbarState state) override;
    // Shows completed/total as the fraction "progress" (0..1).
    bool SetProgressValue(WindowId window, std::uint64_t completed, std::uint64_t total) override;
    // Launcher entries have no overlay icons: answers false.
    bool SetOverlayIcon(WindowId window, const std::string& icon,
                        const std::string& description) override;

private:
    bool Update(const QVariantMap& properties);

    QDBusConnection connection_;
    QString appUri_;
};

} // namespace quillon
