#include "install/ProgressDlg.h"

#include "descriptions/LanguageDirections.h"
#include "install/DictFile.h"
#include "install/UnpackFile.h"
#include "platform/Ports.h"
#include "platform/StepObserver.h"
#include "product/ComError.h"
#include "product/CreateService.h"
#include "product/KernelConnection.h"
#include "product/Paths.h"
#include "product/ServiceIds.h"
#include "support/Messages.h"
#include "support/Strings.h"
#include "support/Text.h"

#include <filesystem>

namespace quillon {
namespace {

constexpr int kFormatLevel = 72;
constexpr std::int16_t kGeneralDictionaryKey = -1;

void DeleteTemporary(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec)))
        std::filesystem::remove(path, ec);
    DeleteAl2Companion(path);
}

// The name the kernel reports for an object, cut to 260 bytes as the ANSI buffer holds.
std::string ObjectName(KernelDictionary& dictionary) {
    std::string name;
    if (Failed(dictionary.GetName(name)))
        return {};
    if (name.size() > 260)
        name.resize(260);
    return name;
}

// Steps reported to the observer (platform/StepObserver.h): kept apart from the page's logic.
StepItemKind StepKind(InstallRecord::Kind kind) {
    switch (kind) {
    case InstallRecord::Kind::Dictionary: return StepItemKind::Dictionary;
    case InstallRecord::Kind::BaseTM: return StepItemKind::BaseTM;
    case InstallRecord::Kind::Profile: return StepItemKind::Profile;
    }
    return StepItemKind::Dictionary;
}

