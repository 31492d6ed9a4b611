#include "install/Packer.h"
#include "tools/Commands.h"
#include "testsupport/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

namespace quillon::test {
namespace {

// The command run as main() runs it: its words read against its options.
int RunCommand(const std::string& name, const std::vector<std::string>& words) {
    for (const dist::Command& c : dist::PackCommands())
        if (name == c.name) {
            const CommandLine line(words, c.options);
            return line.Ok() ? c.run(dist::Args(line.Operands(), line)) : 2;
        }
    ADD_FAILURE() << "no command " << name;
    return -1;
}

TEST(PackCommands, PackUnpackVerify) {
    TempDir dir;
    const std::string plain = dir.Write("plain.txt", std::string(10000, 'q') + "словарь");
    EXPECT_EQ(RunCommand("pack", {plain, dir / "a.pk"}), 0);
    EXPECT_EQ(RunCommand("unpack", {dir / "a.pk", dir / "a.out"}), 0);
    EXPECT_EQ(ReadFile(dir / "a.out"), ReadFile(plain));

    std::string damaged = ReadFile(dir / "a.pk");
    damaged[20] = static_cast<char>(damaged[20] ^ 0x55);
    dir.Write("bad.pk", damaged);
    dir.Write("short.pk", "DP");
    EXPECT_EQ(RunCommand("verify", {dir / "a.pk"}), 0);
    EXPECT_EQ(RunCommand("verify", {dir / "a.pk", dir / "bad.pk"}), 1);
    EXPECT_EQ(RunCommand("verify", {dir / "short.pk", dir / "a.pk"}), 1);
    EXPECT_EQ(RunCommand("unpack", {dir / "bad.pk", dir / "b.out"}), 1);
    EXPECT_EQ(RunCommand("unpack", {dir / "missing", dir / "b.out"}), 1);
    EXPECT_EQ(RunCommand("pack", {dir / "missing", dir / "c.pk"}), 1);
    EXPECT_EQ(RunCommand("pack", {plain}), 2);
    EXPECT_EQ(RunCommand("verify", {}), 2);
}

// A failed unpack (damaged data, a missing source) leaves an existing OUT as it was, and no
// temporary file beside it.
TEST(PackCommands, FailedUnpackKeepsTheEarlierOutput) {
    TempDir dir;
    const std::string plain = dir.Write("plain.txt", std::string(5000, 'w'));
    ASSERT_EQ(RunCommand("pack", {plain, dir / "a.pk"}), 0);
    std::string damaged = ReadFile(dir / "a.pk");
    damaged[damaged.size() - 3] = static_cast<char>(damaged[damaged.size() - 3] ^ 0x55);
    dir.Write("out/bad.pk", damaged);
    const std::string out = dir.Write("out/dict.er", "the dictionary unpacked before");
    EXPECT_EQ(RunCommand("unpack", {dir / "out/bad.pk", out}), 1);
    EXPECT_EQ(RunCommand("unpack", {dir / "missing.pk", out}), 1);
    EXPECT_EQ(ReadFile(out), "the dictionary unpacked before");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "out"), {}), 2);
    EXPECT_EQ(RunCommand("unpack", {dir / "a.pk", out}), 0);
    EXPECT_EQ(ReadFile(out), ReadFile(plain));
}

} // namespace
} // namespace quillon::test
