// The observed services: every kernel call reported with its status and duration, the catalogue
// observed too, every message reported with its answer, and in read-only mode no changing call
// reaching the product. The JSON lines the observers write.
#include "product/ObservedServices.h"

#include "platform/Ports.h"
#include "platform/StepJsonLines.h"
#include "platform/posix/PosixPorts.h"
#include "product/ComError.h"
#include "product/CreateService.h"
#include "product/KernelConnection.h"
#include "product/ServiceIds.h"
#include "support/Messages.h"
#include "testsupport/Doubles.h"
#include "testsupport/KernelServiceDouble.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

class CatalogueDouble : public KernelDictionaries, public CatalogueDirection {
public:
    HRESULT GetDirection(std::uint32_t, std::shared_ptr<CatalogueDirection>& direction) override {
        direction = std::make_shared<CatalogueDouble>();
        return S_OK;
    }
    HRESULT GetDictionary(std::int16_t, std::shared_ptr<DictFile>&) override {
        return E_INVALIDARG;
    }
};

class KernelDouble : public test::KernelServiceDouble {
public:
    explicit KernelDouble(std::vector<std::string>& reached) : reached_(reached) {}
    HRESULT Login(std::int32_t, const std::string&, std::int32_t) override { return S_OK; }
    HRESULT GetCatalogue(std::shared_ptr<ComObject>& catalogue) override {
        catalogue = std::make_shared<CatalogueDouble>();
        return S_OK;
    }
    HRESULT GetDirectionPath(std::uint32_t, std::string&) override {
        throw ComError(KLDO_E_CANNOT_OPEN);
    }
    HRESULT ImportDictionary(const std::string&, std::uint32_t, std::int32_t,
                             ProgressReceiver*) override {
        reached_.push_back("ImportDictionary");
        return KLDO_E_DICT_EXISTS;
    }
    HRESULT RemoveAllCollections() override {
        reached_.push_back("RemoveAllCollections");
        return S_OK;
    }

private:
    std::vector<std::string>& reached_;
};

class Recorder : public StepObserver {
public:
    void KernelCall(std::string_view operation, HRESULT status,
                    std::chrono::microseconds) override {
        calls.emplace_back(std::string(operation), status);
    }
    void MessageShown(const MessageBoxRequest& request, MessageAnswer answer) override {
        messages.emplace_back(request.id, answer);
    }
    std::vector<std::pair<std::string, HRESULT>> calls;
    std::vector<std::pair<int, MessageAnswer>> messages;
};

class ObservedServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ReleaseKernelConnection();
        posix::InstallPosixPorts().objects.RegisterInProcess(
            clsid::KernelService, [this] { return std::make_shared<KernelDouble>(reached); });
    }
    void TearDown() override {
        ReleaseKernelConnection();
        posix::InstallPosixPorts().objects.UnregisterInProcess(clsid::KernelService);
    }
    std::vector<std::string> reached;
    Recorder recorder;
    test::ScriptedMessages messages;
    ScopedPorts ports{Ports{nullptr, &messages, nullptr, nullptr, nullptr, nullptr}};
};

TEST_F(ObservedServicesTest, ReportsEveryCallWithItsStatusAndEveryMessageWithItsAnswer) {
    {
        ScopedObservation observation(recorder, false);
        ASSERT_TRUE(ConnectKernel());
        auto& kernel = *KernelConnection();
        EXPECT_EQ(kernel.ImportDictionary("/x", 1, 0, nullptr), KLDO_E_DICT_EXISTS);
        std::string path;
        EXPECT_THROW(kernel.GetDirectionPath(1, path), ComError);
        std::shared_ptr<ComObject> object;
        ASSERT_EQ(kernel.GetCatalogue(object), S_OK);
        std::shared_ptr<CatalogueDirection> direction;
        ASSERT_EQ(QueryInterface<KernelDictionaries>(object)->GetDirection(1, direction), S_OK);
        std::shared_ptr<DictFile> general;
        EXPECT_EQ(direction->GetDictionary(-1, general), E_INVALIDARG);
        messages.AnswerId(2003, MessageAnswer::No);
        EXPECT_EQ(ShowMessage(2003, MessageIcon::None, MessageButtons::YesNo), MessageAnswer::No);
        ReleaseKernelConnection();
    }
    const std::vector<std::pair<std::string, HRESULT>> expected{
        {"Create.KernelService", S_OK},
        {"Login", S_OK},
        {"ImportDictionary", KLDO_E_DICT_EXISTS},
        {"GetDirectionPath", KLDO_E_CANNOT_OPEN},
        {"GetCatalogue", S_OK},
        {"Catalogue.GetDirection", S_OK},
        {"Catalogue.GetDictionary", E_INVALIDARG}};
    EXPECT_EQ(recorder.calls, expected);
    EXPECT_EQ(reached, std::vector<std::string>{"ImportDictionary"});
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0], std::make_pair(2003, MessageAnswer::No));
    // Once the observation ends, the ports are as they were.
    EXPECT_EQ(CurrentPorts().messages, &messages);
    EXPECT_EQ(CurrentPorts().steps, nullptr);
}

