// The installation engine against the reference product: real packed dictionaries, the real
// kernel services through the class factory, the product's fault injection.
#include "ProductFixture.h"
#include "descriptions/LanguageDirections.h"
#include "install/Packer.h"
#include "install/ProgressDlg.h"
#include "model/DictCollection.h"
#include "platform/Ports.h"
#include "platform/StepObserver.h"
#include "product/KernelConnection.h"
#include "product/WorkFolders.h"
#include "support/Guid.h"
#include "support/Text.h"
#include "testsupport/Doubles.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace quillon {
namespace {

namespace fs = std::filesystem;
using kaldo::test::kER;
using kaldo::test::kRE;

// A view that records what the page would show and answers the cancel confirmation.
class RecordingView : public ProgressView {
public:
    std::string InitialText(int control) override { return DefaultProgressText(control); }
    void SetText(int control, const std::string& text) override {
        texts[control] = text, ++textChanges[control];
        if (control == kCtlDictionaryNumber)
            events.push_back(text);
    }
    void ShowControl(int control, bool visible) override {
        visibleControls[control] = visible;
        events.push_back((visible ? "show " : "hide ") + std::to_string(control));
    }
    void SetProgress(std::uint32_t position, std::uint32_t range) override { bar = {position, range}; }
    void SetTaskbarProgress(std::uint64_t completed, std::uint64_t total) override { taskbar = {completed, total}; }
    void SetTaskbarState(TaskbarState state) override { taskbarState = state; }
    void PumpMessages() override {
        ++pumps;
        if (onPump)
            onPump();
    }
    bool ConfirmCancel() override { return ++confirmations, confirm; }
    void Beep() override { ++beeps; }

    std::map<int, std::string> texts;
    std::map<int, int> textChanges;
    std::map<int, bool> visibleControls;
    std::vector<std::string> events; // shown and hidden controls, texts of the dictionary number
    std::pair<std::uint32_t, std::uint32_t> bar;
    std::pair<std::uint64_t, std::uint64_t> taskbar;
    TaskbarState taskbarState = TaskbarState::NoProgress;
    std::function<void()> onPump;
    bool confirm = true;
    int pumps = 0, confirmations = 0, beeps = 0;
};

class ProgressDlgTest : public kaldo::test::ProductFixture {
protected:
    void SetUp() override {
        ProductFixture::SetUp();
        dist_ = temp_ / "dist";
        fs::create_directories(dist_ + "/DICTS");
        collection_ = CSmartPtr<CDictCollection>(new CDictCollection);
        collection_->SetComment("Комментарий");
        collection_->SetCopyright("© Velmar Soft");
    }
    void TearDown() override {
        // Whatever happened, no temporary file is left behind.
        EXPECT_TRUE(FilesIn(GetUserWorkFolder()).empty());
        ProductFixture::TearDown();
    }

    // A packed dictionary on the distribution; answers its relative path.
    std::string PackedDictionary(const std::string& key, std::uint32_t direction, std::uint16_t version = 4,
                                 std::size_t entries = 3, std::string* guid = nullptr) {
        const std::string plain = MakeDictionary(key + ".plain", direction, false, version, entries);
        if (guid)
            *guid = GuidOf(plain);
        const std::string relative = "DICTS\\" + key;
        EXPECT_EQ(PackFile(plain, dist_ + "/DICTS/" + key), 0);
        fs::remove(plain);
        return relative;
    }

    CSmartPtr<CDictInfo> Dictionary(const std::string& key, std::uint32_t direction, const std::string& nameOnCD) {
        CSmartPtr<CDictInfo> d(new CDictInfo);
        d->SetKey(key);
        d->SetDirID(direction);
        d->SetName("Словарь " + key);
        d->SetFullName(PairName(direction, PairForm::Masculine) + " словарь \"" + key + "\"");
        d->SetFileNameOnCD(nameOnCD);
        d->SetSupported(true);
        d->SetSelected(true);
        collection_->GetDictionaries()[key] = d;
        return d;
    }

    CSmartPtr<CVdxBaseTM> BaseTM(const std::string& key) {
        CSmartPtr<CVdxBaseTM> b(new CVdxBaseTM);
        b->SetKey(key);
        b->SetDirID(kER);
        b->SetName("Память");
        b->SetFullName("Англо-русская база ТМ \"Память\"");
        b->SetFileNameOnCD("TM\\" + key);
        b->SetSelected(true);
        b->SetSupported(true);
        fs::create_directories(dist_ + "/TM");
        std::ofstream(dist_ + "/TM/" + key) << "<tmx>segment</tmx>";
        collection_->GetBasesTM()[key] = b;
        return b;
    }

