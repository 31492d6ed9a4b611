// The launcher against a hive of its own: which program it chooses, and starting it for real.
#include "launcher/Launcher.h"
#include "platform/posix/HiveRegistry.h"
#include "support/Text.h"
#include "testsupport/RunProgram.h"
#include "testsupport/TempDir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace quillon::launcher {
namespace {

constexpr const char* kApps10 = "Software\\Velmar Soft\\KLDO10\\Apps";
constexpr const char* kApps9 = "Software\\Velmar Soft\\KLDO9\\Apps";

class LauncherTest : public ::testing::Test {
protected:
    void Register(const char* key, const char* name, const std::string& path) {
        ASSERT_EQ(hive_.OpenKey(RegistryRoot::LocalMachine, key, true), 0);
        if (name) {
            ASSERT_EQ(hive_.SetValue(RegistryRoot::LocalMachine, key, name, RegistryValue::String(path)), 0);
        }
    }
    // An executable file (a shell script) at `relative`.
    std::string Program(const std::string& relative, const std::string& script = "#!/bin/sh\n") {
        const std::string path = temp_.Write(relative, script);
        ::chmod(path.c_str(), 0755);
        return path;
    }
    // The launcher's run, recording what it would start.
    int Run() {
        started_.clear();
        return RunLauncher(hive_, launcherPath_, [this](const std::string& path) {
            started_ = path;
            return 0;
        });
    }
    test::TempDir temp_;
    posix::HiveRegistry hive_{temp_ / "registry.reg"};
    std::string launcherPath_ = temp_ / "cdrom/launcher";
    std::string started_;
};

TEST_F(LauncherTest, MorvelStartsTheInstallerBesideTheLauncherElseTheRegisteredOne) {
    Register(kApps9, "Morvel", "/opt/kaldo/quillon");
    const std::string beside = Program("cdrom/quillon");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(started_, beside);
    std::filesystem::remove(beside);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(started_, "/opt/kaldo/quillon");
}

TEST_F(LauncherTest, ProfileInstallerWinsAndMorvelWinsOverMorvels) {
    Register(kApps9, "Morvels", "/opt/kaldo/quillons");
    Program("cdrom/quillons");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(started_, temp_ / "cdrom/quillons");
    Register(kApps9, "Morvel", "/opt/kaldo/quillon");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(started_, "/opt/kaldo/quillon"); // "quillon" is not beside: Morvel's registered path
    Register(kApps9, "Pelladrin", "/opt/kaldo/Pelladrin");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(started_, "/opt/kaldo/Pelladrin");
}

TEST_F(LauncherTest, NothingToStartIsMinusOne) {
    EXPECT_EQ(Run(), kExitNothingToStart); // no Apps key
    // With both keys only KLDO10 counts, even when it holds none of the values.
    Register(kApps9, "Morvel", "/opt/kaldo/quillon");
    Register(kApps10, nullptr, {});
    EXPECT_EQ(Run(), kExitNothingToStart);
    EXPECT_TRUE(started_.empty());
    // A value too long for the 260-byte buffer cannot be read.
    Register(kApps10, "Morvel", "/" + std::string(300, 'x'));
    EXPECT_EQ(Run(), kExitNothingToStart);
    Register(kApps10, "Morvel", "/opt/kaldo/quillon");
    launcherPath_.clear(); // own path unknown
    EXPECT_EQ(Run(), kExitNothingToStart);
}

// A relative registered value would start whatever lies in the current folder: refused, saying
// so. A file beside the launcher that cannot be executed does not count.
TEST_F(LauncherTest, ARelativeRegisteredValueStartsNothingAndAFileThatDoesNotRunIsPassedOver) {
    Register(kApps9, "Morvel", "quillon");
    std::string reason;
    EXPECT_EQ(RunLauncher(hive_, launcherPath_, [this](const std::string& path) { return started_ = path, 0; },
                          &reason),
              kExitNothingToStart);
    EXPECT_TRUE(started_.empty());
    EXPECT_EQ(reason, "the registered program \"quillon\" is not a full path");
    // Beside the launcher: a plain file (not executable) is passed over for the registered one.
    Register(kApps9, "Morvel", "/opt/kaldo/quillon");
    const std::string beside = temp_.Write("cdrom/quillon", "not a program");
    ::chmod(beside.c_str(), 0644);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(started_, "/opt/kaldo/quillon");
    ::chmod(beside.c_str(), 0755);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(started_, beside);
}

// The registered program really starts, by its exact path even with blanks, without arguments;
// a missing one gives the system's error code.
TEST_F(LauncherTest, StartsTheRegisteredProgramByItsExactPath) {
    const std::string marker = temp_ / "started";
    const std::string program =
        Program("Program Files/KALDO 9/quillon", "#!/bin/sh\necho \"args=$#\" > '" + marker + "'\n");
    Register(kApps9, "Morvel", program);
    EXPECT_EQ(RunLauncher(hive_, launcherPath_, StartDetached), 0);
    std::string line;
    for (int i = 0; i < 500 && line.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream started(marker);
        std::getline(started, line);
    }
    EXPECT_EQ(line, "args=0");
    Register(kApps9, "Morvel", temp_ / "Program Files/KALDO 9/missing");
    EXPECT_EQ(RunLauncher(hive_, launcherPath_, StartDetached), ENOENT);
}

// A fresh reference product registers the installer built beside it, and the launcher program
// starts what is registered.
TEST_F(LauncherTest, TheProductRegistersTheInstallerAndTheLauncherStartsIt) {
    const std::string env = "QUILLON_REGISTRY=" + test::ShellQuote(temp_ / "registry.reg") + " ";
    ASSERT_EQ(test::RunProgram(env + test::ShellQuote(KALDO_PRODUCT_TOOL) + " init " +
                               test::ShellQuote(temp_ / "product") + " --directions ER")
                  .code,
              0);
#ifdef QUILLON_INSTALLER
    RegistryValue value;
    ASSERT_EQ(hive_.QueryValue(RegistryRoot::LocalMachine, kApps9, "Morvel", value), 0);
    EXPECT_EQ(Utf16LeBytesToUtf8(value.data.data(), value.data.size()), QUILLON_INSTALLER);
#endif

    const std::string marker = temp_ / "started";
    Register(kApps9, "Morvel", Program("opt/quillon", "#!/bin/sh\necho started > '" + marker + "'\n"));
    EXPECT_EQ(test::RunProgram(env + test::ShellQuote(QUILLON_LAUNCHER)).code, 0);
    std::string line;
    for (int i = 0; i < 500 && line.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream started(marker);
        std::getline(started, line);
    }
    EXPECT_EQ(line, "started");
    ASSERT_EQ(hive_.DeleteKey(RegistryRoot::LocalMachine, kApps9), 0);
    EXPECT_EQ(test::RunProgram(env + test::ShellQuote(QUILLON_LAUNCHER)).code, 255); // -1
}

} // namespace
} // namespace quillon::launcher
