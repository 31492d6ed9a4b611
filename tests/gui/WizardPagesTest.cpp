// The collection, profile, progress and removal pages driven as a user would, against the
// reference product.
#include "GuiTestSupport.h"
#include "ProductScratch.h"
#include "descriptions/DictCollectionLoader.h"
#include "distribution/KldoInifileManager.h"
#include "install/ProgressPage.h"
#include "model/DictInfo.h"
#include "model/VdxTopicInfo.h"
#include "platform/Ports.h"
#include "platform/StepObserver.h"
#include "product/KernelConnection.h"
#include "removal/RemovalPage.h"
#include "selection/CollectionPage.h"
#include "selection/ProfilesPage.h"
#include "shell/TaskbarProgress.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QScrollBar>
#include <QTest>

namespace quillon::guitest {

namespace {

constexpr DirectionId kER = 0x00020001, kFR = 0x00020008;

QListWidget* List(QWidget* page, const char* name) {
    return page->findChild<QListWidget*>(name);
}

QStringList Texts(QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void ClickEntry(QListWidget* list, int row) {
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

// Flags when a page of type T appears (it must not), until the object is destroyed.
template <class T> struct NeverShown {
    bool shown = false;
    NeverShown() {
        WhenShown<T>(
            [this](T* page) {
                shown = true;
                page->done(kPageCancel);
            },
            3000);
    }
};

// The taskbar calls the progress page makes.
class RecordingTaskbar : public TaskbarProgress {
public:
    bool SetProgressState(WindowId, TaskbarState state) override {
        states.push_back(state);
        return true;
    }
    bool SetProgressValue(WindowId, std::uint64_t completed, std::uint64_t total) override {
        values.emplace_back(completed, total);
        return true;
    }
    std::vector<TaskbarState> states;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> values;
};

// Runs `action` at the first progress report of the installation engine, once.
struct FirstProgress : StepObserver {
    std::function<void()> action;
    void Progress(std::uint32_t, std::uint32_t) override {
        if (auto run = std::exchange(action, nullptr))
            run();
    }
};

const char* kCollections = R"(
[collection 1]
Name.R = Бизнес
Profiles = ER_A
[collection 2]
Name.R = Французский
Profiles = FR_A
[collection 3]
Name.R = автомобили
Profiles = ER_B
[collection 4]
Name.R = Бизнес
Profiles = GR_A
[profile ER_A]
Direction = ER
Name.R = ER_A
[profile FR_A]
Direction = FR
Name.R = FR_A
[profile ER_B]
Direction = ER
Name.R = ER_B
[profile GR_A]
Direction = GR
Name.R = GR_A
)";

} // namespace

class WizardPagesTest : public QObject {
    Q_OBJECT
private slots:
    void init() { Recorded() = RecordingMessages(); }

    void cleanup() {
        const QStringList left = LeftOverWindows();
        QVERIFY2(left.isEmpty(), qPrintable("top-level windows left over: " + left.join(", ")));
    }

    // Collections are listed by name (letter case aside), numbered from 1 among those shown;
    // one without an installed direction is left out; Next follows the selection and answers
    // the chosen entry's identifier, also between two collections of the same name.
    void collectionPageListsOfferedCollectionsAndAnswersTheChosenOne() {
        ProductScratch product("ER,GR");
        QVERIFY(product.Ok());
        const QString dist = product.Build(kCollections);
        QVERIFY(!dist.isEmpty());
        CKldoInifileManager copies;
        QVERIFY(copies.Prepare(dist.toStdString()));
        CollectionPage page(nullptr, copies.GetSourceFolder(), copies.GetSetupIniPath(),
                            copies.GetMainDescriptionPath());
        QCOMPARE(page.windowTitle(), QString("Выбор коллекции словарей"));
        bool missed = false, nextDisabled = false, nextEnabled = false, firstByKey = false;
        QStringList texts, ids;
        QList<int> items;
        WhenShown<CollectionPage>(
            [&](CollectionPage* shown) {
                QListWidget* list = List(shown, "ctl1052");
                int fourth = -1;
                texts = Texts(list);
                for (int i = 0; i < list->count(); ++i) {
                    items << list->item(i)->data(Qt::UserRole).toInt();
                    ids << QString::fromStdString(shown->ItemMap().at(items.back()));
                    if (ids.back() == "4")
                        fourth = i;
                }
                nextDisabled =
                    !Button(shown, "ctl1")->isEnabled() && list->selectedItems().isEmpty();
                // The first arrow key selects the entry the list shows outlined: the first one.
                list->setFocus();
                QTest::keyClick(list, Qt::Key_Down);
                firstByKey = list->selectedItems() == QList<QListWidgetItem*>{list->item(0)} &&
                             Button(shown, "ctl1")->isEnabled();
                ClickEntry(list, fourth);
                nextEnabled = Button(shown, "ctl1")->isEnabled();
                QTest::keyClick(list, Qt::Key_Return); // the default button, Next
            },
            5000, &missed);
        QCOMPARE(page.Run(), int(kPageNext));
        QVERIFY(!missed);
        QCOMPARE(texts, QStringList({"автомобили", "Бизнес", "Бизнес"}));
        QCOMPARE(ids[0], QString("3"));
        QCOMPARE(QSet<QString>({ids[1], ids[2]}), QSet<QString>({"1", "4"}));
        std::sort(items.begin(), items.end());
        QCOMPARE(items, QList<int>({1, 2, 3})); // numbered from 1 among the listed ones
        QVERIFY(nextDisabled);
        QVERIFY(firstByKey);
        QVERIFY(nextEnabled);
        QCOMPARE(QString::fromStdString(page.ChosenId()), QString("4"));
        QCOMPARE(QString::fromStdString(page.ChosenName()), QString("Бизнес"));
    }

