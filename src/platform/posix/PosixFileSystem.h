#pragma once
#include "platform/FileSystemPort.h"

namespace quillon::posix {

class PosixFileSystem : public FileSystemPort {
public:
    std::string HomeFolder() override;    // $HOME, else the password database
    std::string TempFolder() override;    // $TMPDIR, else /tmp
    bool EnsurePrivateFolder(const std::string& path) override;
};

} // namespace quillon::posix
