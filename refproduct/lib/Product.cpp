#include "Product.h"

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

using quillon::E_ABORT;
using quillon::E_FAIL;
using quillon::E_INVALIDARG;
using quillon::KLDO_E_CANNOT_OPEN;
using quillon::KLDO_E_CONVERTER;
using quillon::KLDO_E_DICT_EXISTS;
using quillon::KLDO_E_IN_USE;
using quillon::KLDO_E_LOCKED;
using quillon::S_FALSE;
using quillon::S_OK;

namespace {

constexpr const char* kTempPrefix = ".kaldo-tmp-";
constexpr std::int32_t kLinkedFormatLevel = 72;

// The exclusive lock that serialises every change of the product between processes. flock
// locks belong to an open file description, so a call chain must never take it twice.
class RootLock {
public:
    explicit RootLock(const std::string& root) {
        fd_ = ::open((root + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~RootLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RootLock(const RootLock&) = delete;
    RootLock& operator=(const RootLock&) = delete;

private:
    int fd_ = -1;
};

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string PropertyText(const DictionaryHead& file, const char* name) {
    const auto* bytes = file.FindProperty(name);
    return bytes ? quillon::Utf16LeBytesToUtf8(bytes->data(), bytes->size()) : std::string();
}

std::string TitleOf(const DictionaryHead& file) {
    std::string title = PropertyText(file, "title_w");
    return title.empty() ? quillon::Cp1251ToUtf8(file.TitleBytes()) : title;
}

// Reports progress, first waiting `pause` (a slow medium, configured for tests and screenshots
// of a running import). True when the receiver asks to stop.
bool Report(quillon::ProgressReceiver* progress, std::uint32_t percent, std::chrono::milliseconds pause) {
    if (!progress)
        return false;
    if (pause.count() > 0)
        std::this_thread::sleep_for(pause);
    return progress->OnProgressMessage(percent, 100) == 1;
}

// Copies `source` to a new temporary file in `folder` in bounded chunks, reporting progress
// (position of 100) whenever the percentage moves. `crc` is the CRC-32 of the bytes from
// `crcFrom` on (a dictionary's body, or the whole file), `size` the bytes copied. On failure
// nothing is left behind.
enum class CopyResult { Done, CannotOpen, Aborted, Failed };
CopyResult CopyToTemporary(const std::string& source, const std::string& folder, quillon::ProgressReceiver* progress,
                           std::chrono::milliseconds pause, std::uint64_t crcFrom, std::string& temp,
                           std::uint32_t& crc, std::int64_t& size, std::string& error) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (in < 0 || ::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = source + ": " + std::strerror(errno ? errno : EINVAL);
        if (in >= 0)
            ::close(in);
        return CopyResult::CannotOpen;
    }
    temp = folder + "/" + kTempPrefix + "XXXXXX";
    const int out = ::mkstemp(temp.data());
    if (out < 0) {
        error = folder + ": " + std::strerror(errno);
        ::close(in);
        return CopyResult::Failed;
    }
    const auto total = static_cast<std::uint64_t>(st.st_size);
    std::uint64_t done = 0;
    quillon::Crc32 sum;
    // Steps of at most 1 MiB; a small file takes one small step (the buffer is not zeroed).
    const std::size_t step = static_cast<std::size_t>(std::clamp<std::uint64_t>(total, 4096, 1u << 20));
    const std::unique_ptr<char[]> buffer(new char[step]);
    CopyResult result = CopyResult::Done;
    std::uint32_t reported = 0;
    if (Report(progress, 0, pause))
        result = CopyResult::Aborted;
    while (result == CopyResult::Done) {
        const ssize_t n = ::read(in, buffer.get(), step);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = source + ": " + std::strerror(errno);
            result = CopyResult::Failed;
            break;
        }
        if (n == 0)
            break;
        for (ssize_t off = 0; off < n;) {
            const ssize_t w = ::write(out, buffer.get() + off, static_cast<std::size_t>(n - off));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                error = temp + ": " + std::strerror(errno);
                result = CopyResult::Failed;
                break;
            }
            off += w;
        }
        const std::uint64_t chunkEnd = done + static_cast<std::uint64_t>(n);
        if (chunkEnd > crcFrom) {
            const std::uint64_t skip = crcFrom > done ? crcFrom - done : 0;
            sum.Update(buffer.get() + skip, static_cast<std::size_t>(chunkEnd - done - skip));
        }
        done = chunkEnd;
        const auto percent = static_cast<std::uint32_t>(total ? std::min<std::uint64_t>(done * 100 / total, 100) : 100);
        if (result == CopyResult::Done && percent != reported) {
            reported = percent;
            if (Report(progress, percent, pause))
                result = CopyResult::Aborted;
        }
    }
    if (result == CopyResult::Done && (::fchmod(out, 0644) != 0 || ::fsync(out) != 0)) {
        error = temp + ": " + std::strerror(errno);
        result = CopyResult::Failed;
    }
    ::close(in);
    if (::close(out) != 0 && result == CopyResult::Done)
        result = CopyResult::Failed;
    if (result != CopyResult::Done)
        ::unlink(temp.c_str());
    crc = sum.Value();
    size = static_cast<std::int64_t>(done);
    return result;
}

std::uint32_t RandomBits() {
    std::random_device rd;
    return rd();
}

std::vector<std::string> Column(const std::optional<std::vector<SqlRow>>& rows) {
    std::vector<std::string> out;
    if (rows)
        for (const auto& r : *rows)
            out.push_back(AsText(r.at(0)));
    return out;
}

} // namespace

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
    for (const std::string& folder : {root, root + "/directions", root + "/tm", root + "/shared"})
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
    std::vector<std::string> folders{root_ + "/tm"};
    for (const auto& d : Directions())
        folders.push_back(d.folder);
    for (const auto& folder : folders) {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir)
            continue;
        std::vector<std::string> stray;
        while (const dirent* e = ::readdir(dir))
            if (std::strncmp(e->d_name, kTempPrefix, std::strlen(kTempPrefix)) == 0)
                stray.push_back(folder + "/" + e->d_name);
        ::closedir(dir);
        for (const auto& path : stray)
            ::unlink(path.c_str());
    }
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
        c.dictionaries = Column(db_.Query("SELECT uid FROM collection_refs WHERE collection = ?1 AND kind = 'dict' "
                                          "ORDER BY rowid", {c.id}));
        c.tmBases = Column(db_.Query("SELECT uid FROM collection_refs WHERE collection = ?1 AND kind = 'tm' "
                                     "ORDER BY rowid", {c.id}));
        out.push_back(std::move(c));
    }
    return out;
}

