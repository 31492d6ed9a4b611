// quillon: the installer's Qt front end. It installs the ports (the POSIX adapters and the Qt
// message handler), runs the start-up sequence, and on the posted start command runs the wizard.
#include "platform/Ports.h"
#include "platform/posix/PosixPorts.h"
#include "shell/QtMessagePort.h"
#include "shell/QtStartupHost.h"
#include "shell/QtWizardHost.h"
#include "shell/RunWizard.h"
#include "shell/SetupApp.h"
#include "shell/TaskbarProgress.h"
#include "distribution/KldoInifileManager.h"
#include "distribution/SourceSearch.h"
#include "product/KernelConnection.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    using namespace quillon;
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

    QtStartupHost startup;
    CSetupApp app(startup, KernelConnection());

    // Qt has taken its own options (-platform, ...) out of the arguments.
    std::vector<std::string> commandLine;
    for (const QString& argument : QCoreApplication::arguments())
        commandLine.push_back(argument.toStdString());
    if (!app.InitInstance(commandLine)) {
        Taskbar().Release();
        return app.ExitInstance(1);
    }

    // One pass's description copies: CKldoInifileManager as the wizard's port.
    class Copies : public DescriptionCopies {
    public:
        bool Prepare(const std::string& folder) override { return manager.Prepare(folder); }
        CKldoInifileManager manager;
    };
    WizardServices services;
    services.ensureKernelConnection = [] { return EnsureKernelConnection(); };
    services.releaseKernelConnection = [] { ReleaseKernelConnection(); };
    services.newDescriptionCopies = [] { return std::make_unique<Copies>(); };
    services.nextCdDrive = [](std::string& drive) { return NextCdDrive(drive); };
    services.installerFolder = [] { return GetInstallerFolder(); };
    QtWizardHost host(*startup.MainFrame(), std::move(services));
    startup.MainFrame()->SetCommandHandler([&](int command) {
        RunWizard(host, command == kCommandOpen ? app.CommandLineFolder() : std::string());
    });

    const int code = QApplication::exec();
    Taskbar().Release();
    return app.ExitInstance(code);
}
