#include "descriptions/DictCollectionLoader.h"
#include "LoaderFixtures.h"
#include "model/VdxKeywords.h"
#include "model/VdxKeywordsFile.h"
#include "model/VdxWWTsFile.h"
#include "product/ComError.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillon {
namespace {

constexpr DirectionId kER = 0x00020001, kGR = 0x00020004, kFR = 0x00020008;

std::unique_ptr<InstalledDirections> Installed(std::initializer_list<DirectionId> ids) {
    auto map = std::make_unique<InstalledDirections>();
    for (DirectionId id : ids)
        (*map)[static_cast<std::int32_t>(id)] = "direction";
    return map;
}

const char* kRaviri = R"(
section "5 - templates"
  S "business" ""
  S "legal" ""
  S "french" ""
section "5 - collection"
  S "Name.R" "Бизнес и право"
  S "Name.E" "Business and law"
section "9 - templates"
  S "legal" ""
section "12 - collection"
  S "Name.R" "Без шаблонов"
section " - templates"
  S "nothing" ""
)";

const char* kSetup = R"(
section "Info"
  S "Comment.R" "Комментарий"
  S "Copyright.R" "(c) Velmar Soft"
section "business"
  I "Size" 100
  S "NameOnCD" "topics\\business.tpl"
  S "Direction" "er"
  S "Name.R" "Бизнес"
  S "Dictionaries" "law;econ;;ignored"
  S "BaseTM" "tm1"
  S "Preproc" "p1;p2;p3"
  I "Preproc.p1" 3
  I "Preproc.p3" 7
  S "Algo.1" "Mode | fast;Style"
  S "Algo.3" "Lost|1"
  S "WWT" "topics\\b.wwt"
  S "Keywords" "topics\\b.kw"
  S "Keywords.2" "второй"
  S "Keywords.1" "первый"
  I "ShowTransVariants" 5
  S "TranslitUnknown" "0"
section "legal"
  I "Size" 50
  S "Direction" "ER"
  S "Name.R" "Право"
  S "Dictionaries" "law; econ;../evil;bad-dir"
section "french"
  S "Direction" "FR"
  S "Name.R" "Французский"
section "law"
  I "Size" 1000
  S "NameOnCD" "DICTS\\LAW.ER"
  S "Direction" "ER"
  S "Name.R" "Юридический"
section "econ"
  I "Size" 2000
  S "Direction" "ER"
  S "Name.R" "Экономический"
section " econ"
  S "Direction" "GR"
section "../evil"
  S "Direction" "ER"
section "bad-dir"
  S "Direction" "XR"
section "tm1"
  I "Size" 30
  S "Direction" "ER"
  S "Name.R" "Память"
section "p1"
  S "UID" "{P1}"
section "p3"
  S "UID" "{P3}"
)";

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dist.Write(kRaviri, kSetup);
        dist.dir.Write("Topics/Business.tpl", "t");
    }
    CDictCollectionLoader Loader(std::initializer_list<DirectionId> installed = {kER, kGR}) {
        return CDictCollectionLoader(dist.setupIni(), dist.raviriInf(), dist.folder(), Installed(installed));
    }
    test::Distribution dist;
};

TEST_F(LoaderTest, ListsEveryCollectionWithItsNamesAndProfiles) {
    auto loader = Loader();
    CDictDistrib distribution;
    ASSERT_EQ(loader.ListCollections(distribution), 2);
    const CDictCollection& five = distribution.FindCollection("5");
    EXPECT_EQ(five.GetDisplayName(), "Бизнес и право");
    EXPECT_EQ(five.GetNumericId(), 5);
    EXPECT_EQ(five.GetProfileCount(), 3u);
    // A copy carries no tables, comment or copyright.
    EXPECT_TRUE(five.GetDictionaries().empty());
    EXPECT_EQ(five.GetComment(), "");
    // Without "Name.R" the identifier is the display name.
    EXPECT_EQ(distribution.FindCollection("9").GetDisplayName(), "9");
}

