#include "platform/Ports.h"
#include "product/WorkFolders.h"
#include "shell/RunWizard.h"
#include "testsupport/Doubles.h"
#include "testsupport/TempDir.h"

#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace quillon {
namespace {

using S = WizardState;

CollectionChoice Choice(int result, std::string id = {}, std::string name = {},
                        CollectionListing listing = CollectionListing::Listed) {
    CollectionChoice c;
    c.result = result;
    c.identifier = std::move(id);
    c.displayName = std::move(name);
    c.listing = listing;
    return c;
}

// What an installation left: one dictionary failed, so its profile was not registered, or the
// user cancelled before the profile.
ProgressPageResult Progress(int result, ItemOutcome dictionary) {
    ProgressPageResult p;
    p.result = result;
    const ItemOutcome left = dictionary == ItemOutcome::Failed ? ItemOutcome::Failed : ItemOutcome::Cancelled;
    p.summary = Summarize({{InstallRecord::Kind::Dictionary, "law.er", "Англо-русский словарь \"Право\"", dictionary,
                            {}, "Ошибка при импортировании словаря."},
                           {InstallRecord::Kind::Profile, "law", "Англо-русский коллекция словарей \"Право\"", left,
                            {}, "Словарь \"Право\" не установлен."}},
                          dictionary == ItemOutcome::Cancelled);
    return p;
}

// A host whose pages answer from scripts and which records what the driver asked of it.
class ScriptedHost : public WizardHost {
public:
    class Copies : public DescriptionCopies {
    public:
        explicit Copies(ScriptedHost& host) : host_(host) {}
        bool Prepare(const std::string& folder) override {
            host_.prepared.push_back(folder);
            writeFailed_ = host_.writeFailing.count(folder) > 0;
            return host_.distributions.count(folder) > 0;
        }
        bool WriteFailed() const override { return writeFailed_; }
        std::string GetSourceFolder() const override { return {}; }
        std::string GetSetupIniPath() const override { return {}; }
        std::string GetMainDescriptionPath() const override { return {}; }

    private:
        ScriptedHost& host_;
        bool writeFailed_ = false;
    };

    bool EnsureKernelConnection() override {
        ++connections;
        return kernel;
    }
    void ReleaseKernelConnection() override { ++releases; }
    int ShowWelcomePage() override { return Next(welcome, kPageNext); }
    ActionPageResult ShowActionPage(bool newPage) override {
        actionPagesNew.push_back(newPage);
        if (actions.empty())
            return {kPageCancel, WizardAction::None};
        auto a = actions.front();
        actions.pop_front();
        return a;
    }
    int ShowRemovalPage() override { return Next(removal, kPageBack); }
    int ShowPathPage(std::string& path) override {
        pathPrefills.push_back(path);
        if (typed.empty())
            return kPageCancel;
        path = typed.front();
        typed.pop_front();
        return kPageNext;
    }
    CollectionChoice ChooseCollection(DescriptionCopies&) override {
        ++collectionPages;
        if (choices.empty())
            return Choice(kPageCancel);
        auto c = choices.front();
        choices.pop_front();
        return c;
    }
    LoadResult LoadCollection(DescriptionCopies&, const std::string& identifier) override {
        loaded.push_back(identifier);
        if (loads.empty())
            return {LoadStatus::Loaded, 2};
        auto l = loads.front();
        loads.pop_front();
        return l;
    }
    ProfilesPageResult ShowProfilesPage() override {
        if (profilePages.empty())
            return {kPageNext, true, 1};
        auto p = profilePages.front();
        profilePages.pop_front();
        return p;
    }
    ProgressPageResult ShowProgressPage(const std::string& folder, int replaceMode) override {
        progressFolders.push_back(folder);
        lastReplaceMode = replaceMode;
        if (progress.empty())
            return {kPageNext, {}};
        auto p = progress.front();
        progress.pop_front();
        return p;
    }
    std::unique_ptr<DescriptionCopies> NewDescriptionCopies() override {
        ++passes;
        return std::make_unique<Copies>(*this);
    }
    bool NextCdDrive(std::string& drive) override {
        ++cdQueries;
        std::size_t next = 0;
        if (!drive.empty()) {
            while (next < cdDrives.size() && cdDrives[next] != drive)
                ++next;
            ++next;
        }
        if (next >= cdDrives.size())
            return false;
        drive = cdDrives[next];
        return true;
    }
    std::string GetInstallerFolder() override { return "/opt/quillon/"; }
    void ClearTaskbarOverlay() override { ++overlayClears; }
    void CloseMainWindow() override { ++closes; }

