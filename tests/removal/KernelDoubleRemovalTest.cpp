// What the reference product never answers: collections whose state is not 0, names the kernel
// reports twice, failures that are not the kernel's. A scripted kernel behind the class factory.
#include "RecordingRemovalView.h"
#include "platform/Ports.h"
#include "product/ComError.h"
#include "product/KernelConnection.h"
#include "removal/TemplateRemoveDlg.h"
#include "testsupport/Doubles.h"

#include "testsupport/KernelServiceDouble.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace quillon::test {
namespace {

constexpr std::uint32_t kDirection = 0x00020001;

struct Collection {
    std::string name;
    std::int32_t state = 0;
};

class ScriptedKernel : public test::KernelServiceDouble {
public:
    std::vector<Collection> collections;
    std::vector<int> removed;
    int throwOnRemove = -1; // index whose removal fails with an error that is not the kernel's

    HRESULT Login(std::int32_t, const std::string&, std::int32_t) override { return S_OK; }
    HRESULT GetDirectionCount(std::uint16_t& count) override { return count = 1, S_OK; }
    HRESULT GetDirection(std::int32_t, std::uint32_t& id, std::string& name) override {
        id = kDirection;
        name = "Англо-русский";
        return S_OK;
    }
    HRESULT GetCollectionCount(std::uint32_t, std::uint16_t& count) override {
        count = static_cast<std::uint16_t>(collections.size());
        return S_OK;
    }
    HRESULT GetCollectionName(std::uint32_t, std::uint16_t index, std::string& name) override {
        name = collections.at(index).name;
        return S_OK;
    }
    HRESULT GetCollectionState(std::uint32_t, std::uint16_t index, std::int32_t& state) override {
        state = collections.at(index).state;
        return S_OK;
    }
    HRESULT RemoveCollection(std::uint32_t direction, std::uint16_t index) override {
        EXPECT_EQ(direction, kDirection);
        removed.push_back(index);
        if (index == throwOnRemove)
            throw std::runtime_error("not a service error");
        collections.erase(collections.begin() + index);
        return S_OK;
    }
};

// Every creation answers the same scripted kernel (its state is the product's).
class ScriptedFactory : public ObjectFactory {
public:
    std::shared_ptr<ComObject> CreateInstance(std::string_view, ServerContext) override {
        return kernel;
    }
    std::shared_ptr<ScriptedKernel> kernel = std::make_shared<ScriptedKernel>();
};

class KernelDoubleRemovalTest : public ::testing::Test {
protected:
    void SetUp() override { ReleaseKernelConnection(); }
    void TearDown() override { ReleaseKernelConnection(); }

    ScriptedMessages messages;
    ScriptedFactory factory;
    ScopedPorts ports{Ports{nullptr, &messages, nullptr, &factory, nullptr, nullptr}};
    RecordingRemovalView view;
    CTemplateRemoveDlg page{view};
};

TEST_F(KernelDoubleRemovalTest, ACollectionWithANonZeroStateIsNeverListedNorRemoved) {
    factory.kernel->collections = {{"Общий", 0}, {"Служебный", 3}, {"Бизнес", 0}, {"Общий", 7}};
    ASSERT_FALSE(page.OnInitDialog().has_value());
    EXPECT_EQ(view.Names(), (std::vector<std::string>{"Бизнес", "Общий"}));
    for (auto& entry : view.entries)
        entry.selected = true;
    page.OnRemove();
    // Index 3 carries a listed name but is not listed itself: it stays.
    EXPECT_EQ(factory.kernel->removed, (std::vector<int>{2, 0}));
    ASSERT_EQ(factory.kernel->collections.size(), 2u);
    EXPECT_EQ(factory.kernel->collections[0].name, "Служебный");
    EXPECT_EQ(factory.kernel->collections[1].state, 7);
    EXPECT_TRUE(view.entries.empty());
    EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(KernelDoubleRemovalTest, AFailureThatIsNotTheKernelsShowsAPlainBoxAndTheLoopGoesOn) {
    factory.kernel->collections = {{"А", 0}, {"Б", 0}, {"В", 0}};
    factory.kernel->throwOnRemove = 1;
    ASSERT_FALSE(page.OnInitDialog().has_value());
    for (auto& entry : view.entries)
        entry.selected = true;
    page.OnRemove();
    EXPECT_EQ(factory.kernel->removed, (std::vector<int>{2, 1, 0}));
    ASSERT_EQ(messages.ShownIds(), std::vector<int>{57355});
    EXPECT_EQ(messages.Shown()[0].icon, MessageIcon::None);
    EXPECT_EQ(view.beeps, 0);
    EXPECT_EQ(view.Names(), std::vector<std::string>{"Б"});
    ASSERT_EQ(page.Records().size(), 3u);
    EXPECT_EQ(page.Records()[1].error, E_UNEXPECTED);
}

} // namespace
} // namespace quillon::test
