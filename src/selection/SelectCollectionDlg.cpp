#include "selection/SelectCollectionDlg.h"

#include "descriptions/DictCollectionLoader.h"
#include "model/VdxCollectionItem.h"
#include "product/KernelConnection.h"
#include "support/Text.h"

#include <algorithm>

namespace quillon {

void MemoryCollectionList::AddEntry(const std::string& text, int data) {
    const auto at = std::upper_bound(
        entries.begin(), entries.end(), text,
        [](const std::string& t, const Entry& e) { return ListSortsBefore(t, e.text); });
    entries.insert(at, Entry{text, data});
}

bool IsCollectionOffered(const CDictCollection& collection, const InstalledDirections& directions) {
    for (const auto& profile : collection.GetProfiles()) {
        if (!profile)
            continue;
        const auto it = directions.find(static_cast<std::int32_t>(profile->GetDirID()));
        if (it != directions.end() && !it->second.empty())
            return true;
    }
    return false;
}

CSelectCollectionDlg::CSelectCollectionDlg(std::string distributionFolder, std::string setupIniPath,
                                           std::string raviriInfPath, CollectionListView& view)
    : folder_(std::move(distributionFolder)), setupIni_(std::move(setupIniPath)),
      raviriInf_(std::move(raviriInfPath)), view_(view) {}

CollectionListing CSelectCollectionDlg::ListingOfFiles() const {
    CDictCollectionLoader probe(setupIni_, raviriInf_, folder_, std::make_unique<InstalledDirections>());
    return probe.LoadDescriptions() ? CollectionListing::Empty : CollectionListing::Unreadable;
}

std::optional<int> CSelectCollectionDlg::Initialize() {
    items_.clear();
    chosenId_.clear();
    chosenName_.clear();
    neededPairs_.clear();
    listing_ = CollectionListing::Listed;
    try {
        std::unique_ptr<InstalledDirections> directions =
            GetInstalledDirections(KernelConnection());
        if (!directions) {
            listing_ = ListingOfFiles();
            return kResultNext;
        }
        // The loader sees the same directions as the page.
        CDictCollectionLoader loader(setupIni_, raviriInf_, folder_,
                                     std::make_unique<InstalledDirections>(*directions));
        const int listed = loader.ListCollections(distribution_);
        view_.ClearList();
        int item = 1;
        for (const CDictCollection& collection : distribution_.GetCollections()) {
            if (!IsCollectionOffered(collection, *directions))
                continue; // a collection not shown takes no item number
            view_.AddEntry(collection.GetDisplayName(), item);
            items_[item] = collection.GetIdText();
            ++item;
        }
        if (listed == 0) {
            listing_ = loader.LoadDescriptions() ? CollectionListing::Empty : CollectionListing::Unreadable;
            return kResultNext;
        }
        if (items_.empty()) {
            listing_ = CollectionListing::NoneSupported;
            std::vector<DirectionId> seen;
            for (const CDictCollection& collection : distribution_.GetCollections())
                for (const auto& profile : collection.GetProfiles())
                    if (profile && std::find(seen.begin(), seen.end(), profile->GetDirID()) == seen.end()) {
                        seen.push_back(profile->GetDirID());
                        std::string name = PairName(profile->GetDirID(), PairForm::Feminine);
                        neededPairs_.push_back(name.empty() ? CodeFromDirection(profile->GetDirID()) : name);
                    }
            std::sort(neededPairs_.begin(), neededPairs_.end(), ListSortsBefore);
            return kResultNext;
        }
    } catch (...) {
        items_.clear();
        try {
            listing_ = ListingOfFiles();
        } catch (...) {
            listing_ = CollectionListing::Unreadable;
        }
        return kResultNext;
    }
    view_.EnableNext(false);
    return std::nullopt;
}

void CSelectCollectionDlg::OnSelectionChanged() {
    view_.EnableNext(view_.SelectedEntry() >= 0);
}

std::optional<int> CSelectCollectionDlg::OnNext() {
    chosenId_.clear();
    chosenName_.clear();
    const int entry = view_.SelectedEntry();
    if (entry < 0)
        return std::nullopt;
    const int item = view_.EntryData(entry);
    const auto it = items_.find(item);
    if (it == items_.end())
        return std::nullopt;
    chosenId_ = it->second;
    chosenName_ = distribution_.FindCollection(chosenId_).GetDisplayName();
    return kResultNext;
}

} // namespace quillon
