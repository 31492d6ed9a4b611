// The profile page's logic against the reference product (direction folders, free space).
#include "ProductFixture.h"
#include "distribution/FormatGroupedNumber.h"
#include "platform/Ports.h"
#include "product/KernelConnection.h"
#include "selection/TemplateDlg.h"
#include "testsupport/Doubles.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using kaldo::test::kER;
constexpr DirectionId kFR = 0x00020008; // not installed in the fixture's product

class TemplateDlgTest : public kaldo::test::ProductFixture {
protected:
    void SetUp() override {
        ProductFixture::SetUp();
        collection_ = CSmartPtr<CDictCollection>(new CDictCollection);
    }
    CSmartPtr<CVdxTopicInfo> Profile(const std::string& name, DirectionId direction, std::int64_t size,
                                     std::vector<CSmartPtr<CDictInfo>> dictionaries = {}, bool supported = true) {
        CSmartPtr<CVdxTopicInfo> p(new CVdxTopicInfo);
        p->SetKey(name);
        p->SetFullName(name);
        p->SetDirID(direction);
        p->SetSize(size);
        p->SetSelected(true);
        p->SetSupported(supported);
        p->Dictionaries() = std::move(dictionaries);
        collection_->GetProfiles().push_back(p);
        return p;
    }
    static CSmartPtr<CDictInfo> Dictionary(std::int64_t size) {
        CSmartPtr<CDictInfo> d(new CDictInfo);
        d->SetSize(size);
        d->SetSelected(true);
        return d;
    }
    int Entry(const std::string& text) const {
        for (int e = 0; e < view_.EntryCount(); ++e)
            if (view_.entries[static_cast<std::size_t>(e)].text == text)
                return e;
        return -1;
    }

    CSmartPtr<CDictCollection> collection_;
    MemoryProfileList view_;
    test::ScriptedMessages messages_;
    ScopedPorts ports_{Ports{.messages = &messages_}};
};

TEST_F(TemplateDlgTest, EnoughSpaceEndsThePageAtOnceWithThePreselection) {
    auto shared = Dictionary(1000);
    Profile("B profile", kER, 10, {shared, Dictionary(200)});
    Profile("A profile", kER, 20, {shared});
    Profile("C french", kFR, 5, {}, false);
    CTemplateDlg page(collection_, view_);
    EXPECT_EQ(page.Initialize(), 1);
    EXPECT_TRUE(page.AnySelected());
    EXPECT_EQ(page.ReplaceMode(), 1);
    EXPECT_EQ(view_.replaceRadio, kRadioReplace);
    // Sorted by name; the unsupported profile is not selected.
    ASSERT_EQ(view_.EntryCount(), 3);
    EXPECT_EQ(view_.entries[0].text, "A profile");
    EXPECT_TRUE(view_.entries[0].selected);
    EXPECT_FALSE(view_.entries[2].selected);
    // The dictionary both profiles share counts once.
    EXPECT_EQ(page.Required(), 1230u);
    EXPECT_EQ(view_.figures, "1,230 байт\n" + FormatGroupedNumber(page.Free()) + " байт");
    EXPECT_TRUE(messages_.Shown().empty());
}

