#include "tools/devserver/internal/StoreSeed.h"

#include "platform/system/SqliteDatabase.h"
#include "tools/devserver/internal/Regions.h"
#include "tools/devserver/internal/SeedData.h"

#include <map>
#include <string_view>

namespace dv::internal::devserver {

namespace {

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

// Runs the insert `sql` once for each of `items`, its parameters bound by `bind`.
template <class Items, class Bind>
Result<void> insertEach(SqliteDatabase& db, std::string_view sql, const Items& items, Bind bind)
{
    auto insert = db.prepare(sql);
    for (const auto& item : items) {
        insert.reset();
        bind(insert, item);
        DV_TRY(insert.run());
    }
    return {};
}

std::string_view provinceName(std::int32_t code)
{
    for (const auto& province : provinces())
        if (province.code == code)
            return province.name;
    return {};
}

} // namespace

std::string areaNameOf(const std::string& namePath)
{
    auto comma = namePath.find(',');
    if (comma == std::string::npos)
        return namePath;
    std::string province = namePath.substr(0, comma);
    std::string city = namePath.substr(comma + 1);
    return province == city ? city : province + city;
}

Result<void> createTables(SqliteDatabase& db) { return db.exec(kSchema); }

Result<void> seedDistricts(SqliteDatabase& db)
{
    constexpr std::string_view kInsert = "INSERT INTO districts (id, name, parent_id, level, name_path, node_path, char_index, order_by) "
                                         "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)";
    std::int64_t order = 0;
    DV_TRY(insertEach(db, kInsert, provinces(), [&](SqliteStatement& insert, const Region& province) {
        insert.bind(1, std::int64_t { province.code });
        insert.bind(2, province.name);
        insert.bind(3, std::int64_t { 0 });
        insert.bind(4, std::int64_t { 1 });
        insert.bind(5, province.name);
        insert.bind(6, std::to_string(province.code));
        insert.bind(7, std::string(1, province.initial));
        insert.bind(8, ++order);
    }));
    std::map<std::int32_t, std::int64_t> cityOrder;
    return insertEach(db, kInsert, cities(), [&](SqliteStatement& insert, const Region& city) {
        const std::int32_t parent = provinceCodeOf(city.code);
        insert.bind(1, std::int64_t { city.code });
        insert.bind(2, city.name);
        insert.bind(3, std::int64_t { parent });
        insert.bind(4, std::int64_t { 2 });
        insert.bind(5, std::string(provinceName(parent)) + "," + std::string(city.name));
        insert.bind(6, std::to_string(parent) + "," + std::to_string(city.code));
        insert.bind(7, std::string(1, city.initial));
        insert.bind(8, ++cityOrder[parent]);
    });
}

Result<void> insertHomeCategories(SqliteDatabase& db, const std::vector<std::pair<CategoryRecord, std::string>>& categories)
{
    std::int64_t order = 0;
    return insertEach(db, "INSERT INTO home_categories (category_id, name, keyword, order_by, type, page_html) VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
        categories, [&](SqliteStatement& insert, const std::pair<CategoryRecord, std::string>& entry) {
            const auto& [category, pageHtml] = entry;
            insert.bind(1, category.categoryId);
            insert.bind(2, category.name);
            insert.bind(3, category.keyword);
            insert.bind(4, ++order);
            insert.bind(5, category.type);
            insert.bind(6, pageHtml);
        });
}

Result<void> seedAds(SqliteDatabase& db)
{
    std::int64_t seq = 0;
    return insertEach(db,
        "INSERT INTO ads (ad_id, name, link_path, link_type, seq, status, create_time, modify_time) VALUES (?1, ?2, ?3, ?4, ?5, 1, ?6, ?6)",
        adSeeds(), [&](SqliteStatement& insert, const AdSeed& ad) {
            insert.bind(1, ad.adId);
            insert.bind(2, ad.name);
            insert.bind(3, ad.linkPath);
            insert.bind(4, ad.linkType);
            insert.bind(5, ++seq);
            insert.bind(6, formatChinaTime(1458000000 + seq * 86400));
        });
}

Result<void> seedQrCodes(SqliteDatabase& db)
{
    std::map<std::int32_t, std::string> areaNames;
    for (const auto& code : codeSeeds()) {
        if (areaNames.contains(code.areaId))
            continue;
        auto region = db.prepare("SELECT name_path FROM districts WHERE id = ?1");
        region.bind(1, std::int64_t { code.areaId });
        DV_TRY_ASSIGN(bool found, region.next());
        areaNames[code.areaId] = found ? areaNameOf(region.text("name_path")) : std::string();
    }
    return insertEach(db,
        "INSERT INTO codes (type, title, account, nick_name, descriptions, area_id, area_name, equip_id, status, add_time, revision, image_type) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, 1, ?9, 0, '')",
        codeSeeds(), [&](SqliteStatement& insert, const CodeSeed& code) {
            insert.bind(1, code.type);
            insert.bind(2, code.title);
            insert.bind(3, code.account);
            insert.bind(4, code.nickName);
            insert.bind(5, code.descriptions);
            insert.bind(6, std::int64_t { code.areaId });
            insert.bind(7, areaNames[code.areaId]);
            insert.bind(8, code.equipId);
            insert.bind(9, code.addTime);
        });
}

Result<void> seedIndustries(SqliteDatabase& db)
{
    std::int64_t order = 0;
    return insertEach(db, "INSERT INTO industries (category_id, name, keyword, order_by, type) VALUES (?1, ?2, ?3, ?4, 2)",
        industrySeeds(), [&](SqliteStatement& insert, const IndustrySeed& industry) {
            insert.bind(1, industry.categoryId);
            insert.bind(2, industry.name);
            insert.bind(3, industry.keyword);
            insert.bind(4, ++order);
        });
}

Result<void> seedProspects(SqliteDatabase& db)
{
    std::map<std::int64_t, std::int64_t> seq;
    return insertEach(db,
        "INSERT INTO prospects (category_id, industry_id, company, phone, seq, status, create_time) VALUES (?1, ?2, ?3, ?4, ?5, 1, ?6)",
        prospectSeeds(), [&](SqliteStatement& insert, const ProspectSeed& prospect) {
            insert.bind(1, prospect.categoryId);
            insert.bind(2, prospect.industryId);
            insert.bind(3, prospect.companyName);
            insert.bind(4, prospect.phone);
            insert.bind(5, ++seq[prospect.categoryId]);
            insert.bind(6, prospect.createTime);
        });
}

Result<void> seedAgents(SqliteDatabase& db)
{
    return insertEach(db,
        "INSERT INTO agents (agent_no, name, region, level, letter_no, valid_from, valid_to) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
        agentSeeds(), [](SqliteStatement& insert, const AgentSeed& agent) {
            insert.bind(1, agent.agentNo);
            insert.bind(2, agent.name);
            insert.bind(3, agent.region);
            insert.bind(4, agent.level);
            insert.bind(5, agent.letterNo);
            insert.bind(6, agent.validFrom);
            insert.bind(7, agent.validTo);
        });
}

Result<void> seedSettings(SqliteDatabase& db)
{
    const auto contact = contactSeed();
    const std::pair<std::string_view, std::string> settings[] = {
        { "agentPhone", contact.agentPhone }, { "buyPhone", contact.buyPhone }, { "site", contact.site } };
    return insertEach(db, "INSERT INTO settings (key, value) VALUES (?1, ?2)", settings,
        [](SqliteStatement& insert, const std::pair<std::string_view, std::string>& setting) {
            insert.bind(1, setting.first);
            insert.bind(2, setting.second);
        });
}

Result<void> writeSchemaVersion(SqliteDatabase& db)
{
    auto meta = db.prepare("INSERT INTO meta (key, value) VALUES ('schema', ?1)");
    meta.bind(1, std::string_view(kStoreSchemaVersion));
    return meta.run();
}

} // namespace dv::internal::devserver
