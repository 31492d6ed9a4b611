// The quillon program end to end, on the offscreen platform with unattended answers.
#include "GuiTestSupport.h"
#include "platform/posix/HiveRegistry.h"
#include "shell/QtStartupHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace quillon::guitest {

namespace {

struct Run {
    int exitCode = -1;
    bool finished = false;
    QString stderrText;
    QString stdoutText;
};

// Runs quillon with a scratch hive, home and temporary folder.
Run RunQuillon(const QTemporaryDir& scratch, const QStringList& arguments,
               const QString& autoAnswer, std::function<void()> whileRunning = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLON_REGISTRY", scratch.filePath("registry.reg"));
    env.insert("HOME", scratch.path());
    env.insert("TMPDIR", scratch.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QUILLON_AUTO_ANSWER", autoAnswer);
    env.insert("XDG_RUNTIME_DIR", scratch.path()); // the instance socket's folder (mode 0700)
    process.setProcessEnvironment(env);
    process.start(QUILLON_EXE, arguments);
    Run run;
    if (!process.waitForStarted(10000))
        return run;
    if (whileRunning)
        whileRunning();
    run.finished = process.waitForFinished(60000);
    if (!run.finished)
        process.kill(), process.waitForFinished(5000);
    run.exitCode = process.exitCode();
    run.stderrText = QString::fromUtf8(process.readAllStandardError());
    run.stdoutText = QString::fromUtf8(process.readAllStandardOutput());
    return run;
}

// Registers a reference product with English-Russian in the scratch hive.
bool InitProduct(const QTemporaryDir& scratch) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLON_REGISTRY", scratch.filePath("registry.reg"));
    QProcess init;
    init.setProcessEnvironment(env);
    init.start(KALDO_PRODUCT_TOOL, {"init", scratch.filePath("product"), "--directions", "ER",
                                    "--library", KALDO_REFPRODUCT_LIBRARY});
    return init.waitForFinished(60000) && init.exitCode() == 0;
}

} // namespace

class ProgramTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        const QStringList left = LeftOverWindows();
        QVERIFY2(left.isEmpty(), qPrintable("top-level windows left over: " + left.join(", ")));
    }

    // No product registered: start-up shows message 1035 and the program ends.
    void withoutTheProductMessage1035AndExit() {
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        QFile hive(scratch.filePath("registry.reg"));
        QVERIFY(hive.open(QIODevice::WriteOnly));
        hive.write("Windows Registry Editor Version 5.00\r\n\r\n");
        hive.close();
        const Run run = RunQuillon(scratch, {"/srv/dist"}, "default");
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.stderrText.trimmed(), QString("message 1035: Систем перевода семейства KALDO "
                                                   "на вашем компьютере не обнаружено."));
    }

    // A user who may not change the product: message 2027 and exit 1. With --pkexec (the menu
    // entry) the window is first started again through pkexec, here a stand-in that says what it
    // was asked to run.
    void withoutTheRightsMessage2027AndExit1() {
        if (::geteuid() == 0)
            QSKIP("root may change everything: run as another user");
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        QVERIFY(InitProduct(scratch));
        QVERIFY(QFile::setPermissions(scratch.filePath("product/directions"), QFile::ReadOwner | QFile::ExeOwner));
        const Run refused = RunQuillon(scratch, {}, "default");
        QVERIFY(refused.finished);
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.stderrText.startsWith("message 2027: "), qPrintable(refused.stderrText));

        const QString pkexec = scratch.filePath("pkexec"), asked = scratch.filePath("asked");
        QFile script(pkexec);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(("#!/bin/sh\nprintf '%s\\n' \"$@\" >'" + asked + "'\nexit 0\n").toUtf8());
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("QUILLON_PKEXEC", pkexec.toUtf8());
        const Run elevated = RunQuillon(scratch, {"--pkexec", scratch.path()}, "default");
        qunsetenv("QUILLON_PKEXEC");
        QVERIFY(QFile::setPermissions(scratch.filePath("product/directions"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(elevated.finished);
        QCOMPARE(elevated.exitCode, 0); // what pkexec ended with
        QVERIFY2(elevated.stderrText.isEmpty(), qPrintable(elevated.stderrText));
        QFile words(asked);
        QVERIFY(words.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(words.readAll()),
                 QFileInfo(QUILLON_EXE).canonicalFilePath() + "\n" + QDir(scratch.path()).absolutePath() + "\n");
    }

    // With the reference product registered, the wizard opens its welcome page; "VANTEL_GO_HOME"
    // from another program of the product ends it, and with it the program, without a message.
    // QUILLON_LOG=FILE: the session's steps as JSON lines, from "start" to "end".
    void withTheProductTheWelcomePageOpens() {
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        QVERIFY(InitProduct(scratch));
        qputenv("QUILLON_TRACE_PAGES", "1");
        qputenv("QUILLON_LOG", scratch.filePath("steps.jsonl").toUtf8());
        const Run run = RunQuillon(scratch, {scratch.path()}, "default", [&] {
            // Wait (bounded) for the page, then send the product's "go home".
            const QString socket = QDir(scratch.path()).filePath(kMainWindowClass);
            for (int i = 0; i < 300 && !SendToRunningInstance(socket, kGoHomeMessage); ++i)
                QTest::qWait(100);
        });
        qunsetenv("QUILLON_TRACE_PAGES");
        qunsetenv("QUILLON_LOG");
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.stderrText.contains("page CWelcomeDlg"), qPrintable(run.stderrText));
        QVERIFY2(!run.stderrText.contains("message "), qPrintable(run.stderrText));
        QFile log(scratch.filePath("steps.jsonl"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QStringList events;
        for (const QByteArray& line : log.readAll().split('\n')) {
            if (line.isEmpty())
                continue;
            QJsonParseError error;
            const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
            QVERIFY(object.value("time").toString().endsWith('Z'));
            events << object.value("event").toString() + " " + object.value("operation").toString();
        }
        QVERIFY2(events.size() > 2 && events.first() == "start " && events.last() == "end ", qPrintable(events.join(", ")));
        QVERIFY2(events.contains("kernel-call Login"), qPrintable(events.join(", ")));
    }

    // While a process named "KldoSvr.exe" runs and the product's helper service does not take
    // over (RunApplication answers S_OK), start-up checks again once a second and, after the
    // server-wait time-out, shows message 57371 and ends.
    void runningServerThatIsNotTakenOverEndsWith57371() {
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        QVERIFY(InitProduct(scratch));
        posix::HiveRegistry hive(scratch.filePath("registry.reg").toStdString());
        QCOMPARE(hive.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9",
                               "WaitServerExitTimeout", RegistryValue::Dword(1000)),
                 0);
        QCOMPARE(hive.SetValue(RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9\\Reference",
                               "RunApplicationResult", RegistryValue::Dword(0)),
                 0);
        const QString server = scratch.filePath("KldoSvr.exe");
        QVERIFY(QFile::link("/bin/sleep", server));
        QProcess serverProcess;
        serverProcess.start(server, {"120"});
        QVERIFY(serverProcess.waitForStarted(10000));
        const Run run = RunQuillon(scratch, {}, "default");
        serverProcess.kill();
        serverProcess.waitForFinished(5000);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.stderrText.trimmed() == "message 57371: Доступ к ядру перевода запрещен. Пожалуйста, "
                                             "закройте все запущенные приложения системы KALDO и повторите "
                                             "операцию.",
                 qPrintable(run.stderrText));
    }

    // --help and -h print the usage on standard output, --version the version; no window.
    void helpAndVersionGoToStandardOutput() {
        QTemporaryDir scratch;
        for (const char* flag : {"--help", "-h"}) {
            const Run help = RunQuillon(scratch, {flag}, "default");
            QVERIFY(help.finished);
            QCOMPARE(help.exitCode, 0);
            QVERIFY2(help.stdoutText.startsWith("usage: quillon "), qPrintable(help.stdoutText));
            QCOMPARE(help.stderrText, QString());
        }
        const Run version = RunQuillon(scratch, {"--version"}, "default");
        QCOMPARE(version.exitCode, 0);
        QVERIFY2(QRegularExpression("^quillon [0-9]+\\.[0-9]+(\\.[0-9]+)*\n$").match(version.stdoutText).hasMatch(),
                 qPrintable(version.stdoutText));
    }

    void malformedAutoAnswerIsRefused() {
        QTemporaryDir scratch;
        const Run run = RunQuillon(scratch, {}, "2016=Maybe");
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.stderrText.contains("QUILLON_AUTO_ANSWER"));
        QVERIFY(run.stderrText.contains("Maybe"));
    }

    // A second start finds the first one's socket, asks it to come to the front and ends
    // without any message.
    void secondInstanceExitsSilently() {
        QTemporaryDir scratch;
        QLocalServer first;
        QVERIFY(first.listen(QDir(scratch.path()).filePath(kMainWindowClass)));
        QVERIFY(QFile::exists(QDir(scratch.path()).filePath(kMainWindowClass)));
        QByteArray received;
        const Run run = RunQuillon(scratch, {}, "default", [&] {
            QVERIFY(first.waitForNewConnection(30000));
            QLocalSocket* socket = first.nextPendingConnection();
            while (!received.contains('\n') && socket->waitForReadyRead(10000))
                received += socket->readAll();
        });
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.stderrText, QString());
        QCOMPARE(received, QByteArray("ACTIVATE\n"));
    }
};

QObject* NewProgramTest() {
    return new ProgramTest;
}

} // namespace quillon::guitest

#include "ProgramTest.moc"
