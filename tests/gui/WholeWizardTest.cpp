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
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QTest>

namespace quillon::guitest {
namespace {

// Chooses the collection named `name` on the collection page and goes on.
void Choose(CollectionPage* page, const QString& name, bool* found) {
    auto* list = page->findChild<QListWidget*>("ctl1052");
    const auto items = list->findItems(name, Qt::MatchExactly);
    *found = items.size() == 1;
    if (!*found) {
        page->done(kPageCancel);
        return;
    }
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.front()).center());
    QTest::keyClick(list, Qt::Key_Return);
}

// Presses Escape on the progress page, answering the confirmation "Да", once the second
// dictionary's import has begun: its number shows and the product is copying it (its temporary
// file is in `folder`, the product's temporary folder). *landed says it happened.
void CancelInTheSecondImport(ProgressPage* page, const QString& folder, bool* texts, bool* missed, bool* landed) {
    auto* timer = new QTimer(&Watchers());
    QPointer<ProgressPage> alive(page);
    QObject::connect(timer, &QTimer::timeout, [=] {
        if (!alive) { // the installation ended first
            timer->stop();
            timer->deleteLater();
            return;
        }
        if (!alive->findChild<QLabel*>("ctl1009")->text().contains("2-") ||
            QDir(folder).entryList({".kaldo-tmp-*"}, QDir::Files | QDir::Hidden).isEmpty())
            return;
        timer->stop();
        timer->deleteLater();
        *landed = true;
        AnswerConfirmation(true, texts, missed);
        QTest::keyClick(alive, Qt::Key_Escape);
    });
    timer->start(5);
}

} // namespace

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

    // A cancel confirmed during the second dictionary's import, then (Yes: another collection)
    // an installation whose dictionary the kernel fails to import: each time the product keeps
    // no half profile, and the window says what was not installed in place of question 2016.
    void aCancelAndAFailingDictionaryAreSummarised() {
        ProductScratch product("ER");
        QVERIFY(product.Ok());
        QString dist = product.Build(R"(
[collection 1]
Name.R = Первая
Profiles = ER_A; ER_B
[collection 2]
Name.R = Вторая
Profiles = ER_C
[profile ER_A]
Direction = ER
Name.R = Профиль А
Dictionaries = a.dct
[profile ER_B]
Direction = ER
Name.R = Профиль Б
Dictionaries = b.dct
BaseTM = b.tmb
[profile ER_C]
Direction = ER
Name.R = Профиль В
Dictionaries = c.dct
[dictionary a.dct]
Direction = ER
Name.R = Словарь А
Words = a.txt
[dictionary b.dct]
Direction = ER
Name.R = Словарь Б
Words = b.txt
[dictionary c.dct]
Direction = ER
Name.R = Словарь В
Words = c.txt
[tm b.tmb]
Direction = ER
Name.R = Память Б
File = b.txt
)",
                                     {{"a.txt", "cat\tкошка\n"}, {"b.txt", "dog\tсобака\n"}, {"c.txt", "cow\tкорова\n"}});
        QVERIFY(!dist.isEmpty());
        dist.chop(1);
        QVERIFY(product.SetImportPause(200));

        bool missed = false, first = false, second = false, texts = false, landed = false;
        std::unique_ptr<Wizard> wizard;
        {
            CMainFrame frame;
            frame.show();
            QtWizardHost host(frame, InstallerServices());
            // 2043 (the cancel's summary): Yes; 57364: Ok; 2054 (nothing installed): No.
            Recorded().answers = {MessageAnswer::Yes, MessageAnswer::Ok, MessageAnswer::No};
            WhenShown<CWelcomeDlg>([&](CWelcomeDlg* welcome) { QTest::keyClick(welcome, Qt::Key_Return); }, 10000,
                                   &missed);
            WhenShown<CAddRemoveDlg>([&](CAddRemoveDlg* action) { QTest::keyClick(action, Qt::Key_Return); }, 10000,
                                     &missed);
            WhenShown<CKaldoPathDlg>(
                [&](CKaldoPathDlg* path) {
                    QTest::keyClicks(path->findChild<QLineEdit*>("ctl1036"), dist);
                    QTest::keyClick(path->findChild<QLineEdit*>("ctl1036"), Qt::Key_Return);
                },
                10000, &missed);
            WhenShown<CollectionPage>([&](CollectionPage* page) { Choose(page, "Первая", &first); }, 10000, &missed);
            WhenShown<ProgressPage>(
                [&](ProgressPage* page) {
                    CancelInTheSecondImport(page, product.Path("product/.tmp"), &texts, &missed, &landed);
                    // The next pass: the same distribution's collection page, the failing import.
                    WhenShown<CollectionPage>(
                        [&](CollectionPage* again) {
                            product.Product({"fault", "ImportDictionary", "0x80004005", "1"});
                            product.SetImportPause(0);
                            Choose(again, "Вторая", &second);
                        },
                        20000, &missed);
                },
                10000, &missed);
            wizard = std::make_unique<Wizard>(host);
            wizard->Run({});
            QTRY_VERIFY(frame.Closed());
        }
        QVERIFY(!missed);
        QVERIFY(first && second && landed && texts);
        const std::vector<WizardState> expected{
            WizardState::Start,    WizardState::Welcome, WizardState::Action,   WizardState::Source,
            WizardState::Path,     WizardState::Collection, WizardState::Load,  WizardState::Profiles,
            WizardState::Progress, WizardState::Question,   WizardState::Source, WizardState::Collection,
            WizardState::Load,     WizardState::Profiles,   WizardState::Progress, WizardState::Question,
            WizardState::End};
        QVERIFY(wizard->Trace() == expected);
        QCOMPARE(Recorded().Ids(), std::vector<int>({2043, 57364, 2054}));
        const MessageBoxRequest& cancelled = Recorded().shown[0];
        QCOMPARE(cancelled.buttons, MessageButtons::YesNo);
        QVERIFY2(QString::fromStdString(cancelled.text)
                     .contains("Профили перевода: установлено — 1, уже были в системе — 0, не установлено из-за "
                               "ошибок — 0, из-за отмены — 1."),
                 cancelled.text.c_str());
        QVERIFY(cancelled.text.find("Англо-русский коллекция словарей \"Профиль Б\" — Установка прервана "
                                    "пользователем.") != std::string::npos);
        QVERIFY(cancelled.text.find("Англо-русская база ТМ \"Память Б\" — Установка прервана пользователем.") !=
                std::string::npos);
        QVERIFY(cancelled.text.ends_with("Хотите установить другую коллекцию?"));
        const MessageBoxRequest& failed = Recorded().shown[2];
        QCOMPARE(failed.icon, MessageIcon::Warning);
        QVERIFY2(failed.text.find("Англо-русский коллекция словарей \"Профиль В\" — Словарь \"Англо-русский "
                                  "словарь \"Словарь В\"\" не установлен.") != std::string::npos,
                 failed.text.c_str());

        // The cancel landed in the kernel's import, which stopped; only the complete profile is
        // registered, and the product checks out.
        QByteArray journal;
        product.Product({"journal"}, &journal);
        QVERIFY(journal.contains("\"status\":\"0x80004004\""));
        QMap<QString, QStringList> installed;
        installed["ER"] = QStringList{"Профиль А"};
        QCOMPARE(product.Collections(), installed);
        QByteArray problems;
        QCOMPARE(product.Product({"verify"}, &problems), 0);
        QCOMPARE(product.WorkFolderFiles(), QStringList());
    }
};

QObject* NewWholeWizardTest() {
    return new WholeWizardTest;
}

} // namespace quillon::guitest

#include "WholeWizardTest.moc"
