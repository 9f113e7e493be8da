// Answers of one uploaded picture share one copy of its bytes, counted once: many readers of one
// picture at once are all answered, within the budget, whether they read it whole, in part or
// under a fault.
#include "DevServerTesting.h"

#include "platform/base/Mutex.h"
#include "platform/testing/LargePictures.h"
#include "tools/devserver/internal/SharedPictures.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace dv::devserver::testing {
namespace {

using namespace dv::internal::devserver;
using Clock = std::chrono::steady_clock;
using Outcome = SharedPictures::Outcome;

// A read that counts its copy into `budget`, and how many reads there were.
struct CountedReads {
    MemoryBudget& budget;
    std::atomic<int> reads { 0 };

    SharedPictures::Read of(std::size_t size, char fill)
    {
        return [this, size, fill]() -> Result<SharedPictures::Taken> {
            ++reads;
            auto copy = std::make_shared<SharedBytes>();
            if (!copy->share.emplace(budget).grow(size))
                return SharedPictures::Taken { Outcome::NoRoom };
            copy->bytes.assign(size, fill);
            return SharedPictures::Taken { Outcome::Found, std::move(copy) };
        };
    }
};

SharedPictures::Taken taken(const Result<SharedPictures::Taken>& result)
{
    EXPECT_TRUE(result) << result.reason();
    return result ? *result : SharedPictures::Taken {};
}

TEST(SharedPicturesTest, APictureIsReadOnceWhileAnswersHoldItAndCountedOnce)
{
    MemoryBudget budget(1024 * 1024);
    CountedReads counted { budget };
    SharedPictures pictures;
    {
        auto first = taken(pictures.take({ 12, 0 }, counted.of(100 * 1000, 'a')));
        auto second = taken(pictures.take({ 12, 0 }, counted.of(100 * 1000, 'a')));
        ASSERT_EQ(first.outcome, Outcome::Found);
        EXPECT_EQ(second.bytes, first.bytes) << "two copies of one picture";
        EXPECT_EQ(counted.reads, 1);
        EXPECT_EQ(budget.used(), 100u * 1000);
        // A refreshed picture is another one: its own read, its own copy.
        auto refreshed = taken(pictures.take({ 12, 1 }, counted.of(200 * 1000, 'b')));
        EXPECT_EQ(counted.reads, 2);
        EXPECT_EQ(refreshed.bytes->bytes, std::string(200 * 1000, 'b'));
        EXPECT_EQ(budget.used(), 300u * 1000);
        EXPECT_EQ(pictures.held(), 2u);
        // One the budget has no room for is refused, and nothing is kept of it.
        EXPECT_EQ(taken(pictures.take({ 13, 0 }, counted.of(900 * 1000, 'c'))).outcome, Outcome::NoRoom);
        EXPECT_EQ(budget.used(), 300u * 1000);
    }
    // Nothing is kept once no answer holds a picture: its room is back, and it is read again.
    EXPECT_EQ(budget.used(), 0u);
    EXPECT_EQ(pictures.held(), 0u);
    EXPECT_EQ(taken(pictures.take({ 12, 0 }, counted.of(100 * 1000, 'a'))).outcome, Outcome::Found);
    EXPECT_EQ(counted.reads, 4);
}

TEST(SharedPicturesTest, WhoeverAsksDuringAReadWaitsForItAndSharesWhatItFound)
{
    MemoryBudget budget(64 * 1024 * 1024);
    CountedReads counted { budget };
    SharedPictures pictures;
    // The first read of each round waits until the others have asked; in the second round it
    // finds no room, and the next asker reads again itself.
    for (bool firstFindsNoRoom : { false, true }) {
        counted.reads = 0;
        dv::Mutex mutex;
        dv::ConditionVariable changed;
        bool readBegun = false;
        bool open = false;
        std::atomic<int> asking { 0 };
        auto slowRead = [&]() -> Result<SharedPictures::Taken> {
            {
                dv::MutexLocker lock(mutex);
                readBegun = true;
                changed.notifyAll();
                changed.wait(lock, [&] { return open; });
            }
            if (firstFindsNoRoom && counted.reads == 0) {
                ++counted.reads;
                return SharedPictures::Taken { Outcome::NoRoom };
            }
            return counted.of(1000 * 1000, 'p')();
        };
        constexpr int kAskers = 8;
        std::vector<SharedPictures::Taken> results(kAskers);
        std::vector<std::thread> askers;
        askers.emplace_back([&] { results[0] = taken(pictures.take({ 5, 2 }, slowRead)); });
        {
            dv::MutexLocker lock(mutex);
            changed.wait(lock, [&] { return readBegun; });
        }
        for (int i = 1; i < kAskers; ++i)
            askers.emplace_back([&, i] {
                ++asking;
                results[std::size_t(i)] = taken(pictures.take({ 5, 2 }, slowRead));
            });
        while (asking.load() < kAskers - 1)
            std::this_thread::yield();
        {
            dv::MutexLocker lock(mutex);
            open = true;
            changed.notifyAll();
        }
        for (auto& asker : askers)
            asker.join();
        int found = 0;
        for (const auto& result : results) {
            if (result.outcome != Outcome::Found)
                continue;
            ++found;
            EXPECT_EQ(result.bytes, results.back().bytes);
        }
        EXPECT_EQ(found, firstFindsNoRoom ? kAskers - 1 : kAskers);
        EXPECT_EQ(counted.reads, firstFindsNoRoom ? 2 : 1);
        EXPECT_EQ(budget.used(), 1000u * 1000);
        results.clear();
        EXPECT_EQ(budget.used(), 0u);
    }
}

class SharedPictureAnswersTest : public DevServerTest {
protected:
    void SetUp() override
    {
        DevServerTest::SetUp();
        picture = dv::testing::blackPng(40, 40);
        picture.resize(kSize, '\0'); // as uploadLargePicture pads it
        path = uploadLargePicture(server->baseURL(), "9f8e7d6c5b4a39281706f5e4d3c2b1a0", "xl_shared", kSize);
        ASSERT_FALSE(path.empty());
        address = "http://127.0.0.1:" + std::to_string(server->port()) + path;
    }

