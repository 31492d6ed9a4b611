#include "distribution/KldoInifileManager.h"

#include "platform/Ports.h"
#include "product/Paths.h"
#include "product/WorkFolders.h"
#include "support/Guid.h"
#include "support/Storage.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillon {
namespace {

// True when `path` is a regular file that can be opened for reading (links followed only when
// `followLinks`).
bool CanOpen(const std::string& path, bool followLinks) {
    if (path.empty())
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW));
    if (fd < 0)
        return false;
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return ok;
}

// The file `name` in `folder`, letter case ignored; empty when it cannot be opened for reading.
std::string FindReadable(const std::string& folder, const char* name) {
    if (folder.empty())
        return {};
    const auto path = ResolveBelow(folder, name);
    return path && CanOpen(*path, true) ? *path : std::string();
}

// The working folder, every level below the system temporary folder private to this user;
// empty when that cannot be had, with `unusable` (when given) naming the level that could not be
// used (empty when there is no temporary folder at all).
std::string MakeWorkingFolder(std::string* unusable = nullptr) {
    const std::string temp = Files().TempFolder();
    const std::string work = GetProductTempFolder("MORVELX/");
    if (temp.empty() || work.empty() || work.compare(0, temp.size(), temp) != 0)
        return {};
    for (std::size_t pos = work.find('/', temp.size()); pos != std::string::npos;
         pos = work.find('/', pos + 1)) {
        if (!Files().EnsurePrivateFolder(work.substr(0, pos))) {
            if (unusable)
                *unusable = work.substr(0, pos);
            return {};
        }
    }
    return work;
}

// Copies `from` into the new file `to` (never through a link or over an existing file); a
// failed copy is deleted. `writeFailed` tells a failure to create or write `to`.
bool CopyToNewFile(const std::string& from, const std::string& to, bool& writeFailed) {
    writeFailed = false;
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) {
        ::close(in);
        writeFailed = true;
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            writeFailed = !ok;
            done += w > 0 ? w : 0;
        }
        if (!ok)
            break;
    }
    ::close(in);
    if (::close(out) != 0 && ok) {
        ok = false;
        writeFailed = true;
    }
    if (!ok)
        ::unlink(to.c_str());
    return ok;
}

// A name this manager's working copies have: a GUID, or the temporary file an extraction writes
// before renaming it (AtomicFile: "." + GUID + ".XXXXXXXX.tmp").
bool IsWorkingCopyName(const std::string& name) {
    constexpr std::size_t kGuid = 38;
    if (name.size() == 1 + kGuid + 13 && name[0] == '.' && name.compare(name.size() - 4, 4, ".tmp") == 0)
        return IsGuidString(name.substr(1, kGuid));
    return IsGuidString(name);
}

// Locks `folder` shared for a manager's copies. When no other manager holds it, the copies of
// runs that were killed (regular files of ours with the copies' names) are removed first.
int LockWorkingFolder(const std::string& folder) {
    const std::string path = folder.substr(0, folder.find_last_not_of('/') + 1);
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        if (DIR* dir = ::opendir(folder.c_str())) {
            std::vector<std::string> stale;
            while (const dirent* e = ::readdir(dir))
                if (IsWorkingCopyName(e->d_name))
                    stale.push_back(folder + e->d_name);
            ::closedir(dir);
            for (const std::string& file : stale) {
                struct stat st {};
                if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
                    ::unlink(file.c_str());
            }
        }
    }
    ::flock(fd, LOCK_SH); // waits only while another manager sweeps
    return fd;
}

} // namespace

std::string UnusableWorkingFolder(const std::string& folder) {
    if (FindReadable(folder, "setup.inf").empty())
        return {};
    std::string unusable;
    MakeWorkingFolder(&unusable);
    return unusable;
}

CKldoInifileManager::~CKldoInifileManager() {
    Reset();
}

void CKldoInifileManager::Reset() {
    for (const std::string* copy : {&mainCopy_, &setupIniCopy_})
        if (!copy->empty())
            ::unlink(copy->c_str()); // a missing copy is no error
    source_.clear();
    mainInUse_.clear();
    setupIniInUse_.clear();
    workFolder_.clear();
    if (folderLock_ >= 0)
        ::close(folderLock_);
    folderLock_ = -1;
    mainCopy_.clear();
    setupIniCopy_.clear();
    writeFailed_ = false;
}

bool CKldoInifileManager::Prepare(const std::string& folder) {
    Reset();
    source_ = folder;
    if (folder.empty())
        return false;
    bool ok = false;
    if (const std::string setupInf = FindReadable(folder, "setup.inf"); !setupInf.empty()) {
        ok = PrepareFromSetupInf(setupInf);
    } else {
        mainInUse_ = FindReadable(folder, "RAVIRI.INF");
        ok = !mainInUse_.empty();
        setupIniInUse_ = FindReadable(folder, "SETUP.INI");
    }
    if (!ok) {
        const bool writeFailed = writeFailed_;
        Reset();
        writeFailed_ = writeFailed;
    }
    return ok;
}

bool CKldoInifileManager::PrepareFromSetupInf(const std::string& setupInf) {
    workFolder_ = MakeWorkingFolder();
    if (workFolder_.empty())
        return false;
    folderLock_ = LockWorkingFolder(workFolder_);
    // The distribution's setup.inf is the plain compound file; the copy keeps the medium free
    // and the file stable while it is read.
    const std::string copy = workFolder_ + NewGuidString();
    if (!CopyToNewFile(setupInf, copy, writeFailed_))
        return false;
    bool ok = false;
    CStorage storage(copy);
    if (storage.Open(true) == CStorage::kOpened) {
        mainCopy_ = workFolder_ + NewGuidString();
        storage.ExtractStream("RAVIRI.INF", mainCopy_, true);
        writeFailed_ = storage.WriteFailed();
        if (CanOpen(mainCopy_, false)) {
            mainInUse_ = mainCopy_;
            ok = true;
            setupIniCopy_ = workFolder_ + NewGuidString();
            storage.ExtractStream("SETUP.INI", setupIniCopy_, true);
            // A stream that is there but could not be written is a disk fault, not a missing file.
            writeFailed_ = storage.WriteFailed();
            ok = !writeFailed_;
            if (CanOpen(setupIniCopy_, false))
                setupIniInUse_ = setupIniCopy_;
        }
    }
    ::unlink(copy.c_str());
    return ok;
}

} // namespace quillon
