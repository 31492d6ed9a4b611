// The installed-direction map asked from a kernel double.
#include "descriptions/LanguageDirections.h"

#include "platform/posix/PosixPorts.h"
#include "product/ComError.h"
#include "product/ServiceIds.h"

#include "testsupport/KernelServiceDouble.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace quillon {
namespace {

struct ReportedDirection {
    HRESULT status;
    DirectionId id;
    std::string name;
};

// Answers the direction questions from a script; the rest of the service is not used here.
class DirectionKernel : public test::KernelServiceDouble {
public:
    HRESULT loginStatus = S_OK;
    bool loginThrows = false;
    int logins = 0;
    std::optional<HRESULT> countStatus; // a failed status instead of the count
    bool countThrows = false;
    std::optional<std::uint16_t> countOverride; // a count that differs from the script's length
    std::vector<ReportedDirection> directions;
    int throwAtIndex = -1;
    std::vector<std::int32_t> asked;

    HRESULT Login(std::int32_t client, const std::string& product, std::int32_t mode) override {
        ++logins;
        EXPECT_EQ(client, 1);
        EXPECT_EQ(product, "RAVIRI");
        EXPECT_EQ(mode, 1);
        if (loginThrows)
            throw ComError(E_ACCESSDENIED);
        return loginStatus;
    }
    HRESULT GetDirectionCount(std::uint16_t& count) override {
        if (countThrows)
            throw ComError(E_FAIL, "kernel gone");
        if (countStatus)
            return *countStatus;
        count = countOverride ? *countOverride : static_cast<std::uint16_t>(directions.size());
        return S_OK;
    }
    HRESULT GetDirection(std::int32_t index, std::uint32_t& id, std::string& name) override {
        asked.push_back(index);
        if (index == throwAtIndex)
            throw std::runtime_error("lost connection");
        if (index < 0 || static_cast<std::size_t>(index) >= directions.size())
            return E_INVALIDARG;
        const auto& d = directions[static_cast<std::size_t>(index)];
        if (Failed(d.status))
            return d.status;
        id = d.id;
        name = d.name;
        return d.status;
    }

};

// A kernel service without the login interface.
class LoginlessObject : public ComObject {};

class InstalledDirectionsTest : public ::testing::Test {
protected:
    void TearDown() override {
        posix::InstallPosixPorts().objects.UnregisterInProcess(clsid::KernelService);
    }

    // Registers the kernel class; counts creations.
    void RegisterKernel(std::function<std::shared_ptr<ComObject>()> make) {
        posix::InstallPosixPorts().objects.RegisterInProcess(clsid::KernelService, [this, make] {
            ++creations;
            return make();
        });
    }

    std::shared_ptr<DirectionKernel> kernel = std::make_shared<DirectionKernel>();
    int creations = 0;
};

TEST_F(InstalledDirectionsTest, MapsEveryReportedDirectionOfAnExistingConnection) {
    kernel->directions = {{S_OK, 0x00020001, "Англо-русский"},
                          {S_OK, 0x00010002, "Русско-английский"}};
    std::shared_ptr<KernelService> connection = kernel;
    auto map = GetInstalledDirections(connection);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(*map, (InstalledDirections{{0x00010002, "Русско-английский"},
                                         {0x00020001, "Англо-русский"}}));
    EXPECT_TRUE(IsDirectionInstalled(*map, 0x00020001));
    EXPECT_FALSE(IsDirectionInstalled(*map, 0x00020004));
    EXPECT_EQ(kernel->logins, 0) << "an existing connection is used as it is";
    EXPECT_EQ(kernel->asked, (std::vector<std::int32_t>{0, 1}));
}

TEST_F(InstalledDirectionsTest, KeepsTheLaterNameOfARepeatedIdentifierAndSkipsBadEntries) {
    kernel->directions = {
        {S_OK, 0x00020001, "первый"},
        {E_FAIL, 0x00020004, "failed"},
        {S_OK, 0, "no direction"},
        {S_FALSE, 0x00020001, "второй"}, // a success code other than S_OK counts
        {S_OK, 0x00020004, "Немецко-русский"},
    };
    std::shared_ptr<KernelService> connection = kernel;
    auto map = GetInstalledDirections(connection);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(*map, (InstalledDirections{{0x00020001, "второй"}, {0x00020004, "Немецко-русский"}}));
}

TEST_F(InstalledDirectionsTest, CreatesAndLogsInWhenTheConnectionIsEmpty) {
    kernel->directions = {{S_OK, 0x00020001, "Англо-русский"}};
    RegisterKernel([this] { return kernel; });
    std::shared_ptr<KernelService> connection;
    auto map = GetInstalledDirections(connection);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->size(), 1u);
    EXPECT_EQ(kernel->logins, 1);
    EXPECT_EQ(connection, kernel) << "the logged-in service becomes the connection";