    static int Next(std::deque<int>& q, int otherwise) {
        if (q.empty())
            return otherwise;
        int r = q.front();
        q.pop_front();
        return r;
    }

    // Scripts.
    bool kernel = true;
    std::set<std::string> distributions;
    std::set<std::string> writeFailing; // folders whose working copies cannot be written
    std::vector<std::string> cdDrives;
    std::deque<int> welcome, removal;
    std::deque<ProgressPageResult> progress;
    std::deque<ActionPageResult> actions;
    std::deque<std::string> typed;
    std::deque<CollectionChoice> choices;
    std::deque<LoadResult> loads;
    std::deque<ProfilesPageResult> profilePages;

    // Records.
    int connections = 0, releases = 0, passes = 0, cdQueries = 0, overlayClears = 0, closes = 0, collectionPages = 0;
    int lastReplaceMode = -1;
    std::vector<bool> actionPagesNew;
    std::vector<std::string> prepared, pathPrefills, loaded, progressFolders;
};

const ActionPageResult kInstall{kPageNext, WizardAction::Install};
const ActionPageResult kRemove{kPageNext, WizardAction::Remove};
const CollectionChoice kBusiness = Choice(kPageNext, "BUSINESS", "Бизнес");

class RunWizardTest : public ::testing::Test {
protected:
    std::vector<S> Run(const std::string& folder = {}) {
        Wizard wizard(host);
        wizard.Run(folder);
        EXPECT_EQ(host.closes, 1);
        return wizard.Trace();
    }
    ScriptedHost host;
    test::ScriptedMessages messages;
    ScopedPorts ports{Ports{.messages = &messages}};
};

TEST_F(RunWizardTest, NoKernelShowsMessage1035AndEnds) {
    host.kernel = false;
    EXPECT_EQ(Run(), (std::vector<S>{S::Start, S::End}));
    ASSERT_EQ(messages.ShownIds(), std::vector<int>{1035});
    EXPECT_EQ(messages.Shown()[0].caption, "Инсталлятор словарей");
    EXPECT_EQ(messages.Shown()[0].icon, MessageIcon::None);
}

TEST_F(RunWizardTest, DistributionOnTheSecondOpticalDriveNeedsNoPathPage) {
    host.cdDrives = {"/media/cdrom0/", "/media/cdrom1/"};
    host.distributions = {"/media/cdrom1/DICTS/"};
    host.actions = {kInstall};
    host.choices = {kBusiness};
    host.welcome = {kPageNext};
    host.progress = {{kPageNext, {}}};
    messages.AnswerId(2016, MessageAnswer::No);
    EXPECT_EQ(Run(), (std::vector<S>{S::Start, S::Welcome, S::Action, S::Source, S::Collection, S::Load, S::Profiles,
                                      S::Progress, S::Question, S::End}));
    EXPECT_EQ(host.prepared, (std::vector<std::string>{"/media/cdrom0/DICTS/", "/media/cdrom1/DICTS/"}));
    EXPECT_TRUE(host.pathPrefills.empty());
    EXPECT_EQ(host.progressFolders, std::vector<std::string>{"/media/cdrom1/DICTS/"});
    EXPECT_EQ(host.lastReplaceMode, 1);
}

// The command-line folder holds no description files: the user is told so (2040) and asked for a
// folder on the path page, pre-filled with the one given.
TEST_F(RunWizardTest, CommandLineFolderWithoutDescriptionsIsNamedAndThePathPageAsks) {
    host.actions = {kInstall};
    host.typed = {"/srv/dist"};
    host.distributions = {"/srv/dist/DICTS/"};
    host.choices = {Choice(kPageCancel)};
    const auto trace = Run("/mnt/nothing/");
    EXPECT_EQ(trace, (std::vector<S>{S::Start, S::Welcome, S::Action, S::Source, S::Path, S::Collection, S::End}));
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{2040});
    EXPECT_EQ(host.pathPrefills, std::vector<std::string>{"/mnt/nothing"});
    // The automatic searches were off (a folder was known at the welcome page).
    EXPECT_EQ(host.cdQueries, 0);
    EXPECT_EQ(host.prepared, (std::vector<std::string>{"/mnt/nothing/", "/srv/dist/", "/srv/dist/DICTS/"}));
}

