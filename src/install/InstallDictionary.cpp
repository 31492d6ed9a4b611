// The installation of one dictionary, its steps in the order they run: the direction check, the
// general dictionary, unpacking into the run folder, the version test, linking to the general
// dictionary, labelling, and the import into the kernel. A step that ends the item answers how;
// the unpacked file and its companion go whatever the end.
#include "descriptions/LanguageDirections.h"
#include "install/DictFile.h"
#include "install/ProgressDlg.h"
#include "install/UnpackFile.h"
#include "product/ComError.h"
#include "product/KernelConnection.h"
#include "product/Paths.h"
#include "support/Messages.h"

#include <algorithm>
#include <climits>
#include "support/Strings.h"

namespace quillon {
namespace {

constexpr int kFormatLevel = 72;
constexpr std::int16_t kGeneralDictionaryKey = -1;

// How far the unpacked output may pass the size the distribution declares for a dictionary
// before unpacking stops: four times it, at least 64 MiB more. A declared size of 0 (unknown) or
// the largest the 32-bit entry holds (a dictionary of 2 GiB or more) sets no limit.
std::uint64_t OutputLimit(std::int64_t declared) {
    if (declared <= 0 || declared >= INT32_MAX)
        return 0;
    const auto size = static_cast<std::uint64_t>(declared);
    return std::max(size * 4, size + (std::uint64_t(64) << 20));
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

} // namespace

CProgressDlg::DictionaryResult CProgressDlg::InstallOneDictionary(CDictInfo& item, const std::string& comment,
                                                                  const std::string& copyright,
                                                                  DirectionId profileDirection) {
    const DirectionId direction = item.GetDirID();
    if (profileDirection != 0 && direction != profileDirection)
        return {ItemOutcome::Failed, Tell(2025, MessageIcon::Warning, {DisplayName(item.GetFullName())})};

    const std::string unpacked = tempFolder_.empty() ? std::string() : tempFolder_ + item.GetKey();
    struct Cleanup {
        const std::string& path;
        ~Cleanup() {
            if (!path.empty())
                DeleteUnpacked(path);
        }
    } cleanup{unpacked};

    const std::string generalPath = GetDirectionFolder(direction) + "GENDICT." + CodeFromDirection(direction);
    const std::shared_ptr<KernelDictionaries> catalogue = OpenCatalogue();
    if (!catalogue) {
        ReleaseKernelConnection(); // created again before the import
        if (StepEnd end = WaitForGeneralDictionary(item, generalPath))
            return *end;
    }
    if (StepEnd end = Unpack(item, unpacked))
        return *end;
    if (StepEnd end = CheckVersion(item, unpacked))
        return *end;
    if (StepEnd end = Link(item, unpacked, generalPath, catalogue.get()))
        return *end;
    Label(item, unpacked, comment, copyright);
    return Import(item, unpacked, profileDirection);
}

// The direction's general dictionary, through the kernel's catalogue when it offers one.
std::shared_ptr<KernelDictionaries> CProgressDlg::OpenCatalogue() {
    if (auto& kernel = KernelConnection()) {
        try {
            std::shared_ptr<ComObject> object;
            if (Succeeded(kernel->GetCatalogue(object)))
                return QueryInterface<KernelDictionaries>(object);
        } catch (const std::exception&) {
        }
    }
    return nullptr;
}

// Without the catalogue the general dictionary file itself must open; the user may retry.
CProgressDlg::StepEnd CProgressDlg::WaitForGeneralDictionary(const CDictInfo& item, const std::string& generalPath) {
    CDictFile general(generalPath);
    while (!general.Open()) {
        if (ShowMessage(57356, MessageIcon::None, MessageButtons::RetryCancel,
                        {PairName(item.GetDirID(), PairForm::Masculine)}) != MessageAnswer::Retry)
            return DictionaryResult{ItemOutcome::Failed, Tell(57357, MessageIcon::None, {DisplayName(item.GetFullName())})};
    }
    general.Close();
    return std::nullopt;
}

// Unpacks into the run folder, as a new file: nothing planted at the name is written through.
CProgressDlg::StepEnd CProgressDlg::Unpack(const CDictInfo& item, const std::string& unpacked) {
    std::string refused = unpacked.empty() ? runError_ : std::string();
    if (!unpacked.empty())
        ClearOwnFile(unpacked, refused);
    if (!refused.empty()) {
        ShowMessageText(1014, LoadString(1014) + "\n" + refused, MessageIcon::Error);
        return DictionaryResult{ItemOutcome::Failed, LoadString(1014)};
    }
    ReportProgress(0);
    // The packed file is opened once, below the distribution with no link followed, and read
    // from that descriptor.
    int result = kUnpackSourceError;
    if (const FileDescriptor source = Distribution().Open(item.GetFileNameOnCD()))
        result = UnpackFile(source.Get(), unpacked, &CProgressDlg::ProgressCallback, this, UnpackTarget::New,
                            OutputLimit(item.GetSize()));
    ReportProgress(100);
    switch (result) {
    case kUnpackOk: return std::nullopt;
    case kUnpackCancelled: return DictionaryResult{ItemOutcome::Cancelled, LoadString(kCancelledReasonId), true};
    case kUnpackSourceError: return DictionaryResult{ItemOutcome::Failed, Tell(1013)};
    case kUnpackCreateError: return DictionaryResult{ItemOutcome::Failed, Tell(1014)};
    case kUnpackWriteError: return DictionaryResult{ItemOutcome::Failed, Tell(1015)};
    case kUnpackBadHeader: return DictionaryResult{ItemOutcome::Failed, Tell(1030)};
    case kUnpackChecksumError: return DictionaryResult{ItemOutcome::Failed, Tell(1016)};
    default: return DictionaryResult{ItemOutcome::Failed, Tell(1017)};
    }
}

CProgressDlg::StepEnd CProgressDlg::CheckVersion(const CDictInfo& item, const std::string& unpacked) {
    CDictFile file(unpacked);
    if (!file.Open())
        return DictionaryResult{ItemOutcome::Failed, Tell(1013, MessageIcon::Error)};
    if (file.GetVersion() < 2)
        return DictionaryResult{ItemOutcome::Failed, Tell(57352, MessageIcon::None, {item.GetFullName()})};
    return std::nullopt;
}

// Links the dictionary to its direction's general dictionary: its link attributes and format
// level, read from the catalogue when the kernel offers one, else from the file itself.
CProgressDlg::StepEnd CProgressDlg::Link(const CDictInfo& item, const std::string& unpacked,
                                         const std::string& generalPath, KernelDictionaries* catalogue) {
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
                ThrowIfFailed(catalogue->GetDirection(item.GetDirID(), folder));
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
    if (!linked)
        return DictionaryResult{ItemOutcome::Failed, Tell(1014, MessageIcon::Error)};
    return std::nullopt;
}

// Its title and the collection's remarks and copyright; a file that does not open is left as it is.
void CProgressDlg::Label(const CDictInfo& item, const std::string& unpacked, const std::string& comment,
                         const std::string& copyright) {
    CDictFile file(unpacked);
    if (!file.Open())
        return;
    if (!item.GetName().empty())
        file.SetTitle(item.GetName());
    file.SetRemarks(comment);
    file.SetCopyright(copyright);
}

CProgressDlg::DictionaryResult CProgressDlg::Import(CDictInfo& item, const std::string& unpacked,
                                                    DirectionId profileDirection) {
    const DirectionId direction = item.GetDirID();
    try {
        if (!KernelConnection() && !ConnectKernel())
            return {ItemOutcome::Failed, Tell(57355, MessageIcon::Error)};
        auto kernel = KernelConnection();
        if (profileDirection != 0) {
            std::string guid;
            std::uint32_t reported = 0;
            if (Succeeded(kernel->GetDictionaryInfo(unpacked, guid, reported)))
                item.SetUID(guid);
            else
                reported = 0;
            if (reported != profileDirection)
                return {ItemOutcome::Failed, Tell(2025, MessageIcon::Warning, {DisplayName(item.GetFullName())})};
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
        // The kernel stopped because the user confirmed the cancel: nothing went wrong.
        if (status == E_ABORT && cancelled_)
            return {ItemOutcome::Cancelled, LoadString(kCancelledReasonId), true};
        if (status == KLDO_E_DICT_EXISTS) {
            ShowMessage(1, MessageIcon::None, MessageButtons::Ok, {item.GetFullName()});
            return {ItemOutcome::AlreadyThere, {}};
        }
        if (status == KLDO_E_LOCKED)
            return {ItemOutcome::Failed, Tell(57366, MessageIcon::Warning, {item.GetFullName()})};
        if (status == KLDO_E_CONVERTER)
            return {ItemOutcome::Failed,
                    Tell(1032, MessageIcon::Warning,
                         {static_cast<std::int64_t>(static_cast<std::uint32_t>(status)), item.GetFullName()})};
        if (status != S_OK)
            return {ItemOutcome::Failed, Tell(57364, MessageIcon::Warning, {item.GetFullName()})};

        opened.reset();
        if (Succeeded(kernel->OpenDictionary(unpacked, opened)) && opened) {
            std::int32_t version = 0;
            if (Succeeded(opened->GetFormatVersion(version)) && version >= 4)
                kernel->SetDictionaryValue(ObjectName(*opened), {}, value);
        }
        return {ItemOutcome::Installed, {}};
    } catch (const ComError& error) {
        DeleteUnpacked(unpacked);
        const std::string text = ServiceErrorText(error.Error());
        ShowMessageText(57355, text, MessageIcon::Error);
        return {ItemOutcome::Failed, text, true};
    } catch (const std::exception&) {
        DeleteUnpacked(unpacked);
        return {ItemOutcome::Failed, Tell(57355, MessageIcon::Error), true};
    }
}

} // namespace quillon
