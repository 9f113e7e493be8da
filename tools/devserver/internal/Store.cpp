#include "tools/devserver/internal/Store.h"

#include "platform/system/internal/SqliteDatabase.h"
#include "tools/devserver/internal/Regions.h"
#include "tools/devserver/internal/SeedData.h"

#include <filesystem>
#include <map>
#include <random>

namespace dv::devserver::internal {

using dv::internal::SqliteDatabase;
using dv::internal::SqliteStatement;
using Step = SqliteStatement::Step;

namespace {

constexpr const char* kSchemaVersion = "1";

constexpr const char* kSchema = R"SQL(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE clients(client_id TEXT PRIMARY KEY, token TEXT NOT NULL, first_login TEXT NOT NULL,
    last_login TEXT NOT NULL, login_count INTEGER NOT NULL);
CREATE TABLE districts(id INTEGER PRIMARY KEY, name TEXT NOT NULL, parent_id INTEGER NOT NULL,
    level INTEGER NOT NULL, name_path TEXT NOT NULL, node_path TEXT NOT NULL, char_index TEXT NOT NULL,
    order_by INTEGER NOT NULL);
CREATE INDEX districts_by_parent ON districts(parent_id, order_by);
CREATE TABLE home_categories(category_id INTEGER PRIMARY KEY, name TEXT NOT NULL, keyword TEXT NOT NULL,
    order_by INTEGER NOT NULL, type INTEGER NOT NULL, page_html TEXT NOT NULL);
CREATE TABLE ads(ad_id INTEGER PRIMARY KEY, name TEXT NOT NULL, link_path TEXT NOT NULL,
    link_type INTEGER NOT NULL, seq INTEGER NOT NULL, status INTEGER NOT NULL, create_time TEXT NOT NULL,
    modify_time TEXT NOT NULL);
CREATE TABLE codes(id INTEGER PRIMARY KEY AUTOINCREMENT, type TEXT NOT NULL, title TEXT NOT NULL,
    account TEXT NOT NULL, nick_name TEXT NOT NULL, descriptions TEXT NOT NULL, area_id INTEGER NOT NULL,
    area_name TEXT NOT NULL, equip_id TEXT NOT NULL, status INTEGER NOT NULL, add_time TEXT NOT NULL,
    revision INTEGER NOT NULL, image_type TEXT NOT NULL, image BLOB);
CREATE INDEX codes_by_kind ON codes(type, add_time DESC, id DESC);
CREATE TABLE industries(category_id INTEGER PRIMARY KEY, name TEXT NOT NULL, keyword TEXT NOT NULL,
    order_by INTEGER NOT NULL, type INTEGER NOT NULL);
CREATE TABLE prospects(id INTEGER PRIMARY KEY, category_id INTEGER NOT NULL, industry_id INTEGER NOT NULL,
    company TEXT NOT NULL, phone TEXT NOT NULL, seq INTEGER NOT NULL, status INTEGER NOT NULL,
    create_time TEXT NOT NULL);
CREATE INDEX prospects_by_category ON prospects(category_id, seq);
CREATE TABLE agents(agent_no TEXT PRIMARY KEY, name TEXT NOT NULL, region TEXT NOT NULL, level TEXT NOT NULL,
    letter_no TEXT NOT NULL, valid_from TEXT NOT NULL, valid_to TEXT NOT NULL);
CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);
)SQL";

constexpr const char* kCodeColumns =
    "id, type, title, account, nick_name, descriptions, area_id, area_name, equip_id, status, add_time, revision, image_type";

CodeRecord readCode(const SqliteStatement& row)
{
    CodeRecord code;
    code.id = row.int64(0);
    code.type = row.text(1);
    code.title = row.text(2);
    code.account = row.text(3);
    code.nickName = row.text(4);
    code.descriptions = row.text(5);
    code.areaId = row.int64(6);
    code.areaName = row.text(7);
    code.equipId = row.text(8);
    code.status = row.int64(9);
    code.addTime = row.text(10);
    code.revision = row.int64(11);
    code.imageType = row.text(12);
    return code;
}

DistrictRecord readDistrict(const SqliteStatement& row)
{
    return { row.int64(0), row.text(1), row.int64(2), row.int64(3), row.text(4), row.text(5), row.text(6), row.int64(7) };
}

