#include "platform/Ports.h"
#include "platform/posix/PosixFileSystem.h"
#include "product/DistributionFolder.h"
#include "product/Paths.h"
#include "product/RunFolder.h"
#include "product/WorkFolders.h"
#include "testsupport/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quillon {
namespace {

using test::TempDir;

// Sets an environment variable for the scope of a test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

mode_t Mode(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(Folders, UserWorkFolderIsCreatedLevelByLevelAsPrivateFolders) {
    TempDir dir;
    ScopedEnv cache("XDG_CACHE_HOME", dir / "cache");
    const std::string work = GetUserWorkFolder();
    EXPECT_EQ(work, dir / "cache/Velmar Soft/KLDO/9.0/");
    EXPECT_TRUE(fs::is_directory(work));
    EXPECT_EQ(Mode(dir / "cache/Velmar Soft"), 0700u);
    EXPECT_EQ(Mode(work), 0700u);
    EXPECT_EQ(GetUserWorkFolder(), work); // existing levels count as created
}

TEST(Folders, APlantedLinkInTheWorkFolderPathGivesAPrivateRunFolderInTemp) {
    TempDir dir;
    ScopedEnv cache("XDG_CACHE_HOME", dir / "cache");
    fs::create_directories(dir / "cache/Velmar Soft/KLDO");
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "cache/Velmar Soft/KLDO/9.0");
    ScopedEnv tmp("TMPDIR", dir / "tmp");
    fs::create_directories(dir / "tmp");
    EXPECT_EQ(GetUserWorkFolder(), "");
    std::string error;
    {
        auto run = OpenRunFolder(error);
        ASSERT_TRUE(run) << error;
        const std::string prefix = dir / ("tmp/quillon-" + std::to_string(::geteuid()) + "-");
        EXPECT_EQ(run->Path().rfind(prefix, 0), 0u) << run->Path();
        EXPECT_EQ(run->Path().size(), prefix.size() + 7);
        EXPECT_EQ(Mode(run->Path()), 0700u);
        // Nothing but the run folder lands in the temporary folder's root.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir / "tmp"), fs::directory_iterator()), 1);
    }
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));

    ScopedEnv noTemp("TMPDIR", dir / "no-such-folder");
    EXPECT_FALSE(OpenRunFolder(error));
    EXPECT_NE(error.find("no private work folder"), std::string::npos) << error;
}

TEST(Folders, AWorkFolderOthersMayWriteIsTightenedWhenOursElseRefused) {
    TempDir dir;
    ScopedEnv cache("XDG_CACHE_HOME", dir / "cache");
    const std::string work = GetUserWorkFolder();
    ASSERT_FALSE(work.empty());
    ::chmod(work.c_str(), 0777);
    EXPECT_EQ(GetUserWorkFolder(), work);
    EXPECT_EQ(Mode(work), 0700u);
    if (::geteuid() != 0)
        GTEST_SKIP() << "a folder of another user needs root to make";
    ::chmod(work.c_str(), 0777);
    ASSERT_EQ(::chown(work.c_str(), 65534, 65534), 0);
    EXPECT_EQ(GetUserWorkFolder(), "");
    EXPECT_EQ(Mode(work), 0777u); // not ours: left as it is
}

TEST(RunFolders, ASweepRemovesOnlyFoldersNoLivingRunHolds) {
    TempDir dir;
    const std::string base = dir.Path() + "/";
    std::string error;
    auto living = RunFolder::Create(base, "run-", error);
    ASSERT_TRUE(living) << error;
    dir.Write(living->Path().substr(base.size()) + "er_tech.dct", "being unpacked");
    // What killed runs leave: folders nobody locks, with a half-unpacked file or emptied.
    dir.Write("run-dead01/er_tech.dct", "half");
    fs::create_directory(dir / "run-dead02");
    dir.Write("other/keep", "not a run folder");
    fs::create_directory_symlink(dir / "other", dir / "run-link01");
    EXPECT_EQ(RemoveStaleRunFolders(base, "run-"), 2);
    EXPECT_FALSE(fs::exists(dir / "run-dead01"));
    EXPECT_FALSE(fs::exists(dir / "run-dead02"));
    EXPECT_TRUE(fs::exists(living->Path() + "er_tech.dct"));
    EXPECT_TRUE(fs::is_symlink(dir / "run-link01"));
    EXPECT_TRUE(fs::exists(dir / "other/keep"));
    const std::string path = living->Path();
    living.reset();
    EXPECT_FALSE(fs::exists(path));
}

