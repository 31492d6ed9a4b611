#include "launcher/Launcher.h"

#include "support/Text.h"

#include <cerrno>
#include <optional>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace quillon::launcher {
namespace {

constexpr const char* kAppsKeys[] = {"Software\\Velmar Soft\\KLDO10\\Apps", "Software\\Velmar Soft\\KLDO9\\Apps"};
constexpr std::size_t kBufferSize = 260; // the launcher's value buffer, terminator included

// A string value that fits the value buffer.
std::optional<std::string> ReadValue(RegistryStore& registry, const char* key, const char* name) {
    RegistryValue value;
    if (registry.QueryValue(RegistryRoot::LocalMachine, key, name, value) != 0)
        return std::nullopt;
    if (value.type != static_cast<std::uint32_t>(RegistryType::String) &&
        value.type != static_cast<std::uint32_t>(RegistryType::ExpandString))
        return std::nullopt;
    std::string text = Utf16LeBytesToUtf8(value.data.data(), value.data.size());
    if (text.size() + 1 > kBufferSize)
        return std::nullopt; // the read would not fit: it fails
    return text;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

int RunLauncher(RegistryStore& registry, const std::string& ownPath, const StartProgram& start,
                std::string* reason) {
    const auto nothing = [reason](std::string why) {
        if (reason)
            *reason = std::move(why);
        return kExitNothingToStart;
    };
    const char* key = nullptr;
    for (const char* candidate : kAppsKeys) {
        if (registry.OpenKey(RegistryRoot::LocalMachine, candidate, false) == 0) {
            key = candidate;
            break;
        }
    }
    if (!key)
        return nothing("no product has registered its applications (\"Software\\Velmar Soft\\KLDO10\\Apps\" or "
                       "\"…\\KLDO9\\Apps\")");
    if (ownPath.empty() || ownPath.size() + 1 > kBufferSize)
        return nothing("its own folder cannot be had");
    const auto slash = ownPath.find_last_of('/');
    std::string command = slash == std::string::npos ? std::string() : ownPath.substr(0, slash + 1);

    std::string registered; // the value buffer: the data of the last value read
    const char* fileName = nullptr;
    if (auto profiles = ReadValue(registry, key, "Pelladrin")) {
        registered = *profiles;
        fileName = "Pelladrin";
    } else {
        if (auto variant = ReadValue(registry, key, "Morvels")) {
            registered = *variant;
            fileName = "quillons";
        }
        if (auto installer = ReadValue(registry, key, "Morvel")) {
            registered = *installer;
            fileName = "quillon";
        }
    }
    if (!fileName)
        return nothing(std::string("no installer is registered under \"") + key + "\"");
    command += fileName;
    if (!IsExecutableFile(command)) {
        if (registered.empty() || registered.front() != '/')
            return nothing("the registered program \"" + registered + "\" is not a full path");
        command = registered;
    }
    return start(command);
}

int StartDetached(const std::string& path) {
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    return ::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ);
}

} // namespace quillon::launcher
