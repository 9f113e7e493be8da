// What clients that hold nothing of value cost the server program: connections kept open with
// blank lines, requests whose clients close before their answers, and bodies of clients that
// are gone while their requests wait for a worker. Each is measured against the program the test
// starts, its descriptors read from /proc, and ordinary requests are answered meanwhile or right
// after.
#include "DevServerTesting.h"

#include <poll.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace dv::devserver::testing {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The test's own descriptors must hold thousands of clients.
bool allowDescriptors(rlim_t wanted)
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    if (limit.rlim_cur >= wanted)
        return true;
    if (limit.rlim_max < wanted)
        return false;
    limit.rlim_cur = wanted;
    return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

class ClientCostsTest : public ::testing::Test {
protected:
    void start(std::vector<std::string> arguments = {})
    {
        port = startServerProgram(program, folder.path() + "/data", std::move(arguments));
        ASSERT_GT(port, 0) << program.standardError();
        base = "http://127.0.0.1:" + std::to_string(port) + "/DV/";
        ASSERT_EQ(httpPostForm(base + "home/index.do", {}).json()["status"], 1);
    }
    void TearDown() override
    {
        if (!port)
            return;
        program.sendSignal(SIGTERM);
        EXPECT_EQ(program.waitForExit(20), 0);
    }

    TemporaryFolder folder;
    dv::testing::ChildProcess program;
    int port = 0;
    std::string base;
};

