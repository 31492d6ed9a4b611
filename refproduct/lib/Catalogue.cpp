#include "Catalogue.h"

#include <sqlite3.h>
#include <utility>

namespace kaldo {
namespace {

constexpr const char* kSchema = R"sql(
PRAGMA foreign_keys = ON;
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
INSERT OR IGNORE INTO meta(key, value) VALUES('schema', '1');
CREATE TABLE IF NOT EXISTS directions(
  id INTEGER PRIMARY KEY, code TEXT NOT NULL UNIQUE, position INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS dictionaries(
  uid TEXT PRIMARY KEY, direction INTEGER NOT NULL REFERENCES directions(id),
  file TEXT NOT NULL, title TEXT NOT NULL DEFAULT '', remarks TEXT NOT NULL DEFAULT '',
  copyright TEXT NOT NULL DEFAULT '', size INTEGER NOT NULL, crc INTEGER NOT NULL,
  locked INTEGER NOT NULL DEFAULT 0, installed TEXT NOT NULL,
  UNIQUE(direction, file));
CREATE TABLE IF NOT EXISTS tm_bases(
  uid TEXT PRIMARY KEY, file TEXT NOT NULL UNIQUE, name TEXT NOT NULL DEFAULT '', stored TEXT NOT NULL,
  direction INTEGER NOT NULL DEFAULT 0, size INTEGER NOT NULL, crc INTEGER NOT NULL,
  installed TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS collections(
  id INTEGER PRIMARY KEY AUTOINCREMENT, direction INTEGER NOT NULL, name TEXT NOT NULL,
  full_name TEXT NOT NULL DEFAULT '', state INTEGER NOT NULL DEFAULT 0, xml TEXT NOT NULL,
  installed TEXT NOT NULL, UNIQUE(direction, name));
CREATE TABLE IF NOT EXISTS collection_refs(
  collection INTEGER NOT NULL REFERENCES collections(id) ON DELETE CASCADE,
  kind TEXT NOT NULL CHECK(kind IN ('dict', 'tm')), uid TEXT NOT NULL,
  PRIMARY KEY(collection, kind, uid));
CREATE INDEX IF NOT EXISTS collection_refs_by_uid ON collection_refs(kind, uid);
CREATE TABLE IF NOT EXISTS dictionary_values(
  name TEXT PRIMARY KEY, text TEXT NOT NULL, value INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS pending_files(path TEXT PRIMARY KEY);
)sql";

} // namespace

std::optional<Catalogue> Catalogue::Open(const std::string& path, std::string& error) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        error = path + ": " + (db ? sqlite3_errmsg(db) : "cannot open the catalogue");
        sqlite3_close(db);
        return std::nullopt;
    }
    sqlite3_busy_timeout(db, 10000);
    // Write-ahead logging: a commit is one append and one sync of the log, not a journal written,
    // synced, and deleted. The log and its index stay when the last user closes the catalogue,
    // so that readers without write access can still open it.
    // Closing does not checkpoint either (the product opens and closes the catalogue for every
    // service object): the log is folded into the database when it has grown (every 1000 pages).
    int persist = 1;
    sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    Catalogue cat(db);
    // A catalogue that has its schema is opened without writing (readers need no write access).
    if (auto schema = cat.Scalar("SELECT value FROM meta WHERE key = 'schema'"); schema && AsText(*schema) == "1") {
        cat.Run("PRAGMA journal_mode = WAL");   // a catalogue made before: converted by its first writer
        // … and given the index removals look references up by (a reader may not write: then
        // the lookups are only slower).
        if (!cat.Scalar("SELECT 1 FROM sqlite_master WHERE name = 'collection_refs_by_uid'"))
            cat.Run("CREATE INDEX IF NOT EXISTS collection_refs_by_uid ON collection_refs(kind, uid)");
        if (!cat.Run("PRAGMA foreign_keys = ON") || !cat.Run("PRAGMA synchronous = FULL")) {
            error = path + ": " + cat.LastError();
            return std::nullopt;
        }
        return cat;
    }
    // The schema is created under the write lock so that two first users do not race.
    if (!cat.Run("BEGIN IMMEDIATE")) {
        error = path + ": " + cat.LastError();
        return std::nullopt;
    }
    char* message = nullptr;
    if (sqlite3_exec(db, kSchema, nullptr, nullptr, &message) != SQLITE_OK) {
        error = path + ": " + (message ? message : "cannot create the schema");
        sqlite3_free(message);
        cat.Run("ROLLBACK");
        return std::nullopt;
    }
    if (!cat.Run("COMMIT") || !cat.Run("PRAGMA journal_mode = WAL") || !cat.Run("PRAGMA foreign_keys = ON") ||
        !cat.Run("PRAGMA synchronous = FULL")) {
        error = path + ": " + cat.LastError();
        return std::nullopt;
    }
    return cat;
}

Catalogue::Catalogue(Catalogue&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), error_(std::move(other.error_)), statements_(other.statements_) {}

Catalogue& Catalogue::operator=(Catalogue&& other) noexcept {
    if (this != &other) {
        sqlite3_close(db_);
        db_ = std::exchange(other.db_, nullptr);
        error_ = std::move(other.error_);
        statements_ = other.statements_;
    }
    return *this;
}

Catalogue::~Catalogue() { sqlite3_close(db_); }

sqlite3_stmt* Catalogue::Prepare(std::string_view sql, const std::vector<SqlValue>& params) {
    ++statements_;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        error_ = sqlite3_errmsg(db_);
        return nullptr;
    }
    for (std::size_t i = 0; i < params.size(); ++i) {
        const int n = static_cast<int>(i + 1);
        int rc = SQLITE_OK;
        if (const auto* iv = std::get_if<std::int64_t>(&params[i]))
            rc = sqlite3_bind_int64(stmt, n, *iv);
        else if (const auto* sv = std::get_if<std::string>(&params[i]))
            rc = sqlite3_bind_text(stmt, n, sv->data(), static_cast<int>(sv->size()), SQLITE_TRANSIENT);
        else
            rc = sqlite3_bind_null(stmt, n);
        if (rc != SQLITE_OK) {
            error_ = sqlite3_errmsg(db_);
            sqlite3_finalize(stmt);
            return nullptr;
        }
    }
    return stmt;
}

