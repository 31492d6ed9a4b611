// Which interface-language catalogue start-up looks for, and in which order.
#include "platform/Ports.h"
#include "platform/posix/HiveDocument.h"
#include "product/InterfaceLanguage.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

// Records every catalogue asked for; loads the ones listed as present.
class RecordingLoader : public ResourceLibraryLoader {
public:
    bool Load(const std::string& path) override {
        asked.push_back(path);
        return std::find(present.begin(), present.end(), path) != present.end();
    }
    std::vector<std::string> asked, present;
};

class InterfaceLanguageTest : public ::testing::Test {
protected:
    // A product set to `language` whose SharedRoot is `sharedRoot`.
    void Product(const char* language, const char* sharedRoot) {
        std::string error;
        auto doc = posix::HiveDocument::Parse(std::string("Windows Registry Editor Version 5.00\n"
                                                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmar Soft\\KLDO9]\n"
                                                          "\"KldoLangID\"=dword:") +
                                                  language +
                                                  "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmar Soft\\KLDO9\\Folders]\n"
                                                  "\"SharedRoot\"=\"" + sharedRoot + "\"\n",
                                              error);
        ASSERT_TRUE(doc) << error;
        hive_ = std::move(*doc);
    }
    posix::HiveDocument hive_;
    ScopedPorts ports_{Ports{.registry = &hive_}};
    RecordingLoader loader_;
};

TEST_F(InterfaceLanguageTest, EnglishIsLookedForBesideTheInstallerThenUnderSharedRoot) {
    Product("00000409", "/opt/kaldo/shared");
    EXPECT_EQ(GetInterfaceLanguageId(), 0x0409u);
    EXPECT_EQ(LoadInterfaceResources("B", "/media/cdrom/quillon", loader_), "");
    EXPECT_EQ(loader_.asked, (std::vector<std::string>{"/media/cdrom/BResENU.qm", "/opt/kaldo/shared/1033/BResENU.qm"}));

    // Without a base name the program's own name, its extension removed, is the base.
    loader_.asked.clear();
    loader_.present = {"/media/cdrom/setupResENU.qm"};
    EXPECT_EQ(LoadInterfaceResources({}, "/media/cdrom/setup.bin", loader_), "/media/cdrom/setupResENU.qm");
    EXPECT_EQ(loader_.asked.size(), 1u);
}

TEST_F(InterfaceLanguageTest, RussianHasACatalogueCodeTooItalianNone) {
    Product("00000419", "/opt/kaldo/shared");
    loader_.present = {"/opt/kaldo/shared/1049/quillonResRUS.qm"};
    EXPECT_EQ(LoadInterfaceResources("quillon", "/usr/lib/quillon/quillon", loader_),
              "/opt/kaldo/shared/1049/quillonResRUS.qm");

    Product("00000410", "/opt/kaldo/shared");
    loader_.asked.clear();
    EXPECT_EQ(LoadInterfaceResources("quillon", "/usr/lib/quillon/quillon", loader_), "");
    EXPECT_TRUE(loader_.asked.empty());
    EXPECT_EQ(LanguageCode(0x0C0A), "ESN"); // by the primary language alone
}

TEST_F(InterfaceLanguageTest, AnEmptySharedRootLeavesOnlyTheCatalogueBesideTheInstaller) {
    Product("00000409", "");
    EXPECT_EQ(FindResourceLibrary("quillon", {}), "");
    EXPECT_EQ(LoadInterfaceResources("quillon", "/usr/lib/quillon/quillon", loader_), "");
    EXPECT_EQ(loader_.asked, std::vector<std::string>{"/usr/lib/quillon/quillonResENU.qm"});

    Product("00000000", "/opt/kaldo/shared"); // no language
    loader_.asked.clear();
    EXPECT_EQ(LoadInterfaceResources("quillon", "/usr/lib/quillon/quillon", loader_), "");
    EXPECT_TRUE(loader_.asked.empty());
}

} // namespace
} // namespace quillon
