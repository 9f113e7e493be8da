// The store's reads go on while a write is under way (a large picture read waits for no upload),
// and see only what was committed.
#include "DevServerTesting.h"

#include "platform/system/SqliteDatabase.h"
#include "tools/devserver/internal/Store.h"

#include <chrono>
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

} // namespace
} // namespace dv::devserver::testing
