// Installed translation profiles (collections): ReplaceMode, listing and removal with shared
// dictionaries and TM bases.
#include "ProductFixture.h"

#include "Product.h"
#include "platform/Ports.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace kaldo::test {
namespace {

using namespace quillon;

class CollectionTest : public ProductFixture {
protected:
    void SetUp() override {
        ProductFixture::SetUp();
        kernel_ = Kernel();
        ASSERT_TRUE(kernel_);
    }
    std::string Import(const std::string& name, std::uint32_t direction = kER) {
        const std::string path = MakeDictionary(name, direction);
        EXPECT_EQ(kernel_->ImportDictionary(path, direction, 0, nullptr), S_OK) << name;
        return GuidOf(path);
    }
    std::string InstallTm(const std::string& file) {
        const std::string source = temp_.Write("dist/" + file, "tm " + file);
        std::string reply;
        EXPECT_EQ(kernel_->InstallBaseTM(source, 1, "<Memory><UID></UID><DirID>131073</DirID><Name>t</Name><File>" +
                                                        file + "</File><FullName>t</FullName></Memory>", 1, reply),
                  S_OK);
        const auto open = reply.find("<UID>");
        return reply.substr(open + 5, reply.find("</UID>") - open - 5);
    }
    std::vector<std::string> Names(std::uint32_t direction) {
        std::vector<std::string> names;
        std::uint16_t count = 0;
        EXPECT_EQ(kernel_->GetCollectionCount(direction, count), S_OK);
        for (std::uint16_t i = 0; i < count; ++i) {
            std::string name;
            std::int32_t state = -1;
            EXPECT_EQ(kernel_->GetCollectionName(direction, i, name), S_OK);
            EXPECT_EQ(kernel_->GetCollectionState(direction, i, state), S_OK);
            EXPECT_EQ(state, 0);
            names.push_back(name);
        }
        return names;
    }
    std::unique_ptr<Product> Open() {
        std::string error;
        auto p = Product::OpenAt(root_, std::getenv("QUILLON_REGISTRY"), error);
        EXPECT_TRUE(p) << error;
        return p;
    }

