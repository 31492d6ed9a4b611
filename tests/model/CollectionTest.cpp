// Collections, their copies, sharing of items between profiles, and the distribution list.
#include "model/DictCollection.h"
#include "model/DictDistrib.h"

#include "model/ModelFixtures.h"
#include "product/ComError.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::CountedTopic;
using test::MakeDictionary;

CDictCollection MakeCollection(const std::string& idText, int* deleted, int profiles = 2) {
    CDictCollection collection;
    collection.SetIdText(idText);
    collection.SetDisplayName("Коллекция " + idText);
    collection.SetNumericId(42);
    collection.SetComment("comment");
    collection.SetCopyright("(c) Velmar");
    for (int i = 0; i < profiles; ++i) {
        CSmartPtr<CVdxTopicInfo> profile(new CountedTopic(deleted));
        profile->SetKey("P" + std::to_string(i));
        collection.GetProfiles().push_back(profile);
    }
    auto law = MakeDictionary("law", 10);
    collection.GetDictionaries()["law"] = law;
    collection.GetBasesTM()["tm"] = test::MakeBaseTM("tm", 5);
    return collection;
}

TEST(DictCollection, ACopyCarriesNamesAndProfilesButNotTablesOrTexts) {
    int deleted = 0;
    CSmartPtr<CDictCollection> original(new CDictCollection(MakeCollection("ABC", &deleted)));
    CSmartPtr<CDictCollection> holder(original);
    ASSERT_EQ(original->GetRefCount(), 2);

    CDictCollection copy(*original);
    EXPECT_EQ(copy.GetRefCount(), 0);
    EXPECT_EQ(copy.GetDisplayName(), "Коллекция ABC");
    EXPECT_EQ(copy.GetIdText(), "ABC");
    EXPECT_EQ(copy.GetNumericId(), 42);
    EXPECT_EQ(copy.GetProfileCount(), 2u);
    EXPECT_EQ(copy.GetProfiles()[0].Get(), original->GetProfiles()[0].Get())
        << "the same profile objects";
    EXPECT_EQ(copy.GetProfiles()[0]->GetRefCount(), 2);
    EXPECT_TRUE(copy.GetComment().empty());
    EXPECT_TRUE(copy.GetCopyright().empty());
    EXPECT_TRUE(copy.GetDictionaries().empty());
    EXPECT_TRUE(copy.GetBasesTM().empty());

    // Assigning a collection gives the same result and drops the old content.
    CDictCollection assigned = MakeCollection("X", &deleted, 1);
    assigned = *original;
    EXPECT_EQ(assigned.GetIdText(), "ABC");
    EXPECT_EQ(assigned.GetProfileCount(), 2u);
    EXPECT_TRUE(assigned.GetComment().empty());
    EXPECT_TRUE(assigned.GetDictionaries().empty());
    EXPECT_EQ(deleted, 1) << "the profile only the assigned collection held is gone";
}

TEST(DictCollection, ReleasingTheLastReferenceDeletesProfilesNoCopyHolds) {
    int deleted = 0;
    CDictDistrib distribution;
    {
        CSmartPtr<CDictCollection> read(new CDictCollection(MakeCollection("A", &deleted)));
        distribution.GetCollections().push_back(*read);
    }
    EXPECT_EQ(deleted, 0) << "the copy in the distribution still holds the profiles";
    EXPECT_EQ(distribution.FindCollection("a").GetProfiles()[1]->GetRefCount(), 1);
    distribution.GetCollections().clear();
    EXPECT_EQ(deleted, 2);

    { CSmartPtr<CDictCollection> alone(new CDictCollection(MakeCollection("B", &deleted, 3))); }
    EXPECT_EQ(deleted, 5);
}

TEST(DictCollection, TwoProfilesShareOneDictionary) {
    int deleted = 0;
    CSmartPtr<CDictCollection> collection(new CDictCollection(MakeCollection("A", &deleted)));
    auto& law = collection->GetDictionaries()["law"];
    auto& profiles = collection->GetProfiles();
    profiles[0]->Dictionaries().push_back(law);
    profiles[1]->Dictionaries().push_back(law);
    EXPECT_EQ(law->GetRefCount(), 3);

    // Changing it through one profile shows through the other.
    profiles[0]->Dictionaries()[0]->SetSelected(false);
    profiles[0]->Dictionaries()[0]->SetUID("{A5B0C6F2-0000-4000-8000-000000000001}");
    EXPECT_FALSE(profiles[1]->Dictionaries()[0]->IsSelected());
    EXPECT_EQ(profiles[1]->Dictionaries()[0]->GetUID(), "{A5B0C6F2-0000-4000-8000-000000000001}");

    // The dictionary lives as long as one profile lists it.
    CSmartPtr<CDictInfo> watch(law);
    collection->GetDictionaries().clear();
    profiles[0]->Dictionaries().clear();
    EXPECT_EQ(watch->GetRefCount(), 2);
}

TEST(DictDistrib, FindCollectionIgnoresCaseAndTakesTheFirstMatch) {
    int deleted = 0;
    CDictDistrib distribution;
    distribution.GetCollections().push_back(MakeCollection("ABC", &deleted, 1));
    distribution.GetCollections().back().SetDisplayName("first");
    distribution.GetCollections().push_back(MakeCollection("abc", &deleted, 1));
    distribution.GetCollections().push_back(MakeCollection("Юрид", &deleted, 1));

    EXPECT_EQ(distribution.FindCollection("abc").GetDisplayName(), "first");
    EXPECT_EQ(distribution.FindCollection("aBc").GetDisplayName(), "first");
    EXPECT_EQ(distribution.FindCollection("юРИД").GetIdText(), "Юрид");
    const CDictDistrib& constant = distribution;
    EXPECT_EQ(&constant.FindCollection("ABC"), &distribution.GetCollections().front());

    EXPECT_TRUE(CDictDistrib::CDDEqualCollID("ЮРИД")(distribution.GetCollections().back()));
    EXPECT_FALSE(CDictDistrib::CDDEqualCollID("AB")(distribution.GetCollections().front()));
}

TEST(DictDistrib, FindCollectionRaisesInvalidArgumentWhenNoneMatches) {
    int deleted = 0;
    CDictDistrib distribution;
    try {
        distribution.FindCollection("abc");
        FAIL() << "an empty list has no collection";
    } catch (const ComError& error) {
        EXPECT_EQ(error.Error(), E_INVALIDARG);
        EXPECT_EQ(static_cast<std::uint32_t>(error.Error()), 0x80070057u);
    }
    distribution.GetCollections().push_back(MakeCollection("ABC", &deleted, 1));
    EXPECT_THROW(distribution.FindCollection("AB"), ComError);
    EXPECT_THROW(distribution.FindCollection("ABCD"), ComError);
    EXPECT_THROW(distribution.FindCollection(""), ComError);
}

} // namespace
} // namespace quillon
