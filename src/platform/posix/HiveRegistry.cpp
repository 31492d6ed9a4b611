#include "platform/posix/HiveRegistry.h"

#include "support/ReadUpTo.h"
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::posix {
namespace {

constexpr off_t kMaxHiveSize = 64 << 20; // a hive larger than this is not ours

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string Folder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void MakeFolders(const std::string& folder) {
    for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos == folder.size() || folder[pos] == '/')
            ::mkdir(folder.substr(0, pos).c_str(), 0755);
    }
}

const char* KindOf(mode_t mode) {
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "something else";
}

// The path that symbolic links at `path` lead to, followed link by link (a link may lead to a
// hive not written yet). False, with `error` set, on a loop or a link that cannot be read.
bool ResolveLinks(const std::string& path, std::string& target, std::string& error) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true; // missing (created by the write) or not a link
        std::string next(PATH_MAX, '\0');
        const ssize_t n = ::readlink(target.c_str(), next.data(), next.size());
        if (n < 0 || static_cast<std::size_t>(n) >= next.size()) {
            error = target + ": the link cannot be read";
            return false;
        }
        next.resize(static_cast<std::size_t>(n));
        target = next.front() == '/' ? next : Folder(target) + "/" + next;
    }
    error = path + ": too many levels of symbolic links";
    return false;
}

} // namespace

HiveRegistry::HiveRegistry(std::string path) : path_(std::move(path)) {}

std::string HiveRegistry::DefaultPath() {
    const char* env = std::getenv("QUILLON_REGISTRY");
    return env && *env ? env : "/etc/velmar-soft/registry.reg";
}

std::string HiveRegistry::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

long HiveRegistry::Load(HiveDocument& doc, FileStamp& stamp) {
    stamp = {};
    // O_NONBLOCK: opening a FIFO planted at the hive's path must not wait for a writer.
    Fd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        if (errno == ENOENT) { // no hive yet: an empty registry
            doc = HiveDocument();
            return regerr::Success;
        }
        error_ = path_ + ": " + std::strerror(errno);
        return regerr::AccessDenied;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        error_ = path_ + ": " + std::strerror(errno);
        return regerr::AccessDenied;
    }
    if (!S_ISREG(st.st_mode)) {
        error_ = path_ + ": the registry hive is " + KindOf(st.st_mode) + ", not a regular file";
        return regerr::BadDb;
    }
    if (st.st_size > kMaxHiveSize) {
        error_ = path_ + ": larger than 64 MiB";
        return regerr::BadDb;
    }
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    bool failed = false;  // a short read: the parser sees what was read
    bytes.resize(ReadUpTo(fd.get(), bytes.data(), bytes.size(), failed));
    std::string why;
    auto parsed = HiveDocument::Parse(bytes, why);
    if (!parsed) {
        error_ = path_ + ": " + why;
        return regerr::BadDb;
    }
    doc = std::move(*parsed);
    stamp.exists = true;
    stamp.dev = st.st_dev;
    stamp.ino = st.st_ino;
    stamp.size = static_cast<unsigned long long>(st.st_size);
    stamp.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    error_.clear();
    return regerr::Success;
}

long HiveRegistry::Check() {
    std::lock_guard lock(mutex_);
    return Refresh();
}

long HiveRegistry::Refresh() {
    FileStamp now;
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) {
        now.exists = true;
        now.dev = st.st_dev;
        now.ino = st.st_ino;
        now.size = static_cast<unsigned long long>(st.st_size);
        now.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    }
    if (loaded_ && now == stamp_)
        return loadResult_;
    HiveDocument doc;
    FileStamp stamp;
    loadResult_ = Load(doc, stamp);
    loaded_ = true;
    stamp_ = loadResult_ == regerr::Success ? stamp : now;
    cache_ = loadResult_ == regerr::Success ? std::move(doc) : HiveDocument();
    return loadResult_;
}

long HiveRegistry::Save(const HiveDocument& doc, const std::string& target) {
    const std::string tmp = target + ".tmp";
    ::unlink(tmp.c_str()); // a leftover of a killed writer; we hold the lock
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    Fd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (fd.get() < 0) {
        error_ = tmp + ": " + std::strerror(errno);
        return regerr::AccessDenied;
    }
    if (!WriteAll(fd.get(), doc.Serialize()) || ::fsync(fd.get()) != 0) {
        error_ = tmp + ": " + std::strerror(errno);
        ::unlink(tmp.c_str());
        return regerr::AccessDenied;
    }
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        error_ = target + ": " + std::strerror(errno);
        ::unlink(tmp.c_str());
        return regerr::AccessDenied;
    }
    Fd dir(::open(Folder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return regerr::Success;
}

long HiveRegistry::Update(const std::function<long(HiveDocument&)>& change) {
    std::lock_guard lock(mutex_);
    // A hive reached through a symbolic link is written where the link leads, so the link
    // stays and every reader of its target sees the change; the lock is the target's.
    std::string target;
    if (!ResolveLinks(path_, target, error_))
        return regerr::AccessDenied;
    MakeFolders(Folder(target));
    Fd lockFd(::open((target + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (lockFd.get() < 0) {
        error_ = target + ".lock: " + std::strerror(errno);
        return regerr::AccessDenied;
    }
    while (::flock(lockFd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            error_ = target + ".lock: " + std::strerror(errno);
            return regerr::AccessDenied;
        }
    }
    HiveDocument doc;
    FileStamp stamp;
    long rc = Load(doc, stamp); // never write over a hive we could not read
    if (rc != regerr::Success)
        return rc;
    rc = change(doc);
    if (rc != regerr::Success)
        return rc;
    rc = Save(doc, target);
    loaded_ = false; // the next read picks up the new file
    return rc;
}

long HiveRegistry::OpenKey(RegistryRoot root, std::string_view path, bool create) {
    {
        std::lock_guard lock(mutex_);
        if (long rc = Refresh(); rc != regerr::Success)
            return rc;
        if (cache_.OpenKey(root, path, false) == regerr::Success || !create)
            return cache_.OpenKey(root, path, false);
    }
    return Update([&](HiveDocument& doc) { return doc.OpenKey(root, path, true); });
}

long HiveRegistry::QueryValue(RegistryRoot root, std::string_view path, std::string_view name, RegistryValue& out) {
    std::lock_guard lock(mutex_);
    if (long rc = Refresh(); rc != regerr::Success)
        return rc;
    return cache_.QueryValue(root, path, name, out);
}

long HiveRegistry::EnumSubkey(RegistryRoot root, std::string_view path, std::uint32_t index, std::string& name) {
    std::lock_guard lock(mutex_);
    if (long rc = Refresh(); rc != regerr::Success)
        return rc;
    return cache_.EnumSubkey(root, path, index, name);
}

long HiveRegistry::SetValue(RegistryRoot root, std::string_view path, std::string_view name, const RegistryValue& value) {
    return Update([&](HiveDocument& doc) { return doc.SetValue(root, path, name, value); });
}

long HiveRegistry::DeleteValue(RegistryRoot root, std::string_view path, std::string_view name) {
    return Update([&](HiveDocument& doc) { return doc.DeleteValue(root, path, name); });
}

long HiveRegistry::DeleteKey(RegistryRoot root, std::string_view path) {
    return Update([&](HiveDocument& doc) { return doc.DeleteKey(root, path); });
}

} // namespace quillon::posix
