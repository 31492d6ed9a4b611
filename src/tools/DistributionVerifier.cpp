#include "tools/DistributionVerifier.h"

#include "descriptions/DescriptionFiles.h"
#include "descriptions/LanguageDirections.h"
#include "descriptions/ProfileContainer.h"
#include "distribution/KldoInifileManager.h"
#include "distribution/SourceSearch.h"
#include "plan/PackedFileCheck.h"
#include "platform/Ports.h"
#include "platform/posix/PosixPorts.h"
#include "product/DistributionFolder.h"
#include "product/Paths.h"
#include "support/Guid.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>

namespace quillon::dist {
namespace {

using Severity = Finding::Severity;

// A declared size is far from the real one when they differ by more than half the real size
// and by more than this.
constexpr std::uint64_t kSizeSlack = 4096;

bool SizeFar(std::int64_t declared, std::uint64_t real) {
    const std::uint64_t d = static_cast<std::uint64_t>(std::max<std::int64_t>(declared, 0));
    const std::uint64_t difference = d > real ? d - real : real - d;
    return difference > kSizeSlack && difference > real / 2;
}

std::uint64_t FileSize(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? std::uint64_t(st.st_size) : 0;
}

class Verifier {
public:
    Verifier(const DictionaryFormat* format, VerifyReport& report)
        : format_(format), report_(report) {}

    void Run(const std::string& folder);

private:
    void Add(Severity severity, std::string check, std::string section, std::string file,
             std::string text) {
        report_.findings.push_back(
            {severity, std::move(check), std::move(section), std::move(file), std::move(text)});
    }
    bool LoadStores(const CKldoInifileManager& copies);
    void CheckProfile(const std::string& key);
    // Whether the item's section exists, its key is safe (dictionaries and TM bases) and its
    // direction valid; reports the first of these that fails. Answers the direction (0: unusable).
    DirectionId CheckItemSection(const std::string& key, const char* what, bool fileKey);
    void CheckDictionary(const std::string& key);
    void CheckBaseTM(const std::string& key);
    void CheckPreprocessor(const std::string& profile, const std::string& key);
    // A file the descriptions name, opened as the installer opens it (below the folder, no link
    // followed, a regular file); an empty descriptor (reported) when it cannot be.
    FileDescriptor NamedFile(const std::string& section, const std::string& relative, const char* what,
                             const char* consequence);
    void CheckSize(const std::string& section, const std::string& file, std::int64_t declared,
                   std::uint64_t real);
    void CheckUnreferenced();

