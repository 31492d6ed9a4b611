#pragma once
// InstallPlanner: what the installation engine (CProgressDlg::InstallCollection) would do with a
// collection, found without changing anything. It walks the collection in the engine's order —
// every selected profile of an installed direction; its selected dictionaries that no earlier
// profile handled, its TM bases, the profile itself — and predicts, item by item, the step at
// which the engine would stop and the message it would show:
//
//   dictionary  2025 when its direction is not the profile's (its section's, then the file's
//               own); 57356/57357 when the direction's general dictionary cannot be opened
//               (without a catalogue); 1013 when the packed file is missing; 1030 when it is
//               not a packed file; 1016 when its checksum fails; 1013 when the unpacked data
//               are no dictionary file of the product; 57352 for format version 1; 1014 when
//               the general dictionary's link attributes cannot be read; 1032 when the
//               dictionary carries no valid identifier; message 1 when a dictionary of the same
//               file name is installed in the direction; 57364 when its body fails its own
//               checksum (the kernel's import checks it as it copies).
//   TM base     fails (no message) when its file is missing or no regular file; else the
//               kernel takes it, keeping or replacing one of the same name by the replace mode.
//   profile     2006 when it has no name (the kernel keys installed profiles by direction and
//               name); replaced (mode 1) or kept (modes 0 and 2) when one of the same direction
//               and name is installed; else installed.
//
// As in the engine, a profile whose dictionaries would not all be held by the kernel (installed
// or already there) is not registered and its TM bases are not installed: both are predicted
// "incomplete", naming the dictionary.
//
// A distribution's files are opened as the installation opens them: once, below the folder, with
// no link followed (product/DistributionFolder.h). Packed files are decoded in memory
// (plan/PackedFileCheck.h); the unpacked data are read with
// the product's dictionary format when one is given. The kernel is asked only what reading
// calls answer: GetCatalogue and the catalogue's general dictionaries, GetDirectionPath,
// GetDictionaryInfo of the installed file of the same name, GetCollectionCount and
// GetCollectionName. What no reading call answers is not predicted: a locked installed
// dictionary (57366), an installed dictionary of the same GUID under another name (message 1),
// failures of the disk or of the kernel itself.
#include "model/DictCollection.h"
#include "platform/StepObserver.h"
#include "product/DictionaryFormat.h"
#include "product/DistributionFolder.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillon {

enum class PlanAction {
    Install,             // the kernel takes it
    Replace,             // the installed profile of the same direction and name is replaced
    Keep,                // … is kept (replace mode skip or ask)
    Exists,              // message 1: a dictionary of that file name is installed
    WrongDirection,      // message 2025
    Missing,             // the source file is missing (dictionaries: message 1013)
    Damaged,             // the packed file is damaged: message 1030 or 1016
    Unreadable,          // the unpacked data are no dictionary file of the product: message 1013
    OldFormat,           // message 57352
    NoGeneralDictionary, // message 57356 (answered Cancel unattended), then 57357
    NotLinkable,         // message 1014
    Refused,             // the kernel refuses the profile: message 2006
    Incomplete,          // a dictionary of the profile would not be held: left, no message
    NoIdentifier,        // the dictionary carries no valid GUID: the kernel refuses it, 1032
    BodyDamaged,         // its body fails its own checksum: the kernel's import refuses it, 57364
    NotStarted,          // question 2003 would be answered No: nothing is installed
};

// The JSON word of an action: "install", "replace", "keep", "exists", "wrong-direction",
// "missing", "damaged", "unreadable", "old-format", "no-general-dictionary", "not-linkable",
// "refused", "incomplete", "no-identifier", "body-damaged", "not-started".
const char* PlanActionName(PlanAction action);
// What the engine's record of the item would say: installed (Install, Replace), already there
// (Keep, Exists) or failed (the rest).
ItemOutcome PlanActionOutcome(PlanAction action);
// Whether the kernel would hold the item after its step: installed or already there.
inline bool PlanActionInstalls(PlanAction action) {
    return IsHeld(PlanActionOutcome(action));
}

struct PlannedItem {
    StepItemKind kind = StepItemKind::Dictionary;
    std::string key;
    std::string name; // full name
    PlanAction action = PlanAction::Install;
    int message = 0;         // the message the installation would show; 0 none
    std::string messageText; // its text, formatted as the engine would
    std::int64_t size = 0;   // the declared size ("Size"), as the profile page counts it
    std::string source;      // the item's file on the distribution (full path); empty when none
    std::string detail;      // why, for people (English)
};

struct SkippedProfile {
    std::string key;
    std::string name;
    bool supported = false; // false: its direction is not installed; true: not selected
};

struct InstallPlan {
    std::vector<PlannedItem> items;
    std::vector<SkippedProfile> skipped;
    int Installing() const;
    int Failing() const;
};

class InstallPlanner {
public:
    // `sourceFolder`: the distribution folder (with its trailing separator); `replaceMode` 0
    // skip, 1 replace, 2 ask; `format` may be null (the unpacked data are then not read).
    InstallPlanner(std::string sourceFolder, int replaceMode, const DictionaryFormat* format);

    // Uses the process-wide kernel connection (connecting it when there is none). Changes
    // neither the collection nor the product.
    InstallPlan Plan(const CDictCollection& collection);
    // What is left of `plan` when question 2003 is answered No: every item not started.
    static void NotStarted(InstallPlan& plan);

private:
    PlannedItem PlanDictionary(const CDictInfo& item, DirectionId profileDirection);
    PlannedItem PlanBaseTM(const CVdxBaseTM& item);
    PlannedItem PlanProfile(const CVdxTopicInfo& profile);
    // The TM bases and the profile, left because `dictionary` would not be held.
    void PlanIncomplete(const CVdxTopicInfo& profile, const CDictInfo& dictionary, InstallPlan& plan);
    // Whether the catalogue answers the general dictionary's link attributes; nothing when the
    // kernel offers no catalogue.
    std::optional<bool> CatalogueLinks(DirectionId direction);
    bool GeneralDictionaryOpens(DirectionId direction);
    bool InstalledByName(DirectionId direction, const std::string& fileName);
    const std::vector<std::string>& InstalledProfiles(DirectionId direction);

    std::string sourceFolder_;
    DistributionFolder distribution_;
    int replaceMode_;
    const DictionaryFormat* format_;
    std::map<DirectionId, std::vector<std::string>> installedProfiles_;
};

} // namespace quillon
