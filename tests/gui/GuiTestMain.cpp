// The main of the Qt tests: the POSIX ports on a scratch hive, home and temporary folder, the
// recording message port, the offscreen platform; then every test object in turn.
#include "GuiTestSupport.h"
#include "platform/Ports.h"
#include "platform/posix/PosixPorts.h"

#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::string scratch = (fs::temp_directory_path() / "quillon-gui-XXXXXX").string();
    if (!::mkdtemp(scratch.data()))
        return 2;
    fs::create_directories(scratch + "/home/Documents");
    fs::create_directories(scratch + "/tmp");
    ::setenv("QUILLON_REGISTRY", (scratch + "/registry.reg").c_str(), 1);
    ::setenv("HOME", (scratch + "/home").c_str(), 1);
    ::setenv("TMPDIR", (scratch + "/tmp").c_str(), 1);
    ::unsetenv("XDG_CACHE_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_DOCUMENTS_DIR");
    fs::create_directories(scratch + "/run");
    fs::permissions(scratch + "/run", fs::perms::owner_all, fs::perm_options::replace);
    ::setenv("XDG_RUNTIME_DIR", (scratch + "/run").c_str(), 1);
    ::unsetenv("QUILLON_AUTO_ANSWER");
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    quillon::posix::InstallPosixPorts();
    quillon::CurrentPorts().messages = &quillon::guitest::Recorded();

    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // QUILLON_GUI_TEST_OBJECTS (class names, comma-separated) runs only those test objects.
    const QStringList only = qEnvironmentVariable("QUILLON_GUI_TEST_OBJECTS").split(',', Qt::SkipEmptyParts);
    int failures = 0;
    using Factory = QObject* (*)();
    for (Factory factory : {quillon::guitest::NewPagesTest, quillon::guitest::NewMainFrameTest,
                            quillon::guitest::NewMessagesTest, quillon::guitest::NewInstanceTest,
                            quillon::guitest::NewProgramTest, quillon::guitest::NewWizardPagesTest,
                            quillon::guitest::NewWholeWizardTest}) {
        std::unique_ptr<QObject> test(factory());
        if (only.isEmpty() || only.contains(QString(test->metaObject()->className()).section("::", -1)))
            failures += QTest::qExec(test.get(), argc, argv);
    }
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return failures == 0 ? 0 : 1;
}
