#include "platform/Ports.h"
#include "platform/posix/PosixPorts.h"
#include "product/ComError.h"
#include "product/ServiceIds.h"
#include "product/StartupServices.h"
#include "shell/MessageFilter.h"
#include "shell/SetupApp.h"
#include "testsupport/Doubles.h"
#include "testsupport/TempDir.h"

#include <algorithm>
#include <deque>
#include "testsupport/KernelServiceDouble.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

struct Calls {
    std::vector<std::string> log;
};

class FakeHelper : public AppHelperService {
public:
    explicit FakeHelper(Calls& calls, HRESULT runResult, std::int32_t reportAnswer, HRESULT checkResult)
        : calls_(calls), run_(runResult), report_(reportAnswer), check_(checkResult) {}
    HRESULT SetCaption(const std::string& c) override { return Log("SetCaption " + c), S_OK; }
    HRESULT RunApplication(const std::string& p, const std::string& a) override { return Log("RunApplication [" + p + "] [" + a + "]"), run_; }
    HRESULT ReportError(HRESULT code, const std::string&, std::int32_t, std::int32_t& answer) override {
        Log("ReportError " + HResultText(code));
        answer = report_;
        return S_OK;
    }
    HRESULT ShowError(HRESULT code, const std::string&) override { return Log("ShowError " + HResultText(code)), S_OK; }
    HRESULT SetMode(std::int32_t m, std::int32_t f) override { return Log("SetMode " + std::to_string(m) + "," + std::to_string(f)), S_OK; }
    HRESULT CheckResult(HRESULT code, const std::string&) override { return Log("CheckResult " + std::to_string(code)), check_; }

private:
    void Log(const std::string& s) { calls_.log.push_back(s); }
    Calls& calls_;
    HRESULT run_;
    std::int32_t report_;
    HRESULT check_;
};

class FakeEntry : public KernelCatalogueEntry {
public:
    HRESULT GetItemValue(std::string& v) override { return v = "value", S_OK; }
};

class FakeCatalogue : public KernelCatalogService {
public:
    explicit FakeCatalogue(HRESULT openResult, bool throwOther) : open_(openResult), throw_(throwOther) {}
    HRESULT OpenCatalogue(const std::string& name, const std::string&, std::int32_t) override {
        if (throw_)
            throw std::runtime_error("access to the kernel refused");
        return name == "RAVIRI" ? open_ : E_INVALIDARG;
    }
    HRESULT GetCount(std::uint16_t& count) override { return count = 3, S_OK; }
    HRESULT GetItem(std::int32_t, std::shared_ptr<KernelCatalogueEntry>& e) override {
        ++items;
        e = std::make_shared<FakeEntry>();
        return S_OK;
    }
    int items = 0;

private:
    HRESULT open_;
    bool throw_;
};

class FakeKernel : public test::KernelServiceDouble {
public:
    FakeKernel(HRESULT loginResult, bool loginThrows) : login_(loginResult), throws_(loginThrows) {}
    HRESULT Login(std::int32_t c, const std::string& p, std::int32_t m) override {
        if (throws_)
            throw std::bad_alloc();
        return c == 1 && p == "RAVIRI" && m == 1 ? login_ : E_INVALIDARG;
    }

private:
    HRESULT login_;
    bool throws_;
};

class FakeSettings : public ProductSettingsService {
public:
    explicit FakeSettings(HRESULT status) : status_(status) {}
    HRESULT GetStatus() override { return status_; }
    HRESULT GetEntries(std::vector<std::string>& names) override { return names = {"a", "b"}, S_OK; }

private:
    HRESULT status_;
};

class FakeHost : public StartupHost {
public:
    void LoadInterfaceResources() override { log.push_back("resources"); }
    bool BringExistingInstanceToFront() override { return otherInstance; }
    bool InitializeMessageFilter() override { return filterOk; }
    bool CreateMainWindow() override { return log.push_back("window"), windowOk; }
    void ShowMainWindow() override { log.push_back("show"); }
    void PostCommand(int command) override { commands.push_back(command); }
    void Sleep(std::chrono::milliseconds) override { ++sleeps; }
    std::chrono::milliseconds TimerPeriod() override { return std::chrono::milliseconds(1); }

