#include "CfbFixture.h"

#include "distribution/KldoInifileManager.h"
#include "platform/Ports.h"
#include "product/WorkFolders.h"
#include "support/Guid.h"
#include "testsupport/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::CfbFixture;
using test::ReadFile;
using test::TempDir;

std::string SetupInf(std::vector<std::pair<std::string, std::string>> streams) {
    CompoundFileWriter w;
    for (const auto& [name, text] : streams)
        EXPECT_TRUE(w.AddStream(name, std::vector<std::uint8_t>(text.begin(), text.end())));
    const auto bytes = w.Build();
    return std::string(bytes.begin(), bytes.end());
}

class KldoInifileManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        work_ = GetProductTempFolder("MORVELX/");
        ASSERT_FALSE(work_.empty());
        std::error_code ec;
        fs::remove_all(work_, ec); // each test starts without working copies
    }
    // The working folder's files.
    std::vector<std::string> WorkFiles() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (fs::directory_iterator it(work_, ec), end; !ec && it != end; it.increment(ec))
            names.push_back(it->path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    TempDir dist_;
    std::string work_;
};

TEST_F(KldoInifileManagerTest, UnpacksSetupInfIntoPrivateWorkingCopies) {
    dist_.Write("setup.inf", SetupInf({{"RAVIRI.INF", "main"}, {"SETUP.INI", "setup"}}));
    dist_.Write("RAVIRI.INF", "plain file beside setup.inf");
    CKldoInifileManager m;
    ASSERT_TRUE(m.Prepare(dist_.Path()));
    EXPECT_EQ(m.GetSourceFolder(), dist_.Path());
    EXPECT_EQ(m.GetWorkingFolder(), work_);
    // Read through setup.inf only; copies named by GUIDs in MORVELX, the setup.inf copy gone.
    EXPECT_EQ(ReadFile(m.GetMainDescriptionPath()), "main");
    EXPECT_EQ(ReadFile(m.GetSetupIniPath()), "setup");
    const std::string mainName = fs::path(m.GetMainDescriptionPath()).filename().string();
    const std::string iniName = fs::path(m.GetSetupIniPath()).filename().string();
    EXPECT_TRUE(IsGuidString(mainName)) << mainName;
    EXPECT_TRUE(IsGuidString(iniName)) << iniName;
    EXPECT_EQ(m.GetMainDescriptionPath(), work_ + mainName);
    auto expected = std::vector<std::string>{mainName, iniName};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(WorkFiles(), expected);
    // The copies are the user's alone, and so is every level of the working folder.
    for (const std::string& copy : {m.GetMainDescriptionPath(), m.GetSetupIniPath()}) {
        struct stat st {};
        ASSERT_EQ(::lstat(copy.c_str(), &st), 0) << copy;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << copy;
    }
    for (std::string level : {work_, GetProductTempFolder(), Files().TempFolder() + "KALDO/"}) {
        struct stat st {};
        ASSERT_EQ(::lstat(level.c_str(), &st), 0) << level;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << level;
    }
    m.Reset();
    EXPECT_TRUE(WorkFiles().empty());
    EXPECT_TRUE(m.GetSourceFolder().empty());
    EXPECT_TRUE(m.GetMainDescriptionPath().empty());
    EXPECT_TRUE(m.GetSetupIniPath().empty());
    EXPECT_TRUE(m.GetWorkingFolder().empty());
    EXPECT_TRUE(fs::is_directory(work_)); // the working folder itself stays
}

TEST_F(KldoInifileManagerTest, DestructionAndASecondPrepareDeleteTheCopies) {
    dist_.Write("a/setup.inf", SetupInf({{"RAVIRI.INF", "first"}, {"SETUP.INI", "1"}}));
    dist_.Write("b/SETUP.INF", SetupInf({{"raviri.inf", "second"}}));
    {
        CKldoInifileManager m;
        ASSERT_TRUE(m.Prepare(dist_ / "a"));
        const std::string first = m.GetMainDescriptionPath();
        ASSERT_TRUE(m.Prepare(dist_ / "b/"));
        EXPECT_FALSE(fs::exists(first));
        EXPECT_EQ(ReadFile(m.GetMainDescriptionPath()), "second");
        EXPECT_TRUE(m.GetSetupIniPath().empty()); // a distribution without SETUP.INI still counts
        EXPECT_EQ(WorkFiles(), std::vector<std::string>{
                                   fs::path(m.GetMainDescriptionPath()).filename().string()});
    }
    EXPECT_TRUE(WorkFiles().empty());
}

TEST_F(KldoInifileManagerTest, PlainFilesAreUsedWhereTheyAreWhateverTheirCase) {
    dist_.Write("raviri.inf", "main");
    dist_.Write("Setup.Ini", "setup");
    CKldoInifileManager m;
    ASSERT_TRUE(m.Prepare(dist_.Path()));
    EXPECT_EQ(m.GetMainDescriptionPath(), dist_ / "raviri.inf");
    EXPECT_EQ(m.GetSetupIniPath(), dist_ / "Setup.Ini");
    // With and without a trailing separator: the same names.
    CKldoInifileManager slash;
    ASSERT_TRUE(slash.Prepare(dist_.Path() + "/"));
    EXPECT_EQ(slash.GetMainDescriptionPath(), m.GetMainDescriptionPath());
    EXPECT_EQ(slash.GetSetupIniPath(), m.GetSetupIniPath());
    EXPECT_TRUE(WorkFiles().empty()); // no working copies for plain files
    // RAVIRI.INF alone is enough.
    fs::remove(dist_ / "Setup.Ini");
    ASSERT_TRUE(m.Prepare(dist_.Path()));
    EXPECT_TRUE(m.GetSetupIniPath().empty());
}