CategoryRecord readCategory(const SqliteStatement& row)
{
    return { row.int64(0), row.text(1), row.text(2), row.int64(3), row.int64(4) };
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

// A region's name as the code's row shows it: the province and city names joined, once for the
// four municipalities whose city bears the province's name ("北京市", not "北京市北京市").
std::string areaNameOf(const std::string& namePath)
{
    auto comma = namePath.find(',');
    if (comma == std::string::npos)
        return namePath;
    std::string province = namePath.substr(0, comma);
    std::string city = namePath.substr(comma + 1);
    return province == city ? city : province + city;
}

// Pages outside [0, total) are empty; the offset is computed only for pages that can hold rows,
// so that huge page numbers cannot overflow.
bool pageInRange(std::int64_t total, std::int64_t page, std::int64_t pageSize)
{
    return page >= 0 && pageSize > 0 && page < (total + pageSize - 1) / pageSize;
}

} // namespace

Store::Store(std::unique_ptr<SqliteDatabase> db)
    : m_db(std::move(db))
{
}

Store::~Store() = default;

std::unique_ptr<Store> Store::open(const std::string& folder, std::string& error, bool seedCodes)
{
    std::error_code fsError;
    std::filesystem::create_directories(folder, fsError);
    if (fsError) {
        error = "cannot create " + folder + ": " + fsError.message();
        return nullptr;
    }
    auto db = SqliteDatabase::open(folder + "/devserver.sqlite3");
    if (!db) {
        error = db.reason();
        return nullptr;
    }
    std::unique_ptr<Store> store(new Store(std::move(db).value()));
    if (!store->createAndSeed(error, seedCodes))
        return nullptr;
    return store;
}

