#include "shell/RunWizard.h"

#include "distribution/KldoInifileManager.h"
#include "distribution/SourceSearch.h"
#include "product/Paths.h"
#include "support/Messages.h"
#include "support/Strings.h"

#include <cstring>

namespace quillon {
namespace {

// Shown when a typed folder holds no description files, neither in itself nor in "DICTS".
constexpr int kNoInstallationFilesId = 2040;
// Shown instead when the folder holds a setup.inf but the product's temporary folder, where its
// description files are unpacked, cannot be used; names that folder.
constexpr int kUnusableTempFolderId = 2041;
// Shown instead when a working copy of its description files could not be written (disk full,
// I/O error).
constexpr int kWriteErrorId = 1015;
// Shown when collections exist but none has a profile of an installed direction; names the pairs.
constexpr int kNoSupportedCollectionId = 2052;
// "Ошибка при открытии исходного файла.": the files could not be opened at all.
constexpr int kSourceErrorId = 1013;

// The folder as the path page shows it: without the separator the wizard appended.
std::string Typed(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

// Why `folder` (and `dicts`, its "DICTS" folder, when tried) is no distribution.
void ReportNoDistribution(const DescriptionCopies& copies, bool writeFailed, const std::string& folder,
                          const std::string& dicts) {
    // The system could not open the files at all (out of descriptors): said as it is.
    if (const int error = copies.SystemError()) {
        ShowMessageText(kSourceErrorId, LoadString(kSourceErrorId) + "\n" + folder + ": " + std::strerror(error),
                        MessageIcon::Error);
        return;
    }
    if (writeFailed || copies.WriteFailed()) {
        ShowMessage(kWriteErrorId, MessageIcon::Error);
        return;
    }
    std::string unusable = UnusableWorkingFolder(folder);
    if (unusable.empty() && !dicts.empty())
        unusable = UnusableWorkingFolder(dicts);
    if (!unusable.empty())
        ShowMessage(kUnusableTempFolderId, MessageIcon::Error, MessageButtons::Ok, {unusable});
    else
        ShowMessage(kNoInstallationFilesId, MessageIcon::Error);
}

std::string Joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names)
        out += (out.empty() ? "" : ", ") + name;
    return out;
}

} // namespace

const char* WizardStateName(WizardState state) {
    switch (state) {
    case WizardState::Start: return "Start";
    case WizardState::Welcome: return "Welcome";
    case WizardState::Action: return "Action";
    case WizardState::Removal: return "Removal";
    case WizardState::Source: return "Source";
    case WizardState::Path: return "Path";
    case WizardState::Collection: return "Collection";
    case WizardState::Load: return "Load";
    case WizardState::Profiles: return "Profiles";
    case WizardState::Progress: return "Progress";
    case WizardState::Question: return "Question";
    case WizardState::End: return "End";
    }
    return "?";
}

void Wizard::Run(const std::string& sourceFolder) {
    sourceFolder_ = sourceFolder;
    WizardState state = WizardState::Start;
    while (state != WizardState::End) {
        trace_.push_back(state);
        WizardState next = WizardState::End;
        switch (state) {
        case WizardState::Start: next = Start(); break;
        case WizardState::Welcome: next = Welcome(); break;
        case WizardState::Action: next = Action(); break;
        case WizardState::Removal: next = Removal(); break;
        case WizardState::Source: next = Source(); break;
        case WizardState::Path: next = Path(); break;
        case WizardState::Collection: next = Collection(); break;
        case WizardState::Load: next = Load(); break;
        case WizardState::Profiles: next = Profiles(); break;
        case WizardState::Progress: next = Progress(); break;
        case WizardState::Question: next = Question(); break;
        case WizardState::End: break;
        }
        previous_ = state;
        state = next;
    }
    trace_.push_back(WizardState::End);
    copies_.reset();
    host_.CloseMainWindow();
}

WizardState Wizard::Start() {
    if (!host_.EnsureKernelConnection()) {
        ShowMessage(1035);
        return WizardState::End;
    }
    return WizardState::Welcome;
}

WizardState Wizard::Welcome() {
    askOnly_ = false;
    cdRomSearch_ = installerFolderSearch_ = sourceFolder_.empty();
    return host_.ShowWelcomePage() == kPageNext ? WizardState::Action : WizardState::End;
}

WizardState Wizard::Action() {
    // Coming back from the removal page shows the same page object; otherwise a new one.
    const ActionPageResult page = host_.ShowActionPage(previous_ != WizardState::Removal);
    switch (page.result) {
    case kPageNext:
        if (page.action == WizardAction::Install)
            return WizardState::Source;
        if (page.action == WizardAction::Remove)
            return WizardState::Removal;
        return WizardState::End;
    case kPageBack:
        return WizardState::Welcome;
    default:
        return WizardState::End;
    }
}

WizardState Wizard::Removal() {
    switch (host_.ShowRemovalPage()) {
    case kPageBack: return WizardState::Action;
    case kPageCancel: return WizardState::End;
    default: return WizardState::Removal;
    }
}

