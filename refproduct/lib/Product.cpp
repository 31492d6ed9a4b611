#include "Product.h"

#include "ProductCore_p.h"

#include "DictionaryFile.h"
#include "DirectionTable.h"
#include "ProductRegistry.h"
#include "ProfileXml.h"
#include "platform/posix/HiveRegistry.h"
#include "product/KernelService.h"
#include "product/Paths.h"
#include "product/ServiceIds.h"
#include "support/Crc32.h"
#include "support/Format.h"
#include "support/Guid.h"
#include "support/Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kaldo {

using namespace core;

bool IsFileHeld(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

bool FileChecksum(const std::string& path, std::uint32_t& crc, std::int64_t& size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    quillon::Crc32 sum;
    std::vector<char> buffer(1 << 16);
    size = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        sum.Update(buffer.data(), static_cast<std::size_t>(n));
        size += n;
    }
    ::close(fd);
    crc = sum.Value();
    return true;
}

// ---- set-up ----------------------------------------------------------------------------------

bool Product::Initialise(const InitOptions& options, std::string& error) {
    using quillon::RegistryRoot;
    using quillon::RegistryValue;
    const std::string& root = options.root;
    if (root.empty() || root.front() != '/') {
        error = "the product root must be a full path";
        return false;
    }
    std::vector<std::uint32_t> ids;
    for (const auto& code : options.directions) {
        const std::uint32_t id = code.size() == 2 ? DirectionIdFromCode(code) : 0;
        if (id == 0) {
            error = "unknown direction code \"" + code + "\"";
            return false;
        }
        ids.push_back(id);
    }
    for (const std::string& folder :
         {root, root + "/directions", root + "/tm", root + "/shared", root + "/" + kTempFolder})
        if (!MakeFolder(folder)) {
            error = folder + ": " + std::strerror(errno);
            return false;
        }
    auto db = Catalogue::Open(root + "/catalogue.db", error);
    if (!db)
        return false;
    {
        RootLock lock(root);
        for (const std::uint32_t id : ids) {
            const std::string code = DirectionCode(id);
            const std::string folder = root + "/directions/" + code;
            if (!MakeFolder(folder)) {
                error = folder + ": " + std::strerror(errno);
                return false;
            }
            const std::string general = folder + "/GENDICT." + code;
            if (!quillon::FileExists(general)) {
                DictionaryFile gen;
                gen.SetVersion(kPropertiesVersion);
                gen.SetLinkNumber(static_cast<std::int32_t>(RandomBits() & 0x7FFFFFFF) | 1);
                gen.SetLinkCode(static_cast<std::uint8_t>(1 + RandomBits() % 254));
                gen.SetFormatLevel(kLinkedFormatLevel);
                gen.SetDirectionId(id);
                gen.SetGuid(quillon::NewGuidString());
                gen.SetTitleBytes("GENDICT." + code);
                if (!WriteDictionaryFile(general, gen, error))
                    return false;
            }
            if (!db->Run("INSERT OR IGNORE INTO directions(id, code, position) "
                         "VALUES(?1, ?2, (SELECT COALESCE(MAX(position), -1) + 1 FROM directions))",
                         {std::int64_t(id), code})) {
                error = db->LastError();
                return false;
            }
        }
    }
    quillon::posix::HiveRegistry hive(options.hivePath);
    const long rc = hive.Update([&](quillon::posix::HiveDocument& doc) -> long {
        const auto lm = RegistryRoot::LocalMachine;
        long r = doc.SetValue(lm, kProductKey, "KldoLangID", RegistryValue::Dword(options.languageId));
        if (r == 0)
            r = doc.SetValue(lm, kFoldersKey, "SharedRoot", RegistryValue::String(root + "/shared"));
        if (r == 0)
            r = doc.SetValue(lm, kReferenceKey, "Root", RegistryValue::String(root));
        if (r == 0)
            r = doc.SetValue(lm, kDirectionsKey, "Path", RegistryValue::String(root + "/directions"));
        for (const std::uint32_t id : ids) {
            const std::string code = DirectionCode(id);
            const std::string key = std::string(kDirectionsKey) + "\\" + code;
            if (r == 0)
                r = doc.SetValue(lm, key, "DirID", RegistryValue::String(quillon::FormatText("0x%08X", {std::int64_t(id)})));
            if (r == 0)
                r = doc.SetValue(lm, key, "Prefix", RegistryValue::String(code));
        }
        if (r == 0 && !options.installer.empty())
            r = doc.SetValue(lm, kAppsKey, "Morvel", RegistryValue::String(options.installer));
        for (const auto clsid : {quillon::clsid::KernelService, quillon::clsid::DictFileService,
                                 quillon::clsid::AppHelperService, quillon::clsid::KernelCatalogService,
                                 quillon::clsid::ProductSettingsService})
            if (r == 0)
                r = doc.SetValue(RegistryRoot::ClassesRoot, "CLSID\\" + std::string(clsid) + "\\InprocServer32", "",
                                 RegistryValue::String(options.library));
        return r;
    });
    if (rc != 0) {
        error = options.hivePath + ": cannot write the registry (" + std::to_string(rc) + ") " + hive.Error();
        return false;
    }
    return true;
}