TEST_F(KldoInifileManagerTest, FoldersThatAreNoDistribution) {
    CKldoInifileManager m;
    EXPECT_FALSE(m.Prepare(""));
    // SETUP.INI alone is not enough.
    dist_.Write("only-ini/SETUP.INI", "setup");
    EXPECT_FALSE(m.Prepare(dist_ / "only-ini"));
    EXPECT_TRUE(m.GetSetupIniPath().empty());
    EXPECT_TRUE(m.GetSourceFolder().empty());
    EXPECT_FALSE(m.Prepare(dist_ / "no-such-folder"));
    // A folder named RAVIRI.INF is no file; nor a FIFO, which must not hang the look either, nor
    // a link (not even to a file of the folder).
    fs::create_directories(dist_ / "dir-named/RAVIRI.INF");
    EXPECT_FALSE(m.Prepare(dist_ / "dir-named"));
    fs::create_directories(dist_ / "fifo");
    ASSERT_EQ(::mkfifo((dist_ / "fifo/RAVIRI.INF").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((dist_ / "fifo/setup.inf").c_str(), 0644), 0);
    EXPECT_FALSE(m.Prepare(dist_ / "fifo"));
    dist_.Write("linked/real.inf", "main");
    fs::create_symlink("real.inf", dist_ / "linked/RAVIRI.INF");
    EXPECT_FALSE(m.Prepare(dist_ / "linked"));
    // setup.inf that is not a compound file, one without RAVIRI.INF, one that is broken:
    // no working copies remain, and the plain RAVIRI.INF beside it is not used.
    CfbFixture broken = CfbFixture::Make({{"RAVIRI.INF", Bytes(5000, 1)}});
    broken.SetU32(broken.FatEntry(broken.U32(broken.Start(1))),
                  broken.U32(broken.Start(1))); // a FAT loop
    const std::pair<const char*, std::string> cases[] = {
        {"text", "[Main]\nName=x\n"},
        {"no-raviri", SetupInf({{"SETUP.INI", "setup"}, {"RAVIRI", "near miss"}})},
        {"loop", std::string(broken.bytes.begin(), broken.bytes.end())},
        {"empty", ""},
    };
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(name);
        dist_.Write(std::string(name) + "/setup.inf", content);
        dist_.Write(std::string(name) + "/RAVIRI.INF", "plain");
        EXPECT_FALSE(m.Prepare(dist_ / name));
        EXPECT_TRUE(m.GetMainDescriptionPath().empty());
        EXPECT_TRUE(WorkFiles().empty());
    }
}

// What a killed run left (copies, extraction temporaries) goes once no other manager holds the
// working folder; another manager's copies are never touched.
TEST_F(KldoInifileManagerTest, CopiesOfKilledRunsAreRemovedWhenNoOtherManagerHoldsTheFolder) {
    dist_.Write("setup.inf", SetupInf({{"RAVIRI.INF", "main"}}));
    const std::string stale[] = {work_ + NewGuidString(), work_ + "." + NewGuidString() + ".0000ABCD.tmp"};
    {
        CKldoInifileManager holder;
        ASSERT_TRUE(holder.Prepare(dist_.Path()));
        for (const std::string& path : stale)
            std::ofstream(path) << "left by a killed run";
        std::ofstream(work_ + "notes.txt") << "not a copy";
        CKldoInifileManager second;
        ASSERT_TRUE(second.Prepare(dist_.Path()));
        EXPECT_TRUE(fs::exists(stale[0]) && fs::exists(stale[1]));
        EXPECT_TRUE(fs::exists(holder.GetMainDescriptionPath()));
    }
    CKldoInifileManager alone;
    ASSERT_TRUE(alone.Prepare(dist_.Path()));
    EXPECT_FALSE(fs::exists(stale[0]) || fs::exists(stale[1]));
    const std::string copy = fs::path(alone.GetMainDescriptionPath()).filename().string();
    EXPECT_EQ(WorkFiles(), (std::vector<std::string>{"notes.txt", copy}));
    fs::remove(work_ + "notes.txt");
}

TEST_F(KldoInifileManagerTest, RefusesAWorkingFolderThatIsALinkOrForeign) {
    dist_.Write("setup.inf", SetupInf({{"RAVIRI.INF", "main"}}));
    TempDir elsewhere;
    fs::create_directories(GetProductTempFolder());
    fs::create_directory_symlink(elsewhere.Path(), work_.substr(0, work_.size() - 1));
    CKldoInifileManager m;
    EXPECT_FALSE(m.Prepare(dist_.Path()));
    EXPECT_TRUE(fs::is_empty(elsewhere.Path()));
    fs::remove(work_.substr(0, work_.size() - 1));
    if (::geteuid() == 0) {
        fs::create_directory(work_);
        ASSERT_EQ(::chown(work_.c_str(), 4242, 4242), 0);
        EXPECT_FALSE(m.Prepare(dist_.Path()));
        EXPECT_TRUE(WorkFiles().empty());
        fs::remove(work_);
    }
    ASSERT_TRUE(m.Prepare(dist_.Path()));
}

TEST_F(KldoInifileManagerTest, FailsWithoutATemporaryFolder) {
    dist_.Write("setup.inf", SetupInf({{"RAVIRI.INF", "main"}}));
    const std::string saved = std::getenv("TMPDIR");
    ::setenv("TMPDIR", (dist_ / "no-such-temp").c_str(), 1);
    CKldoInifileManager m;
    const bool prepared = m.Prepare(dist_.Path());
    ::setenv("TMPDIR", saved.c_str(), 1);
    EXPECT_FALSE(prepared);
    EXPECT_TRUE(m.GetWorkingFolder().empty());
}

} // namespace
} // namespace quillon
