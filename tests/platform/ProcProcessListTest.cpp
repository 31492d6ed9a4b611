#include "platform/posix/ProcProcessList.h"
#include "testsupport/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillon::posix {
namespace {

TEST(ProcProcessList, MatchesExecutableOrArgv0BaseNameIgnoringCase) {
    test::TempDir proc;
    std::filesystem::create_directories(proc / "17");
    std::filesystem::create_symlink("/opt/kaldo/bin/KldoSvr.exe", proc / "17/exe");
    proc.Write("23/cmdline", std::string("C:\\wine\\kldosrv\0--flag\0", 24));
    proc.Write("42/cmdline", std::string("/usr/bin/wine\0", 14));
    std::filesystem::create_symlink("/usr/bin/other (deleted)", proc / "42/exe");
    proc.Write("self/cmdline", std::string("KldoSvr.exe", 11)); // not a pid folder

    ProcProcessList list(proc.Path());
    EXPECT_TRUE(list.IsProcessRunning("kldosvr.EXE"));
    EXPECT_TRUE(list.IsProcessRunning("other"));
    EXPECT_FALSE(list.IsProcessRunning("kldosrv")); // a '\' path is one name here
    EXPECT_FALSE(list.IsProcessRunning("wine.exe"));
    EXPECT_FALSE(ProcProcessList(proc / "missing").IsProcessRunning("KldoSvr.exe"));
}

TEST(ProcProcessList, FindsThisProcessInTheRealProc) {
    ProcProcessList list;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").filename().string();
    EXPECT_TRUE(list.IsProcessRunning(self));
    EXPECT_FALSE(list.IsProcessRunning("no-such-process-quillon.exe"));
}

} // namespace
} // namespace quillon::posix
