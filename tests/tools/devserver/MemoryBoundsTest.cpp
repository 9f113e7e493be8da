// The server program's memory is bounded for all its connections together, not only for each: many
// clients that hold large bodies open, or ask for large pictures and do not read them, take no
// more than the server's budget, leave everyone else answered, and their memory goes back when
// they go. The program runs as a child process, so that its resident memory is its own.
#include "DevServerTesting.h"

#include "platform/testing/LargePictures.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <future>
#include <memory>

namespace dv::devserver::testing {
namespace {

using Clock = std::chrono::steady_clock;

class MemoryBoundsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        port = startServerProgram(program, folder.path() + "/data");
        ASSERT_GT(port, 0) << program.standardError();
        base = "http://127.0.0.1:" + std::to_string(port) + "/DV/";
        ASSERT_EQ(httpPostForm(base + "home/index.do", {}).json()["status"], 1);
    }
    void TearDown() override
    {
        program.sendSignal(SIGTERM);
        EXPECT_EQ(program.waitForExit(20), 0);
    }

    // Logs a client in and uploads a code with a picture of `size` bytes (a real PNG, padded).
    HttpResult uploadPicture(const std::string& clientId, const std::string& account, std::size_t size) const
    {
        const std::string token = httpPostForm(base + "client/login.do", { { "clientId", clientId } }).json().value("token", "");
        std::string picture = samplePng(1);
        picture.resize(size, '\0'); // trailing bytes after the end of the PNG are ignored by decoders
        return httpPostMultipart(base + "qrcode/saveCode.do",
            { { "clientId", clientId }, { "token", token }, { "title", "大图" }, { "area_id", "310100" }, { "type", "3" },
                { "description", "大图" }, { "account", account } },
            { { "code", "1111.png", "jpg", std::move(picture) } });
    }

    // The head of an upload that declares a body of `length` bytes, sent before any of the body.
    static std::string uploadHead(std::size_t length)
    {
        return "POST /DV/qrcode/saveCode.do HTTP/1.1\r\nHost: 127.0.0.1\r\n"
               "Content-Type: multipart/form-data; boundary=x\r\nContent-Length: "
            + std::to_string(length) + "\r\n\r\n";
    }

    double resident() const { return memoryMiB(program.pid(), "VmRSS"); }
    double peak() const { return memoryMiB(program.pid(), "VmHWM"); }

    // Whether home page requests, asked one after another while the clients hold what they hold,
    // come to be answered within a second (once the server has done the work the clients asked
    // of it, which takes longer on a busy machine); every one must be answered, none refused for
    // want of room.
    bool ordinaryRequestsAreAnsweredWithinASecond() const
    {
        const auto end = Clock::now() + std::chrono::seconds(20);
        for (;;) {
            const auto start = Clock::now();
            auto reply = httpPostForm(base + "home/index.do", {});
            EXPECT_EQ(reply.status, 200) << reply.body;
            if (Clock::now() - start < std::chrono::seconds(1) || Clock::now() > end)
                return Clock::now() - start < std::chrono::seconds(1);
        }
    }

    // Whether the resident memory comes back under `limit` MiB once the clients are gone; the
    // server is asked ordinary requests meanwhile, at most for 20 seconds.
    bool residentComesBackUnder(double limit) const
    {
        const auto end = Clock::now() + std::chrono::seconds(20);
        while (resident() >= limit && Clock::now() < end)
            httpPostForm(base + "home/index.do", {});
        return resident() < limit;
    }

    TemporaryFolder folder;
    dv::testing::ChildProcess program;
    int port = 0;
    std::string base;
};

TEST_F(MemoryBoundsTest, LargeBodiesHeldOpenByManyClientsTakeNoMoreThanTheBudget)
{
    const double before = resident();
    // Each declares a body just under the request limit and sends all of it but the last byte:
    // 320 MiB together unless the server bounds them.
    constexpr int kClients = 40;
    constexpr std::size_t kLength = 8 * 1024 * 1024 - 1;
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<RawClient>(port));
        ASSERT_TRUE(clients.back()->send(uploadHead(kLength)));
    }
    // Bodies are read as they come; those whose bytes find no room are told so then, and their
    // room goes to the others.
    const std::string piece(1024 * 1024, 'y');
    for (auto& client : clients) {
        client->poll(0.05);
        for (std::size_t sent = 0; sent < kLength - 1 && client->received().empty() && !client->closed();) {
            const std::size_t size = std::min(piece.size(), kLength - 1 - sent);
            if (!client->send(std::string_view(piece).substr(0, size)))
                break;
            sent += size;
            client->poll();
        }
    }
    // The server may still be reading what was sent: the refusals come as it does.
    const auto end = Clock::now() + std::chrono::seconds(10);
    int holding = kClients;
    while (holding > 8 && Clock::now() < end) {
        holding = 0;
        for (auto& client : clients) {
            if (client->received().empty())
                client->poll(0.01);
            holding += client->received().empty();
        }
    }
    int told = 0;
    for (auto& client : clients) {
        if (client->received().empty())
            continue;
        ++told;
        // Under a sanitizer on a busy machine the server may not read 320 MiB within the request
        // deadline, and then every client is told that its time is up instead.
        if (!kMeasured && client->received().starts_with("HTTP/1.1 408"))
            continue;
        EXPECT_TRUE(client->received().starts_with("HTTP/1.1 503")) << client->received();
        EXPECT_NE(client->received().find("Retry-After: "), std::string::npos) << client->received();
    }
    if (kMeasured) {
        EXPECT_GE(holding, 1);
    }
    EXPECT_LE(holding, 8) << "more 8 MiB bodies held than 64 MiB hold";
    EXPECT_EQ(holding + told, kClients);

    const bool answered = ordinaryRequestsAreAnsweredWithinASecond();
    clients.clear();
    const double peakDuring = peak();
    std::printf("[ figures  ] server %.1f MiB before, peak %.1f MiB with %d clients declaring 8 MiB (%d held)\n", before, peakDuring,
        kClients, holding);
    if (!kMeasured)
        return;
    EXPECT_TRUE(answered) << "ordinary requests waited behind the held bodies";
    EXPECT_LT(peakDuring - before, 100);
    EXPECT_LT(peakDuring, 300);
    EXPECT_TRUE(residentComesBackUnder(before + 24)) << "still " << resident() << " MiB after the clients left";
}