void ItemStarted(InstallRecord::Kind kind, const CVdxCollectionItem& item) {
    Steps().ItemStarted({StepKind(kind), item.GetKey(), item.GetFullName()});
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

void CProgressDlg::Record(InstallRecord::Kind kind, const CVdxCollectionItem& item, bool installed, std::string uid) {
    records_.push_back({kind, item.GetKey(), item.GetFullName(), installed, std::move(uid)});
    Steps().ItemFinished({StepKind(kind), item.GetKey(), item.GetFullName()}, installed, records_.back().uid);
}

std::string CProgressDlg::RunFolderPath() {
    if (!run_ && runError_.empty())
        run_ = OpenRunFolder(runError_);
    return run_ ? run_->Path() : std::string();
}

int CProgressDlg::Run() {
    CaptureTemplates();
    view_.SetText(kCtlStatus, LoadString(2019));
    view_.SetProgress(0, 100);
    cancelled_ = false;
    const bool done = InstallCollection();
    // A confirmed cancel ends the page with Cancel, so the wizard does not offer another
    // installation as if this one had completed.
    const int result = done && !cancelled_ ? 1 : 2;
    int installed = 0;
    for (const InstallRecord& r : records_)
        installed += r.installed;
    const int failed = static_cast<int>(records_.size()) - installed;
    Steps().InstallationEnded(ClassifyInstallation(installed, failed, result, cancelled_), result, installed, failed);
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
    auto& profiles = collection_->GetProfiles();
    const auto toInstall = [](const CSmartPtr<CVdxTopicInfo>& p) { return p && p->IsSelected() && p->IsSupported(); };

    int count = 0;
    for (const auto& p : profiles)
        count += toInstall(p);
    ShowTemplate(kCtlTotalProfiles, count);

    const std::size_t n = profiles.size();
    view_.SetTaskbarProgress(0, n);
    view_.SetTaskbarState(TaskbarState::Normal);

    int total = 0;
    for (const auto& p : profiles) {
        if (!p) // the scan stops at an empty slot
            break;
        if (!toInstall(p))
            continue;
        for (const auto& d : p->Dictionaries())
            total += d && d->IsSelected();
    }
    int counter = 0, profileNumber = 0;
    for (std::size_t i = 0; i < n && !cancelled_; ++i) {
        view_.SetTaskbarProgress(i + 1, n);
        if (!toInstall(profiles[i]))
            continue;
        CVdxTopicInfo& profile = *profiles[i];
        view_.ShowControl(kCtlTotalDictionaries, false);
        view_.ShowControl(kCtlDictionaryNumber, false);
        profile.SetKey(FoldCase(profile.GetKey()));
        const std::string display = DisplayName(profile.GetFullName());
        ShowTemplate(kCtlProfileNumber, ++profileNumber);

        InstallDictionaries(total, counter, profile.Dictionaries(), collection_->GetComment(),
                            collection_->GetCopyright(), profile.GetDirID());
        InstallBasesTM(profile.BasesTM());

        ShowTemplate(kCtlProfileNumber, profileNumber);
        ShowItem(display);
        ItemStarted(InstallRecord::Kind::Profile, profile);
        if (!RegisterProfile(profile))
            return true; // an error raised by the kernel ends the loop; the taskbar stays
        if (cancelled_)
            break;
    }
    view_.SetTaskbarState(TaskbarState::NoProgress);
    return true;
}

bool CProgressDlg::RegisterProfile(CVdxTopicInfo& profile) {
    try {
        if (!KernelConnection() && !ConnectKernel()) {
            ShowMessage(57355, MessageIcon::Error);
            Record(InstallRecord::Kind::Profile, profile, false);
            return true;
        }
        // Every registration gets a kernel instance of its own.
        ReleaseKernelConnection();
        auto kernel = CreateService<KernelService>(clsid::KernelService);
        auto login = QueryInterface<KernelLogin>(kernel);
        if (!login || Failed(login->Login(1, "RAVIRI", 1))) {
            Record(InstallRecord::Kind::Profile, profile, false);
            return true;
        }
        KernelConnection() = kernel;
        const std::string xml = profile.GetXmlDocument();
        std::string text;
        const HRESULT status = kernel->InstallProfile(xml, replaceMode_, text);
        if (Failed(status)) {
            ShowMessage(2006, MessageIcon::Warning, MessageButtons::Ok, {profile.GetName()});
            Record(InstallRecord::Kind::Profile, profile, false);
            return true;
        }
        if (status != S_OK && !text.empty())
            ShowText(text);
        Record(InstallRecord::Kind::Profile, profile, true);
        return true;
    } catch (const ComError& error) {
        view_.Beep();
        if (error.Error() == KLDO_E_CANNOT_OPEN)
            ShowMessage(2028, MessageIcon::Warning);
        else if (error.Error() == KLDO_E_LOCKED)
            ShowMessage(2006, MessageIcon::Warning, MessageButtons::Ok, {profile.GetName()});
        else
            ShowText(error.Description(), MessageIcon::Error);
    } catch (const std::exception&) {
        ShowMessage(57355, MessageIcon::Error);
    }
    Record(InstallRecord::Kind::Profile, profile, false);
    return false;
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
        bool abandon = false;
        InstallOneDictionary(item, comment, copyright, profileDirection, abandon);
        if (abandon)
            return false;
    }
    return true;
}