// The collection page closed itself: unreadable description files give 2001, collections none of
// whose directions is installed a message naming the pairs; either way the path page follows,
// pre-filled with the folder.
TEST_F(RunWizardTest, ACollectionPageThatClosedItselfSaysWhyAndAsksForTheFolder) {
    host.distributions = {"/srv/dist/"};
    host.actions = {kInstall};
    host.typed = {"/srv/dist", "/srv/dist"};
    CollectionChoice none = Choice(kPageNext, {}, {}, CollectionListing::NoneSupported);
    none.neededPairs = {"Французско-русская", "Немецко-русская"};
    host.choices = {Choice(kPageNext, {}, {}, CollectionListing::Unreadable), none, Choice(kPageCancel)};
    EXPECT_EQ(Run("/srv/dist/"), (std::vector<S>{S::Start, S::Welcome, S::Action, S::Source, S::Collection,
                                                  S::Source, S::Path, S::Collection, S::Source, S::Path,
                                                  S::Collection, S::End}));
    ASSERT_EQ(messages.ShownIds(), (std::vector<int>{2001, 2052}));
    EXPECT_EQ(messages.Shown()[0].icon, MessageIcon::Error);
    EXPECT_NE(messages.Shown()[1].text.find("(Французско-русская, Немецко-русская)"), std::string::npos)
        << messages.Shown()[1].text;
    EXPECT_EQ(host.pathPrefills, (std::vector<std::string>{"/srv/dist", "/srv/dist"}));
    EXPECT_TRUE(host.loaded.empty());
}

