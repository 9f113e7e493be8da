// A small wrapper over one SQLite connection, the only place of platform/system that includes
// sqlite3.h. Stores open one connection per call (keychain) or per handle (address book), so the
// wrapper keeps no process-wide state apart from a test hook that runs just before a commit.
//
//   DV_TRY_ASSIGN(auto db, SqliteDatabase::open(path));
//   DV_TRY(db->begin());
//   auto st = db->prepare("SELECT ...");
//   for (;;) { DV_TRY_ASSIGN(bool row, st.next()); if (!row) break; ... }
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

namespace dv::internal {

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

private:
    Failure failure() const;

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

    // BEGIN IMMEDIATE: takes the write lock at once, so two writers never interleave.
    Result<void> begin();
    // A failed commit rolls the transaction back.
    Result<void> commit();
    void rollback();

    // Test hook: runs inside every transaction just before COMMIT. A test that kills a child
    // process here checks that an interrupted write leaves the previous contents intact.
    static void setBeforeCommitHook(std::function<void()> hook);

private:
    explicit SqliteDatabase(sqlite3* db) : m_db(db) { }
    sqlite3* m_db = nullptr;
    bool m_inTransaction = false;
};

} // namespace dv::internal