TEST(RunFolders, OnlyTheInstallersOwnFileIsClearedFromANewFilesName) {
    TempDir dir;
    std::string error;
    EXPECT_TRUE(ClearOwnFile(dir / "missing", error));
    const std::string own = dir.Write("own.dct", "left by an earlier try");
    EXPECT_TRUE(ClearOwnFile(own, error)) << error;
    EXPECT_FALSE(fs::exists(own));

    const std::string target = dir.Write("target", "precious");
    fs::create_hard_link(target, dir / "hard.dct");
    EXPECT_FALSE(ClearOwnFile(dir / "hard.dct", error));
    EXPECT_NE(error.find("other hard links"), std::string::npos) << error;
    fs::create_symlink(target, dir / "soft.dct");
    EXPECT_FALSE(ClearOwnFile(dir / "soft.dct", error));
    EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
    EXPECT_TRUE(fs::exists(dir / "hard.dct") && fs::is_symlink(dir / "soft.dct"));
}

TEST(Folders, ProductTempFolderCreatesNothing) {
    TempDir dir;
    ScopedEnv tmp("TMPDIR", dir.Path());
    EXPECT_EQ(GetProductTempFolder(), dir / "KALDO/12.0/");
    EXPECT_EQ(GetProductTempFolder("MORVELX/"), dir / "KALDO/12.0/MORVELX/");
    EXPECT_FALSE(fs::exists(dir / "KALDO"));
}

TEST(Folders, DirectoryTreeWithOrWithoutTrailingSeparator) {
    TempDir dir;
    CreateDirectoryTree(dir / "a/b/c/");
    EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
    CreateDirectoryTree(dir / "x/y");
    EXPECT_TRUE(fs::is_directory(dir / "x/y"));
    EXPECT_EQ(Mode(dir / "x/y"), 0700u);
    CreateDirectoryTree(dir / "a/b/c"); // existing: ignored
    EXPECT_TRUE(CreateOneFolder(dir / "a"));
    EXPECT_FALSE(CreateOneFolder(dir / "missing/parent"));
    dir.Write("file", "x");
    EXPECT_FALSE(CreateOneFolder(dir / "file"));
}

TEST(Paths, AppendBackslash) {
    std::string p;
    AppendBackslash(p);
    EXPECT_EQ(p, "");
    p = "/dist";
    AppendBackslash(p);
    EXPECT_EQ(p, "/dist/");
    AppendBackslash(p);
    EXPECT_EQ(p, "/dist/");
    p = "D:\\DICTS\\";
    AppendBackslash(p);
    EXPECT_EQ(p, "D:\\DICTS\\");
    p = "/dist";
    AppendPath(p, "SETUP.INI");
    EXPECT_EQ(p, "/dist/SETUP.INI");
}

TEST(Paths, ExistenceTests) {
    TempDir dir;
    const std::string file = dir.Write("f.txt", "x");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(dir.Path()));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(dir / "missing"));
    EXPECT_TRUE(PathExists(dir.Path() + "/"));
    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists("/"));
    EXPECT_FALSE(PathExists(dir / "missing/"));
}

TEST(Paths, Al2CompanionOfADictionaryFile) {
    TempDir dir;
    dir.Write("my.dict.er", "d");
    dir.Write("my_dict_er.al2", "companion");
    dir.Write("other_er.al2", "not mine");
    DeleteAl2Companion(dir / "my.dict.er");
    EXPECT_FALSE(fs::exists(dir / "my_dict_er.al2"));
    EXPECT_TRUE(fs::exists(dir / "my.dict.er"));
    EXPECT_TRUE(fs::exists(dir / "other_er.al2"));
    DeleteAl2Companion(dir / "my.dict.er"); // none left: nothing happens
}

TEST(Paths, ResolveBelowFindsTheSpellingOnDiskAndRefusesEscapes) {
    TempDir dir;
    dir.Write("Dicts/Business/FIN.ER", "x");
    EXPECT_EQ(ResolveBelow(dir.Path(), "DICTS\\business\\fin.er"), dir / "Dicts/Business/FIN.ER");
    EXPECT_EQ(ResolveBelow(dir.Path() + "/", "Dicts/Business/FIN.ER"), dir / "Dicts/Business/FIN.ER");
    EXPECT_EQ(ResolveBelow(dir.Path(), ".\\Dicts\\\\Business\\FIN.ER"), dir / "Dicts/Business/FIN.ER");
    // Missing files keep the spelling given, below the root.
    EXPECT_EQ(ResolveBelow(dir.Path(), "dicts\\Missing\\A.ER"), dir / "Dicts/Missing/A.ER");
    for (std::string_view bad : {"..\\secret", "Dicts/../../x", "/etc/passwd", "\\share\\x", "C:\\x", "c:x", ""})
        EXPECT_FALSE(ResolveBelow(dir.Path(), bad).has_value()) << bad;
    EXPECT_FALSE(ResolveBelow(dir.Path(), std::string_view("a\0b", 3)).has_value());
}