Product::Product(std::string root, std::string hivePath, Catalogue db)
    : root_(std::move(root)), hivePath_(std::move(hivePath)), db_(std::move(db)) {}

std::unique_ptr<Product> Product::OpenFromHive(const std::string& hivePath, std::string& error) {
    quillon::posix::HiveRegistry hive(hivePath);
    if (hive.Check() != quillon::regerr::Success) { // a FIFO, a folder, a malformed file
        error = hive.Error();
        return nullptr;
    }
    auto root = ReadString(hive, quillon::RegistryRoot::LocalMachine, kReferenceKey, "Root");
    if (!root || root->empty()) {
        error = "no reference product is registered in " + hivePath + " (run kaldo-product init)";
        return nullptr;
    }
    return OpenAt(*root, hivePath, error);
}

std::unique_ptr<Product> Product::OpenAt(const std::string& root, const std::string& hivePath, std::string& error) {
    if (!quillon::FileExists(root + "/catalogue.db")) {
        error = "no product catalogue in " + root + " (run kaldo-product init)";
        return nullptr;
    }
    auto db = Catalogue::Open(root + "/catalogue.db", error);
    if (!db)
        return nullptr;
    std::unique_ptr<Product> product(new Product(root, hivePath, std::move(*db)));
    product->Recover();
    return product;
}

void Product::Recover() {
    RootLock lock(root_);
    for (const auto& path : Column(db_.Query("SELECT path FROM pending_files"))) {
        ::unlink(path.c_str());
        db_.Run("DELETE FROM pending_files WHERE path = ?1", {path});
    }
    // Changes copy into the temporary folder alone: what a killed one left is there, however
    // much the product holds.
    const std::string folder = TempFolder();
    if (DIR* dir = ::opendir(folder.c_str())) {
        std::vector<std::string> stray;
        while (const dirent* e = ::readdir(dir))
            if (std::strncmp(e->d_name, kTempPrefix, std::strlen(kTempPrefix)) == 0)
                stray.push_back(folder + "/" + e->d_name);
        ::closedir(dir);
        for (const auto& path : stray)
            ::unlink(path.c_str());
    }
}

std::string Product::TempFolder() const {
    const std::string folder = root_ + "/" + kTempFolder;
    MakeFolder(folder);
    return folder;
}

// ---- reading ---------------------------------------------------------------------------------

