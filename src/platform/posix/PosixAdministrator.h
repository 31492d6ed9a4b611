#pragma once
// The administrator test on Linux: may this user change the machine-wide installation? Yes for
// the effective uid 0; otherwise only with write access to the registry hive (the file and the
// folder its atomic rewrite renames in) and to each of the product's data folders.
#include <string>
#include <vector>

namespace quillon::posix {

// Whether `path` could be written by this process: an existing path is checked with its
// effective access; a missing one by the nearest existing folder above it, where it would be
// created. An empty path answers false.
bool CanWrite(const std::string& path);

// The decision for a given effective uid, hive file and data folders.
bool HasAdministratorRights(unsigned effectiveUid, const std::string& hivePath,
                            const std::vector<std::string>& dataFolders);
// The first of them this process may not write (the hive, its folder, a data folder), to name
// in a refusal; empty when every one may be written.
std::string FirstUnwritable(unsigned effectiveUid, const std::string& hivePath,
                            const std::vector<std::string>& dataFolders);

// The product's data folders named in the hive: the directions' folder
// (SOFTWARE\Velmar Soft\Zozedi9\Directions "Path") and the shared folder
// (SOFTWARE\Velmar Soft\KLDO9\Folders "SharedRoot"); values not set are left out.
std::vector<std::string> ProductDataFolders();

// IsUserAdministrator for this process: geteuid(), the hive in use, ProductDataFolders().
bool IsUserAdministrator();
// FirstUnwritable for this process.
std::string MissingAdministratorRight();

} // namespace quillon::posix
