#include "product/Paths.h"

#include "support/Text.h"

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace quillon {
namespace {

bool HasDrivePrefix(std::string_view s) {
    return s.size() >= 2 && s[1] == ':' && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'));
}

// The real path of `path` (every link followed), or nothing when a link cannot be followed
// (a loop, a dangling link, a component that is not a folder).
std::optional<std::string> RealPath(const std::string& path) {
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    if (ec)
        return std::nullopt;
    return real.string();
}

bool IsBelow(const std::string& real, const std::string& realRoot) {
    return realRoot == "/" || real == realRoot ||
           (real.size() > realRoot.size() && real.compare(0, realRoot.size(), realRoot) == 0 &&
            real[realRoot.size()] == '/');
}

// True when `path` (below `root`, no ".." in it) stays inside the real location of `root` once
// every symbolic link is followed. The components that exist are checked; what does not exist yet
// cannot lead anywhere. A link that cannot be followed (a loop, a dangling link) counts as
// leading outside, so what it names counts as missing.
bool StaysBelow(const std::string& root, const std::string& path) {
    const auto realRoot = RealPath(root.empty() ? "." : root);
    if (!realRoot)
        return true; // no root on disk: nothing below it exists either
    if (const auto real = RealPath(path))
        return IsBelow(*real, *realRoot);
    // Something along the path is missing or cannot be followed: check each existing prefix.
    std::string rootSlash = root;
    AppendBackslash(rootSlash);
    for (std::size_t slash = rootSlash.size(); slash != std::string::npos;) {
        const std::size_t end = path.find('/', slash);
        const std::string prefix = path.substr(0, end);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(prefix, ec)))
            return true; // missing from here on
        const auto real = RealPath(prefix);
        if (!real || !IsBelow(*real, *realRoot))
            return false;
        slash = end == std::string::npos ? end : end + 1;
    }
    return true;
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
    if (relative.empty() || relative.find('\0') != std::string_view::npos || relative.front() == '/' ||
        relative.front() == '\\' || HasDrivePrefix(relative))
        return std::nullopt;
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i <= relative.size()) {
        std::size_t j = relative.find_first_of("/\\", i);
        if (j == std::string_view::npos)
            j = relative.size();
        const std::string_view part = relative.substr(i, j - i);
        if (part == "..")
            return std::nullopt;
        if (!part.empty() && part != ".")
            parts.emplace_back(part);
        i = j + 1;
    }
    if (parts.empty())
        return std::nullopt;

    std::string path = root;
    AppendBackslash(path);
    bool found = true; // every component so far exists on disk
    for (std::size_t k = 0; k < parts.size(); ++k) {
        std::string spelling = parts[k];
        if (found) {
            std::error_code ec;
            if (!fs::exists(fs::symlink_status(path + spelling, ec))) {
                found = false;
                const std::string wanted = FoldCase(spelling);
                for (fs::directory_iterator it(path.empty() ? "." : path, ec), end; !ec && it != end; it.increment(ec)) {
                    const std::string name = it->path().filename().string();
                    if (FoldCase(name) == wanted) {
                        spelling = name;
                        found = true;
                        break;
                    }
                }
            }
        }
        path += spelling;
        if (k + 1 < parts.size())
            path += '/';
    }
    if (!StaysBelow(root, path))
        return std::nullopt;
    return path;
}

} // namespace quillon
