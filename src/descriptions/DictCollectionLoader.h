#pragma once
// CDictCollectionLoader: turns a distribution's two description files into the collection model.
// A loader lives for one task (listing the collections, or reading the chosen one) and reads
// the files afresh.
//
// Relative paths of the description files ("NameOnCD", "Keywords", "WWT") become full paths
// below the distribution folder in one way (ResolveBelow: '\' turned into '/', the spelling found
// on disk when only the letter case differs); a path that would leave the folder counts as
// missing. Dictionaries and TM bases whose key is not a safe file name are left out, as those
// without a valid direction are.
#include "descriptions/DescriptionFiles.h"
#include "descriptions/LanguageDirections.h"
#include "descriptions/XCryptedProfile2.h"
#include "model/DictCollection.h"
#include "model/DictDistrib.h"
#include "product/DistributionFolder.h"

#include <memory>
#include <string>

namespace quillon {

class CDictCollectionLoader {
public:
    // Obtains the installed-direction map through the process-wide kernel connection; throws
    // ComError(E_UNEXPECTED) when none can be had (no directions, or an error while asking).
    CDictCollectionLoader(std::string setupIniPath, std::string raviriInfPath, std::string distributionFolder);
    // The same with a map given by the caller (the collection page shares its own).
    CDictCollectionLoader(std::string setupIniPath, std::string raviriInfPath, std::string distributionFolder,
                          std::unique_ptr<InstalledDirections> directions);
    virtual ~CDictCollectionLoader();
    CDictCollectionLoader(const CDictCollectionLoader&) = delete;
    CDictCollectionLoader& operator=(const CDictCollectionLoader&) = delete;

    // Loads both description files once per loader. False when either cannot be loaded.
    bool LoadDescriptions();
    // Fills `distribution` with a copy of every collection; the number of collections, 0 on
    // failure.
    int ListCollections(CDictDistrib& distribution);
    // Reads the collection `identifier` into `collection`. False only when the description files
    // cannot be loaded; an empty identifier leaves the collection untouched.
    bool ReadCollection(const std::string& identifier, CDictCollection& collection);

    const InstalledDirections& Directions() const { return *directions_; }
    // How many folder listings the loader's path lookups read (each folder once at most).
    int FolderListings() const { return distribution_.Listings(); }

private:
    void ReadCollectionBody(const std::string& identifier, CDictCollection& collection);
    void ReadProfiles(const std::string& identifier, CDictCollection& collection);
    bool ReadItem(const std::string& key, CVdxCollectionItem& item, int titleId, PairForm form);
    CSmartPtr<CDictInfo> FindOrReadDictionary(CDictCollection& collection, const std::string& key);
    CSmartPtr<CVdxBaseTM> FindOrReadBaseTM(CDictCollection& collection, const std::string& key);
    // A full path below the distribution folder, or empty when the relative path is refused.
    std::string DistributionPath(const std::string& relative) const;

    std::string setupIniPath_;
    std::string raviriInfPath_;
    std::string distributionFolder_;
    mutable DistributionFolder distribution_;
    std::unique_ptr<InstalledDirections> directions_;
    std::unique_ptr<CXCryptedProfile2> setupIni_;  // store A
    std::unique_ptr<CXCryptedProfile2> raviriInf_; // store B
    std::string letter_;
    bool loaded_ = false;
};

} // namespace quillon
