#pragma once
// The product's catalogue: an SQLite database in the product root (schema in
// docs/refproduct-catalogue.md). Every change runs inside one Transaction; a process killed
// mid-change leaves the database as it was before the change.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace kaldo {

using SqlValue = std::variant<std::nullptr_t, std::int64_t, std::string>;
using SqlRow = std::vector<SqlValue>;

class Catalogue {
public:
    // Opens (creating when missing) the database and its schema; nothing on failure.
    static std::optional<Catalogue> Open(const std::string& path, std::string& error);
    Catalogue(Catalogue&& other) noexcept;
    Catalogue& operator=(Catalogue&& other) noexcept;
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;
    ~Catalogue();

    // Runs one statement with positional parameters (?1, ?2, ...); false on failure, with
    // LastError() set. Query answers every row.
    bool Run(std::string_view sql, const std::vector<SqlValue>& params = {});
    std::optional<std::vector<SqlRow>> Query(std::string_view sql, const std::vector<SqlValue>& params = {});
    // The first column of the first row, if any.
    std::optional<SqlValue> Scalar(std::string_view sql, const std::vector<SqlValue>& params = {});
    std::int64_t LastInsertId() const;
    const std::string& LastError() const { return error_; }
    // Changes whenever the catalogue did: committed by another connection (PRAGMA data_version)
    // or by this one. One statement.
    std::pair<std::int64_t, std::int64_t> ChangeStamp();
    // Statements prepared on this connection so far (tests count them).
    std::uint64_t Statements() const { return statements_; }

    // BEGIN IMMEDIATE ... COMMIT; the destructor rolls back what was not committed.
    class Transaction {
    public:
        explicit Transaction(Catalogue& db);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        bool Began() const { return began_; }
        bool Commit();

    private:
        Catalogue& db_;
        bool began_ = false;
        bool done_ = false;
    };

private:
    explicit Catalogue(sqlite3* db) : db_(db) {}
    sqlite3_stmt* Prepare(std::string_view sql, const std::vector<SqlValue>& params);
    sqlite3* db_ = nullptr;
    std::string error_;
    std::uint64_t statements_ = 0;
};

// Convenience readers of a row's columns.
std::int64_t AsInt(const SqlValue& v);
std::string AsText(const SqlValue& v);

} // namespace kaldo