void CProgressDlg::InstallOneDictionary(CDictInfo& item, const std::string& comment, const std::string& copyright,
                                        DirectionId profileDirection, bool& abandon) {
    const std::string display = DisplayName(item.GetFullName());
    const DirectionId direction = item.GetDirID();
    if (profileDirection != 0 && direction != profileDirection) {
        ShowMessage(2025, MessageIcon::Warning, MessageButtons::Ok, {display});
        Record(InstallRecord::Kind::Dictionary, item, false);
        return;
    }
    const std::string unpacked = tempFolder_.empty() ? std::string() : tempFolder_ + item.GetKey();
    bool installed = false;
    // However the item ends, its temporary files go.
    struct Cleanup {
        const std::string& path;
        ~Cleanup() {
            if (!path.empty())
                DeleteTemporary(path);
        }
    } cleanup{unpacked};

    // The direction's general dictionary, through the kernel's catalogue when it offers one.
    const std::string generalPath = GetDirectionFolder(direction) + "GENDICT." + CodeFromDirection(direction);
    std::shared_ptr<KernelDictionaries> catalogue;
    if (auto& kernel = KernelConnection()) {
        try {
            std::shared_ptr<ComObject> object;
            if (Succeeded(kernel->GetCatalogue(object)))
                catalogue = QueryInterface<KernelDictionaries>(object);
        } catch (const std::exception&) {
        }
    }
    if (!catalogue) {
        ReleaseKernelConnection(); // created again before the import
        CDictFile general(generalPath);
        while (!general.Open()) {
            if (ShowMessage(57356, MessageIcon::None, MessageButtons::RetryCancel,
                            {PairName(direction, PairForm::Masculine)}) != MessageAnswer::Retry) {
                ShowMessage(57357, MessageIcon::None, MessageButtons::Ok, {display});
                Record(InstallRecord::Kind::Dictionary, item, false);
                return;
            }
        }
        general.Close();
    }

    // Unpack into the run folder, as a new file: nothing planted at the name is written through.
    std::string refused = unpacked.empty() ? runError_ : std::string();
    if (!unpacked.empty())
        ClearOwnFile(unpacked, refused);
    if (!refused.empty()) {
        ShowMessageText(1014, LoadString(1014) + "\n" + refused, MessageIcon::Error);
        Record(InstallRecord::Kind::Dictionary, item, false);
        return;
    }
    ReportProgress(0);
    int result = kUnpackCreateError;
    if (const auto source = ResolveBelow(sourceFolder_, item.GetFileNameOnCD()))
        result = UnpackFile(*source, unpacked, &CProgressDlg::ProgressCallback, this, UnpackTarget::New);
    else
        result = kUnpackSourceError;
    ReportProgress(100);
    if (result != kUnpackOk) {
        switch (result) {
        case kUnpackCancelled:
            abandon = true;
            Record(InstallRecord::Kind::Dictionary, item, false);
            return;
        case kUnpackSourceError: ShowMessage(1013); break;
        case kUnpackCreateError: ShowMessage(1014); break;
        case kUnpackWriteError: ShowMessage(1015); break;
        case kUnpackBadHeader: ShowMessage(1030); break;
        case kUnpackChecksumError: ShowMessage(1016); break;
        default: ShowMessage(1017); break;
        }
        Record(InstallRecord::Kind::Dictionary, item, false);
        return;
    }

    {
        CDictFile file(unpacked);
        if (!file.Open()) {
            ShowMessage(1013, MessageIcon::Error);
            Record(InstallRecord::Kind::Dictionary, item, false);
            return;
        }
        if (file.GetVersion() < 2) {
            ShowMessage(57352, MessageIcon::None, MessageButtons::Ok, {item.GetFullName()});
            Record(InstallRecord::Kind::Dictionary, item, false);
            return;
        }
    }

    // Link the dictionary to its direction's general dictionary.
    bool linked = false;
    if (!catalogue) {
        linked = item.CopyLinkAttributes(generalPath, tempFolder_);
    } else {
        CDictFile file(unpacked);
        if (file.Open()) {
            try {
                std::shared_ptr<CatalogueDirection> folder;
                std::shared_ptr<DictFile> general;
                std::int32_t number = 0;
                std::uint8_t code = 0;
                ThrowIfFailed(catalogue->GetDirection(direction, folder));
                if (!folder)
                    throw ComError(E_POINTER);
                ThrowIfFailed(folder->GetDictionary(kGeneralDictionaryKey, general));
                if (!general)
                    throw ComError(E_POINTER);
                ThrowIfFailed(general->GetLinkCode(code));
                ThrowIfFailed(general->GetLinkNumber(number));
                file.SetLinkNumber(number);
                file.SetLinkCode(code);
                linked = file.SetFormatLevel(kFormatLevel);
            } catch (const std::exception&) {
                linked = false;
            }
        }
    }
    if (!linked) {
        ShowMessage(1014, MessageIcon::Error);
        Record(InstallRecord::Kind::Dictionary, item, false);
        return;
    }

    // Label it.
    {
        CDictFile file(unpacked);
        if (file.Open()) {
            if (!item.GetName().empty())
                file.SetTitle(item.GetName());
            file.SetRemarks(comment);
            file.SetCopyright(copyright);
        }
    }

    // Import it.
    try {
        if (!KernelConnection() && !ConnectKernel()) {
            ShowMessage(57355, MessageIcon::Error);
            Record(InstallRecord::Kind::Dictionary, item, false);
            return;
        }
        auto kernel = KernelConnection();
        if (profileDirection != 0) {
            std::string guid;
            std::uint32_t reported = 0;
            if (Succeeded(kernel->GetDictionaryInfo(unpacked, guid, reported)))
                item.SetUID(guid);
            else
                reported = 0;
            if (reported != profileDirection) {
                ShowMessage(2025, MessageIcon::Warning, MessageButtons::Ok, {display});
                Record(InstallRecord::Kind::Dictionary, item, false);
                return;
            }
        }
        std::int64_t value = 0;
        std::shared_ptr<KernelDictionary> opened;
        if (Succeeded(kernel->OpenDictionary(unpacked, opened)) && opened)
            kernel->GetDictionaryValue(ObjectName(*opened), value);

        HRESULT status = kernel->ImportDictionary(unpacked, direction, 0, this);
        if (status == KLDO_E_LOCKED) {
            kernel->DeleteDictionary(unpacked, direction);
            status = kernel->ImportDictionary(unpacked, direction, 0, this);
        }
        if (status == E_ABORT && cancelled_) {
            // The kernel stopped because the user confirmed the cancel: nothing went wrong.
            abandon = true;
            Record(InstallRecord::Kind::Dictionary, item, false);
            return;
        }
        if (status != S_OK) {
            if (status == KLDO_E_DICT_EXISTS)
                ShowMessage(1, MessageIcon::None, MessageButtons::Ok, {item.GetFullName()});
            else if (status == KLDO_E_LOCKED)
                ShowMessage(57366, MessageIcon::Warning, MessageButtons::Ok, {item.GetFullName()});
            else if (status == KLDO_E_CONVERTER)
                ShowMessage(1032, MessageIcon::Warning, MessageButtons::Ok,
                            {static_cast<std::int64_t>(static_cast<std::uint32_t>(status)), item.GetFullName()});
            else
                ShowMessage(57364, MessageIcon::Warning, MessageButtons::Ok, {item.GetFullName()});
            Record(InstallRecord::Kind::Dictionary, item, false);
            return;
        }
        opened.reset();
        if (Succeeded(kernel->OpenDictionary(unpacked, opened)) && opened) {
            std::int32_t version = 0;
            if (Succeeded(opened->GetFormatVersion(version)) && version >= 4)
                kernel->SetDictionaryValue(ObjectName(*opened), {}, value);
        }
        installed = true;
    } catch (const ComError& error) {
        DeleteTemporary(unpacked);
        ShowMessageText(57355, ServiceErrorText(error.Error()), MessageIcon::Error);
        abandon = true;
    } catch (const std::exception&) {
        DeleteTemporary(unpacked);
        ShowMessage(57355, MessageIcon::Error);
        abandon = true;
    }
    Record(InstallRecord::Kind::Dictionary, item, installed, installed ? item.GetUID() : std::string());
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
        bool installed = false;
        try {
            if (!KernelConnection() && !ConnectKernel())
                throw ComError(E_POINTER, "no kernel service");
            const std::string source = ResolveBelow(sourceFolder_, item.GetFileNameOnCD()).value_or(std::string());
            std::string answer;
            ThrowIfFailed(KernelConnection()->InstallBaseTM(source, 1, item.GetXmlDocument(), replaceMode_, answer));
            installed = true;
            const auto open = answer.find("<UID>");
            const auto close = answer.find("</UID>");
            if (open != std::string::npos && close != std::string::npos && close > open + 5)
                item.SetUID(answer.substr(open + 5, close - open - 5));
        } catch (const std::exception&) {
        }
        item.SetSelected(false);
        if (!tempFolder.empty() && IsSafeFileName(item.GetKey()))
            DeleteTemporary(tempFolder + item.GetKey());
        Record(InstallRecord::Kind::BaseTM, item, installed, item.GetUID());
    }
    return true;
}

} // namespace quillon
