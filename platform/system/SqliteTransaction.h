// One transaction on a SQLite connection, ended on every path: commit() makes its writes durable,
// and leaving the scope without a commit (an early return, a failed step) rolls them back. Every
// store of ours writes through it (keychain, address book, the local server's data), so none
// ends a transaction by hand. Owned by the function that writes, on that function's thread; the
// connection must outlive it.
//
//   DV_TRY_ASSIGN(auto transaction, SqliteTransaction::begin(db));
//   DV_TRY(insertRows(db)); // a failure here rolls back
//   return transaction.commit();
#pragma once

#include "platform/base/Result.h"

namespace dv {

class SqliteDatabase;

class [[nodiscard]] SqliteTransaction {
public:
    // BEGIN IMMEDIATE: takes the write lock at once, so two writers never interleave. A
    // transaction begun inside another on the same connection is a broken invariant.
    static Result<SqliteTransaction> begin(SqliteDatabase& db);
    // BEGIN DEFERRED, for reads only: the statements in it see one committed state of the
    // database, taken at the first of them, whatever other connections commit meanwhile.
    static Result<SqliteTransaction> beginReading(SqliteDatabase& db);

    SqliteTransaction(SqliteTransaction&& other) noexcept;
    SqliteTransaction& operator=(SqliteTransaction&&) = delete;
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;
    ~SqliteTransaction();

    // A failed commit rolls back; either way the transaction is over.
    Result<void> commit();
    // Ends it without writing, for a call that only needed the transaction's consistent reads.
    void rollback();

private:
    explicit SqliteTransaction(SqliteDatabase& db) : m_db(&db) { }

    SqliteDatabase* m_db = nullptr; // null once ended or moved from
};

} // namespace dv
