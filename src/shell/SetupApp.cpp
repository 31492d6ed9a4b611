#include "shell/SetupApp.h"

#include "platform/Ports.h"
#include "product/ComError.h"
#include "product/CreateService.h"
#include "product/Paths.h"
#include "product/RegistryKey.h"
#include "product/ServiceIds.h"
#include "product/StartupServices.h"
#include "shell/ServerWait.h"
#include "support/Messages.h"
#include "support/Strings.h"

#include <filesystem>

namespace quillon {
namespace {

constexpr const char* kWaitSwitch = "/WaitForServerExit";
constexpr const char* kProduct = "RAVIRI";

template <class Interface>
std::shared_ptr<Interface> TryCreate(std::string_view clsid) {
    try {
        return CreateService<Interface>(clsid);
    } catch (const ComError&) {
        return nullptr;
    }
}

// A command-line item that is a switch rather than the distribution folder: "-x", or "/x" that
// names no existing folder ("/WaitForServerExit"); "/srv/dist" is a folder.
bool IsSwitch(const std::string& item) {
    if (item.empty())
        return true;
    if (item[0] == '-')
        return true;
    if (item[0] != '/' || item.find('/', 1) != std::string::npos)
        return false;
    std::error_code ec;
    return !std::filesystem::is_directory(item, ec);
}

// The helper service's CheckResult: its answer; 0 when it cannot be created, 1 when the call fails.
HRESULT CheckResult(HRESULT code, const std::string& title) {
    auto helper = TryCreate<AppHelperService>(clsid::AppHelperService);
    if (!helper)
        return S_OK;
    try {
        return helper->CheckResult(code, title);
    } catch (const std::exception&) {
        return S_FALSE;
    }
}

} // namespace

CSetupApp::CSetupApp(StartupHost& host, std::shared_ptr<KernelService>& connection)
    : host_(host), connection_(connection) {}

CSetupApp::~CSetupApp() = default;

std::uint32_t ServerWaitTimeoutMs() {
    CRegistryKey key;
    if (!key.Open(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9\\"))
        return 5000;
    return key.GetDword("WaitServerExitTimeout", 5000);
}

bool CSetupApp::InitInstance(const std::vector<std::string>& commandLine) {
    host_.LoadInterfaceResources();
    appTitle_ = LoadString(57344);

    if (host_.BringExistingInstanceToFront())
        return false;
    if (!host_.InitializeMessageFilter()) {
        ShowMessage(5, MessageIcon::Error);
        return false;
    }

    for (std::size_t i = 1; i < commandLine.size(); ++i)
        if (commandLine[i] == kWaitSwitch) // exact, case-sensitive
            waitFlag_ = true;

    if (waitFlag_) {
        const std::uint32_t timeout = ServerWaitTimeoutMs();
        serverWait_ = std::make_unique<ServerWait>(Processes(), kServerProcessName, host_.TimerPeriod());
        serverWait_->Wait(timeout);
        serverWaitTicks_ = serverWait_->TicksWhenDone();
    }

    if (!ServerLoop() || !KernelProbe() || !ConnectKernel())
        return false;
    if (!SettingsCheck()) {
        HandOver(commandLine.empty() ? std::string() : commandLine[0]);
        return false;
    }

    for (std::size_t i = 1; i < commandLine.size(); ++i) {
        if (!IsSwitch(commandLine[i])) {
            commandLineFolder_ = AbsolutePath(commandLine[i]);
            AppendBackslash(commandLineFolder_);
            break;
        }
    }
    if (!host_.CreateMainWindow())
        return false;
    host_.ShowMainWindow();
    host_.PostCommand(commandLineFolder_.empty() ? kCommandNew : kCommandOpen);
    return true;
}

int CSetupApp::ExitInstance(int exitCode) {
    connection_.reset();
    serverWait_.reset();
    return exitCode;
}

// While the server process runs, its helper service is asked to run the product's own handling;
// S_FALSE means the product took over. When the helper service cannot be created, or answers
// anything else, the check is repeated once a second until the server-wait time-out, then
// message 57371 ends start-up.
bool CSetupApp::ServerLoop() {
    const std::uint32_t timeout = ServerWaitTimeoutMs();
    std::uint32_t waited = 0;
    while (Processes().IsProcessRunning(kServerProcessName)) {
        if (auto helper = TryCreate<AppHelperService>(clsid::AppHelperService)) {
            try {
                if (Failed(helper->SetCaption(appTitle_)))
                    return false;
                if (helper->RunApplication({}, {}) == S_FALSE)
                    return false;
            } catch (const std::exception&) {
                return false;
            }
        }
        if (waited >= timeout) {
            ShowMessage(57371);
            return false;
        }
        host_.Sleep(std::chrono::milliseconds(1000));
        waited += 1000;
    }
    return true;
}

bool CSetupApp::KernelProbe() {
    try {
        auto catalogue = CreateService<KernelCatalogService>(clsid::KernelCatalogService);
        ThrowIfFailed(catalogue->OpenCatalogue(kProduct, {}, 0));
        std::uint16_t count = 0;
        ThrowIfFailed(catalogue->GetCount(count));
        for (std::uint16_t i = 0; i < count; ++i) {
            std::shared_ptr<KernelCatalogueEntry> entry;
            ThrowIfFailed(catalogue->GetItem(i, entry));
            if (!entry)
                throw ComError(E_POINTER);
            std::string value;
            ThrowIfFailed(entry->GetItemValue(value));
        }
        return true;
    } catch (const ComError& error) {
        auto helper = TryCreate<AppHelperService>(clsid::AppHelperService);
        if (helper) {
            try {
                std::int32_t answer = 0;
                helper->ReportError(error.Error(), appTitle_, 0, answer);
                if (answer != 0)
                    helper->ShowError(error.Error(), appTitle_);
            } catch (const std::exception&) {
            }
        } else if (error.Error() == REGDB_E_CLASSNOTREG) {
            ShowMessage(1035); // the product's services are not registered: no KALDO here
        } else {
            ShowMessageText(57355, ServiceErrorText(error.Error()), MessageIcon::Error);
        }
        return false;
    } catch (const std::exception&) {
        ShowMessage(57371);
        return false;
    }
}

bool CSetupApp::ConnectKernel() {
    if (connection_)
        return true;
    std::shared_ptr<KernelService> kernel;
    HRESULT login = E_FAIL;
    try {
        kernel = CreateService<KernelService>(clsid::KernelService);
        auto loginInterface = QueryInterface<KernelLogin>(kernel);
        login = loginInterface ? loginInterface->Login(1, kProduct, 1) : E_NOINTERFACE;
    } catch (const ComError& error) {
        login = error.Error();
    } catch (...) {
        // Whatever else goes wrong here (no memory, a failure inside the service library) is a
        // failed login as well, not the end of the process.
        kernel.reset();
        login = E_FAIL;
    }
    if (!kernel || Failed(login)) {
        ShowMessageText(57355, ServiceErrorText(Failed(login) ? login : E_FAIL), MessageIcon::Error);
        return false;
    }
    connection_ = kernel;
    // The helper service must be told the installer's mode; without it the kernel cannot be
    // used as the product expects, as with a failed login.
    auto helper = TryCreate<AppHelperService>(clsid::AppHelperService);
    bool modeSet = false;
    try {
        modeSet = helper && Succeeded(helper->SetMode(3, 0));
    } catch (const std::exception&) {
    }
    if (!modeSet) {
        connection_.reset();
        ShowMessage(57355, MessageIcon::Error);
        return false;
    }
    if (CheckResult(login, appTitle_) != S_OK)
        return false; // the service has told the user why
    return true;
}

bool CSetupApp::SettingsCheck() {
    try {
        auto settings = CreateService<ProductSettingsService>(clsid::ProductSettingsService);
        if (settings->GetStatus() != S_OK)
            return false;
        std::vector<std::string> names;
        return Succeeded(settings->GetEntries(names));
    } catch (const std::exception&) {
        return false;
    }
}

void CSetupApp::HandOver(const std::string& ownPath) {
    auto helper = TryCreate<AppHelperService>(clsid::AppHelperService);
    if (!helper)
        return;
    try {
        if (Succeeded(helper->SetCaption(appTitle_)))
            helper->RunApplication(ownPath, {});
    } catch (const std::exception&) {
    }
}

} // namespace quillon
