#include "tools/devserver/internal/Store.h"

#include "platform/system/SqliteDatabase.h"
#include "platform/system/SqliteTransaction.h"
#include "tools/devserver/internal/SeedData.h"
#include "tools/devserver/internal/StoreSeed.h"

#include <filesystem>
#include <random>

namespace dv::internal::devserver {

namespace {

constexpr const char* kCodeColumns =
    "id, type, title, account, nick_name, descriptions, area_id, area_name, equip_id, status, add_time, revision, image_type";
constexpr const char* kDistrictColumns = "id, name, parent_id, level, name_path, node_path, char_index, order_by";
constexpr const char* kCategoryColumns = "category_id, name, keyword, order_by, type";
// What a code keeps of its uploader's: the picture and the texts, in bytes.
constexpr const char* kStoredBytes = "COALESCE(LENGTH(image), 0) + LENGTH(CAST(title AS BLOB)) + LENGTH(CAST(descriptions AS BLOB)) "
                                     "+ LENGTH(CAST(account AS BLOB))";

CodeRecord readCode(const SqliteStatement& row)
{
    CodeRecord code;
    code.id = row.int64("id");
    code.type = row.text("type");
    code.title = row.text("title");
    code.account = row.text("account");
    code.nickName = row.text("nick_name");
    code.descriptions = row.text("descriptions");
    code.areaId = row.int64("area_id");
    code.areaName = row.text("area_name");
    code.equipId = row.text("equip_id");
    code.status = row.int64("status");
    code.addTime = row.text("add_time");
    code.revision = row.int64("revision");
    code.imageType = row.text("image_type");
    return code;
}

DistrictRecord readDistrict(const SqliteStatement& row)
{
    return { .id = row.int64("id"), .name = row.text("name"), .parentId = row.int64("parent_id"), .level = row.int64("level"),
        .namePath = row.text("name_path"), .nodePath = row.text("node_path"), .charIndex = row.text("char_index"),
        .orderBy = row.int64("order_by") };
}

CategoryRecord readCategory(const SqliteStatement& row)
{
    return { .categoryId = row.int64("category_id"), .name = row.text("name"), .keyword = row.text("keyword"),
        .orderBy = row.int64("order_by"), .type = row.int64("type") };
}

AdRecord readAd(const SqliteStatement& row)
{
    return { .adId = row.int64("ad_id"), .name = row.text("name"), .linkPath = row.text("link_path"), .linkType = row.int64("link_type"),
        .seq = row.int64("seq"), .status = row.int64("status"), .createTime = row.text("create_time"), .modifyTime = row.text("modify_time") };
}

ProspectRecord readProspect(const SqliteStatement& row)
{
    return { .id = row.int64("id"), .categoryId = row.int64("category_id"), .industryId = row.int64("industry_id"),
        .companyName = row.text("company"), .phone = row.text("phone"), .seq = row.int64("seq"), .status = row.int64("status"),
        .createTime = row.text("create_time") };
}

AgentRecord readAgent(const SqliteStatement& row)
{
    return { .agentNo = row.text("agent_no"), .name = row.text("name"), .region = row.text("region"), .level = row.text("level"),
        .letterNo = row.text("letter_no"), .validFrom = row.text("valid_from"), .validTo = row.text("valid_to") };
}

// Every row the query answers, each read by `read`.
template <class Read>
auto allRows(SqliteStatement& query, Read read) -> Result<std::vector<decltype(read(query))>>
{
    std::vector<decltype(read(query))> rows;
    for (;;) {
        DV_TRY_ASSIGN(bool row, query.next());
        if (!row)
            return rows;
        rows.push_back(read(query));
    }
}

// The query's first row read by `read`, or nothing when it answers none.
template <class Read>
auto firstRow(SqliteStatement& query, Read read) -> Result<std::optional<decltype(read(query))>>
{
    using Row = decltype(read(query));
    DV_TRY_ASSIGN(bool row, query.next());
    if (!row)
        return std::optional<Row>();
    return std::optional<Row>(read(query));
}

// A query of one number (a count, a sum) that always answers a row.
Result<std::int64_t> count(SqliteStatement& query)
{
    DV_TRY_ASSIGN(auto total, firstRow(query, [](const SqliteStatement& row) { return row.int64("total"); }));
    return total.value_or(0);
}

std::string newToken()
{
    std::random_device device;
    static const char* digits = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 32; ++i)
        token += digits[device() % 16];
    return token;
}

// The code's place in the list of its kind.
Result<CodeRecord> withPosition(SqliteDatabase& db, CodeRecord code)
{
    auto before = db.prepare(
        "SELECT COUNT(*) AS total FROM codes WHERE type = ?1 AND (add_time > ?2 OR (add_time = ?2 AND id > ?3))");
    before.bind(1, code.type);
    before.bind(2, code.addTime);
    before.bind(3, code.id);
    DV_TRY_ASSIGN(code.position, count(before));
    return code;
}

// What saveCode would do with an upload, judged inside a transaction on `db`: the code it would
// refresh (0: a new one), and its refusal, if any.
struct UploadJudgement {
    std::int64_t earlierId = 0;
    std::optional<Store::SaveResult::Outcome> refusal;
};

Result<UploadJudgement> judgeUpload(SqliteDatabase& db, const NewCode& code, std::int64_t imageBytes, const UploadQuota& quota)
{
    using Outcome = Store::SaveResult::Outcome;
    auto find = db.prepare("SELECT id, add_time FROM codes WHERE type = ?1 AND equip_id = ?2 AND account = ?3");
    find.bind(1, code.type);
    find.bind(2, code.clientId);
    find.bind(3, code.account);
    DV_TRY_ASSIGN(auto earlier, firstRow(find, [](const SqliteStatement& row) { return std::pair { row.int64("id"), row.text("add_time") }; }));
    const std::int64_t id = earlier ? earlier->first : 0;
    // Times are "yyyy-MM-dd HH:mm:ss": the first ten characters are the day.
    if (earlier && earlier->second.substr(0, 10) == code.addTime.substr(0, 10))
        return UploadJudgement { id, Outcome::AlreadyRefreshedToday };

    auto usage = db.prepare("SELECT COUNT(*) AS codes, COALESCE(SUM(LENGTH(image)), 0) AS bytes, "
                            "COALESCE(SUM(CASE WHEN id = ?2 THEN LENGTH(image) ELSE 0 END), 0) AS replaced "
                            "FROM codes WHERE equip_id = ?1");
    usage.bind(1, code.clientId);
    usage.bind(2, id);
    DV_TRY_ASSIGN(auto used, firstRow(usage, [&](const SqliteStatement& row) {
        return std::pair { row.int64("codes"), row.int64("bytes") - row.int64("replaced") + imageBytes };
    }));
    DV_CHECK(used); // an aggregate query answers one row
    if (!id && used->first >= quota.codes)
        return UploadJudgement { id, Outcome::TooManyCodes };
    if (used->second > quota.bytes)
        return UploadJudgement { id, Outcome::TooManyBytes };
    auto stored = db.prepare(std::string("SELECT COALESCE(SUM(") + kStoredBytes + "), 0) AS total, "
        + "COALESCE(SUM(CASE WHEN id = ?1 THEN " + kStoredBytes + " ELSE 0 END), 0) AS replaced FROM codes");
    stored.bind(1, id);
    DV_TRY_ASSIGN(auto storeBytes, firstRow(stored, [](const SqliteStatement& row) { return row.int64("total") - row.int64("replaced"); }));
    DV_CHECK(storeBytes);
    const std::int64_t added = imageBytes + std::int64_t(code.title.size() + code.descriptions.size() + code.account.size());
    if (*storeBytes + added > quota.storeBytes)
        return UploadJudgement { id, Outcome::StoreFull };
    return UploadJudgement { id, std::nullopt };
}

// Pages outside [0, total) are empty; the offset is computed only for pages that can hold rows,
// so that huge page numbers cannot overflow.
bool pageInRange(std::int64_t total, std::int64_t page, std::int64_t pageSize)
{
    return page >= 0 && pageSize > 0 && page < (total + pageSize - 1) / pageSize;
}

// A read-only connection whose page cache holds 256 KiB. A picture's pages pass through it once
// per answer: in the 2 MiB a connection caches by default, they would stay with the process, for
// each reader, long after the clients that asked have gone. The system's file cache keeps what is
// read often.
Result<std::unique_ptr<SqliteDatabase>> openSmallReader(const std::string& path)
{
    DV_TRY_ASSIGN(auto reader, SqliteDatabase::openReader(path));
    DV_TRY(reader->exec("PRAGMA cache_size=-256"));
    return reader;
}

// What a write of a few rows (a login) may add to the log: its pages and those of the indexes.
constexpr std::int64_t kSmallWriteBytes = 64 * 1024;

// What a write of `bytes` bytes of rows adds to the log at most: each page of 4 KiB with its
// frame's header, and the pages of the tables' trees and free list around them.
std::int64_t logBytesFor(std::int64_t bytes)
{
    return bytes + bytes / 64 + kSmallWriteBytes;
}

} // namespace

