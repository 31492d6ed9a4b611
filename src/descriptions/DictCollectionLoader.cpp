#include "descriptions/DictCollectionLoader.h"

#include "model/VdxKeywords.h"
#include "model/VdxKeywordsFile.h"
#include "model/VdxWWTsFile.h"
#include "product/ComError.h"
#include "product/KernelConnection.h"
#include "product/Paths.h"
#include "support/Format.h"
#include "support/Strings.h"

namespace quillon {
namespace {

constexpr int kProfileTitleId = 2002;    // "%s коллекция словарей "%s""
constexpr int kDictionaryTitleId = 1004; // "%s словарь "%s""
constexpr int kBaseTMTitleId = 12;       // "%s база ТМ "%s""

std::unique_ptr<InstalledDirections> RequireDirections(std::unique_ptr<InstalledDirections> directions) {
    if (!directions)
        throw ComError(E_UNEXPECTED, "the installed language directions cannot be had");
    return directions;
}

} // namespace

CDictCollectionLoader::CDictCollectionLoader(std::string setupIniPath, std::string raviriInfPath,
                                             std::string distributionFolder)
    : CDictCollectionLoader(std::move(setupIniPath), std::move(raviriInfPath), std::move(distributionFolder),
                            GetInstalledDirections(KernelConnection())) {}

CDictCollectionLoader::CDictCollectionLoader(std::string setupIniPath, std::string raviriInfPath,
                                             std::string distributionFolder,
                                             std::unique_ptr<InstalledDirections> directions)
    : setupIniPath_(std::move(setupIniPath)), raviriInfPath_(std::move(raviriInfPath)),
      distributionFolder_(std::move(distributionFolder)), distribution_(distributionFolder_),
      directions_(RequireDirections(std::move(directions))),
      setupIni_(std::make_unique<CXCryptedProfile2>()), raviriInf_(std::make_unique<CXCryptedProfile2>()),
      letter_(InterfaceLanguageLetter()) {}

CDictCollectionLoader::~CDictCollectionLoader() = default;

bool CDictCollectionLoader::LoadDescriptions() {
    if (loaded_)
        return true;
    try {
        // A store loads once; a retry after a partial failure starts from fresh stores.
        setupIni_ = std::make_unique<CXCryptedProfile2>();
        raviriInf_ = std::make_unique<CXCryptedProfile2>();
        if (!setupIni_->Load(setupIniPath_) || !raviriInf_->Load(raviriInfPath_))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    loaded_ = true;
    return true;
}

int CDictCollectionLoader::ListCollections(CDictDistrib& distribution) {
    if (!LoadDescriptions())
        return 0;
    auto& list = distribution.GetCollections();
    list.clear();
    for (const std::string& identifier : CRaviriInf(*raviriInf_, letter_).CollectionIds()) {
        CSmartPtr<CDictCollection> fresh(new CDictCollection);
        ReadCollectionBody(identifier, *fresh);
        list.push_back(*fresh); // a copy: names, identifiers and profiles
    }
    return static_cast<int>(list.size());
}

bool CDictCollectionLoader::ReadCollection(const std::string& identifier, CDictCollection& collection) {
    if (!LoadDescriptions())
        return false;
    if (identifier.empty())
        return true;
    ReadCollectionBody(identifier, collection);
    return true;
}

void CDictCollectionLoader::ReadCollectionBody(const std::string& identifier, CDictCollection& collection) {
    collection.SetDisplayName(CRaviriInf(*raviriInf_, letter_).CollectionDisplayName(identifier));
    collection.SetIdText(identifier);
    collection.SetNumericId(CollectionNumber(identifier));
    const CSetupIni setup(*setupIni_, letter_);
    collection.SetComment(setup.Comment());
    collection.SetCopyright(setup.Copyright());
    ReadProfiles(identifier, collection);
}

void CDictCollectionLoader::ReadProfiles(const std::string& identifier, CDictCollection& collection) {
    collection.GetProfiles().clear();
    collection.GetDictionaries().clear();
    collection.GetBasesTM().clear();
    const CSetupIni setup(*setupIni_, letter_);
    for (const std::string& key : CRaviriInf(*raviriInf_, letter_).ProfileKeys(identifier)) {
        CSmartPtr<CVdxTopicInfo> profile(new CVdxTopicInfo);
        // A profile without a valid direction stays, with only its size, file name and key.
        ReadItem(key, *profile, kProfileTitleId, PairForm::Masculine);
        if (!profile->GetFileNameOnCD().empty())
            profile->SetFilePath(DistributionPath(profile->GetFileNameOnCD()));

        const ProfileEntries entries = setup.ReadProfile(key);
        for (const std::string& dictionaryKey : entries.dictionaries)
            if (auto dictionary = FindOrReadDictionary(collection, dictionaryKey))
                profile->Dictionaries().push_back(dictionary);
        for (const std::string& baseKey : entries.baseTM)
            if (auto base = FindOrReadBaseTM(collection, baseKey))
                profile->BasesTM().push_back(base);

        std::int16_t index = 0; // preprocessors without "UID" are already left out
        for (const PreprocessorEntries& p : entries.preprocessors) {
            CSmartPtr<CVdxPreproc> preprocessor(new CVdxPreproc(p.key, p.uid));
            preprocessor->SetMask(p.mask);
            preprocessor->SetIndex(index++);
            profile->Preprocessors().push_back(preprocessor);
        }
        for (const AlgoSetting& setting : entries.algorithms)
            profile->Algorithms().push_back(CSmartPtr<CVdxAlgo>(new CVdxAlgo(setting.name, setting.value)));

        for (const std::string& text : entries.keywords)
            profile->Items().push_back(CSmartPtr<CVdxItemBase>(new CVdxKeywords(text)));
        if (!entries.keywordsFile.empty())
            if (std::string path = DistributionPath(entries.keywordsFile); !path.empty())
                profile->Items().push_back(CSmartPtr<CVdxItemBase>(new CVdxKeywordsFile(path)));
        if (!entries.wwtFile.empty())
            if (std::string path = DistributionPath(entries.wwtFile); !path.empty())
                profile->Items().push_back(CSmartPtr<CVdxItemBase>(new CVdxWWTsFile(path)));

        profile->SetShowVariants(entries.showTransVariants);
        profile->SetTranslitUnknown(entries.translitUnknown);
        collection.GetProfiles().push_back(profile);
    }
}

bool CDictCollectionLoader::ReadItem(const std::string& key, CVdxCollectionItem& item, int titleId, PairForm form) {
    const ItemEntries entries = CSetupIni(*setupIni_, letter_).ReadItem(key);
    item.SetSize(entries.size);
    item.SetFileNameOnCD(entries.nameOnCD);
    item.SetKey(key);
    const DirectionId direction = DirectionFromCode(entries.direction);
    if (direction == 0)
        return false;
    item.SetDirID(direction);
    item.SetName(entries.name);
    item.SetSupported(IsDirectionInstalled(*directions_, direction));
    item.SetFullName(FormatText(LoadString(titleId), {PairName(direction, form), entries.name}));
    item.SetSelected(true);
    return true;
}

CSmartPtr<CDictInfo> CDictCollectionLoader::FindOrReadDictionary(CDictCollection& collection, const std::string& key) {
    auto& table = collection.GetDictionaries();
    if (auto it = table.find(key); it != table.end())
        return it->second;
    if (!IsSafeFileName(key))
        return {};
    CSmartPtr<CDictInfo> dictionary(new CDictInfo);
    if (!ReadItem(key, *dictionary, kDictionaryTitleId, PairForm::Masculine))
        return {};
    table.emplace(key, dictionary);
    return dictionary;
}

CSmartPtr<CVdxBaseTM> CDictCollectionLoader::FindOrReadBaseTM(CDictCollection& collection, const std::string& key) {
    auto& table = collection.GetBasesTM();
    if (auto it = table.find(key); it != table.end())
        return it->second;
    if (!IsSafeFileName(key))
        return {};
    CSmartPtr<CVdxBaseTM> base(new CVdxBaseTM);
    const PairForm form = letter_ == "R" ? PairForm::Feminine : PairForm::Masculine;
    if (!ReadItem(key, *base, kBaseTMTitleId, form))
        return {};
    table.emplace(key, base);
    return base;
}

std::string CDictCollectionLoader::DistributionPath(const std::string& relative) const {
    return distribution_.Resolve(relative).value_or(std::string());
}

} // namespace quillon