std::optional<std::vector<SqlRow>> Catalogue::Query(std::string_view sql, const std::vector<SqlValue>& params) {
    sqlite3_stmt* stmt = Prepare(sql, params);
    if (!stmt)
        return std::nullopt;
    std::vector<SqlRow> rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        SqlRow row;
        const int columns = sqlite3_column_count(stmt);
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                row.emplace_back(static_cast<std::int64_t>(sqlite3_column_int64(stmt, c)));
                break;
            case SQLITE_NULL:
                row.emplace_back(nullptr);
                break;
            default: {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                row.emplace_back(std::string(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, c))));
            }
            }
        }
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        error_ = sqlite3_errmsg(db_);
        sqlite3_finalize(stmt);
        return std::nullopt;
    }
    sqlite3_finalize(stmt);
    return rows;
}

bool Catalogue::Run(std::string_view sql, const std::vector<SqlValue>& params) {
    return Query(sql, params).has_value();
}

std::optional<SqlValue> Catalogue::Scalar(std::string_view sql, const std::vector<SqlValue>& params) {
    auto rows = Query(sql, params);
    if (!rows || rows->empty() || rows->front().empty())
        return std::nullopt;
    return rows->front().front();
}

std::int64_t Catalogue::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }

std::pair<std::int64_t, std::int64_t> Catalogue::ChangeStamp() {
    const auto version = Scalar("PRAGMA data_version");
    return {version ? AsInt(*version) : -1, sqlite3_total_changes64(db_)};
}

Catalogue::Transaction::Transaction(Catalogue& db) : db_(db) { began_ = db_.Run("BEGIN IMMEDIATE"); }

Catalogue::Transaction::~Transaction() {
    if (began_ && !done_)
        db_.Run("ROLLBACK");
}

bool Catalogue::Transaction::Commit() {
    if (!began_ || done_)
        return false;
    done_ = db_.Run("COMMIT");
    return done_;
}

std::int64_t AsInt(const SqlValue& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return *i;
    if (const auto* s = std::get_if<std::string>(&v))
        return std::strtoll(s->c_str(), nullptr, 10);
    return 0;
}

std::string AsText(const SqlValue& v) {
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return std::to_string(*i);
    return {};
}

} // namespace kaldo