Store::Store(std::unique_ptr<SqliteDatabase> db, std::string path)
    : m_path(std::move(path))
    , m_db(std::move(db))
{
}

Store::~Store() = default;

Result<std::unique_ptr<SqliteDatabase>> Store::takeReader()
{
    {
        dv::MutexLocker lock(m_readersMutex);
        m_readerIdle.wait(lock, [this]() DV_REQUIRES(m_readersMutex) { return !m_idleReaders.empty() || m_readersOpen < kReaders; });
        if (!m_idleReaders.empty()) {
            auto reader = std::move(m_idleReaders.back());
            m_idleReaders.pop_back();
            return reader;
        }
        ++m_readersOpen;
    }
    auto opened = openSmallReader(m_path);
    if (!opened) {
        dv::MutexLocker lock(m_readersMutex);
        --m_readersOpen;
        m_readerIdle.notifyOne();
    }
    return opened;
}

void Store::giveBackReader(std::unique_ptr<SqliteDatabase> reader)
{
    {
        dv::MutexLocker lock(m_readersMutex);
        m_idleReaders.push_back(std::move(reader));
    }
    m_readerIdle.notifyOne();
}

template <class Read>
auto Store::reading(Read read) -> decltype(read(std::declval<SqliteDatabase&>()))
{
    DV_TRY_ASSIGN(auto reader, takeReader());
    // The reader goes back to the pool on every path, its transaction ended.
    struct Lease {
        Store& store;
        std::unique_ptr<SqliteDatabase>& reader;
        ~Lease() { store.giveBackReader(std::move(reader)); }
    } lease { *this, reader };
    DV_TRY_ASSIGN(auto transaction, SqliteTransaction::beginReading(*reader));
    auto result = read(*reader);
    transaction.rollback(); // nothing was written
    return result;
}

