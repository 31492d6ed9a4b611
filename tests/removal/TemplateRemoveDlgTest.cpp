// The removal page against the reference product through the class factory.
#include "removal/TemplateRemoveDlg.h"
#include "RemovalFixture.h"
#include "product/KernelConnection.h"

#include <filesystem>

namespace quillon::test {
namespace {

using kaldo::test::kER;
using kaldo::test::kRE;
using Strings = std::vector<std::string>;

class TemplateRemoveDlgTest : public RemovalFixture {
protected:
    // Opens the page; expects it to stay open.
    void Open() {
        const auto end = page.OnInitDialog();
        ASSERT_FALSE(end.has_value()) << *end;
    }

    RecordingRemovalView view;
    CTemplateRemoveDlg page{view};
};

TEST_F(TemplateRemoveDlgTest, OpensWithItsOwnKernelTheDirectionsAndTheFirstDirectionsCollections) {
    Install("Общий");
    Install("Бизнес");
    Install("Техника", kRE);
    ASSERT_TRUE(ConnectKernel());
    const auto before = KernelConnection();
    Open();
    EXPECT_NE(KernelConnection(), before); // the program-wide instance was replaced
    EXPECT_TRUE(KernelConnection());
    EXPECT_EQ(Journal("Login").size(), 3u); // the fixture's, ConnectKernel's, the page's
    EXPECT_EQ(view.directions, (Strings{kEnglishRussian, kRussianEnglish}));
    EXPECT_EQ(view.current, kEnglishRussian);
    EXPECT_EQ(page.DirectionNames().at(kEnglishRussian), kER);
    EXPECT_EQ(page.DirectionNames().at(kRussianEnglish), kRE);
    EXPECT_EQ(view.Names(), (Strings{"Бизнес", "Общий"}));
    EXPECT_EQ(page.Mode(), RemovalMode::Chosen);
    EXPECT_EQ(view.checked, RemovalMode::Chosen);
    EXPECT_FALSE(view.removeEnabled);
    EXPECT_TRUE(view.collectionsEnabled);
    EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(TemplateRemoveDlgTest, ControlsFollowTheModeTheDirectionAndTheSelection) {
    Install("Общий");
    Open();
    ASSERT_TRUE(view.Select("Общий"));
    page.OnCollectionSelectionChanged();
    EXPECT_TRUE(view.removeEnabled);

    page.OnModeChosen(RemovalMode::Direction);
    EXPECT_EQ(view.checked, RemovalMode::Direction);
    EXPECT_TRUE(view.directionsEnabled);
    EXPECT_FALSE(view.collectionsEnabled);
    EXPECT_FALSE(view.entries.at(0).selected);
    EXPECT_TRUE(view.removeEnabled); // the list has entries

    view.Choose(kRussianEnglish); // no collections there
    EXPECT_TRUE(page.OnDirectionChanged());
    EXPECT_TRUE(view.entries.empty());
    EXPECT_FALSE(view.removeEnabled);
    page.OnModeChosen(RemovalMode::Direction);
    EXPECT_FALSE(view.removeEnabled);

    page.OnModeChosen(RemovalMode::All); // enabled even with an empty list
    EXPECT_FALSE(view.directionsEnabled);
    EXPECT_FALSE(view.collectionsEnabled);
    EXPECT_TRUE(view.removeEnabled);

    page.OnModeChosen(RemovalMode::Chosen);
    EXPECT_TRUE(view.directionsEnabled);
    EXPECT_TRUE(view.collectionsEnabled);
    EXPECT_FALSE(view.removeEnabled);

    view.Choose(kEnglishRussian); // a refill leaves nothing selected, so mode 1023 keeps it off
    page.OnDirectionChanged();
    EXPECT_EQ(view.Names(), Strings{"Общий"});
    EXPECT_FALSE(view.removeEnabled);
    page.OnModeChosen(RemovalMode::Direction);
    view.Choose(kRussianEnglish);
    page.OnDirectionChanged();
    view.Choose(kEnglishRussian);
    page.OnDirectionChanged();
    EXPECT_TRUE(view.removeEnabled);
    EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(TemplateRemoveDlgTest, ChosenCollectionsAreRemovedFromTheHighestIndexDown) {
    for (const char* name : {"Альфа", "Бета", "Гамма", "Дельта", "Эпсилон"})
        Install(name);
    Open();
    ASSERT_TRUE(view.Select("Бета"));   // index 1
    ASSERT_TRUE(view.Select("Дельта")); // index 3
    page.OnCollectionSelectionChanged();
    ASSERT_TRUE(view.removeEnabled);
    page.OnRemove();
    EXPECT_EQ(RemovedIndices(), (std::vector<int>{3, 1}));
    EXPECT_EQ(Installed(kER), (Strings{"Альфа", "Гамма", "Эпсилон"}));
    EXPECT_EQ(view.Names(), (Strings{"Альфа", "Гамма", "Эпсилон"})); // refilled
    EXPECT_FALSE(view.removeEnabled);
    EXPECT_EQ(view.waitCursors, 1);
    EXPECT_FALSE(view.waitCursor);
    EXPECT_TRUE(messages.Shown().empty());
    ASSERT_EQ(page.Records().size(), 2u);
    EXPECT_EQ(page.Records()[0].name, "Дельта");
    EXPECT_EQ(page.Records()[1].name, "Бета");
}

TEST_F(TemplateRemoveDlgTest, ANameMatchesOnlyTheWholeNameAndPrefersItsOwnSpelling) {
    Install("Общий");
    Install("Общий словарь");
    Install("ОБЩИЙ");
    Install("техника");
    Open();
    ASSERT_TRUE(view.Select("Общий словарь"));
    ASSERT_TRUE(view.Select("ОБЩИЙ"));
    page.OnRemove();
    EXPECT_EQ(Installed(kER), (Strings{"Общий", "техника"}));

    // A name the list spells differently still finds its entry, ignoring case.
    view.entries = {{"ТЕХНИКА", true}, {"Общий", false}};
    page.OnRemove();
    EXPECT_EQ(Installed(kER), Strings{"Общий"});
    EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(TemplateRemoveDlgTest, ACollectionInUseIsReportedAndTheOthersAreStillRemoved) {
    const std::string a = Import("a.er"), b = Import("b.er"), c = Import("c.er");
    Install("Первая", kER, {a});
    Install("Вторая", kER, {b});
    Install("Третья", kER, {c});
    ASSERT_EQ(kaldo::test::RunProductTool({"lock", b}), 0);
    Open();
    for (const char* name : {"Первая", "Вторая", "Третья"})
        ASSERT_TRUE(view.Select(name));
    page.OnRemove();
    ASSERT_EQ(messages.ShownIds(), std::vector<int>{2034});
    EXPECT_EQ(messages.Shown()[0].icon, MessageIcon::Error);
    EXPECT_NE(messages.Shown()[0].text.find("\"Вторая\""), std::string::npos);
    EXPECT_EQ(view.beeps, 1);
    EXPECT_EQ(Installed(kER), Strings{"Вторая"});
    EXPECT_EQ(view.Names(), Strings{"Вторая"});
    EXPECT_EQ(RemovedIndices(), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(page.Records().at(1).error, KLDO_E_IN_USE);
}

TEST_F(TemplateRemoveDlgTest, EachKernelRefusalHasItsMessageAndTheLoopGoesOn) {
    for (const char* name : {"Один", "Два", "Три"})
        Install(name);
    Open();
    for (const char* name : {"Один", "Два", "Три"})
        ASSERT_TRUE(view.Select(name));
    // The answered fault is taken first: index 2 is refused as locked; indices 1 and 0 fail
    // with the kernel's own error object.
    ASSERT_EQ(kaldo::test::RunProductTool({"fault", "RemoveCollection", "0x800F000A", "1"}), 0);
    ASSERT_EQ(kaldo::test::RunProductTool({"fault", "Raise.RemoveCollection", "0x80004005", "2"}),
              0);
    page.OnRemove();
    const auto shown = messages.Shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].id, 2032);
    EXPECT_NE(shown[0].text.find("\"Три\""), std::string::npos);
    for (const auto& box : shown) {
        EXPECT_EQ(box.icon, MessageIcon::Error);
        EXPECT_EQ(box.caption, "Инсталлятор словарей");
    }
    for (std::size_t i : {1u, 2u}) {
        EXPECT_EQ(shown[i].id, 0);
        EXPECT_NE(shown[i].text.find("injected failure of RemoveCollection"), std::string::npos);
    }
    EXPECT_EQ(RemovedIndices(), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(view.beeps, 3);
    EXPECT_EQ(Installed(kER), (Strings{"Один", "Два", "Три"}));
}

TEST_F(TemplateRemoveDlgTest, NoKernelOnRemoveMeansNothingHappensAndNothingIsShown) {
    Install("Общий");
    Open();
    ASSERT_TRUE(view.Select("Общий"));
    page.OnCollectionSelectionChanged();
    const int clears = view.clears;
    ASSERT_EQ(kaldo::test::RunProductTool({"fault", "Create.KernelService", "0x80004005", "1"}), 0);
    page.OnRemove();
    EXPECT_TRUE(messages.Shown().empty());
    EXPECT_EQ(view.beeps, 0);
    EXPECT_EQ(view.clears, clears);
    EXPECT_TRUE(view.entries.at(0).selected);
    EXPECT_FALSE(KernelConnection());
    EXPECT_FALSE(page.RemovalConnected());
    EXPECT_TRUE(RemovedIndices().empty());
    EXPECT_EQ(Installed(kER), Strings{"Общий"});
    EXPECT_FALSE(view.waitCursor);

    // A failed login is the same.
    ASSERT_EQ(kaldo::test::RunProductTool({"fault", "Login", "0x80070005", "1"}), 0);
    page.OnRemove();
    EXPECT_TRUE(messages.Shown().empty());
    EXPECT_EQ(Installed(kER), Strings{"Общий"});
}

TEST_F(TemplateRemoveDlgTest, DirectionAndAllModesUseTheKernelsBulkRemovals) {
    Install("Общий");
    Install("Бизнес");
    Install("Техника", kRE);
    Open();
    page.OnModeChosen(RemovalMode::Direction);
    page.OnRemove();
    EXPECT_EQ(Journal("RemoveDirectionCollections").size(), 1u);
    EXPECT_TRUE(Installed(kER).empty());
    EXPECT_EQ(Installed(kRE), Strings{"Техника"});
    EXPECT_TRUE(view.entries.empty());

    page.OnModeChosen(RemovalMode::All);
    page.OnRemove();
    EXPECT_EQ(Journal("RemoveAllCollections").size(), 1u);
    EXPECT_TRUE(Installed(kRE).empty());
    EXPECT_TRUE(messages.Shown().empty());
    EXPECT_TRUE(RemovedIndices().empty());
}

TEST_F(TemplateRemoveDlgTest, ABulkFailureShowsTheKernelsDescriptionAndDoesNotRefill) {
    const std::string a = Import("a.er");
    Install("Общий", kER, {a});
    ASSERT_EQ(kaldo::test::RunProductTool({"lock", a}), 0);
    Open();
    page.OnModeChosen(RemovalMode::Direction);
    const int clears = view.clears;
    page.OnRemove();
    ASSERT_EQ(messages.Shown().size(), 1u);
    EXPECT_EQ(messages.Shown()[0].id, 0);
    EXPECT_EQ(messages.Shown()[0].icon, MessageIcon::Error);
    EXPECT_EQ(view.beeps, 1);
    EXPECT_EQ(view.clears, clears);
    EXPECT_EQ(Installed(kER), Strings{"Общий"});
    ASSERT_EQ(page.Records().size(), 1u);
    EXPECT_EQ(page.Records()[0].error, KLDO_E_IN_USE);
}

TEST_F(TemplateRemoveDlgTest, ASharedDictionaryStaysUntilItsLastCollectionGoes) {
    const std::string shared = Import("shared.er");
    Install("Первая", kER, {shared});
    Install("Вторая", kER, {shared});
    Open();
    const auto files = [&] { return FilesIn(Folder("ER")); };
    ASSERT_EQ(files(), (Strings{"GENDICT.ER", "shared.er"}));
    ASSERT_TRUE(view.Select("Первая"));
    page.OnRemove();
    EXPECT_EQ(files(), (Strings{"GENDICT.ER", "shared.er"}));
    ASSERT_TRUE(view.Select("Вторая"));
    page.OnRemove();
    EXPECT_EQ(files(), Strings{"GENDICT.ER"});
    EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(TemplateRemoveDlgTest, OpeningFailuresEmptyListsOrEndThePage) {
    // The kernel cannot be created: the page stays, empty, silent.
    ASSERT_EQ(kaldo::test::RunProductTool({"fault", "Create.KernelService", "0x80004005", "1"}), 0);
    {
        RecordingRemovalView empty;
        CTemplateRemoveDlg first(empty);
        EXPECT_FALSE(first.OnInitDialog().has_value());
        EXPECT_TRUE(empty.directions.empty());
        EXPECT_TRUE(empty.entries.empty());
        EXPECT_TRUE(messages.Shown().empty());
    }
    // The directions cannot be read: 57355 from the direction list, the page ends with 2.
    ASSERT_EQ(kaldo::test::RunProductTool({"fault", "GetDirectionCount", "0x80004005", "1"}), 0);
    {
        RecordingRemovalView v;
        CTemplateRemoveDlg second(v);
        EXPECT_EQ(second.OnInitDialog(), std::optional<int>(2));
        EXPECT_EQ(messages.ShownIds(), std::vector<int>{57355});
    }
    messages.Clear();
    // The collections cannot be read: the kernel's description, then 57355, the page ends with 2.
    ASSERT_EQ(kaldo::test::RunProductTool({"fault", "GetCollectionCount", "0x800F0015", "1"}), 0);
    {
        RecordingRemovalView v;
        CTemplateRemoveDlg third(v);
        EXPECT_EQ(third.OnInitDialog(), std::optional<int>(2));
        EXPECT_EQ(messages.ShownIds(), (std::vector<int>{0, 57355}));
        EXPECT_EQ(messages.Shown().at(1).icon, MessageIcon::Error);
        EXPECT_EQ(v.beeps, 1);
    }
}

TEST_F(TemplateRemoveDlgTest, ExitAsksTheConfirmation) {
    Open();
    view.confirm = false;
    EXPECT_FALSE(page.OnCancel());
    view.confirm = true;
    EXPECT_TRUE(page.OnCancel());
    EXPECT_EQ(view.confirmations, 2);
    EXPECT_EQ(CTemplateRemoveDlg::OnGoHome(), 2);
    EXPECT_EQ(CTemplateRemoveDlg::OnBack(), 1001);
}

} // namespace
} // namespace quillon::test
