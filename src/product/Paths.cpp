#include "product/Paths.h"

#include "product/DistributionFolder.h"

#include "support/Text.h"

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace quillon {
namespace {

bool HasDrivePrefix(std::string_view s) {
    return s.size() >= 2 && s[1] == ':' && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'));
}

} // namespace

void AppendBackslash(std::string& path) {
    if (!path.empty() && path.back() != '/' && path.back() != '\\')
        path += '/';
}

void AppendPath(std::string& path, std::string_view name) {
    AppendBackslash(path);
    path += name;
}

bool FileExists(const std::string& path) {
    if (path.empty())
        return false;
    std::error_code ec;
    const auto status = fs::status(path, ec);
    return !ec && fs::exists(status) && !fs::is_directory(status);
}

bool PathExists(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && (p.back() == '/' || p.back() == '\\'))
        p.pop_back();
    if (p.empty())
        return false;
    std::error_code ec;
    return fs::exists(p, ec);
}

void DeleteAl2Companion(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (char& c : name)
        if (c == '.')
            c = '_';
    const std::string companion = folder + name + ".al2";
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(companion, ec)))
        fs::remove(companion, ec);
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/')
        return path;
    std::error_code ec;
    const std::string cwd = fs::current_path(ec).string();
    if (ec)
        return path;
    std::string relative = path;
    while (relative.starts_with("./")) // "./dist" reads better as "dist" in the stored paths
        relative.erase(0, 2);
    if (relative == ".")
        relative.clear();
    std::string absolute = cwd;
    if (!relative.empty())
        AppendPath(absolute, relative);
    if (path.back() == '/' && absolute.back() != '/')
        absolute += '/';
    return absolute;
}

bool IsSafeFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos &&
           !HasDrivePrefix(name);
}

std::optional<std::string> ResolveBelow(const std::string& root, std::string_view relative) {
    return DistributionFolder(root).Resolve(relative);
}

} // namespace quillon
