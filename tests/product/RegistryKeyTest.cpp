#include "platform/Ports.h"
#include "platform/posix/HiveDocument.h"
#include "product/RegistryKey.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        auto doc = posix::HiveDocument::Parse(R"(Windows Registry Editor Version 5.00
[HKEY_LOCAL_MACHINE\SOFTWARE\Velmar Soft\KLDO9]
"Two"=hex:10,27
"One"=hex:ff
"Five"=hex:01,02,03,04,05
"Dword"=dword:00001388
"Empty"=""
"Text"="текст"
[HKEY_LOCAL_MACHINE\SOFTWARE\Velmar Soft\Zozedi9\Directions\ER]
[HKEY_LOCAL_MACHINE\SOFTWARE\Velmar Soft\Zozedi9\Directions\GR]
)",
                                              error);
        ASSERT_TRUE(doc) << error;
        hive_ = std::move(*doc);
    }
    posix::HiveDocument hive_;
    ScopedPorts ports_{Ports{.registry = &hive_}};
};

TEST_F(RegistryKeyTest, DwordReadsOneToFourBytesLittleEndian) {
    CRegistryKey key;
    ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9\\"));
    EXPECT_EQ(key.GetDword("Two", 7), 10000u);
    EXPECT_EQ(key.GetDword("One", 7), 255u);
    EXPECT_EQ(key.GetDword("Dword", 7), 5000u);
    EXPECT_EQ(key.GetDword("Five", 7), 7u);
    EXPECT_EQ(key.GetDword("Missing", 7), 7u);
    EXPECT_EQ(key.LastResult(), regerr::FileNotFound);
}

TEST_F(RegistryKeyTest, StringFallsBackToTheDefault) {
    CRegistryKey key;
    ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, "software\\velmar soft\\kldo9"));
    EXPECT_EQ(key.GetString("Text", "d"), "текст");
    EXPECT_EQ(key.GetString("Missing", "d"), "d");
    // An empty string still has its terminator: it is read as empty, not as the default.
    EXPECT_EQ(key.GetString("Empty", "d"), "");
    key.Close();
    EXPECT_EQ(key.GetString("Text", "closed"), "closed");
    EXPECT_EQ(key.Path(), "");
    EXPECT_EQ(key.SubkeyIndex(), -1);
}

TEST_F(RegistryKeyTest, OpenDoesNotCreateButOpenChildDoes) {
    CRegistryKey key;
    EXPECT_FALSE(key.Open(RegistryRoot::LocalMachine, "SOFTWARE\\Nowhere"));
    EXPECT_EQ(key.LastResult(), regerr::FileNotFound);
    EXPECT_EQ(key.OpenChild("X"), nullptr);
    ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\Zozedi9\\", KEY_ALL_ACCESS));
    auto child = key.OpenChild("Directions");
    ASSERT_NE(child, nullptr);
    auto created = child->OpenChild("New");
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->Path(), "SOFTWARE\\Velmar Soft\\Zozedi9\\Directions\\New");
    CRegistryKey again;
    EXPECT_TRUE(again.Open(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\Zozedi9\\Directions\\New"));
}

TEST_F(RegistryKeyTest, SubkeyEnumeration) {
    CRegistryKey key;
    ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\Zozedi9\\Directions"));
    EXPECT_EQ(key.SubkeyIndex(), -1);
    std::string name;
    EXPECT_FALSE(key.NextSubkeyName(name)); // StartSubkeys was not called
    key.StartSubkeys();
    std::vector<std::string> names;
    while (key.NextSubkeyName(name))
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"ER", "GR"}));
    EXPECT_EQ(key.LastResult(), regerr::NoMoreItems);

    CRegistryKey leaf;
    ASSERT_TRUE(leaf.Open(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\Zozedi9\\Directions\\ER"));
    leaf.StartSubkeys();
    EXPECT_FALSE(leaf.NextSubkeyName(name));
}

} // namespace
} // namespace quillon
