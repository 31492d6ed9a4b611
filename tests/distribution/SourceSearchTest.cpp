#include "distribution/SourceSearch.h"
#include "testsupport/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::TempDir;

// A machine with two optical media ("drives D and F") among other file systems.
const char* kMounts = "sysfs /sys sysfs rw,nosuid 0 0\n"
                      "/dev/sda1 / ext4 rw,relatime 0 0\n"
                      "/dev/sr0 /media/cdrom0 iso9660 ro,nosuid 0 0\n"
                      "tmpfs /run tmpfs rw 0 0\n"
                      "/dev/sr1 /media/user/KALDO\\040DICTS udf ro 0 0\n"
                      "/dev/loop0 /mnt/iso9660-not-a-type ext4 rw 0 0\n";

TEST(MountTable, ParsesFieldsAndDecodesEscapes) {
    const MountTable t = MountTable::Parse(
        std::string(kMounts) + "broken-line\n\n  \t \n/dev/x /a\\011b\\012c\\134d\\0 vfat rw");
    ASSERT_EQ(t.Entries().size(), 7u);
    EXPECT_EQ(t.Entries()[4].mountPoint, "/media/user/KALDO DICTS");
    EXPECT_EQ(t.Entries()[4].type, "udf");
    EXPECT_EQ(t.Entries()[6].mountPoint, "/a\tb\nc\\d\\0"); // an incomplete escape stays as it is
    EXPECT_EQ(DecodeMountField("\\377\\400x"), "\xFF\\400x");
    EXPECT_EQ(t.OpticalRoots(),
              (std::vector<std::string>{"/media/cdrom0/", "/media/user/KALDO DICTS/"}));
    // A mount point listed twice counts once; the root of the tree keeps its single '/'.
    const MountTable twice = MountTable::Parse(
        "/dev/sr0 /cd iso9660 ro 0 0\n/dev/sr0 / iso9660 ro 0 0\n/dev/sr1 /cd udf ro 0 0\n");
    EXPECT_EQ(twice.OpticalRoots(), (std::vector<std::string>{"/cd/", "/"}));
}

TEST(NextCdDrive, WalksTheOpticalMountsInTableOrder) {
    const MountTable t = MountTable::Parse(kMounts);
    std::string drive;
    ASSERT_TRUE(NextCdDrive(drive, t));
    EXPECT_EQ(drive, "/media/cdrom0/");
    // The driver appends DICTS/ and tries; what follows the root does not matter.
    drive += "DICTS/";
    ASSERT_TRUE(NextCdDrive(drive, t));
    EXPECT_EQ(drive, "/media/user/KALDO DICTS/");
    EXPECT_FALSE(NextCdDrive(drive, t));
    EXPECT_EQ(drive, "/media/user/KALDO DICTS/");
    // A text that starts at no optical mount ends the walk at once.
    std::string gone = "/media/cdrom9/";
    EXPECT_FALSE(NextCdDrive(gone, t));
    EXPECT_EQ(gone, "/media/cdrom9/");
    // No optical media at all.
    std::string none;
    EXPECT_FALSE(NextCdDrive(none, MountTable::Parse("/dev/sda1 / ext4 rw 0 0\n")));
    EXPECT_TRUE(none.empty());
}

TEST(NextCdDrive, NestedMountsContinueFromTheLongestRoot) {
    const MountTable t =
        MountTable::Parse("/dev/sr0 /cd iso9660 ro 0 0\n/dev/sr1 /cd/inner udf ro 0 0\n"
                          "/dev/sr2 /cd2 iso9660 ro 0 0\n");
    std::string drive = "/cd/inner/DICTS/";
    ASSERT_TRUE(NextCdDrive(drive, t));
    EXPECT_EQ(drive, "/cd2/"); // "/cd2/" is not below "/cd/"
    drive = "/cd/DICTS/";
    ASSERT_TRUE(NextCdDrive(drive, t));
    EXPECT_EQ(drive, "/cd/inner/");
    std::string path = "/cd/inner/DICTS/";
    CutToDriveRoot(path, t);
    EXPECT_EQ(path, "/cd/inner/");
    path = "/elsewhere/DICTS/";
    CutToDriveRoot(path, t);
    EXPECT_EQ(path, "/elsewhere/DICTS/");
}

TEST(NextCdDrive, ReadsTheProcessTableFromItsPath) {
    TempDir dir;
    const std::string file = dir.Write("mounts", kMounts);
    {
        ScopedMountTablePath scoped(file);
        std::string drive;
        ASSERT_TRUE(NextCdDrive(drive));
        EXPECT_EQ(drive, "/media/cdrom0/");
        drive += "DICTS/";
        CutToDriveRoot(drive);
        EXPECT_EQ(drive, "/media/cdrom0/");
    }
    EXPECT_EQ(MountTablePath(), "/proc/self/mounts");
    ScopedMountTablePath missing(dir / "no-such-file");
    std::string drive;
    EXPECT_FALSE(NextCdDrive(drive));
}

TEST(DictsFolder, IsSpelledAsOnDiskAndTheExactSpellingWins) {
    TempDir lower, mixed, both, none;
    std::filesystem::create_directory(lower / "dicts");
    std::filesystem::create_directory(mixed / "Dicts");
    std::filesystem::create_directory(both / "dicts");
    std::filesystem::create_directory(both / "DICTS");
    EXPECT_EQ(DictsFolder(lower.Path()), lower / "dicts/");
    EXPECT_EQ(DictsFolder(mixed.Path() + "/"), mixed / "Dicts/");
    EXPECT_EQ(DictsFolder(both.Path()), both / "DICTS/");
    EXPECT_EQ(DictsFolder(none.Path()), none / "DICTS/");
}

TEST(GetInstallerFolder, IsTheProgramsFolderWithASlash) {
    TempDir dir;
    std::filesystem::create_symlink("/opt/Dist/quillon", dir / "exe");
    EXPECT_EQ(GetInstallerFolder(dir / "exe"), "/opt/Dist/");
    std::filesystem::create_symlink("/opt/Dist With Blanks/quillon (deleted)", dir / "deleted");
    EXPECT_EQ(GetInstallerFolder(dir / "deleted"), "/opt/Dist With Blanks/");
    EXPECT_EQ(GetInstallerFolder(dir / "missing"), "");
    const std::string own = GetInstallerFolder();
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(own.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(own + "distribution_tests"));
}

} // namespace
} // namespace quillon