Result<std::unique_ptr<Store>> Store::open(const std::string& folder, bool seedCodes)
{
    std::error_code fsError;
    std::filesystem::create_directories(folder, fsError);
    if (fsError)
        return Failure("cannot create " + folder + ": " + fsError.message());
    const std::string path = folder + "/devserver.sqlite3";
    DV_TRY_ASSIGN(auto db, SqliteDatabase::open(path));
    // Readers on other connections then go on while a write is under way.
    DV_TRY(db->exec("PRAGMA journal_mode=WAL"));
    // A log that the automatic checkpoints let start over is cut back to this as it does.
    DV_TRY(db->exec("PRAGMA journal_size_limit=" + std::to_string(kLogCheckpointBytes)));
    std::unique_ptr<Store> store(new Store(std::move(db), path));
    DV_TRY(store->createAndSeed(seedCodes));
    {
        // What a server that stopped without a checkpoint left in the log, and the seed, go into
        // the database before anyone reads.
        dv::MutexLocker lock(store->m_mutex);
        DV_TRY(store->cutBackLog());
    }
    return store;
}

std::int64_t Store::logBytes() const
{
    std::error_code error;
    const auto size = std::filesystem::file_size(m_path + "-wal", error);
    return error ? 0 : std::int64_t(size);
}

