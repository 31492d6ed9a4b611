// The whole wizard in the window, wired as quillon wires it, against the reference product: an
// installation from a typed folder, then, started again, the removal of what it installed.
#include "GuiTestSupport.h"
#include "ProductScratch.h"
#include "distribution/KaldoPathDlg.h"
#include "install/ProgressPage.h"
#include "removal/RemovalPage.h"
#include "selection/CollectionPage.h"
#include "shell/AddRemoveDlg.h"
#include "shell/InstallerServices.h"
#include "shell/MainFrame.h"
#include "shell/RunWizard.h"
#include "shell/WelcomeDlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

namespace quillon::guitest {

class WholeWizardTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Recorded() = RecordingMessages(); }

    void cleanup() {
        const QStringList left = LeftOverWindows();
        QVERIFY2(left.isEmpty(), qPrintable("top-level windows left over: " + left.join(", ")));
    }

    void installACollectionThenRemoveIt() {
        ProductScratch product("ER,RE,GR");
        QVERIFY(product.Ok());
        QString dist =
            product.BuildFile(QUILLON_SOURCE_DIR "/samples/demo/demo.manifest", "dist", true);
        QVERIFY(!dist.isEmpty());
        dist.chop(1); // as a user types it

        bool missed = false;
        QStringList offered;
        {
            CMainFrame frame;
            frame.show();
            QtWizardHost host(frame, InstallerServices());
            Recorded().answers = {MessageAnswer::No}; // 2016: no other collection
            WhenShown<CWelcomeDlg>(
                [&](CWelcomeDlg* welcome) {
                    WhenShown<CAddRemoveDlg>(
                        [&](CAddRemoveDlg* action) {
                            WhenShown<CKaldoPathDlg>(
                                [&](CKaldoPathDlg* path) {
                                    WhenShown<CollectionPage>(
                                        [&](CollectionPage* collections) {
                                            auto* list =
                                                collections->findChild<QListWidget*>("ctl1052");
                                            for (int i = 0; i < list->count(); ++i)
                                                offered << list->item(i)->text();
                                            QTest::mouseClick(
                                                list->viewport(), Qt::LeftButton, {},
                                                list->visualItemRect(list->item(0)).center());
                                            QTest::keyClick(list, Qt::Key_Return);
                                        },
                                        10000, &missed);
                                    QTest::keyClicks(path->findChild<QLineEdit*>("ctl1036"), dist);
                                    QTest::keyClick(path->findChild<QLineEdit*>("ctl1036"),
                                                    Qt::Key_Return);
                                },
                                10000, &missed);
                            QTest::keyClick(action, Qt::Key_Return); // "install" is checked
                        },
                        10000, &missed);
                    QTest::keyClick(welcome, Qt::Key_Return);
                },
                10000, &missed);
            Wizard wizard(host);
            wizard.Run({});
            QVERIFY(!missed);
            QCOMPARE(offered, QStringList({"Общая лексика", "Техника и компьютеры"}));
            const std::vector<WizardState> expected{
                WizardState::Start,    WizardState::Welcome,  WizardState::Action,
                WizardState::Source,   WizardState::Path,     WizardState::Collection,
                WizardState::Load,     WizardState::Profiles, WizardState::Progress,
                WizardState::Question, WizardState::End};
            QVERIFY(wizard.Trace() == expected);
            QCOMPARE(Recorded().Ids(), std::vector<int>{2016});
            QTRY_VERIFY(frame.Closed());
        }
        QMap<QString, QStringList> installed;
        installed["ER"] = QStringList{"Общая лексика"};
        installed["GR"] = QStringList{"Общая лексика"};
        QCOMPARE(product.Collections(), installed);
        QCOMPARE(product.WorkFolderFiles(), QStringList());

        // Started again: remove that collection, English-Russian first, then everything.
        Recorded() = RecordingMessages();
        QStringList listed;
        bool texts = false;
        {
            CMainFrame frame;
            frame.show();
            QtWizardHost host(frame, InstallerServices());
            WhenShown<CWelcomeDlg>(
                [&](CWelcomeDlg* welcome) {
                    WhenShown<CAddRemoveDlg>(
                        [&](CAddRemoveDlg* action) {
                            WhenShown<RemovalPage>(
                                [&](RemovalPage* removal) {
                                    auto* list = removal->findChild<QListWidget*>("ctl1039");
                                    for (int i = 0; i < list->count(); ++i)
                                        listed << list->item(i)->text();
                                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                                      list->visualItemRect(list->item(0)).center());
                                    QTest::mouseClick(Button(removal, "ctl2010"), Qt::LeftButton);
                                    QTest::mouseClick(Radio(removal, "ctl1026"), Qt::LeftButton);
                                    QTest::mouseClick(Button(removal, "ctl2010"), Qt::LeftButton);
                                    AnswerConfirmation(true, &texts, &missed);
                                    QTest::keyClick(removal, Qt::Key_Escape);
                                },
                                10000, &missed);
                            QTest::mouseClick(Radio(action, "ctl2010"), Qt::LeftButton);
                            QTest::keyClick(action, Qt::Key_Return);
                        },
                        10000, &missed);
                    QTest::keyClick(welcome, Qt::Key_Return);
                },
                10000, &missed);
            Wizard wizard(host);
            wizard.Run({});
            QVERIFY(!missed);
            QCOMPARE(wizard.Trace().back(), WizardState::End);
            QTRY_VERIFY(frame.Closed());
        }
        QCOMPARE(listed, QStringList({"Общая лексика"}));
        QVERIFY(texts);
        QVERIFY(Recorded().shown.empty());
        QVERIFY(product.Collections().isEmpty());
        QCOMPARE(product.WorkFolderFiles(), QStringList());
    }
};

QObject* NewWholeWizardTest() {
    return new WholeWizardTest;
}

} // namespace quillon::guitest

#include "WholeWizardTest.moc"
