#pragma once
// CProgressDlg: the progress page's logic and the installation driver. InstallCollection runs
// over the collection's profiles; for each selected, supported one it installs the selected
// dictionaries (unpacked from the distribution, linked to the direction's general dictionary,
// labelled and imported), then the TM bases, then registers the profile with the kernel.
// Nothing is rolled back; every failure is reported with the system's messages and skipped or
// ends its list. Unpacked files live in a run folder of this page's own (product/RunFolder.h).
//
// Never a half profile: a profile's TM bases are installed and the profile registered only when
// every dictionary it wants (its selected ones, and those an earlier profile of this run
// handled) is held by the kernel after its step — installed now or already there. Otherwise the
// profile is recorded as not installed, naming the dictionary that stopped it; earlier complete
// profiles stay.
//
// The page's view (ProgressView) shows the texts and progress; the engine reads the cancelled
// flag at its checkpoints: before each dictionary, inside unpacking and importing, and after each
// profile. Every item handled, and every item a cancel or a kernel error left, gets a record
// (install/InstallSummary.h).
#include "install/InstallSummary.h"
#include "install/ProgressView.h"
#include "model/DictCollection.h"
#include "model/SmartPtr.h"
#include "product/DistributionFolder.h"
#include "product/KernelService.h"
#include "product/RunFolder.h"
#include "support/Format.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

class CProgressDlg : public ProgressReceiver {
public:
    CProgressDlg(CSmartPtr<CDictCollection> collection, std::string sourceFolder, ProgressView& view);

    // 0 skip, 1 replace, 2 ask; any other value leaves the mode as it is (initially 2).
    void SetReplaceMode(int mode);
    int ReplaceMode() const { return replaceMode_; }

    // The page's start: captures the templates, runs InstallCollection and answers the page
    // result: 1 when it returned true (a confirmed cancel included: the summary says it), 2 when
    // there was no collection.
    int Run();

    // The installation driver; false when there is no collection.
    bool InstallCollection();
    // The profile's dictionaries; false only when the list was abandoned (cancelled while
    // unpacking or importing, or an unexpected service failure). `counter` is the running
    // dictionary number shared across profiles. E_ABORT from the import after a confirmed cancel
    // is the cancellation itself: no message.
    bool InstallDictionaries(int total, int& counter, std::vector<CSmartPtr<CDictInfo>>& list,
                             const std::string& comment, const std::string& copyright, DirectionId profileDirection);
    // Every TM base of the profile; always true.
    bool InstallBasesTM(std::vector<CSmartPtr<CVdxBaseTM>>& list);

    // Moves the bar to `percent` and handles pending input; false once cancelled.
    bool ReportProgress(int percent);
    // The unpacker's callback: values above 100 (the start) answer 1 at once.
    static int ProgressCallback(std::uint16_t percent, void* page);
    // "Morvel_ProgressMessage" from the kernel: bar at position of range; 1 when cancelled.
    int OnProgressMessage(std::uint32_t position, std::uint32_t range) override;

    // Cancel, Escape or "VANTEL_GO_HOME": asks the confirmation; true when confirmed (at once,
    // without asking again, once a cancel was confirmed).
    bool RequestCancel();
    bool Cancelled() const { return cancelled_; }

    const std::vector<InstallRecord>& Records() const { return records_; }
    InstallationSummary Summary() const { return Summarize(records_, cancelled_); }

private:
    // How one dictionary's steps ended.
    struct DictionaryResult {
        ItemOutcome outcome = ItemOutcome::Failed;
        std::string reason;
        bool abandon = false; // the rest of the profile's list is left
    };
    using StepEnd = std::optional<DictionaryResult>; // a step that ends the item answers one

