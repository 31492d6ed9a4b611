// The collection page's logic against a scripted kernel: what it lists, and when it closes
// itself without a choice.
#include "descriptions/LoaderFixtures.h"
#include "product/KernelConnection.h"
#include "selection/SelectCollectionDlg.h"
#include "testsupport/KernelServiceDouble.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

// A kernel that names its directions; a name may be empty.
class DirectionsKernel : public test::KernelServiceDouble {
public:
    explicit DirectionsKernel(std::vector<std::pair<DirectionId, std::string>> directions)
        : directions_(std::move(directions)) {}
    HRESULT GetDirectionCount(std::uint16_t& count) override {
        count = static_cast<std::uint16_t>(directions_.size());
        return S_OK;
    }
    HRESULT GetDirection(std::int32_t index, std::uint32_t& id, std::string& name) override {
        id = directions_.at(static_cast<std::size_t>(index)).first;
        name = directions_.at(static_cast<std::size_t>(index)).second;
        return S_OK;
    }

private:
    std::vector<std::pair<DirectionId, std::string>> directions_;
};

constexpr DirectionId kER = 0x00020001, kGR = 0x00020004;

const char* kRaviri = R"(
section "1 - templates"
  S "er" ""
section "1 - collection"
  S "Name.R" "Англо-русская"
section "2 - templates"
  S "gr" ""
section "2 - collection"
  S "Name.R" "Немецко-русская"
)";

const char* kSetup = R"(
section "er"
  S "Direction" "ER"
section "gr"
  S "Direction" "GR"
)";

class SelectCollectionDlgTest : public ::testing::Test {
protected:
    void TearDown() override { ReleaseKernelConnection(); }
    std::optional<int> Open(std::vector<std::pair<DirectionId, std::string>> directions) {
        KernelConnection() = std::make_shared<DirectionsKernel>(std::move(directions));
        page_ = std::make_unique<CSelectCollectionDlg>(dist_.folder(), dist_.setupIni(), dist_.raviriInf(), view_);
        return page_->Initialize();
    }
    test::Distribution dist_;
    MemoryCollectionList view_;
    std::unique_ptr<CSelectCollectionDlg> page_;
};

TEST_F(SelectCollectionDlgTest, ADirectionWithoutANameDoesNotMakeItsCollectionVisible) {
    dist_.Write(kRaviri, kSetup);
    ASSERT_EQ(Open({{kER, "Англо-русский"}, {kGR, ""}}), std::nullopt);
    ASSERT_EQ(view_.EntryCount(), 1);
    EXPECT_EQ(view_.entries[0].text, "Англо-русская");
    EXPECT_EQ(page_->ItemMap(), (std::map<int, std::string>{{1, "1"}}));
    EXPECT_FALSE(view_.nextEnabled);

    // Next does nothing until an entry is selected.
    EXPECT_EQ(page_->OnNext(), std::nullopt);
    view_.selected = 0;
    page_->OnSelectionChanged();
    EXPECT_TRUE(view_.nextEnabled);
    EXPECT_EQ(page_->OnNext(), 1);
    EXPECT_EQ(page_->ChosenId(), "1");
    EXPECT_EQ(page_->ChosenName(), "Англо-русская");
}

TEST_F(SelectCollectionDlgTest, ClosesItselfWithoutAChoiceWhenNothingCanBeRead) {
    dist_.Write(kRaviri, kSetup);
    // A kernel without directions: no installed-direction map.
    EXPECT_EQ(Open({}), 1);
    EXPECT_TRUE(page_->ItemMap().empty());
    EXPECT_EQ(page_->Listing(), CollectionListing::Empty);
    // Collections, but none of an installed direction: the pairs they need are named.
    EXPECT_EQ(Open({{0x00010002, "Русско-английский"}}), 1);
    EXPECT_EQ(page_->Listing(), CollectionListing::NoneSupported);
    EXPECT_EQ(page_->NeededPairs(), (std::vector<std::string>{"Англо-русская", "Немецко-русская"}));
    // Description files that cannot be loaded: missing, cut short, overwritten with 0xFF.
    const std::string raviri = test::ReadFile(dist_.raviriInf());
    for (const std::string& damaged : {std::string(), raviri.substr(0, raviri.size() / 2),
                                       std::string(raviri.size(), '\xFF')}) {
        std::remove(dist_.raviriInf().c_str());
        if (!damaged.empty())
            dist_.dir.Write("RAVIRI.INF", damaged);
        EXPECT_EQ(Open({{kER, "Англо-русский"}}), 1);
        EXPECT_TRUE(page_->ChosenId().empty());
        EXPECT_EQ(page_->Listing(), CollectionListing::Unreadable) << damaged.size();
    }
    // Readable files without a collection.
    dist_.Write("section \"nothing\"\n  S \"x\" \"y\"\n", kSetup);
    EXPECT_EQ(Open({{kER, "Англо-русский"}}), 1);
    EXPECT_EQ(page_->Listing(), CollectionListing::Empty);
}

} // namespace
} // namespace quillon