// After a cancel or a failure the summary stands in for question 2016, with its Yes/No: Yes shows
// the collection page again, No ends. Left through "VANTEL_GO_HOME", it is said once with Ok.
TEST_F(RunWizardTest, AnIncompleteInstallationIsSummarisedInPlaceOfTheQuestion) {
    host.distributions = {"/srv/dist/"};
    host.actions = {kInstall};
    host.choices = {kBusiness, kBusiness};
    host.progress = {Progress(kPageNext, ItemOutcome::Cancelled), Progress(kPageNext, ItemOutcome::Failed)};
    messages.AnswerNext(MessageAnswer::Yes);
    messages.AnswerNext(MessageAnswer::No);
    EXPECT_EQ(Run("/srv/dist/"), (std::vector<S>{S::Start, S::Welcome, S::Action, S::Source, S::Collection, S::Load,
                                                  S::Profiles, S::Progress, S::Question, S::Source, S::Collection,
                                                  S::Load, S::Profiles, S::Progress, S::Question, S::End}));
    ASSERT_EQ(messages.ShownIds(), (std::vector<int>{2043, 2054})); // 2054: nothing at all installed
    const MessageBoxRequest& cancelled = messages.Shown()[0];
    EXPECT_EQ(cancelled.buttons, MessageButtons::YesNo);
    EXPECT_EQ(cancelled.icon, MessageIcon::Information);
    EXPECT_EQ(cancelled.text,
              "Установка выбранной коллекции словарей прервана.\n\n"
              "Профили перевода: установлено — 0, уже были в системе — 0, не установлено из-за ошибок — 0, "
              "из-за отмены — 1.\n"
              "Словари: установлено — 0, уже были в системе — 0, не установлено из-за ошибок — 0, из-за отмены — 1.\n"
              "Базы ТМ: установлено — 0, уже были в системе — 0, не установлено из-за ошибок — 0, из-за отмены — 0."
              "\n\nНе установлены:\n"
              "Англо-русский словарь \"Право\" — Ошибка при импортировании словаря.\n"
              "Англо-русский коллекция словарей \"Право\" — Словарь \"Право\" не установлен.\n\n"
              "Хотите установить другую коллекцию?");
    EXPECT_EQ(messages.Shown()[1].icon, MessageIcon::Warning);
    EXPECT_TRUE(messages.Shown()[1].text.starts_with("Установка выбранной коллекции словарей закончена, но ничего не "
                                                     "установлено."));
    EXPECT_EQ(host.releases, 1);

    ScriptedHost goHome;
    goHome.distributions = {"/d/"};
    goHome.actions = {kInstall};
    goHome.choices = {kBusiness};
    goHome.progress = {Progress(kPageCancel, ItemOutcome::Cancelled)};
    messages.Clear();
    Wizard wizard(goHome);
    wizard.Run("/d/");
    EXPECT_EQ(wizard.Trace()[wizard.Trace().size() - 2], S::Progress);
    ASSERT_EQ(messages.ShownIds(), std::vector<int>{2043});
    EXPECT_EQ(messages.Shown()[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(messages.Shown()[0].text.find("Хотите"), std::string::npos);
}

TEST_F(RunWizardTest, BackOnTheCollectionPageAsksForTheFolderAgain) {
    host.distributions = {"/srv/dist/"};
    host.actions = {kInstall, kInstall};
    host.choices = {Choice(kPageBack), Choice(kPageCancel)};
    host.typed = {"/srv/other"};
    host.distributions.insert("/srv/other/");
    const auto trace = Run("/srv/dist/");
    EXPECT_EQ(trace, (std::vector<S>{S::Start, S::Welcome, S::Action, S::Source, S::Collection, S::Action, S::Source,
                                      S::Path, S::Collection, S::End}));
    EXPECT_EQ(host.pathPrefills, std::vector<std::string>{""});
}

TEST_F(RunWizardTest, EmptyDistributionShows2017AndReturnsToTheActionPage) {
    host.distributions = {"/srv/dist/"};
    host.actions = {kInstall};
    host.choices = {Choice(kPageNext)}; // the page closed itself without a choice
    EXPECT_EQ(Run("/srv/dist/"), (std::vector<S>{S::Start, S::Welcome, S::Action, S::Source, S::Collection, S::Load,
                                                  S::Action, S::End}));
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{2017});
    EXPECT_TRUE(host.loaded.empty());

    // A chosen collection without profiles gives the same.
    ScriptedHost second;
    second.distributions = {"/srv/dist/"};
    second.actions = {kInstall};
    second.choices = {kBusiness};
    second.loads = {{LoadStatus::Loaded, 0}};
    messages.Clear();
    Wizard(second).Run("/srv/dist/");
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{2017});
}

TEST_F(RunWizardTest, InstallAnotherReleasesTheKernelAndShowsTheSameDistribution) {
    host.distributions = {"/srv/dist/"};
    host.actions = {kInstall};
    host.choices = {kBusiness, Choice(kPageCancel)};
    host.progress = {{kPageNext, {}}};
    messages.AnswerNext(MessageAnswer::Yes);
    EXPECT_EQ(Run("/srv/dist/"), (std::vector<S>{S::Start, S::Welcome, S::Action, S::Source, S::Collection, S::Load,
                                                  S::Profiles, S::Progress, S::Question, S::Source, S::Collection, S::End}));
    EXPECT_EQ(host.releases, 1);
    EXPECT_EQ(host.passes, 2);
    EXPECT_EQ(host.prepared, (std::vector<std::string>{"/srv/dist/", "/srv/dist/"}));
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{2016});
    EXPECT_EQ(messages.Shown()[0].buttons, MessageButtons::YesNo);
}