    // Description files without any collection: the page closes itself before it is shown,
    // with no choice. With collections none of which can be installed, it stays open with an
    // empty list: Cancel asks (No keeps it), Back ends it with 1001.
    void collectionPageWithNothingToOffer() {
        ProductScratch product("GR");
        QVERIFY(product.Ok());
        QString dist = product.Build(kCollections);
        QVERIFY(!dist.isEmpty());
        {
            QFile text(product.Path("empty.txt"));
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("section \"Info\"\n  S \"Comment.R\" \"\xd0\xbd\xd0\xb5\xd1\x82\"\n");
            text.close();
            QProcess compile;
            compile.start(QUILLON_DIST_TOOL,
                          {"profile", "compile", text.fileName(), dist + "RAVIRI.INF"});
            QVERIFY(compile.waitForFinished(30000) && compile.exitCode() == 0);
            CKldoInifileManager copies;
            QVERIFY(copies.Prepare(dist.toStdString()));
            CollectionPage page(nullptr, copies.GetSourceFolder(), copies.GetSetupIniPath(),
                                copies.GetMainDescriptionPath());
            NeverShown<CollectionPage> watch;
            QCOMPARE(page.Run(), int(kPageNext));
            QVERIFY(page.ChosenId().empty());
            QVERIFY(!watch.shown);
            StopWatchers();
        }

        const QString frOnly = product.Build(R"(
[collection 1]
Name.R = Французский
Profiles = FR_A
[profile FR_A]
Direction = FR
Name.R = FR_A
)",
                                             {}, "fr");
        QVERIFY(!frOnly.isEmpty());
        CKldoInifileManager copies;
        QVERIFY(copies.Prepare(frOnly.toStdString()));
        // Collections exist, but none of a direction the kernel has: the page closes itself
        // (the wizard then names the pairs the distribution needs).
        CollectionPage page(nullptr, copies.GetSourceFolder(), copies.GetSetupIniPath(),
                            copies.GetMainDescriptionPath());
        bool shown = false;
        WhenShown<CollectionPage>([&](CollectionPage*) { shown = true; }, 300);
        QCOMPARE(page.Run(), int(kPageNext));
        QVERIFY(!shown);
        QVERIFY(page.ChosenId().empty());
        QVERIFY(page.Listing() == CollectionListing::NoneSupported);
        QCOMPARE(page.NeededPairs(), std::vector<std::string>{"Французско-русская"});
    }

