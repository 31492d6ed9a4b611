#include "product/DistributionFolder.h"

#include "product/Paths.h"
#include "support/Text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace quillon {
namespace {

bool HasDrivePrefix(std::string_view s) {
    return s.size() >= 2 && s[1] == ':' && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'));
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kFileFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
// Only to look at what is there: a link is opened as itself, a device or FIFO is not touched.
constexpr int kLookFlags = O_PATH | O_NOFOLLOW | O_CLOEXEC;

} // namespace

DistributionFolder::DistributionFolder(std::string root) : root_(std::move(root)) {
    char real[PATH_MAX];
    if (!::realpath(root_.empty() ? "." : root_.c_str(), real)) {
        rootError_ = errno;
        return;
    }
    rootFd_.Reset(::open(real, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!rootFd_)
        rootError_ = errno;
}

std::optional<std::vector<std::string>> DistributionFolder::Components(std::string_view relative) {
    if (relative.empty() || relative.find('\0') != std::string_view::npos || relative.front() == '/' ||
        relative.front() == '\\' || HasDrivePrefix(relative))
        return std::nullopt;
    std::vector<std::string> parts;
    for (std::size_t i = 0; i <= relative.size();) {
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
    return parts;
}

const std::map<std::string, std::string>& DistributionFolder::Listing(int dir) {
    struct stat st {};
    if (::fstat(dir, &st) != 0) {
        static const std::map<std::string, std::string> none;
        return none;
    }
    const auto key = std::make_pair(static_cast<unsigned long>(st.st_dev), static_cast<unsigned long>(st.st_ino));
    const auto found = listingsByFolder_.find(key);
    if (found != listingsByFolder_.end())
        return found->second;
    std::map<std::string, std::string>& names = listingsByFolder_[key];
    ++listings_;
    // A descriptor of its own: closedir closes it.
    const int copy = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (DIR* d = copy >= 0 ? ::fdopendir(copy) : nullptr) {
        std::vector<std::string> all;
        while (const dirent* e = ::readdir(d))
            all.emplace_back(e->d_name);
        ::closedir(d);
        // Several spellings of one name: the first in byte order stands for them.
        std::sort(all.begin(), all.end());
        for (const std::string& name : all)
            names.emplace(FoldCase(name), name);
    } else if (copy >= 0) {
        ::close(copy);
    }
    return names;
}

FileDescriptor DistributionFolder::OpenIn(int dir, const std::string& name, int flags, std::string& spelled) {
    spelled = name;
    FileDescriptor fd(::openat(dir, name.c_str(), flags));
    if (fd || errno != ENOENT)
        return fd;
    const auto& names = Listing(dir);
    const auto found = names.find(FoldCase(name));
    if (found == names.end() || found->second == name) {
        errno = ENOENT;
        return {};
    }
    spelled = found->second;
    return FileDescriptor(::openat(dir, spelled.c_str(), flags));
}

std::optional<std::string> DistributionFolder::Resolve(std::string_view relative) {
    const auto parts = Components(relative);
    if (!parts)
        return std::nullopt;
    std::string path = root_;
    AppendBackslash(path);
    FileDescriptor folder(rootFd_ ? ::dup(rootFd_.Get()) : -1);
    for (std::size_t k = 0; k < parts->size(); ++k) {
        const bool last = k + 1 == parts->size();
        std::string spelled = (*parts)[k];
        if (folder) {
            FileDescriptor next = OpenIn(folder.Get(), (*parts)[k], last ? kLookFlags : kFolderFlags, spelled);
            struct stat st {};
            if (!next && errno == ELOOP)
                return std::nullopt; // a link lies on the path
            if (!next && errno == ENOTDIR &&
                ::fstatat(folder.Get(), spelled.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
                return std::nullopt;
            if (next && last && ::fstat(next.Get(), &st) == 0 && S_ISLNK(st.st_mode))
                return std::nullopt;
            folder = std::move(next);
        }
        path += spelled;
        if (!last)
            path += '/';
    }
    return path;
}

FileDescriptor DistributionFolder::Open(std::string_view relative, std::string* path) {
    const auto parts = Components(relative);
    if (!parts) {
        errno = EINVAL;
        return {};
    }
    if (!rootFd_) {
        errno = rootError_ ? rootError_ : ENOENT;
        return {};
    }
    std::string full = root_;
    AppendBackslash(full);
    FileDescriptor folder(::dup(rootFd_.Get()));
    for (std::size_t k = 0; folder && k < parts->size(); ++k) {
        const bool last = k + 1 == parts->size();
        std::string spelled;
        folder = OpenIn(folder.Get(), (*parts)[k], last ? kFileFlags : kFolderFlags, spelled);
        full += spelled;
        if (!last)
            full += '/';
    }
    if (!folder)
        return {};
    struct stat st {};
    if (::fstat(folder.Get(), &st) != 0)
        return {};
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
        return {};
    }
    if (path)
        *path = full;
    return folder;
}

} // namespace quillon
