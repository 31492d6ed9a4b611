#pragma once
// CSelectCollectionDlg: the collection page's logic (dialog 177). It lists the distribution's
// collections that have a profile of an installed direction, sorted by display name, and answers
// the identifier and display name of the one the user picks. quillon-cli offers the same
// collections through it, so the window and the command line agree.
#include "descriptions/LanguageDirections.h"
#include "model/DictDistrib.h"
#include "selection/CollectionListView.h"
#include "selection/CollectionListing.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// Whether the page lists `collection`: one of its profiles has a direction that `directions`
// holds with a non-empty name.
bool IsCollectionOffered(const CDictCollection& collection, const InstalledDirections& directions);

class CSelectCollectionDlg {
public:
    static constexpr int kResultNext = 1;
    static constexpr int kResultBack = 1001;

    CSelectCollectionDlg(std::string distributionFolder, std::string setupIniPath,
                         std::string raviriInfPath, CollectionListView& view);

    // Fills the list through the process-wide kernel connection. Answers 1 when the page closes
    // at once without a choice (Listing() says why): the installed-direction map cannot be had,
    // the description files cannot be read or hold no collection, none of the collections has a
    // profile of an installed direction, or anything fails while filling. Otherwise nullopt: the
    // page stays open with nothing selected and Next disabled.
    std::optional<int> Initialize();
    CollectionListing Listing() const { return listing_; }
    // NoneSupported: the language pairs of the distribution's profiles (feminine pair names,
    // sorted as the lists sort).
    const std::vector<std::string>& NeededPairs() const { return neededPairs_; }

    // List 1052: Next is enabled exactly while an entry is selected.
    void OnSelectionChanged();
    // Answers 1 with the choice taken, or nullopt (nothing selected: the page stays open).
    // Throws ComError(E_INVALIDARG) when the item's collection is no longer in the list.
    std::optional<int> OnNext();

    const std::string& ChosenId() const { return chosenId_; }
    const std::string& ChosenName() const { return chosenName_; }
    // Item number (from 1) -> identifier text of every listed collection.
    const std::map<int, std::string>& ItemMap() const { return items_; }
    const CDictDistrib& Distribution() const { return distribution_; }

private:
    std::string folder_;
    std::string setupIni_;
    std::string raviriInf_;
    CollectionListView& view_;
    CDictDistrib distribution_;
    std::map<int, std::string> items_;
    std::string chosenId_;
    std::string chosenName_;
    CollectionListing listing_ = CollectionListing::Listed;
    std::vector<std::string> neededPairs_;

    // Empty when the description files load, else Unreadable.
    CollectionListing ListingOfFiles() const;
};

} // namespace quillon