TEST_F(ClientCostsTest, BlankLinesDoNotKeepAConnectionOpen)
{
    // As many clients as the server takes connections, each sending a blank line three times in
    // each keep-alive time: were each line to start the keep-alive time again, they would hold
    // every connection for as long as they went on, and nobody else would be let in.
    constexpr double kKeepAlive = 1;
    constexpr double kInterval = kKeepAlive / 3;
    constexpr int kClients = 4096;
    ASSERT_TRUE(allowDescriptors(kClients + 256)) << "the test cannot open " << kClients << " connections";
    start({ "--keep-alive", "1" });
    const int descriptorsBefore = descriptorCount(program.pid());

    struct BlankLines {
        std::unique_ptr<RawClient> client;
        Clock::time_point connected;
        double closedAfter = -1; // seconds from `connected`
    };
    std::vector<BlankLines> clients;
    const auto start = Clock::now();
    auto nextRound = start;
    double allConnected = -1;
    double answeredAfter = -1; // an ordinary request, in seconds from `allConnected`
    int refusedAtTheDoor = 0;
    int open = 0;
    while ((open > 0 || answeredAfter < 0 || int(clients.size()) < kClients) && secondsSince(start) < 30) {
        // New clients a few hundred at a time.
        for (int i = 0; i < 256 && int(clients.size()) < kClients; ++i) {
            clients.push_back({ std::make_unique<RawClient>(port), Clock::now() });
            ASSERT_TRUE(clients.back().client->connected()) << clients.size();
            ++open;
            if (int(clients.size()) == kClients)
                allConnected = secondsSince(start);
        }
        if (Clock::now() >= nextRound) {
            nextRound = Clock::now() + std::chrono::milliseconds(std::int64_t(kInterval * 1000));
            for (auto& blank : clients)
                if (blank.closedAfter < 0)
                    blank.client->send("\r\n", 0.1);
            // An ordinary request each round once every client is in: told 503 while the blank
            // lines hold every connection.
            if (allConnected >= 0 && answeredAfter < 0) {
                auto reply = httpPostForm(base + "home/index.do", {}, 2000);
                if (reply.status == 200 && reply.json()["status"] == 1)
                    answeredAfter = secondsSince(start) - allConnected;
                else
                    refusedAtTheDoor += reply.status == 503;
            }
        }
        // Until the next round (at once while clients are still coming), noting each connection
        // the server closes as it closes.
        std::vector<pollfd> waiting;
        std::vector<BlankLines*> of;
        for (auto& blank : clients) {
            if (blank.closedAfter < 0) {
                waiting.push_back({ blank.client->descriptor(), POLLIN, 0 });
                of.push_back(&blank);
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(nextRound - Clock::now()).count();
        const int wait = int(clients.size()) < kClients ? 0 : int(std::max<std::int64_t>(left, 0));
        if (::poll(waiting.data(), waiting.size(), wait) <= 0)
            continue;
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            if (!waiting[i].revents)
                continue;
            of[i]->client->poll();
            if (of[i]->client->closed()) {
                of[i]->closedAfter = secondsSince(of[i]->connected);
                --open;
            }
        }
    }
    double earliest = 1e9;
    double latest = 0;
    int told400 = 0;
    for (auto& blank : clients) {
        earliest = std::min(earliest, blank.closedAfter);
        latest = std::max(latest, blank.closedAfter);
        told400 += blank.client->received().starts_with("HTTP/1.1 400");
    }
    std::printf("[ figures  ] %d clients sending a blank line every %.2f s (keep-alive %.1f s; all connected in %.2f s): each closed "
                "%.2f s to %.2f s after it connected (%d told 400 for more than four blank lines); an ordinary request told 503 %d "
                "times, answered %.2f s after the last client connected; descriptors %d before, %d after\n",
        kClients, kInterval, kKeepAlive, allConnected, earliest, latest, told400, refusedAtTheDoor, answeredAfter, descriptorsBefore,
        descriptorCount(program.pid()));
    ASSERT_EQ(int(clients.size()), kClients);
    EXPECT_EQ(open, 0) << "connections kept open by blank lines";
    EXPECT_GE(earliest, kKeepAlive - 0.05) << "a connection closed before its keep-alive time";
    EXPECT_GE(answeredAfter, 0) << "no ordinary request was answered";
    if (kMeasured) {
        // The server's time starts when it takes the connection, a moment after the client's.
        EXPECT_LT(latest, kKeepAlive + 2.5);
        EXPECT_LT(answeredAfter, kKeepAlive + 2.5);
    }
}

TEST_F(ClientCostsTest, PictureRequestsOfClientsThatCloseAtOnceHoldNothing)
{
    start();
    // A picture of 1.9 MB, the size of a large upload.
    const std::string path = uploadLargePicture(base, "5a4b3c2d1e0f5a4b3c2d1e0f5a4b3c2d", "xl_closing", 1900 * 1000);
    ASSERT_FALSE(path.empty());
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const int descriptorsBefore = descriptorCount(program.pid());

    // Clients that send a request for the picture and close their connection at once, one after
    // another: with the end of their sending (an HTTP client's close), or with a reset.
    constexpr int kClients = 2000;
    for (bool reset : { false, true }) {
        const auto start = Clock::now();
        for (int i = 0; i < kClients; ++i) {
            RawClient client(port);
            ASSERT_TRUE(client.connected()) << i;
            ASSERT_TRUE(client.send(request)) << i;
            if (reset)
                client.reset();
            else
                client.endSending(); // and closed on leaving the scope
        }
        const double sending = secondsSince(start);
        const int descriptorsAtTheEnd = descriptorCount(program.pid());
        // An ordinary request right after: not queued behind work for clients that are gone.
        const auto asked = Clock::now();
        auto reply = httpPostForm(base + "home/index.do", {}, 30000);
        const double delay = secondsSince(asked);
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.json()["status"], 1);
        // Their connections are gone as soon as the server has seen them go.
        const auto ended = Clock::now();
        while (descriptorCount(program.pid()) > descriptorsBefore + 16 && secondsSince(ended) < 10)
            httpPostForm(base + "home/index.do", {}, 5000);
        const double recovery = secondsSince(ended);
        const int descriptorsAfter = descriptorCount(program.pid());
        std::printf("[ figures  ] %d picture requests closed with %s in %.2f s: %d descriptors right after (%d before), %d after %.2f s "
                    "more; an ordinary request answered in %.3f s\n",
            kClients, reset ? "a reset" : "the end of their sending", sending, descriptorsAtTheEnd, descriptorsBefore,
            descriptorsAfter, recovery, delay);
        EXPECT_LE(descriptorsAfter, descriptorsBefore + 16) << "connections of clients that went stay open";
        if (kMeasured) {
            EXPECT_LT(delay, 2) << "an ordinary request waited behind requests of clients that were gone";
            EXPECT_LT(recovery, 2);
        }
    }
}

