#pragma once
// TaskbarProgress: the process-wide object through which the wizard driver and the progress page
// show progress on the main window's taskbar button. Each operation answers true only when a
// taskbar service exists and took the call. The base class is the adapter for desktops without
// such a service: every call answers false and nothing is shown. A front end that has a taskbar
// service installs its own adapter with SetTaskbar.
#include <cstdint>
#include <string>

namespace quillon {

// The window whose button shows the progress (the front end's own handle; 0 for none).
using WindowId = std::uintptr_t;

enum class TaskbarState : int {
    NoProgress = 0,
    Indeterminate = 1,
    Normal = 2,
    Error = 4,
    Paused = 8
};

class TaskbarProgress {
public:
    virtual ~TaskbarProgress() = default;
    virtual bool SetProgressState(WindowId window, TaskbarState state);
    virtual bool SetProgressValue(WindowId window, std::uint64_t completed, std::uint64_t total);
    // `icon` empty and `description` empty clear the overlay.
    virtual bool SetOverlayIcon(WindowId window, const std::string& icon,
                                const std::string& description);
    // Drops the taskbar service's object (at exit).
    virtual void Release() {}
};

// The installed adapter; the no-op one when none was installed.
TaskbarProgress& Taskbar();
// Installs `taskbar` (null: the no-op adapter). The caller keeps it alive while installed.
void SetTaskbar(TaskbarProgress* taskbar);

} // namespace quillon