TEST_F(MemoryBoundsTest, ClientsThatDoNotReadLargePicturesTakeNoMoreThanTheBudget)
{
    // A picture of 1.9 MB, the size of a large upload.
    const std::string path = uploadLargePicture(base, "a1b2c3d4e5f60718293a4b5c6d7e8f90", "xl_large", 1900 * 1000);
    ASSERT_FALSE(path.empty());

    const double before = resident();
    // Each asks three times on its connection and reads nothing. Unless the server bounds them,
    // the system's buffers take the first answers whole, 1.1 GiB of them, and the next wait whole
    // in the server.
    constexpr int kClients = 300;
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<RawClient>(port));
        ASSERT_TRUE(clients.back()->send(request + request + request));
    }
    // Every client has the head of its first answer, the picture: unread answers of one picture
    // share one copy of it, counted once for as long as any of them holds it.
    int served = 0;
    for (auto& client : clients) {
        ASSERT_TRUE(client->waitFor("HTTP/1.1 ", 30));
        if (client->received().starts_with("HTTP/1.1 200"))
            ++served;
        else
            EXPECT_TRUE(client->received().starts_with("HTTP/1.1 503")) << client->received().substr(0, 200);
    }
    EXPECT_EQ(served, kClients) << "answers of one picture were refused for want of room";

    const bool answered = ordinaryRequestsAreAnsweredWithinASecond();
    const double peakDuring = peak();
    clients.clear();
    std::printf("[ figures  ] server %.1f MiB before, peak %.1f MiB with %d clients not reading a 1.9 MB picture (%d served)\n",
        before, peakDuring, kClients, served);
    if (!kMeasured)
        return;
    EXPECT_TRUE(answered) << "ordinary requests waited behind the unread answers";
    // The budget, and the copies that workers make of the pictures they are answering with.
    EXPECT_LT(peakDuring - before, 150);
    EXPECT_LT(peakDuring, 300);
    EXPECT_TRUE(residentComesBackUnder(before + 24)) << "still " << resident() << " MiB after the clients left";
}

TEST_F(MemoryBoundsTest, UploadsThatEachHoldPartOfTheirBodyDoNotStopOneAnother)
{
    // Each sends half of an 8 MiB body, which together fill the room for large requests, and then
    // the rest: those whose bytes find no room are told so, and the others' bodies are read whole
    // and handled, none left waiting for room that never comes.
    constexpr int kClients = 12;
    constexpr std::size_t kLength = 8 * 1024 * 1024 - 1;
    const std::string half(kLength / 2, 'y');
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<RawClient>(port));
        ASSERT_TRUE(clients.back()->send(uploadHead(kLength)));
    }
    for (auto& client : clients)
        client->send(half);
    const auto start = Clock::now();
    for (auto& client : clients)
        client->send(std::string_view(half + "y").substr(0, kLength - half.size()));
    int handled = 0;
    for (auto& client : clients) {
        ASSERT_TRUE(client->waitFor("\r\n\r\n", 10)) << "a client was left waiting";
        if (client->received().starts_with("HTTP/1.1 503"))
            continue;
        // Not a form that can be taken apart: the handler says so.
        EXPECT_TRUE(client->received().starts_with("HTTP/1.1 400")) << client->received();
        ++handled;
    }
    std::printf("[ figures  ] %d of %d half-sent 8 MiB uploads read whole and handled, all answered in %.2f s\n", handled, kClients,
        std::chrono::duration<double>(Clock::now() - start).count());
    EXPECT_GE(handled, 1);
}