    bool otherInstance = false, filterOk = true, windowOk = true;
    int sleeps = 0;
    std::vector<std::string> log;
    std::vector<int> commands;
};

class SetupAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto& f = factory();
        f.RegisterInProcess(clsid::AppHelperService, [this]() -> std::shared_ptr<ComObject> {
            if (!helperAvailable)
                return nullptr;
            return std::make_shared<FakeHelper>(calls, runResult, reportAnswer, checkResult);
        });
        f.RegisterInProcess(clsid::KernelCatalogService, [this]() -> std::shared_ptr<ComObject> {
            if (catalogueMissing)
                throw ComError(REGDB_E_CLASSNOTREG);
            return catalogue = std::make_shared<FakeCatalogue>(catalogueOpen, catalogueThrows);
        });
        f.RegisterInProcess(clsid::KernelService, [this]() -> std::shared_ptr<ComObject> {
            if (!kernelAvailable)
                return nullptr;
            if (kernelThrows)
                throw std::runtime_error("the server process cannot be started");
            return std::make_shared<FakeKernel>(loginResult, loginThrows);
        });
        f.RegisterInProcess(clsid::ProductSettingsService,
                            [this]() -> std::shared_ptr<ComObject> { return std::make_shared<FakeSettings>(settingsStatus); });
    }
    void TearDown() override {
        for (auto id : {clsid::AppHelperService, clsid::KernelCatalogService, clsid::KernelService, clsid::ProductSettingsService})
            factory().UnregisterInProcess(id);
    }
    static posix::LibraryObjectFactory& factory() { return posix::Adapters().objects; }

    bool Start(std::vector<std::string> args) {
        CSetupApp app(host, connection);
        const bool ok = app.InitInstance(args);
        folder = app.CommandLineFolder();
        waitFlag = app.WaitFlag();
        ticks = app.ServerWaitTicks();
        if (ok) {
            EXPECT_NE(connection, nullptr);
        }
        app.ExitInstance();
        EXPECT_EQ(connection, nullptr);
        return ok;
    }

    FakeHost host;
    Calls calls;
    test::ScriptedMessages messages;
    test::FakeProcessList processes;
    ScopedPorts ports{Ports{.messages = &messages, .processes = &processes}};
    std::shared_ptr<KernelService> connection;
    std::shared_ptr<FakeCatalogue> catalogue;

    bool helperAvailable = true, kernelAvailable = true, catalogueMissing = false, catalogueThrows = false,
         kernelThrows = false, loginThrows = false;
    HRESULT runResult = S_FALSE, catalogueOpen = S_OK, loginResult = S_OK, checkResult = S_OK, settingsStatus = S_OK;
    std::int32_t reportAnswer = 0;

    std::string folder;
    bool waitFlag = false;
    int ticks = 0;
};

TEST_F(SetupAppTest, CleanStartOpensTheWindowAndPostsTheStartCommand) {
    EXPECT_TRUE(Start({"/opt/quillon/quillon"}));
    EXPECT_EQ(host.commands, std::vector<int>{kCommandNew});
    EXPECT_EQ(host.log, (std::vector<std::string>{"resources", "window", "show"}));
    EXPECT_EQ(catalogue->items, 3);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"SetMode 3,0", "CheckResult 0"}));
    EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(SetupAppTest, CommandLineFolderGetsATrailingSeparatorAndCommandOpen) {
    test::TempDir dir;
    EXPECT_TRUE(Start({"quillon", dir.Path()}));
    EXPECT_EQ(folder, dir.Path() + "/");
    EXPECT_EQ(host.commands, std::vector<int>{kCommandOpen});
    host.commands.clear();
    EXPECT_TRUE(Start({"quillon", "/WaitForServerExit", dir.Path() + "/"}));
    EXPECT_EQ(folder, dir.Path() + "/");
    EXPECT_EQ(host.commands, std::vector<int>{kCommandOpen});
}

