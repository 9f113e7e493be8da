// The store's reads go on while a write is under way (a large picture read waits for no upload),
// and see only what was committed; a read that never ends cannot take the log past its bound.
#include "DevServerTesting.h"

#include "platform/system/SqliteDatabase.h"
#include "platform/system/SqliteTransaction.h"
#include "tools/devserver/internal/Store.h"

#include <chrono>
#include <filesystem>
#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <utility>
#include <vector>

namespace dv::devserver::testing {
namespace {

using namespace dv::internal::devserver;

// Sets the hook run before every commit, and clears it on every path.
class BeforeCommit {
public:
    explicit BeforeCommit(std::function<void()> hook) { SqliteDatabase::setBeforeCommitHook(std::move(hook)); }
    ~BeforeCommit() { SqliteDatabase::setBeforeCommitHook({}); }
};

TEST(StoreReadersTest, PicturesAreReadWhileAWriteIsUnderWayAndShowOnlyWhatWasCommitted)
{
    TemporaryFolder folder;
    auto opened = Store::open(folder.path() + "/data", false);
    ASSERT_TRUE(opened) << opened.reason();
    Store& store = **opened;
    const std::vector<std::uint8_t> before(300 * 1000, 0xb0);
    const std::vector<std::uint8_t> after(200 * 1000, 0xaf);
    NewCode code { .clientId = "5e6f7a8b9c0d1e2f3a4b5c6d7e8f9a0b", .type = "3", .title = "写入", .account = "xl_reader", .descriptions = "写入",
        .areaId = 310100, .addTime = "2026-03-01 10:00:00", .imageType = "png", .image = before };
    auto added = store.saveCode(code);
    ASSERT_TRUE(added) << added.reason();
    const std::int64_t id = added->id;

    // The next day's refresh of its picture: just before it commits, another thread reads the
    // code and its picture.
    code.addTime = "2026-03-02 10:00:00";
    code.image = after;
    std::future<std::pair<Result<std::optional<CodeRecord>>, Result<std::vector<std::uint8_t>>>> reading;
    bool readMeanwhile = false;
    {
        BeforeCommit hook([&] {
            reading = std::async(std::launch::async, [&] { return std::pair { store.code(id), store.codeImage(id) }; });
            readMeanwhile = reading.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        });
        auto refreshed = store.saveCode(code);
        ASSERT_TRUE(refreshed) << refreshed.reason();
        EXPECT_EQ(refreshed->outcome, Store::SaveResult::Outcome::Refreshed);
    }
    ASSERT_TRUE(reading.valid());
    EXPECT_TRUE(readMeanwhile) << "the reads waited for the write";
    auto [record, image] = reading.get();
    ASSERT_TRUE(record && *record) << (record ? "no code" : record.reason());
    EXPECT_EQ((*record)->addTime, "2026-03-01 10:00:00") << "a read saw a write before it was committed";
    ASSERT_TRUE(image) << image.reason();
    EXPECT_TRUE(*image == before) << "a read saw a picture before it was committed";

    // Once committed, the new picture is what every read sees.
    auto now = store.codeImage(id);
    ASSERT_TRUE(now) << now.reason();
    EXPECT_TRUE(*now == after);
}

TEST(StoreReadersTest, WritesThatWouldTakeTheLogPastItsBoundAreRefusedWhileAReadHoldsIt)
{
    TemporaryFolder folder;
    const std::string data = folder.path() + "/data";
    auto opened = Store::open(data, false);
    ASSERT_TRUE(opened) << opened.reason();
    Store& store = **opened;
    auto logMiB = [&] {
        std::error_code error;
        const auto size = std::filesystem::file_size(data + "/devserver.sqlite3-wal", error);
        return error ? 0.0 : double(size) / (1024 * 1024);
    };
    const UploadQuota roomy { .codes = 100, .bytes = std::int64_t(1) << 30, .storeBytes = std::int64_t(1) << 31 };
    auto save = [&](int n) {
        NewCode code { .clientId = "0b5e55ed0b5e55ed0b5e55ed0b5e55ed", .type = "3", .title = "日志", .account = "xl_log" + std::to_string(n),
            .descriptions = "日志", .areaId = 310100, .addTime = "2026-03-01 10:00:00", .imageType = "png",
            .image = std::vector<std::uint8_t>(7 * 1024 * 1024, std::uint8_t(n)) };
        return store.saveCode(code, roomy);
    };

    // A reader of its own that stays inside one read: the log cannot be copied past what it sees.
    auto reader = SqliteDatabase::openReader(data + "/devserver.sqlite3");
    ASSERT_TRUE(reader) << reader.reason();
    auto reading = SqliteTransaction::beginReading(**reader);
    ASSERT_TRUE(reading) << reading.reason();
    auto query = (*reader)->prepare("SELECT COUNT(*) AS total FROM codes");
    ASSERT_TRUE(query.next().valueOr(false));
    int kept = 0;
    std::optional<Store::SaveResult::Outcome> refusal;
    for (int n = 0; n < 10 && !refusal; ++n) {
        auto saved = save(n);
        ASSERT_TRUE(saved) << saved.reason();
        if (saved->outcome == Store::SaveResult::Outcome::Added)
            ++kept;
        else
            refusal = saved->outcome;
        EXPECT_LE(logMiB(), double(Store::kLogBytes) / (1024 * 1024));
    }
    EXPECT_EQ(refusal, Store::SaveResult::Outcome::Busy);
    EXPECT_GE(kept, 2);

    // Once the read ends, the log is cut back before the next write, which is kept.
    query = {};
    reading->rollback();
    auto saved = save(99);
    ASSERT_TRUE(saved) << saved.reason();
    EXPECT_EQ(saved->outcome, Store::SaveResult::Outcome::Added);
    EXPECT_LT(logMiB(), 8.0) << "the log was not cut back";
    auto image = store.codeImage(saved->id);
    ASSERT_TRUE(image) << image.reason();
    EXPECT_EQ(image->size(), 7u * 1024 * 1024);
}

} // namespace
} // namespace dv::devserver::testing