    // A second call uses the connection: no new creation or login.
    auto again = GetInstalledDirections(connection);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(creations, 1);
    EXPECT_EQ(kernel->logins, 1);
}

TEST_F(InstalledDirectionsTest, AnUnavailableServiceGivesAnEmptyMap) {
    std::shared_ptr<KernelService> connection;
    // Not registered at all.
    auto map = GetInstalledDirections(connection);
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->empty());
    EXPECT_EQ(connection, nullptr);

    // Creation raising an error.
    RegisterKernel([]() -> std::shared_ptr<ComObject> { throw ComError(CO_E_DLLNOTFOUND); });
    map = GetInstalledDirections(connection);
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->empty());

    // An object without the kernel interface, or without the login interface.
    RegisterKernel([] { return std::make_shared<LoginlessObject>(); });
    map = GetInstalledDirections(connection);
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->empty());
    EXPECT_EQ(connection, nullptr);
}

TEST_F(InstalledDirectionsTest, ARefusedLoginGivesAnEmptyMapAndLeavesTheConnectionEmpty) {
    kernel->directions = {{S_OK, 0x00020001, "Англо-русский"}};
    RegisterKernel([this] { return kernel; });
    std::shared_ptr<KernelService> connection;

    kernel->loginStatus = E_ACCESSDENIED;
    auto map = GetInstalledDirections(connection);
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->empty());
    EXPECT_EQ(connection, nullptr);
    EXPECT_TRUE(kernel->asked.empty()) << "no direction is asked of a refused service";

    kernel->loginStatus = S_OK;
    kernel->loginThrows = true;
    map = GetInstalledDirections(connection);
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->empty());
    EXPECT_EQ(connection, nullptr);
}

TEST_F(InstalledDirectionsTest, NoDirectionsOrAnErrorWhileAskingGivesNoMap) {
    std::shared_ptr<KernelService> connection = kernel;
    // 0 directions.
    EXPECT_EQ(GetInstalledDirections(connection), nullptr);

    kernel->directions = {{S_OK, 0x00020001, "Англо-русский"},
                          {S_OK, 0x00010002, "Русско-английский"}};
    kernel->countThrows = true;
    EXPECT_EQ(GetInstalledDirections(connection), nullptr);

    kernel->countThrows = false;
    kernel->countStatus = E_FAIL;
    EXPECT_EQ(GetInstalledDirections(connection), nullptr);

    kernel->countStatus.reset();
    kernel->throwAtIndex = 1;
    EXPECT_EQ(GetInstalledDirections(connection), nullptr)
        << "an error after the first entry loses all";
    EXPECT_EQ(connection, kernel) << "errors while asking do not drop the connection";
}

TEST_F(InstalledDirectionsTest, ACountAboveTheSigned16BitRangeListsNothing) {
    kernel->directions = {{S_OK, 0x00020001, "Англо-русский"}};
    kernel->countOverride = 0x8000;
    std::shared_ptr<KernelService> connection = kernel;
    auto map = GetInstalledDirections(connection);
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->empty());
    EXPECT_TRUE(kernel->asked.empty());
}

} // namespace
} // namespace quillon
