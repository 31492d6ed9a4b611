#include "product/RunFolder.h"

#include "platform/Ports.h"
#include "product/Paths.h"
#include "product/WorkFolders.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillon {
namespace {

std::string Reason(const std::string& path, int error) {
    return path + ": " + std::strerror(error);
}

// Removes `folder` (ending in '/') and everything in it; links inside are removed, not followed.
void RemoveFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

// The folder itself opened for its lock: never through a symbolic link.
int OpenFolder(const std::string& folder) {
    return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

std::unique_ptr<RunFolder> RunFolder::Create(const std::string& base, const std::string& prefix,
                                             std::string& error) {
    // A sweep running at the same moment may take the new folder for a dead one before it is
    // locked and remove it: then the locked folder is no longer at its name, and another is made.
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string path = base + prefix + "XXXXXX";
        if (!::mkdtemp(path.data())) {
            error = Reason(path, errno);
            return nullptr;
        }
        const int lock = OpenFolder(path);
        if (lock < 0) {
            error = Reason(path, errno);
            continue;
        }
        struct stat held {};
        struct stat named {};
        if (::flock(lock, LOCK_EX | LOCK_NB) == 0 && ::fstat(lock, &held) == 0 &&
            ::lstat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev)
            return std::unique_ptr<RunFolder>(new RunFolder(path + "/", lock));
        ::close(lock);
        error = path + ": taken by another run";
    }
    return nullptr;
}

RunFolder::~RunFolder() {
    // Removed while still locked: a run killed half-way leaves an unlocked folder to sweep.
    RemoveFolder(path_);
    ::close(lock_);
}

int RemoveStaleRunFolders(const std::string& base, const std::string& prefix) {
    std::vector<std::string> candidates;
    if (DIR* dir = ::opendir(base.c_str())) {
        while (const dirent* e = ::readdir(dir))
            if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) == 0)
                candidates.push_back(base + e->d_name);
        ::closedir(dir);
    }
    int removed = 0;
    for (const std::string& folder : candidates) {
        const int lock = OpenFolder(folder);
        if (lock < 0)
            continue; // not a folder, or a link
        struct stat st {};
        // Held: a living run. Free: its run is gone (a killed process lets its lock go).
        if (::fstat(lock, &st) == 0 && st.st_uid == ::geteuid() &&
            ::flock(lock, LOCK_EX | LOCK_NB) == 0) {
            RemoveFolder(folder + "/");
            ++removed;
        }
        ::close(lock);
    }
    return removed;
}
std::unique_ptr<RunFolder> OpenRunFolder(std::string& error) {
    if (const std::string work = GetUserWorkFolder(); !work.empty()) {
        RemoveStaleRunFolders(work, "run-");
        if (auto run = RunFolder::Create(work, "run-", error))
            return run;
    }
    // The fallback: a folder of our own in the shared temporary folder, never its root.
    const std::string temp = Files().TempFolder();
    if (temp.empty()) {
        error = "no private work folder: the work folder cannot be used and there is no temporary "
                "folder";
        return nullptr;
    }
    const std::string prefix = "quillon-" + std::to_string(::geteuid()) + "-";
    RemoveStaleRunFolders(temp, prefix);
    std::string reason;
    if (auto run = RunFolder::Create(temp, prefix, reason))
        return run;
    error = "no private work folder: " + reason;
    return nullptr;
}

bool ClearOwnFile(const std::string& path, std::string& error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        error = Reason(path, errno);
        return false;
    }
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) {
        error = path + ": a file that is not the installer's own is in the way (" +
                (S_ISLNK(st.st_mode)        ? "a symbolic link"
                 : !S_ISREG(st.st_mode)     ? "not a regular file"
                 : st.st_uid != ::geteuid() ? "owned by another user"
                                            : "it has other hard links") +
                ")";
        return false;
    }
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        error = Reason(path, errno);
        return false;
    }
    return true;
}

bool CopyToNewFile(int source, const std::string& to, bool* writeFailed) {
    bool failedWrite = false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool ok = out >= 0;
    failedWrite = !ok;
    std::vector<char> buffer(ok ? std::size_t(1) << 16 : 0);
    while (ok) {
        const ssize_t n = ::read(source, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            failedWrite = !ok;
            done += w > 0 ? w : 0;
        }
    }
    if (out >= 0 && ::close(out) != 0 && ok) {
        ok = false;
        failedWrite = true;
    }
    if (!ok && out >= 0)
        ::unlink(to.c_str());
    if (writeFailed)
        *writeFailed = failedWrite;
    return ok;
}

void DeleteUnpacked(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec)))
        std::filesystem::remove(path, ec);
    DeleteAl2Companion(path);
}

} // namespace quillon