    CSmartPtr<CVdxTopicInfo> Profile(const std::string& key, std::vector<CSmartPtr<CDictInfo>> dictionaries,
                                     std::vector<CSmartPtr<CVdxBaseTM>> bases = {}) {
        CSmartPtr<CVdxTopicInfo> p(new CVdxTopicInfo);
        p->SetKey(key);
        p->SetDirID(kER);
        p->SetName(key);
        p->SetFullName("Англо-русский коллекция словарей \"" + key + "\"");
        p->SetSelected(true);
        p->SetSupported(true);
        p->Dictionaries() = std::move(dictionaries);
        p->BasesTM() = std::move(bases);
        collection_->GetProfiles().push_back(p);
        return p;
    }

    int Install(int replaceMode = 1) {
        CProgressDlg page(collection_, dist_ + "/", view_);
        page.SetReplaceMode(replaceMode);
        const int result = page.Run();
        records_ = page.Records();
        return result;
    }

    std::string Journal() {
        std::string out;
        kaldo::test::RunProductTool({"journal"}, &out);
        return out;
    }
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
            ++n;
        return n;
    }
    void Fault(const std::string& operation, const std::string& status, int count = 1) {
        ASSERT_EQ(kaldo::test::RunProductTool({"fault", operation, status, std::to_string(count)}), 0);
    }

    std::string dist_;
    CSmartPtr<CDictCollection> collection_;
    RecordingView view_;
    test::ScriptedMessages messages_;
    ScopedPorts ports_{Ports{.messages = &messages_}};
    std::vector<InstallRecord> records_;
    CProgressDlg* pageForCancel_ = nullptr;
};

TEST_F(ProgressDlgTest, CleanInstallRegistersTheProfileWithTheKernelsIdentifiers) {
    auto law = Dictionary("law.er", kER, PackedDictionary("LAW.ER", kER));
    auto econ = Dictionary("Econ.ER", kER, PackedDictionary("ECON.ER", kER));
    auto tm = BaseTM("law.tmx");
    Profile("business", {law, econ}, {tm});
    Profile("legal", {law});

    EXPECT_EQ(Install(), 1);
    EXPECT_TRUE(messages_.Shown().empty()) << messages_.Shown()[0].text;
    EXPECT_TRUE(IsGuidString(law->GetUID()));
    EXPECT_TRUE(IsGuidString(econ->GetUID()));
    EXPECT_FALSE(tm->GetUID().empty());
    EXPECT_EQ(econ->GetKey(), "econ.er"); // the file name is lower-cased before use
    EXPECT_FALSE(law->IsSelected());

    // The profile descriptions the kernel received carry the identifiers.
    const std::string journal = Journal();
    EXPECT_EQ(Count(journal, "\"operation\":\"InstallProfile\""), 2) << journal;
    EXPECT_NE(journal.find("<Dict><UID>" + law->GetUID() + "</UID>"), std::string::npos);
    EXPECT_NE(journal.find("<Memory><UID>" + tm->GetUID() + "</UID>"), std::string::npos);
    // The dictionary shared by both profiles is imported once.
    EXPECT_EQ(Count(journal, "\"operation\":\"ImportDictionary\""), 2);

    std::string list;
    ASSERT_EQ(kaldo::test::RunProductTool({"list", "--json"}, &list), 0);
    EXPECT_NE(list.find(law->GetUID()), std::string::npos) << list;
    EXPECT_NE(list.find("business"), std::string::npos);

    EXPECT_EQ(view_.texts[kCtlTotalProfiles], "Общее число устанавливаемых профилей перевода - 2");
    EXPECT_EQ(view_.texts[kCtlTotalDictionaries], "Общее число устанавливаемых словарей - 3");
    EXPECT_EQ(view_.texts[kCtlStatus], "Идет процесс установки выбранной коллекции словарей.");
    EXPECT_EQ(view_.taskbar, (std::pair<std::uint64_t, std::uint64_t>{2, 2}));
    EXPECT_EQ(view_.taskbarState, TaskbarState::NoProgress);
    EXPECT_EQ(records_.size(), 5u); // the shared dictionary once
    for (const auto& r : records_)
        EXPECT_EQ(r.outcome, ItemOutcome::Installed) << r.key;
}

