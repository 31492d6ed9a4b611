// The reference product's check of itself (kaldo-product verify).
#include "Product.h"

#include "ProductCore_p.h"
#include "support/Text.h"

#include <cstring>
#include <dirent.h>
#include <set>
#include <unistd.h>

namespace kaldo {

using namespace core;

std::vector<std::string> Product::Verify() {
    RootLock lock(root_);   // a settled state: no change of another process half-way
    std::vector<std::string> problems;
    auto check = [&](const std::string& what, const std::string& path, std::int64_t size, std::uint32_t crc) {
        std::uint32_t actualCrc = 0;
        std::int64_t actualSize = 0;
        if (!FileChecksum(path, actualCrc, actualSize))
            problems.push_back(what + ": file missing or unreadable: " + path);
        else if (actualSize != size || actualCrc != crc)
            problems.push_back(what + ": file damaged (checksum or size differs from the catalogue): " + path);
    };
    for (const auto& d : Directions()) {
        std::string error;
        if (!VerifyDictionary(GeneralDictionaryPath(d), error))
            problems.push_back("general dictionary of " + d.code + ": " + error);
    }
    for (const auto& d : Dictionaries()) {
        // A dictionary checks itself (head slots, body checksum, entries); the catalogue's figures
        // are its body's (slotted) or its whole file's (legacy).
        std::string error;
        DictionaryHeadInfo info;
        if (!VerifyDictionary(d.path, error, &info))
            problems.push_back("dictionary " + d.uid + ": " + (::access(d.path.c_str(), F_OK) != 0
                                                                 ? "file missing or unreadable: " + d.path
                                                                 : "file damaged: " + error));
        else if (info.layout == DictionaryLayout::Legacy)
            check("dictionary " + d.uid, d.path, d.size, d.crc);
        else if (static_cast<std::int64_t>(info.bodyLength) != d.size || info.bodyCrc != d.crc)
            problems.push_back("dictionary " + d.uid +
                               ": file damaged (checksum or size differs from the catalogue): " + d.path);
    }
    for (const auto& tm : TmBases())
        check("TM base " + tm.uid, root_ + "/" + tm.stored, tm.size, tm.crc);
    for (const auto& p : Column(db_.Query("SELECT path FROM pending_files")))
        problems.push_back("unfinished change: " + p);
    // A profile that names a dictionary or TM base the product does not hold is half installed.
    if (auto rows = db_.Query("SELECT c.name, r.kind, r.uid FROM collection_refs r JOIN collections c "
                              "ON c.id = r.collection WHERE (r.kind = 'dict' AND NOT EXISTS "
                              "(SELECT 1 FROM dictionaries d WHERE d.uid = r.uid)) OR (r.kind = 'tm' AND "
                              "NOT EXISTS (SELECT 1 FROM tm_bases t WHERE t.uid = r.uid)) ORDER BY c.id, r.rowid"))
        for (const auto& r : *rows)
            problems.push_back("profile \"" + AsText(r[0]) + "\": names a " +
                               (AsText(r[1]) == "dict" ? "dictionary" : "TM base") +
                               " the product does not hold: " + AsText(r[2]));
    // A file in a product folder that the catalogue does not name was imported half-way.
    std::set<std::string> known;
    for (const auto& d : Directions())
        known.insert(GeneralDictionaryPath(d));
    for (const auto& d : Dictionaries())
        known.insert(d.path);
    for (const auto& tm : TmBases())
        known.insert(root_ + "/" + tm.stored);
    // (Verify takes the lock: nothing in the temporary folder belongs to a change under way.)
    std::vector<std::string> folders{root_ + "/tm", root_ + "/" + kTempFolder};
    for (const auto& d : Directions())
        folders.push_back(d.folder);
    for (const auto& folder : folders)
        if (DIR* dir = ::opendir(folder.c_str())) {
            while (const dirent* e = ::readdir(dir))
                if (e->d_name[0] != '.' || std::strncmp(e->d_name, kTempPrefix, std::strlen(kTempPrefix)) == 0)
                    if (const std::string path = folder + "/" + e->d_name; !known.count(path))
                        problems.push_back("file not in the catalogue: " + path);
            ::closedir(dir);
        }
    const auto integrity = Column(db_.Query("PRAGMA integrity_check"));
    if (integrity != std::vector<std::string>{"ok"})
        for (const auto& line : integrity.empty() ? std::vector<std::string>{db_.LastError()} : integrity)
            problems.push_back("catalogue: " + line);
    return problems;
}

} // namespace kaldo