    std::shared_ptr<KernelService> kernel_;
};

TEST_F(CollectionTest, ReplaceModeReplacesSkipsOrKeepsWithAnExplanation) {
    const std::string x = Import("x.er");
    const std::string first = ProfileXml("General", kER, {}), second = ProfileXml("General", kER, {x});
    std::string reply = "untouched";
    ASSERT_EQ(kernel_->InstallProfile(first, 2, reply), S_OK);
    EXPECT_EQ(reply, "");

    ASSERT_EQ(kernel_->InstallProfile(second, 0, reply), S_FALSE);   // skip: silently kept
    EXPECT_EQ(reply, "");
    EXPECT_EQ(Open()->Collections(kER).at(0).xml, first);

    ASSERT_EQ(kernel_->InstallProfile(second, 2, reply), S_FALSE);   // ask: kept, and said so
    EXPECT_NE(reply.find("General"), std::string::npos);
    EXPECT_NE(reply.find("без изменений"), std::string::npos);
    EXPECT_EQ(Open()->Collections(kER).at(0).xml, first);

    ASSERT_EQ(kernel_->InstallProfile(second, 1, reply), S_OK);      // replace
    const auto now = Open()->Collections(kER);
    ASSERT_EQ(now.size(), 1u);
    EXPECT_EQ(now[0].xml, second);
    EXPECT_EQ(now[0].dictionaries, std::vector<std::string>{x});
    EXPECT_EQ(now[0].fullName, "Профиль General");
    EXPECT_EQ(Names(kER), std::vector<std::string>{"General"});
}

TEST_F(CollectionTest, BadProfileDescriptionsAreRefusedAndNothingIsInstalled) {
    std::string reply;
    EXPECT_EQ(kernel_->InstallProfile("<Topic><Name>x</Name>", 1, reply), E_INVALIDARG);
    EXPECT_EQ(kernel_->InstallProfile("<Memory/>", 1, reply), E_INVALIDARG);
    EXPECT_EQ(kernel_->InstallProfile(ProfileXml("Other", 0x00040001, {}), 1, reply), E_INVALIDARG);
    EXPECT_EQ(kernel_->InstallProfile(ProfileXml("Mode", kER, {}), 3, reply), E_INVALIDARG);
    EXPECT_TRUE(Names(kER).empty());
    // Escaped text reads back as the model's value.
    ASSERT_EQ(kernel_->InstallProfile(ProfileXml("A &amp; B &lt;1&gt;", kER, {}), 1, reply), S_OK);
    EXPECT_EQ(Names(kER), std::vector<std::string>{"A & B <1>"});
}

TEST_F(CollectionTest, RemovalKeepsSharedObjectsUntilTheirLastProfileGoes) {
    const std::string d1 = Import("one.er"), d2 = Import("shared.er"), t1 = InstallTm("one.tmb");
    std::string reply;
    ASSERT_EQ(kernel_->InstallProfile(ProfileXml("P1", kER, {d1, d2}, {t1}), 1, reply), S_OK);
    ASSERT_EQ(kernel_->InstallProfile(ProfileXml("P2", kER, {d2}), 1, reply), S_OK);
    ASSERT_EQ(Names(kER), (std::vector<std::string>{"P1", "P2"}));

    ASSERT_EQ(kernel_->RemoveCollection(kER, 0), S_OK);   // P1
    EXPECT_EQ(Names(kER), std::vector<std::string>{"P2"});
    EXPECT_EQ(FilesIn(Folder("ER")), (std::vector<std::string>{"GENDICT.ER", "shared.er"}));
    EXPECT_TRUE(FilesIn(root_ + "/tm").empty());
    EXPECT_TRUE(Open()->TmBases().empty());

    ASSERT_EQ(kernel_->RemoveCollection(kER, 0), S_OK);   // P2, the last one naming shared.er
    EXPECT_TRUE(Names(kER).empty());
    EXPECT_EQ(FilesIn(Folder("ER")), std::vector<std::string>{"GENDICT.ER"});
    EXPECT_TRUE(Open()->Dictionaries().empty());
    EXPECT_LT(kernel_->RemoveCollection(kER, 0), 0);
    EXPECT_TRUE(Open()->Verify().empty());
}

TEST_F(CollectionTest, ALockedDictionaryKeepsItsCollectionWhole) {
    const std::string d1 = Import("busy.er");
    std::string reply;
    ASSERT_EQ(kernel_->InstallProfile(ProfileXml("Busy", kER, {d1}), 1, reply), S_OK);
    ASSERT_EQ(RunProductTool({"lock", d1}), 0);
    EXPECT_EQ(kernel_->RemoveCollection(kER, 0), KLDO_E_IN_USE);
    EXPECT_EQ(Names(kER), std::vector<std::string>{"Busy"});
    EXPECT_EQ(FilesIn(Folder("ER")), (std::vector<std::string>{"GENDICT.ER", "busy.er"}));
    ASSERT_EQ(RunProductTool({"unlock", d1}), 0);
    EXPECT_EQ(kernel_->RemoveCollection(kER, 0), S_OK);
}

TEST_F(CollectionTest, DirectionAndAllRemovalsReachOnlyTheirCollections) {
    const std::string er = Import("er.er"), re = Import("re.re", kRE);
    std::string reply;
    ASSERT_EQ(kernel_->InstallProfile(ProfileXml("E1", kER, {er}), 1, reply), S_OK);
    ASSERT_EQ(kernel_->InstallProfile(ProfileXml("E2", kER, {}), 1, reply), S_OK);
    ASSERT_EQ(kernel_->InstallProfile(ProfileXml("R1", kRE, {re}), 1, reply), S_OK);
    ASSERT_EQ(kernel_->RemoveDirectionCollections(kER), S_OK);
    EXPECT_TRUE(Names(kER).empty());
    EXPECT_EQ(Names(kRE), std::vector<std::string>{"R1"});
    EXPECT_EQ(FilesIn(Folder("ER")), std::vector<std::string>{"GENDICT.ER"});
    EXPECT_EQ(FilesIn(Folder("RE")), (std::vector<std::string>{"GENDICT.RE", "re.re"}));
    ASSERT_EQ(kernel_->RemoveAllCollections(), S_OK);
    EXPECT_TRUE(Names(kRE).empty());
    EXPECT_EQ(FilesIn(Folder("RE")), std::vector<std::string>{"GENDICT.RE"});
}

// A removal that runs between an installation's import and its registration takes the then
// unreferenced dictionary away: the registration that follows is refused with 0x800F0015 rather
// than leaving a profile that names what the product does not hold.
TEST_F(CollectionTest, AProfileNamingWhatARemovalTookAwayIsRefused) {
    const std::string shared = Import("shared.er");
    const std::string tm = InstallTm("t.tmx");
    std::string text;
    ASSERT_EQ(kernel_->InstallProfile(ProfileXml("first", kER, {shared}, {tm}), 1, text), S_OK);
    // The second installation meets the dictionary as there; then everything is removed.
    ASSERT_EQ(kernel_->RemoveAllCollections(), S_OK);
    EXPECT_EQ(kernel_->InstallProfile(ProfileXml("second", kER, {shared}), 1, text), KLDO_E_CANNOT_OPEN);
    EXPECT_EQ(kernel_->InstallProfile(ProfileXml("third", kER, {}, {tm}), 1, text), KLDO_E_CANNOT_OPEN);
    EXPECT_TRUE(Names(kER).empty());
    EXPECT_EQ(ProductProblems(), "");
}

// Listing the installed collections as the kernel's catalogue calls do (count, then name and
// state by index) costs one statement per call, however many are installed: the listing does
// not become quadratic again. Statements, not time, are counted.
TEST_F(CollectionTest, ListingCostsOneStatementPerCallWhateverIsInstalled) {
    std::string text;
    for (const int installed : {10, 40}) {
        for (int i = static_cast<int>(Names(kER).size()); i < installed; ++i)
            ASSERT_EQ(kernel_->InstallProfile(ProfileXml("P" + std::to_string(i), kER, {}), 1, text), S_OK);
        auto product = Open();
        const std::uint64_t before = product->Db().Statements();
        const std::size_t count = product->CollectionIndex(kER).size();
        ASSERT_EQ(count, static_cast<std::size_t>(installed));
        for (std::size_t index = 0; index < count; ++index) {
            EXPECT_FALSE(product->CollectionIndex(kER)[index].name.empty());
            EXPECT_EQ(product->CollectionIndex(kER)[index].state, 0);
        }
        // One change stamp per call, and the one query that made the index.
        EXPECT_EQ(product->Db().Statements() - before, 2 * count + 2) << installed;
        // A change (here, of another connection) is seen at the next call.
        ASSERT_EQ(kernel_->InstallProfile(ProfileXml("Extra" + std::to_string(installed), kER, {}), 1, text), S_OK);
        EXPECT_EQ(product->CollectionIndex(kER).size(), count + 1);
        std::string detail;
        ASSERT_EQ(product->RemoveCollection(kER, static_cast<std::uint16_t>(count), detail), S_OK) << detail;
        EXPECT_EQ(product->CollectionIndex(kER).size(), count);
    }
}

} // namespace
} // namespace kaldo::test
