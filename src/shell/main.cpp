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

    std::shared_ptr<KernelService> connection; // the process-wide KernelConnection
    QtStartupHost startup;
    CSetupApp app(startup, connection);

    // Qt has taken its own options (-platform, ...) out of the arguments.
    std::vector<std::string> commandLine;
    for (const QString& argument : QCoreApplication::arguments())
        commandLine.push_back(argument.toStdString());
    if (!app.InitInstance(commandLine)) {
        Taskbar().Release();
        return app.ExitInstance(1);
    }

    WizardServices services;
    // Until the kernel connection of the product layer is connected here, the wizard uses the one
    // start-up made; after a release it is not created again.
    services.ensureKernelConnection = [&connection] { return connection != nullptr; };
    services.releaseKernelConnection = [&connection] { connection.reset(); };
    QtWizardHost host(*startup.MainFrame(), std::move(services));
    startup.MainFrame()->SetCommandHandler([&](int command) {
        RunWizard(host, command == kCommandOpen ? app.CommandLineFolder() : std::string());
    });

    const int code = QApplication::exec();
    Taskbar().Release();
    return app.ExitInstance(code);
}
