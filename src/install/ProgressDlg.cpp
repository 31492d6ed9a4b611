#include "install/ProgressDlg.h"

#include "product/ComError.h"
#include "product/CreateService.h"
#include "product/KernelConnection.h"
#include "product/Paths.h"
#include "product/ServiceIds.h"
#include "support/Messages.h"
#include "support/Strings.h"
#include "support/Text.h"

#include <algorithm>

namespace quillon {
namespace {

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

void ItemStarted(InstallRecord::Kind kind, const CVdxCollectionItem& item) {
    Steps().ItemStarted({StepKindOf(kind), item.GetKey(), item.GetFullName()});
}

bool ToInstall(const CSmartPtr<CVdxTopicInfo>& p) {
    return p && p->IsSelected() && p->IsSupported();
}

} // namespace

std::string DisplayName(const std::string& fullName) {
    std::string name = fullName;
    if (const auto amp = name.find('&'); amp != std::string::npos)
        name.insert(amp, 1, '&');
    return name;
}

CProgressDlg::CProgressDlg(CSmartPtr<CDictCollection> collection, std::string sourceFolder, ProgressView& view)
    : collection_(std::move(collection)), sourceFolder_(std::move(sourceFolder)), view_(view) {}

void CProgressDlg::SetReplaceMode(int mode) {
    if (mode >= 0 && mode <= 2)
        replaceMode_ = mode;
}

void CProgressDlg::CaptureTemplates() {
    for (int control : {kCtlItem, kCtlTotalProfiles, kCtlProfileNumber, kCtlTotalDictionaries, kCtlDictionaryNumber,
                        kCtlTotalBasesTM, kCtlBaseTMNumber})
        templates_[control] = view_.InitialText(control);
}

void CProgressDlg::ShowTemplate(int control, std::int64_t number) {
    view_.SetText(control, FormatText(templates_[control], {number}));
}

void CProgressDlg::ShowItem(const std::string& displayName) {
    view_.SetText(kCtlItem, FormatText(templates_[kCtlItem], {displayName}));
}

std::string CProgressDlg::Tell(int id, MessageIcon icon, std::initializer_list<FormatArg> args,
                               MessageButtons buttons) {
    const std::string text = FormatText(LoadString(id), args);
    ShowMessageText(id, text, icon, buttons);
    return FirstLine(text);
}

void CProgressDlg::Record(InstallRecord::Kind kind, const CVdxCollectionItem& item, ItemOutcome outcome,
                          std::string reason, std::string uid) {
    records_.push_back({kind, item.GetKey(), item.GetFullName(), outcome, std::move(uid), std::move(reason)});
    const InstallRecord& r = records_.back();
    Steps().ItemFinished({StepKindOf(kind), r.key, r.fullName}, outcome, r.uid, r.reason);
}

std::string CProgressDlg::RunFolderPath() {
    if (!run_ && runError_.empty())
        run_ = OpenRunFolder(runError_);
    return run_ ? run_->Path() : std::string();
}

DistributionFolder& CProgressDlg::Distribution() {
    if (!distribution_)
        distribution_ = std::make_unique<DistributionFolder>(sourceFolder_);
    return *distribution_;
}

std::string CProgressDlg::CopyBaseTM(const CVdxBaseTM& item, std::string& reason) {
    const FileDescriptor source = Distribution().Open(item.GetFileNameOnCD());
    if (!source) {
        reason = LoadString(1013);
        return {};
    }
    const std::string folder = IsSafeFileName(item.GetKey()) ? RunFolderPath() : std::string();
    std::string refused = folder.empty() ? runError_ : std::string();
    const std::string copy = folder + item.GetKey();
    if (folder.empty() || !ClearOwnFile(copy, refused) || !CopyToNewFile(source.Get(), copy)) {
        reason = LoadString(1017);
        return {};
    }
    return copy;
}

int CProgressDlg::Run() {
    CaptureTemplates();
    view_.SetText(kCtlStatus, LoadString(2019));
    view_.SetProgress(0, 100);
    cancelled_ = false;
    records_.clear();
    const int result = InstallCollection() ? 1 : 2;
    const InstallationSummary summary = Summary();
    const int failed = summary.Failed();
    Steps().InstallationEnded(ClassifyInstallation(summary.Held(), summary.NotInstalled(), result, cancelled_),
                              result, summary.Held(), failed, summary.NotInstalled() - failed);
    return result;
}

bool CProgressDlg::ReportProgress(int percent) {
    view_.SetProgress(static_cast<std::uint32_t>(percent), 100);
    Steps().Progress(static_cast<std::uint32_t>(percent), 100);
    view_.PumpMessages();
    return !cancelled_;
}

int CProgressDlg::ProgressCallback(std::uint16_t percent, void* page) {
    if (percent > 100)
        return 1;
    return static_cast<CProgressDlg*>(page)->ReportProgress(percent) ? 1 : 0;
}

int CProgressDlg::OnProgressMessage(std::uint32_t position, std::uint32_t range) {
    view_.SetProgress(position, range & 0xFFFF);
    Steps().Progress(position, range & 0xFFFF);
    view_.PumpMessages();
    return cancelled_ ? 1 : 0;
}

bool CProgressDlg::RequestCancel() {
    if (cancelled_)
        return true;
    if (!view_.ConfirmCancel())
        return false;
    cancelled_ = true;
    return true;
}

bool CProgressDlg::InstallCollection() {
    if (!collection_)
        return false;
    if (templates_.empty())
        CaptureTemplates();
    dictionaryOutcomes_.clear();
    leftReasons_.clear();
    auto& profiles = collection_->GetProfiles();

    int count = 0;
    for (const auto& p : profiles)
        count += ToInstall(p);
    ShowTemplate(kCtlTotalProfiles, count);

    const std::size_t n = profiles.size();
    view_.SetTaskbarProgress(0, n);
    view_.SetTaskbarState(TaskbarState::Normal);

    int total = 0;
    for (const auto& p : profiles) {
        if (!p) // the scan stops at an empty slot
            break;
        if (!ToInstall(p))
            continue;
        for (const auto& d : p->Dictionaries())
            total += d && d->IsSelected();
    }
    int counter = 0, profileNumber = 0;
    std::size_t i = 0;
    for (; i < n && !cancelled_; ++i) {
        view_.SetTaskbarProgress(i + 1, n);
        if (!ToInstall(profiles[i]))
            continue;
        CVdxTopicInfo& profile = *profiles[i];
        view_.ShowControl(kCtlTotalDictionaries, false);
        view_.ShowControl(kCtlDictionaryNumber, false);
        profile.SetKey(FoldCase(profile.GetKey()));
        ShowTemplate(kCtlProfileNumber, ++profileNumber);
        bool endLoop = false;
        InstallOneProfile(profile, profileNumber, total, counter, endLoop);
        if (endLoop) { // an error raised by the kernel ends the loop; the taskbar stays
            RecordRemaining(i + 1, ItemOutcome::Failed, LoadString(kKernelStoppedReasonId));
            return true;
        }
    }
    if (cancelled_)
        RecordRemaining(i, ItemOutcome::Cancelled, LoadString(kCancelledReasonId));
    else
        RecordRemaining(n, ItemOutcome::Failed, {});
    view_.SetTaskbarState(TaskbarState::NoProgress);
    return true;
}

void CProgressDlg::InstallOneProfile(CVdxTopicInfo& profile, int profileNumber, int total, int& counter,
                                     bool& endLoop) {
    // The dictionaries it wants: its selected ones, and those an earlier profile handled.
    std::vector<CDictInfo*> wanted;
    for (const auto& d : profile.Dictionaries())
        if (d && (d->IsSelected() || dictionaryOutcomes_.count(d.Get())))
            wanted.push_back(d.Get());

    InstallDictionaries(total, counter, profile.Dictionaries(), collection_->GetComment(),
                        collection_->GetCopyright(), profile.GetDirID());

    if (const CDictInfo* stopper = MissingDictionary(wanted)) {
        const auto handled = dictionaryOutcomes_.find(stopper);
        const bool stoppedByCancel = cancelled_ && (handled == dictionaryOutcomes_.end() ||
                                                    handled->second == ItemOutcome::Cancelled);
        const std::string reason = stoppedByCancel
                                       ? LoadString(kCancelledReasonId)
                                       : FormatText(LoadString(kDictionaryNotInstalledId), {stopper->GetFullName()});
        // Wanted dictionaries no step reached: left by the cancel now, or (after an abandoned
        // list) recorded at the end unless a later profile installs them.
        for (CDictInfo* d : wanted) {
            if (dictionaryOutcomes_.count(d))
                continue;
            if (cancelled_) {
                dictionaryOutcomes_[d] = ItemOutcome::Cancelled;
                Record(InstallRecord::Kind::Dictionary, *d, ItemOutcome::Cancelled, LoadString(kCancelledReasonId));
            } else if (std::none_of(leftReasons_.begin(), leftReasons_.end(),
                                    [d](const auto& left) { return left.first == d; })) {
                leftReasons_.emplace_back(d, reason);
            }
        }
        RecordProfileLeft(profile, stoppedByCancel ? ItemOutcome::Cancelled : ItemOutcome::Failed, reason);
        return;
    }

    InstallBasesTM(profile.BasesTM());
    ShowTemplate(kCtlProfileNumber, profileNumber);
    ShowItem(DisplayName(profile.GetFullName()));
    ItemStarted(InstallRecord::Kind::Profile, profile);
    endLoop = !RegisterProfile(profile);
}

const CDictInfo* CProgressDlg::MissingDictionary(const std::vector<CDictInfo*>& wanted) const {
    const CDictInfo* unreached = nullptr;
    for (const CDictInfo* d : wanted) {
        const auto found = dictionaryOutcomes_.find(d);
        if (found == dictionaryOutcomes_.end()) {
            if (!unreached)
                unreached = d;
        } else if (!IsHeld(found->second)) {
            return d;
        }
    }
    return unreached;
}

void CProgressDlg::RecordProfileLeft(CVdxTopicInfo& profile, ItemOutcome outcome, const std::string& reason) {
    for (const auto& t : profile.BasesTM())
        if (t)
            Record(InstallRecord::Kind::BaseTM, *t, outcome, reason);
    Record(InstallRecord::Kind::Profile, profile, outcome, reason);
}

void CProgressDlg::RecordRemaining(std::size_t from, ItemOutcome outcome, const std::string& reason) {
    auto& profiles = collection_->GetProfiles();
    if (!reason.empty())
        for (std::size_t j = from; j < profiles.size(); ++j) {
            if (!ToInstall(profiles[j]))
                continue;
            for (const auto& d : profiles[j]->Dictionaries())
                if (d && d->IsSelected() && !dictionaryOutcomes_.count(d.Get())) {
                    dictionaryOutcomes_[d.Get()] = outcome;
                    Record(InstallRecord::Kind::Dictionary, *d, outcome, reason);
                }
            RecordProfileLeft(*profiles[j], outcome, reason);
        }
    // Dictionaries an abandoned list left that no later profile installed.
    for (const auto& [d, why] : leftReasons_)
        if (!dictionaryOutcomes_.count(d)) {
            dictionaryOutcomes_[d] = ItemOutcome::Failed;
            Record(InstallRecord::Kind::Dictionary, *d, ItemOutcome::Failed, why);
        }
}

bool CProgressDlg::RegisterProfile(CVdxTopicInfo& profile) {
    std::string reason;
    try {
        if (!KernelConnection() && !ConnectKernel()) {
            reason = Tell(57355, MessageIcon::Error);
            Record(InstallRecord::Kind::Profile, profile, ItemOutcome::Failed, reason);
            return true;
        }
        // Every registration gets a kernel instance of its own.
        ReleaseKernelConnection();
        auto kernel = CreateService<KernelService>(clsid::KernelService);
        auto login = QueryInterface<KernelLogin>(kernel);
        HRESULT loggedIn = E_NOINTERFACE;
        if (!login || Failed(loggedIn = login->Login(1, "RAVIRI", 1))) {
            Record(InstallRecord::Kind::Profile, profile, ItemOutcome::Failed, ServiceErrorText(loggedIn));
            return true;
        }
        KernelConnection() = kernel;
        const std::string xml = profile.GetXmlDocument();
        std::string text;
        const HRESULT status = kernel->InstallProfile(xml, replaceMode_, text);
        if (Failed(status)) {
            reason = Tell(2006, MessageIcon::Warning, {profile.GetName()});
            DeleteOrphanedDictionaries(profile, reason);
            Record(InstallRecord::Kind::Profile, profile, ItemOutcome::Failed, reason);
            return true;
        }
        if (status != S_OK && !text.empty())
            ShowText(text);
        // S_FALSE: the kernel kept the profile of that name it holds.
        Record(InstallRecord::Kind::Profile, profile, status == S_OK ? ItemOutcome::Installed : ItemOutcome::AlreadyThere);
        return true;
    } catch (const ComError& error) {
        view_.Beep();
        if (error.Error() == KLDO_E_CANNOT_OPEN)
            reason = Tell(2028, MessageIcon::Warning);
        else if (error.Error() == KLDO_E_LOCKED)
            reason = Tell(2006, MessageIcon::Warning, {profile.GetName()});
        else {
            ShowText(error.Description(), MessageIcon::Error);
            reason = FirstLine(error.Description());
        }
    } catch (const std::exception&) {
        reason = Tell(57355, MessageIcon::Error);
    }
    DeleteOrphanedDictionaries(profile, reason);
    Record(InstallRecord::Kind::Profile, profile, ItemOutcome::Failed, reason);
    return false;
}

void CProgressDlg::DeleteOrphanedDictionaries(const CVdxTopicInfo& profile, const std::string& reason) {
    const auto& kernel = KernelConnection();
    if (!kernel)
        return;
    const auto wantedElsewhere = [&](const CDictInfo* d) {
        for (const auto& other : collection_->GetProfiles())
            if (ToInstall(other) && other.Get() != &profile)
                for (const auto& od : other->Dictionaries())
                    if (od.Get() == d)
                        return true;
        return false;
    };
    for (const auto& entry : profile.Dictionaries()) {
        const CDictInfo* d = entry.Get();
        const auto outcome = dictionaryOutcomes_.find(d);
        if (!d || outcome == dictionaryOutcomes_.end() || outcome->second != ItemOutcome::Installed ||
            wantedElsewhere(d))
            continue;
        try {
            if (kernel->DeleteDictionary(tempFolder_ + d->GetKey(), d->GetDirID()) != S_OK)
                continue;
        } catch (const std::exception&) {
            continue;
        }
        outcome->second = ItemOutcome::Failed;
        for (InstallRecord& r : records_)
            if (r.kind == InstallRecord::Kind::Dictionary && r.key == d->GetKey() && r.Held()) {
                r.outcome = ItemOutcome::Failed;
                r.reason = reason;
                r.uid.clear();
            }
    }
}

bool CProgressDlg::InstallDictionaries(int total, int& counter, std::vector<CSmartPtr<CDictInfo>>& list,
                                       const std::string& comment, const std::string& copyright,
                                       DirectionId profileDirection) {
    if (templates_.empty())
        CaptureTemplates();
    int k = 0;
    for (const auto& d : list)
        k += d && d->IsSelected();
    counter += k;
    int number = counter - k;
    ShowTemplate(kCtlTotalDictionaries, total);
    if (k > 0) {
        view_.ShowControl(kCtlTotalDictionaries, true);
        view_.ShowControl(kCtlDictionaryNumber, true);
    }
    tempFolder_ = k > 0 ? RunFolderPath() : std::string();
    for (auto& entry : list) {
        if (cancelled_)
            break;
        if (!entry || !entry->IsSelected())
            continue;
        CDictInfo& item = *entry;
        item.SetSelected(false);
        item.SetKey(FoldCase(item.GetKey()));
        ShowItem(DisplayName(item.GetFullName()));
        ShowTemplate(kCtlDictionaryNumber, ++number);
        ItemStarted(InstallRecord::Kind::Dictionary, item);
        const DictionaryResult result = InstallOneDictionary(item, comment, copyright, profileDirection);
        dictionaryOutcomes_[&item] = result.outcome;
        Record(InstallRecord::Kind::Dictionary, item, result.outcome, result.reason,
               IsHeld(result.outcome) ? item.GetUID() : std::string());
        if (result.abandon)
            return false;
    }
    return true;
}

bool CProgressDlg::InstallBasesTM(std::vector<CSmartPtr<CVdxBaseTM>>& list) {
    if (templates_.empty())
        CaptureTemplates();
    ShowTemplate(kCtlTotalBasesTM, static_cast<std::int64_t>(list.size()));
    ShowTemplate(kCtlBaseTMNumber, 0);
    const std::string tempFolder = run_ ? run_->Path() : std::string();
    int number = 0;
    for (auto& entry : list) {
        if (!entry)
            continue;
        CVdxBaseTM& item = *entry;
        ShowTemplate(kCtlBaseTMNumber, ++number);
        ShowItem(item.GetFullName());
        ItemStarted(InstallRecord::Kind::BaseTM, item);
        ItemOutcome outcome = ItemOutcome::Failed;
        std::string reason;
        try {
            if (!KernelConnection() && !ConnectKernel())
                throw ComError(E_POINTER, "no kernel service");
            // The kernel opens what it is given by path: a private copy of the distribution's
            // file, so nothing swapped in on the medium meanwhile can reach it.
            const std::string source = CopyBaseTM(item, reason);
            if (source.empty())
                throw std::runtime_error(reason);
            std::string answer;
            const HRESULT status =
                KernelConnection()->InstallBaseTM(source, 1, item.GetXmlDocument(), replaceMode_, answer);
            ThrowIfFailed(status);
            // S_FALSE: the kernel kept the TM base of that name it holds.
            outcome = status == S_OK ? ItemOutcome::Installed : ItemOutcome::AlreadyThere;
            const auto open = answer.find("<UID>");
            const auto close = answer.find("</UID>");
            if (open != std::string::npos && close != std::string::npos && close > open + 5)
                item.SetUID(answer.substr(open + 5, close - open - 5));
        } catch (const ComError& error) {
            reason = ServiceErrorText(error.Error());
        } catch (const std::exception&) {
            if (reason.empty())
                reason = LoadString(57355);
        }
        item.SetSelected(false);
        if (!tempFolder.empty() && IsSafeFileName(item.GetKey()))
            DeleteUnpacked(tempFolder + item.GetKey());
        Record(InstallRecord::Kind::BaseTM, item, outcome, reason, IsHeld(outcome) ? item.GetUID() : std::string());
    }
    return true;
}

} // namespace quillon
