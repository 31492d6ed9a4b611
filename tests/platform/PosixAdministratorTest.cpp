#include "platform/posix/PosixAdministrator.h"
#include "platform/Ports.h"
#include "testsupport/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon::posix {
namespace {

TEST(PosixAdministrator, EffectiveRootMayAlwaysChangeTheInstallation) {
    EXPECT_TRUE(HasAdministratorRights(0, "", {}));
    EXPECT_TRUE(HasAdministratorRights(0, "/nonexistent/registry.reg", {"/nonexistent/data"}));
}

TEST(PosixAdministrator, WritableHiveAndDataFoldersGrantTheRights) {
    test::TempDir dir;
    const std::string hive =
        dir.Write("etc/registry.reg", "Windows Registry Editor Version 5.00\n");
    std::filesystem::create_directories(dir / "data");
    // A folder not created yet counts by the folder above it, where it would be created.
    EXPECT_TRUE(HasAdministratorRights(1000, hive, {dir / "data", dir / "later/dicts"}));
    EXPECT_TRUE(HasAdministratorRights(1000, dir / "new/registry.reg", {}));
    EXPECT_FALSE(HasAdministratorRights(1000, "", {}));
    EXPECT_FALSE(CanWrite(""));
}

TEST(PosixAdministrator, ReadOnlyHiveFolderOrDataFolderRefusesTheRights) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "the effective root may write everywhere";
    test::TempDir dir;
    const std::string hive = dir.Write("etc/registry.reg", "x");
    std::filesystem::create_directories(dir / "data");
    ASSERT_EQ(::chmod((dir / "data").c_str(), 0500), 0);
    EXPECT_FALSE(HasAdministratorRights(::geteuid(), hive, {dir / "data"}));
    EXPECT_FALSE(HasAdministratorRights(::geteuid(), hive, {dir / "data/below"}));
    ASSERT_EQ(::chmod((dir / "etc").c_str(), 0500), 0);
    EXPECT_FALSE(HasAdministratorRights(::geteuid(), hive, {}));
    ::chmod((dir / "etc").c_str(), 0700);
    ::chmod((dir / "data").c_str(), 0700);
}

TEST(PosixAdministrator, DataFoldersComeFromTheProductsKeys) {
    RegistryStore& registry = Registry();
    registry.DeleteKey(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\Zozedi9");
    registry.DeleteKey(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9\\Folders");
    EXPECT_TRUE(ProductDataFolders().empty());
    ASSERT_EQ(registry.SetValue(RegistryRoot::LocalMachine,
                                "SOFTWARE\\Velmar Soft\\Zozedi9\\Directions", "Path",
                                RegistryValue::String("/opt/kaldo/dirs")),
              0);
    EXPECT_EQ(ProductDataFolders(), std::vector<std::string>{"/opt/kaldo/dirs"});
    ASSERT_EQ(registry.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9\\Folders",
                                "SharedRoot", RegistryValue::String("/opt/kaldo/shared")),
              0);
    EXPECT_EQ(ProductDataFolders(),
              (std::vector<std::string>{"/opt/kaldo/dirs", "/opt/kaldo/shared"}));
    registry.DeleteKey(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\Zozedi9");
    registry.DeleteKey(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9\\Folders");
}

} // namespace
} // namespace quillon::posix