TEST_F(SetupAppTest, WaitSwitchIsExactAndCaseSensitive) {
    EXPECT_TRUE(Start({"quillon", "/waitforserverexit"}));
    EXPECT_FALSE(waitFlag);
    EXPECT_EQ(folder, ""); // an unknown switch is no folder
    EXPECT_TRUE(Start({"quillon", "/WaitForServerExit"}));
    EXPECT_TRUE(waitFlag);
    EXPECT_EQ(ticks, 1); // no server: the first tick ends the wait
}

TEST_F(SetupAppTest, ServerThatNeverEndsIsWaitedForSixTicksThenTheServerLoopRuns) {
    processes.running = {"kldosvr.exe"};
    runResult = S_FALSE; // the product takes over
    EXPECT_FALSE(Start({"quillon", "/WaitForServerExit"}));
    EXPECT_EQ(ticks, 6);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"SetCaption Инсталлятор словарей", "RunApplication [] []"}));
    EXPECT_TRUE(host.log == std::vector<std::string>{"resources"});
    EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(SetupAppTest, ServerWaitTimeoutComesFromTheRegistry) {
    ASSERT_EQ(Registry().SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9", "WaitServerExitTimeout",
                                  RegistryValue::Dword(2000)),
              0);
    processes.running = {"KldoSvr.exe"};
    EXPECT_FALSE(Start({"quillon", "/WaitForServerExit"}));
    EXPECT_EQ(ticks, 3);
    Registry().DeleteValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9", "WaitServerExitTimeout");
}

// Without the helper service, or while it answers anything but S_FALSE (the product did not
// take over), the server process is checked again once a second until the time-out.
TEST_F(SetupAppTest, ServerLoopChecksOnceASecondThenGivesUp) {
    processes.running = {"KldoSvr.exe"};
    helperAvailable = false;
    EXPECT_FALSE(Start({"quillon"}));
    EXPECT_EQ(host.sleeps, 5);
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{57371});

    helperAvailable = true;
    runResult = S_OK;
    host.sleeps = 0;
    processes.calls = 0;
    messages.Clear();
    // A loop that never sleeps would spin forever; the server "ends" after 50 checks instead.
    processes.stopAfterCalls = 50;
    EXPECT_FALSE(Start({"quillon"}));
    EXPECT_EQ(host.sleeps, 5);
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{57371});
    EXPECT_EQ(std::count(calls.log.begin(), calls.log.end(), "RunApplication [] []"), 6);
}

TEST_F(SetupAppTest, SecondInstanceEndsSilently) {
    host.otherInstance = true;
    EXPECT_FALSE(Start({"quillon"}));
    EXPECT_TRUE(messages.Shown().empty());
    EXPECT_TRUE(calls.log.empty());
}

TEST_F(SetupAppTest, MessageFilterFailureShowsMessage5) {
    host.filterOk = false;
    EXPECT_FALSE(Start({"quillon"}));
    ASSERT_EQ(messages.ShownIds(), std::vector<int>{5});
    EXPECT_EQ(messages.Shown()[0].icon, MessageIcon::Error);
}

TEST_F(SetupAppTest, ProbeFailureIsReportedThroughTheHelperService) {
    catalogueOpen = KLDO_E_LOCKED;
    EXPECT_FALSE(Start({"quillon"}));
    EXPECT_EQ(calls.log, std::vector<std::string>{"ReportError 0x800F000A"});
    reportAnswer = 1;
    calls.log.clear();
    EXPECT_FALSE(Start({"quillon"}));
    EXPECT_EQ(calls.log, (std::vector<std::string>{"ReportError 0x800F000A", "ShowError 0x800F000A"}));
    EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(SetupAppTest, ProbeFailureWithoutAnyProductServiceIsShownByTheInstaller) {
    helperAvailable = false;
    catalogueMissing = true;
    EXPECT_FALSE(Start({"quillon"}));
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{1035});
    catalogueMissing = false;
    catalogueOpen = KLDO_E_LOCKED;
    messages.Clear();
    EXPECT_FALSE(Start({"quillon"}));
    ASSERT_EQ(messages.ShownIds(), std::vector<int>{57355});
    EXPECT_EQ(messages.Shown()[0].text, "Ошибка при обращении к сервису установки: 800F000A");
}

