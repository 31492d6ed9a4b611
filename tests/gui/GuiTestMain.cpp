// The main of the Qt tests: the POSIX ports on a scratch hive, home and temporary folder, the
// recording message port, the offscreen platform; then every test object in turn.
#include "GuiTestSupport.h"
#include "platform/Ports.h"
#include "platform/posix/PosixPorts.h"

#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kSkipped = 77;

// The skipped test functions of a TAP report ("ok N - name # SKIP reason").
int CountSkips(const std::string& tap) {
    std::ifstream in(tap);
    int skips = 0;
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("ok ") && line.find(" # SKIP") != std::string::npos)
            ++skips;
    return skips;
}

} // namespace

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
    // QUILLON_GUI_TEST_OBJECTS (class names, comma-separated) runs only those test objects; a name
    // that is no test object's is an error, not an empty run.
    const QStringList only = qEnvironmentVariable("QUILLON_GUI_TEST_OBJECTS").split(',', Qt::SkipEmptyParts);
    QStringList unmatched = only;
    int failures = 0, skips = 0, ran = 0;
    using Factory = QObject* (*)();
    for (Factory factory : {quillon::guitest::NewPagesTest, quillon::guitest::NewMainFrameTest,
                            quillon::guitest::NewMessagesTest, quillon::guitest::NewInstanceTest,
                            quillon::guitest::NewProgramTest, quillon::guitest::NewWizardPagesTest,
                            quillon::guitest::NewWholeWizardTest}) {
        std::unique_ptr<QObject> test(factory());
        const QString name = QString(test->metaObject()->className()).section("::", -1);
        if (!only.isEmpty() && unmatched.removeAll(name) == 0)
            continue;
        // Plain text on standard output as usual, and TAP in a file to count the skips by.
        const std::string tap = scratch + "/" + name.toStdString() + ".tap";
        std::vector<std::string> args(argv, argv + argc);
        args.insert(args.end(), {"-o", tap + ",tap", "-o", "-,txt"});
        std::vector<char*> pointers;
        for (auto& arg : args)
            pointers.push_back(arg.data());
        failures += QTest::qExec(test.get(), static_cast<int>(pointers.size()), pointers.data());
        skips += CountSkips(tap);
        ++ran;
    }
    std::error_code ec;
    fs::remove_all(scratch, ec);
    if (!unmatched.isEmpty()) {
        std::fprintf(stderr, "no test object named %s\n", qPrintable(unmatched.join(", ")));
        return 2;
    }
    if (ran == 0 || failures != 0)
        return 1;
    // A skip is not a pass: the runner is told (CTest's SKIP_RETURN_CODE).
    if (skips != 0) {
        std::printf("%d test function(s) skipped\n", skips);
        return kSkipped;
    }
    return 0;
}