TEST_F(ClientCostsTest, FormsOfClientsGoneWhileEveryWorkerIsBusyGiveTheirRoomBackAtOnce)
{
    // Every worker is held by a delayed request while clients send complete forms of 60 KiB and
    // reset: each form, waiting for a worker, would hold its room until a worker took it off the
    // queue; 1,088 of them hold all but a little of the server's 64 MiB.
    constexpr double kDelay = 4;
    constexpr int kWorkers = 16; // the program's own number
    constexpr int kGone = 1088;
    start({ "--fault", "home/artifactIndex.do=delay:4" });
    const std::string clientId = "0a1b2c3d4e5f60718293a4b5c6d7e8f9";
    const std::string token = httpPostForm(base + "client/login.do", { { "clientId", clientId } }).json().value("token", "");
    ASSERT_FALSE(token.empty());

    std::vector<std::unique_ptr<RawClient>> delayed;
    for (int i = 0; i < kWorkers; ++i) {
        delayed.push_back(std::make_unique<RawClient>(port));
        ASSERT_TRUE(delayed.back()->send("GET /DV/home/artifactIndex.do HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    }
    const auto held = Clock::now();
    // A request the front refuses itself is answered on its own thread, in the turn that reads it:
    // by then the delayed requests have been read and queued before anything below.
    RawClient probe(port);
    ASSERT_TRUE(probe.send("GET /DV/home/index.do HTTP/1.1\r\n folded\r\n\r\n"));
    ASSERT_TRUE(probe.waitFor("HTTP/1.1 400", 10)) << probe.received();

    const std::string form = "POST /DV/client/login.do HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                             "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 61440\r\n\r\n"
        + std::string(61440, 'f');
    for (int i = 0; i < kGone; ++i) {
        RawClient gone(port);
        ASSERT_TRUE(gone.send(form)) << i;
        gone.reset();
    }
    const double flood = secondsSince(held);

    // A live client's upload of 70 KB, larger than a small share.
    std::string picture = samplePng(5);
    picture.resize(70 * 1000, '\0');
    const double sentAfter = secondsSince(held);
    const auto asked = Clock::now();
    auto uploaded = httpPostMultipart(base + "qrcode/saveCode.do",
        { { "clientId", clientId }, { "token", token }, { "title", "表单" }, { "area_id", "310100" }, { "type", "3" },
            { "description", "表单" }, { "account", "xl_form70" } },
        { { "code", "1111.png", "jpg", picture } });
    const double took = secondsSince(asked);
    std::printf("[ figures  ] %d workers delayed %.0f s, %d clients sent a 60 KiB form and reset (in %.2f s); a 70 KB upload sent %.2f s "
                "after the workers were taken: %ld in %.2f s\n",
        kWorkers, kDelay, kGone, flood, sentAfter, uploaded.status, took);
    EXPECT_EQ(uploaded.status, 200) << uploaded.body;
    const Json reply = uploaded.json();
    EXPECT_TRUE(reply.is_object() && reply["status"] == 1) << uploaded.body;
    if (sentAfter > kDelay - 0.5)
        GTEST_SKIP() << "the machine was too busy: the workers were free again before the upload was sent";
    EXPECT_GE(took, kDelay - sentAfter - 0.2) << "the upload was answered before a worker was free";
    for (auto& client : delayed)
        EXPECT_TRUE(client->waitFor("\"agentPhone\"", 10)) << client->received();
}

} // namespace
} // namespace dv::devserver::testing
