#include "platform/system/SqliteDatabase.h"

#include "platform/base/Mutex.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace dv {

namespace {

dv::Mutex s_hookMutex;
std::function<void()> s_beforeCommit DV_GUARDED_BY(s_hookMutex);

} // namespace

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr))
    , m_statement(std::exchange(other.m_statement, nullptr))
    , m_failure(std::move(other.m_failure))
{
}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept
{
    if (this != &other) {
        if (m_statement)
            sqlite3_finalize(m_statement);
        m_db = std::exchange(other.m_db, nullptr);
        m_statement = std::exchange(other.m_statement, nullptr);
        m_failure = std::move(other.m_failure);
    }
    return *this;
}

SqliteStatement::~SqliteStatement()
{
    if (m_statement)
        sqlite3_finalize(m_statement);
}

void SqliteStatement::bindNull(int index)
{
    if (m_statement)
        sqlite3_bind_null(m_statement, index);
}

void SqliteStatement::bind(int index, std::int64_t value)
{
    if (m_statement)
        sqlite3_bind_int64(m_statement, index, value);
}

void SqliteStatement::bind(int index, double value)
{
    if (m_statement)
        sqlite3_bind_double(m_statement, index, value);
}

void SqliteStatement::bind(int index, std::string_view text)
{
    if (m_statement)
        sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bindBlob(int index, const std::vector<std::uint8_t>& bytes)
{
    if (!m_statement)
        return;
    // A zero-length blob is still a blob, not NULL.
    static const std::uint8_t empty = 0;
    sqlite3_bind_blob(m_statement, index, bytes.empty() ? &empty : bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bindOptional(int index, const std::optional<std::string>& text)
{
    if (text)
        bind(index, std::string_view(*text));
    else
        bindNull(index);
}

SqliteStatement::Step SqliteStatement::step()
{
    if (!m_statement)
        return Step::Error;
    int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return Step::Row;
    if (rc == SQLITE_DONE)
        return Step::Done;
    return Step::Error;
}

Failure SqliteStatement::failure() const
{
    if (!m_statement)
        return Failure(m_failure.empty() ? std::string("no statement") : m_failure);
    return Failure(sqlite3_errmsg(m_db));
}

Result<bool> SqliteStatement::next()
{
    switch (step()) {
    case Step::Row:
        return true;
    case Step::Done:
        return false;
    case Step::Error:
        break;
    }
    return failure();
}

Result<void> SqliteStatement::run()
{
    for (;;) {
        DV_TRY_ASSIGN(bool row, next());
        if (!row)
            return {};
    }
}

void SqliteStatement::reset()
{
    if (m_statement) {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
}

bool SqliteStatement::isNull(int column) const
{
    return !m_statement || sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

std::int64_t SqliteStatement::int64(int column) const
{
    return m_statement ? sqlite3_column_int64(m_statement, column) : 0;
}

double SqliteStatement::real(int column) const
{
    return m_statement ? sqlite3_column_double(m_statement, column) : 0.0;
}

std::string SqliteStatement::text(int column) const
{
    if (!m_statement)
        return {};
    auto* p = sqlite3_column_text(m_statement, column);
    int n = sqlite3_column_bytes(m_statement, column);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
}

std::vector<std::uint8_t> SqliteStatement::blob(int column) const
{
    if (!m_statement)
        return {};
    auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(m_statement, column));
    int n = sqlite3_column_bytes(m_statement, column);
    return p ? std::vector<std::uint8_t>(p, p + n) : std::vector<std::uint8_t>();
}

int SqliteStatement::columnIndex(std::string_view name) const
{
    DV_CHECK_MSG(m_statement, "a column read from a statement that was never prepared");
    const int count = sqlite3_column_count(m_statement);
    for (int column = 0; column < count; ++column)
        if (const char* columnName = sqlite3_column_name(m_statement, column); columnName && name == columnName)
            return column;
    DV_CHECK_MSG(false, "a column read that the query does not select");
    return -1;
}

SqliteDatabase::~SqliteDatabase()
{
    if (m_inTransaction)
        rollback();
    sqlite3_close_v2(m_db);
}

Result<std::unique_ptr<SqliteDatabase>> SqliteDatabase::open(const std::string& path)
{
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        Failure failure(db ? sqlite3_errmsg(db) : "cannot open database");
        sqlite3_close_v2(db);
        return failure;
    }
    sqlite3_busy_timeout(db, 5000);
    std::unique_ptr<SqliteDatabase> result(new SqliteDatabase(db));
    // A foreign or truncated file shows itself on the first statement that reads the header.
    DV_TRY(result->exec("PRAGMA synchronous=FULL"));
    DV_TRY(result->exec("SELECT count(*) FROM sqlite_master"));
    auto check = result->prepare("PRAGMA quick_check");
    if (check.step() != SqliteStatement::Step::Row || check.text(0) != "ok")
        return Failure("database is corrupt");
    return result;
}

Result<std::unique_ptr<SqliteDatabase>> SqliteDatabase::openReader(const std::string& path)
{
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        Failure failure(db ? sqlite3_errmsg(db) : "cannot open database");
        sqlite3_close_v2(db);
        return failure;
    }
    sqlite3_busy_timeout(db, 5000);
    return std::unique_ptr<SqliteDatabase>(new SqliteDatabase(db));
}

Result<void> SqliteDatabase::mayBeDatabase(const std::string& path)
{
    static constexpr char kHeader[] = "SQLite format 3"; // and its terminating zero
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return {};
        return Failure(std::string("cannot read the database: ") + std::strerror(errno));
    }
    char start[sizeof kHeader] = {};
    ssize_t n = 0;
    do
        n = ::read(fd, start, sizeof start);
    while (n < 0 && errno == EINTR);
    ::close(fd);
    // An empty file is what an interrupted creation leaves: it becomes a database when opened.
    if (n == 0 || (n == ssize_t(sizeof start) && std::memcmp(start, kHeader, sizeof kHeader) == 0))
        return {};
    return Failure("file is not a database");
}

Result<void> SqliteDatabase::exec(std::string_view sql)
{
    std::string text(sql);
    if (sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return Failure(lastError());
    return {};
}

SqliteStatement SqliteDatabase::prepare(std::string_view sql)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return SqliteStatement(lastError());
    }
    return SqliteStatement(m_db, statement);
}

std::int64_t SqliteDatabase::lastInsertRowId() const { return sqlite3_last_insert_rowid(m_db); }
int SqliteDatabase::changes() const { return sqlite3_changes(m_db); }
std::string SqliteDatabase::lastError() const { return sqlite3_errmsg(m_db); }

Result<void> SqliteDatabase::begin(std::string_view statement)
{
    DV_CHECK_MSG(!m_inTransaction, "a transaction begun inside another");
    DV_TRY(exec(statement));
    m_inTransaction = true;
    return {};
}

Result<void> SqliteDatabase::commit()
{
    DV_CHECK_MSG(m_inTransaction, "a commit without a transaction");
    std::function<void()> hook;
    {
        dv::MutexLocker lock(s_hookMutex);
        hook = s_beforeCommit;
    }
    if (hook)
        hook();
    if (auto committed = exec("COMMIT"); !committed) {
        rollback();
        return committed;
    }
    m_inTransaction = false;
    return {};
}

void SqliteDatabase::rollback()
{
    if (m_inTransaction)
        (void)exec("ROLLBACK");
    m_inTransaction = false;
}

void SqliteDatabase::setBeforeCommitHook(std::function<void()> hook)
{
    dv::MutexLocker lock(s_hookMutex);
    s_beforeCommit = std::move(hook);
}

} // namespace dv