Result<bool> Store::cutBackLog()
{
    // The wait for the reads under way is the connection's busy timeout, shortened for it. No
    // statement of this connection may be left open across the checkpoint.
    auto oneNumber = [this](const std::string& pragma) DV_REQUIRES(m_mutex) {
        auto statement = m_db->prepare(pragma);
        return firstRow(statement, [](const SqliteStatement& row) { return row.int64(0); });
    };
    DV_TRY_ASSIGN(const auto usual, oneNumber("PRAGMA busy_timeout"));
    DV_TRY(m_db->exec("PRAGMA busy_timeout=" + std::to_string(kCheckpointWait.count())));
    // Its first number: whether readers kept it from finishing (then come the log's frames and
    // those copied).
    auto kept = oneNumber("PRAGMA wal_checkpoint(TRUNCATE)");
    DV_TRY(m_db->exec("PRAGMA busy_timeout=" + std::to_string(usual.value_or(0))));
    DV_TRY_ASSIGN(const auto wasKept, std::move(kept));
    return wasKept == 0;
}

Result<bool> Store::makeRoomInLog(std::int64_t bytes)
{
    const std::int64_t needed = logBytesFor(bytes);
    const std::int64_t now = logBytes();
    if (now <= kLogCheckpointBytes && now + needed <= kLogBytes)
        return true;
    DV_TRY(cutBackLog());
    return logBytes() + needed <= kLogBytes;
}

Result<void> Store::createAndSeed(bool seedCodes)
{
    dv::MutexLocker lock(m_mutex);
    {
        auto tables = m_db->prepare("SELECT COUNT(*) AS total FROM sqlite_master WHERE type = 'table' AND name = 'meta'");
        DV_TRY_ASSIGN(std::int64_t hasMeta, count(tables));
        if (hasMeta) {
            auto check = m_db->prepare("SELECT value FROM meta WHERE key = 'schema'");
            DV_TRY_ASSIGN(auto version, firstRow(check, [](const SqliteStatement& row) { return row.text("value"); }));
            if (version && *version == kStoreSchemaVersion)
                return {};
            if (version)
                return Failure("the database was written by another version of the server (schema " + *version + ")");
            // A database without its version was never finished: creating the tables again says so.
        }
    }
    DV_TRY_ASSIGN(auto transaction, SqliteTransaction::begin(*m_db));
    DV_TRY(createTables(*m_db));
    DV_TRY(seedDistricts(*m_db));
    std::vector<std::pair<CategoryRecord, std::string>> categories;
    for (const auto& seed : homeCategorySeeds())
        categories.push_back({ { .categoryId = seed.categoryId, .name = seed.name, .keyword = seed.keyword, .type = seed.type }, seed.pageHtml });
    DV_TRY(insertHomeCategories(*m_db, categories));
    DV_TRY(seedAds(*m_db));
    if (seedCodes)
        DV_TRY(seedQrCodes(*m_db));
    DV_TRY(seedIndustries(*m_db));
    DV_TRY(seedProspects(*m_db));
    DV_TRY(seedAgents(*m_db));
    DV_TRY(seedSettings(*m_db));
    DV_TRY(writeSchemaVersion(*m_db));
    return transaction.commit();
}

Result<std::string> Store::login(const std::string& clientId, const std::string& now)
{
    dv::MutexLocker lock(m_mutex);
    DV_TRY_ASSIGN(bool room, makeRoomInLog(kSmallWriteBytes));
    if (!room)
        return Failure("the write-ahead log is full: reads kept it from being checkpointed");
    DV_TRY_ASSIGN(auto transaction, SqliteTransaction::begin(*m_db));
    auto find = m_db->prepare("SELECT token FROM clients WHERE client_id = ?1");
    find.bind(1, clientId);
    DV_TRY_ASSIGN(auto token, firstRow(find, [](const SqliteStatement& row) { return row.text("token"); }));
    if (token) {
        auto update = m_db->prepare("UPDATE clients SET last_login = ?2, login_count = login_count + 1 WHERE client_id = ?1");
        update.bind(1, clientId);
        update.bind(2, now);
        DV_TRY(update.run());
    } else {
        token = newToken();
        auto insert = m_db->prepare("INSERT INTO clients (client_id, token, first_login, last_login, login_count) VALUES (?1, ?2, ?3, ?3, 1)");
        insert.bind(1, clientId);
        insert.bind(2, *token);
        insert.bind(3, now);
        DV_TRY(insert.run());
    }
    DV_TRY(transaction.commit());
    return *token;
}