    // With enough space the profile page ends before it is shown, with the preselection and
    // mode 1. Short of space and answered No, it stays: a click on an unsupported profile gives
    // 2005, select all gives 2004, deselect all disables Next (both keep the list's scroll
    // position); Next asks again and Yes goes on with the chosen mode.
    void profilesPageShownOnlyWhenSpaceIsShort() {
        ProductScratch product("ER");
        QVERIFY(product.Ok());
        QVERIFY(EnsureKernelConnection());
        auto profile = [](CDictCollection& c, const std::string& name, DirectionId direction,
                          std::int64_t size) {
            CSmartPtr<CVdxTopicInfo> p(new CVdxTopicInfo);
            p->SetKey(name);
            p->SetFullName(name);
            p->SetDirID(direction);
            p->SetSelected(true);
            p->SetSupported(direction == kER);
            CSmartPtr<CDictInfo> d(new CDictInfo);
            d->SetSize(size);
            d->SetSelected(true);
            p->Dictionaries().push_back(d);
            c.GetProfiles().push_back(p);
        };
        {
            CSmartPtr<CDictCollection> small(new CDictCollection);
            profile(*small, "Общая лексика", kER, 1000);
            ProfilesPage page(nullptr, small);
            NeverShown<ProfilesPage> watch;
            QCOMPARE(page.Run(), int(kPageNext));
            QVERIFY(!watch.shown);
            QVERIFY(page.AnySelected());
            QCOMPARE(page.ReplaceMode(), 1);
            StopWatchers();
        }

        CSmartPtr<CDictCollection> large(new CDictCollection);
        profile(*large, "Французский", kFR, 10);
        for (int i = 0; i < 30; ++i)
            profile(*large, "Профиль " + std::to_string(10 + i), kER,
                    i == 0 ? 4'000'000'000'000'000'000 : 10);
        ProfilesPage page(nullptr, large);
        QCOMPARE(page.windowTitle(), QString("Выбор профилей перевода"));
        Recorded().answers = {MessageAnswer::No, MessageAnswer::Ok, MessageAnswer::Ok,
                              MessageAnswer::Yes};
        bool missed = false, figures = false, frenchKeptOut = false, scrollKept = false,
             nextOff = false;
        WhenShown<ProfilesPage>(
            [&](ProfilesPage* shown) {
                QListWidget* list = List(shown, "ctl1039");
                figures = shown->findChild<QLabel*>("ctl1002")->text().count("байт") == 2 &&
                          Button(shown, "ctl1")->isEnabled();
                const int french = list->count() - 1; // "Французский" sorts last
                ClickEntry(list, french);
                frenchKeptOut = !list->item(french)->isSelected();
                list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
                const int scroll = list->verticalScrollBar()->value();
                QTest::mouseClick(Button(shown, "ctl1030"), Qt::LeftButton);
                nextOff =
                    !Button(shown, "ctl1")->isEnabled() && !Button(shown, "ctl1030")->isEnabled();
                QTest::mouseClick(Button(shown, "ctl1029"), Qt::LeftButton);
                scrollKept = scroll > 0 && list->verticalScrollBar()->value() == scroll;
                QTest::mouseClick(Radio(shown, "ctl1049"), Qt::LeftButton);
                QTest::mouseClick(Button(shown, "ctl1"), Qt::LeftButton);
            },
            5000, &missed);
        QCOMPARE(page.Run(), int(kPageNext));
        QVERIFY(!missed);
        QCOMPARE(Recorded().Ids(), std::vector<int>({2003, 2005, 2004, 2003}));
        QVERIFY(figures);
        QVERIFY(frenchKeptOut);
        QVERIFY(nextOff);
        QVERIFY(scrollKept);
        QVERIFY(page.AnySelected());
        QCOMPARE(page.ReplaceMode(), 0);
    }

