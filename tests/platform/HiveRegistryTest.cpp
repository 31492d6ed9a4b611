#include "platform/posix/HiveRegistry.h"
#include "support/Text.h"
#include "testsupport/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace quillon::posix {
namespace {

using test::ReadFile;
using test::TempDir;

TEST(HiveRegistry, MissingFileIsAnEmptyRegistryAndTheFirstWriteCreatesIt) {
    TempDir dir;
    HiveRegistry hive(dir / "etc/velmar-soft/registry.reg");
    EXPECT_EQ(hive.OpenKey(RegistryRoot::LocalMachine, "SOFTWARE", false), regerr::FileNotFound);
    ASSERT_EQ(hive.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9", "KldoLangID", RegistryValue::Dword(0x419)), 0)
        << hive.Error();
    EXPECT_TRUE(ReadFile(hive.Path()).starts_with("Windows Registry Editor Version 5.00"));
    EXPECT_FALSE(std::filesystem::exists(hive.Path() + ".tmp"));

    HiveRegistry other(hive.Path());
    RegistryValue v;
    ASSERT_EQ(other.QueryValue(RegistryRoot::LocalMachine, "software\\velmar soft\\kldo9", "kldolangid", v), 0);
    EXPECT_EQ(v, RegistryValue::Dword(0x419));
}

TEST(HiveRegistry, ReadersSeeWritesOfOtherInstances) {
    TempDir dir;
    HiveRegistry reader(dir / "r.reg"), writer(dir / "r.reg");
    RegistryValue v;
    ASSERT_EQ(writer.SetValue(RegistryRoot::LocalMachine, "K", "v", RegistryValue::String("one")), 0);
    ASSERT_EQ(reader.QueryValue(RegistryRoot::LocalMachine, "K", "v", v), 0);
    ASSERT_EQ(writer.SetValue(RegistryRoot::LocalMachine, "K", "v", RegistryValue::String("two")), 0);
    ASSERT_EQ(reader.QueryValue(RegistryRoot::LocalMachine, "K", "v", v), 0);
    EXPECT_EQ(Utf16LeBytesToUtf8(v.data.data(), v.data.size()), "two");
    ASSERT_EQ(writer.DeleteKey(RegistryRoot::LocalMachine, "K"), 0);
    EXPECT_EQ(reader.QueryValue(RegistryRoot::LocalMachine, "K", "v", v), regerr::FileNotFound);
}

TEST(HiveRegistry, ConcurrentWritersNeverLoseAWrite) {
    TempDir dir;
    const std::string path = dir / "c.reg";
    constexpr int kChildren = 4, kWrites = 25;
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            HiveRegistry hive(path);
            int failures = 0;
            for (int i = 0; i < kWrites; ++i)
                failures += hive.SetValue(RegistryRoot::LocalMachine, "Shared\\P" + std::to_string(c), "v" + std::to_string(i),
                                          RegistryValue::Dword(static_cast<std::uint32_t>(c * 1000 + i))) != 0;
            ::_exit(failures);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    HiveRegistry hive(path);
    for (int c = 0; c < kChildren; ++c)
        for (int i = 0; i < kWrites; ++i) {
            RegistryValue v;
            ASSERT_EQ(hive.QueryValue(RegistryRoot::LocalMachine, "Shared\\P" + std::to_string(c), "v" + std::to_string(i), v), 0)
                << c << "/" << i;
            EXPECT_EQ(v, RegistryValue::Dword(static_cast<std::uint32_t>(c * 1000 + i)));
        }
}

TEST(HiveRegistry, MalformedFileIsReportedAndNeverOverwritten) {
    TempDir dir;
    const std::string bad = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"ok\"=\"1\"\n\"d\"=dword:1234567890\n";
    const std::string path = dir.Write("bad.reg", bad);
    HiveRegistry hive(path);
    RegistryValue v;
    EXPECT_EQ(hive.QueryValue(RegistryRoot::LocalMachine, "A", "ok", v), regerr::BadDb);
    EXPECT_NE(hive.Error().find("line 4"), std::string::npos) << hive.Error();
    EXPECT_EQ(hive.SetValue(RegistryRoot::LocalMachine, "A", "new", RegistryValue::Dword(1)), regerr::BadDb);
    EXPECT_EQ(ReadFile(path), bad);
    // Once mended, the file reads again.
    dir.Write("bad.reg", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"ok\"=\"1\"\n");
    EXPECT_EQ(hive.QueryValue(RegistryRoot::LocalMachine, "A", "ok", v), 0);
}

TEST(HiveRegistry, PlantedLinkAtTheTemporaryNameIsNotFollowed) {
    TempDir dir;
    const std::string victim = dir.Write("victim.txt", "keep me");
    const std::string path = dir / "h.reg";
    std::filesystem::create_symlink(victim, path + ".tmp");
    HiveRegistry hive(path);
    ASSERT_EQ(hive.SetValue(RegistryRoot::LocalMachine, "A", "v", RegistryValue::Dword(1)), 0) << hive.Error();
    EXPECT_EQ(ReadFile(victim), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(path));
}

// Only a regular file is read: a FIFO (which would block a reader forever) and a folder are
// errors naming the path, and are never written over. The read runs in a child process with an
// alarm, so a regression fails instead of hanging.
TEST(HiveRegistry, AHivePathThatIsNoRegularFileIsAnErrorNamingIt) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.reg").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder.reg");
    for (const auto& [name, kind] :
         {std::pair{"fifo.reg", "a FIFO"}, std::pair{"folder.reg", "a folder"}}) {
        const std::string path = dir / name;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::alarm(10);
            HiveRegistry hive(path);
            RegistryValue v;
            const bool named =
                hive.QueryValue(RegistryRoot::LocalMachine, "A", "v", v) == regerr::BadDb &&
                hive.Error() == path + ": the registry hive is " + kind + ", not a regular file" &&
                hive.SetValue(RegistryRoot::LocalMachine, "A", "v", RegistryValue::Dword(1)) ==
                    regerr::BadDb;
            ::_exit(named ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << name << ": status " << status;
    }
    EXPECT_EQ(std::filesystem::status(dir / "fifo.reg").type(), std::filesystem::file_type::fifo);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.reg"));
}

// A hive reached through a symbolic link (relative, and through a second link) is written where
// the links lead: the links stay, and whoever reads the target sees the change.
TEST(HiveRegistry, AWriteThroughALinkChangesItsTarget) {
    TempDir dir;
    const std::string target = dir.Write(
        "shared/registry.reg",
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"old\"=dword:00000001\n");
    std::filesystem::create_symlink("shared/registry.reg", dir / "middle.reg");
    std::filesystem::create_symlink(dir / "middle.reg", dir / "mine.reg");
    HiveRegistry hive(dir / "mine.reg");
    ASSERT_EQ(hive.SetValue(RegistryRoot::LocalMachine, "A", "new", RegistryValue::Dword(2)), 0)
        << hive.Error();
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "mine.reg"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "middle.reg"));
    RegistryValue v;
    HiveRegistry direct(target);
    EXPECT_EQ(direct.QueryValue(RegistryRoot::LocalMachine, "A", "new", v), 0);
    EXPECT_EQ(v, RegistryValue::Dword(2));
    EXPECT_EQ(direct.QueryValue(RegistryRoot::LocalMachine, "A", "old", v), 0);
    EXPECT_FALSE(std::filesystem::exists(target + ".tmp"));
    // A link loop is refused, and nothing is written.
    std::filesystem::create_symlink(dir / "loop2.reg", dir / "loop1.reg");
    std::filesystem::create_symlink(dir / "loop1.reg", dir / "loop2.reg");
    HiveRegistry loop(dir / "loop1.reg");
    EXPECT_EQ(loop.SetValue(RegistryRoot::LocalMachine, "A", "v", RegistryValue::Dword(1)),
              regerr::AccessDenied);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "loop1.reg"));
}

TEST(HiveRegistry, UpdateAppliesSeveralChangesAsOneWrite) {
    TempDir dir;
    HiveRegistry hive(dir / "u.reg");
    ASSERT_EQ(hive.Update([](HiveDocument& doc) {
        doc.SetValue(RegistryRoot::LocalMachine, "A", "x", RegistryValue::Dword(1));
        return doc.SetValue(RegistryRoot::LocalMachine, "A\\B", "y", RegistryValue::Dword(2));
    }), 0);
    // A change that fails writes nothing.
    EXPECT_EQ(hive.Update([](HiveDocument& doc) {
        doc.SetValue(RegistryRoot::LocalMachine, "A", "z", RegistryValue::Dword(3));
        return regerr::AccessDenied;
    }), regerr::AccessDenied);
    RegistryValue v;
    EXPECT_EQ(hive.QueryValue(RegistryRoot::LocalMachine, "A\\B", "y", v), 0);
    EXPECT_EQ(hive.QueryValue(RegistryRoot::LocalMachine, "A", "z", v), regerr::FileNotFound);
}

} // namespace
} // namespace quillon::posix
