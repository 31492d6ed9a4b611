#include "CfbFixture.h"

#include "support/Storage.h"
#include "testsupport/TempDir.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::CfbFixture;
using test::ReadFile;
using test::TempDir;

std::string AsText(const std::vector<std::uint8_t>& v) {
    return std::string(v.begin(), v.end());
}

class StorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        fixture_ = CfbFixture::Make(
            {{"RAVIRI.INF", Bytes(9000, 1)}, {"Setup.ini", Bytes(700, 2)}, {"Empty", {}}});
        path_ = dir_.Write("setup.inf", AsText(fixture_.bytes));
    }
    // Names in the folder, to see that no temporary file stayed behind.
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_.Path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    TempDir dir_;
    CfbFixture fixture_;
    std::string path_;
};

TEST_F(StorageTest, OpenAnswersTheResultCodes) {
    EXPECT_EQ(CStorage(path_).Open(true), CStorage::kOpened);
    EXPECT_EQ(CStorage(path_).Open(false), CStorage::kOpened);
    EXPECT_EQ(CStorage(dir_ / "nothing.inf").Open(true), CStorage::kMissing);
    EXPECT_EQ(CStorage(dir_.Write("plain.inf", "[Section]\nKey=1\n")).Open(true),
              CStorage::kNotCompound);
    EXPECT_EQ(CStorage(dir_.Write("short.inf", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)))
                  .Open(true),
              CStorage::kNotCompound);
    fs::create_directory(dir_ / "folder.inf");
    EXPECT_EQ(CStorage(dir_ / "folder.inf").Open(true), CStorage::kNotCompound);
    CfbFixture broken = fixture_;
    broken.SetU16(0x1E, 64); // sector shift 64
    CStorage storage(dir_.Write("broken.inf", AsText(broken.bytes)));
    EXPECT_EQ(storage.Open(true), CStorage::kCannotOpen);
    EXPECT_NE(storage.LastError().find("sector shift 64"), std::string::npos)
        << storage.LastError();
}

TEST_F(StorageTest, ReadersShareButAWriterExcludes) {
    const int fd = ::open(path_.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);
    EXPECT_EQ(CStorage(path_).Open(true), CStorage::kOpened);
    EXPECT_EQ(CStorage(path_).Open(false), CStorage::kCannotOpen);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_EQ(CStorage(path_).Open(true), CStorage::kCannotOpen);
    ::close(fd);
}

TEST_F(StorageTest, ExtractsByNameIgnoringCase) {
    CStorage storage(path_);
    ASSERT_EQ(storage.Open(true), CStorage::kOpened);
    EXPECT_TRUE(storage.ExtractStream("raviri.inf", dir_ / "r", true));
    EXPECT_EQ(ReadFile(dir_ / "r"), AsText(Bytes(9000, 1)));
    EXPECT_TRUE(storage.ExtractStream("SETUP.INI", dir_ / "s", true));
    EXPECT_EQ(ReadFile(dir_ / "s"), AsText(Bytes(700, 2)));
    // A stream of size 0 gives an empty file.
    EXPECT_TRUE(storage.ExtractStream("empty", dir_ / "e", true));
    EXPECT_TRUE(fs::is_regular_file(dir_ / "e"));
    EXPECT_EQ(fs::file_size(dir_ / "e"), 0u);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"e", "r", "s", "setup.inf"}));
}

TEST_F(StorageTest, RefusedNamesLeaveTheDestinationAlone) {
    CStorage storage(path_);
    ASSERT_EQ(storage.Open(true), CStorage::kOpened);
    const std::string dest = dir_.Write("dest", "before");
    for (const char* name :
         {"RAVIRI.INF:", "RAVIRI\\INF", "a|b", "a/b", "?", "\"x\"", "<x", "x>", "*", ""})
        EXPECT_FALSE(storage.ExtractStream(name, dest, true)) << name;
    EXPECT_FALSE(storage.ExtractStream("MISSING", dest, true));
    EXPECT_EQ(ReadFile(dest), "before");
    // Without the replace flag an existing destination stays.
    EXPECT_FALSE(storage.ExtractStream("RAVIRI.INF", dest, false));
    EXPECT_EQ(ReadFile(dest), "before");
    // With it, the destination is replaced.
    EXPECT_TRUE(storage.ExtractStream("RAVIRI.INF", dest, true));
    EXPECT_EQ(ReadFile(dest), AsText(Bytes(9000, 1)));
    // Without it and no destination, the copy is made.
    EXPECT_TRUE(storage.ExtractStream("RAVIRI.INF", dir_ / "fresh", false));
    EXPECT_EQ(Listing(), (std::vector<std::string>{"dest", "fresh", "setup.inf"}));
}

TEST_F(StorageTest, NothingIsDoneBeforeOpenOrAfterTheFileWent) {
    CStorage storage(path_);
    EXPECT_FALSE(storage.ExtractStream("RAVIRI.INF", dir_ / "r", true));
    ASSERT_EQ(storage.Open(true), CStorage::kOpened);
    fs::remove(path_);
    EXPECT_FALSE(storage.ExtractStream("RAVIRI.INF", dir_ / "r", true));
    EXPECT_FALSE(fs::exists(dir_ / "r"));
}

TEST_F(StorageTest, AnIncompleteCopyLeavesNoFile) {
    CStorage storage(path_);
    ASSERT_EQ(storage.Open(true), CStorage::kOpened);
    const std::string dest = dir_.Write("dest", "before");
    // The compound file shrinks after it was opened: the stream's tail cannot be read.
    fs::resize_file(path_, fixture_.bytes.size() - 3000);
    EXPECT_FALSE(storage.ExtractStream("RAVIRI.INF", dest, true));
    EXPECT_FALSE(storage.LastError().empty());
    EXPECT_EQ(ReadFile(dest), "before");
    EXPECT_FALSE(storage.ExtractStream("RAVIRI.INF", dir_ / "new", true));
    EXPECT_EQ(Listing(), (std::vector<std::string>{"dest", "setup.inf"}));
}

TEST_F(StorageTest, ADestinationLinkIsReplacedNotFollowed) {
    CStorage storage(path_);
    ASSERT_EQ(storage.Open(true), CStorage::kOpened);
    const std::string target = dir_.Write("target", "precious");
    fs::create_symlink(target, dir_ / "link");
    EXPECT_FALSE(storage.ExtractStream("SETUP.INI", dir_ / "link", false));
    EXPECT_TRUE(storage.ExtractStream("SETUP.INI", dir_ / "link", true));
    EXPECT_EQ(ReadFile(target), "precious");
    EXPECT_FALSE(fs::is_symlink(dir_ / "link"));
    EXPECT_EQ(ReadFile(dir_ / "link"), AsText(Bytes(700, 2)));
}

} // namespace
} // namespace quillon