TEST_F(MemoryBoundsTest, DeclaredBodiesThatNeverArriveHoldNoRoom)
{
    // Heads that declare large bodies and send none of them: 135 MiB of declared bodies, more than
    // the budget holds, for as long as the clients wait.
    constexpr int kClients = 30;
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < kClients; ++i) {
        const std::size_t length = i % 2 ? 1024 * 1024 : 8 * 1024 * 1024 - 1;
        clients.push_back(std::make_unique<RawClient>(port));
        ASSERT_TRUE(clients.back()->send(uploadHead(length)));
    }
    // Asked behind the heads on the same loop, so that the heads have been read by the time it is
    // answered.
    ASSERT_EQ(httpPostForm(base + "home/index.do", {}).json()["status"], 1);

    const auto start = Clock::now();
    auto uploaded = uploadPicture("a1b2c3d4e5f60718293a4b5c6d7e8f90", "xl_large", 1900 * 1000);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("[ figures  ] 1.9 MB upload beside %d head-only clients: %ld in %.2f s\n", kClients, uploaded.status, seconds);
    ASSERT_EQ(uploaded.status, 200) << uploaded.body;
    EXPECT_EQ(uploaded.json()["status"], 1) << uploaded.body;
    // The waiting heads are left alone: nobody told them to go away.
    for (auto& client : clients) {
        client->poll();
        EXPECT_TRUE(client->received().empty()) << client->received();
    }

    // A declared length past the request limit is still refused from the head alone.
    RawClient huge(port);
    ASSERT_TRUE(huge.send("POST /DV/qrcode/saveCode.do HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 8388609\r\n\r\n"));
    EXPECT_TRUE(huge.waitFor("\r\n\r\n", 10));
    EXPECT_TRUE(huge.received().starts_with("HTTP/1.1 413")) << huge.received();
}

TEST_F(MemoryBoundsTest, ManyLargeUploadsAtOnceStayWithinTheBudget)
{
    // Each 7.9 MiB: larger than a picture may be, so each is read whole and then refused by its
    // handler; the server holds whatever copies of them it makes while they are handled.
    const double before = resident();
    constexpr int kClients = 20;
    constexpr std::size_t kSize = std::size_t(7.9 * 1024 * 1024);
    std::vector<std::future<HttpResult>> uploads;
    for (int i = 0; i < kClients; ++i)
        uploads.push_back(std::async(std::launch::async, [this, i] {
            return uploadPicture("a1b2c3d4e5f60718293a4b5c6d7e8f" + std::to_string(10 + i), "xl_many" + std::to_string(i), kSize);
        }));
    int handled = 0;
    int busy = 0;
    for (auto& upload : uploads) {
        HttpResult result = upload.get();
        if (result.status == 200)
            ++handled;
        else if (result.status == 503)
            ++busy;
        else
            EXPECT_NE(result.curlCode, 0) << result.status << " " << result.body; // cut off while sending, after a 503
    }
    const double peakDuring = peak();
    std::printf("[ figures  ] server %.1f MiB before, peak %.1f MiB with %d uploads of 7.9 MiB at once (%d handled, %d told 503)\n",
        before, peakDuring, kClients, handled, busy);
    EXPECT_GE(handled, 1);
    if (!kMeasured)
        return;
    // The budget, and what is not in it: the program itself, the buffers the library reads with.
    EXPECT_LT(peakDuring, 64 + 40 * 1e6 / (1024 * 1024));
}

TEST_F(MemoryBoundsTest, AnAnimatedWebpOfTooManyPixelsIsRefusedFromItsChunksWithoutItsMemory)
{
    // Six frames of 4096 x 4096 in a few hundred bytes: each frame within the limit, six times
    // past it together. Decoded, they would take some 400 MiB.
    const std::string clientId = "a1b2c3d4e5f60718293a4b5c6d7e8f90";
    const std::string token = httpPostForm(base + "client/login.do", { { "clientId", clientId } }).json().value("token", "");
    const std::string picture = dv::testing::blackWebp(4096, 4096, 6);
    ASSERT_LT(picture.size(), 5000u);
    const double before = resident();
    const auto start = Clock::now();
    auto refused = httpPostMultipart(base + "qrcode/saveCode.do",
        { { "clientId", clientId }, { "token", token }, { "title", "动图" }, { "area_id", "310100" }, { "type", "3" },
            { "description", "动图" }, { "account", "xl_webp6" } },
        { { "code", "1111.png", "jpg", picture } });
    const auto took = Clock::now() - start;
    const double peakDuring = peak();
    std::printf("[ figures  ] server %.1f MiB before, peak %.1f MiB, %.0f ms for a 6-frame 4096 x 4096 WebP of %zu bytes\n", before,
        peakDuring, std::chrono::duration<double, std::milli>(took).count(), picture.size());
    EXPECT_EQ(refused.json()["status"], 0) << refused.body;
    EXPECT_EQ(refused.json()["msg"], "动图各帧合计超过4096×4096像素，请上传静态的二维码图片");
    EXPECT_EQ(httpPostForm(base + "home/index.do", {}).json()["status"], 1);
    if (!kMeasured)
        return;
    EXPECT_LT(peakDuring - before, 50) << "frames were decoded";
    EXPECT_LT(took, std::chrono::seconds(2));
}

} // namespace
} // namespace dv::devserver::testing