TEST_F(LoaderTest, ReadsAProfileCompletely) {
    auto loader = Loader();
    CSmartPtr<CDictCollection> collection(new CDictCollection);
    ASSERT_TRUE(loader.ReadCollection("5", *collection));
    EXPECT_EQ(collection->GetComment(), "Комментарий");
    EXPECT_EQ(collection->GetCopyright(), "(c) Velmar Soft");
    ASSERT_EQ(collection->GetProfileCount(), 3u);

    // Profiles in RAVIRI.INF's index order; find "business" among them.
    CVdxTopicInfo* business = nullptr;
    for (auto& p : collection->GetProfiles())
        if (p->GetKey() == "business")
            business = p.Get();
    ASSERT_NE(business, nullptr);
    EXPECT_EQ(business->GetDirID(), kER);
    EXPECT_TRUE(business->IsSupported());
    EXPECT_TRUE(business->IsSelected());
    EXPECT_EQ(business->GetFullName(), "Англо-русский коллекция словарей \"Бизнес\"");
    // The profile file is found with the spelling it has on disk.
    EXPECT_EQ(business->GetFilePath(), dist.dir / "Topics/Business.tpl");

    ASSERT_EQ(business->Dictionaries().size(), 2u); // "law;econ;;ignored": up to the empty piece
    EXPECT_EQ(business->Dictionaries()[0]->GetKey(), "law");
    EXPECT_EQ(business->Dictionaries()[0]->GetFullName(), "Англо-русский словарь \"Юридический\"");
    EXPECT_EQ(business->Dictionaries()[0]->GetFileNameOnCD(), "DICTS\\LAW.ER");
    ASSERT_EQ(business->BasesTM().size(), 1u);
    EXPECT_EQ(business->BasesTM()[0]->GetFullName(), "Англо-русская база ТМ \"Память\"");

    // "p2" has no UID: the others get the indexes 0 and 1.
    ASSERT_EQ(business->Preprocessors().size(), 2u);
    EXPECT_EQ(business->Preprocessors()[0]->GetUID(), "{P1}");
    EXPECT_EQ(business->Preprocessors()[0]->GetMask(), 3);
    EXPECT_EQ(business->Preprocessors()[1]->GetIndex(), 1);
    EXPECT_EQ(business->Preprocessors()[1]->GetMask(), 7);

    // "Algo.1" only (no "Algo.2"): two settings.
    ASSERT_EQ(business->Algorithms().size(), 2u);
    EXPECT_EQ(business->Algorithms()[0]->GetName(), "Mode");
    EXPECT_EQ(business->Algorithms()[0]->GetValue(), "fast");
    EXPECT_EQ(business->Algorithms()[1]->GetName(), "Style");
    EXPECT_EQ(business->Algorithms()[1]->GetValue(), "");

    // Keyword texts in number order, then the keywords file, then the WWT file.
    ASSERT_EQ(business->Items().size(), 4u);
    EXPECT_EQ(dynamic_cast<CVdxKeywords*>(business->Items()[0].Get())->GetText(), "первый");
    EXPECT_EQ(dynamic_cast<CVdxKeywords*>(business->Items()[1].Get())->GetText(), "второй");
    EXPECT_EQ(dynamic_cast<CVdxKeywordsFile*>(business->Items()[2].Get())->GetFilePath(), dist.dir / "Topics/b.kw");
    EXPECT_EQ(dynamic_cast<CVdxWWTsFile*>(business->Items()[3].Get())->GetFilePath(), dist.dir / "Topics/b.wwt");

    EXPECT_EQ(business->GetShowVariants(), "true");
    EXPECT_EQ(business->GetTranslitUnknown(), "0");
}

TEST_F(LoaderTest, DictionariesAreSharedWithinACollectionOnly) {
    auto loader = Loader();
    CSmartPtr<CDictCollection> collection(new CDictCollection);
    ASSERT_TRUE(loader.ReadCollection("5", *collection));
    CVdxTopicInfo *business = nullptr, *legal = nullptr;
    for (auto& p : collection->GetProfiles()) {
        if (p->GetKey() == "business")
            business = p.Get();
        if (p->GetKey() == "legal")
            legal = p.Get();
    }
    ASSERT_TRUE(business && legal);
    // "law; econ;../evil;bad-dir": " econ" names a GR section; the unsafe key and the invalid
    // direction are left out.
    ASSERT_EQ(legal->Dictionaries().size(), 2u);
    EXPECT_EQ(legal->Dictionaries()[0].Get(), business->Dictionaries()[0].Get());
    EXPECT_EQ(legal->Dictionaries()[1]->GetKey(), " econ");
    business->Dictionaries()[0]->SetSelected(false);
    EXPECT_FALSE(legal->Dictionaries()[0]->IsSelected());
    EXPECT_EQ(collection->GetDictionaries().size(), 3u);

    CSmartPtr<CDictCollection> other(new CDictCollection);
    ASSERT_TRUE(loader.ReadCollection("9", *other));
    EXPECT_NE(other->GetDictionaries().at("law").Get(), collection->GetDictionaries().at("law").Get());
}