TEST_F(RunWizardTest, ReadFailureShows2001AndThePathPageComesPrefilled) {
    host.actions = {kInstall};
    host.typed = {"/srv/dist", "/srv/dist"};
    host.distributions = {"/srv/dist/"};
    host.choices = {kBusiness, Choice(kPageCancel)};
    host.loads = {{LoadStatus::ReadFailed, 0}};
    EXPECT_EQ(Run(), (std::vector<S>{S::Start, S::Welcome, S::Action, S::Source, S::Path, S::Collection, S::Load,
                                      S::Source, S::Path, S::Collection, S::End}));
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{2001});
    EXPECT_EQ(messages.Shown()[0].icon, MessageIcon::Error);
    EXPECT_EQ(host.pathPrefills, (std::vector<std::string>{"", "/srv/dist"}));
    // The automatic search ran once only, on the first pass.
    EXPECT_EQ(host.cdQueries, 1);
}

TEST_F(RunWizardTest, ExceptionWhileReadingEndsTheWizardWith57355) {
    host.distributions = {"/srv/dist/"};
    host.actions = {kInstall};
    host.choices = {kBusiness};
    host.loads = {{LoadStatus::Exception, 0}};
    EXPECT_EQ(Run("/srv/dist/").back(), S::End);
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{57355});
}

TEST_F(RunWizardTest, TypedFolderAndItsDictsSubfolder) {
    host.actions = {kInstall, kInstall};
    host.typed = {"/srv/nothing/", "/srv/dist"};
    host.distributions = {"/srv/dist/DICTS/"};
    host.choices = {kBusiness};
    host.profilePages = {{kPageCancel, false, 2}};
    Run();
    // The separator is appended even to a folder that ends in one.
    EXPECT_EQ(host.prepared, (std::vector<std::string>{"/opt/quillon/DICTS/", "/srv/nothing//", "/srv/nothing//DICTS/",
                                                        "/srv/dist/", "/srv/dist/DICTS/"}));
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{2040});
    EXPECT_EQ(messages.Shown()[0].icon, MessageIcon::Error);
}

// A typed folder whose working copies cannot be written (a full disk) is not called a folder
// without installation files: message 1015, and its DICTS folder is not tried.
TEST_F(RunWizardTest, TypedFolderWhoseWorkingCopiesCannotBeWritten) {
    host.actions = {kInstall, kInstall};
    host.typed = {"/srv/dist"};
    host.writeFailing = {"/srv/dist/"};
    Run();
    EXPECT_EQ(host.prepared, (std::vector<std::string>{"/opt/quillon/DICTS/", "/srv/dist/"}));
    EXPECT_EQ(messages.ShownIds(), std::vector<int>{1015});
}

// Linux lists a plain ISO 9660 disc in lower case: "dicts" is the DICTS folder too, on a disc
// as in a typed folder.
TEST_F(RunWizardTest, DictsFolderIsFoundWhateverItsLetterCase) {
    test::TempDir disc, typed;
    std::filesystem::create_directory(disc / "dicts");
    std::filesystem::create_directory(typed / "Dicts");
    host.cdDrives = {disc.Path() + "/"};
    host.distributions = {disc / "dicts/", typed / "Dicts/"};
    host.actions = {kInstall, kInstall};
    host.choices = {Choice(kPageBack), Choice(kPageCancel)};
    host.typed = {typed.Path()};
    EXPECT_EQ(Run(), (std::vector<S>{S::Start, S::Welcome, S::Action, S::Source, S::Collection, S::Action, S::Source,
                                      S::Path, S::Collection, S::End}));
    EXPECT_EQ(host.prepared,
              (std::vector<std::string>{disc / "dicts/", "/opt/quillon/DICTS/", typed / "", typed / "Dicts/"}));
    EXPECT_TRUE(messages.Shown().empty());
}

