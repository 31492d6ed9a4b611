#pragma once
// Port: what the installer needs of the file system beyond standard C++: the user's home and
// temporary folders, and folders private to this user. Implemented by posix::PosixFileSystem.
#include <string>

namespace quillon {

class FileSystemPort {
public:
    virtual ~FileSystemPort() = default;
    // The user's home folder, without a trailing separator; empty when unknown.
    virtual std::string HomeFolder() = 0;
    // The system temporary folder with a trailing '/'; empty when none can be determined.
    virtual std::string TempFolder() = 0;
    // Makes sure `path` is a folder the installer may keep its files in: created with mode 0700
    // when missing; an existing one counts only when it is a real folder (not a symbolic link)
    // owned by this user, and one that others may write into is first made 0700 (a folder of
    // another user is refused). `path` may end in '/'.
    virtual bool EnsurePrivateFolder(const std::string& path) = 0;
};

} // namespace quillon