TEST_F(SetupAppTest, ProbeRaisingAnotherFailureShows57371) {
    catalogueThrows = true;
    EXPECT_FALSE(Start({"quillon"}));
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{57371});
}

TEST_F(SetupAppTest, KernelCreationOrLoginFailureShows57355WithTheCode) {
    kernelAvailable = false;
    EXPECT_FALSE(Start({"quillon"}));
    ASSERT_EQ(messages.ShownIds(), std::vector<int>{57355});
    EXPECT_EQ(messages.Shown()[0].text, "Ошибка при обращении к сервису установки: 80040111");
    kernelAvailable = true;
    loginResult = E_ACCESSDENIED;
    messages.Clear();
    EXPECT_FALSE(Start({"quillon"}));
    ASSERT_EQ(messages.ShownIds(), std::vector<int>{57355});
    EXPECT_EQ(messages.Shown()[0].text, "Ошибка при обращении к сервису установки: 80070005");
    EXPECT_EQ(messages.Shown()[0].icon, MessageIcon::Error);
}

// Failures that are no service error take the same path, with E_FAIL.
TEST_F(SetupAppTest, AnyExceptionWhileConnectingTheKernelShows57355) {
    kernelThrows = true;
    EXPECT_FALSE(Start({"quillon"}));
    kernelThrows = false;
    loginThrows = true;
    EXPECT_FALSE(Start({"quillon"}));
    ASSERT_EQ(messages.ShownIds(), (std::vector<int>{57355, 57355}));
    EXPECT_EQ(messages.Shown()[0].text, "Ошибка при обращении к сервису установки: 80004005");
    EXPECT_EQ(messages.Shown()[1].text, "Ошибка при обращении к сервису установки: 80004005");
    EXPECT_TRUE(host.commands.empty());
}

TEST_F(SetupAppTest, CheckResultNonzeroEndsSilently) {
    checkResult = S_FALSE;
    EXPECT_FALSE(Start({"quillon"}));
    EXPECT_TRUE(messages.Shown().empty());
    EXPECT_TRUE(host.commands.empty());
}

TEST_F(SetupAppTest, SettingsCheckThatDoesNotPassHandsOverTheInstallersPath) {
    settingsStatus = S_FALSE;
    EXPECT_FALSE(Start({"/opt/quillon/quillon", "/srv/dist"}));
    EXPECT_EQ(calls.log.back(), "RunApplication [/opt/quillon/quillon] []");
    EXPECT_TRUE(host.commands.empty());
}

// A queue of timer messages for the message filter.
class Queue : public TimerMessageQueue {
public:
    explicit Queue(int n, int consumedEvery = 0) : pending(n), consumeEvery(consumedEvery) {}
    bool TakeTimerMessage(QueuedMessage& m) override {
        if (pending == 0)
            return false;
        --pending;
        m.id = static_cast<std::uint32_t>(++taken);
        return true;
    }
    bool PreTranslate(const QueuedMessage& m) override { return consumeEvery && m.id % consumeEvery == 0; }
    void Dispatch(const QueuedMessage&) override { ++dispatched; }
    int pending, consumeEvery, taken = 0, dispatched = 0;
};

TEST(MessageFilter, DispatchesUpToSixteenTimerMessages) {
    CCustomMessageFilter filter;
    Queue none(0);
    EXPECT_FALSE(filter.OnMessagePending(none));
    Queue few(3, 2);
    EXPECT_TRUE(filter.OnMessagePending(few));
    EXPECT_EQ(few.dispatched, 2); // the hook consumed message 2
    Queue many(40);
    EXPECT_TRUE(filter.OnMessagePending(many));
    EXPECT_EQ(many.taken, 16);
    EXPECT_EQ(many.pending, 24);
}

} // namespace
} // namespace quillon
