#pragma once
// The two operations the distribution source search needs besides CKldoInifileManager::Prepare:
// walking the optical drives, and the installer's own folder.
//
// Drives on this platform. A CD-ROM drive is an optical medium mounted on a folder: an entry of
// type "iso9660" or "udf" in /proc/self/mounts, taken in table order. Its "drive root" is the
// mount point with a trailing '/' (for "/media/cdrom0" the root is "/media/cdrom0/"), so the
// driver's "root + DICTS/" is "/media/cdrom0/DICTS/". The drive letter's place in the text is
// taken by the whole root:
//   - an empty text starts at the first optical mount (as "A:\" starts at drive A);
//   - a text that begins with an optical root continues after that mount; when several roots
//     begin the text (nested mounts), the longest one is the current drive. Whatever follows the
//     root (such as "DICTS/") is ignored, so the driver's "cut back to the drive root"
//     (CutToDriveRoot) is not needed for the walk, only for tidiness;
//   - the next root replaces the whole text;
//   - after the last optical mount, or when the text begins with no optical root at all (the
//     medium went away meanwhile), the answer is false. Every walk therefore ends after at most
//     one call per mount.
// Unmounted drives and empty trays are not seen: only a mounted medium can hold a distribution.
#include "distribution/MountTable.h"

#include <string>

namespace quillon {

// Writes the root of the next optical mount after the one `drivePath` begins with (see above)
// into `drivePath`; false when there is none (the text is then unchanged).
bool NextCdDrive(std::string& drivePath, const MountTable& mounts);
// The same over the process's mount table (MountTablePath()).
bool NextCdDrive(std::string& drivePath);

// Cuts `path` back to the optical root it begins with (the longest); unchanged when none does.
void CutToDriveRoot(std::string& path, const MountTable& mounts);
void CutToDriveRoot(std::string& path);

// Where NextCdDrive() without a table reads the mount table: "/proc/self/mounts" unless a test
// replaced it with ScopedMountTablePath.
const std::string& MountTablePath();

class ScopedMountTablePath {
public:
    explicit ScopedMountTablePath(std::string path);
    ~ScopedMountTablePath();
    ScopedMountTablePath(const ScopedMountTablePath&) = delete;
    ScopedMountTablePath& operator=(const ScopedMountTablePath&) = delete;

private:
    std::string saved_;
};

// `folder` followed by its "DICTS" folder and '/', the name spelled as it is found on disk: a
// plain ISO 9660 disc lists it as "dicts". The exact spelling wins when several exist; "DICTS/"
// when there is none. Empty when "DICTS" is a symbolic link that leads outside `folder`.
std::string DictsFolder(const std::string& folder);

// The folder of the running installer's own file (/proc/self/exe) with a trailing '/'; empty
// when it cannot be obtained.
std::string GetInstallerFolder();
// The same for the program a link such as /proc/<pid>/exe points to.
std::string GetInstallerFolder(const std::string& exeLink);

} // namespace quillon