bool Store::createAndSeed(std::string& error, bool seedCodes)
{
    {
        auto check = m_db->prepare("SELECT value FROM meta WHERE key = 'schema'");
        if (check.valid() && check.step() == Step::Row) {
            if (check.text(0) == kSchemaVersion)
                return true;
            error = "the database was written by another version of the server (schema " + check.text(0) + ")";
            return false;
        }
    }
    if (!m_db->begin()) {
        error = m_db->lastError();
        return false;
    }
    auto failed = [&] {
        error = m_db->lastError();
        m_db->rollback();
        return false;
    };
    if (!m_db->exec(kSchema))
        return failed();

    {
        auto insert = m_db->prepare("INSERT INTO districts VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
        std::int64_t order = 0;
        std::map<std::int32_t, std::int64_t> cityOrder;
        for (const auto& province : provinces()) {
            insert.reset();
            insert.bind(1, std::int64_t { province.code });
            insert.bind(2, province.name);
            insert.bind(3, std::int64_t { 0 });
            insert.bind(4, std::int64_t { 1 });
            insert.bind(5, province.name);
            insert.bind(6, std::to_string(province.code));
            insert.bind(7, std::string(1, province.initial));
            insert.bind(8, ++order);
            if (insert.step() != Step::Done)
                return failed();
        }
        for (const auto& city : cities()) {
            std::int32_t parent = provinceCodeOf(city.code);
            std::string_view parentName;
            for (const auto& province : provinces())
                if (province.code == parent)
                    parentName = province.name;
            insert.reset();
            insert.bind(1, std::int64_t { city.code });
            insert.bind(2, city.name);
            insert.bind(3, std::int64_t { parent });
            insert.bind(4, std::int64_t { 2 });
            insert.bind(5, std::string(parentName) + "," + std::string(city.name));
            insert.bind(6, std::to_string(parent) + "," + std::to_string(city.code));
            insert.bind(7, std::string(1, city.initial));
            insert.bind(8, ++cityOrder[parent]);
            if (insert.step() != Step::Done)
                return failed();
        }
    }
    {
        std::vector<std::pair<CategoryRecord, std::string>> categories;
        for (const auto& seed : homeCategorySeeds())
            categories.push_back({ { .categoryId = seed.categoryId, .name = seed.name, .keyword = seed.keyword, .type = seed.type }, seed.pageHtml });
        if (!insertHomeCategories(categories))
            return failed();
    }
    {
        auto insert = m_db->prepare("INSERT INTO ads VALUES (?1, ?2, ?3, ?4, ?5, 1, ?6, ?6)");
        std::int64_t seq = 0;
        for (const auto& ad : adSeeds()) {
            insert.reset();
            insert.bind(1, ad.adId);
            insert.bind(2, ad.name);
            insert.bind(3, ad.linkPath);
            insert.bind(4, ad.linkType);
            insert.bind(5, ++seq);
            insert.bind(6, formatChinaTime(1458000000 + seq * 86400));
            if (insert.step() != Step::Done)
                return failed();
        }
    }
    if (seedCodes) {
        auto insert = m_db->prepare("INSERT INTO codes (type, title, account, nick_name, descriptions, area_id, area_name, "
                                    "equip_id, status, add_time, revision, image_type) "
                                    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, 1, ?9, 0, '')");
        auto region = m_db->prepare("SELECT name_path FROM districts WHERE id = ?1");
        for (const auto& code : codeSeeds()) {
            region.reset();
            region.bind(1, std::int64_t { code.areaId });
            std::string areaName = region.step() == Step::Row ? areaNameOf(region.text(0)) : std::string();
            insert.reset();
            insert.bind(1, code.type);
            insert.bind(2, code.title);
            insert.bind(3, code.account);
            insert.bind(4, code.nickName);
            insert.bind(5, code.descriptions);
            insert.bind(6, std::int64_t { code.areaId });
            insert.bind(7, areaName);
            insert.bind(8, code.equipId);
            insert.bind(9, code.addTime);
            if (insert.step() != Step::Done)
                return failed();
        }
    }
    {
        auto insertIndustry = m_db->prepare("INSERT INTO industries VALUES (?1, ?2, ?3, ?4, 2)");
        std::int64_t order = 0;
        for (const auto& industry : industrySeeds()) {
            insertIndustry.reset();
            insertIndustry.bind(1, industry.categoryId);
            insertIndustry.bind(2, industry.name);
            insertIndustry.bind(3, industry.keyword);
            insertIndustry.bind(4, ++order);
            if (insertIndustry.step() != Step::Done)
                return failed();
        }
        auto insert = m_db->prepare("INSERT INTO prospects (category_id, industry_id, company, phone, seq, status, create_time) "
                                    "VALUES (?1, ?2, ?3, ?4, ?5, 1, ?6)");
        std::map<std::int64_t, std::int64_t> seq;
        for (const auto& prospect : prospectSeeds()) {
            insert.reset();
            insert.bind(1, prospect.categoryId);
            insert.bind(2, prospect.industryId);
            insert.bind(3, prospect.companyName);
            insert.bind(4, prospect.phone);
            insert.bind(5, ++seq[prospect.categoryId]);
            insert.bind(6, prospect.createTime);
            if (insert.step() != Step::Done)
                return failed();
        }
    }
    {
        auto insert = m_db->prepare("INSERT INTO agents VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        for (const auto& agent : agentSeeds()) {
            insert.reset();
            insert.bind(1, agent.agentNo);
            insert.bind(2, agent.name);
            insert.bind(3, agent.region);
            insert.bind(4, agent.level);
            insert.bind(5, agent.letterNo);
            insert.bind(6, agent.validFrom);
            insert.bind(7, agent.validTo);
            if (insert.step() != Step::Done)
                return failed();
        }
    }
    {
        auto contact = contactSeed();
        auto insert = m_db->prepare("INSERT INTO settings VALUES (?1, ?2)");
        for (auto [key, value] : { std::pair { "agentPhone", contact.agentPhone }, { "buyPhone", contact.buyPhone }, { "site", contact.site } }) {
            insert.reset();
            insert.bind(1, std::string_view(key));
            insert.bind(2, value);
            if (insert.step() != Step::Done)
                return failed();
        }
        auto meta = m_db->prepare("INSERT INTO meta VALUES ('schema', ?1)");
        meta.bind(1, std::string_view(kSchemaVersion));
        if (meta.step() != Step::Done)
            return failed();
    }
    if (!m_db->commit())
        return failed();
    return true;
}

std::optional<std::string> Store::login(const std::string& clientId, const std::string& now)
{
    std::lock_guard lock(m_mutex);
    if (!m_db->begin())
        return std::nullopt;
    std::string token;
    {
        auto find = m_db->prepare("SELECT token FROM clients WHERE client_id = ?1");
        find.bind(1, clientId);
        if (find.step() == Step::Row) {
            token = find.text(0);
            auto update = m_db->prepare("UPDATE clients SET last_login = ?2, login_count = login_count + 1 WHERE client_id = ?1");
            update.bind(1, clientId);
            update.bind(2, now);
            if (update.step() != Step::Done) {
                m_db->rollback();
                return std::nullopt;
            }
        } else {
            token = newToken();
            auto insert = m_db->prepare("INSERT INTO clients VALUES (?1, ?2, ?3, ?3, 1)");
            insert.bind(1, clientId);
            insert.bind(2, token);
            insert.bind(3, now);
            if (insert.step() != Step::Done) {
                m_db->rollback();
                return std::nullopt;
            }
        }
    }
    if (!m_db->commit())
        return std::nullopt;
    return token;
}

std::optional<std::string> Store::tokenOf(const std::string& clientId)
{
    std::lock_guard lock(m_mutex);
    auto find = m_db->prepare("SELECT token FROM clients WHERE client_id = ?1");
    find.bind(1, clientId);
    if (find.step() != Step::Row)
        return std::nullopt;
    return find.text(0);
}

std::int64_t Store::loginCount(const std::string& clientId)
{
    std::lock_guard lock(m_mutex);
    auto find = m_db->prepare("SELECT login_count FROM clients WHERE client_id = ?1");
    find.bind(1, clientId);
    return find.step() == Step::Row ? find.int64(0) : 0;
}

bool Store::replaceHomeCategories(const std::vector<std::pair<CategoryRecord, std::string>>& categories)
{
    std::lock_guard lock(m_mutex);
    if (!m_db->begin())
        return false;
    if (!m_db->exec("DELETE FROM home_categories")) {
        m_db->rollback();
        return false;
    }
    if (!insertHomeCategories(categories)) {
        m_db->rollback();
        return false;
    }
    return m_db->commit().ok();
}

bool Store::insertHomeCategories(const std::vector<std::pair<CategoryRecord, std::string>>& categories)
{
    auto insert = m_db->prepare("INSERT INTO home_categories VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    std::int64_t order = 0;
    for (const auto& [category, pageHtml] : categories) {
        insert.reset();
        insert.bind(1, category.categoryId);
        insert.bind(2, category.name);
        insert.bind(3, category.keyword);
        insert.bind(4, ++order);
        insert.bind(5, category.type);
        insert.bind(6, pageHtml);
        if (insert.step() != Step::Done)
            return false;
    }
    return true;
}

std::vector<CategoryRecord> Store::homeCategories()
{
    std::lock_guard lock(m_mutex);
    std::vector<CategoryRecord> out;
    auto query = m_db->prepare("SELECT category_id, name, keyword, order_by, type FROM home_categories ORDER BY order_by");
    while (query.step() == Step::Row)
        out.push_back(readCategory(query));
    return out;
}

std::optional<std::pair<CategoryRecord, std::string>> Store::homePage(std::int64_t categoryId)
{
    std::lock_guard lock(m_mutex);
    auto query = m_db->prepare("SELECT category_id, name, keyword, order_by, type, page_html FROM home_categories WHERE category_id = ?1");
    query.bind(1, categoryId);
    if (query.step() != Step::Row)
        return std::nullopt;
    return std::pair { readCategory(query), query.text(5) };
}

std::vector<AdRecord> Store::ads()
{
    std::lock_guard lock(m_mutex);
    std::vector<AdRecord> out;
    auto query = m_db->prepare("SELECT ad_id, name, link_path, link_type, seq, status, create_time, modify_time FROM ads ORDER BY seq");
    while (query.step() == Step::Row)
        out.push_back({ query.int64(0), query.text(1), query.text(2), query.int64(3), query.int64(4), query.int64(5), query.text(6), query.text(7) });
    return out;
}

Contact Store::contact()
{
    std::lock_guard lock(m_mutex);
    Contact contact;
    auto query = m_db->prepare("SELECT key, value FROM settings");
    while (query.step() == Step::Row) {
        std::string key = query.text(0);
        if (key == "agentPhone")
            contact.agentPhone = query.text(1);
        else if (key == "buyPhone")
            contact.buyPhone = query.text(1);
        else if (key == "site")
            contact.site = query.text(1);
    }
    return contact;
}

Page<CodeRecord> Store::codes(const std::string& type, std::int64_t page, std::int64_t pageSize)
{
    std::lock_guard lock(m_mutex);
    Page<CodeRecord> out;
    auto count = m_db->prepare("SELECT COUNT(*) FROM codes WHERE type = ?1");
    count.bind(1, type);
    if (count.step() == Step::Row)
        out.totalCount = count.int64(0);
    if (!pageInRange(out.totalCount, page, pageSize))
        return out;
    auto query = m_db->prepare(std::string("SELECT ") + kCodeColumns
        + " FROM codes WHERE type = ?1 ORDER BY add_time DESC, id DESC LIMIT ?2 OFFSET ?3");
    query.bind(1, type);
    query.bind(2, pageSize);
    query.bind(3, page * pageSize);
    std::int64_t position = page * pageSize;
    while (query.step() == Step::Row) {
        out.items.push_back(readCode(query));
        out.items.back().position = position++;
    }
    return out;
}

std::optional<CodeRecord> Store::withPosition(std::optional<CodeRecord> code)
{
    if (!code)
        return code;
    auto before = m_db->prepare("SELECT COUNT(*) FROM codes WHERE type = ?1 AND (add_time > ?2 OR (add_time = ?2 AND id > ?3))");
    before.bind(1, code->type);
    before.bind(2, code->addTime);
    before.bind(3, code->id);
    if (before.step() == Step::Row)
        code->position = before.int64(0);
    return code;
}

std::optional<CodeRecord> Store::code(std::int64_t id)
{
    std::lock_guard lock(m_mutex);
    auto query = m_db->prepare(std::string("SELECT ") + kCodeColumns + " FROM codes WHERE id = ?1");
    query.bind(1, id);
    if (query.step() != Step::Row)
        return std::nullopt;
    return withPosition(readCode(query));
}

std::optional<CodeRecord> Store::codeAt(const std::string& type, std::int64_t position)
{
    std::lock_guard lock(m_mutex);
    if (position < 0)
        return std::nullopt;
    auto query = m_db->prepare(std::string("SELECT ") + kCodeColumns
        + " FROM codes WHERE type = ?1 ORDER BY add_time DESC, id DESC LIMIT 1 OFFSET ?2");
    query.bind(1, type);
    query.bind(2, position);
    if (query.step() != Step::Row)
        return std::nullopt;
    auto code = readCode(query);
    code.position = position;
    return code;
}

Store::SaveResult Store::saveCode(const NewCode& code, const UploadQuota& quota)
{
    using Outcome = SaveResult::Outcome;
    std::lock_guard lock(m_mutex);
    std::string areaName;
    {
        auto region = m_db->prepare("SELECT name_path FROM districts WHERE id = ?1");
        region.bind(1, code.areaId);
        if (region.step() == Step::Row)
            areaName = areaNameOf(region.text(0));
    }
    if (!m_db->begin())
        return { Outcome::Failed };
    std::int64_t id = 0;
    {
        auto find = m_db->prepare("SELECT id, add_time FROM codes WHERE type = ?1 AND equip_id = ?2 AND account = ?3");
        find.bind(1, code.type);
        find.bind(2, code.clientId);
        find.bind(3, code.account);
        if (find.step() == Step::Row) {
            id = find.int64(0);
            // Times are "yyyy-MM-dd HH:mm:ss": the first ten characters are the day.
            if (find.text(1).substr(0, 10) == code.addTime.substr(0, 10)) {
                m_db->rollback();
                return { Outcome::AlreadyRefreshedToday, id };
            }
        }
    }
    {
        // Within the transaction: two uploads of one client at once cannot both slip under.
        auto usage = m_db->prepare("SELECT COUNT(*), COALESCE(SUM(LENGTH(image)), 0), "
                                   "COALESCE(SUM(CASE WHEN id = ?2 THEN LENGTH(image) ELSE 0 END), 0) FROM codes WHERE equip_id = ?1");
        usage.bind(1, code.clientId);
        usage.bind(2, id);
        if (usage.step() != Step::Row) {
            m_db->rollback();
            return { Outcome::Failed };
        }
        const std::int64_t codes = usage.int64(0);
        const std::int64_t bytes = usage.int64(1) - usage.int64(2) + std::int64_t(code.image.size());
        if (!id && codes >= quota.codes) {
            m_db->rollback();
            return { Outcome::TooManyCodes };
        }
        if (bytes > quota.bytes) {
            m_db->rollback();
            return { Outcome::TooManyBytes, id };
        }
    }
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
    if (write.step() != Step::Done) {
        m_db->rollback();
        return { Outcome::Failed };
    }
    Outcome outcome = id ? Outcome::Refreshed : Outcome::Added;
    if (!id)
        id = m_db->lastInsertRowId();
    if (!m_db->commit())
        return { Outcome::Failed };
    return { outcome, id };
}

std::vector<std::uint8_t> Store::codeImage(std::int64_t id)
{
    std::lock_guard lock(m_mutex);
    auto query = m_db->prepare("SELECT image FROM codes WHERE id = ?1 AND image IS NOT NULL");
    query.bind(1, id);
    if (query.step() != Step::Row)
        return {};
    return query.blob(0);
}

std::vector<DistrictRecord> Store::districts(std::int64_t parentId)
{
    std::lock_guard lock(m_mutex);
    std::vector<DistrictRecord> out;
    auto query = m_db->prepare("SELECT id, name, parent_id, level, name_path, node_path, char_index, order_by "
                               "FROM districts WHERE parent_id = ?1 ORDER BY order_by");
    query.bind(1, parentId);
    while (query.step() == Step::Row)
        out.push_back(readDistrict(query));
    return out;
}

std::optional<DistrictRecord> Store::district(std::int64_t id)
{
    std::lock_guard lock(m_mutex);
    auto query = m_db->prepare("SELECT id, name, parent_id, level, name_path, node_path, char_index, order_by "
                               "FROM districts WHERE id = ?1");
    query.bind(1, id);
    if (query.step() != Step::Row)
        return std::nullopt;
    return readDistrict(query);
}

std::vector<CategoryRecord> Store::industries()
{
    std::lock_guard lock(m_mutex);
    std::vector<CategoryRecord> out;
    auto query = m_db->prepare("SELECT category_id, name, keyword, order_by, type FROM industries ORDER BY order_by");
    while (query.step() == Step::Row)
        out.push_back(readCategory(query));
    return out;
}

bool Store::hasIndustry(std::int64_t categoryId)
{
    std::lock_guard lock(m_mutex);
    auto query = m_db->prepare("SELECT 1 FROM industries WHERE category_id = ?1");
    query.bind(1, categoryId);
    return query.step() == Step::Row;
}

Page<ProspectRecord> Store::prospects(std::int64_t categoryId, std::int64_t page, std::int64_t pageSize)
{
    std::lock_guard lock(m_mutex);
    Page<ProspectRecord> out;
    auto count = m_db->prepare("SELECT COUNT(*) FROM prospects WHERE category_id = ?1");
    count.bind(1, categoryId);
    if (count.step() == Step::Row)
        out.totalCount = count.int64(0);
    if (!pageInRange(out.totalCount, page, pageSize))
        return out;
    auto query = m_db->prepare("SELECT id, category_id, industry_id, company, phone, seq, status, create_time FROM prospects "
                               "WHERE category_id = ?1 ORDER BY seq LIMIT ?2 OFFSET ?3");
    query.bind(1, categoryId);
    query.bind(2, pageSize);
    query.bind(3, page * pageSize);
    while (query.step() == Step::Row)
        out.items.push_back({ query.int64(0), query.int64(1), query.int64(2), query.text(3), query.text(4), query.int64(5), query.int64(6), query.text(7) });
    return out;
}

std::optional<AgentRecord> Store::agent(const std::string& agentNo)
{
    std::lock_guard lock(m_mutex);
    auto query = m_db->prepare("SELECT agent_no, name, region, level, letter_no, valid_from, valid_to FROM agents WHERE agent_no = ?1");
    query.bind(1, agentNo);
    if (query.step() != Step::Row)
        return std::nullopt;
    return AgentRecord { query.text(0), query.text(1), query.text(2), query.text(3), query.text(4), query.text(5), query.text(6) };
}

} // namespace dv::devserver::internal
