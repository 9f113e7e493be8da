// The server's data: one SQLite database in the data folder, created and seeded on first open.
// Every call takes the store's lock, so handlers on the server's worker threads may share one
// store; every write is one transaction.
//
//   std::string error;
//   auto store = Store::open(dataFolder, error);   // nil and a reason when the file is unusable
//   auto page = store->codes("3", 0, 10);
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace dv::internal {
class SqliteDatabase;
}

namespace dv::devserver::internal {

struct CodeRecord {
    std::int64_t id = 0;
    std::string type;
    std::string title;
    std::string account;
    std::string nickName;
    std::string descriptions;
    std::int64_t areaId = 0;
    std::string areaName;
    std::string equipId;
    std::int64_t status = 1;
    std::string addTime;
    std::int64_t revision = 0;  // grows with every refresh, so that picture URLs change with it
    std::string imageType;      // "" for a generated QR picture, else "png", "jpg", "gif" or "webp"
    std::int64_t position = 0;  // place in the list of its kind, newest first
};

struct NewCode {
    std::string clientId;
    std::string type;
    std::string title;
    std::string account;
    std::string descriptions;
    std::int64_t areaId = 0;
    std::string addTime;
    std::string imageType;
    std::vector<std::uint8_t> image;
};

// What one device may keep uploaded.
struct UploadQuota {
    std::int64_t codes = 100;
    std::int64_t bytes = 32 * 1024 * 1024;
};

struct DistrictRecord {
    std::int64_t id = 0;
    std::string name;
    std::int64_t parentId = 0;
    std::int64_t level = 0; // 1 province, 2 city
    std::string namePath;   // "广东省,广州市"
    std::string nodePath;   // "440000,440100"
    std::string charIndex;  // "G"
    std::int64_t orderBy = 0;
};

struct CategoryRecord {
    std::int64_t categoryId = 0;
    std::string name;
    std::string keyword;
    std::int64_t orderBy = 0;
    std::int64_t type = 0;
};

struct AdRecord {
    std::int64_t adId = 0;
    std::string name;
    std::string linkPath;
    std::int64_t linkType = 0;
    std::int64_t seq = 0;
    std::int64_t status = 1;
    std::string createTime;
    std::string modifyTime;
};

struct ProspectRecord {
    std::int64_t id = 0;
    std::int64_t categoryId = 0;
    std::int64_t industryId = 0;
    std::string companyName;
    std::string phone;
    std::int64_t seq = 0;
    std::int64_t status = 1;
    std::string createTime;
};

struct AgentRecord {
    std::string agentNo, name, region, level, letterNo, validFrom, validTo;
};

struct Contact {
    std::string agentPhone, buyPhone, site;
};

template<typename T>
struct Page {
    std::int64_t totalCount = 0;
    std::vector<T> items;
};

class Store {
public:
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // A new database gets the seeded QR codes unless `seedCodes` is NO (an empty directory; the
    // rest of the seed is there all the same). An existing database is opened as it stands.
    static std::unique_ptr<Store> open(const std::string& folder, std::string& error, bool seedCodes = true);

    // The token of `clientId`, made at its first login and kept from then on.
    std::optional<std::string> login(const std::string& clientId, const std::string& now);
    std::optional<std::string> tokenOf(const std::string& clientId);
    // How many times `clientId` has logged in (0 for a client never seen).
    std::int64_t loginCount(const std::string& clientId);

    std::vector<CategoryRecord> homeCategories();
    // Replaces the home categories, listed from now on in the given order, each with the HTML of
    // its page. false (nothing changed) when the database refuses.
    bool replaceHomeCategories(const std::vector<std::pair<CategoryRecord, std::string>>& categories);
    std::optional<std::pair<CategoryRecord, std::string>> homePage(std::int64_t categoryId); // with its HTML
    std::vector<AdRecord> ads();
    Contact contact();

    // Codes of one kind, newest first; a page outside the list is empty.
    Page<CodeRecord> codes(const std::string& type, std::int64_t page, std::int64_t pageSize);
    std::optional<CodeRecord> code(std::int64_t id);
    std::optional<CodeRecord> codeAt(const std::string& type, std::int64_t position);
    // Stores an upload. A code of the same kind and account uploaded earlier from the same client
    // is refreshed in place (it moves to the top of its list), at most once per calendar day.
    // Nothing is stored that would take the client past its quota: a new code past its count, or
    // pictures past its bytes (a refresh counts its new picture in place of the old one).
    struct SaveResult {
        enum class Outcome { Added, Refreshed, AlreadyRefreshedToday, TooManyCodes, TooManyBytes, Failed } outcome;
        std::int64_t id = 0;
    };
    SaveResult saveCode(const NewCode& code, const UploadQuota& quota = {});
    // The uploaded picture of a code, empty for a seeded one.
    std::vector<std::uint8_t> codeImage(std::int64_t id);

    std::vector<DistrictRecord> districts(std::int64_t parentId);
    std::optional<DistrictRecord> district(std::int64_t id);

    std::vector<CategoryRecord> industries();
    bool hasIndustry(std::int64_t categoryId);
    Page<ProspectRecord> prospects(std::int64_t categoryId, std::int64_t page, std::int64_t pageSize);

    std::optional<AgentRecord> agent(const std::string& agentNo);

private:
    explicit Store(std::unique_ptr<dv::internal::SqliteDatabase> db);
    bool createAndSeed(std::string& error, bool seedCodes);
    // Inserts the categories with their pages, ordered as given, inside the caller's transaction.
    bool insertHomeCategories(const std::vector<std::pair<CategoryRecord, std::string>>& categories);
    std::optional<CodeRecord> withPosition(std::optional<CodeRecord> code);

    std::mutex m_mutex;
    std::unique_ptr<dv::internal::SqliteDatabase> m_db;
};

} // namespace dv::devserver::internal
