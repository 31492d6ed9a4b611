#include "distribution/KldoInifileManager.h"

#include "platform/Ports.h"
#include "product/DistributionFolder.h"
#include "product/Paths.h"
#include "product/RunFolder.h"
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

// True when the working copy `path` is a regular file that can be opened for reading (never
// through a link, never waiting on a FIFO).
bool CanOpen(const std::string& path) {
    if (path.empty())
        return false;
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat st {};
    return fd && ::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode);
}

// The file `name` in `folder`, letter case ignored, opened as a regular file below it with no
// link followed (`path` receives its full path); an empty descriptor with errno otherwise.
FileDescriptor OpenDescription(const std::string& folder, const char* name, std::string* path = nullptr) {
    if (folder.empty()) {
        errno = ENOENT;
        return {};
    }
    return DistributionFolder(folder).Open(name, path);
}

// Whether the system, not the folder, stopped the open: out of descriptors or memory.
bool IsSystemFailure(int error) {
    return error == EMFILE || error == ENFILE || error == ENOMEM;
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
    if (!OpenDescription(folder, "setup.inf"))
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
    systemError_ = 0;
}

bool CKldoInifileManager::Prepare(const std::string& folder) {
    Reset();
    source_ = folder;
    if (folder.empty())
        return false;
    bool ok = false;
    if (const FileDescriptor setupInf = OpenDescription(folder, "setup.inf")) {
        ok = PrepareFromSetupInf(setupInf.Get());
    } else if (IsSystemFailure(errno)) {
        systemError_ = errno;
    } else if (OpenDescription(folder, "RAVIRI.INF", &mainInUse_)) {
        ok = true;
        if (!OpenDescription(folder, "SETUP.INI", &setupIniInUse_))
            setupIniInUse_.clear();
    } else {
        mainInUse_.clear();
        if (IsSystemFailure(errno))
            systemError_ = errno;
    }
    if (!ok) {
        const bool writeFailed = writeFailed_;
        const int systemError = systemError_;
        Reset();
        writeFailed_ = writeFailed;
        systemError_ = systemError;
    }
    return ok;
}

bool CKldoInifileManager::PrepareFromSetupInf(int setupInf) {
    workFolder_ = MakeWorkingFolder();
    if (workFolder_.empty())
        return false;
    folderLock_ = LockWorkingFolder(workFolder_);
    // The distribution's setup.inf is the plain compound file; the copy keeps the medium free
    // and the file stable while it is read.
    const std::string copy = workFolder_ + NewGuidString();
    if (!CopyToNewFile(setupInf, copy, &writeFailed_))
        return false;
    bool ok = false;
    CStorage storage(copy);
    if (storage.Open(true) == CStorage::kOpened) {
        mainCopy_ = workFolder_ + NewGuidString();
        storage.ExtractStream("RAVIRI.INF", mainCopy_, true, 0600);
        writeFailed_ = storage.WriteFailed();
        if (CanOpen(mainCopy_)) {
            mainInUse_ = mainCopy_;
            ok = true;
            setupIniCopy_ = workFolder_ + NewGuidString();
            storage.ExtractStream("SETUP.INI", setupIniCopy_, true, 0600);
            // A stream that is there but could not be written is a disk fault, not a missing file.
            writeFailed_ = storage.WriteFailed();
            ok = !writeFailed_;
            if (CanOpen(setupIniCopy_))
                setupIniInUse_ = setupIniCopy_;
        }
    }
    ::unlink(copy.c_str());
    return ok;
}

} // namespace quillon
