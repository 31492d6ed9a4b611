// The reference product's installed profiles (collections): registration and removal.
#include "Product.h"

#include "ProductCore_p.h"
#include "ProfileXml.h"
#include "support/Format.h"

#include <set>

namespace kaldo {

using namespace core;

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

HRESULT Product::RemoveCollections(const std::vector<std::int64_t>& victims, std::string& detail) {
    RootLock lock(root_);
    Catalogue::Transaction t(db_);
    if (!t.Began()) {
        detail = db_.LastError();
        return quillon::E_FAIL;
    }
    std::set<std::pair<std::string, std::string>> refs;
    for (const std::int64_t id : victims) {
        for (auto& r : RefsOf(db_, id))
            refs.insert(r);
        if (!db_.Run("DELETE FROM collections WHERE id = ?1", {id})) {
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
    const auto& list = CollectionIndex(directionId);
    if (index >= list.size()) {
        detail = "no collection at index " + std::to_string(index);
        return E_INVALIDARG;
    }
    return RemoveCollections({list[index].id}, detail);
}

HRESULT Product::RemoveDirectionCollections(std::uint32_t directionId, std::string& detail) {
    if (!FindDirection(directionId)) {
        detail = quillon::FormatText("direction 0x%08X is not installed", {std::int64_t(directionId)});
        return E_INVALIDARG;
    }
    std::vector<std::int64_t> ids;
    for (const CollectionEntry& c : CollectionIndex(directionId))
        ids.push_back(c.id);
    return RemoveCollections(ids, detail);
}

HRESULT Product::RemoveAllCollections(std::string& detail) {
    std::vector<std::int64_t> ids;
    if (auto rows = db_.Query("SELECT id FROM collections ORDER BY direction, id"))
        for (const auto& r : *rows)
            ids.push_back(AsInt(r[0]));
    return RemoveCollections(ids, detail);
}

} // namespace kaldo