TEST_F(ObservedServicesTest, ReadOnlyRefusesChangingCallsWithoutPassingThemOn) {
    ScopedObservation observation(recorder, true);
    auto kernel = CreateService<KernelService>(clsid::KernelService);
    EXPECT_EQ(kernel->ImportDictionary("/x", 1, 0, nullptr), E_ACCESSDENIED);
    EXPECT_EQ(kernel->RemoveAllCollections(), E_ACCESSDENIED);
    EXPECT_TRUE(reached.empty());
    ASSERT_EQ(recorder.calls.size(), 3u);
    EXPECT_EQ(recorder.calls[1], std::make_pair(std::string("ImportDictionary"), E_ACCESSDENIED));
}

class Lines : public LineSink {
public:
    bool WriteLine(std::string_view line) override {
        lines.emplace_back(line);
        return true;
    }
    std::vector<std::string> lines;
};

TEST(StepJsonLines, EventStreamAndLogShapes) {
    Lines events, log;
    StepJsonLines stream(events, StepJsonLines::kEvents), file(log, StepJsonLines::kLog);
    StepFanOut both;
    both.Add(&stream);
    both.Add(&file);
    const StepItem item{StepItemKind::Dictionary, "law.dct", "Англо-русский словарь \"Право\""};
    both.ItemStarted(item);
    both.Progress(10, 100);
    both.Progress(10, 100); // the same percent again: no line
    both.Progress(1, 2);
    both.KernelCall("ImportDictionary", KLDO_E_DICT_EXISTS, std::chrono::microseconds(1500));
    both.MessageShown({1, "Словарь \"x\"", "", MessageIcon::None, MessageButtons::Ok, false},
                      MessageAnswer::Ok);
    both.ItemFinished(item, ItemOutcome::Failed, "", "Ошибка при импортировании словаря.");
    both.InstallationEnded(InstallResult::NothingDone, 1, 0, 1, 2);

    ASSERT_EQ(events.lines.size(), 6u);
    EXPECT_EQ(events.lines[0],
              "{\"event\":\"item-started\",\"kind\":\"dictionary\",\"key\":\"law.dct\","
              "\"name\":\"Англо-русский словарь \\\"Право\\\"\"}");
    EXPECT_EQ(events.lines[1], "{\"event\":\"progress\",\"percent\":10}");
    EXPECT_EQ(events.lines[2], "{\"event\":\"progress\",\"percent\":50}");
    EXPECT_EQ(events.lines[3],
              "{\"event\":\"message\",\"id\":1,\"text\":\"Словарь \\\"x\\\"\",\"icon\":\"none\","
              "\"buttons\":\"ok\",\"answer\":\"ok\"}");
    EXPECT_TRUE(events.lines[4].starts_with(
        "{\"event\":\"item-finished\",\"kind\":\"dictionary\",\"key\":\"law.dct\","))
        << events.lines[4];
    EXPECT_NE(
        events.lines[4].find(",\"result\":\"failed\",\"installed\":false,\"uid\":\"\","
                             "\"reason\":\"Ошибка при импортировании словаря.\",\"ms\":"),
        std::string::npos);
    EXPECT_EQ(events.lines[5],
              "{\"event\":\"installation-ended\",\"result\":\"nothing-done\",\"pageResult\":1,"
              "\"installed\":0,\"failed\":1,\"cancelled\":2}");

    // The log: time on every line, the kernel call, no progress.
    ASSERT_EQ(log.lines.size(), 5u);
    for (const std::string& line : log.lines)
        EXPECT_TRUE(line.starts_with("{\"time\":\"20") && line.find("Z\",\"event\":\"") == 32)
            << line;
    EXPECT_EQ(log.lines[1].substr(35),
              "\"event\":\"kernel-call\",\"operation\":\"ImportDictionary\","
              "\"status\":\"0x800F000F\",\"ms\":1.5}");
}

TEST(StepJsonLines, InstallationResults) {
    EXPECT_EQ(ClassifyInstallation(3, 0, 1, false), InstallResult::Installed);
    EXPECT_EQ(ClassifyInstallation(3, 1, 1, false), InstallResult::PartlyFailed);
    EXPECT_EQ(ClassifyInstallation(3, 0, 2, false), InstallResult::PartlyFailed);
    EXPECT_EQ(ClassifyInstallation(0, 2, 1, false), InstallResult::NothingDone);
    EXPECT_EQ(ClassifyInstallation(3, 0, 2, true), InstallResult::Cancelled);
}

} // namespace
} // namespace quillon
