#include "platform/posix/PosixAdministrator.h"

#include "platform/posix/PosixPorts.h"
#include "product/RegistryKey.h"

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace quillon::posix {

bool CanWrite(const std::string& path) {
    if (path.empty())
        return false;
    namespace fs = std::filesystem;
    fs::path probe = fs::absolute(path).lexically_normal();
    std::error_code ec;
    while (!fs::exists(fs::symlink_status(probe, ec))) {
        if (!probe.has_relative_path())
            return false; // not even the root exists
        probe = probe.parent_path();
    }
    const int mode = fs::is_directory(probe, ec) ? (W_OK | X_OK) : W_OK;
    return ::faccessat(AT_FDCWD, probe.c_str(), mode, AT_EACCESS) == 0;
}

std::string FirstUnwritable(unsigned effectiveUid, const std::string& hivePath,
                            const std::vector<std::string>& dataFolders) {
    if (effectiveUid == 0)
        return {};
    namespace fs = std::filesystem;
    // The hive is rewritten through a temporary file renamed over it: its folder must be writable.
    const std::string hiveFolder = fs::path(hivePath).parent_path().string();
    if (!CanWrite(hivePath))
        return hivePath.empty() ? std::string("(no registry hive)") : hivePath;
    if (!CanWrite(hiveFolder.empty() ? "." : hiveFolder))
        return hiveFolder.empty() ? "." : hiveFolder;
    for (const std::string& folder : dataFolders)
        if (!CanWrite(folder))
            return folder;
    return {};
}

bool HasAdministratorRights(unsigned effectiveUid, const std::string& hivePath,
                            const std::vector<std::string>& dataFolders) {
    return FirstUnwritable(effectiveUid, hivePath, dataFolders).empty();
}

std::vector<std::string> ProductDataFolders() {
    std::vector<std::string> folders;
    CRegistryKey directions;
    if (directions.Open(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\Zozedi9\\Directions")) {
        const std::string path = directions.GetString("Path");
        if (!path.empty())
            folders.push_back(path);
    }
    CRegistryKey shared;
    if (shared.Open(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9\\Folders")) {
        const std::string root = shared.GetString("SharedRoot");
        if (!root.empty())
            folders.push_back(root);
    }
    return folders;
}

bool IsUserAdministrator() {
    return MissingAdministratorRight().empty();
}

std::string MissingAdministratorRight() {
    return FirstUnwritable(::geteuid(), Adapters().registry.Path(), ProductDataFolders());
}

} // namespace quillon::posix
