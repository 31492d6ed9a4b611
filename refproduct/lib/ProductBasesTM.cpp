// The reference product's TM bases.
#include "Product.h"

#include "ProductCore_p.h"
#include "ProfileXml.h"
#include "product/Paths.h"
#include "support/Guid.h"
#include "support/Text.h"

#include <unistd.h>

namespace kaldo {

using namespace core;

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
    switch (CopyToTemporary(source, TempFolder(), nullptr, {}, 0, temp, crc, size, detail)) {
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

} // namespace kaldo