    const DictionaryFormat* format_;
    VerifyReport& report_;
    std::string folder_;
    std::unique_ptr<DistributionFolder> distribution_;
    std::string letter_;
    CXCryptedProfile2 setup_{1}, raviri_{1};
    std::set<std::string> profiles_, dictionaries_, basesTM_, preprocessors_;
    std::map<std::string, DirectionId> directions_; // dictionaries and TM bases checked
};

void Verifier::Run(const std::string& folder) {
    std::string root = folder;
    AppendBackslash(root);
    CKldoInifileManager copies;
    if (!copies.Prepare(root) && !copies.Prepare(DictsFolder(root))) {
        Add(Severity::Error, "descriptions", "", "",
            "no description files that load (RAVIRI.INF and SETUP.INI, or a setup.inf holding "
            "them) in " +
                folder + " or its DICTS folder: the installer shows message 2040");
        return;
    }
    folder_ = copies.GetSourceFolder();
    distribution_ = std::make_unique<DistributionFolder>(folder_);
    report_.folder = folder_;
    letter_ = InterfaceLanguageLetter();
    if (!LoadStores(copies))
        return;

    CRaviriInf raviri(raviri_, letter_);
    const auto ids = raviri.CollectionIds();
    report_.collections = static_cast<int>(ids.size());
    if (ids.empty())
        Add(Severity::Error, "no-collection", "", "RAVIRI.INF",
            "RAVIRI.INF holds no collection (no \"… - templates\" section): message 2017");
    for (const std::string& id : ids) {
        const auto keys = raviri.ProfileKeys(id);
        if (keys.empty())
            Add(Severity::Warning, "collection-empty", id + std::string(kTemplatesSuffix),
                "RAVIRI.INF",
                "collection " + id + " lists no profile: the installer never offers it");
        for (const std::string& key : keys)
            if (profiles_.insert(key).second)
                CheckProfile(key);
    }
    CheckUnreferenced();
}

bool Verifier::LoadStores(const CKldoInifileManager& copies) {
    const bool fromSetupInf =
        copies.GetMainDescriptionPath().rfind(copies.GetWorkingFolder(), 0) == 0 &&
        !copies.GetWorkingFolder().empty();
    if (fromSetupInf) {
        if (const auto plain = ResolveBelow(folder_, "RAVIRI.INF"); plain && FileExists(*plain))
            Add(Severity::Warning, "setup-inf-shadow", "", "RAVIRI.INF",
                "RAVIRI.INF beside setup.inf: the installer reads setup.inf and ignores it");
    }
    if (!raviri_.Load(copies.GetMainDescriptionPath())) {
        Add(Severity::Error, "descriptions", "",
            fromSetupInf ? "setup.inf:RAVIRI.INF" : "RAVIRI.INF",
            std::string("RAVIRI.INF does not load (") + ProfileLoadErrorText(raviri_.LastError()) +
                "): message 2001");
        return false;
    }
    if (copies.GetSetupIniPath().empty()) {
        Add(Severity::Error, "descriptions", "", fromSetupInf ? "setup.inf" : "SETUP.INI",
            fromSetupInf ? "setup.inf holds no SETUP.INI stream: message 2001"
                         : "no SETUP.INI beside RAVIRI.INF: message 2001");
        return false;
    }
    if (!setup_.Load(copies.GetSetupIniPath())) {
        Add(Severity::Error, "descriptions", "", fromSetupInf ? "setup.inf:SETUP.INI" : "SETUP.INI",
            std::string("SETUP.INI does not load (") + ProfileLoadErrorText(setup_.LastError()) +
                "): message 2001");
        return false;
    }
    return true;
}

DirectionId Verifier::CheckItemSection(const std::string& key, const char* what, bool fileKey) {
    if (fileKey && !IsSafeFileName(key)) {
        Add(Severity::Error, "key", key, "",
            std::string(what) + " key \"" + key +
                "\" is not a safe file name: the installer leaves it out of every profile");
        return 0;
    }
    if (setup_.GetEntryCount(key) == 0) {
        Add(Severity::Error, "section", key, "SETUP.INI",
            std::string(what) + " \"" + key + "\" has no section in SETUP.INI: the installer " +
                (fileKey ? "leaves it out of every profile"
                         : "reads it without a direction and never installs it"));
        return 0;
    }
    const std::string code = setup_.GetString(key, "Direction");
    const DirectionId direction = ParseDirectionCode(code) ? DirectionFromCode(code) : 0;
    if (direction == 0)
        Add(Severity::Error, "direction", key, "SETUP.INI",
            std::string(what) + " \"" + key + "\" has the direction code \"" + code +
                "\", which no table knows: the installer " +
                (fileKey ? "leaves it out of every profile" : "never installs it"));
    return direction;
}

void Verifier::CheckProfile(const std::string& key) {
    ++report_.profiles;
    const DirectionId direction = CheckItemSection(key, "profile", false);
    if (setup_.GetEntryCount(key) == 0)
        return;
    CSetupIni setup(setup_, letter_);
    const ItemEntries item = setup.ReadItem(key);
    if (item.name.empty())
        Add(Severity::Error, "profile-name", key, "SETUP.INI",
            "profile \"" + key + "\" has no Name." + letter_ +
                ": the kernel refuses a profile without a name (message 2006)");
    if (!item.nameOnCD.empty())
        if (const FileDescriptor file = NamedFile(key, item.nameOnCD, "profile file",
                                                  "the kernel is given a file that is not there"))
            CheckSize(key, item.nameOnCD, item.size, FileSize(file.Get()));

    const ProfileEntries entries = setup.ReadProfile(key);
    for (const std::string& d : entries.dictionaries) {
        if (dictionaries_.insert(d).second)
            CheckDictionary(d);
        const auto found = directions_.find(d);
        if (direction != 0 && found != directions_.end() && found->second != 0 &&
            found->second != direction)
            Add(Severity::Warning, "direction-mismatch", key, "",
                "profile \"" + key + "\" (" + CodeFromDirection(direction) +
                    ") lists dictionary \"" + d + "\" (" + CodeFromDirection(found->second) +
                    "): the installer skips it with message 2025");
    }
    for (const std::string& t : entries.baseTM)
        if (basesTM_.insert(t).second)
            CheckBaseTM(t);
    for (const std::string& p : entries.preprocessorKeys)
        if (preprocessors_.insert(p).second)
            CheckPreprocessor(key, p);
    if (!entries.keywordsFile.empty())
        NamedFile(key, entries.keywordsFile, "keywords file",
                  "the kernel is given a file that is not there");
    if (!entries.wwtFile.empty())
        NamedFile(key, entries.wwtFile, "WWT file", "the kernel is given a file that is not there");
}

void Verifier::CheckDictionary(const std::string& key) {
    ++report_.dictionaries;
    const DirectionId direction = CheckItemSection(key, "dictionary", true);
    directions_[key] = direction;
    if (direction == 0)
        return;
    const ItemEntries item = CSetupIni(setup_, letter_).ReadItem(key);
    if (item.nameOnCD.empty()) {
        Add(Severity::Error, "file-missing", key, "",
            "dictionary \"" + key + "\" names no packed file (NameOnCD): message 1013");
        return;
    }
    const FileDescriptor file = NamedFile(key, item.nameOnCD, "packed dictionary", "message 1013");
    if (!file)
        return;
    const PackedFileCheck packed = CheckPackedFile(file.Get(), format_ ? format_->HeadSize() : 0);
    report_.packedBytes += packed.packedSize;
    report_.unpackedBytes += packed.unpackedSize;
    switch (packed.result) {
    case kUnpackOk:
        break;
    case kUnpackBadHeader:
        Add(Severity::Error, "packed-header", key, item.nameOnCD,
            item.nameOnCD +
                " is not a packed file (short header, wrong magic or version): message 1030");
        return;
    case kUnpackChecksumError:
        Add(Severity::Error, "packed-checksum", key, item.nameOnCD,
            item.nameOnCD + " does not decode to the data its checksum describes: message 1016");
        return;
    default:
        Add(Severity::Error, "file-missing", key, item.nameOnCD,
            item.nameOnCD + " cannot be read: message 1013");
        return;
    }
    if (format_) {
        const DictionaryIdentity id = format_->Identify(packed.head.data(), packed.head.size(),
                                                        packed.unpackedSize, packed.crc);
        if (!id.valid) {
            Add(Severity::Error, "dictionary-format", key, item.nameOnCD,
                item.nameOnCD + " holds no dictionary file of the product: " + id.problem +
                    " (message 1013)");
            return;
        }
        if (id.version < 2) {
            Add(Severity::Error, "dictionary-version", key, item.nameOnCD,
                item.nameOnCD + " holds a dictionary of format version " +
                    std::to_string(id.version) + ": message 57352");
            return;
        }
        if (id.direction != direction) {
            Add(Severity::Error, "dictionary-direction", key, item.nameOnCD,
                item.nameOnCD + " holds a dictionary of direction " +
                    (id.direction ? CodeFromDirection(id.direction) : std::string("(none)")) +
                    ", its section declares " + CodeFromDirection(direction) + ": message 2025");
            return;
        }
        if (!IsGuidString(id.guid)) {
            Add(Severity::Error, "dictionary-guid", key, item.nameOnCD,
                item.nameOnCD + " holds a dictionary without a valid identifier: the kernel refuses it "
                                "(message 1032)");
            return;
        }
        if (!id.bodyIntact) {
            Add(Severity::Error, "dictionary-body", key, item.nameOnCD,
                item.nameOnCD + ": " + id.problem + ": the kernel's import refuses it (message 57364)");
            return;
        }
    }
    CheckSize(key, item.nameOnCD, item.size, packed.unpackedSize);
}

void Verifier::CheckBaseTM(const std::string& key) {
    ++report_.basesTM;
    const DirectionId direction = CheckItemSection(key, "TM base", true);
    directions_[key] = direction;
    if (direction == 0)
        return;
    const ItemEntries item = CSetupIni(setup_, letter_).ReadItem(key);
    if (item.nameOnCD.empty()) {
        Add(Severity::Error, "file-missing", key, "",
            "TM base \"" + key + "\" names no file (NameOnCD): the kernel cannot open it");
        return;
    }
    if (const FileDescriptor file = NamedFile(key, item.nameOnCD, "TM base", "the kernel cannot open it"))
        CheckSize(key, item.nameOnCD, item.size, FileSize(file.Get()));
}

void Verifier::CheckPreprocessor(const std::string& profile, const std::string& key) {
    if (CSetupIni(setup_, letter_).PreprocessorUid(key).empty())
        Add(Severity::Warning, "preprocessor", key, "SETUP.INI",
            "preprocessor \"" + key + "\" (profile \"" + profile +
                "\") has no UID: the installer leaves it out");
}

FileDescriptor Verifier::NamedFile(const std::string& section, const std::string& relative, const char* what,
                                   const char* consequence) {
    FileDescriptor file = distribution_->Open(relative);
    if (file)
        return file;
    switch (errno) {
    case EINVAL:
    case ELOOP:
        Add(Severity::Error, "path", section, relative,
            std::string(what) + " " + relative +
                " would lie outside the distribution, or a symbolic link lies on its way: it counts as "
                "missing (" + consequence + ")");
        break;
    case EISDIR:
    case ENODEV:
        Add(Severity::Error, "not-a-file", section, relative,
            std::string(what) + " " + relative + " is not a regular file (" + consequence + ")");
        break;
    default:
        Add(Severity::Error, "file-missing", section, relative,
            std::string(what) + " " + relative + " is missing (" + consequence + ")");
        break;
    }
    return {};
}

void Verifier::CheckSize(const std::string& section, const std::string& file, std::int64_t declared,
                         std::uint64_t real) {
    if (SizeFar(declared, real))
        Add(Severity::Warning, "size", section, file,
            "\"" + section + "\" declares Size " + std::to_string(declared) + ", its file takes " +
                std::to_string(real) + " bytes: the profile page's disk figures will be off");
}

void Verifier::CheckUnreferenced() {
    for (std::int32_t i = 0; i < setup_.GetSectionCount(); ++i) {
        const std::string name = setup_.GetSectionName(i);
        if (name == kInfoSection || profiles_.count(name) || dictionaries_.count(name) ||
            basesTM_.count(name) || preprocessors_.count(name))
            continue;
        Add(Severity::Warning, "unreferenced", name, "SETUP.INI",
            "SETUP.INI section \"" + name + "\" is referenced by no collection or profile");
    }
    const auto ids = CRaviriInf(raviri_, letter_).CollectionIds();
    const std::set<std::string> listed(ids.begin(), ids.end());
    for (std::int32_t i = 0; i < raviri_.GetSectionCount(); ++i) {
        const std::string name = raviri_.GetSectionName(i);
        const auto ends = [&](std::string_view suffix) {
            return name.size() > suffix.size() && name.ends_with(suffix) &&
                   listed.count(name.substr(0, name.size() - suffix.size()));
        };
        if (ends(kTemplatesSuffix) || ends(kCollectionSuffix))
            continue;
        Add(Severity::Warning, "unreferenced", name, "RAVIRI.INF",
            "RAVIRI.INF section \"" + name + "\" belongs to no collection");
    }
}

} // namespace

int VerifyReport::Errors() const {
    int n = 0;
    for (const Finding& f : findings)
        n += f.severity == Severity::Error;
    return n;
}

int VerifyReport::Warnings() const {
    return static_cast<int>(findings.size()) - Errors();
}

const char* SeverityName(Finding::Severity severity) {
    return severity == Severity::Error ? "error" : "warning";
}

VerifyReport VerifyDistribution(const std::string& folder, const DictionaryFormat* format) {
    VerifyReport report;
    report.folder = folder;
    const auto start = std::chrono::steady_clock::now();
    if (!CurrentPorts().files) // a setup.inf is unpacked into working copies, as the installer does
        posix::InstallPosixPorts();
    Verifier(format, report).Run(folder);
    report.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return report;
}

} // namespace quillon::dist