// A setup.inf distribution needs the product's temporary folder; when that cannot be used (it
// belongs to another user, or is no folder) the message names it instead of saying that the
// folder holds no installation files.
TEST_F(RunWizardTest, UnusableTemporaryFolderIsNamed) {
    test::TempDir dist;
    dist.Write("setup.inf", "a compound file");
    const std::string blocked = GetProductTempFolder();
    std::filesystem::create_directories(Files().TempFolder() + "KALDO");
    std::ofstream(blocked.substr(0, blocked.size() - 1)) << "not a folder";
    host.actions = {kInstall};
    host.typed = {dist.Path()};
    Run();
    std::filesystem::remove(blocked.substr(0, blocked.size() - 1));
    ASSERT_EQ(messages.ShownIds(), std::vector<int>{2041});
    EXPECT_NE(messages.Shown()[0].text.find("\"" + blocked.substr(0, blocked.size() - 1) + "\""), std::string::npos)
        << messages.Shown()[0].text;
    EXPECT_EQ(messages.Shown()[0].icon, MessageIcon::Error);
}

TEST_F(RunWizardTest, DistributionBesideTheInstaller) {
    host.distributions = {"/opt/quillon/DICTS/"};
    host.actions = {kInstall};
    host.choices = {kBusiness};
    host.profilePages = {{kPageNext, false, 0}}; // nothing selected: straight to the question
    messages.AnswerId(2016, MessageAnswer::No);
    EXPECT_EQ(Run(), (std::vector<S>{S::Start, S::Welcome, S::Action, S::Source, S::Collection, S::Load, S::Profiles,
                                      S::Question, S::End}));
    EXPECT_TRUE(host.progressFolders.empty());
}

TEST_F(RunWizardTest, RemovalKeepsItsActionPageAndBackOnActionShowsWelcome) {
    host.actions = {kRemove, {kPageBack, WizardAction::Remove}, {kPageCancel, WizardAction::Install}};
    host.removal = {0, kPageBack};
    host.welcome = {kPageNext, kPageNext};
    EXPECT_EQ(Run(), (std::vector<S>{S::Start, S::Welcome, S::Action, S::Removal, S::Removal, S::Action, S::Welcome,
                                      S::Action, S::End}));
    EXPECT_EQ(host.actionPagesNew, (std::vector<bool>{true, false, true}));
}

TEST_F(RunWizardTest, CancelOnAnyPageEndsTheWizard) {
    host.welcome = {kPageCancel};
    EXPECT_EQ(Run(), (std::vector<S>{S::Start, S::Welcome, S::End}));
    ScriptedHost progressFails;
    progressFails.distributions = {"/d/"};
    progressFails.actions = {kInstall};
    progressFails.choices = {kBusiness};
    progressFails.progress = {{kPageCancel, {}}};
    Wizard wizard(progressFails);
    wizard.Run("/d/");
    EXPECT_EQ(wizard.Trace()[wizard.Trace().size() - 2], S::Progress); // no question after a failed installation
    EXPECT_TRUE(messages.Shown().empty());
}

// The summary's heading: after a cancel; when nothing at all is held; when some of it is.
TEST(InstallationSummary, HeadingSaysWhatHappened) {
    const InstallRecord failed{InstallRecord::Kind::Dictionary, "a", "A", ItemOutcome::Failed, {}, "x"};
    const InstallRecord held{InstallRecord::Kind::Dictionary, "b", "B", ItemOutcome::AlreadyThere, {}, {}};
    EXPECT_EQ(SummaryMessageId(Summarize({failed}, true)), 2043);
    EXPECT_EQ(SummaryMessageId(Summarize({failed}, false)), 2054);
    EXPECT_EQ(SummaryMessageId(Summarize({failed, held}, false)), 2044);
    EXPECT_TRUE(Summarize({held}, false).Complete());
    EXPECT_FALSE(Summarize({held}, true).Complete());
}

} // namespace
} // namespace quillon