Result<std::optional<std::string>> Store::tokenOf(const std::string& clientId)
{
    return reading([&](SqliteDatabase& db) {
        auto find = db.prepare("SELECT token FROM clients WHERE client_id = ?1");
        find.bind(1, clientId);
        return firstRow(find, [](const SqliteStatement& row) { return row.text("token"); });
    });
}

Result<std::int64_t> Store::loginCount(const std::string& clientId)
{
    return reading([&](SqliteDatabase& db) {
        auto find = db.prepare("SELECT login_count AS total FROM clients WHERE client_id = ?1");
        find.bind(1, clientId);
        return count(find);
    });
}

Result<void> Store::replaceHomeCategories(const std::vector<std::pair<CategoryRecord, std::string>>& categories)
{
    dv::MutexLocker lock(m_mutex);
    std::int64_t bytes = kSmallWriteBytes;
    for (const auto& [category, html] : categories)
        bytes += std::int64_t(category.name.size() + category.keyword.size() + html.size());
    DV_TRY_ASSIGN(bool room, makeRoomInLog(bytes));
    if (!room)
        return Failure("the write-ahead log is full: reads kept it from being checkpointed");
    DV_TRY_ASSIGN(auto transaction, SqliteTransaction::begin(*m_db));
    DV_TRY(m_db->exec("DELETE FROM home_categories"));
    DV_TRY(insertHomeCategories(*m_db, categories));
    return transaction.commit();
}

Result<std::vector<CategoryRecord>> Store::homeCategories()
{
    return reading([](SqliteDatabase& db) {
        auto query = db.prepare(std::string("SELECT ") + kCategoryColumns + " FROM home_categories ORDER BY order_by");
        return allRows(query, readCategory);
    });
}

Result<std::optional<std::pair<CategoryRecord, std::string>>> Store::homePage(std::int64_t categoryId)
{
    return reading([&](SqliteDatabase& db) {
        auto query = db.prepare(std::string("SELECT ") + kCategoryColumns + ", page_html FROM home_categories WHERE category_id = ?1");
        query.bind(1, categoryId);
        return firstRow(query, [](const SqliteStatement& row) { return std::pair { readCategory(row), row.text("page_html") }; });
    });
}

Result<std::vector<AdRecord>> Store::ads()
{
    return reading([](SqliteDatabase& db) {
        auto query = db.prepare("SELECT ad_id, name, link_path, link_type, seq, status, create_time, modify_time FROM ads ORDER BY seq");
        return allRows(query, readAd);
    });
}

Result<Contact> Store::contact()
{
    return reading([](SqliteDatabase& db) -> Result<Contact> {
        auto query = db.prepare("SELECT key, value FROM settings");
        DV_TRY_ASSIGN(auto settings,
            allRows(query, [](const SqliteStatement& row) { return std::pair { row.text("key"), row.text("value") }; }));
        Contact contact;
        for (auto& [key, value] : settings) {
            if (key == "agentPhone")
                contact.agentPhone = std::move(value);
            else if (key == "buyPhone")
                contact.buyPhone = std::move(value);
            else if (key == "site")
                contact.site = std::move(value);
        }
        return contact;
    });
}

Result<Page<CodeRecord>> Store::codes(const std::string& type, std::int64_t page, std::int64_t pageSize)
{
    return reading([&](SqliteDatabase& db) -> Result<Page<CodeRecord>> {
        Page<CodeRecord> out;
        auto total = db.prepare("SELECT COUNT(*) AS total FROM codes WHERE type = ?1");
        total.bind(1, type);
        DV_TRY_ASSIGN(out.totalCount, count(total));
        if (!pageInRange(out.totalCount, page, pageSize))
            return out;
        auto query = db.prepare(std::string("SELECT ") + kCodeColumns
            + " FROM codes WHERE type = ?1 ORDER BY add_time DESC, id DESC LIMIT ?2 OFFSET ?3");
        query.bind(1, type);
        query.bind(2, pageSize);
        query.bind(3, page * pageSize);
        DV_TRY_ASSIGN(out.items, allRows(query, readCode));
        std::int64_t position = page * pageSize;
        for (auto& code : out.items)
            code.position = position++;
        return out;
    });
}