TEST_F(ProgressDlgTest, DictionaryOfAnotherDirectionIsRefusedBeforeOrAfterUnpacking) {
    auto other = Dictionary("other.re", kRE, PackedDictionary("OTHER.RE", kRE));
    Profile("business", {other});
    EXPECT_EQ(Install(), 1);
    ASSERT_EQ(messages_.ShownIds(), std::vector<int>{2025});
    EXPECT_EQ(messages_.Shown()[0].icon, MessageIcon::Warning);
    EXPECT_NE(messages_.Shown()[0].text.find("\"Русско-английский словарь \"other.re\"\""), std::string::npos)
        << messages_.Shown()[0].text;
    EXPECT_EQ(Count(Journal(), "GetDictionaryInfo"), 0); // not unpacked

    // The description says English-Russian, the file itself is Russian-English: the kernel's
    // answer after unpacking refuses it.
    messages_.Clear();
    collection_->GetProfiles().clear();
    auto disguised = Dictionary("disguised.er", kER, PackedDictionary("DISGUISED.ER", kRE));
    Profile("business", {disguised});
    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(messages_.ShownIds(), std::vector<int>{2025});
    const std::string journal = Journal();
    EXPECT_EQ(Count(journal, "\"operation\":\"GetDictionaryInfo\""), 1);
    EXPECT_EQ(Count(journal, "ImportDictionary"), 0);
}

// 1010 and 1009 are hidden at each profile's start and shown when it has dictionaries to install;
// the dictionary number runs on across profiles.
TEST_F(ProgressDlgTest, DictionaryCountersRunOnAndHideForAProfileWithout) {
    auto a = Dictionary("a.er", kER, PackedDictionary("A.ER", kER));
    auto b = Dictionary("b.er", kER, PackedDictionary("B.ER", kER));
    auto c = Dictionary("c.er", kER, PackedDictionary("C.ER", kER));
    Profile("first", {a, b});
    Profile("shared", {a}); // "a" is installed by then: nothing to install here
    Profile("third", {c});
    EXPECT_EQ(Install(), 1);
    EXPECT_TRUE(messages_.Shown().empty());
    EXPECT_EQ(view_.texts[kCtlTotalDictionaries], "Общее число устанавливаемых словарей - 4");
    EXPECT_EQ(view_.events, (std::vector<std::string>{
                                "hide 1010", "hide 1009", "show 1010", "show 1009", "Устанавливается 1-й словарь",
                                "Устанавливается 2-й словарь",                 // first
                                "hide 1010", "hide 1009",                      // shared
                                "hide 1010", "hide 1009", "show 1010", "show 1009",
                                "Устанавливается 3-й словарь"}));              // third
}

// Before the import the dictionary is labelled (title, the collection's remarks and copyright);
// the kernel's value of the dictionary is read before the import and written back after it.
TEST_F(ProgressDlgTest, ImportedDictionaryIsLabelledAndKeepsItsValue) {
    std::string guid;
    auto law = Dictionary("law.er", kER, PackedDictionary("LAW.ER", kER, 4, 3, &guid));
    Profile("business", {law});
    ASSERT_EQ(Kernel()->SetDictionaryValue(guid, "before", 77), S_OK);
    EXPECT_EQ(Install(), 1);
    EXPECT_TRUE(messages_.Shown().empty());

    std::string error;
    const auto installed = kaldo::ReadDictionaryFile(Folder("ER") + "/law.er", error);
    ASSERT_TRUE(installed) << error;
    const auto text = [&](const char* name) {
        const auto* bytes = installed->FindProperty(name);
        return bytes ? Utf16LeBytesToUtf8(bytes->data(), bytes->size()) : std::string("(none)");
    };
    EXPECT_EQ(text("title_w"), "Словарь law.er");
    EXPECT_EQ(text("remarks_w"), "Комментарий");
    EXPECT_EQ(text("copyright_w"), "© Velmar Soft");

    const std::string journal = Journal();
    const auto read = journal.find("\"operation\":\"GetDictionaryValue\",\"arguments\":{\"name\":\"" + guid + "\"}");
    const auto import = journal.find("\"operation\":\"ImportDictionary\"");
    const auto written = journal.find("\"operation\":\"SetDictionaryValue\",\"arguments\":{\"name\":\"" + guid +
                                      "\",\"text\":\"\",\"value\":77}");
    ASSERT_NE(import, std::string::npos);
    EXPECT_LT(read, import) << journal;
    EXPECT_NE(written, std::string::npos) << journal;
    EXPECT_GT(written, import);
}

