// The main window: its background, its caption, and "VANTEL_GO_HOME".
#include "shell/MainFrame.h"
#include "GuiTestSupport.h"
#include "distribution/KaldoPathDlg.h"
#include "shell/ConfirmDlg.h"
#include "shell/WelcomeDlg.h"

#include "shell/LauncherEntryTaskbar.h"

#include <QDBusConnection>
#include <QImage>
#include <QProcess>
#include <QPainter>
#include <QPushButton>
#include <QTest>

namespace quillon::guitest {

// Receives the launcher entry's Update signals.
class LauncherEntryReceiver : public QObject {
    Q_OBJECT
public slots:
    void Update(const QString& appUri, const QVariantMap& properties) { updates.append({appUri, properties}); }

public:
    QList<QPair<QString, QVariantMap>> updates;
};

namespace {

int WhitePixels(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == QColor(Qt::white))
                ++count;
    return count;
}

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Recorded() = RecordingMessages(); }

    void cleanup() {
        const QStringList left = LeftOverWindows();
        QVERIFY2(left.isEmpty(), qPrintable("top-level windows left over: " + left.join(", ")));
    }

    void gradientFirstAndLastLinesOn768Rows() {
        QImage image(1024, 768, QImage::Format_RGB32);
        image.fill(Qt::red);
        {
            QPainter painter(&image);
            CMainFrame::PaintBackground(painter, image.size());
        }
        // Line y = 0 is blue 255; the line at y = 768 (the last row) is blue 0.
        QCOMPARE(image.pixelColor(1023, 0), QColor(0, 0, 255));
        QCOMPARE(image.pixelColor(600, 767), QColor(0, 0, 0));
        // Rows y-1 and y carry line y: row 384 is 255 - 384*255/768 = 128, row 385 line 386: 127.
        QCOMPARE(image.pixelColor(600, 384), QColor(0, 0, 128));
        QCOMPARE(image.pixelColor(600, 385), QColor(0, 0, 127));
        QCOMPARE(image.pixelColor(600, 766), QColor(0, 0, 1));
        // No row is left unpainted.
        for (int y = 0; y < 768; ++y)
            QCOMPARE(image.pixelColor(1000, y).red(), 0);
        // The title in white starts at (15, 15): nothing white above or left of it.
        QVERIFY(WhitePixels(image, QRect(15, 15, 500, 40)) > 100);
        QCOMPARE(WhitePixels(image, QRect(0, 0, 1024, 15)), 0);
        QCOMPARE(WhitePixels(image, QRect(0, 0, 15, 768)), 0);
    }

    void theWindowPaintsTheSameBackground() {
        CMainFrame frame;
        QVERIFY(frame.windowFlags() & Qt::WindowTitleHint);
        QVERIFY(!(frame.windowFlags() & Qt::WindowSystemMenuHint));
        QVERIFY(!(frame.windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(frame.windowTitle(), QString("Инсталлятор словарей"));
        frame.resize(800, 768);
        const QImage shot = frame.grab().toImage();
        QCOMPARE(shot.height(), 768);
        QCOMPARE(shot.pixelColor(10, 0), QColor(0, 0, 255));
        QCOMPARE(shot.pixelColor(10, 767), QColor(0, 0, 0));
    }

    // On a session bus the taskbar progress is the launcher entry's: the fraction done, shown
    // while an installation runs and hidden at its end.
    void launcherEntryProgressIsSignalledOnTheSessionBus() {
        QProcess daemon;
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!daemon.waitForStarted(5000))
            QSKIP("no dbus-daemon on this machine");
        QVERIFY(daemon.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
        {
            QDBusConnection sender = QDBusConnection::connectToBus(address, "quillon-sender");
            QDBusConnection listener = QDBusConnection::connectToBus(address, "quillon-listener");
            QVERIFY(sender.isConnected() && listener.isConnected());
            LauncherEntryReceiver receiver;
            QVERIFY(listener.connect({}, {}, LauncherEntryTaskbar::kInterface, "Update", &receiver,
                                     SLOT(Update(QString, QVariantMap))));
            LauncherEntryTaskbar taskbar(sender, "quillon.desktop");
            QVERIFY(taskbar.SetProgressValue(0, 1, 4));
            QVERIFY(taskbar.SetProgressState(0, TaskbarState::NoProgress));
            QVERIFY(!taskbar.SetOverlayIcon(0, "143", {}));
            QTRY_COMPARE(receiver.updates.size(), 2);
            QCOMPARE(receiver.updates[0].first, QString("application://quillon.desktop"));
            QCOMPARE(receiver.updates[0].second["progress"].toDouble(), 0.25);
            QCOMPARE(receiver.updates[0].second["progress-visible"].toBool(), true);
            QCOMPARE(receiver.updates[1].second["progress-visible"].toBool(), false);
        }
        QDBusConnection::disconnectFromBus("quillon-sender");
        QDBusConnection::disconnectFromBus("quillon-listener");
        daemon.kill();
        daemon.waitForFinished(5000);
    }

    void goHomeWithNoPageOpenClosesTheWindow() {
        CMainFrame frame;
        frame.show();
        QCOMPARE(frame.OnGoHome(), 0);
        QTRY_VERIFY(frame.Closed());
        QVERIFY(!frame.isVisible());
    }

    void goHomeEndsTheOpenPageWithCancelWithoutAsking() {
        CMainFrame frame;
        frame.show();
        CWelcomeDlg page(&frame, [] { return true; });
        bool missed = false, asked = false;
        WhenShown<CWelcomeDlg>([&](CWelcomeDlg*) { frame.OnGoHome(); }, 5000, &missed);
        WhenShown<CConfirmDlg>(
            [&](CConfirmDlg* confirm) {
                asked = true;
                confirm->done(2);
            },
            2000);
        QCOMPARE(page.Run(), 2);
        QVERIFY(!missed);
        QVERIFY(!asked);
        QVERIFY(ProcessPostedEvents());
        QVERIFY(!frame.Closed()); // a page was open: the window stays
    }

    void goHomeWhileTheConfirmationIsOpenEndsBoth() {
        CMainFrame frame;
        frame.show();
        CWelcomeDlg page(&frame, [] { return true; });
        bool missed = false;
        WhenShown<CWelcomeDlg>(
            [&](CWelcomeDlg* shown) {
                WhenShown<CConfirmDlg>([&](CConfirmDlg*) { frame.OnGoHome(); }, 5000, &missed);
                QTest::keyClick(shown, Qt::Key_Escape);
            },
            5000, &missed);
        QCOMPARE(page.Run(), 2);
        QVERIFY(!missed);
    }

    // The path page does not handle the message: it stays open, and the window too.
    void goHomeLeavesThePathPageOpen() {
        CMainFrame frame;
        frame.show();
        CKaldoPathDlg page(QStringLiteral("setup.inf"), 3, &frame, true);
        page.path = "/srv";
        bool missed = false, stillOpen = false;
        WhenShown<CKaldoPathDlg>(
            [&](CKaldoPathDlg* shown) {
                frame.OnGoHome();
                stillOpen = ProcessPostedEvents() && shown->isVisible() && !frame.Closed();
                QTest::mouseClick(shown->findChild<QPushButton*>("ctl1"), Qt::LeftButton);
            },
            5000, &missed);
        QCOMPARE(page.Run(), 1);
        QVERIFY(!missed);
        QVERIFY(stillOpen);
    }
};

QObject* NewMainFrameTest() {
    return new MainFrameTest;
}

} // namespace quillon::guitest

#include "MainFrameTest.moc"