    static constexpr std::size_t kSize = 300 * 1000;
    std::string picture;
    std::string path;
    std::string address;
};

TEST_F(SharedPictureAnswersTest, AStoredPictureIsAnsweredWholeInRangesWithoutABodyAndUnderFaults)
{
    auto whole = httpGet(address);
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.contentType, "image/png");
    EXPECT_TRUE(whole.body == picture) << "the picture came back changed, " << whole.body.size() << " bytes";

    // A head only, then the next answer on the same connection right behind it.
    RawClient head(server->port());
    ASSERT_TRUE(head.send("HEAD " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\nGET /DV/home/artifactIndex.do HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    ASSERT_TRUE(head.waitFor("\"agentPhone\"", 10)) << head.received().substr(0, 300);
    const std::string& received = head.received();
    const std::size_t headEnd = received.find("\r\n\r\n") + 4;
    EXPECT_TRUE(received.starts_with("HTTP/1.1 200")) << received.substr(0, 300);
    EXPECT_NE(received.substr(0, headEnd).find("Content-Length: " + std::to_string(kSize) + "\r\n"), std::string::npos);
    EXPECT_TRUE(received.substr(headEnd).starts_with("HTTP/1.1 200")) << "a body came after the head";

    // A part, and several parts.
    RawClient part(server->port());
    ASSERT_TRUE(part.send("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: bytes=1000-1999\r\n\r\n"));
    ASSERT_TRUE(part.waitFor("Content-Length: 1000\r\n", 10)) << part.received().substr(0, 300);
    while (part.received().size() < part.received().find("\r\n\r\n") + 4 + 1000 && !part.closed())
        part.poll(10);
    EXPECT_EQ(part.received().substr(part.received().find("\r\n\r\n") + 4), picture.substr(1000, 1000));
    RawClient parts(server->port());
    ASSERT_TRUE(parts.send("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: bytes=0-7,4000-4009\r\n\r\n"));
    ASSERT_TRUE(parts.waitFor("multipart/byteranges", 10)) << parts.received().substr(0, 300);
    EXPECT_TRUE(parts.waitFor(picture.substr(0, 8), 10));
    EXPECT_TRUE(parts.waitFor(picture.substr(4000, 10), 10));

    // A cut answer promises the whole picture and ends halfway.
    server->setFault("pic/*", Fault::of(FaultKind::CutConnection));
    auto cut = httpGet(address);
    EXPECT_EQ(cut.curlCode, CURLE_PARTIAL_FILE);
    EXPECT_TRUE(cut.body == picture.substr(0, kSize / 2)) << cut.body.size() << " bytes";
    // A fault that makes its own reply of the picture.
    server->setFault("pic/*", Fault::of(FaultKind::MalformedJson));
    auto halved = httpGet(address);
    EXPECT_EQ(halved.status, 200);
    EXPECT_TRUE(halved.body == picture.substr(0, kSize / 2)) << halved.body.size() << " bytes";
    server->setFault("pic/*", Fault::httpError(502));
    EXPECT_EQ(httpGet(address).status, 502);
    server->clearFaults();
    EXPECT_TRUE(httpGet(address).body == picture);
}

// The server program with a picture of 1.9 MB, the size of a large upload, and its address.
class SharedPicturesProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        port = startServerProgram(program, folder.path() + "/data");
        ASSERT_GT(port, 0) << program.standardError();
        const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/DV/";
        picture = dv::testing::blackPng(40, 40);
        picture.resize(kSize, '\0');
        path = uploadLargePicture(base, "1f2e3d4c5b6a79881f2e3d4c5b6a7988", "xl_readers", kSize);
        ASSERT_FALSE(path.empty());
        address = "http://127.0.0.1:" + std::to_string(port) + path;
    }
    void TearDown() override
    {
        program.sendSignal(SIGTERM);
        EXPECT_EQ(program.waitForExit(20), 0);
    }