    // Ctrl+A changes every entry of the list in one selection change: each profile follows its
    // entry, the unsupported one is refused once (2005), and the figures count what is selected.
    void profilesPageFollowsABulkChangeOfTheList() {
        ProductScratch product("ER");
        QVERIFY(product.Ok());
        QVERIFY(EnsureKernelConnection());
        CSmartPtr<CDictCollection> collection(new CDictCollection);
        std::vector<CSmartPtr<CVdxTopicInfo>> profiles;
        const std::pair<const char*, std::int64_t> made[] = {
            {"Английский А", 4'000'000'000'000'000'000}, {"Английский Б", 30}, {"Французский", 500},
            {"Английский В", 7}};
        for (const auto& [name, size] : made) {
            CSmartPtr<CVdxTopicInfo> p(new CVdxTopicInfo);
            p->SetKey(name);
            p->SetFullName(name);
            const bool french = std::string(name) == "Французский";
            p->SetDirID(french ? kFR : kER);
            p->SetSupported(!french);
            p->SetSelected(true);
            p->SetSize(size);
            collection->GetProfiles().push_back(p);
            profiles.push_back(p);
        }
        ProfilesPage page(nullptr, collection);
        Recorded().answers = {MessageAnswer::No, MessageAnswer::Ok, MessageAnswer::Yes};
        bool missed = false, noneSelected = false, inStep = false;
        QString figures;
        WhenShown<ProfilesPage>(
            [&](ProfilesPage* shown) {
                QListWidget* list = List(shown, "ctl1039");
                QTest::mouseClick(Button(shown, "ctl1030"), Qt::LeftButton);
                noneSelected = list->selectedItems().isEmpty() &&
                               std::none_of(profiles.begin(), profiles.end(),
                                            [](const auto& p) { return p->IsSelected(); });
                list->setFocus();
                QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
                inStep = true;
                for (int row = 0; row < list->count(); ++row) {
                    const auto& p = profiles[static_cast<std::size_t>(list->item(row)->data(Qt::UserRole).toInt())];
                    inStep = inStep && list->item(row)->isSelected() == p->IsSelected() &&
                             p->IsSelected() == p->IsSupported();
                }
                figures = shown->findChild<QLabel*>("ctl1002")->text();
                QTest::mouseClick(Button(shown, "ctl1"), Qt::LeftButton);
            },
            5000, &missed);
        QCOMPARE(page.Run(), int(kPageNext));
        QVERIFY(!missed);
        QCOMPARE(Recorded().Ids(), std::vector<int>({2003, 2005, 2003}));
        QVERIFY(noneSelected);
        QVERIFY(inStep);
        QVERIFY2(figures.startsWith("4,000,000,000,000,000,037 байт"), qPrintable(figures));
    }

    // The installation starts by itself; the dictionary counters show; Cancel answered "Нет"
    // goes on; "VANTEL_GO_HOME" during the import, confirmed, ends the page with 2 once the
    // engine stops — the page stays until then. The taskbar follows the profiles and is reset
    // at the end; the profile, its first dictionary abandoned, is not registered.
    void progressPageCancelNoGoesOnGoHomeYesEnds() {
        ProductScratch product("ER");
        QVERIFY(product.Ok());
        const QString dist = product.Build(R"(
[collection 1]
Name.R = Общая лексика
Profiles = ER_GEN
[profile ER_GEN]
Direction = ER
Name.R = Общая & лексика
Dictionaries = er_a.dct; er_b.dct
[dictionary er_a.dct]
Direction = ER
Name.R = Пер & вый
Words = a.txt
[dictionary er_b.dct]
Direction = ER
Name.R = Второй
Words = b.txt
)",
                                           {{"a.txt", "cat\tкошка\n"}, {"b.txt", "dog\tсобака\n"}});
        QVERIFY(!dist.isEmpty());
        QVERIFY(EnsureKernelConnection());
        CSmartPtr<CDictCollection> collection(new CDictCollection);
        CDictCollectionLoader loader(dist.toStdString() + "SETUP.INI",
                                     dist.toStdString() + "RAVIRI.INF", dist.toStdString());
        QVERIFY(loader.ReadCollection("1", *collection));

        RecordingTaskbar taskbar;
        SetTaskbar(&taskbar);
        ProgressPage page(nullptr, collection, dist.toStdString());
        bool missed = false, counters = false, hiddenCounters = false, goneOn = false,
             texts1 = false, texts2 = false, ampersand = false, stays = false;
        // The checks run inside the engine, at the first progress report of the first dictionary:
        // the installation is running then, however fast the machine.
        FirstProgress first;
        ScopedPorts ports(Ports{.steps = &first});
        first.action = [&] {
                ProgressPage* shown = &page;
                auto text = [shown](const char* name) { return shown->findChild<QLabel*>(name); };
                counters = text("ctl1010")->isVisible() && text("ctl1009")->isVisible() &&
                           text("ctl1010")->text() == "Общее число устанавливаемых словарей - 2";
                hiddenCounters = !text("ctl2021")->isVisible() && !text("ctl2022")->isVisible();
                // The first dictionary's name shows its ampersand itself.
                ampersand = text("ctl1006")->text().contains("\"Пер & вый\"");
                AnswerConfirmation(false, &texts1, &missed);
                QTest::mouseClick(Button(shown, "ctl2"), Qt::LeftButton);
                goneOn = shown->isVisible() && shown->Running() && !shown->Engine().Cancelled();
                AnswerConfirmation(true, &texts2, &missed);
                shown->OnGoHome();
                stays = shown->isVisible() && shown->Running();
                shown->OnGoHome(); // a second one asks nothing more, and the page still stays
                stays = stays && shown->isVisible() && shown->Running();
        };
        const int result = page.Run();
        SetTaskbar(nullptr);
        QCOMPARE(result, int(kPageCancel));
        QVERIFY(!first.action);   // it ran
        QVERIFY(!missed);
        QCOMPARE(page.windowTitle(), QString("Инсталлятор словарей"));
        QVERIFY(counters);
        QVERIFY(hiddenCounters);
        QVERIFY(texts1 && texts2);
        QVERIFY(goneOn);
        QVERIFY(page.Engine().Cancelled());
        QVERIFY(ampersand);
        QVERIFY(stays);
        const InstallationSummary summary = page.Engine().Summary();
        QVERIFY(summary.cancelled);
        QCOMPARE(summary.profiles.cancelled, 1);
        QCOMPARE(summary.Held(), 0);
        QVERIFY(!taskbar.values.empty());
        QCOMPARE(taskbar.values.back(), std::make_pair(std::uint64_t(1), std::uint64_t(1)));
        QCOMPARE(taskbar.states.back(), TaskbarState::NoProgress);
    }