    void CaptureTemplates();
    void ShowTemplate(int control, std::int64_t number);
    void ShowItem(const std::string& displayName);
    // Shows message `id` as the engine does; answers the reason it gives: its first line.
    std::string Tell(int id, MessageIcon icon = MessageIcon::None, std::initializer_list<FormatArg> args = {},
                     MessageButtons buttons = MessageButtons::Ok);
    void Record(InstallRecord::Kind kind, const CVdxCollectionItem& item, ItemOutcome outcome,
                std::string reason = {}, std::string uid = {});

    // One profile: its dictionaries, then (when the kernel holds them all) its TM bases and its
    // registration. `endLoop` is set when the kernel raised an error at the registration.
    void InstallOneProfile(CVdxTopicInfo& profile, int profileNumber, int total, int& counter, bool& endLoop);
    // The first dictionary `profile` wants that the kernel does not hold, or null.
    const CDictInfo* MissingDictionary(const std::vector<CDictInfo*>& wanted) const;
    // Records `profile`'s TM bases and the profile itself as not installed.
    void RecordProfileLeft(CVdxTopicInfo& profile, ItemOutcome outcome, const std::string& reason);
    // After the loop: the profiles from `from` on that were to be installed, with their
    // dictionaries no step handled, as left for `reason`.
    void RecordRemaining(std::size_t from, ItemOutcome outcome, const std::string& reason);
    // Registers the profile; false ends the loop (an error raised by the kernel).
    bool RegisterProfile(CVdxTopicInfo& profile);
    // The kernel refused `profile`: the dictionaries this run imported for it and for no other
    // profile to be installed are deleted from the kernel again (no orphan stays that the
    // removal page cannot reach), and recorded as not installed for `reason`.
    void DeleteOrphanedDictionaries(const CVdxTopicInfo& profile, const std::string& reason);

    // One dictionary, its steps in the order they run (install/InstallDictionary.cpp).
    DictionaryResult InstallOneDictionary(CDictInfo& item, const std::string& comment, const std::string& copyright,
                                          DirectionId profileDirection);
    std::shared_ptr<KernelDictionaries> OpenCatalogue();
    StepEnd WaitForGeneralDictionary(const CDictInfo& item, const std::string& generalPath);
    StepEnd Unpack(const CDictInfo& item, const std::string& unpacked);
    StepEnd CheckVersion(const CDictInfo& item, const std::string& unpacked);
    StepEnd Link(const CDictInfo& item, const std::string& unpacked, const std::string& generalPath,
                 KernelDictionaries* catalogue);
    void Label(const CDictInfo& item, const std::string& unpacked, const std::string& comment,
               const std::string& copyright);
    DictionaryResult Import(CDictInfo& item, const std::string& unpacked, DirectionId profileDirection);

    // This run's private folder (made at the first need, removed with the page); empty with
    // runError_ set when none can be had.
    std::string RunFolderPath();
    // The distribution's files, opened below its folder with no link followed.
    DistributionFolder& Distribution();
    // A TM base's file copied from the distribution into the run folder, for the kernel to read;
    // empty with `reason` set when it cannot be.
    std::string CopyBaseTM(const CVdxBaseTM& item, std::string& reason);

    CSmartPtr<CDictCollection> collection_;
    std::string sourceFolder_;
    ProgressView& view_;
    int replaceMode_ = 2;
    bool cancelled_ = false;
    std::map<int, std::string> templates_; // the seven captions used as formats
    std::string tempFolder_;            // RunFolderPath() while dictionaries are installed
    std::unique_ptr<RunFolder> run_;
    std::unique_ptr<DistributionFolder> distribution_;
    std::string runError_;
    std::vector<InstallRecord> records_;
    // This run's dictionaries: what became of each handled one, and why a wanted one that no
    // step reached was left (an abandoned list).
    std::map<const CDictInfo*, ItemOutcome> dictionaryOutcomes_;
    std::vector<std::pair<const CDictInfo*, std::string>> leftReasons_;
};

// The name shown for an item: its full name with the first '&' doubled.
std::string DisplayName(const std::string& fullName);

} // namespace quillon