    static constexpr std::size_t kSize = 1900 * 1000;
    TemporaryFolder folder;
    dv::testing::ChildProcess program;
    int port = 0;
    std::string picture;
    std::string path;
    std::string address;
};

TEST_F(SharedPicturesProgramTest, AHundredReadersOfOnePictureAtOnceAreAllAnswered)
{
    constexpr int kReaders = 100;
    const double before = memoryMiB(program.pid(), "VmHWM");
    std::atomic<bool> go { false };
    std::atomic<int> whole { 0 };
    std::atomic<int> refused { 0 };
    std::vector<std::thread> readers;
    for (int i = 0; i < kReaders; ++i) {
        readers.emplace_back([&] {
            while (!go.load())
                std::this_thread::yield();
            auto read = httpGet(address, 30000);
            whole += read.status == 200 && read.body == picture;
            refused += read.status == 503;
        });
    }
    const auto start = Clock::now();
    go = true;
    for (auto& reader : readers)
        reader.join();
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    const double peak = memoryMiB(program.pid(), "VmHWM");
    std::printf("[ figures  ] %d readers of one 1.9 MB picture at once: %d answered with it whole, %d told 503, in %.2f s; server peak "
                "%.1f MiB before, %.1f MiB after (budget 64 MiB + 40 MB = %.1f MiB)\n",
        kReaders, whole.load(), refused.load(), took, before, peak, 64 + 40 * 1e6 / (1024 * 1024));
    EXPECT_EQ(whole.load(), kReaders);
    if (kMeasured) {
        EXPECT_LT(peak, 64 + 40 * 1e6 / (1024 * 1024));
    }
}

TEST_F(SharedPicturesProgramTest, ClientsThatCutTheirPicturesShortAreAllAnswered)
{
    // Thirty clients each ask for the picture twenty times, one after another, and go after the
    // first part of each answer, as a client does whose user scrolls past a picture.
    constexpr int kClients = 30;
    constexpr int kEach = 20;
    constexpr std::size_t kPart = 64 * 1024;
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    std::atomic<int> answered { 0 };
    std::atomic<int> refused { 0 };
    std::atomic<int> other { 0 };
    std::vector<std::thread> clients;
    const auto start = Clock::now();
    for (int n = 0; n < kClients; ++n) {
        clients.emplace_back([&] {
            for (int i = 0; i < kEach; ++i) {
                RawClient client(port);
                if (!client.send(request)) {
                    ++other;
                    continue;
                }
                const auto asked = Clock::now();
                while (client.received().size() < kPart && !client.closed() && Clock::now() - asked < std::chrono::seconds(20))
                    client.poll(1);
                if (client.received().starts_with("HTTP/1.1 200"))
                    ++answered;
                else if (client.received().starts_with("HTTP/1.1 503"))
                    ++refused;
                else
                    ++other;
                client.reset();
            }
        });
    }
    for (auto& client : clients)
        client.join();
    std::printf("[ figures  ] %d clients cutting %d pictures each short after 64 KiB: %d answered, %d told 503, %d otherwise, in %.2f s\n",
        kClients, kEach, answered.load(), refused.load(), other.load(), std::chrono::duration<double>(Clock::now() - start).count());
    EXPECT_EQ(answered.load(), kClients * kEach);
}

} // namespace
} // namespace dv::devserver::testing
