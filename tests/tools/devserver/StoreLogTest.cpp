// The store's write-ahead log stays within its bound while readers are always inside a read: the
// server program is asked for large pictures by many clients in a loop while others upload, and
// the log's file is watched throughout.
#include "DevServerTesting.h"

#include "tools/devserver/internal/Store.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <vector>

namespace dv::devserver::testing {
namespace {

using Clock = std::chrono::steady_clock;
using dv::internal::devserver::Store;

double fileMiB(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? double(status.st_size) / (1024 * 1024) : 0;
}

TEST(StoreLogTest, TheLogStaysWithinItsBoundWhileReadersAreAlwaysInsideARead)
{
    ServerProgram program;
    ASSERT_GT(program.port, 0) << program.process.standardError();
    const std::string& base = program.base;
    const std::string log = program.dataFolder + "/devserver.sqlite3-wal";

    // Pictures of 1.9 MB, the size of a large upload, for the readers to ask for.
    std::vector<std::string> pictures;
    for (int i = 0; i < 4; ++i)
        pictures.push_back(uploadLargePicture(base, "c0de" + std::to_string(i) + std::string(27, 'a'), "xl_read" + std::to_string(i), 1900 * 1000));
    ASSERT_FALSE(pictures.back().empty());

    // Readers ask for them in a loop, one after another on each client, until the uploads end.
    constexpr int kReaders = 32;
    std::atomic<bool> stop { false };
    std::vector<std::future<int>> readers;
    for (int i = 0; i < kReaders; ++i)
        readers.push_back(std::async(std::launch::async, [&, i] {
            int read = 0;
            for (std::size_t n = std::size_t(i); !stop; ++n)
                read += httpGet("http://127.0.0.1:" + std::to_string(program.port) + pictures[n % pictures.size()]).status == 200;
            return read;
        }));
    // Four uploaders write 1.9 MB pictures, 76 MB together: more than twice the log's bound.
    constexpr int kUploaders = 4;
    constexpr int kUploadsEach = 10;
    std::vector<std::future<std::pair<int, int>>> uploaders;
    for (int i = 0; i < kUploaders; ++i)
        uploaders.push_back(std::async(std::launch::async, [&, i] {
            int kept = 0, busy = 0;
            const std::string clientId = "ab1e" + std::to_string(i) + std::string(27, 'b');
            const std::string token = httpPostForm(base + "client/login.do", { { "clientId", clientId } }).json().value("token", "");
            std::string picture = samplePng(i);
            picture.resize(1900 * 1000, '\0'); // trailing bytes after the end of the PNG are ignored by decoders
            // An upload that finds no room (the readers' answers fill the server's memory budget,
            // or readers kept the log from being cut back) is sent again, a bounded number of times.
            for (int n = 0, tries = 0; n < kUploadsEach && tries < 50 * kUploadsEach; ++tries) {
                auto reply = httpPostMultipart(base + "qrcode/saveCode.do",
                    { { "clientId", clientId }, { "token", token }, { "title", "日志" }, { "area_id", "310100" }, { "type", "3" },
                        { "description", "日志" }, { "account", "xl_log" + std::to_string(n) } },
                    { { "code", "1111.png", "jpg", picture } });
                const Json json = reply.json();
                const bool wasKept = reply.status == 200 && json.is_object() && json.value("status", 0) == 1;
                const bool wasBusy = reply.status == 503 || (json.is_object() && json.value("msg", "") == "服务器繁忙，请稍后再试");
                EXPECT_TRUE(wasKept || wasBusy || reply.curlCode != 0) << reply.status << " " << reply.body;
                kept += wasKept;
                busy += wasBusy;
                n += wasKept;
            }
            return std::pair { kept, busy };
        }));

    // The log's size, watched until the uploads end.
    const auto start = Clock::now();
    double largest = 0;
    auto uploading = [&] {
        return std::any_of(uploaders.begin(), uploaders.end(), [](auto& uploader) {
            return uploader.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
        });
    };
    while (uploading()) {
        largest = std::max(largest, fileMiB(log));
        httpPostForm(base + "home/index.do", {});
    }
    largest = std::max(largest, fileMiB(log));
    stop = true;
    int kept = 0, busy = 0, read = 0;
    for (auto& uploader : uploaders) {
        auto [k, b] = uploader.get();
        kept += k;
        busy += b;
    }
    for (auto& reader : readers)
        read += reader.get();
    std::printf("[ figures  ] %d readers and %d uploaders for %.1f s: %d pictures read, %d uploads kept (told %d times to come "
                "back); the log at most %.1f MiB\n",
        kReaders, kUploaders, std::chrono::duration<double>(Clock::now() - start).count(), read, kept, busy, largest);
    EXPECT_EQ(kept, kUploaders * kUploadsEach);
    EXPECT_LE(largest, double(Store::kLogBytes) / (1024 * 1024));
}

} // namespace
} // namespace dv::devserver::testing
