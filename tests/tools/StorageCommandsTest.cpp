// The storage commands of quillon-dist, run as the program.
#include "testsupport/RunProgram.h"
#include "testsupport/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

// quillon-dist run through the shell, standard error merged into the output.
test::ProgramResult Dist(const std::string& arguments) {
    return test::RunProgram(test::ShellQuote(QUILLON_DIST_PROGRAM) + " " + arguments);
}

std::string Q(const std::string& s) { return test::ShellQuote(s); }

TEST(StorageCommands, CreateListExtract) {
    TempDir dir;
    const std::string big(6000, 'b');
    const std::string raviri = dir.Write("raviri.txt", "[Main]\nName=Test\n");
    const std::string bigFile = dir.Write("big.bin", big);
    const std::string empty = dir.Write("empty.txt", "");
    const std::string out = dir / "setup.inf";
    const test::ProgramResult created = Dist("storage create " + Q(out) + " RAVIRI.INF=" + Q(raviri) +
                                " SETUP.INI=" + Q(bigFile) + " Пусто=" + Q(empty));
    ASSERT_EQ(created.code, 0) << created.output;
    const test::ProgramResult list = Dist("storage list " + Q(out));
    EXPECT_EQ(list.code, 0);
    EXPECT_EQ(list.output, "stream\t0\tПусто\nstream\t6000\tSETUP.INI\nstream\t17\tRAVIRI.INF\n");
    ASSERT_EQ(Dist("storage extract " + Q(out) + " raviri.inf " + Q(dir / "r")).code, 0);
    EXPECT_EQ(ReadFile(dir / "r"), "[Main]\nName=Test\n");
    ASSERT_EQ(Dist("storage extract " + Q(out) + " SETUP.INI " + Q(dir / "s")).code, 0);
    EXPECT_EQ(ReadFile(dir / "s"), big);
}

TEST(StorageCommands, FailuresAndBadUsage) {
    TempDir dir;
    const std::string text = dir.Write("text.inf", "not a compound file");
    const std::string file = dir.Write("a.txt", "a");
    EXPECT_EQ(Dist("storage list").code, 2);
    EXPECT_EQ(Dist("storage create " + Q(dir / "x.inf")).code, 2);
    EXPECT_EQ(Dist("storage create " + Q(dir / "x.inf") + " =" + Q(file)).code, 2);
    EXPECT_EQ(Dist("storage create " + Q(dir / "x.inf") + " A=" + Q(dir / "missing")).code, 1);
    EXPECT_EQ(Dist("storage create " + Q(dir / "x.inf") + " A:B=" + Q(file)).code, 1);
    EXPECT_EQ(Dist("storage create " + Q(dir / "x.inf") + " A=" + Q(file) + " a=" + Q(file)).code,
              1);
    EXPECT_FALSE(fs::exists(dir / "x.inf"));
    EXPECT_EQ(Dist("storage list " + Q(text)).code, 1);
    EXPECT_EQ(Dist("storage extract " + Q(text) + " A " + Q(dir / "out")).code, 1);
    ASSERT_EQ(Dist("storage create " + Q(dir / "ok.inf") + " A=" + Q(file)).code, 0);
    EXPECT_EQ(Dist("storage extract " + Q(dir / "ok.inf") + " B " + Q(dir / "out")).code, 1);
    EXPECT_EQ(Dist("storage extract " + Q(dir / "ok.inf") + " A: " + Q(dir / "out")).code, 1);
    EXPECT_FALSE(fs::exists(dir / "out"));
    EXPECT_EQ(Dist("storage extract " + Q(dir / "ok.inf") + " A").code, 2);
    // A destination in a missing folder: the error names it, not a hidden temporary name.
    const auto missing =
        Dist("storage extract " + Q(dir / "ok.inf") + " A " + Q(dir / "nowhere/out"));
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.output.find(dir / "nowhere/out: No such file or directory"),
              std::string::npos)
        << missing.output;
}

} // namespace
} // namespace quillon
