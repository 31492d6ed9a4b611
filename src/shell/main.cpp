// quillon: the installer's Qt front end. It installs the ports (the POSIX adapters and the Qt
// message handler), runs the start-up sequence, and on the posted start command runs the wizard.
#include "platform/Ports.h"
#include "platform/StepJsonLines.h"
#include "platform/posix/AppendOnlyFile.h"
#include "platform/posix/PosixPorts.h"
#include "platform/posix/QmCatalogue.h"
#include "product/InterfaceLanguage.h"
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
#include "platform/posix/PosixAdministrator.h"
#include "support/CommandLine.h"
#include "support/Json.h"
#include "support/Text.h"
#include "support/Messages.h"
#include "support/Version.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <memory>
#include <string_view>
#include <unistd.h>

namespace {

constexpr const char* kUsage =
    "usage: quillon [--wait-for-server-exit] [--pkexec] [--] [FOLDER]\n"
    "       quillon --help | --version\n"
    "FOLDER is the distribution folder.\n"
    "  --wait-for-server-exit  first wait for the product's server process to end (the product\n"
    "                          passes this as /WaitForServerExit, which is accepted too)\n"
    "  --pkexec                without the rights to change the product, start again through\n"
    "                          pkexec, which asks for an administrator's password (the menu entry)\n"
    "QUILLON_AUTO_ANSWER answers the message boxes unattended (\"default\", or \"2016=No,...\" by\n"
    "string id). QUILLON_LOG=FILE appends every step to FILE as JSON lines (docs/quillon-cli.md).\n"
    "Exit status: 0 done; 1 could not start or the rights are missing; 2 bad usage.\n";

constexpr const char* kWaitSwitch = "/WaitForServerExit";

// The command line left after Qt took its own options (-platform, ...): the program, the folder
// when one is given, and the product's wait switch; nothing, with the mistake on standard error,
// when an option is not ours.
std::optional<std::vector<std::string>> ReadCommandLine(const QStringList& arguments, bool& pkexec) {
    std::vector<std::string> words;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        words.push_back(arguments[i].toStdString());
    const quillon::CommandLine line(words, {{"wait-for-server-exit", 0, false}, {"pkexec", 0, false}});
    if (!line.Ok()) {
        std::fprintf(stderr, "quillon: %s\nTry 'quillon --help' for more information.\n",
                     quillon::TerminalSafe(line.Error()).c_str());
        return std::nullopt;
    }
    std::vector<std::string> out{arguments.isEmpty() ? "quillon" : arguments[0].toStdString()};
    bool wait = line.Has("wait-for-server-exit");
    for (const std::string& operand : line.Operands()) {
        std::error_code ec;
        if (operand == kWaitSwitch && !std::filesystem::is_directory(operand, ec)) {
            wait = true;
        } else if (out.size() == 1) { // an absolute folder is never taken for a switch
            out.push_back(std::filesystem::absolute(operand, ec).lexically_normal().string());
        } else {
            std::fprintf(stderr, "quillon: more than one FOLDER given\nTry 'quillon --help' for more information.\n");
            return std::nullopt;
        }
    }
    if (wait)
        out.push_back(kWaitSwitch);
    pkexec = line.Has("pkexec");
    return out;
}

// Qt's own texts (the folder picker's buttons and labels) in the interface language, from the
// translations Qt installs (qt6-translations-l10n); Russian when the product names no language,
// as the built-in texts are. Without them Qt speaks English.
void LoadQtTexts(QTranslator& translator) {
    const char* name = nullptr;
    switch (quillon::GetInterfaceLanguageId() & 0x3FF) {
    case 0x07: name = "de"; break;
    case 0x09: return; // Qt's own language
    case 0x0A: name = "es"; break;
    case 0x0C: name = "fr"; break;
    case 0x16: name = "pt_BR"; break;
    case 0x22: name = "uk"; break;
    case 0x27: name = "lt"; break;
    default: name = "ru"; break;
    }
    if (translator.load(QString("qtbase_") + name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

// --pkexec without the rights to change the product: the window again as an administrator,
// through pkexec (its polkit action, com.velmarsoft.quillon.run, lets it reach the display).
// Answers only when pkexec could not be started; what pkexec ends with is this run's end.
void StartThroughPkexec(const std::vector<std::string>& commandLine) {
    const char* pkexec = std::getenv("QUILLON_PKEXEC"); // the tests' stand-in
    const std::string program = pkexec && *pkexec ? pkexec : "/usr/bin/pkexec";
    std::error_code ec;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec || ::access(program.c_str(), X_OK) != 0)
        return;
    std::vector<std::string> words{program, self};
    words.insert(words.end(), commandLine.begin() + 1, commandLine.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    ::execv(program.c_str(), argv.data());
}

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
    bool pkexec = false;
    const auto read = ReadCommandLine(QCoreApplication::arguments(), pkexec);
    if (!read)
        return 2;
    const std::vector<std::string>& commandLine = *read;

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
    if (pkexec && ::geteuid() != 0 && !posix::IsUserAdministrator())
        StartThroughPkexec(commandLine);
    WindowLog log;

    // Progress on the desktop's launcher entry where a session bus is there.
    std::unique_ptr<LauncherEntryTaskbar> launcherEntry = LauncherEntryTaskbar::OnSessionBus();
    SetTaskbar(launcherEntry.get());

    // The interface language's catalogue, chosen as start-up's first step.
    QmCatalogue catalogue;
    QTranslator qtTexts;
    QtStartupHost startup({}, [&catalogue, &qtTexts] {
        InstallInterfaceCatalogue(catalogue, {});
        LoadQtTexts(qtTexts);
    });
    CSetupApp app(startup, KernelConnection());

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
    // The window closed because the rights were missing (message 2027): that run failed.
    return log.End(app.ExitInstance(code != 0 ? code : startup.MainFrame()->ExitCode()));
}
