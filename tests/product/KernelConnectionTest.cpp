// The installer's kernel connection, direction list and direction folders.
#include "product/KernelConnection.h"

#include "platform/Ports.h"
#include "platform/posix/PosixPorts.h"
#include "product/ServiceIds.h"
#include "testsupport/Doubles.h"

#include <cstdio>
#include <cstdlib>
#include "testsupport/KernelServiceDouble.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

const std::string kDirections = "SOFTWARE\\Velmar Soft\\Zozedi9\\Directions";

class RecordingList : public DirectionListPort {
public:
    void AddString(const std::string& text) override { items.push_back(text); }
    void SelectFirst() override { ++selects; }
    std::vector<std::string> items;
    int selects = 0;
};

// A kernel with scripted directions; other operations are not used here.
class FakeKernel : public test::KernelServiceDouble {
public:
    struct Script {
        HRESULT login = S_OK;
        std::vector<std::pair<std::uint32_t, std::string>> directions;
        int failAt = -1;   // GetDirection fails at this index
        int logins = 0;
    };
    explicit FakeKernel(Script& script) : script_(script) {}

    HRESULT Login(std::int32_t client, const std::string& product, std::int32_t mode) override {
        ++script_.logins;
        EXPECT_EQ(client, 1);
        EXPECT_EQ(product, "RAVIRI");
        EXPECT_EQ(mode, 1);
        return script_.login;
    }
    HRESULT GetDirectionCount(std::uint16_t& count) override {
        count = static_cast<std::uint16_t>(script_.directions.size());
        return S_OK;
    }
    HRESULT GetDirection(std::int32_t index, std::uint32_t& id, std::string& name) override {
        if (index == script_.failAt)
            return E_FAIL;
        id = script_.directions.at(static_cast<std::size_t>(index)).first;
        name = script_.directions.at(static_cast<std::size_t>(index)).second;
        return S_OK;
    }

private:
    Script& script_;
};

class KernelConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::remove(std::getenv("QUILLON_REGISTRY"));
        ReleaseKernelConnection();
    }
    void TearDown() override {
        posix::InstallPosixPorts().objects.UnregisterInProcess(clsid::KernelService);
        ReleaseKernelConnection();
    }
    void ServeFake() {
        posix::InstallPosixPorts().objects.RegisterInProcess(clsid::KernelService, [this] {
            ++created;
            return std::make_shared<FakeKernel>(script);
        });
    }
    static void Set(const std::string& key, const std::string& name, const std::string& value) {
        ASSERT_EQ(Registry().SetValue(RegistryRoot::LocalMachine, key, name, RegistryValue::String(value)), 0);
    }

    FakeKernel::Script script;
    int created = 0;
    test::ScriptedMessages messages;
    ScopedPorts ports{Ports{nullptr, &messages, nullptr, nullptr, nullptr, nullptr}};
};