// ---- dictionaries ----------------------------------------------------------------------------

HRESULT Product::ImportDictionary(const std::string& path, std::uint32_t directionId,
                                  quillon::ProgressReceiver* progress, std::string& detail) {
    // The head only: the body is checked once, as it is copied.
    auto info = ReadDictionaryHead(path, detail);
    if (!info)
        return KLDO_E_CANNOT_OPEN;
    const DictionaryHead* file = &info->head;
    const auto direction = FindDirection(directionId);
    if (!direction) {
        detail = quillon::FormatText("direction 0x%08X is not installed", {std::int64_t(directionId)});
        return E_INVALIDARG;
    }
    if (file->DirectionId() != 0 && file->DirectionId() != directionId) {
        detail = quillon::FormatText("the dictionary belongs to direction 0x%08X", {std::int64_t(file->DirectionId())});
        return E_INVALIDARG;
    }
    if (file->Version() < 2) {
        detail = "format version " + std::to_string(file->Version()) + " cannot be converted";
        return KLDO_E_CONVERTER;
    }
    auto generalInfo = ReadDictionaryHead(GeneralDictionaryPath(*direction), detail);
    if (!generalInfo)
        return KLDO_E_CANNOT_OPEN;
    const DictionaryHead* general = &generalInfo->head;
    if (file->LinkNumber() != general->LinkNumber() || file->LinkCode() != general->LinkCode() ||
        file->FormatLevel() != general->FormatLevel()) {
        detail = "the dictionary is not linked to the general dictionary of " + direction->code;
        return KLDO_E_CONVERTER;
    }
    const std::string guid = file->Guid();
    if (!quillon::IsGuidString(guid)) {
        detail = "the dictionary carries no GUID";
        return KLDO_E_CONVERTER;
    }
    const std::string name = quillon::FoldCase(BaseName(path));
    if (!quillon::IsSafeFileName(name) || name.rfind(kTempPrefix, 0) == 0 ||
        quillon::EqualsNoCase(name, "GENDICT." + direction->code)) {
        detail = "\"" + name + "\" cannot be the name of an installed dictionary";
        return E_INVALIDARG;
    }
    const std::string final = direction->folder + "/" + name;

    RootLock lock(root_);
    if (auto rows = db_.Query("SELECT locked FROM dictionaries WHERE direction = ?1 AND file = ?2",
                              {std::int64_t(directionId), name});
        rows && !rows->empty()) {
        if (AsInt(rows->front()[0]) != 0 || IsFileHeld(final)) {
            detail = "the installed dictionary \"" + name + "\" is locked";
            return KLDO_E_LOCKED;
        }
        detail = "a dictionary \"" + name + "\" is already installed";
        return KLDO_E_DICT_EXISTS;
    }
    if (db_.Scalar("SELECT 1 FROM dictionaries WHERE uid = ?1", {guid})) {
        detail = "a dictionary with the identifier " + guid + " is already installed";
        return KLDO_E_DICT_EXISTS;
    }

    std::string temp;
    std::uint32_t crc = 0;
    std::int64_t size = 0;
    // The catalogue keeps the checksum of what identifies the content: a slotted file's body
    // (its head may change later), a legacy file's every byte.
    const bool slotted = info->layout == DictionaryLayout::Slotted;
    switch (CopyToTemporary(path, direction->folder, progress, ImportProgressPause(), slotted ? info->bodyOffset : 0,
                            temp, crc, size, detail)) {
    case CopyResult::Done: break;
    case CopyResult::CannotOpen: return KLDO_E_CANNOT_OPEN;
    case CopyResult::Aborted: detail = "cancelled"; return E_ABORT;
    case CopyResult::Failed: return E_FAIL;
    }
    if (static_cast<std::uint64_t>(size) != info->fileSize || (slotted && crc != info->bodyCrc)) {
        detail = path + ": the file changed or is damaged (its body does not match its checksum)";
        ::unlink(temp.c_str());
        return KLDO_E_CANNOT_OPEN;
    }
    if (slotted)
        size = static_cast<std::int64_t>(info->bodyLength);
    // The record that lets recovery take the file away again is not synced on its own: the
    // catalogue commit below syncs the log with it. A killed process leaves it in the log all
    // the same; only a power loss in the moment between the folder's sync and that commit could
    // leave the file without its record (and without its row).
    if (!db_.Run("PRAGMA synchronous = NORMAL") ||
        !db_.Run("INSERT OR REPLACE INTO pending_files(path) VALUES(?1)", {final}) ||
        !db_.Run("PRAGMA synchronous = FULL")) {
        detail = db_.LastError();
        db_.Run("PRAGMA synchronous = FULL");
        ::unlink(temp.c_str());
        return E_FAIL;
    }
    if (::rename(temp.c_str(), final.c_str()) != 0) {
        detail = final + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        db_.Run("DELETE FROM pending_files WHERE path = ?1", {final});
        return E_FAIL;
    }
    SyncFolder(direction->folder);
    Catalogue::Transaction t(db_);
    const bool ok = t.Began() &&
                    db_.Run("INSERT INTO dictionaries(uid, direction, file, title, remarks, copyright, size, crc, "
                            "installed) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, datetime('now'))",
                            {guid, std::int64_t(directionId), name, TitleOf(*file), PropertyText(*file, "remarks_w"),
                             PropertyText(*file, "copyright_w"), size, std::int64_t(crc)}) &&
                    db_.Run("DELETE FROM pending_files WHERE path = ?1", {final}) && t.Commit();
    if (!ok) {
        detail = db_.LastError();
        CommitFileRemovals({final});   // the file must not stay without its catalogue row
        return E_FAIL;
    }
    return S_OK;
}

