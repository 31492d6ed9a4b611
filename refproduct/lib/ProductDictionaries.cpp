// The reference product's dictionaries: import, deletion, locks.
#include "Product.h"

#include "ProductCore_p.h"
#include "product/KernelService.h"
#include "product/Paths.h"
#include "support/Format.h"
#include "support/Guid.h"
#include "support/Text.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace kaldo {

using namespace core;

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
    switch (CopyToTemporary(path, TempFolder(), progress, ImportProgressPause(), slotted ? info->bodyOffset : 0,
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

bool Product::SetLocked(const std::string& dictionary, bool locked) {
    RootLock lock(root_);
    if (!db_.Run("UPDATE dictionaries SET locked = ?1 WHERE uid = ?2 COLLATE NOCASE OR file = ?3",
                 {std::int64_t(locked ? 1 : 0), dictionary, quillon::FoldCase(dictionary)}))
        return false;
    auto changed = db_.Scalar("SELECT changes()");
    return changed && AsInt(*changed) > 0;
}

} // namespace kaldo