TEST_F(KernelConnectionTest, EnsureConnectsOnceAndReleasesAFailedLogin) {
    EXPECT_FALSE(EnsureKernelConnection());   // no class registered at all
    ServeFake();
    script.login = E_ACCESSDENIED;
    EXPECT_FALSE(EnsureKernelConnection());
    EXPECT_FALSE(KernelConnection());
    script.login = S_OK;
    EXPECT_TRUE(EnsureKernelConnection());
    EXPECT_TRUE(EnsureKernelConnection());
    EXPECT_EQ(created, 2);
    EXPECT_EQ(script.logins, 2);
    EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(KernelConnectionTest, FillDirectionListAddsNamesInKernelOrderAndKeepsTheLaterIdOfADuplicateName) {
    ServeFake();
    script.directions = {{0x00020001, "Англо-русский"}, {0x00010002, "Русско-английский"}, {0x00020004, "Англо-русский"}};
    RecordingList list;
    std::map<std::string, std::uint32_t> names;
    ASSERT_TRUE(FillDirectionList(list, &names));
    EXPECT_EQ(list.items, (std::vector<std::string>{"Англо-русский", "Русско-английский", "Англо-русский"}));
    EXPECT_EQ(list.selects, 1);
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(names["Англо-русский"], 0x00020004u);
    RecordingList again;
    EXPECT_TRUE(FillDirectionList(again, nullptr));   // no name map is fine
    EXPECT_EQ(created, 1);
}

TEST_F(KernelConnectionTest, FillDirectionListOfAKernelWithoutDirectionsSucceedsEmpty) {
    ServeFake();
    RecordingList list;
    std::map<std::string, std::uint32_t> names;
    EXPECT_TRUE(FillDirectionList(list, &names));
    EXPECT_TRUE(list.items.empty());
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(list.selects, 1);
}

TEST_F(KernelConnectionTest, FillDirectionListFailures) {
    RecordingList list;
    EXPECT_FALSE(FillDirectionList(list, nullptr));   // no kernel: no message
    EXPECT_TRUE(messages.Shown().empty());

    ServeFake();
    script.directions = {{0x00020001, "Англо-русский"}, {0x00010002, "Русско-английский"}};
    script.failAt = 1;
    EXPECT_FALSE(FillDirectionList(list, nullptr));
    EXPECT_EQ(list.items, std::vector<std::string>{"Англо-русский"});   // added names stay
    EXPECT_EQ(list.selects, 0);
    ASSERT_EQ(messages.ShownIds(), std::vector<int>{57355});
    EXPECT_EQ(messages.Shown()[0].icon, MessageIcon::Error);
}

TEST_F(KernelConnectionTest, DirectionFolderFromTheRegistry) {
    EXPECT_EQ(GetDirectionFolder(0x00020001), "");   // no keys
    Set(kDirections, "Path", "");
    EXPECT_EQ(GetDirectionFolder(0x00020001), "");   // empty Path
    Set(kDirections, "Path", "/opt/kaldo/dirs");
    EXPECT_EQ(GetDirectionFolder(0x00020001), "/opt/kaldo/dirs/");   // no subkeys: the base
    Set(kDirections + "\\B", "DirID", "0x00010002");
    Set(kDirections + "\\B", "Prefix", "RE");
    Set(kDirections + "\\C", "DirID", "20001");
    Set(kDirections + "\\C", "Prefix", "ER");
    EXPECT_EQ(GetDirectionFolder(0x00020001), "/opt/kaldo/dirs/ER/");
    EXPECT_EQ(GetDirectionFolder(0x00010002), "/opt/kaldo/dirs/RE/");
    EXPECT_EQ(GetDirectionFolder(0x00040001), "/opt/kaldo/dirs/");   // no subkey carries it
    // Every spelling of the same number matches.
    for (const char* spelling : {"0x00020001", "00020001", "0X20001", "20001zz"}) {
        Set(kDirections + "\\C", "DirID", spelling);
        EXPECT_EQ(GetDirectionFolder(0x00020001), "/opt/kaldo/dirs/ER/") << spelling;
    }
    Set(kDirections + "\\C", "Prefix", "");
    EXPECT_EQ(GetDirectionFolder(0x00020001), "");   // matching subkey without Prefix
    Set(kDirections + "\\C", "Prefix", "ER");
    Set(kDirections, "Path", "/opt/kaldo/dirs/");
    EXPECT_EQ(GetDirectionFolder(0x00020001), "/opt/kaldo/dirs/ER/");
    // A subkey without DirID met first ends the walk empty, although a later one matches.
    ASSERT_EQ(Registry().OpenKey(RegistryRoot::LocalMachine, kDirections + "\\A", true), 0);
    EXPECT_EQ(GetDirectionFolder(0x00020001), "");
    // A DirID of 0 is passed over.
    Set(kDirections + "\\A", "DirID", "0");
    EXPECT_EQ(GetDirectionFolder(0x00020001), "/opt/kaldo/dirs/ER/");
}

} // namespace
} // namespace quillon
