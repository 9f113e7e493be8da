// The server program's memory is bounded for all its connections together, not only for each: many
// clients that hold large bodies open, or ask for large pictures and do not read them, take no
// more than the server's budget, leave everyone else answered, and their memory goes back when
// they go. The program runs as a child process, so that its resident memory is its own.
#include "DevServerTesting.h"

#include "platform/testing/LargePictures.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>

namespace dv::devserver::testing {
namespace {

using Clock = std::chrono::steady_clock;

// A sanitizer's allocator keeps what is freed for a while, and its checks slow every request: the
// attacks still run under it, for the faults it finds, but memory and time are measured only
// without it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMeasured = false;
#else
constexpr bool kMeasured = true;
#endif

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
        ASSERT_TRUE(clients.back()->send("POST /DV/qrcode/saveCode.do HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                         "Content-Type: multipart/form-data; boundary=x\r\nContent-Length: "
            + std::to_string(kLength) + "\r\n\r\n"));
    }
    // Those the budget has no room for are told so at once, before their bodies; the others'
    // bodies are read.
    const std::string piece(1024 * 1024, 'y');
    int holding = 0;
    for (auto& client : clients) {
        client->poll(0.05);
        for (std::size_t sent = 0; sent < kLength - 1 && client->received().empty() && !client->closed();) {
            const std::size_t size = std::min(piece.size(), kLength - 1 - sent);
            if (!client->send(std::string_view(piece).substr(0, size)))
                break;
            sent += size;
            client->poll();
        }
        if (client->received().empty())
            ++holding;
        else
            EXPECT_TRUE(client->received().starts_with("HTTP/1.1 503")) << client->received();
    }
    EXPECT_GE(holding, 1);
    EXPECT_LE(holding, 8) << "more 8 MiB bodies held than 64 MiB hold";
    EXPECT_NE(clients.back()->received().find("Retry-After: "), std::string::npos) << clients.back()->received();

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
    const std::string clientId = "a1b2c3d4e5f60718293a4b5c6d7e8f90";
    const std::string token = httpPostForm(base + "client/login.do", { { "clientId", clientId } }).json().value("token", "");
    std::string picture = dv::testing::blackPng(40, 40);
    picture.resize(1900 * 1000, '\0'); // trailing bytes after the end of the PNG are ignored by decoders
    auto uploaded = httpPostMultipart(base + "qrcode/saveCode.do",
        { { "clientId", clientId }, { "token", token }, { "title", "大图" }, { "area_id", "310100" }, { "type", "3" },
            { "description", "大图" }, { "account", "xl_large" } },
        { { "code", "1111.png", "jpg", picture } });
    ASSERT_EQ(uploaded.json()["status"], 1) << uploaded.body;
    const std::string address = httpPostForm(base + "qrcode/listCode.do", { { "type", "3" } }).json()["info"]["listItems"][0]["qrcodeImg"];
    const std::string path = address.substr(address.find("/DV/"));

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
    // Every client has the head of its first answer: the picture for as many as the budget holds
    // (an unread answer stays in it), a refusal to come back later for the others.
    int served = 0;
    for (auto& client : clients) {
        ASSERT_TRUE(client->waitFor("HTTP/1.1 ", 30));
        if (client->received().starts_with("HTTP/1.1 200"))
            ++served;
        else
            EXPECT_TRUE(client->received().starts_with("HTTP/1.1 503")) << client->received().substr(0, 200);
    }
    EXPECT_GE(served, 1);
    EXPECT_LE(served, 40) << "more unread 1.9 MB pictures in flight than 64 MiB hold";

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
