#include "plan/InstallPlan.h"

#include "descriptions/LanguageDirections.h"
#include "install/DictFile.h"
#include "install/ProgressDlg.h"
#include "plan/PackedFileCheck.h"
#include "product/ComError.h"
#include "product/DictFileService.h"
#include "product/KernelConnection.h"
#include "product/Paths.h"
#include "support/Format.h"
#include "support/Guid.h"
#include "support/Strings.h"
#include "support/Text.h"

#include <algorithm>

namespace quillon {
namespace {

constexpr std::int16_t kGeneralDictionaryKey = -1;
// Installed profiles asked per direction; a kernel answering more is not believed.
constexpr std::uint16_t kMaxCollections = 0x7FFF;

std::string Code(DirectionId id) {
    const std::string code = CodeFromDirection(id);
    return code.empty() ? FormatText("0x%08X", {std::int64_t(id)}) : code;
}

PlannedItem Item(StepItemKind kind, std::string key, const CVdxCollectionItem& item) {
    PlannedItem p;
    p.kind = kind;
    p.key = std::move(key);
    p.name = item.GetFullName();
    p.size = item.GetSize();
    return p;
}

// Sets the action, its message and the message's text as the engine would format it.
void Predict(PlannedItem& item, PlanAction action, int message,
             std::initializer_list<FormatArg> args, std::string detail) {
    item.action = action;
    item.message = message;
    item.messageText = message ? FormatText(LoadString(message), args) : std::string();
    item.detail = std::move(detail);
}

std::shared_ptr<KernelDictionaries> Catalogue(KernelService& kernel) {
    try {
        std::shared_ptr<ComObject> object;
        if (Succeeded(kernel.GetCatalogue(object)))
            return QueryInterface<KernelDictionaries>(object);
    } catch (const std::exception&) {
    }
    return nullptr;
}

} // namespace

const char* PlanActionName(PlanAction action) {
    switch (action) {
    case PlanAction::Install:
        return "install";
    case PlanAction::Replace:
        return "replace";
    case PlanAction::Keep:
        return "keep";
    case PlanAction::Exists:
        return "exists";
    case PlanAction::WrongDirection:
        return "wrong-direction";
    case PlanAction::Missing:
        return "missing";
    case PlanAction::Damaged:
        return "damaged";
    case PlanAction::Unreadable:
        return "unreadable";
    case PlanAction::OldFormat:
        return "old-format";
    case PlanAction::NoGeneralDictionary:
        return "no-general-dictionary";
    case PlanAction::NotLinkable:
        return "not-linkable";
    case PlanAction::Refused:
        return "refused";
    case PlanAction::Incomplete:
        return "incomplete";
    case PlanAction::NoIdentifier:
        return "no-identifier";
    case PlanAction::BodyDamaged:
        return "body-damaged";
    case PlanAction::NotStarted:
        return "not-started";
    }
    return "?";
}

ItemOutcome PlanActionOutcome(PlanAction action) {
    switch (action) {
    case PlanAction::Install:
    case PlanAction::Replace:
        return ItemOutcome::Installed;
    case PlanAction::Keep:
    case PlanAction::Exists:
        return ItemOutcome::AlreadyThere;
    default:
        return ItemOutcome::Failed;
    }
}

int InstallPlan::Installing() const {
    int n = 0;
    for (const PlannedItem& item : items)
        n += PlanActionInstalls(item.action);
    return n;
}

int InstallPlan::Failing() const {
    return static_cast<int>(items.size()) - Installing();
}

InstallPlanner::InstallPlanner(std::string sourceFolder, int replaceMode,
                               const DictionaryFormat* format)
    : sourceFolder_(std::move(sourceFolder)), distribution_(sourceFolder_), replaceMode_(replaceMode),
      format_(format) {}

void InstallPlanner::NotStarted(InstallPlan& plan) {
    for (PlannedItem& item : plan.items)
        Predict(item, PlanAction::NotStarted, 0, {}, "question 2003 would be answered No: nothing is installed");
}

InstallPlan InstallPlanner::Plan(const CDictCollection& collection) {
    InstallPlan plan;
    EnsureKernelConnection();
    // The engine clears a dictionary's selection once handled; what it predicted for each.
    std::map<const CDictInfo*, PlanAction> handled;
    for (const auto& entry : collection.GetProfiles()) {
        if (!entry)
            continue;
        const CVdxTopicInfo& profile = *entry;
        if (!profile.IsSelected() || !profile.IsSupported()) {
            plan.skipped.push_back(
                {profile.GetKey(), profile.GetFullName(), profile.IsSupported()});
            continue;
        }
        const CDictInfo* missing = nullptr;
        for (const auto& d : profile.Dictionaries()) {
            if (!d)
                continue;
            auto found = handled.find(d.Get());
            if (found == handled.end()) {
                if (!d->IsSelected())
                    continue; // not wanted
                plan.items.push_back(PlanDictionary(*d, profile.GetDirID()));
                found = handled.emplace(d.Get(), plan.items.back().action).first;
            }
            if (!missing && !PlanActionInstalls(found->second))
                missing = d.Get();
        }
        if (missing) {
            PlanIncomplete(profile, *missing, plan);
            continue;
        }
        for (const auto& t : profile.BasesTM())
            if (t)
                plan.items.push_back(PlanBaseTM(*t));
        plan.items.push_back(PlanProfile(profile));
    }
    return plan;
}

void InstallPlanner::PlanIncomplete(const CVdxTopicInfo& profile, const CDictInfo& dictionary,
                                    InstallPlan& plan) {
    const std::string why = "the dictionary " + FoldCase(dictionary.GetKey()) +
                            " would not be installed, so the profile is not registered";
    for (const auto& t : profile.BasesTM())
        if (t) {
            PlannedItem p = Item(StepItemKind::BaseTM, t->GetKey(), *t);
            p.action = PlanAction::Incomplete;
            p.detail = why;
            plan.items.push_back(std::move(p));
        }
    PlannedItem p = Item(StepItemKind::Profile, FoldCase(profile.GetKey()), profile);
    p.source = profile.GetFilePath();
    p.action = PlanAction::Incomplete;
    p.detail = why;
    plan.items.push_back(std::move(p));
}

PlannedItem InstallPlanner::PlanDictionary(const CDictInfo& item, DirectionId profileDirection) {
    PlannedItem p = Item(StepItemKind::Dictionary, FoldCase(item.GetKey()), item);
    p.size = item.GetSize();
    const std::string display = DisplayName(item.GetFullName());
    const DirectionId direction = item.GetDirID();
    p.source = distribution_.Resolve(item.GetFileNameOnCD()).value_or(std::string());
    if (profileDirection != 0 && direction != profileDirection) {
        Predict(p, PlanAction::WrongDirection, 2025, {display},
                "its section declares direction " + Code(direction) + ", the profile's is " +
                    Code(profileDirection));
        return p;
    }
    const std::optional<bool> links = CatalogueLinks(direction);
    if (!links && !GeneralDictionaryOpens(direction)) {
        Predict(p, PlanAction::NoGeneralDictionary, 57357, {display},
                "the general dictionary of " + Code(direction) +
                    " cannot be opened (message 57356 first)");
        return p;
    }

    const FileDescriptor source = distribution_.Open(item.GetFileNameOnCD());
    const PackedFileCheck packed =
        source ? CheckPackedFile(source.Get(), format_ ? format_->HeadSize() : 0) : PackedFileCheck{};
    switch (packed.result) {
    case kUnpackOk:
        break;
    case kUnpackBadHeader:
        Predict(p, PlanAction::Damaged, 1030, {}, "not a packed file (header, magic or version)");
        return p;
    case kUnpackChecksumError:
        Predict(p, PlanAction::Damaged, 1016, {},
                "the unpacked data do not match the packed file's checksum");
        return p;
    default:
        Predict(p, PlanAction::Missing, 1013, {},
                item.GetFileNameOnCD().empty() ? "no file is named for it"
                                               : "cannot read " + item.GetFileNameOnCD());
        return p;
    }
    DictionaryIdentity identity;
    if (format_) {
        identity = format_->Identify(packed.head.data(), packed.head.size(), packed.unpackedSize,
                                     packed.crc);
        if (!identity.valid) {
            Predict(p, PlanAction::Unreadable, 1013, {}, identity.problem);
            return p;
        }
        if (identity.version < 2) {
            Predict(p, PlanAction::OldFormat, 57352, {item.GetFullName()},
                    "dictionary format version " + std::to_string(identity.version));
            return p;
        }
    }
    if (links && !*links) {
        Predict(p, PlanAction::NotLinkable, 1014, {},
                "the catalogue does not answer the link attributes of the general dictionary of " +
                    Code(direction));
        return p;
    }
    if (format_ && profileDirection != 0 && identity.direction != profileDirection) {
        Predict(p, PlanAction::WrongDirection, 2025, {display},
                "the dictionary file declares direction " + Code(identity.direction) +
                    ", the profile's is " + Code(profileDirection));
        return p;
    }
    // The kernel's import refuses a dictionary without an identifier before it looks for one
    // of the same name, and checks the body as it copies it, after.
    if (format_ && !IsGuidString(identity.guid)) {
        Predict(p, PlanAction::NoIdentifier, 1032,
                {static_cast<std::int64_t>(static_cast<std::uint32_t>(KLDO_E_CONVERTER)), item.GetFullName()},
                identity.guid.empty() ? "the dictionary carries no identifier"
                                      : "the dictionary's identifier \"" + identity.guid + "\" is no GUID");
        return p;
    }
    if (InstalledByName(direction, p.key)) {
        Predict(p, PlanAction::Exists, 1, {item.GetFullName()},
                "a dictionary named " + p.key + " is installed in " + Code(direction));
        return p;
    }
    if (format_ && !identity.bodyIntact) {
        Predict(p, PlanAction::BodyDamaged, 57364, {item.GetFullName()}, identity.problem);
        return p;
    }
    p.detail = "the packed file decodes with the right checksum";
    return p;
}

PlannedItem InstallPlanner::PlanBaseTM(const CVdxBaseTM& item) {
    PlannedItem p = Item(StepItemKind::BaseTM, item.GetKey(), item);
    p.size = item.GetSize();
    p.source = distribution_.Resolve(item.GetFileNameOnCD()).value_or(std::string());
    if (!distribution_.Open(item.GetFileNameOnCD())) {
        Predict(p, PlanAction::Missing, 0, {},
                (item.GetFileNameOnCD().empty() ? std::string("a file never named")
                                                : item.GetFileNameOnCD()) +
                    " cannot be read as a regular file of the distribution");
        return p;
    }
    p.detail = replaceMode_ == 1
                   ? "the kernel takes it (replacing an installed TM base of the same name)"
                   : "the kernel takes it (keeping an installed TM base of the same name)";
    return p;
}

PlannedItem InstallPlanner::PlanProfile(const CVdxTopicInfo& profile) {
    PlannedItem p = Item(StepItemKind::Profile, FoldCase(profile.GetKey()), profile);
    p.size = profile.GetSize();
    p.source = profile.GetFilePath();
    if (profile.GetName().empty()) {
        Predict(p, PlanAction::Refused, 2006, {profile.GetName()}, "the profile has no name");
        return p;
    }
    const auto& installed = InstalledProfiles(profile.GetDirID());
    if (std::find(installed.begin(), installed.end(), profile.GetName()) != installed.end()) {
        if (replaceMode_ == 1) {
            Predict(p, PlanAction::Replace, 0, {},
                    "the installed profile of the same name is replaced");
        } else {
            Predict(p, PlanAction::Keep, 0, {},
                    replaceMode_ == 2
                        ? "the installed profile of the same name is kept, and the kernel says so"
                        : "the installed profile of the same name is kept");
        }
    }
    return p;
}

std::optional<bool> InstallPlanner::CatalogueLinks(DirectionId direction) {
    const auto kernel = KernelConnection();
    if (!kernel)
        return std::nullopt;
    const auto catalogue = Catalogue(*kernel);
    if (!catalogue)
        return std::nullopt;
    try {
        std::shared_ptr<CatalogueDirection> folder;
        std::shared_ptr<DictFile> general;
        std::int32_t number = 0;
        std::uint8_t code = 0;
        return Succeeded(catalogue->GetDirection(direction, folder)) && folder &&
               Succeeded(folder->GetDictionary(kGeneralDictionaryKey, general)) && general &&
               Succeeded(general->GetLinkCode(code)) && Succeeded(general->GetLinkNumber(number));
    } catch (const std::exception&) {
        return false;
    }
}

bool InstallPlanner::GeneralDictionaryOpens(DirectionId direction) {
    CDictFile general(GetDirectionFolder(direction) + "GENDICT." + CodeFromDirection(direction));
    return general.Open();
}

bool InstallPlanner::InstalledByName(DirectionId direction, const std::string& fileName) {
    const auto kernel = KernelConnection();
    if (!kernel || !IsSafeFileName(fileName))
        return false;
    try {
        std::string folder, guid;
        std::uint32_t reported = 0;
        if (Failed(kernel->GetDirectionPath(direction, folder)) || folder.empty())
            return false;
        AppendPath(folder, fileName);
        return Succeeded(kernel->GetDictionaryInfo(folder, guid, reported));
    } catch (const std::exception&) {
        return false;
    }
}

const std::vector<std::string>& InstallPlanner::InstalledProfiles(DirectionId direction) {
    const auto found = installedProfiles_.find(direction);
    if (found != installedProfiles_.end())
        return found->second;
    std::vector<std::string>& names = installedProfiles_[direction];
    const auto kernel = KernelConnection();
    if (!kernel)
        return names;
    try {
        std::uint16_t count = 0;
        if (Failed(kernel->GetCollectionCount(direction, count)))
            return names;
        for (std::uint16_t index = 0; index < count && index < kMaxCollections; ++index) {
            std::string name;
            if (Succeeded(kernel->GetCollectionName(direction, index, name)))
                names.push_back(std::move(name));
        }
    } catch (const std::exception&) {
    }
    return names;
}

} // namespace quillon
