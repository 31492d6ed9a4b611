#pragma once
// The reference product's persistent state under its root folder, and every change the
// kernel service makes to it (docs/kaldo-product.md, docs/refproduct-catalogue.md).
//
// Changes are serialised between processes by an exclusive lock on "<root>/.lock". A file
// enters the product under a temporary name, is named in pending_files, renamed into place and
// catalogued in one transaction that also clears its pending entry; a file leaves it the other
// way round. Recover() (run whenever the product is opened) deletes stray temporaries and the
// files of changes that never committed, so a process killed at any point leaves no
// half-registered object behind.
#include "Catalogue.h"
#include "product/HResult.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {
class ProgressReceiver;
}

namespace kaldo {

using quillon::HRESULT;

struct DirectionInfo {
    std::uint32_t id = 0;
    std::string code;     // "ER"
    std::string folder;   // full path, no trailing '/'
};

struct DictionaryRecord {
    std::string uid, file, title, remarks, copyright;
    std::uint32_t direction = 0;
    std::int64_t size = 0;
    std::uint32_t crc = 0;
    bool locked = false;
    std::string path;     // full path of the installed file
};

struct TmRecord {
    std::string uid, file, name, stored;   // stored: path below the root
    std::uint32_t direction = 0;
    std::int64_t size = 0;
    std::uint32_t crc = 0;
};

struct CollectionRecord {
    std::int64_t id = 0;
    std::uint32_t direction = 0;
    std::string name, fullName, xml;
    std::int32_t state = 0;
    std::vector<std::string> dictionaries, tmBases;   // referenced UIDs
};

// One installed collection as the kernel's catalogue lists it: no XML, no references.
struct CollectionEntry {
    std::int64_t id = 0;
    std::string name;
    std::int32_t state = 0;
};

struct InitOptions {
    std::string root;
    std::vector<std::string> directions{"ER", "RE"};
    std::uint32_t languageId = 0x0419;
    std::string library;     // full path of the service library to register
    std::string installer;   // "Morvel" value; empty keeps what the hive holds
    std::string hivePath;
};

class Product {
public:
    // Creates or completes a product root and writes its registry keys; running it again
    // changes nothing that exists (new directions are added).
    static bool Initialise(const InitOptions& options, std::string& error);
    // The product whose root the hive records ("Root" under the Reference key).
    static std::unique_ptr<Product> OpenFromHive(const std::string& hivePath, std::string& error);
    static std::unique_ptr<Product> OpenAt(const std::string& root, const std::string& hivePath, std::string& error);

    const std::string& Root() const { return root_; }
    const std::string& HivePath() const { return hivePath_; }
    Catalogue& Db() { return db_; }

    std::vector<DirectionInfo> Directions();
    // "ImportProgressPause" (DWORD, milliseconds, at most 10 000): how long an import waits
    // before each progress report, as on a slow medium; 0 when not configured.
    std::chrono::milliseconds ImportProgressPause() const;
    // The product's interface language ("KldoLangID"); Russian (0x0419) when not set. Direction
    // names are given in it.
    std::uint32_t InterfaceLanguage() const;
    std::optional<DirectionInfo> FindDirection(std::uint32_t id);
    static std::string GeneralDictionaryPath(const DirectionInfo& direction);

    std::vector<DictionaryRecord> Dictionaries(std::optional<std::uint32_t> direction = std::nullopt);
    std::vector<TmRecord> TmBases();
    std::vector<CollectionRecord> Collections(std::optional<std::uint32_t> direction = std::nullopt);
    // The collections of a direction in the order the kernel lists them (by id): their names
    // and states. Made with one query when the catalogue changed since the last call (any
    // process's change), answered from memory otherwise: a call costs one statement, whatever
    // the product holds.
    const std::vector<CollectionEntry>& CollectionIndex(std::uint32_t direction);

    // Import: KLDO_E_CANNOT_OPEN (unreadable or not a dictionary file), E_INVALIDARG (direction
    // not installed or not the file's), KLDO_E_CONVERTER (version below 2, link attributes or
    // format level other than the general dictionary's, no GUID), KLDO_E_LOCKED (the installed
    // dictionary of that name is locked or held open), KLDO_E_DICT_EXISTS (same file name or GUID
    // installed), E_ABORT (the progress receiver answered 1), E_FAIL (disk or catalogue failure).
    HRESULT ImportDictionary(const std::string& path, std::uint32_t directionId, quillon::ProgressReceiver* progress,
                             std::string& detail);
    // S_OK removed, S_FALSE none of that name, KLDO_E_LOCKED locked or held open.
    HRESULT DeleteDictionary(const std::string& path, std::uint32_t directionId, std::string& detail);
    // S_OK installed (result "<UID>{...}</UID>"), S_FALSE kept the existing one (mode 0 or 2),
    // E_INVALIDARG bad XML / file name / mode, KLDO_E_CANNOT_OPEN unreadable source.
    HRESULT InstallBaseTM(const std::string& source, const std::string& xml, std::int32_t replaceMode,
                          std::string& result, std::string& detail);
    // S_OK installed or replaced, S_FALSE kept the existing one (mode 0: empty text; mode 2: a
    // text saying so), E_INVALIDARG bad XML, unknown direction or bad mode, KLDO_E_CANNOT_OPEN a
    // dictionary or TM base it names is not installed (checked under the lock removals take, so
    // no profile is registered naming what a removal just took away).
    HRESULT InstallProfile(const std::string& xml, std::int32_t replaceMode, std::string& result, std::string& detail);
    // Removes the collection and every dictionary and TM base no other collection references.
    // E_INVALIDARG bad index, KLDO_E_IN_USE one of those dictionaries is locked or held open.
    HRESULT RemoveCollection(std::uint32_t directionId, std::uint16_t index, std::string& detail);
    HRESULT RemoveDirectionCollections(std::uint32_t directionId, std::string& detail);
    HRESULT RemoveAllCollections(std::string& detail);

    // Marks an installed dictionary (by UID or file name) locked; false when none matches.
    bool SetLocked(const std::string& dictionary, bool locked);
    // Problems found: missing files, size or checksum mismatches, unreadable general dictionaries,
    // files no catalogue row names, a catalogue that fails its integrity check. Waits for the
    // product lock.
    std::vector<std::string> Verify();
    // Deletes stray temporaries and the files of unfinished changes (under the product lock).
    void Recover();
    // The folder changes copy their files into before renaming them into place ("<root>/.tmp",
    // made when missing).
    std::string TempFolder() const;

private:
    Product(std::string root, std::string hivePath, Catalogue db);
    HRESULT RemoveCollections(const std::vector<std::int64_t>& victims, std::string& detail);
    bool CommitFileRemovals(const std::vector<std::string>& paths);

    std::string root_;
    std::string hivePath_;
    Catalogue db_;
    std::pair<std::int64_t, std::int64_t> indexStamp_{-2, -2};
    std::map<std::uint32_t, std::vector<CollectionEntry>> collectionIndex_;
};

// True when another open file description holds a lock on `path` (the product's own readers
// hold a shared lock while a dictionary is open).
bool IsFileHeld(const std::string& path);
// CRC-32 and size of a file; false when it cannot be read.
bool FileChecksum(const std::string& path, std::uint32_t& crc, std::int64_t& size);

} // namespace kaldo
