#pragma once
// CProgressDlg: the progress page's logic and the installation driver. InstallCollection runs
// over the collection's profiles; for each selected, supported one it installs the selected
// dictionaries (unpacked from the distribution, linked to the direction's general dictionary,
// labelled and imported), then the TM bases, then registers the profile with the kernel.
// Nothing is rolled back; every failure is reported with the system's messages and skipped or
// ends its list. Unpacked files live in a run folder of this page's own (product/RunFolder.h).
//
// The page's view (ProgressView) shows the texts and progress; the engine reads the cancelled
// flag at its checkpoints: before each dictionary, inside unpacking, and after each profile.
#include "install/ProgressView.h"
#include "model/DictCollection.h"
#include "model/SmartPtr.h"
#include "product/KernelService.h"
#include "product/RunFolder.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

// What happened to one item of the installation, for the front ends' reports.
struct InstallRecord {
    enum class Kind { Dictionary, BaseTM, Profile } kind;
    std::string key;
    std::string fullName;
    bool installed = false;
    std::string uid;  // the kernel's identifier (dictionaries and TM bases)
};

class CProgressDlg : public ProgressReceiver {
public:
    CProgressDlg(CSmartPtr<CDictCollection> collection, std::string sourceFolder, ProgressView& view);

    // 0 skip, 1 replace, 2 ask; any other value leaves the mode as it is (initially 2).
    void SetReplaceMode(int mode);
    int ReplaceMode() const { return replaceMode_; }

    // The page's start: captures the templates, runs InstallCollection and answers the page
    // result: 1 when it returned true, 2 otherwise or when the user confirmed cancelling.
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

    // Cancel, Escape or "VANTEL_GO_HOME": asks the confirmation; true when confirmed.
    bool RequestCancel();
    bool Cancelled() const { return cancelled_; }

    const std::vector<InstallRecord>& Records() const { return records_; }

private:
    void CaptureTemplates();
    void ShowTemplate(int control, std::int64_t number);
    void ShowItem(const std::string& displayName);
    bool RegisterProfile(CVdxTopicInfo& profile); // false ends the loop
    void InstallOneDictionary(CDictInfo& item, const std::string& comment, const std::string& copyright,
                              DirectionId profileDirection, bool& abandon);
    void Record(InstallRecord::Kind kind, const CVdxCollectionItem& item, bool installed, std::string uid = {});
    // This run's private folder (made at the first need, removed with the page); empty with
    // runError_ set when none can be had.
    std::string RunFolderPath();

    CSmartPtr<CDictCollection> collection_;
    std::string sourceFolder_;
    ProgressView& view_;
    int replaceMode_ = 2;
    bool cancelled_ = false;
    std::map<int, std::string> templates_; // the seven captions used as formats
    std::string tempFolder_;            // RunFolderPath() while dictionaries are installed
    std::unique_ptr<RunFolder> run_;
    std::string runError_;
    std::vector<InstallRecord> records_;
};

// The name shown for an item: its full name with the first '&' doubled.
std::string DisplayName(const std::string& fullName);

} // namespace quillon
