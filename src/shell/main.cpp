// quillon: the installer's Qt front end. It installs the ports (the POSIX adapters and the Qt
// message handler), runs the start-up sequence, and on the posted start command runs the wizard.
#include "platform/Ports.h"
#include "platform/StepJsonLines.h"
#include "platform/posix/AppendOnlyFile.h"
#include "platform/posix/PosixPorts.h"
#include "platform/qt/QtCatalogue.h"
#include "product/KernelConnection.h"
#include "product/ObservedServices.h"
#include "shell/InstallerServices.h"
#include "shell/LauncherEntryTaskbar.h"
#include "shell/QtMessagePort.h"
#include "shell/QtStartupHost.h"
#include "shell/QtWizardHost.h"
#include "shell/RunWizard.h"
#include "shell/SetupApp.h"
#include "shell/TaskbarProgress.h"
#include "support/Json.h"
#include "support/Messages.h"
#include "support/Version.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <unistd.h>

namespace {

constexpr const char* kUsage =
    "usage: quillon [FOLDER] [/WaitForServerExit]\n"
    "       quillon --help | --version\n"
    "FOLDER is the distribution folder. QUILLON_AUTO_ANSWER answers the message boxes unattended\n"
    "(\"default\", or \"2016=No,...\" by string id). QUILLON_LOG=FILE appends every step to FILE\n"
    "as JSON lines (docs/quillon-cli.md, \"Log\").\n";

// QUILLON_LOG=FILE: the steps of the session (items, kernel calls, messages) appended to FILE,
// the same log as quillon-cli --log writes.
class WindowLog {
public:
    WindowLog() {
        const char* path = std::getenv("QUILLON_LOG");
        if (!path || !*path)
            return;
        std::string error;
        file_ = quillon::posix::AppendOnlyFile::Open(path, error);
        if (!file_) {
            std::fprintf(stderr, "quillon: QUILLON_LOG: %s\n", error.c_str());
            return;
        }
        lines_ = std::make_unique<quillon::StepJsonLines>(*file_, quillon::StepJsonLines::kLog);
        lines_->Note("start", "\"program\":\"quillon\",\"version\":" + quillon::JsonString(quillon::QuillonVersion()) +
                                  ",\"pid\":" + std::to_string(::getpid()));
        observation_ = std::make_unique<quillon::ScopedObservation>(*lines_, false);
    }
    int End(int exitCode) {
        observation_.reset();
        if (lines_)
            lines_->Note("end", "\"exitCode\":" + std::to_string(exitCode));
        return exitCode;
    }

private:
    std::unique_ptr<quillon::posix::AppendOnlyFile> file_;
    std::unique_ptr<quillon::StepJsonLines> lines_;
    std::unique_ptr<quillon::ScopedObservation> observation_;
};

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

    auto& hive = posix::InstallPosixPorts().registry;
    std::string error;
    std::optional<AutoAnswers> answers = AutoAnswers::FromEnvironment(error);
    if (!error.empty()) {
        std::fprintf(stderr, "quillon: %s: %s\n", kAutoAnswerVariable, error.c_str());
        return 2;
    }
    QtMessagePort messages(std::move(answers));
    CurrentPorts().messages = &messages;
    // A hive that cannot be read (a FIFO, a folder, a malformed file) is named, not mistaken
    // for a machine without the product.
    if (hive.Check() != regerr::Success) {
        std::fprintf(stderr, "quillon: %s\n", hive.Error().c_str());
        ShowText(hive.Error(), MessageIcon::Error);
        return 1;
    }
    WindowLog log;

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
        return log.End(app.ExitInstance(1));
    }

    QtWizardHost host(*startup.MainFrame(), InstallerServices());
    startup.MainFrame()->SetCommandHandler([&](int command) {
        RunWizard(host, command == kCommandOpen ? app.CommandLineFolder() : std::string());
    });

    const int code = QApplication::exec();
    Taskbar().Release();
    SetTaskbar(nullptr);
    return log.End(app.ExitInstance(code));
}
