// A small wrapper over one SQLite connection, the only place of the product that includes
// sqlite3.h: the keychain and the address book, and the local server's store, keep their
// data through it. Stores open one connection per call (keychain), per handle (address book) or one
// writing and a few reading ones per process (the server), so the wrapper keeps no process-wide
// state apart from a test hook that runs just before a commit. A connection is used on one thread
// at a time.
//
//   DV_TRY_ASSIGN(auto db, SqliteDatabase::open(path));
//   DV_TRY_ASSIGN(auto transaction, SqliteTransaction::begin(*db));
//   auto st = db->prepare("SELECT id, name FROM people");
//   for (;;) { DV_TRY_ASSIGN(bool row, st.next()); if (!row) break; use(st.int64("id"), st.text("name")); }
//   return transaction.commit();
#pragma once

#include "platform/base/Result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace dv {

class SqliteStatement {
public:
    enum class Step { Row, Done, Error };

    SqliteStatement() = default;
    SqliteStatement(sqlite3* db, sqlite3_stmt* statement) : m_db(db), m_statement(statement) { }
    // A statement that could not be prepared, and why.
    explicit SqliteStatement(std::string failure) : m_failure(std::move(failure)) { }
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    ~SqliteStatement();

    bool valid() const { return m_statement != nullptr; }
    // Parameters are numbered from 1, as in SQL.
    void bindNull(int index);
    void bind(int index, std::int64_t value);
    void bind(int index, double value);
    void bind(int index, std::string_view text);
    void bindBlob(int index, const std::vector<std::uint8_t>& bytes);
    void bindOptional(int index, const std::optional<std::string>& text);

    [[nodiscard]] Step step();
    // The next row: true with a row to read, false past the last one; a failure with the reason
    // when the statement could not be prepared or the step failed.
    Result<bool> next();
    // Runs a statement that answers no rows (an insert, an update, a delete) to its end.
    Result<void> run();
    void reset();

    // Columns are numbered from 0.
    bool isNull(int column) const;
    std::int64_t int64(int column) const;
    double real(int column) const;
    std::string text(int column) const;
    std::vector<std::uint8_t> blob(int column) const;
    // Columns by the name the query gives them ("name", or "total" for "COUNT(*) AS total"). A
    // name the query does not have is a fault in the query's caller and stops the process.
    bool isNull(std::string_view column) const { return isNull(columnIndex(column)); }
    std::int64_t int64(std::string_view column) const { return int64(columnIndex(column)); }
    double real(std::string_view column) const { return real(columnIndex(column)); }
    std::string text(std::string_view column) const { return text(columnIndex(column)); }
    std::vector<std::uint8_t> blob(std::string_view column) const { return blob(columnIndex(column)); }

private:
    Failure failure() const;
    int columnIndex(std::string_view name) const;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
    std::string m_failure; // why the statement could not be prepared
};

class SqliteDatabase {
public:
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // Opens (creating when absent) the database at `path` and checks that it is readable: a
    // truncated or foreign file gives a failure with the reason, never a crash.
    static Result<std::unique_ptr<SqliteDatabase>> open(const std::string& path);
    // A second, read-only connection to a database that open() has already made and checked
    // (no check of its own, which reads the whole file). In write-ahead-log mode its reads go on
    // while another connection writes, each seeing what was committed when it began.
    static Result<std::unique_ptr<SqliteDatabase>> openReader(const std::string& path);
    // Without opening it: whether the file at `path` is absent (a database is made there when it
    // is opened) or starts as a database does; a failure with the reason for anything else. One
    // read of a few bytes, for a caller that must answer at once and opens the file later.
    static Result<void> mayBeDatabase(const std::string& path);

    Result<void> exec(std::string_view sql);
    // An invalid statement that carries the reason when the text cannot be prepared; its first
    // next() or run() reports it.
    SqliteStatement prepare(std::string_view sql);
    std::int64_t lastInsertRowId() const;
    int changes() const;
    std::string lastError() const;

    // Test hook: runs inside every transaction just before COMMIT. A test that kills a child
    // process here checks that an interrupted write leaves the previous contents intact.
    static void setBeforeCommitHook(std::function<void()> hook);

private:
    friend class SqliteTransaction;
    explicit SqliteDatabase(sqlite3* db) : m_db(db) { }
    // Transactions go through SqliteTransaction, which ends each one on every path.
    Result<void> begin(std::string_view statement);
    Result<void> commit();
    void rollback();

    sqlite3* m_db = nullptr;
    bool m_inTransaction = false;
};

} // namespace dv
