// Disk-space counting passes.
#include "model/VdxCollectionItem.h"
#include "model/VdxTopicInfo.h"

#include "model/ModelFixtures.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using test::MakeBaseTM;
using test::MakeDictionary;

TEST(CountSize, AnItemCountsOncePerPass) {
    auto dictionary = MakeDictionary("law", 1000);
    EXPECT_EQ(dictionary->GetCountingPass(), 0u);
    EXPECT_EQ(dictionary->CountSize(7), 1000);
    EXPECT_EQ(dictionary->GetCountingPass(), 7u);
    EXPECT_EQ(dictionary->CountSize(7), 0);
    EXPECT_EQ(dictionary->CountSize(8), 1000);
    EXPECT_EQ(dictionary->CountSize(7), 1000) << "any other number is a new pass";
}

TEST(CountSize, AProfileAddsItsDictionariesTMBasesAndItself) {
    CSmartPtr<CVdxTopicInfo> profile(new CVdxTopicInfo);
    profile->SetSize(1);
    profile->Dictionaries().push_back(MakeDictionary("a", 10));
    profile->Dictionaries().push_back(MakeDictionary("b", 100));
    profile->BasesTM().push_back(MakeBaseTM("tm", 1000));
    profile->Dictionaries().push_back(CSmartPtr<CDictInfo>()); // an empty slot counts nothing
    EXPECT_EQ(profile->CountSize(1), 1111);
    EXPECT_EQ(profile->CountSize(1), 0);
    EXPECT_EQ(profile->CountSize(2), 1111);
}

TEST(CountSize, AnItemSharedByTwoChosenProfilesCountsOncePerPass) {
    auto law = MakeDictionary("law", 500);
    auto tm = MakeBaseTM("tm", 70);
    CSmartPtr<CVdxTopicInfo> first(new CVdxTopicInfo);
    CSmartPtr<CVdxTopicInfo> second(new CVdxTopicInfo);
    first->SetSize(3);
    second->SetSize(4);
    for (auto* profile : {&first, &second}) {
        (*profile)->Dictionaries().push_back(law);
        (*profile)->BasesTM().push_back(tm);
    }
    second->Dictionaries().push_back(MakeDictionary("own", 20));

    std::uint32_t pass = NextCountingPass();
    EXPECT_EQ(first->CountSize(pass) + second->CountSize(pass), 500 + 70 + 3 + 4 + 20);

    // A new pass (the user changed the choice) counts the shared items again.
    pass = NextCountingPass();
    EXPECT_EQ(second->CountSize(pass), 500 + 70 + 4 + 20);
    EXPECT_EQ(first->CountSize(pass), 3);
}

TEST(CountSize, SizesAboveFourGibibytesAddUpIn64Bits) {
    CSmartPtr<CVdxTopicInfo> profile(new CVdxTopicInfo);
    const std::int64_t big = 3'000'000'000;
    profile->Dictionaries().push_back(MakeDictionary("a", big));
    profile->Dictionaries().push_back(MakeDictionary("b", big));
    profile->BasesTM().push_back(MakeBaseTM("c", big));
    EXPECT_EQ(profile->CountSize(NextCountingPass()), 9'000'000'000);
}

TEST(CountSize, PassNumbersIncreaseAndAreNeverZero) {
    const std::uint32_t first = NextCountingPass();
    const std::uint32_t second = NextCountingPass();
    EXPECT_NE(first, 0u);
    EXPECT_EQ(second, first + 1);
    // A fresh item always counts in a pass the program starts.
    EXPECT_EQ(MakeDictionary("x", 9)->CountSize(NextCountingPass()), 9);
}

} // namespace
} // namespace quillon