WizardState Wizard::Source() {
    host_.ClearTaskbarOverlay();
    copies_ = host_.NewDescriptionCopies();
    bool found = false;

    // (a) the known folder: the command line's, or the one found on an earlier pass. When it
    // holds no description files (any more), the user is told so and asked for a folder on the
    // path page, pre-filled with it.
    if (!askOnly_ && !sourceFolder_.empty()) {
        if (!copies_->Prepare(sourceFolder_)) {
            ReportNoDistribution(*copies_, false, sourceFolder_, {});
            lastTypedFolder_ = Typed(sourceFolder_);
            sourceFolder_.clear();
            return WizardState::Path;
        }
        found = true;
    }
    // (b) the "DICTS" folder of each optical drive, in turn.
    if (cdRomSearch_ && !found) {
        cdRomSearch_ = false;
        sourceFolder_.clear();
        std::string drive;
        while (host_.NextCdDrive(drive)) {
            sourceFolder_ = DictsFolder(drive);
            if (copies_->Prepare(sourceFolder_)) {
                found = true;
                break;
            }
            sourceFolder_.clear();
        }
    }
    // (c) the "DICTS" folder beside the installer.
    if (installerFolderSearch_ && !found) {
        installerFolderSearch_ = false;
        const std::string folder = DictsFolder(host_.GetInstallerFolder());
        if (copies_->Prepare(folder)) {
            sourceFolder_ = folder;
            found = true;
        }
    }
    return askOnly_ || !found ? WizardState::Path : WizardState::Collection;
}

WizardState Wizard::Path() {
    std::string entered = lastTypedFolder_;
    if (host_.ShowPathPage(entered) != kPageNext)
        return WizardState::End;
    lastTypedFolder_ = entered;
    sourceFolder_ = AbsolutePath(entered) + "/"; // appended even when the text ends in one already
    if (copies_->Prepare(sourceFolder_))
        return WizardState::Collection;
    // A working copy that could not be written is a disk fault: said so, not "no installation files".
    bool writeFailed = copies_->WriteFailed();
    const std::string dicts = DictsFolder(sourceFolder_);
    if (!writeFailed && copies_->Prepare(dicts)) {
        sourceFolder_ = dicts;
        return WizardState::Collection;
    }
    ReportNoDistribution(*copies_, writeFailed, sourceFolder_, writeFailed ? std::string() : dicts);
    sourceFolder_.clear();
    return WizardState::Action;
}

void Wizard::AskForFolderAgain() {
    askOnly_ = true;
    if (!sourceFolder_.empty())
        lastTypedFolder_ = Typed(sourceFolder_);
}

WizardState Wizard::Collection() {
    choice_ = host_.ChooseCollection(*copies_);
    switch (choice_.result) {
    case kPageNext:
        // A page that closed itself says why; the folder is asked for again, pre-filled.
        if (choice_.listing == CollectionListing::Unreadable) {
            ShowMessage(2001, MessageIcon::Error);
            AskForFolderAgain();
            return WizardState::Source;
        }
        if (choice_.listing == CollectionListing::NoneSupported) {
            ShowMessage(kNoSupportedCollectionId, MessageIcon::Warning, MessageButtons::Ok,
                        {Joined(choice_.neededPairs)});
            AskForFolderAgain();
            return WizardState::Source;
        }
        return WizardState::Load;
    case kPageBack:
        askOnly_ = true;
        return WizardState::Action;
    default:
        return WizardState::End;
    }
}

WizardState Wizard::Load() {
    // A collection page that closed itself without a choice leaves nothing to read.
    LoadResult loaded{LoadStatus::Loaded, 0};
    if (!choice_.identifier.empty())
        loaded = host_.LoadCollection(*copies_, choice_.identifier);
    switch (loaded.status) {
    case LoadStatus::ReadFailed:
        ShowMessage(2001, MessageIcon::Error);
        AskForFolderAgain();
        return WizardState::Source;
    case LoadStatus::Exception:
        ShowMessage(57355, MessageIcon::Error);
        return WizardState::End;
    case LoadStatus::Loaded:
        break;
    }
    if (loaded.profileCount == 0) {
        ShowMessage(2017);
        askOnly_ = true;
        return WizardState::Action;
    }
    return WizardState::Profiles;
}

WizardState Wizard::Profiles() {
    profiles_ = host_.ShowProfilesPage();
    progress_ = {};
    switch (profiles_.result) {
    case kPageNext:
        return profiles_.anySelected ? WizardState::Progress : WizardState::Question;
    case kPageBack:
        return WizardState::Source;
    default:
        return WizardState::End;
    }
}

WizardState Wizard::Progress() {
    const std::string folder = sourceFolder_;
    progress_ = host_.ShowProgressPage(folder, profiles_.replaceMode);
    if (progress_.result == kPageNext)
        return WizardState::Question;
    // Left through "VANTEL_GO_HOME": what was not installed is said once more, then the end.
    if (!progress_.summary.Complete())
        ShowSummary(MessageButtons::Ok);
    return WizardState::End;
}

MessageAnswer Wizard::ShowSummary(MessageButtons buttons) {
    const InstallationSummary& summary = progress_.summary;
    std::string text = SummaryText(summary);
    if (buttons == MessageButtons::YesNo)
        text += "\n\n" + AnotherCollectionQuestion();
    return ShowMessageText(SummaryMessageId(summary), text,
                           summary.Failed() > 0 ? MessageIcon::Warning : MessageIcon::Information, buttons);
}

WizardState Wizard::Question() {
    // A complete installation asks question 2016 as it is; anything else is summarised first.
    const MessageAnswer answer = progress_.summary.Complete()
                                     ? ShowMessage(2016, MessageIcon::None, MessageButtons::YesNo)
                                     : ShowSummary(MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes)
        return WizardState::End;
    host_.ReleaseKernelConnection(); // created again when next needed
    return WizardState::Source;
}

} // namespace quillon