HRESULT Product::DeleteDictionary(const std::string& path, std::uint32_t directionId, std::string& detail) {
    const std::string name = quillon::FoldCase(BaseName(path));
    RootLock lock(root_);
    auto rows = db_.Query("SELECT d.locked, r.code FROM dictionaries d JOIN directions r ON r.id = d.direction "
                          "WHERE d.direction = ?1 AND d.file = ?2", {std::int64_t(directionId), name});
    if (!rows || rows->empty()) {
        detail = "no installed dictionary \"" + name + "\"";
        return S_FALSE;
    }
    const std::string installed = root_ + "/directions/" + AsText(rows->front()[1]) + "/" + name;
    if (AsInt(rows->front()[0]) != 0 || IsFileHeld(installed)) {
        detail = "the installed dictionary \"" + name + "\" is locked";
        return KLDO_E_LOCKED;
    }
    Catalogue::Transaction t(db_);
    if (!t.Began() || !db_.Run("DELETE FROM dictionaries WHERE direction = ?1 AND file = ?2",
                               {std::int64_t(directionId), name}) ||
        !db_.Run("INSERT OR REPLACE INTO pending_files(path) VALUES(?1)", {installed}) || !t.Commit()) {
        detail = db_.LastError();
        return E_FAIL;
    }
    CommitFileRemovals({installed});
    return S_OK;
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

bool Product::SetLocked(const std::string& dictionary, bool locked) {
    RootLock lock(root_);
    if (!db_.Run("UPDATE dictionaries SET locked = ?1 WHERE uid = ?2 COLLATE NOCASE OR file = ?3",
                 {std::int64_t(locked ? 1 : 0), dictionary, quillon::FoldCase(dictionary)}))
        return false;
    auto changed = db_.Scalar("SELECT changes()");
    return changed && AsInt(*changed) > 0;
}

// ---- TM bases --------------------------------------------------------------------------------

HRESULT Product::InstallBaseTM(const std::string& source, const std::string& xml, std::int32_t replaceMode,
                               std::string& result, std::string& detail) {
    result.clear();
    auto desc = ParseTmXml(xml, detail);
    if (!desc)
        return E_INVALIDARG;
    if (replaceMode < 0 || replaceMode > 2) {
        detail = "replace mode " + std::to_string(replaceMode) + " is not 0, 1 or 2";
        return E_INVALIDARG;
    }
    const std::string name = quillon::FoldCase(desc->file.empty() ? BaseName(source) : desc->file);
    if (!quillon::IsSafeFileName(name)) {
        detail = "\"" + name + "\" cannot be the name of a TM base";
        return E_INVALIDARG;
    }
    RootLock lock(root_);
    auto existing = db_.Query("SELECT uid, stored FROM tm_bases WHERE file = ?1", {name});
    if (!existing) {
        detail = db_.LastError();
        return E_FAIL;
    }
    std::string uid, oldStored;
    if (!existing->empty()) {
        uid = AsText(existing->front()[0]);
        oldStored = AsText(existing->front()[1]);
        if (replaceMode != 1) {
            result = "<UID>" + uid + "</UID>";
            if (replaceMode == 2)
                result = "База ТМ \"" + name + "\" уже установлена; установленная база сохранена без изменений. " + result;
            return S_FALSE;
        }
    } else {
        uid = quillon::IsGuidString(desc->uid) && !db_.Scalar("SELECT 1 FROM tm_bases WHERE uid = ?1", {desc->uid})
                  ? desc->uid
                  : quillon::NewGuidString();
    }
    std::string temp;
    std::uint32_t crc = 0;
    std::int64_t size = 0;
    switch (CopyToTemporary(source, root_ + "/tm", nullptr, {}, 0, temp, crc, size, detail)) {
    case CopyResult::Done: break;
    case CopyResult::CannotOpen: return KLDO_E_CANNOT_OPEN;
    case CopyResult::Aborted:
    case CopyResult::Failed: return E_FAIL;
    }
    std::string stored = "tm/" + quillon::NewGuidString().substr(1, 36) + ".tmb";
    const std::string final = root_ + "/" + stored;
    if (!db_.Run("INSERT OR REPLACE INTO pending_files(path) VALUES(?1)", {final}) ||
        ::rename(temp.c_str(), final.c_str()) != 0) {
        detail = "cannot store the TM base: " + db_.LastError();
        ::unlink(temp.c_str());
        db_.Run("DELETE FROM pending_files WHERE path = ?1", {final});
        return E_FAIL;
    }
    SyncFolder(root_ + "/tm");
    Catalogue::Transaction t(db_);
    bool ok = t.Began();
    if (ok && oldStored.empty())
        ok = db_.Run("INSERT INTO tm_bases(uid, file, name, direction, stored, size, crc, installed) "
                     "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, datetime('now'))",
                     {uid, name, desc->name, std::int64_t(desc->directionId), stored, size, std::int64_t(crc)});
    else if (ok)
        ok = db_.Run("UPDATE tm_bases SET name = ?2, direction = ?3, stored = ?4, size = ?5, crc = ?6, "
                     "installed = datetime('now') WHERE uid = ?1",
                     {uid, desc->name, std::int64_t(desc->directionId), stored, size, std::int64_t(crc)}) &&
             db_.Run("INSERT OR REPLACE INTO pending_files(path) VALUES(?1)", {root_ + "/" + oldStored});
    ok = ok && db_.Run("DELETE FROM pending_files WHERE path = ?1", {final}) && t.Commit();
    if (!ok) {
        detail = db_.LastError();
        CommitFileRemovals({final});
        return E_FAIL;
    }
    if (!oldStored.empty())
        CommitFileRemovals({root_ + "/" + oldStored});
    result = "<UID>" + uid + "</UID>";
    return S_OK;
}

// ---- profiles (collections) ------------------------------------------------------------------

namespace {

// Inside an open transaction: the dictionaries and TM bases among `uids` that no collection
// references any more. Answers their files; KLDO_E_IN_USE when one of them is locked.
struct Orphans {
    std::vector<std::string> files;
    std::string lockedName;
};

Orphans CollectOrphans(Catalogue& db, const std::string& root, const std::set<std::pair<std::string, std::string>>& refs,
                       bool skipLocked) {
    Orphans out;
    for (const auto& [kind, uid] : refs) {
        if (db.Scalar("SELECT 1 FROM collection_refs WHERE kind = ?1 AND uid = ?2", {kind, uid}))
            continue;
        if (kind == "dict") {
            auto rows = db.Query("SELECT d.file, r.code, d.locked FROM dictionaries d JOIN directions r "
                                 "ON r.id = d.direction WHERE d.uid = ?1", {uid});
            if (!rows || rows->empty())
                continue;
            const std::string path = root + "/directions/" + AsText(rows->front()[1]) + "/" + AsText(rows->front()[0]);
            if (AsInt(rows->front()[2]) != 0 || IsFileHeld(path)) {
                if (skipLocked)
                    continue;
                out.lockedName = AsText(rows->front()[0]);
                return out;
            }
            db.Run("DELETE FROM dictionaries WHERE uid = ?1", {uid});
            db.Run("INSERT OR REPLACE INTO pending_files(path) VALUES(?1)", {path});
            out.files.push_back(path);
        } else {
            auto stored = db.Scalar("SELECT stored FROM tm_bases WHERE uid = ?1", {uid});
            if (!stored)
                continue;
            const std::string path = root + "/" + AsText(*stored);
            db.Run("DELETE FROM tm_bases WHERE uid = ?1", {uid});
            db.Run("INSERT OR REPLACE INTO pending_files(path) VALUES(?1)", {path});
            out.files.push_back(path);
        }
    }
    return out;
}

std::set<std::pair<std::string, std::string>> RefsOf(Catalogue& db, std::int64_t collection) {
    std::set<std::pair<std::string, std::string>> refs;
    if (auto rows = db.Query("SELECT kind, uid FROM collection_refs WHERE collection = ?1", {collection}))
        for (const auto& r : *rows)
            refs.emplace(AsText(r[0]), AsText(r[1]));
    return refs;
}

} // namespace

HRESULT Product::InstallProfile(const std::string& xml, std::int32_t replaceMode, std::string& result,
                                std::string& detail) {
    result.clear();
    auto profile = ParseProfileXml(xml, detail);
    if (!profile)
        return E_INVALIDARG;
    if (replaceMode < 0 || replaceMode > 2) {
        detail = "replace mode " + std::to_string(replaceMode) + " is not 0, 1 or 2";
        return E_INVALIDARG;
    }
    if (!FindDirection(profile->directionId)) {
        detail = quillon::FormatText("direction 0x%08X is not installed", {std::int64_t(profile->directionId)});
        return E_INVALIDARG;
    }
    RootLock lock(root_);
    Catalogue::Transaction t(db_);
    if (!t.Began()) {
        detail = db_.LastError();
        return E_FAIL;
    }
    // Under the same lock as every removal: what the profile names must be held now. A removal
    // that ran after the dictionaries were imported may have taken an unreferenced one away.
    for (const auto& [table, uids] : {std::pair{"dictionaries", &profile->dictionaryUids},
                                      std::pair{"tm_bases", &profile->tmUids}})
        for (const std::string& uid : *uids)
            if (!db_.Scalar(std::string("SELECT 1 FROM ") + table + " WHERE uid = ?1", {uid})) {
                detail = std::string(table == std::string("dictionaries") ? "the dictionary " : "the TM base ") + uid +
                         " the profile names is not installed (removed meanwhile?)";
                return KLDO_E_CANNOT_OPEN;
            }
    auto existing = db_.Scalar("SELECT id FROM collections WHERE direction = ?1 AND name = ?2",
                               {std::int64_t(profile->directionId), profile->name});
    std::set<std::pair<std::string, std::string>> oldRefs;
    if (existing) {
        if (replaceMode == 0)
            return S_FALSE;
        if (replaceMode == 2) {
            result = "Профиль перевода \"" + profile->name +
                     "\" уже установлен. Установленный профиль сохранен без изменений.";
            return S_FALSE;
        }
        oldRefs = RefsOf(db_, AsInt(*existing));
        db_.Run("DELETE FROM collections WHERE id = ?1", {AsInt(*existing)});
    }
    bool ok = db_.Run("INSERT INTO collections(direction, name, full_name, xml, installed) "
                      "VALUES(?1, ?2, ?3, ?4, datetime('now'))",
                      {std::int64_t(profile->directionId), profile->name, profile->fullName, xml});
    const std::int64_t id = db_.LastInsertId();
    for (const auto& uid : profile->dictionaryUids)
        ok = ok && db_.Run("INSERT OR IGNORE INTO collection_refs(collection, kind, uid) VALUES(?1, 'dict', ?2)", {id, uid});
    for (const auto& uid : profile->tmUids)
        ok = ok && db_.Run("INSERT OR IGNORE INTO collection_refs(collection, kind, uid) VALUES(?1, 'tm', ?2)", {id, uid});
    // A replaced profile's objects that the new one no longer names go with it (locked ones stay).
    const Orphans orphans = ok ? CollectOrphans(db_, root_, oldRefs, true) : Orphans{};
    if (!ok || !t.Commit()) {
        detail = db_.LastError();
        return E_FAIL;
    }
    CommitFileRemovals(orphans.files);
    return S_OK;
}

HRESULT Product::RemoveCollections(const std::vector<CollectionRecord>& victims, std::string& detail) {
    RootLock lock(root_);
    Catalogue::Transaction t(db_);
    if (!t.Began()) {
        detail = db_.LastError();
        return quillon::E_FAIL;
    }
    std::set<std::pair<std::string, std::string>> refs;
    for (const auto& c : victims) {
        for (auto& r : RefsOf(db_, c.id))
            refs.insert(r);
        if (!db_.Run("DELETE FROM collections WHERE id = ?1", {c.id})) {
            detail = db_.LastError();
            return E_FAIL;
        }
    }
    const Orphans orphans = CollectOrphans(db_, root_, refs, false);
    if (!orphans.lockedName.empty()) {
        detail = "the dictionary \"" + orphans.lockedName + "\" is in use";
        return KLDO_E_IN_USE;   // the transaction rolls back: nothing is removed
    }
    if (!t.Commit()) {
        detail = db_.LastError();
        return E_FAIL;
    }
    CommitFileRemovals(orphans.files);
    return S_OK;
}

HRESULT Product::RemoveCollection(std::uint32_t directionId, std::uint16_t index, std::string& detail) {
    auto list = Collections(directionId);
    if (index >= list.size()) {
        detail = "no collection at index " + std::to_string(index);
        return E_INVALIDARG;
    }
    return RemoveCollections({list[index]}, detail);
}

HRESULT Product::RemoveDirectionCollections(std::uint32_t directionId, std::string& detail) {
    if (!FindDirection(directionId)) {
        detail = quillon::FormatText("direction 0x%08X is not installed", {std::int64_t(directionId)});
        return E_INVALIDARG;
    }
    return RemoveCollections(Collections(directionId), detail);
}

HRESULT Product::RemoveAllCollections(std::string& detail) { return RemoveCollections(Collections(), detail); }

// ---- verification ----------------------------------------------------------------------------

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
    std::vector<std::string> folders{root_ + "/tm"};
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
