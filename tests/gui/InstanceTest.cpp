// Single instance and "VANTEL_GO_HOME" over the instance socket.
#include "GuiTestSupport.h"
#include "shell/QtStartupHost.h"
#include "shell/WelcomeDlg.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace quillon::guitest {

class InstanceTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        const QStringList left = LeftOverWindows();
        QVERIFY2(left.isEmpty(), qPrintable("top-level windows left over: " + left.join(", ")));
    }

    void socketIsNamedAfterTheWindowClass() {
        QVERIFY(QString(kMainWindowClass).startsWith("Darvel9Class_"));
        QCOMPARE(QString(kMainWindowClass).size(), 13 + 36);
        QVERIFY(!QString(kMainWindowClass).contains('-'));
        QCOMPARE(QFileInfo(InstanceSocketPath()).fileName(), QString(kMainWindowClass));
    }

    void secondStartAsksTheFirstToComeToTheFront() {
        QTemporaryDir folder;
        const QString path = folder.filePath("instance");
        QtStartupHost first(path);
        QVERIFY(!first.BringExistingInstanceToFront());
        QVERIFY(first.Listening());
        QVERIFY(first.CreateMainWindow());
        first.ShowMainWindow();
        QWidget other; // another window has the focus meanwhile
        other.show();
        other.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &other);

        QtStartupHost second(path);
        QVERIFY(second.BringExistingInstanceToFront());
        QVERIFY(!second.Listening());
        // The first instance handles "ACTIVATE": its window comes to the front.
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(first.MainFrame()));
        QVERIFY(!first.MainFrame()->Closed());
    }

    void nameLeftOverFromAnEndedInstanceIsTakenOver() {
        QTemporaryDir folder;
        const QString path = folder.filePath("instance");
        {
            QFile stale(path);
            QVERIFY(stale.open(QIODevice::WriteOnly));
        }
        QtStartupHost host(path);
        QVERIFY(!host.BringExistingInstanceToFront());
        QVERIFY(host.Listening());
        QVERIFY(SendToRunningInstance(path, "ACTIVATE"));
    }

    void goHomeThroughTheSocketEndsTheOpenPage() {
        QTemporaryDir folder;
        const QString path = folder.filePath("instance");
        QtStartupHost host(path);
        QVERIFY(!host.BringExistingInstanceToFront());
        QVERIFY(host.CreateMainWindow());
        host.ShowMainWindow();
        CWelcomeDlg page(host.MainFrame(), [] { return true; });
        bool missed = false, sent = false;
        WhenShown<CWelcomeDlg>(
            [&](CWelcomeDlg*) { sent = SendToRunningInstance(path, "VANTEL_GO_HOME"); }, 5000,
            &missed);
        QCOMPARE(page.Run(), 2);
        QVERIFY(!missed);
        QVERIFY(sent);
        QVERIFY(!host.MainFrame()->Closed());

        // With no page open, the message closes the main window.
        QVERIFY(SendToRunningInstance(path, "VANTEL_GO_HOME"));
        QTRY_VERIFY(host.MainFrame()->Closed());
    }

    void unknownAndOverlongLinesAreIgnored() {
        QTemporaryDir folder;
        const QString path = folder.filePath("instance");
        QtStartupHost host(path);
        QVERIFY(!host.BringExistingInstanceToFront());
        QVERIFY(host.CreateMainWindow());
        host.ShowMainWindow();
        QSignalSpy ended(&host, &QtStartupHost::ConnectionEnded);
        QVERIFY(SendToRunningInstance(path, "SOMETHING_ELSE"));
        QVERIFY(SendToRunningInstance(path, QByteArray(100000, 'x')));
        QTRY_COMPARE(ended.count(), 2);
        QVERIFY(ProcessPostedEvents());
        QVERIFY(!host.MainFrame()->Closed());
    }
};

QObject* NewInstanceTest() {
    return new InstanceTest;
}

} // namespace quillon::guitest

#include "InstanceTest.moc"