// A link planted in a distribution: what it leads to outside the folder counts as missing, a
// loop does too (and ends), and links that stay inside keep working through their own names.
TEST(Paths, ResolveBelowFollowsNoLinkBelowTheDistribution) {
    TempDir outside, dir;
    outside.Write("secret.tmb", "not for the product");
    dir.Write("Dicts/FIN.ER", "x");
    fs::create_directory_symlink("/etc", dir / "etc");
    fs::create_symlink(outside / "secret.tmb", dir / "Dicts/base.tmb");
    fs::create_symlink(dir / "Dicts/../../" + fs::path(outside.Path()).filename().string(),
                       dir / "up");
    fs::create_symlink(dir / "loop2", dir / "loop1");
    fs::create_symlink(dir / "loop1", dir / "loop2");
    fs::create_symlink("/nonexistent/place", dir / "dangling");
    for (std::string_view bad :
         {"etc\\passwd", "ETC/passwd", "etc", "Dicts\\base.tmb", "up/secret.tmb", "loop1",
          "loop1\\x.er", "dangling", "etc/missing/x"})
        EXPECT_FALSE(ResolveBelow(dir.Path(), bad).has_value()) << bad;

    // Not even links that stay inside: a link can be swapped for another between a check and
    // an open, so none is followed.
    fs::create_directory_symlink(dir / "Dicts", dir / "Linked");
    fs::create_symlink("FIN.ER", dir / "Dicts/same.er");
    EXPECT_FALSE(ResolveBelow(dir.Path(), "linked\\fin.er").has_value());
    EXPECT_FALSE(ResolveBelow(dir.Path(), "Dicts\\same.er").has_value());
    EXPECT_EQ(ResolveBelow(dir.Path(), "dicts\\fin.er"), dir / "Dicts/FIN.ER");
    // The distribution folder itself may be reached through a link.
    TempDir elsewhere;
    fs::create_directory_symlink(dir.Path(), elsewhere / "dist");
    EXPECT_EQ(ResolveBelow(elsewhere / "dist", "Dicts/FIN.ER"), elsewhere / "dist/Dicts/FIN.ER");
    EXPECT_FALSE(ResolveBelow(elsewhere / "dist", "etc/passwd").has_value());
}

// Thousands of names that differ in case from the disk's cost one listing per folder, not one
// per lookup; the files open as the folder's own, read from the descriptor.
TEST(DistributionFolder, OneListingPerFolderWhateverTheLookups) {
    TempDir dir;
    for (int i = 0; i < 300; ++i)
        dir.Write("DICT/FILE" + std::to_string(i) + ".DCT", std::to_string(i));
    dir.Write("TM/BASE.TMB", "tm");
    DistributionFolder distribution(dir.Path());
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 300; ++i) {
            const std::string relative = "dict\\file" + std::to_string(i) + ".dct";
            ASSERT_EQ(distribution.Resolve(relative), dir / ("DICT/FILE" + std::to_string(i) + ".DCT"));
            std::string path;
            const FileDescriptor fd = distribution.Open(relative, &path);
            ASSERT_TRUE(fd) << relative;
            char text[8] = {};
            EXPECT_EQ(::read(fd.Get(), text, sizeof text - 1), static_cast<ssize_t>(std::to_string(i).size()));
            EXPECT_EQ(text, std::to_string(i));
        }
    EXPECT_EQ(distribution.Resolve("tm/missing.tmb"), dir / "TM/missing.tmb");
    // The distribution folder, DICT and TM: one listing each.
    EXPECT_EQ(distribution.Listings(), 3);
}

// What is not a regular file of the distribution does not open: a FIFO (without waiting for a
// writer), a folder, a link, a path that climbs out.
TEST(DistributionFolder, OpensOnlyRegularFilesBelowItsFolder) {
    TempDir dir;
    dir.Write("DICT/REAL.DCT", "x");
    ASSERT_EQ(::mkfifo((dir / "DICT/FIFO.DCT").c_str(), 0644), 0);
    std::filesystem::create_symlink(dir / "DICT/REAL.DCT", dir / "DICT/LINK.DCT");
    DistributionFolder distribution(dir.Path());
    EXPECT_TRUE(distribution.Open("DICT/REAL.DCT"));
    const struct {
        const char* relative;
        int error;
    } refused[] = {{"DICT/FIFO.DCT", ENODEV}, {"DICT", EISDIR}, {"DICT/LINK.DCT", ELOOP},
                   {"../x", EINVAL},          {"DICT/NONE.DCT", ENOENT}};
    for (const auto& r : refused) {
        errno = 0;
        EXPECT_FALSE(distribution.Open(r.relative)) << r.relative;
        EXPECT_EQ(errno, r.error) << r.relative;
    }
}

TEST(Paths, SafeFileNames) {
    for (std::string_view ok : {"FIN.ER", "словарь.ER", ".hidden", "a..b"})
        EXPECT_TRUE(IsSafeFileName(ok)) << ok;
    for (std::string_view bad : std::initializer_list<std::string_view>{"", ".", "..", "a/b", "a\\b", "C:x", std::string_view("a\0", 2)})
        EXPECT_FALSE(IsSafeFileName(bad)) << bad;
}

} // namespace
} // namespace quillon
