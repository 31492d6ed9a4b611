#include "shell/TaskbarProgress.h"

namespace quillon {
namespace {

TaskbarProgress g_noTaskbar;
TaskbarProgress* g_taskbar = &g_noTaskbar;

} // namespace

bool TaskbarProgress::SetProgressState(WindowId, TaskbarState) {
    return false;
}
bool TaskbarProgress::SetProgressValue(WindowId, std::uint64_t, std::uint64_t) {
    return false;
}
bool TaskbarProgress::SetOverlayIcon(WindowId, const std::string&, const std::string&) {
    return false;
}

TaskbarProgress& Taskbar() {
    return *g_taskbar;
}
void SetTaskbar(TaskbarProgress* taskbar) {
    g_taskbar = taskbar ? taskbar : &g_noTaskbar;
}

} // namespace quillon
