// Removal without a window (the command-line front end's), against the reference product.
#include "removal/RemoveCollections.h"
#include "RemovalFixture.h"
#include "product/KernelConnection.h"

namespace quillon::test {
namespace {

using kaldo::test::kER;
using kaldo::test::kRE;
using Strings = std::vector<std::string>;
using Status = RemovalOutcome::Status;

class RemoveCollectionsTest : public RemovalFixture {};

Strings NamesOf(const std::vector<RemovedCollection>& list) {
    Strings names;
    for (const auto& c : list)
        names.push_back(c.name);
    return names;
}

TEST_F(RemoveCollectionsTest, NamedCollectionsAreRemovedAndRefusalsAndUnknownNamesReported) {
    const std::string locked = Import("b.re", kRE);
    Install("Общий", kER); // another direction: untouched
    Install("Первая", kRE);
    Install("Вторая", kRE, {locked});
    Install("Третья", kRE);
    ASSERT_EQ(kaldo::test::RunProductTool({"lock", locked}), 0);

    const auto outcome =
        RemoveCollections(kRE, {"третья", "Вторая", "Первая", "Четвёртая"}, RemovalMode::Chosen);
    EXPECT_EQ(outcome.status, Status::Done);
    EXPECT_EQ(NamesOf(outcome.removed), (Strings{"Третья", "Первая"}));
    EXPECT_EQ(outcome.removed.at(0).direction, kRE);
    ASSERT_EQ(outcome.failed.size(), 1u);
    EXPECT_EQ(outcome.failed[0].name, "Вторая");
    EXPECT_EQ(outcome.failed[0].error, KLDO_E_IN_USE);
    EXPECT_EQ(outcome.notListed, Strings{"Четвёртая"});
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{2034});
    EXPECT_EQ(Installed(kRE), Strings{"Вторая"});
    EXPECT_EQ(Installed(kER), Strings{"Общий"});
}

TEST_F(RemoveCollectionsTest, BulkModesReportWhatIsGone) {
    Install("Общий", kER);
    Install("Бизнес", kER);
    Install("Техника", kRE);

    auto outcome = RemoveCollections(kER, {}, RemovalMode::Direction);
    EXPECT_EQ(outcome.status, Status::Done);
    EXPECT_EQ(NamesOf(outcome.removed), (Strings{"Общий", "Бизнес"})); // the kernel's order
    EXPECT_EQ(Installed(kRE), Strings{"Техника"});

    outcome = RemoveCollections(kER, {}, RemovalMode::Direction);
    EXPECT_EQ(outcome.status, Status::NothingToRemove);

    Install("Медицина", kER);
    outcome = RemoveCollections(0, {}, RemovalMode::All);
    EXPECT_EQ(outcome.status, Status::Done);
    ASSERT_EQ(outcome.removed.size(), 2u);
    EXPECT_EQ(outcome.removed[0].direction, kER);
    EXPECT_EQ(outcome.removed[0].name, "Медицина");
    EXPECT_EQ(outcome.removed[1].direction, kRE);
    EXPECT_EQ(outcome.removed[1].name, "Техника");
    EXPECT_TRUE(Installed(kER).empty());
    EXPECT_TRUE(Installed(kRE).empty());
    EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(RemoveCollectionsTest, NothingIsRemovedWhenTheRequestCannotBeMet) {
    Install("Общий", kER);
    EXPECT_EQ(RemoveCollections(0x00040001, {"Общий"}, RemovalMode::Chosen).status,
              Status::UnknownDirection);
    const auto none = RemoveCollections(kER, {"Другой"}, RemovalMode::Chosen);
    EXPECT_EQ(none.status, Status::NothingToRemove);
    EXPECT_EQ(none.notListed, Strings{"Другой"});

    ASSERT_EQ(kaldo::test::RunProductTool({"fault", "Create.KernelService", "0x80004005", "1"}), 0);
    EXPECT_EQ(RemoveCollections(kER, {"Общий"}, RemovalMode::Chosen).status, Status::NotConnected);

    ASSERT_EQ(
        kaldo::test::RunProductTool({"fault", "RemoveDirectionCollections", "0x80004005", "1"}), 0);
    const auto failed = RemoveCollections(kER, {}, RemovalMode::Direction);
    EXPECT_EQ(failed.status, Status::Failed);
    ASSERT_EQ(failed.failed.size(), 1u);
    EXPECT_EQ(failed.failed[0].error, E_FAIL);
    EXPECT_TRUE(failed.removed.empty());
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{0}); // the kernel's description
    EXPECT_EQ(Installed(kER), Strings{"Общий"});
}

} // namespace
} // namespace quillon::test