TEST_F(TemplateDlgTest, ShortOfSpaceAsksAndNoKeepsThePageOpen) {
    std::vector<CSmartPtr<CDictInfo>> huge;
    for (int i = 0; i < 200; ++i)
        huge.push_back(Dictionary(2'000'000'000));
    Profile("huge", kER, 0, huge);
    Profile("small", kER, 100);
    messages_.AnswerId(2003, MessageAnswer::No);
    CTemplateDlg page(collection_, view_);
    EXPECT_EQ(page.Initialize(), std::nullopt);
    EXPECT_EQ(messages_.ShownIds(), std::vector<int>{2003});
    EXPECT_EQ(page.Required(), 400'000'000'100u); // beyond 32 bits
    EXPECT_TRUE(view_.figures.starts_with("400,000,000,100 байт\n"));

    // The user leaves out the huge profile and goes on.
    view_.entries[static_cast<std::size_t>(Entry("huge"))].selected = false;
    page.OnListSelectionChanged();
    EXPECT_FALSE(collection_->GetProfiles()[0]->IsSelected());
    EXPECT_EQ(page.Required(), 100u);
    view_.replaceRadio = kRadioAsk;
    EXPECT_EQ(page.OnNext(), 1);
    EXPECT_EQ(page.ReplaceMode(), 2);
}

TEST_F(TemplateDlgTest, UnsupportedProfilesCannotBeSelected) {
    Profile("english", kER, 10);
    Profile("french", kFR, 10, {}, false);
    CTemplateDlg page(collection_, view_);
    ASSERT_EQ(page.Initialize(), 1);
    view_.entries[static_cast<std::size_t>(Entry("french"))].selected = true;
    page.OnListSelectionChanged();
    EXPECT_FALSE(view_.entries[static_cast<std::size_t>(Entry("french"))].selected);
    EXPECT_EQ(messages_.ShownIds(), std::vector<int>{2005});
    messages_.Clear();
    page.OnSelectAll();
    EXPECT_EQ(messages_.ShownIds(), std::vector<int>{2004});
    EXPECT_TRUE(view_.selectAllEnabled); // not every entry could be selected
}

// One change of the list that touches many entries (select all by keyboard, a range, a drag):
// every profile follows its entry, an unsupported one is refused once, the figures follow.
TEST_F(TemplateDlgTest, ABulkSelectionChangeBringsEveryProfileInStep) {
    auto one = Profile("one", kER, 10);
    auto two = Profile("two", kER, 20);
    auto three = Profile("three", kER, 40);
    auto french = Profile("french", kFR, 80, {}, false);
    auto german = Profile("german", 0x00020004, 160, {}, false);
    CTemplateDlg page(collection_, view_);
    ASSERT_EQ(page.Initialize(), 1);
    page.OnDeselectAll();
    ASSERT_EQ(page.Required(), 0u);
    for (auto& e : view_.entries) // everything at once
        e.selected = true;
    page.OnListSelectionChanged();
    EXPECT_EQ(messages_.ShownIds(), std::vector<int>{2005}); // once for the change
    for (const auto& p : {one, two, three})
        EXPECT_TRUE(p->IsSelected()) << p->GetKey();
    EXPECT_FALSE(french->IsSelected());
    EXPECT_FALSE(view_.entries[static_cast<std::size_t>(Entry("french"))].selected);
    EXPECT_FALSE(view_.entries[static_cast<std::size_t>(Entry("german"))].selected);
    EXPECT_EQ(page.Required(), 70u);

    // Two entries off in one change.
    view_.entries[static_cast<std::size_t>(Entry("one"))].selected = false;
    view_.entries[static_cast<std::size_t>(Entry("three"))].selected = false;
    page.OnListSelectionChanged();
    EXPECT_FALSE(one->IsSelected());
    EXPECT_TRUE(two->IsSelected());
    EXPECT_FALSE(three->IsSelected());
    EXPECT_EQ(page.Required(), 20u);
    EXPECT_EQ(messages_.ShownIds(), std::vector<int>{2005});
}

TEST_F(TemplateDlgTest, DeselectingEverythingDisablesNext) {
    Profile("one", kER, 10);
    Profile("two", kER, 10);
    CTemplateDlg page(collection_, view_);
    ASSERT_EQ(page.Initialize(), 1);
    EXPECT_TRUE(view_.nextEnabled);
    page.OnDeselectAll();
    EXPECT_FALSE(view_.nextEnabled);
    EXPECT_FALSE(page.AnySelected());
    EXPECT_FALSE(view_.deselectAllEnabled);
    EXPECT_TRUE(view_.selectAllEnabled);
    EXPECT_EQ(page.Required(), 0u);
}

TEST_F(TemplateDlgTest, NoDirectionFolderGoesBackWith1077) {
    Profile("french", kFR, 10, {}, false);
    CTemplateDlg page(collection_, view_);
    EXPECT_EQ(page.Initialize(), 1001);
    EXPECT_EQ(messages_.ShownIds(), std::vector<int>{1077});
}

TEST_F(TemplateDlgTest, NoKernelLeavesAnEmptyPage) {
    ASSERT_EQ(kaldo::test::RunProductTool({"fault", "Create.KernelService", "0x80004005", "1"}), 0);
    Profile("one", kER, 10);
    CTemplateDlg page(collection_, view_);
    EXPECT_EQ(page.Initialize(), std::nullopt);
    EXPECT_EQ(view_.EntryCount(), 0);
    EXPECT_FALSE(view_.nextEnabled);
}

} // namespace
} // namespace quillon