TEST_F(LoaderTest, SupportFollowsTheInstalledDirections) {
    auto loader = Loader({kGR});
    CSmartPtr<CDictCollection> collection(new CDictCollection);
    ASSERT_TRUE(loader.ReadCollection("5", *collection));
    for (auto& p : collection->GetProfiles()) {
        EXPECT_FALSE(p->IsSupported()) << p->GetKey();
        if (p->GetKey() == "french") {
            EXPECT_EQ(p->GetDirID(), kFR);
        }
    }
    EXPECT_TRUE(collection->GetDictionaries().at(" econ")->IsSupported());
}

TEST_F(LoaderTest, ProfileWithoutSectionStaysWithoutDirection) {
    dist.Write("section \"1 - templates\"\n  S \"ghost\" \"\"\n", "section \"Info\"\n");
    auto loader = Loader();
    CSmartPtr<CDictCollection> collection(new CDictCollection);
    ASSERT_TRUE(loader.ReadCollection("1", *collection));
    ASSERT_EQ(collection->GetProfileCount(), 1u);
    const auto& ghost = collection->GetProfiles()[0];
    EXPECT_EQ(ghost->GetKey(), "ghost");
    EXPECT_EQ(ghost->GetDirID(), 0u);
    EXPECT_FALSE(ghost->IsSelected());
    EXPECT_FALSE(ghost->IsSupported());
    EXPECT_EQ(ghost->GetFullName(), "");
}

TEST_F(LoaderTest, UnreadableDescriptionsFailTheReadAndTheList) {
    dist.dir.Write("RAVIRI.INF", "garbage");
    auto loader = Loader();
    CDictDistrib distribution;
    EXPECT_EQ(loader.ListCollections(distribution), 0);
    CSmartPtr<CDictCollection> collection(new CDictCollection);
    EXPECT_FALSE(loader.ReadCollection("5", *collection));
    // An empty identifier after a successful load leaves the collection untouched.
    dist.Write(kRaviri, kSetup);
    auto fresh = Loader();
    collection->SetDisplayName("kept");
    EXPECT_TRUE(fresh.ReadCollection("", *collection));
    EXPECT_EQ(collection->GetDisplayName(), "kept");
}

TEST_F(LoaderTest, NoDirectionMapIsAConstructionError) {
    try {
        CDictCollectionLoader loader(dist.setupIni(), dist.raviriInf(), dist.folder(), nullptr);
        ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.Error(), E_UNEXPECTED);
    }
}

TEST_F(LoaderTest, PathsThatLeaveTheDistributionCountAsMissing) {
    dist.Write("section \"1 - templates\"\n  S \"p\" \"\"\n",
               "section \"p\"\n  S \"Direction\" \"ER\"\n  S \"NameOnCD\" \"..\\\\..\\\\etc\\\\passwd\"\n"
               "  S \"Keywords\" \"/etc/shadow\"\n  S \"WWT\" \"C:\\\\x.wwt\"\n");
    auto loader = Loader();
    CSmartPtr<CDictCollection> collection(new CDictCollection);
    ASSERT_TRUE(loader.ReadCollection("1", *collection));
    const auto& p = collection->GetProfiles()[0];
    EXPECT_EQ(p->GetFilePath(), "");
    EXPECT_TRUE(p->Items().empty());
}

// Symbolic links planted in the distribution: to /etc, to a file outside, in a loop.
TEST_F(LoaderTest, LinksThatLeadOutsideTheDistributionCountAsMissing) {
    dist.Write("section \"1 - templates\"\n  S \"p\" \"\"\n",
               "section \"p\"\n  S \"Direction\" \"ER\"\n  S \"NameOnCD\" \"system\\\\passwd\"\n"
               "  S \"Keywords\" \"topics\\\\secret.kw\"\n  S \"WWT\" \"loop.wwt\"\n");
    test::TempDir outside;
    std::filesystem::create_directory_symlink("/etc", dist.dir / "system");
    std::filesystem::create_symlink(outside.Write("secret.kw", "k"), dist.dir / "Topics/secret.kw");
    std::filesystem::create_symlink(dist.dir / "loop.wwt", dist.dir / "loop.wwt");
    auto loader = Loader();
    CSmartPtr<CDictCollection> collection(new CDictCollection);
    ASSERT_TRUE(loader.ReadCollection("1", *collection));
    const auto& p = collection->GetProfiles()[0];
    EXPECT_EQ(p->GetFilePath(), "");
    EXPECT_TRUE(p->Items().empty());
}

} // namespace
} // namespace quillon
