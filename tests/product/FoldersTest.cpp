#include "platform/Ports.h"
#include "platform/posix/PosixFileSystem.h"
#include "product/Paths.h"
#include "product/WorkFolders.h"
#include "testsupport/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST(Folders, UserWorkFolderRefusesAPlantedLinkAndFallsBackToTemp) {
    TempDir dir;
    ScopedEnv cache("XDG_CACHE_HOME", dir / "cache");
    fs::create_directories(dir / "cache/Velmar Soft");
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "cache/Velmar Soft/KLDO");
    ScopedEnv tmp("TMPDIR", dir / "tmp");
    fs::create_directories(dir / "tmp");
    EXPECT_EQ(GetUserWorkFolder(), dir / "tmp/");
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
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
TEST(Paths, ResolveBelowRefusesLinksThatLeadOutside) {
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

    fs::create_directory_symlink(dir / "Dicts", dir / "Linked");
    fs::create_symlink("FIN.ER", dir / "Dicts/same.er");
    EXPECT_EQ(ResolveBelow(dir.Path(), "linked\\fin.er"), dir / "Linked/FIN.ER");
    EXPECT_EQ(ResolveBelow(dir.Path(), "Dicts\\same.er"), dir / "Dicts/same.er");
    // The distribution folder itself may be reached through a link.
    TempDir elsewhere;
    fs::create_directory_symlink(dir.Path(), elsewhere / "dist");
    EXPECT_EQ(ResolveBelow(elsewhere / "dist", "Linked/FIN.ER"), elsewhere / "dist/Linked/FIN.ER");
    EXPECT_FALSE(ResolveBelow(elsewhere / "dist", "etc/passwd").has_value());
}

TEST(Paths, SafeFileNames) {
    for (std::string_view ok : {"FIN.ER", "словарь.ER", ".hidden", "a..b"})
        EXPECT_TRUE(IsSafeFileName(ok)) << ok;
    for (std::string_view bad : std::initializer_list<std::string_view>{"", ".", "..", "a/b", "a\\b", "C:x", std::string_view("a\0", 2)})
        EXPECT_FALSE(IsSafeFileName(bad)) << bad;
}

} // namespace
} // namespace quillon