std::chrono::milliseconds Product::ImportProgressPause() const {
    quillon::posix::HiveRegistry hive(hivePath_);
    const auto pause = ReadDword(hive, quillon::RegistryRoot::LocalMachine, kReferenceKey, "ImportProgressPause");
    return std::chrono::milliseconds(std::min<std::uint32_t>(pause.value_or(0), 10'000));
}

std::uint32_t Product::InterfaceLanguage() const {
    quillon::posix::HiveRegistry hive(hivePath_);
    return ReadDword(hive, quillon::RegistryRoot::LocalMachine, kProductKey, "KldoLangID").value_or(0x0419);
}

std::vector<DirectionInfo> Product::Directions() {
    std::vector<DirectionInfo> out;
    if (auto rows = db_.Query("SELECT id, code FROM directions ORDER BY position"))
        for (const auto& r : *rows)
            out.push_back({static_cast<std::uint32_t>(AsInt(r[0])), AsText(r[1]), root_ + "/directions/" + AsText(r[1])});
    return out;
}

std::optional<DirectionInfo> Product::FindDirection(std::uint32_t id) {
    for (auto& d : Directions())
        if (d.id == id)
            return d;
    return std::nullopt;
}

std::string Product::GeneralDictionaryPath(const DirectionInfo& direction) {
    return direction.folder + "/GENDICT." + direction.code;
}

std::vector<DictionaryRecord> Product::Dictionaries(std::optional<std::uint32_t> direction) {
    std::vector<DictionaryRecord> out;
    const std::string sql = "SELECT d.uid, d.direction, d.file, d.title, d.remarks, d.copyright, d.size, d.crc, "
                            "d.locked, r.code FROM dictionaries d JOIN directions r ON r.id = d.direction" +
                            std::string(direction ? " WHERE d.direction = ?1" : "") + " ORDER BY d.rowid";
    auto rows = direction ? db_.Query(sql, {std::int64_t(*direction)}) : db_.Query(sql);
    if (rows)
        for (const auto& r : *rows) {
            DictionaryRecord d;
            d.uid = AsText(r[0]);
            d.direction = static_cast<std::uint32_t>(AsInt(r[1]));
            d.file = AsText(r[2]);
            d.title = AsText(r[3]);
            d.remarks = AsText(r[4]);
            d.copyright = AsText(r[5]);
            d.size = AsInt(r[6]);
            d.crc = static_cast<std::uint32_t>(AsInt(r[7]));
            d.locked = AsInt(r[8]) != 0;
            d.path = root_ + "/directions/" + AsText(r[9]) + "/" + d.file;
            out.push_back(std::move(d));
        }
    return out;
}

std::vector<TmRecord> Product::TmBases() {
    std::vector<TmRecord> out;
    if (auto rows = db_.Query("SELECT uid, file, name, stored, direction, size, crc FROM tm_bases ORDER BY rowid"))
        for (const auto& r : *rows)
            out.push_back({AsText(r[0]), AsText(r[1]), AsText(r[2]), AsText(r[3]),
                           static_cast<std::uint32_t>(AsInt(r[4])), AsInt(r[5]), static_cast<std::uint32_t>(AsInt(r[6]))});
    return out;
}

const std::vector<CollectionEntry>& Product::CollectionIndex(std::uint32_t direction) {
    if (const auto stamp = db_.ChangeStamp(); stamp != indexStamp_) {
        collectionIndex_.clear();
        indexStamp_ = stamp;
    }
    const auto found = collectionIndex_.find(direction);
    if (found != collectionIndex_.end())
        return found->second;
    std::vector<CollectionEntry>& entries = collectionIndex_[direction];
    if (auto rows = db_.Query("SELECT id, name, state FROM collections WHERE direction = ?1 ORDER BY id",
                              {std::int64_t(direction)}))
        for (const auto& r : *rows)
            entries.push_back({AsInt(r[0]), AsText(r[1]), static_cast<std::int32_t>(AsInt(r[2]))});
    return entries;
}

std::vector<CollectionRecord> Product::Collections(std::optional<std::uint32_t> direction) {
    std::vector<CollectionRecord> out;
    const std::string sql = "SELECT id, direction, name, full_name, state, xml FROM collections" +
                            std::string(direction ? " WHERE direction = ?1" : "") + " ORDER BY direction, id";
    auto rows = direction ? db_.Query(sql, {std::int64_t(*direction)}) : db_.Query(sql);
    if (!rows)
        return out;
    for (const auto& r : *rows) {
        CollectionRecord c;
        c.id = AsInt(r[0]);
        c.direction = static_cast<std::uint32_t>(AsInt(r[1]));
        c.name = AsText(r[2]);
        c.fullName = AsText(r[3]);
        c.state = static_cast<std::int32_t>(AsInt(r[4]));
        c.xml = AsText(r[5]);
        out.push_back(std::move(c));
    }
    // Their references in one pass.
    std::map<std::int64_t, CollectionRecord*> byId;
    for (CollectionRecord& c : out)
        byId[c.id] = &c;
    const std::string refs = "SELECT r.collection, r.kind, r.uid FROM collection_refs r" +
                             std::string(direction ? " JOIN collections c ON c.id = r.collection WHERE c.direction = ?1" : "") +
                             " ORDER BY r.rowid";
    if (auto refRows = direction ? db_.Query(refs, {std::int64_t(*direction)}) : db_.Query(refs))
        for (const auto& r : *refRows)
            if (const auto found = byId.find(AsInt(r[0])); found != byId.end())
                (AsText(r[1]) == "dict" ? found->second->dictionaries : found->second->tmBases).push_back(AsText(r[2]));
    return out;
}

bool Product::CommitFileRemovals(const std::vector<std::string>& paths) {
    bool ok = true;
    for (const auto& p : paths) {
        if (::unlink(p.c_str()) != 0 && errno != ENOENT)
            ok = false;
        db_.Run("DELETE FROM pending_files WHERE path = ?1", {p});
    }
    return ok;
}

} // namespace kaldo
