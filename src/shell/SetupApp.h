#pragma once
// CSetupApp: the installer's start-up sequence and exit. The checks run in a fixed order on the
// user thread: one instance only, the message filter, the optional wait for the product's server
// process, the server loop, the kernel probe, the kernel login, the settings check. Only when all
// pass does the main window open and the wizard start.
//
// What is the window system's (single instance, the message filter, the main window) goes through
// the StartupHost; the product's services through the object factory; messages through the
// message port.
#include "product/KernelService.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

// Commands posted to the main window at the end of start-up.
inline constexpr int kCommandNew = 0xE100;  // no distribution folder on the command line
inline constexpr int kCommandOpen = 0xE101; // RunWizard(CommandLineFolder)

class StartupHost {
public:
    virtual ~StartupHost() = default;
    // Loads the interface-language texts (before anything is shown).
    virtual void LoadInterfaceResources() = 0;
    // True when another instance has its main window open; it is brought to the front.
    virtual bool BringExistingInstanceToFront() = 0;
    // Installs the message filter and initialises the service runtime; false on failure.
    virtual bool InitializeMessageFilter() = 0;
    // Creates the document, the main window and its view; false on failure.
    virtual bool CreateMainWindow() = 0;
    virtual void ShowMainWindow() = 0;
    virtual void PostCommand(int command) = 0;
    // Pauses the user thread (the server loop's once-a-second check).
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
    // The server-wait timer's period (one second; tests shorten it).
    virtual std::chrono::milliseconds TimerPeriod() { return std::chrono::milliseconds(1000); }
};

class CSetupApp {
public:
    // `connection` is the process-wide kernel connection this object owns the use of.
    CSetupApp(StartupHost& host, std::shared_ptr<KernelService>& connection);
    ~CSetupApp();

    // The start-up sequence over the raw command line (item 0 is the installer's own path).
    // False ends the process without a main window.
    bool InitInstance(const std::vector<std::string>& commandLine);
    // Releases the kernel connection; answers the exit code given.
    int ExitInstance(int exitCode = 0);

    const std::string& AppTitle() const { return appTitle_; }
    const std::string& CommandLineFolder() const { return commandLineFolder_; }
    bool WaitFlag() const { return waitFlag_; }
    // How the server wait ended: ticks counted and whether the server had gone.
    int ServerWaitTicks() const { return serverWaitTicks_; }

private:
    bool ServerLoop();
    bool KernelProbe();
    bool ConnectKernel();
    bool SettingsCheck();
    void HandOver(const std::string& ownPath);

    StartupHost& host_;
    std::shared_ptr<KernelService>& connection_;
    std::string appTitle_;
    std::string commandLineFolder_;
    std::unique_ptr<class ServerWait> serverWait_; // its timer may outlive the wait
    bool waitFlag_ = false;
    int serverWaitTicks_ = 0;
};

// Reads "WaitServerExitTimeout" of SOFTWARE\Velmar Soft\KLDO9\ (local machine); 5000 without it.
std::uint32_t ServerWaitTimeoutMs();

} // namespace quillon
