// The server's data: one SQLite database in the data folder, created and seeded on first open,
// kept with a write-ahead log. Handlers on the server's worker threads share one store: every
// write is one transaction on the one writing connection, under the store's lock; every read is
// one read transaction on a connection of a small pool of read-only ones, so that reads (a large
// picture among them) go on together and wait for no write, and see only what was committed (each
// reader caches 256 KiB of pages, so that the pictures it passed on do not stay in memory). A
// call the database fails gives the reason, never an empty answer in its place.
//
// The log is bounded: before each write, a log past kLogCheckpointBytes is copied into the
// database and cut back to nothing, which needs a moment when no reader is inside a read (each
// read holds its transaction for that one read only, so the writer finds one within
// kCheckpointWait however many readers come and go); a write that would still take the log past
// kLogBytes is refused (an upload as Busy, another write as a failure).
//
//   DV_TRY_ASSIGN(auto store, Store::open(dataFolder)); // a failure when the file is unusable
//   DV_TRY_ASSIGN(auto page, store->codes("3", 0, 10));
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/Result.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dv {
class SqliteDatabase;
}

namespace dv::internal::devserver {

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

// What uploads may keep: one device its codes and the bytes of their pictures; all devices together
// the bytes of every code's picture and texts.
struct UploadQuota {
    std::int64_t codes = 100;
    std::int64_t bytes = 32 * 1024 * 1024;
    std::int64_t storeBytes = 1024 * 1024 * 1024;
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
    static Result<std::unique_ptr<Store>> open(const std::string& folder, bool seedCodes = true);

    // The token of `clientId`, made at its first login and kept from then on.
    Result<std::string> login(const std::string& clientId, const std::string& now);
    Result<std::optional<std::string>> tokenOf(const std::string& clientId);
    // How many times `clientId` has logged in (0 for a client never seen).
    Result<std::int64_t> loginCount(const std::string& clientId);

    Result<std::vector<CategoryRecord>> homeCategories();
    // Replaces the home categories, listed from now on in the given order, each with the HTML of
    // its page. Nothing changes when the database refuses.
    Result<void> replaceHomeCategories(const std::vector<std::pair<CategoryRecord, std::string>>& categories);
    Result<std::optional<std::pair<CategoryRecord, std::string>>> homePage(std::int64_t categoryId); // with its HTML
    Result<std::vector<AdRecord>> ads();
    Result<Contact> contact();

    // Codes of one kind, newest first; a page outside the list is empty.
    Result<Page<CodeRecord>> codes(const std::string& type, std::int64_t page, std::int64_t pageSize);
    Result<std::optional<CodeRecord>> code(std::int64_t id);
    Result<std::optional<CodeRecord>> codeAt(const std::string& type, std::int64_t position);
    // Stores an upload. A code of the same kind and account uploaded earlier from the same client
    // is refreshed in place (it moves to the top of its list), at most once per calendar day.
    // Nothing is stored that would take the client past its quota: a new code past its count, or
    // pictures past its bytes (a refresh counts its new picture in place of the old one); nor what
    // would take the whole store past its bytes, whichever clients uploaded them.
    // Busy: the log had no room for it, readers having kept it from being cut back.
    struct SaveResult {
        enum class Outcome { Added, Refreshed, AlreadyRefreshedToday, TooManyCodes, TooManyBytes, StoreFull, Busy } outcome;
        std::int64_t id = 0;
    };
    Result<SaveResult> saveCode(const NewCode& code, const UploadQuota& quota = {});
    // What saveCode would refuse of `code` with a picture of `imageBytes` bytes (its `image` may
    // be empty), judged in one read as the store stands: a refusal, or nothing when it would be
    // stored now. For an upload to be refused before its picture is decoded; saveCode judges
    // again as it writes.
    Result<std::optional<SaveResult::Outcome>> uploadRefusal(const NewCode& code, std::size_t imageBytes, const UploadQuota& quota = {});
    // The uploaded picture of a code, empty for a seeded one.
    Result<std::vector<std::uint8_t>> codeImage(std::int64_t id);
    // Its size in bytes, read without the picture.
    Result<std::int64_t> codeImageSize(std::int64_t id);
    // The uploaded picture of a code as it is at `revision`, its bytes as they are stored; none
    // when the code has no picture or another revision now.
    Result<std::optional<std::string>> codeImageAt(std::int64_t id, std::int64_t revision);

    Result<std::vector<DistrictRecord>> districts(std::int64_t parentId);
    Result<std::optional<DistrictRecord>> district(std::int64_t id);

    Result<std::vector<CategoryRecord>> industries();
    Result<bool> hasIndustry(std::int64_t categoryId);
    Result<Page<ProspectRecord>> prospects(std::int64_t categoryId, std::int64_t page, std::int64_t pageSize);

    Result<std::optional<AgentRecord>> agent(const std::string& agentNo);

    // The bound of the write-ahead log's file (devserver.sqlite3-wal), and the size past which it
    // is checkpointed and cut back before the next write.
    static constexpr std::int64_t kLogBytes = 32 * 1024 * 1024;
    static constexpr std::int64_t kLogCheckpointBytes = 8 * 1024 * 1024;
    static constexpr std::chrono::milliseconds kCheckpointWait { 1000 };

private:
    // Read-only connections open at most, each lent to one call at a time.
    static constexpr std::size_t kReaders = 4;

    Store(std::unique_ptr<SqliteDatabase> db, std::string path);
    Result<void> createAndSeed(bool seedCodes);
    // Runs `read` (SqliteDatabase& -> Result<...>) in one read transaction on a reader of the pool.
    template <class Read>
    auto reading(Read read) -> decltype(read(std::declval<SqliteDatabase&>()));
    // An idle reader, or a new one while fewer than kReaders are open; else waits for one.
    Result<std::unique_ptr<SqliteDatabase>> takeReader();
    void giveBackReader(std::unique_ptr<SqliteDatabase> reader);
    // The size of the log's file now; 0 when there is none.
    std::int64_t logBytes() const;
    // Before a write of about `bytes` bytes of rows: cuts the log back when it has passed
    // kLogCheckpointBytes; whether the write then fits within kLogBytes.
    Result<bool> makeRoomInLog(std::int64_t bytes) DV_REQUIRES(m_mutex);
    // Copies the whole log into the database and cuts its file to nothing, waiting at most
    // kCheckpointWait for the reads under way to end; false when they did not.
    Result<bool> cutBackLog() DV_REQUIRES(m_mutex);

    const std::string m_path;
    dv::Mutex m_mutex;
    std::unique_ptr<SqliteDatabase> m_db DV_GUARDED_BY(m_mutex);

    dv::Mutex m_readersMutex;
    dv::ConditionVariable m_readerIdle;
    std::vector<std::unique_ptr<SqliteDatabase>> m_idleReaders DV_GUARDED_BY(m_readersMutex);
    std::size_t m_readersOpen DV_GUARDED_BY(m_readersMutex) = 0;
};

} // namespace dv::internal::devserver
