#pragma once
// The launcher's one job: start the installer program the translation product has registered,
// preferring a program of that name beside the launcher (on the distribution), and end at once.
//
// The product's applications are registered under HKLM "Software\Velmar Soft\KLDO10\Apps", or,
// when that key does not exist, "Software\Velmar Soft\KLDO9\Apps":
//   "Pelladrin"  the profile installer      -> "Pelladrin" beside the launcher
//   "Morvels"    a dictionary installer     -> "quillons"
//   "Morvel"     the dictionary installer   -> "quillon" (wins over "Morvels")
// A value is read as a path of at most 259 bytes (the launcher's 260-byte buffer).
#include "platform/RegistryStore.h"

#include <functional>
#include <string>

namespace quillon::launcher {

// Starts the program at exactly `path` (no command-line parsing), without arguments and without
// waiting for it. Answers 0, or the system's error code.
using StartProgram = std::function<int(const std::string& path)>;

// The exit codes besides 0 and a start's error code.
inline constexpr int kExitNothingToStart = -1;

// The launcher's run, given its own path (empty when it cannot be had). Answers the exit code:
// 0 when the program was started; -1 when neither Apps key exists, the own path is unknown,
// none of the three values can be read, or the program to start would be the registered value
// and that is not a full path (a relative one would start whatever lies in the current folder);
// otherwise the error code of the failed start. A file beside the launcher counts only when it
// is a regular file this user may execute. `reason`, when given, says why nothing was started.
int RunLauncher(RegistryStore& registry, const std::string& ownPath, const StartProgram& start,
                std::string* reason = nullptr);

// posix_spawn of `path` with argv {path}, the launcher's environment and folder.
int StartDetached(const std::string& path);

} // namespace quillon::launcher
