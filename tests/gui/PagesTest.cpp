// The pages driven as a user would: keys and clicks on the controls named by their ids.
#include "GuiTestSupport.h"
#include "distribution/BrowseForFolder.h"
#include "distribution/KaldoPathDlg.h"
#include "install/ProgressPage.h"
#include "removal/RemovalPage.h"
#include "selection/CollectionPage.h"
#include "selection/ProfilesPage.h"
#include "shell/AddRemoveDlg.h"
#include "shell/ConfirmDlg.h"
#include "shell/InstallerServices.h"
#include "shell/MainFrame.h"
#include "shell/QtWizardHost.h"
#include "shell/RunWizard.h"
#include "shell/WelcomeDlg.h"
#include "platform/Ports.h"
#include "platform/posix/QmCatalogue.h"
#include "shell/QtMessagePort.h"
#include "support/Strings.h"

#include <QAccessible>
#include <QGroupBox>
#include <QRegularExpression>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTest>
#include <unistd.h>
#include <sys/stat.h>
#include <QTemporaryDir>
#include <QFile>

namespace quillon::resources {
extern const std::string_view kStringsTsv; // the built-in table's source
}

namespace quillon::guitest {
namespace {

// The static texts of a page that do not show whole: a wrapped label whose lines need more
// height than it has, a one-line label narrower than its text, or a label that lies outside the
// page. Labels of a layout size themselves and are left out.
QStringList CutTexts(QWidget* page) {
    QStringList cut;
    for (QLabel* label : page->findChildren<QLabel*>()) {
        if (label->text().isEmpty() || !label->pixmap().isNull() || !label->parentWidget() ||
            label->parentWidget()->layout())
            continue;
        const bool fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                            : label->fontMetrics().horizontalAdvance(label->text().section('\n', 0, 0)) <=
                                                  label->contentsRect().width();
        const QRect inPage(label->mapTo(page, QPoint(0, 0)), label->size());
        if (!fits || !page->rect().contains(inPage))
            cut << page->objectName() + "." + label->objectName() + ": " + label->text();
    }
    return cut;
}

} // namespace

class PagesTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Recorded() = RecordingMessages(); }

    void cleanup() {
        const QStringList left = LeftOverWindows();
        QVERIFY2(left.isEmpty(), qPrintable("top-level windows left over: " + left.join(", ")));
    }

    // Every control a user can reach with Tab has an accessible name, and Tab goes through them
    // row by row, left to right, as the page lays them out.
    void everyControlIsNamedAndTabFollowsTheLayout() {
        CWelcomeDlg welcome(nullptr, [] { return true; });
        CAddRemoveDlg action(nullptr);
        CKaldoPathDlg path(QStringLiteral("setup.inf"), 3, nullptr, true);
        CollectionPage collections(nullptr, {}, {}, {});
        ProfilesPage profiles(nullptr, {});
        ProgressPage progress(nullptr, {}, {});
        RemovalPage removal(nullptr);
        for (QDialog* page : std::initializer_list<QDialog*>{&welcome, &action, &path, &collections, &profiles,
                                                             &progress, &removal}) {
            page->show();
            QStringList chain;
            QPoint previous(-1, -1);
            for (QWidget* w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain()) {
                if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(page) || !w->isEnabled())
                    continue;
                chain << w->objectName();
                QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
                QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(),
                         qPrintable(page->objectName() + ": " + w->objectName() + " has no accessible name"));
                const QPoint at = w->mapTo(page, QPoint(0, 0));
                const bool sameRow = std::abs(at.y() - previous.y()) <= 6;
                QVERIFY2((sameRow && at.x() > previous.x()) || (!sameRow && at.y() > previous.y()),
                         qPrintable(page->objectName() + ": Tab order " + chain.join(" -> ")));
                previous = at;
            }
            QVERIFY2(chain.size() >= 1, qPrintable(page->objectName()));
            page->hide();
        }
    }

    // With the English catalogue every string of the table has its English text, and no page
    // or message box shows a Russian word of the installer's own.
    void englishCatalogueTranslatesEveryText() {
        QmCatalogue catalogue;
        QVERIFY(catalogue.Load(QUILLON_ENU_CATALOGUE));
        for (const QString& line : QString::fromUtf8(resources::kStringsTsv.data(), qsizetype(resources::kStringsTsv.size()))
                                       .split('\n', Qt::SkipEmptyParts)
                                       .mid(1)) {
            const int id = line.section('\t', 0, 0).toInt();
            QVERIFY2(catalogue.Find(id).has_value(), qPrintable(QString("string %1 has no English text").arg(id)));
        }
        ScopedPorts english(Ports{.registry = CurrentPorts().registry, .messages = CurrentPorts().messages,
                                  .processes = CurrentPorts().processes, .objects = CurrentPorts().objects,
                                  .files = CurrentPorts().files, .strings = &catalogue});
        const QRegularExpression cyrillic("\\p{Cyrillic}");
        CWelcomeDlg welcome(nullptr, [] { return true; });
        CAddRemoveDlg action(nullptr);
        CConfirmDlg confirm(nullptr);
        CKaldoPathDlg path(QStringLiteral("setup.inf"), 3, nullptr, true);
        CollectionPage collections(nullptr, {}, {}, {});
        ProfilesPage profiles(nullptr, {});
        ProgressPage progress(nullptr, {}, {});
        RemovalPage removal(nullptr);
        MessageBoxRequest question{.id = 2016, .text = LoadString(2016), .caption = LoadString(57344),
                                   .buttons = MessageButtons::YesNo};
        auto box = QtMessagePort::BuildBox(question, nullptr);
        for (QWidget* page : std::initializer_list<QWidget*>{&welcome, &action, &confirm, &path, &collections,
                                                             &profiles, &progress, &removal, box.get()}) {
            QStringList texts{page->windowTitle()};
            for (QWidget* w : page->findChildren<QWidget*>()) {
                texts << w->accessibleName() << w->accessibleDescription();
                if (auto* label = qobject_cast<QLabel*>(w))
                    texts << label->text();
                if (auto* button = qobject_cast<QAbstractButton*>(w))
                    texts << button->text();
                if (auto* group = qobject_cast<QGroupBox*>(w))
                    texts << group->title();
            }
            for (const QString& text : texts)
                QVERIFY2(!text.contains(cyrillic), qPrintable(page->objectName() + ": " + text));
            const QStringList cut = CutTexts(page);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));
        }
        QCOMPARE(profiles.findChild<QPushButton*>("ctl1029")->text(), QString("Select &all"));
        QCOMPARE(progress.findChild<QLabel*>("ctl1010")->text(), QString("Dictionaries to install: %d"));
    }

    // A catalogue is read only when nobody but its owner (this user or root) may write it or its
    // folder, and not through a link; its string 500 only when it is a single letter.
    void catalogueIsTrustedOnlyWhenOnlyItsOwnerMayWriteIt() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath("quillonResENU.qm");
        QVERIFY(QFile::copy(QUILLON_ENU_CATALOGUE, file));
        const std::string path = file.toStdString(), folder = dir.path().toStdString();
        const auto loads = [&](mode_t folderMode, mode_t fileMode) {
            ::chmod(folder.c_str(), folderMode);
            ::chmod(path.c_str(), fileMode);
            QmCatalogue catalogue;
            return catalogue.Load(path) && catalogue.Find(1000) == std::optional<std::string>("Dictionary Installer");
        };
        QVERIFY(loads(0755, 0644));
        QVERIFY(!loads(0755, 0666));  // anyone may write the file
        QVERIFY(!loads(0775, 0644));  // the group may replace it
        QVERIFY(!loads(01777, 0644)); // a shared temporary folder
        ::chmod(folder.c_str(), 0755);
        const std::string link = dir.filePath("linked.qm").toStdString();
        QVERIFY(::symlink(path.c_str(), link.c_str()) == 0);
        QmCatalogue linked;
        QVERIFY(!linked.Load(link));

        QmCatalogue hostile;
        QVERIFY(hostile.Load(QUILLON_HOSTILE_CATALOGUE));
        QCOMPARE(hostile.Find(1000), std::optional<std::string>("Hostile Installer"));
        QCOMPARE(hostile.Find(500), std::optional<std::string>()); // the built-in "R" stays
    }

    // In Russian too every static text shows whole.
    void russianTextsShowWhole() {
        CWelcomeDlg welcome(nullptr, [] { return true; });
        CAddRemoveDlg action(nullptr);
        CConfirmDlg confirm(nullptr);
        CKaldoPathDlg path(QStringLiteral("setup.inf"), 3, nullptr, true);
        CollectionPage collections(nullptr, {}, {}, {});
        ProfilesPage profiles(nullptr, {});
        ProgressPage progress(nullptr, {}, {});
        RemovalPage removal(nullptr);
        for (QWidget* page : std::initializer_list<QWidget*>{&welcome, &action, &confirm, &path, &collections,
                                                             &profiles, &progress, &removal}) {
            const QStringList cut = CutTexts(page);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));
        }
    }

    void welcomePageEscapeAsksConfirmationNoKeepsYesEnds() {
        CWelcomeDlg page(nullptr, [] { return true; });
        QCOMPARE(page.windowTitle(), QString("Добро пожаловать!"));
        QVERIFY(!Button(&page, "ctl1001")); // no Back on the welcome page
        QCOMPARE(Button(&page, "ctl1")->text(), QString("&Далее >"));
        QVERIFY(Button(&page, "ctl1")->isDefault());
        QCOMPARE(Button(&page, "ctl2")->text(), QString("Отменить"));

        bool missed = false, texts1 = false, texts2 = false, keptOpen = false;
        WhenShown<CWelcomeDlg>(
            [&](CWelcomeDlg* shown) {
                AnswerConfirmation(false, &texts1, &missed);
                QTest::keyClick(shown,
                                Qt::Key_Escape); // returns when the confirmation was answered
                keptOpen = shown->isVisible();
                AnswerConfirmation(true, &texts2, &missed);
                QTest::keyClick(shown, Qt::Key_Escape);
            },
            5000, &missed);
        const int result = page.Run();
        QVERIFY(!missed);
        QVERIFY(texts1 && texts2);
        QVERIFY(keptOpen);
        QCOMPARE(result, int(kPageCancel));
        QVERIFY(Recorded().shown.empty());
    }

    void welcomePageNextEndsWithOne() {
        CWelcomeDlg page(nullptr, [] { return true; });
        bool missed = false;
        WhenShown<CWelcomeDlg>(
            [](CWelcomeDlg* shown) { QTest::mouseClick(Button(shown, "ctl1"), Qt::LeftButton); },
            5000, &missed);
        QCOMPARE(page.Run(), int(kPageNext));
        QVERIFY(!missed);
    }

    void welcomePageWithoutRightsShowsMessage2027AndEndsWithoutAsking() {
        CWelcomeDlg page(nullptr, [] { return false; });
        bool confirmationAsked = false;
        WhenShown<CConfirmDlg>(
            [&](CConfirmDlg* confirm) {
                confirmationAsked = true;
                confirm->done(kPageNext);
            },
            3000);
        QCOMPARE(page.Run(), int(kPageCancel));
        QVERIFY(page.RightsMissing());
        QVERIFY(!confirmationAsked);
        QCOMPARE(Recorded().Ids(), std::vector<int>{2027});
        QCOMPARE(Recorded().shown[0].icon, MessageIcon::Error);
        QCOMPARE(QString::fromStdString(Recorded().shown[0].text),
                 QString("Вы не имеете прав администратора на этом компьютере. Установка может "
                         "быть запущена только "
                         "администратором. Обратитесь к системному администратору."));
    }

    void actionPageChecksInstallAndReportsTheChosenRadio() {
        CAddRemoveDlg page(nullptr);
        QCOMPARE(page.windowTitle(), QString("Выбор действия"));
        QCOMPARE(Radio(&page, "ctl2009")->text(), QString("Установить &коллекцию словарей"));
        QCOMPARE(Radio(&page, "ctl2010")->text(), QString("Удалить кол&лекции словарей"));
        bool missed = false, installChecked = false;
        WhenShown<CAddRemoveDlg>(
            [&](CAddRemoveDlg* shown) {
                installChecked =
                    Radio(shown, "ctl2009")->isChecked() && !Radio(shown, "ctl2010")->isChecked();
                QTest::mouseClick(Radio(shown, "ctl2010"), Qt::LeftButton);
                QTest::mouseClick(Button(shown, "ctl1001"), Qt::LeftButton);
            },
            5000, &missed);
        QCOMPARE(page.Run(), int(kPageBack));
        QVERIFY(!missed);
        QVERIFY(installChecked);
        QCOMPARE(page.ChosenAction(), WizardAction::Remove);

        // The same page object shown again starts with "install" checked.
        WhenShown<CAddRemoveDlg>(
            [](CAddRemoveDlg* shown) { QTest::mouseClick(Button(shown, "ctl1"), Qt::LeftButton); },
            5000, &missed);
        QCOMPARE(page.Run(), int(kPageNext));
        QVERIFY(!missed);
        QCOMPARE(page.ChosenAction(), WizardAction::Install);
    }

    // Through the wizard driver: "remove", Back, Next on the welcome page: the action page again
    // has "install" checked; then Escape and "&Да " end the wizard.
    void radioIsResetAfterBackThroughTheWizard() {
        CMainFrame frame;
        frame.show();
        WizardServices services;
        services.ensureKernelConnection = [] { return true; };
        services.isAdministrator = [] { return true; };
        QtWizardHost host(frame, services);

        bool missed = false, resetSeen = false, texts = false;
        auto nextOnWelcome = [&](std::function<void()> then) {
            WhenShown<CWelcomeDlg>(
                [then](CWelcomeDlg* shown) {
                    then();
                    QTest::mouseClick(Button(shown, "ctl1"), Qt::LeftButton);
                },
                5000, &missed);
        };
        nextOnWelcome([&] {
            WhenShown<CAddRemoveDlg>(
                [&](CAddRemoveDlg* action) {
                    nextOnWelcome([&] {
                        WhenShown<CAddRemoveDlg>(
                            [&](CAddRemoveDlg* again) {
                                resetSeen = Radio(again, "ctl2009")->isChecked() &&
                                            !Radio(again, "ctl2010")->isChecked();
                                AnswerConfirmation(true, &texts, &missed);
                                QTest::keyClick(again, Qt::Key_Escape);
                            },
                            5000, &missed);
                    });
                    QTest::mouseClick(Radio(action, "ctl2010"), Qt::LeftButton);
                    QTest::mouseClick(Button(action, "ctl1001"), Qt::LeftButton);
                },
                5000, &missed);
        });
        Wizard wizard(host);
        wizard.Run({});
        QVERIFY(!missed);
        QVERIFY(resetSeen);
        QVERIFY(texts);
        const std::vector<WizardState> expected{WizardState::Start,  WizardState::Welcome,
                                                WizardState::Action, WizardState::Welcome,
                                                WizardState::Action, WizardState::End};
        QVERIFY(wizard.Trace() == expected);
        QTRY_VERIFY(frame.Closed()); // the wizard's end closes the main window
    }

    // Reaching a state whose page is not connected is a programming error, not a silent end;
    // the installer's own services connect every state.
    void unwiredPageIsAProgrammingError() {
        QVERIFY(UnwiredStates(InstallerServices()).empty());
        CMainFrame frame;
        frame.show();
        WizardServices services;
        services.ensureKernelConnection = [] { return true; };
        services.isAdministrator = [] { return true; };
        QCOMPARE(UnwiredStates(services).size(), std::size_t(5));
        QtWizardHost host(frame, services);
        bool missed = false;
        WhenShown<CWelcomeDlg>(
            [&](CWelcomeDlg* shown) {
                WhenShown<CAddRemoveDlg>(
                    [](CAddRemoveDlg* action) {
                        QTest::mouseClick(Radio(action, "ctl2010"), Qt::LeftButton);
                        QTest::mouseClick(Button(action, "ctl1"), Qt::LeftButton);
                    },
                    5000, &missed);
                QTest::mouseClick(Button(shown, "ctl1"), Qt::LeftButton);
            },
            5000, &missed);
        Wizard wizard(host);
        QVERIFY_THROWS_EXCEPTION(std::logic_error, wizard.Run({}));
        QVERIFY(!missed);
        QCOMPARE(wizard.Trace().back(), WizardState::Removal);
    }

    // A typed folder without description files: message 2040, the action page, and on the next
    // try the path page pre-filled with what was typed.
    void typedFolderWithoutDistributionReturnsToTheActionPage() {
        CMainFrame frame;
        frame.show();
        WizardServices services;
        services.ensureKernelConnection = [] { return true; };
        services.isAdministrator = [] { return true; };
        QtWizardHost host(frame, services);
        bool missed = false, prefilled = false, texts = false;
        auto clickNext = [](QWidget* page) {
            QTest::mouseClick(Button(page, "ctl1"), Qt::LeftButton);
        };
        WhenShown<CWelcomeDlg>(
            [&](CWelcomeDlg* welcome) {
                WhenShown<CAddRemoveDlg>(
                    [&](CAddRemoveDlg* action) {
                        WhenShown<CKaldoPathDlg>(
                            [&](CKaldoPathDlg* path) {
                                WhenShown<CAddRemoveDlg>(
                                    [&](CAddRemoveDlg* again) {
                                        WhenShown<CKaldoPathDlg>(
                                            [&](CKaldoPathDlg* second) {
                                                prefilled = second->findChild<QLineEdit*>("ctl1036")
                                                                ->text() == "/srv/none";
                                                AnswerConfirmation(true, &texts, &missed);
                                                QTest::keyClick(second, Qt::Key_Escape);
                                            },
                                            5000, &missed);
                                        clickNext(again);
                                    },
                                    5000, &missed);
                                QTest::keyClicks(path->findChild<QLineEdit*>("ctl1036"),
                                                 "/srv/none");
                                clickNext(path);
                            },
                            5000, &missed);
                        clickNext(action);
                    },
                    5000, &missed);
                clickNext(welcome);
            },
            5000, &missed);
        Wizard wizard(host);
        wizard.Run({});
        QVERIFY(!missed);
        QVERIFY(prefilled);
        QVERIFY(texts);
        QCOMPARE(Recorded().Ids(), std::vector<int>{2040});
        const std::vector<WizardState> expected{
            WizardState::Start,  WizardState::Welcome, WizardState::Action,
            WizardState::Source, WizardState::Path,    WizardState::Action,
            WizardState::Source, WizardState::Path,    WizardState::End};
        QVERIFY(wizard.Trace() == expected);
    }

    void pathPageOkFollowsTheEditText() {
        CKaldoPathDlg page(QStringLiteral("setup.inf"), 3, nullptr, true);
        QCOMPARE(page.windowTitle(), QString("Установка коллекции словарей"));
        bool missed = false, disabledAtStart = false, enabledByOne = false, disabledAgain = false,
             prompt = false;
        bool keptAfterNo = false, texts = false;
        WhenShown<CKaldoPathDlg>(
            [&](CKaldoPathDlg* shown) {
                auto* edit = shown->findChild<QLineEdit*>("ctl1036");
                auto* ok = Button(shown, "ctl1");
                prompt = shown->findChild<QLabel*>("ctl1006")->text() ==
                         "Пожалуйста, укажите путь к установочным файлам.";
                disabledAtStart = !ok->isEnabled();
                QTest::keyClicks(edit, "x");
                enabledByOne = ok->isEnabled();
                QTest::keyClick(edit, Qt::Key_Backspace);
                disabledAgain = !ok->isEnabled();
                QTest::keyClick(edit, Qt::Key_Return); // OK is disabled: nothing happens
                QTest::keyClicks(edit, "/srv/dist");
                AnswerConfirmation(false, &texts, &missed);
                QTest::mouseClick(Button(shown, "ctl2"), Qt::LeftButton);
                keptAfterNo = shown->isVisible() && edit->text() == "/srv/dist" && ok->isEnabled();
                QTest::mouseClick(ok, Qt::LeftButton);
            },
            5000, &missed);
        QCOMPARE(page.Run(), int(kPageNext));
        QVERIFY(!missed);
        QVERIFY(prompt);
        QVERIFY(disabledAtStart);
        QVERIFY(enabledByOne);
        QVERIFY(disabledAgain);
        QVERIFY(texts);
        QVERIFY(keptAfterNo);
        QCOMPARE(page.path, QString("/srv/dist"));
    }

    void pathPagePrefilledAndCancelledWithYes() {
        CKaldoPathDlg page(QStringLiteral("setup.inf"), 3, nullptr, true);
        page.path = "/media/cdrom";
        bool missed = false, prefilled = false, texts = false;
        WhenShown<CKaldoPathDlg>(
            [&](CKaldoPathDlg* shown) {
                prefilled = shown->findChild<QLineEdit*>("ctl1036")->text() == "/media/cdrom" &&
                            Button(shown, "ctl1")->isEnabled();
                AnswerConfirmation(true, &texts, &missed);
                QTest::keyClick(shown, Qt::Key_Escape);
            },
            5000, &missed);
        QCOMPARE(page.Run(), int(kPageCancel));
        QVERIFY(!missed);
        QVERIFY(prefilled);
        QVERIFY(texts);
    }

    void pathPageBrowseShowsTheChosenFolder() {
        CKaldoPathDlg page(QStringLiteral("setup.inf"), 3, nullptr, true);
        QString askedTitle, askedPath;
        QWidget* askedOwner = nullptr;
        page.SetBrowser([&](QWidget* owner, const QString& title, QString& path) {
            askedOwner = owner;
            askedTitle = title;
            askedPath = path;
            path = "/chosen/folder";
            return true;
        });
        bool missed = false, shownInEdit = false;
        WhenShown<CKaldoPathDlg>(
            [&](CKaldoPathDlg* shown) {
                QTest::mouseClick(Button(shown, "ctl1035"), Qt::LeftButton);
                shownInEdit = shown->findChild<QLineEdit*>("ctl1036")->text() == "/chosen/folder" &&
                              Button(shown, "ctl1")->isEnabled();
                QTest::mouseClick(Button(shown, "ctl1"), Qt::LeftButton);
            },
            5000, &missed);
        QCOMPARE(page.Run(), int(kPageNext));
        QVERIFY(!missed);
        QCOMPARE(askedOwner, static_cast<QWidget*>(&page));
        QCOMPARE(askedTitle, QString("Укажите каталог, содержащий информацию о словарях:"));
        QCOMPARE(askedPath, QString(""));
        QVERIFY(shownInEdit);
        QCOMPARE(page.path, QString("/chosen/folder"));
    }

    void browserOpensAtTheDocumentsFolderWhenThePathIsEmpty() {
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(!documents.isEmpty());
        QCOMPARE(BrowseStartFolder(""), documents);
        QCOMPARE(BrowseStartFolder("/srv"), QString("/srv"));

        QString path;
        QVERIFY(!BrowseForFolder(nullptr, "t", path)); // no owner window
        QWidget owner;
        bool missed = false, directoriesOnly = false;
        QString openedAt;
        WhenShown<QFileDialog>(
            [&](QFileDialog* dialog) {
                openedAt = dialog->directory().absolutePath();
                directoriesOnly = dialog->fileMode() == QFileDialog::Directory &&
                                  dialog->testOption(QFileDialog::ShowDirsOnly);
                dialog->reject();
            },
            5000, &missed);
        QVERIFY(!BrowseForFolder(&owner, "title", path));
        QVERIFY(!missed);
        QCOMPARE(openedAt, QDir(documents).absolutePath());
        QVERIFY(directoriesOnly);
        QCOMPARE(path, documents); // cancelled: the path keeps the start folder
    }
};

QObject* NewPagesTest() {
    return new PagesTest;
}

} // namespace quillon::guitest

#include "PagesTest.moc"
