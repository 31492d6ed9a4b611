#include "distribution/SourceSearch.h"

#include "product/Paths.h"

#include <filesystem>

namespace quillon {
namespace {

std::string& TablePath() {
    static std::string path = "/proc/self/mounts";
    return path;
}

// Index in `roots` of the longest root `text` begins with; -1 when none.
int CurrentRoot(const std::vector<std::string>& roots, const std::string& text) {
    int best = -1;
    for (std::size_t i = 0; i < roots.size(); ++i)
        if (text.compare(0, roots[i].size(), roots[i]) == 0 &&
            (best < 0 || roots[i].size() > roots[best].size()))
            best = static_cast<int>(i);
    return best;
}

} // namespace

bool NextCdDrive(std::string& drivePath, const MountTable& mounts) {
    const std::vector<std::string> roots = mounts.OpticalRoots();
    std::size_t next = 0;
    if (!drivePath.empty()) {
        const int current = CurrentRoot(roots, drivePath);
        if (current < 0)
            return false;
        next = static_cast<std::size_t>(current) + 1;
    }
    if (next >= roots.size())
        return false;
    drivePath = roots[next];
    return true;
}

bool NextCdDrive(std::string& drivePath) {
    return NextCdDrive(drivePath, MountTable::Load(MountTablePath()));
}

void CutToDriveRoot(std::string& path, const MountTable& mounts) {
    const std::vector<std::string> roots = mounts.OpticalRoots();
    if (const int current = CurrentRoot(roots, path); current >= 0)
        path.resize(roots[static_cast<std::size_t>(current)].size());
}

void CutToDriveRoot(std::string& path) {
    CutToDriveRoot(path, MountTable::Load(MountTablePath()));
}

const std::string& MountTablePath() {
    return TablePath();
}

ScopedMountTablePath::ScopedMountTablePath(std::string path) : saved_(TablePath()) {
    TablePath() = std::move(path);
}
ScopedMountTablePath::~ScopedMountTablePath() {
    TablePath() = saved_;
}

std::string DictsFolder(const std::string& folder) {
    const auto dicts = ResolveBelow(folder, "DICTS");
    return dicts ? *dicts + "/" : std::string();
}

std::string GetInstallerFolder(const std::string& exeLink) {
    std::error_code ec;
    const std::string target = std::filesystem::read_symlink(exeLink, ec).string();
    const auto slash = target.find_last_of('/');
    if (ec || slash == std::string::npos)
        return {};
    return target.substr(0, slash + 1);
}

std::string GetInstallerFolder() {
    return GetInstallerFolder("/proc/self/exe");
}

} // namespace quillon
