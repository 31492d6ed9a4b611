#pragma once
// The folders the installer keeps its temporary and working files in.
#include <string>

namespace quillon {

// The per-user work folder: $XDG_CACHE_HOME (else ~/.cache) + "Velmar Soft/KLDO/9.0/", its levels
// created one by one as folders private to this user (FileSystemPort::EnsurePrivateFolder).
// Empty when that cannot be had: the installer then keeps its files in a private folder of its
// own in the system temporary folder (OpenRunFolder), never in the shared folder itself. Ends in
// '/'.
std::string GetUserWorkFolder();

// The system temporary folder + "KALDO/12.0/" + `name`. Nothing is created. Empty when there is
// no temporary folder.
std::string GetProductTempFolder(const std::string& name = {});

// Creates every missing folder along `path` (a trailing separator is ignored); new folders get
// mode 0700. Errors, an existing folder included, are ignored.
void CreateDirectoryTree(const std::string& path);

// True when `path` is a folder afterwards: created now (mode 0700) or existing already.
bool CreateOneFolder(const std::string& path);

} // namespace quillon