TEST_F(ProgressDlgTest, BadPackedFilesAreReportedAndSkipped) {
    std::ofstream(dist_ + "/DICTS/BAD.ER") << "not a packed file at all";
    auto bad = Dictionary("bad.er", kER, "DICTS\\BAD.ER");
    auto crc = Dictionary("crc.er", kER, PackedDictionary("CRC.ER", kER));
    {
        std::fstream f(dist_ + "/DICTS/CRC.ER", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(12);
        f.put('\x5A'); // the stored CRC no longer matches
    }
    auto missing = Dictionary("missing.er", kER, "DICTS\\MISSING.ER");
    auto escape = Dictionary("escape.er", kER, "..\\..\\etc\\passwd");
    auto good = Dictionary("good.er", kER, PackedDictionary("GOOD.ER", kER));
    Profile("business", {bad, crc, missing, escape, good});
    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(messages_.ShownIds(), (std::vector<int>{1030, 1016, 1013, 1013}));
    EXPECT_TRUE(IsGuidString(good->GetUID()));
    EXPECT_EQ(Count(Journal(), "\"operation\":\"ImportDictionary\""), 1);
    // Four of its dictionaries are not held: the profile is not registered.
    EXPECT_EQ(Count(Journal(), "InstallProfile"), 0);
    ASSERT_EQ(records_.size(), 6u);
    EXPECT_EQ(records_[0].reason, "Неизвестный формат файла.");
    EXPECT_EQ(records_[1].reason, "Ошибка при распаковке файла (ошибка CRC).");
    EXPECT_EQ(records_[5].kind, InstallRecord::Kind::Profile);
    EXPECT_EQ(records_[5].outcome, ItemOutcome::Failed);
    EXPECT_EQ(records_[5].reason, "Словарь \"Англо-русский словарь \"bad.er\"\" не установлен.");
}

TEST_F(ProgressDlgTest, OldFormatIsRefused) {
    auto old = Dictionary("old.er", kER, PackedDictionary("OLD.ER", kER, 1));
    Profile("business", {old});
    EXPECT_EQ(Install(), 1);
    ASSERT_EQ(messages_.ShownIds(), std::vector<int>{57352});
    EXPECT_NE(messages_.Shown()[0].text.find("не будет установлен"), std::string::npos);
}

TEST_F(ProgressDlgTest, MissingGeneralDictionaryAsksRetryThenCancel) {
    Fault("GetCatalogue", "0x80004005", 5); // no catalogue interface: the file itself is opened
    fs::rename(Folder("ER") + "/GENDICT.ER", Folder("ER") + "/GENDICT.ER.away");
    auto law = Dictionary("law.er", kER, PackedDictionary("LAW.ER", kER));
    Profile("business", {law});
    messages_.AnswerNext(MessageAnswer::Retry);
    messages_.AnswerNext(MessageAnswer::Cancel);
    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(messages_.ShownIds(), (std::vector<int>{57356, 57356, 57357}));
    EXPECT_EQ(messages_.Shown()[0].buttons, MessageButtons::RetryCancel);
    EXPECT_TRUE(messages_.Shown()[0].text.starts_with("Англо-русский Генеральный словарь не доступен."));
    fs::rename(Folder("ER") + "/GENDICT.ER.away", Folder("ER") + "/GENDICT.ER");
}

TEST_F(ProgressDlgTest, WithoutTheCatalogueTheGeneralDictionaryFileIsLinkedDirectly) {
    Fault("GetCatalogue", "0x80004005", 5);
    auto law = Dictionary("law.er", kER, PackedDictionary("LAW.ER", kER));
    Profile("business", {law});
    EXPECT_EQ(Install(), 1);
    EXPECT_TRUE(messages_.Shown().empty());
    EXPECT_TRUE(IsGuidString(law->GetUID()));
}

TEST_F(ProgressDlgTest, ImportFailuresMapToTheirMessages) {
    auto a = Dictionary("a.er", kER, PackedDictionary("A.ER", kER));
    auto b = Dictionary("b.er", kER, PackedDictionary("B.ER", kER));
    Profile("first", {a, b});
    Fault("ImportDictionary", "0x800F0024", 1); // "a": the converter failed
    ASSERT_EQ(Install(), 1);
    ASSERT_EQ(messages_.ShownIds(), std::vector<int>{1032});
    EXPECT_NE(messages_.Shown()[0].text.find("(0x800F0024)"), std::string::npos) << messages_.Shown()[0].text;
    EXPECT_EQ(messages_.Shown()[0].icon, MessageIcon::Warning);

    // "b" again: the kernel has a dictionary of that name; "c": any other failure.
    messages_.Clear();
    collection_->GetProfiles().clear();
    auto again = Dictionary("b.er", kER, "DICTS\\B.ER");
    auto c = Dictionary("c.er", kER, PackedDictionary("C.ER", kER));
    Profile("second", {again, c});
    Fault("ImportDictionary", "0x80004005", 2);
    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(messages_.ShownIds(), (std::vector<int>{57364, 57364}));
    messages_.Clear();
    collection_->GetProfiles()[0]->Dictionaries() = {again};
    again->SetSelected(true);
    EXPECT_EQ(Install(), 1);
    ASSERT_EQ(messages_.ShownIds(), std::vector<int>{1});
    EXPECT_EQ(messages_.Shown()[0].icon, MessageIcon::None);
    // Already there: the kernel holds it, so the profile is registered naming it.
    ASSERT_EQ(records_.size(), 2u);
    EXPECT_EQ(records_[0].outcome, ItemOutcome::AlreadyThere);
    EXPECT_EQ(records_[1].outcome, ItemOutcome::Installed);
    EXPECT_EQ(kaldo::test::ProductProblems(), "");
}

TEST_F(ProgressDlgTest, LockedImportIsRetriedOnceAfterADelete) {
    auto law = Dictionary("law.er", kER, PackedDictionary("LAW.ER", kER));
    Profile("business", {law});
    Fault("ImportDictionary", "0x800F000A", 2);
    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(messages_.ShownIds(), std::vector<int>{57366});
    const std::string journal = Journal();
    EXPECT_EQ(Count(journal, "\"operation\":\"DeleteDictionary\""), 1);
    EXPECT_EQ(Count(journal, "\"operation\":\"ImportDictionary\""), 2);
}

TEST_F(ProgressDlgTest, ServiceErrorDuringImportAbandonsTheProfilesDictionaries) {
    auto a = Dictionary("a.er", kER, PackedDictionary("A.ER", kER));
    auto b = Dictionary("b.er", kER, PackedDictionary("B.ER", kER));
    Profile("business", {a, b}, {BaseTM("t.tmx")});
    Fault("Raise.ImportDictionary", "0x80004005", 1);
    EXPECT_EQ(Install(), 1);
    ASSERT_EQ(messages_.ShownIds(), std::vector<int>{57355});
    EXPECT_EQ(messages_.Shown()[0].text, "Ошибка при обращении к сервису установки: 80004005");
    EXPECT_TRUE(b->IsSelected()); // never reached
    // Neither the TM bases nor the registration run: the profile would name "a", which the
    // kernel does not hold.
    const std::string journal = Journal();
    EXPECT_EQ(Count(journal, "\"operation\":\"InstallBaseTM\""), 0);
    EXPECT_EQ(Count(journal, "\"operation\":\"InstallProfile\""), 0);
    // a failed; the TM base and the profile were left for it; b, never reached, is recorded last.
    ASSERT_EQ(records_.size(), 4u);
    EXPECT_EQ(records_[0].reason, "Ошибка при обращении к сервису установки: 80004005");
    for (const InstallRecord& r : records_)
        EXPECT_EQ(r.outcome, ItemOutcome::Failed) << r.key;
    EXPECT_EQ(records_[3].key, "b.er");
    EXPECT_EQ(records_[3].reason, "Словарь \"Англо-русский словарь \"a.er\"\" не установлен.");
}

TEST_F(ProgressDlgTest, CancelWhileUnpackingDeletesThePartialFileAndEndsWithCancel) {
    auto big = Dictionary("big.er", kER, PackedDictionary("BIG.ER", kER, 4, 60000));
    auto next = Dictionary("next.er", kER, PackedDictionary("NEXT.ER", kER));
    Profile("business", {big, next}, {BaseTM("t.tmx")});
    Profile("later", {});
    view_.onPump = [&] {
        if (view_.bar.first >= 1 && view_.bar.first < 100 && view_.confirmations == 0) {
            EXPECT_TRUE(pageForCancel_->RequestCancel());
        }
    };
    CProgressDlg page(collection_, dist_ + "/", view_);
    pageForCancel_ = &page;
    EXPECT_EQ(page.Run(), 1); // the summary says what the cancel left
    EXPECT_TRUE(page.Cancelled());
    EXPECT_TRUE(next->IsSelected()); // the rest of the profile's dictionaries are not touched
    // Never a half profile: with "big" abandoned, neither the TM base nor the profile goes in.
    const std::string journal = Journal();
    EXPECT_EQ(Count(journal, "\"operation\":\"ImportDictionary\""), 0);
    EXPECT_EQ(Count(journal, "\"operation\":\"InstallBaseTM\""), 0);
    EXPECT_EQ(Count(journal, "\"operation\":\"InstallProfile\""), 0);
    // Everything is recorded as left by the cancel, "later" included.
    const InstallationSummary summary = page.Summary();
    EXPECT_TRUE(summary.cancelled);
    EXPECT_EQ(summary.dictionaries.cancelled, 2);
    EXPECT_EQ(summary.basesTM.cancelled, 1);
    EXPECT_EQ(summary.profiles.cancelled, 2);
    EXPECT_EQ(summary.Held(), 0);
    EXPECT_EQ(summary.notInstalled.back().key, "later");
    EXPECT_EQ(summary.notInstalled.back().reason, "Установка прервана пользователем.");
}

// The kernel answers E_ABORT to an import the user cancelled: that is the cancellation itself.
TEST_F(ProgressDlgTest, CancelDuringImportEndsAsCancelledWithoutAMessage) {
    auto law = Dictionary("law.er", kER, PackedDictionary("LAW.ER", kER));
    auto next = Dictionary("next.er", kER, PackedDictionary("NEXT.ER", kER));
    Profile("business", {law, next});
    bool unpacked = false; // the first progress report after unpacking is the kernel's
    view_.onPump = [&] {
        if (view_.bar == std::pair<std::uint32_t, std::uint32_t>{100, 100})
            unpacked = true;
        else if (unpacked && view_.confirmations == 0)
            pageForCancel_->RequestCancel();
    };
    CProgressDlg page(collection_, dist_ + "/", view_);
    pageForCancel_ = &page;
    EXPECT_EQ(page.Run(), 1);
    EXPECT_TRUE(messages_.Shown().empty()) << messages_.Shown()[0].id;
    EXPECT_TRUE(next->IsSelected());
    EXPECT_EQ(page.Records().front().outcome, ItemOutcome::Cancelled);
    const std::string journal = Journal();
    EXPECT_NE(journal.find("\"operation\":\"ImportDictionary\""), std::string::npos);
    EXPECT_NE(journal.find("\"status\":\"0x80004004\""), std::string::npos);
    // The profile, which names "law" (the kernel's identifier was asked before the import), is
    // not registered: the product holds no half profile.
    EXPECT_EQ(Count(journal, "InstallProfile"), 0);
    EXPECT_EQ(kaldo::test::ProductProblems(), "");
}

TEST_F(ProgressDlgTest, CancelDeclinedGoesOn) {
    auto big = Dictionary("big.er", kER, PackedDictionary("BIG.ER", kER, 4, 60000));
    Profile("business", {big});
    view_.confirm = false;
    view_.onPump = [&] {
        if (view_.confirmations == 0)
            pageForCancel_->RequestCancel();
    };
    CProgressDlg page(collection_, dist_ + "/", view_);
    pageForCancel_ = &page;
    EXPECT_EQ(page.Run(), 1);
    EXPECT_TRUE(IsGuidString(big->GetUID()));
}

TEST_F(ProgressDlgTest, RegistrationErrorsEndTheLoopOrSkipTheProfile) {
    Profile("one", {});
    Profile("two", {});
    Profile("three", {});
    Fault("InstallProfile", "0x80004005", 1);          // "one": negative status, message 2006
    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(messages_.ShownIds(), std::vector<int>{2006});
    EXPECT_NE(messages_.Shown()[0].text.find("\"one\""), std::string::npos);

    messages_.Clear();
    for (auto& p : collection_->GetProfiles())
        p->SetSelected(true);
    Fault("InstallProfile", "0", 1);                   // "one" goes through as nothing to do
    Fault("Raise.InstallProfile", "0x800F0015", 1);    // "two" is refused: the loop ends
    view_ = RecordingView();
    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(messages_.ShownIds(), std::vector<int>{2028});
    EXPECT_EQ(view_.beeps, 1);
    EXPECT_NE(view_.taskbarState, TaskbarState::NoProgress); // the taskbar is not reset
    ASSERT_EQ(records_.size(), 3u);
    EXPECT_EQ(records_[1].key, "two");
    EXPECT_EQ(records_[1].reason, "Ошибка при открытии файла словаря. Словарь не будет установлен. ");
    EXPECT_EQ(records_[2].key, "three"); // never reached
    EXPECT_EQ(records_[2].reason, "Установка остановлена ошибкой ядра перевода.");
}

// The kernel refuses a profile (2006): the dictionary imported for it alone is taken out again,
// so no orphan stays that the removal page cannot reach; one that another profile wants stays.
TEST_F(ProgressDlgTest, ARefusedProfileLeavesNoDictionaryOfItsOwnBehind) {
    auto own = Dictionary("own.er", kER, PackedDictionary("OWN.ER", kER));
    auto shared = Dictionary("shared.er", kER, PackedDictionary("SHARED.ER", kER));
    Profile("refused", {own, shared});
    Profile("kept", {shared});
    Fault("InstallProfile", "0x80004005", 1); // "refused"
    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(messages_.ShownIds(), std::vector<int>{2006});
    const std::string journal = Journal();
    EXPECT_EQ(Count(journal, "\"operation\":\"DeleteDictionary\""), 1) << journal;
    std::string list;
    ASSERT_EQ(kaldo::test::RunProductTool({"list"}, &list), 0);
    EXPECT_EQ(list.find("own.er"), std::string::npos) << list;
    EXPECT_NE(list.find("shared.er"), std::string::npos) << list;
    ASSERT_EQ(records_.size(), 4u);
    EXPECT_EQ(records_[0].key, "own.er");
    EXPECT_EQ(records_[0].outcome, ItemOutcome::Failed);
    EXPECT_EQ(records_[0].reason, "Ошибка при импортировании словаря.");
    EXPECT_EQ(records_[1].outcome, ItemOutcome::Installed);
    EXPECT_EQ(kaldo::test::ProductProblems(), "");
}

TEST_F(ProgressDlgTest, AskModeKeepsAnExistingProfileAndShowsTheKernelsText) {
    Profile("business", {});
    ASSERT_EQ(Install(2), 1);
    EXPECT_TRUE(messages_.Shown().empty());
    ASSERT_EQ(Install(2), 1);
    ASSERT_EQ(messages_.Shown().size(), 1u);
    EXPECT_EQ(messages_.Shown()[0].id, 0); // the kernel's own text, in a plain box
    EXPECT_FALSE(messages_.Shown()[0].text.empty());
}

TEST_F(ProgressDlgTest, NothingSelectedInstallsNothing) {
    auto p = Profile("business", {});
    p->SetSelected(false);
    auto q = Profile("unsupported", {});
    q->SetSupported(false);
    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(Count(Journal(), "InstallProfile"), 0);
    EXPECT_EQ(view_.texts[kCtlTotalProfiles], "Общее число устанавливаемых профилей перевода - 0");
    EXPECT_EQ(view_.taskbarState, TaskbarState::NoProgress);
}

// The engine tells the step observer each item it starts and finishes, in its own order, the
// progress of the current file and the end, with what the records say.
TEST_F(ProgressDlgTest, StepsAreReportedToTheObserver) {
    struct Steps : StepObserver {
        void ItemStarted(const StepItem& item) override { seen.push_back("start " + item.key); }
        void Progress(std::uint32_t, std::uint32_t) override { ++progress; }
        void ItemFinished(const StepItem& item, ItemOutcome outcome, const std::string& uid,
                          const std::string& reason) override {
            seen.push_back(std::string(ItemOutcomeName(outcome)) + " " + item.key + (uid.empty() ? "" : " uid") +
                           (reason.empty() ? "" : " why"));
        }
        void InstallationEnded(InstallResult result, int pageResult, int installed, int failed, int) override {
            seen.push_back(std::string("end ") + InstallResultName(result) + " " + std::to_string(pageResult) + " " +
                           std::to_string(installed) + "/" + std::to_string(failed));
        }
        std::vector<std::string> seen;
        int progress = 0;
    } steps;
    ScopedPorts observed{Ports{.steps = &steps}};
    std::ofstream(dist_ + "/DICTS/BAD.ER") << "not a packed file at all";
    Profile("business", {Dictionary("law.er", kER, PackedDictionary("LAW.ER", kER)),
                         Dictionary("bad.er", kER, "DICTS\\BAD.ER")},
            {BaseTM("law.tmx")});
    EXPECT_EQ(Install(), 1);
    EXPECT_EQ(steps.seen, (std::vector<std::string>{"start law.er", "installed law.er uid", "start bad.er",
                                                    "failed bad.er why", "failed law.tmx why", "failed business why",
                                                    "end partly-failed 1 1/3"}));
    EXPECT_GT(steps.progress, 0);
    ASSERT_EQ(records_.size(), 4u);
    EXPECT_FALSE(records_[1].Held());
}

TEST(ProgressDlg, KernelProgressMessagesMoveTheBarAndAnswerTheCancel) {
    RecordingView view;
    CProgressDlg page(CSmartPtr<CDictCollection>(new CDictCollection), "/", view);
    EXPECT_EQ(page.OnProgressMessage(30, 0x10000 | 60), 0);
    EXPECT_EQ(view.bar, (std::pair<std::uint32_t, std::uint32_t>{30, 60}));
    EXPECT_TRUE(page.RequestCancel());
    EXPECT_EQ(page.OnProgressMessage(31, 60), 1);
    EXPECT_EQ(CProgressDlg::ProgressCallback(65535, &page), 1);
    EXPECT_EQ(CProgressDlg::ProgressCallback(50, &page), 0);
    EXPECT_EQ(DisplayName("R&D && more"), "R&&D && more");
}

// Unpacking goes into a private folder of this run: a hard link planted at the dictionary's name
// in the work folder is neither written through nor removed.
TEST_F(ProgressDlgTest, AHardLinkPlantedAtADictionarysNameIsNotWrittenThrough) {
    auto tech = Dictionary("er_tech.dct", kER, PackedDictionary("ER_TECH.DCT", kER));
    Profile("business", {tech});
    const std::string target = temp_.Write("precious", "someone else's file");
    const std::string planted = GetUserWorkFolder() + "er_tech.dct";
    fs::create_hard_link(target, planted);
    EXPECT_EQ(Install(), 1);
    ASSERT_EQ(records_.size(), 2u);
    EXPECT_EQ(records_[0].outcome, ItemOutcome::Installed);
    EXPECT_EQ(test::ReadFile(target), "someone else's file");
    EXPECT_TRUE(fs::exists(planted));
    fs::remove(planted);
}

// A symbolic link at the work folder: the run's files go into a private folder made in the
// temporary folder; nothing is written into its root (a hard link planted there stays as it is)
// or into the link's target.
TEST_F(ProgressDlgTest, AnUnusableWorkFolderGivesAPrivateFolderInTemp) {
    auto tech = Dictionary("er_tech.dct", kER, PackedDictionary("ER_TECH.DCT", kER));
    Profile("business", {tech});
    std::string work = GetUserWorkFolder();
    work.pop_back();
    fs::remove(work);
    const std::string elsewhere = temp_ / "elsewhere";
    fs::create_directory(elsewhere);
    fs::create_directory_symlink(elsewhere, work);
    const std::string target = temp_.Write("precious", "someone else's file");
    fs::create_hard_link(target, Files().TempFolder() + "er_tech.dct");
    const auto before = FilesIn(Files().TempFolder());
    EXPECT_EQ(Install(), 1);
    ASSERT_EQ(records_.size(), 2u);
    EXPECT_EQ(records_[0].outcome, ItemOutcome::Installed);
    EXPECT_EQ(test::ReadFile(target), "someone else's file");
    EXPECT_EQ(FilesIn(Files().TempFolder()), before);
    EXPECT_TRUE(fs::is_empty(elsewhere));
    fs::remove(work);
    fs::remove(Files().TempFolder() + "er_tech.dct");
}

} // namespace
} // namespace quillon
