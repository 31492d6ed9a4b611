// quillon: the installer's Qt front end. It installs the ports (the POSIX adapters and the Qt
// message handler), runs the start-up sequence, and on the posted start command runs the wizard.
#include "platform/Ports.h"
#include "platform/qt/QtCatalogue.h"
#include "platform/posix/PosixPorts.h"
#include "product/KernelConnection.h"
#include "shell/InstallerServices.h"
#include "shell/LauncherEntryTaskbar.h"
#include "shell/QtMessagePort.h"
#include "shell/QtStartupHost.h"
#include "shell/QtWizardHost.h"
#include "shell/RunWizard.h"
#include "shell/SetupApp.h"
#include "shell/TaskbarProgress.h"
#include "support/Version.h"

#include <QApplication>
#include <cstdio>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "usage: quillon [FOLDER] [/WaitForServerExit]\n"
    "       quillon --help | --version\n"
    "FOLDER is the distribution folder. QUILLON_AUTO_ANSWER answers the message boxes unattended\n"
    "(\"default\", or \"2016=No,...\" by string id).\n";

} // namespace

int main(int argc, char** argv) {
    using namespace quillon;
    // --help, -h and --version answer at once, without a window system.
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("quillon %s\n", QuillonVersion());
            return 0;
        }
    }
    QApplication application(argc, argv);

    posix::InstallPosixPorts();
    std::string error;
    std::optional<AutoAnswers> answers = AutoAnswers::FromEnvironment(error);
    if (!error.empty()) {
        std::fprintf(stderr, "quillon: %s: %s\n", kAutoAnswerVariable, error.c_str());
        return 2;
    }
    QtMessagePort messages(std::move(answers));
    CurrentPorts().messages = &messages;

    // Progress on the desktop's launcher entry where a session bus is there.
    std::unique_ptr<LauncherEntryTaskbar> launcherEntry = LauncherEntryTaskbar::OnSessionBus();
    SetTaskbar(launcherEntry.get());

    // The interface language's catalogue, chosen as start-up's first step.
    QtCatalogue catalogue;
    QtStartupHost startup({}, [&catalogue] { InstallInterfaceCatalogue(catalogue, {}); });
    CSetupApp app(startup, KernelConnection());

    // Qt has taken its own options (-platform, ...) out of the arguments.
    std::vector<std::string> commandLine;
    for (const QString& argument : QCoreApplication::arguments())
        commandLine.push_back(argument.toStdString());
    if (!app.InitInstance(commandLine)) {
        Taskbar().Release();
        SetTaskbar(nullptr);
        return app.ExitInstance(1);
    }

    QtWizardHost host(*startup.MainFrame(), InstallerServices());
    startup.MainFrame()->SetCommandHandler([&](int command) {
        RunWizard(host, command == kCommandOpen ? app.CommandLineFolder() : std::string());
    });

    const int code = QApplication::exec();
    Taskbar().Release();
    SetTaskbar(nullptr);
    return app.ExitInstance(code);
}
