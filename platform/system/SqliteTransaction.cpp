#include "platform/system/SqliteTransaction.h"

#include "platform/system/SqliteDatabase.h"

#include <utility>

namespace dv {

Result<SqliteTransaction> SqliteTransaction::begin(SqliteDatabase& db)
{
    DV_TRY(db.begin("BEGIN IMMEDIATE"));
    return SqliteTransaction(db);
}

Result<SqliteTransaction> SqliteTransaction::beginReading(SqliteDatabase& db)
{
    DV_TRY(db.begin("BEGIN DEFERRED"));
    return SqliteTransaction(db);
}

SqliteTransaction::SqliteTransaction(SqliteTransaction&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr))
{
}

SqliteTransaction::~SqliteTransaction() { rollback(); }

Result<void> SqliteTransaction::commit()
{
    DV_CHECK_MSG(m_db, "a commit of a transaction already over");
    return std::exchange(m_db, nullptr)->commit();
}

void SqliteTransaction::rollback()
{
    if (auto* db = std::exchange(m_db, nullptr))
        db->rollback();
}

} // namespace dv