Result<std::optional<CodeRecord>> Store::code(std::int64_t id)
{
    return reading([&](SqliteDatabase& db) -> Result<std::optional<CodeRecord>> {
        auto query = db.prepare(std::string("SELECT ") + kCodeColumns + " FROM codes WHERE id = ?1");
        query.bind(1, id);
        DV_TRY_ASSIGN(auto code, firstRow(query, readCode));
        if (!code)
            return code;
        DV_TRY_ASSIGN(auto placed, withPosition(db, std::move(*code)));
        return std::optional<CodeRecord>(std::move(placed));
    });
}

Result<std::optional<CodeRecord>> Store::codeAt(const std::string& type, std::int64_t position)
{
    if (position < 0)
        return std::optional<CodeRecord>();
    return reading([&](SqliteDatabase& db) -> Result<std::optional<CodeRecord>> {
        auto query = db.prepare(std::string("SELECT ") + kCodeColumns
            + " FROM codes WHERE type = ?1 ORDER BY add_time DESC, id DESC LIMIT 1 OFFSET ?2");
        query.bind(1, type);
        query.bind(2, position);
        DV_TRY_ASSIGN(auto code, firstRow(query, readCode));
        if (code)
            code->position = position;
        return code;
    });
}

Result<Store::SaveResult> Store::saveCode(const NewCode& code, const UploadQuota& quota)
{
    using Outcome = SaveResult::Outcome;
    dv::MutexLocker lock(m_mutex);
    std::string areaName;
    {
        // Finished before the write: a statement left open keeps its read, and the log with it.
        auto region = m_db->prepare("SELECT name_path FROM districts WHERE id = ?1");
        region.bind(1, code.areaId);
        DV_TRY_ASSIGN(auto namePath, firstRow(region, [](const SqliteStatement& row) { return row.text("name_path"); }));
        areaName = namePath ? areaNameOf(*namePath) : std::string();
    }

    DV_TRY_ASSIGN(bool room, makeRoomInLog(std::int64_t(code.image.size() + code.title.size() + code.descriptions.size() + code.account.size())));
    if (!room)
        return SaveResult { Outcome::Busy };
    DV_TRY_ASSIGN(auto transaction, SqliteTransaction::begin(*m_db));
    // Within the transaction: two uploads of one client at once cannot both slip under.
    DV_TRY_ASSIGN(const auto judged, judgeUpload(*m_db, code, std::int64_t(code.image.size()), quota));
    std::int64_t id = judged.earlierId;
    if (judged.refusal)
        return SaveResult { *judged.refusal, id };

    SqliteStatement write;
    if (id) {
        write = m_db->prepare("UPDATE codes SET title = ?2, descriptions = ?3, area_id = ?4, area_name = ?5, add_time = ?6, "
                              "image_type = ?7, image = ?8, revision = revision + 1 WHERE id = ?1");
        write.bind(1, id);
    } else {
        write = m_db->prepare("INSERT INTO codes (title, descriptions, area_id, area_name, add_time, image_type, image, "
                              "type, account, nick_name, equip_id, status, revision) "
                              "VALUES (?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, 1, 0)");
        write.bind(9, code.type);
        write.bind(10, code.account);
        write.bind(11, "信聊用户" + code.clientId.substr(0, 4));
        write.bind(12, code.clientId);
    }
    write.bind(2, code.title);
    write.bind(3, code.descriptions);
    write.bind(4, code.areaId);
    write.bind(5, areaName);
    write.bind(6, code.addTime);
    write.bind(7, code.imageType);
    write.bindBlob(8, code.image);
    DV_TRY(write.run());
    const Outcome outcome = id ? Outcome::Refreshed : Outcome::Added;
    if (!id)
        id = m_db->lastInsertRowId();
    DV_TRY(transaction.commit());
    return SaveResult { outcome, id };
}

Result<std::optional<Store::SaveResult::Outcome>> Store::uploadRefusal(const NewCode& code, std::size_t imageBytes, const UploadQuota& quota)
{
    return reading([&](SqliteDatabase& db) -> Result<std::optional<SaveResult::Outcome>> {
        DV_TRY_ASSIGN(const auto judged, judgeUpload(db, code, std::int64_t(imageBytes), quota));
        return judged.refusal;
    });
}

