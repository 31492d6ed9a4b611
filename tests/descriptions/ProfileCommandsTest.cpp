// quillon-dist profile compile / dump, run as a process.
#include "testsupport/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

namespace quillon::test {
namespace {

#ifdef QUILLON_DIST_EXE

struct DistRun {
    int code;
    std::string out;
};

DistRun Dist(const std::string& args, const TempDir& dir) {
    const std::string command =
        std::string(QUILLON_DIST_EXE) + " " + args + " 2>" + (dir / "stderr");
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return {-1, {}};
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(ProfileCommands, CompileDumpAndJson) {
    TempDir dir;
    const std::string source = "# RAVIRI.INF of a test distribution\n"
                               "section \"7 - templates\"\n"
                               "  S \"general\" \"\"\n"
                               "section \"7 - collection\"\n"
                               "  S \"Name.R\" \"Общая \\\"лексика\\\"\"\n"
                               "  I \"Size\" 10\n"
                               "  B \"On\" 1\n"
                               "  H \"Raw\" 0aff\n";
    dir.Write("raviri.txt", source);
    ASSERT_EQ(
        Dist("profile compile " + (dir / "raviri.txt") + " " + (dir / "RAVIRI.INF"), dir).code, 0)
        << ReadFile(dir / "stderr");

    const DistRun text = Dist("profile dump " + (dir / "RAVIRI.INF"), dir);
    ASSERT_EQ(text.code, 0) << ReadFile(dir / "stderr");
    EXPECT_NE(text.out.find("section \"7 - collection\"\n  S \"Name.R\" \"Общая \\\"лексика\\\"\"\n"
                            "  I \"Size\" 10\n  B \"On\" 1\n  H \"Raw\" 0aff\n"),
              std::string::npos)
        << text.out;

    // The dump compiles back to the same file.
    dir.Write("again.txt", text.out);
    ASSERT_EQ(Dist("profile compile " + (dir / "again.txt") + " " + (dir / "AGAIN.INF"), dir).code,
              0);
    EXPECT_EQ(ReadFile(dir / "AGAIN.INF"), ReadFile(dir / "RAVIRI.INF"));

    const DistRun json = Dist("profile dump " + (dir / "RAVIRI.INF") + " --json", dir);
    ASSERT_EQ(json.code, 0);
    // Index order: "7 - collection" is bucket 3, "7 - templates" 16; Size 1, Raw 2, Name.R 13,
    // On 14.
    EXPECT_EQ(
        json.out,
        "{\"sections\":[{\"name\":\"7 - collection\",\"entries\":["
        "{\"name\":\"Size\",\"type\":\"I\",\"value\":10},"
        "{\"name\":\"Raw\",\"type\":\"H\",\"value\":\"0aff\"},"
        "{\"name\":\"Name.R\",\"type\":\"S\",\"value\":\"Общая \\\"лексика\\\"\"},"
        "{\"name\":\"On\",\"type\":\"B\",\"value\":1}]},"
        "{\"name\":\"7 - "
        "templates\",\"entries\":[{\"name\":\"general\",\"type\":\"S\",\"value\":\"\"}]}]}\n");
}

TEST(ProfileCommands, ErrorsAndUsage) {
    TempDir dir;
    dir.Write("bad.txt", "section \"a\"\n  S \"b\" 12\n");
    EXPECT_EQ(Dist("profile compile " + (dir / "bad.txt") + " " + (dir / "OUT"), dir).code, 1);
    EXPECT_EQ(ReadFile(dir / "stderr"), dir / "bad.txt" + ":2: S value must be quoted\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "OUT"));

    dir.Write("garbage.ini", "not a profile file");
    EXPECT_EQ(Dist("profile dump " + (dir / "garbage.ini"), dir).code, 1);
    EXPECT_EQ(ReadFile(dir / "stderr"), dir / "garbage.ini" + ": not a profile file (bad magic)\n");

    EXPECT_EQ(Dist("profile dump", dir).code, 2);
    EXPECT_EQ(Dist("profile dump a b", dir).code, 2);
    EXPECT_EQ(Dist("profile compile onlyone", dir).code, 2);
}

#endif

} // namespace
} // namespace quillon::test