    // The removal page lists the first direction's collections, enables its controls by mode,
    // removes the chosen collection and refills; "all" removes every direction's.
    void removalPageModesRemovalAndRefill() {
        ProductScratch product("ER,GR");
        QVERIFY(product.Ok());
        const QString dist = product.Build(R"(
[collection 1]
Name.R = Право
Profiles = ER_LAW
[collection 2]
Name.R = Медицина
Profiles = ER_MED; GR_MED
[profile ER_LAW]
Direction = ER
Name.R = Право
[profile ER_MED]
Direction = ER
Name.R = Медицина
[profile GR_MED]
Direction = GR
Name.R = Медицина (нем.)
)");
        QVERIFY(!dist.isEmpty());
        QCOMPARE(product.Cli({"install", dist, "--collection", "1", "--yes"}), 0);
        QCOMPARE(product.Cli({"install", dist, "--collection", "2", "--yes"}), 0);

        RemovalPage page(nullptr);
        QCOMPARE(page.windowTitle(), QString("Выбор коллекций словарей"));
        bool missed = false, opened = false, direction = false, all = false, removed = false,
             back = false;
        QStringList gr;
        WhenShown<RemovalPage>(
            [&](RemovalPage* shown) {
                auto* combo = shown->findChild<QComboBox*>("ctl1027");
                QListWidget* list = List(shown, "ctl1039");
                auto* remove = Button(shown, "ctl2010");
                opened = combo->currentText() == "Англо-русский" && combo->count() == 2 &&
                         Texts(list) == QStringList({"Медицина", "Право"}) &&
                         !remove->isEnabled() && Radio(shown, "ctl1023")->isChecked() &&
                         !Button(shown, "ctl1")->isEnabled();
                QTest::mouseClick(Radio(shown, "ctl1025"), Qt::LeftButton);
                direction = !list->isEnabled() && combo->isEnabled() && remove->isEnabled();
                QTest::mouseClick(Radio(shown, "ctl1026"), Qt::LeftButton);
                all = !list->isEnabled() && !combo->isEnabled() && remove->isEnabled();
                QTest::mouseClick(Radio(shown, "ctl1023"), Qt::LeftButton);
                ClickEntry(list, 1);
                QTest::mouseClick(remove, Qt::LeftButton);
                removed = Texts(list) == QStringList({"Медицина"}) && !remove->isEnabled();
                combo->setFocus();
                QTest::keyClick(combo, Qt::Key_Down);
                gr = Texts(list);
                QTest::mouseClick(Radio(shown, "ctl1026"), Qt::LeftButton);
                QTest::mouseClick(remove, Qt::LeftButton);
                back = list->count() == 0;
                QTest::mouseClick(Button(shown, "ctl1001"), Qt::LeftButton);
            },
            5000, &missed);
        QCOMPARE(page.Run(), int(kPageBack));
        QVERIFY(!missed);
        QVERIFY(opened);
        QVERIFY(direction);
        QVERIFY(all);
        QVERIFY(removed);
        QCOMPARE(gr, QStringList({"Медицина (нем.)"}));
        QVERIFY(back);
        QVERIFY(Recorded().shown.empty());
        QVERIFY(product.Collections().isEmpty());
    }
};

QObject* NewWizardPagesTest() {
    return new WizardPagesTest;
}

} // namespace quillon::guitest

#include "WizardPagesTest.moc"