Result<std::vector<std::uint8_t>> Store::codeImage(std::int64_t id)
{
    return reading([&](SqliteDatabase& db) -> Result<std::vector<std::uint8_t>> {
        auto query = db.prepare("SELECT image FROM codes WHERE id = ?1 AND image IS NOT NULL");
        query.bind(1, id);
        DV_TRY_ASSIGN(auto image, firstRow(query, [](const SqliteStatement& row) { return row.blob("image"); }));
        return std::move(image).value_or(std::vector<std::uint8_t>());
    });
}

Result<std::int64_t> Store::codeImageSize(std::int64_t id)
{
    return reading([&](SqliteDatabase& db) {
        auto query = db.prepare("SELECT COALESCE(LENGTH(image), 0) AS total FROM codes WHERE id = ?1");
        query.bind(1, id);
        return count(query);
    });
}

Result<std::optional<std::string>> Store::codeImageAt(std::int64_t id, std::int64_t revision)
{
    return reading([&](SqliteDatabase& db) {
        auto query = db.prepare("SELECT image FROM codes WHERE id = ?1 AND revision = ?2 AND image IS NOT NULL");
        query.bind(1, id);
        query.bind(2, revision);
        // A blob's bytes read as text come unchanged, straight into the string.
        return firstRow(query, [](const SqliteStatement& row) { return row.text("image"); });
    });
}

Result<std::vector<DistrictRecord>> Store::districts(std::int64_t parentId)
{
    return reading([&](SqliteDatabase& db) {
        auto query = db.prepare(std::string("SELECT ") + kDistrictColumns + " FROM districts WHERE parent_id = ?1 ORDER BY order_by");
        query.bind(1, parentId);
        return allRows(query, readDistrict);
    });
}

Result<std::optional<DistrictRecord>> Store::district(std::int64_t id)
{
    return reading([&](SqliteDatabase& db) {
        auto query = db.prepare(std::string("SELECT ") + kDistrictColumns + " FROM districts WHERE id = ?1");
        query.bind(1, id);
        return firstRow(query, readDistrict);
    });
}

Result<std::vector<CategoryRecord>> Store::industries()
{
    return reading([](SqliteDatabase& db) {
        auto query = db.prepare(std::string("SELECT ") + kCategoryColumns + " FROM industries ORDER BY order_by");
        return allRows(query, readCategory);
    });
}

Result<bool> Store::hasIndustry(std::int64_t categoryId)
{
    return reading([&](SqliteDatabase& db) -> Result<bool> {
        auto query = db.prepare("SELECT COUNT(*) AS total FROM industries WHERE category_id = ?1");
        query.bind(1, categoryId);
        DV_TRY_ASSIGN(std::int64_t found, count(query));
        return found > 0;
    });
}

Result<Page<ProspectRecord>> Store::prospects(std::int64_t categoryId, std::int64_t page, std::int64_t pageSize)
{
    return reading([&](SqliteDatabase& db) -> Result<Page<ProspectRecord>> {
        Page<ProspectRecord> out;
        auto total = db.prepare("SELECT COUNT(*) AS total FROM prospects WHERE category_id = ?1");
        total.bind(1, categoryId);
        DV_TRY_ASSIGN(out.totalCount, count(total));
        if (!pageInRange(out.totalCount, page, pageSize))
            return out;
        auto query = db.prepare("SELECT id, category_id, industry_id, company, phone, seq, status, create_time FROM prospects "
                                "WHERE category_id = ?1 ORDER BY seq LIMIT ?2 OFFSET ?3");
        query.bind(1, categoryId);
        query.bind(2, pageSize);
        query.bind(3, page * pageSize);
        DV_TRY_ASSIGN(out.items, allRows(query, readProspect));
        return out;
    });
}

Result<std::optional<AgentRecord>> Store::agent(const std::string& agentNo)
{
    return reading([&](SqliteDatabase& db) {
        auto query = db.prepare("SELECT agent_no, name, region, level, letter_no, valid_from, valid_to FROM agents WHERE agent_no = ?1");
        query.bind(1, agentNo);
        return firstRow(query, readAgent);
    });
}

} // namespace dv::internal::devserver
