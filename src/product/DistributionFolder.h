#pragma once
// DistributionFolder: the files of one distribution, reached below the folder's real location
// without following any symbolic link on the way, and opened once. Whoever reads a distribution's
// file reads the descriptor Open answered — never a path checked before and opened again — so a
// file swapped for a link meanwhile is not followed out of the distribution.
//
// Relative paths come from description files ('\' or '/' separated). A component missing with
// the spelling given is looked up among the names of its folder without regard to letter case;
// each folder is listed at most once per DistributionFolder (the listing is kept, case-folded),
// so thousands of lookups cost one listing per folder. The exact spelling wins.
#include "support/FileDescriptor.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

class DistributionFolder {
public:
    // `root`: the distribution folder as given (links on the way to it are followed once, here).
    explicit DistributionFolder(std::string root);

    // The full path of `relative`: the root as given, then each component spelled as found on
    // disk, or as given from the first one that does not exist (so the caller can report the
    // missing file). Nothing for a path that could leave the folder — absolute, a drive prefix,
    // a ".." component, a NUL — nor for one on which a symbolic link lies.
    std::optional<std::string> Resolve(std::string_view relative);

    // Opens `relative` for reading (non-blocking: a FIFO cannot hang the open) when it is a
    // regular file reached as Resolve says; `path` (when given) receives its full path. An empty
    // descriptor otherwise, with errno: ENOENT missing, ELOOP a link on the way, EINVAL a path
    // that could leave the folder, EISDIR / ENODEV not a regular file, or the system's reason.
    FileDescriptor Open(std::string_view relative, std::string* path = nullptr);

    const std::string& Root() const { return root_; }
    // How many folder listings were read (each folder once at most).
    int Listings() const { return listings_; }

private:
    // The components of `relative`, or nothing when it could leave the folder.
    static std::optional<std::vector<std::string>> Components(std::string_view relative);
    // Opens `name` in the folder `dir` without following a link, its spelling as found on disk
    // (`spelled`); an empty descriptor with errno otherwise.
    FileDescriptor OpenIn(int dir, const std::string& name, int flags, std::string& spelled);
    // The case-folded listing of the folder `dir`.
    const std::map<std::string, std::string>& Listing(int dir);

    std::string root_;
    FileDescriptor rootFd_;
    int rootError_ = 0;
    std::map<std::pair<unsigned long, unsigned long>, std::map<std::string, std::string>> listingsByFolder_;
    int listings_ = 0;
};

} // namespace quillon
