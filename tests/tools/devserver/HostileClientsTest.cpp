// Clients that do not play fair: bodies past the limit (declared or chunked), clients that send
// slowly or not at all, hundreds of idle kept-alive connections, and web pages aiming at the
// control endpoint. The server refuses them early, keeps its memory, and goes on answering
// everyone else. Times are bounded: the server's own deadlines are set short here.
#include "DevServerTesting.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

namespace dv::devserver::testing {
namespace {

using Clock = std::chrono::steady_clock;

std::string chunk(std::string_view data)
{
    char size[32];
    std::snprintf(size, sizeof(size), "%zx\r\n", data.size());
    return std::string(size) + std::string(data) + "\r\n";
}

std::string head(const std::string& path, const std::string& framing, const std::string& type = "application/x-www-form-urlencoded")
{
    return "POST /DV/" + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + type + "\r\n" + framing + "\r\n";
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

class HostileClientsTest : public DevServerTest {
protected:
    // A home page request on a raw connection, answered: the connection stays open.
    static bool askHome(RawClient& client)
    {
        return client.send("POST /DV/home/index.do HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n")
            && client.waitFor("\"listCate\"", 10);
    }
    // The slowest of `count` home page requests made one after another, in seconds.
    double slowestOf(int count)
    {
        double slowest = 0;
        for (int i = 0; i < count; ++i) {
            auto start = Clock::now();
            auto reply = httpPostForm(url("home/index.do"), {});
            EXPECT_EQ(reply.json()["status"], 1);
            slowest = std::max(slowest, secondsSince(start));
        }
        return slowest;
    }
};

TEST_F(HostileClientsTest, ChunkedBodiesAreDecodedAndHeldToTheLimit)
{
    RawClient login(server->port());
    ASSERT_TRUE(login.send(head("client/login.do", "Transfer-Encoding: chunked\r\n") + chunk("clientId=") + chunk("c4a11e9") + "0\r\n\r\n"));
    ASSERT_TRUE(login.waitFor("\"token\"", 10)) << login.received();
    EXPECT_TRUE(login.received().starts_with("HTTP/1.1 200")) << login.received();

    // 8 MiB arrive in chunks and are taken; the next chunk passes the limit and is refused at
    // once, with nothing of it sent.
    RawClient upload(server->port());
    ASSERT_TRUE(upload.send(head("qrcode/saveCode.do", "Transfer-Encoding: chunked\r\n", "multipart/form-data; boundary=x")));
    const std::string piece(256 * 1024, 'x');
    for (int i = 0; i < 32; ++i)
        ASSERT_TRUE(upload.send(chunk(piece))) << "refused before the limit, at " << i;
    upload.poll();
    EXPECT_TRUE(upload.received().empty()) << upload.received();
    ASSERT_TRUE(upload.send("1\r\n"));
    EXPECT_TRUE(upload.waitFor("HTTP/1.1 413", 10)) << upload.received();
    EXPECT_TRUE(upload.waitForClose(10));

    // A single chunk announcing more than the limit: refused on its size line.
    RawClient giant(server->port());
    ASSERT_TRUE(giant.send(head("qrcode/saveCode.do", "Transfer-Encoding: chunked\r\n") + "40000000\r\n"));
    EXPECT_TRUE(giant.waitFor("HTTP/1.1 413", 10)) << giant.received();

    EXPECT_EQ(post("home/index.do")["status"], 1);
}

TEST_F(HostileClientsTest, ADeclaredLengthPastTheLimitIsRefusedBeforeTheBodyIsSent)
{
    for (const char* expect : { "", "Expect: 100-continue\r\n" }) {
        RawClient client(server->port());
        ASSERT_TRUE(client.send(head("qrcode/saveCode.do", std::string("Content-Length: 1073741824\r\n") + expect)));
        // Not a byte of the body has been sent.
        EXPECT_TRUE(client.waitFor("HTTP/1.1 413", 10)) << client.received();
        EXPECT_EQ(client.received().find("100 Continue"), std::string::npos);
        EXPECT_TRUE(client.waitForClose(10));
    }
    // A body within the limit is asked for and read.
    RawClient fits(server->port());
    ASSERT_TRUE(fits.send(head("client/login.do", "Content-Length: 14\r\nExpect: 100-continue\r\n")));
    ASSERT_TRUE(fits.waitFor("HTTP/1.1 100 Continue\r\n\r\n", 10));
    ASSERT_TRUE(fits.send("clientId=abc12"));
    EXPECT_TRUE(fits.waitFor("\"token\"", 10)) << fits.received();
}

TEST_F(HostileClientsTest, SlowClientsAreCutOffAtTheDeadlineAndDelayNobody)
{
    const double deadline = 3;
    startWith({ .requestDeadlineSeconds = deadline, .keepAliveSeconds = 30 });
    auto start = Clock::now();
    std::vector<std::unique_ptr<RawClient>> slow;
    for (int i = 0; i < 100; ++i) {
        slow.push_back(std::make_unique<RawClient>(server->port()));
        ASSERT_TRUE(slow.back()->send("POST /DV/home/index.do HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Len"));
    }
    // One more trickles a byte every quarter second: bytes coming do not move its deadline.
    RawClient trickle(server->port());
    std::thread trickling([&] {
        std::string request = "POST /DV/home/index.do HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\nX-Slow: ";
        for (std::size_t i = 0; !trickle.closed() && secondsSince(start) < deadline + 8; ++i) {
            trickle.send(std::string(1, i < request.size() ? request[i] : 'z'));
            trickle.poll(0.25); // returns at once when the server answers
        }
    });

    // Everyone else is answered at once meanwhile.
    double slowest = slowestOf(20);
    const bool slowOnesStillThere = secondsSince(start) < deadline;
    trickling.join();
    EXPECT_TRUE(trickle.closed());
    EXPECT_TRUE(trickle.received().starts_with("HTTP/1.1 408")) << trickle.received();
    EXPECT_LT(secondsSince(start), deadline + 3);
    for (auto& client : slow) {
        EXPECT_TRUE(client->waitForClose(10));
        EXPECT_TRUE(client->received().starts_with("HTTP/1.1 408")) << client->received();
    }
    EXPECT_GE(secondsSince(start), deadline - 0.1) << "closed before their deadline";
    if (!slowOnesStillThere)
        GTEST_SKIP() << "the machine was too busy: the slow clients were gone before the others were measured";
    EXPECT_LT(slowest, 1.0) << "a request waited behind the slow clients";
}

TEST_F(HostileClientsTest, HundredsOfIdleKeptAliveConnectionsLeaveNewRequestsAnswered)
{
    startWith({ .keepAliveSeconds = 60 });
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 500; ++i) {
        idle.push_back(std::make_unique<RawClient>(server->port()));
        ASSERT_TRUE(idle.back()->connected()) << i;
        ASSERT_TRUE(askHome(*idle.back())) << i;
    }
    EXPECT_LT(slowestOf(20), 1.0);
    // The idle ones are still there for their next requests.
    for (int i : { 0, 250, 499 }) {
        RawClient& client = *idle[std::size_t(i)];
        EXPECT_FALSE(client.closed());
        std::size_t before = client.received().size();
        ASSERT_TRUE(client.send("GET /DV/home/artifactIndex.do HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
        EXPECT_TRUE(client.waitFor("\"agentPhone\"", 10)) << client.received().substr(before);
    }
}

TEST_F(HostileClientsTest, IdleConnectionsCloseAfterTheKeepAliveTime)
{
    startWith({ .keepAliveSeconds = 0.5 });
    RawClient client(server->port());
    ASSERT_TRUE(askHome(client));
    auto start = Clock::now();
    EXPECT_TRUE(client.waitForClose(10));
    EXPECT_GE(secondsSince(start), 0.4);
    RawClient silent(server->port());
    EXPECT_TRUE(silent.waitForClose(10));
    EXPECT_TRUE(silent.received().empty()) << "a connection that never asked is closed without a word";
}

TEST_F(HostileClientsTest, ControlRequestsFromWebPagesAreRefused)
{
    const std::string port = std::to_string(server->port());
    auto control = [&](const std::string& headers) {
        RawClient client(server->port());
        std::string body = "path=home%2Findex.do&fault=status%3A0%3Aplanted";
        client.send("POST /_control/fault HTTP/1.1\r\n" + headers + "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: "
            + std::to_string(body.size()) + "\r\n\r\n" + body);
        client.waitFor("\r\n\r\n", 10);
        return client.received().substr(0, 12);
    };
    // A page's form: another site's Origin (or only its Referer), an opaque one, or a name of the
    // attacker's own that resolves here.
    EXPECT_EQ(control("Host: 127.0.0.1:" + port + "\r\nOrigin: http://evil.example\r\n"), "HTTP/1.1 403");
    EXPECT_EQ(control("Host: 127.0.0.1:" + port + "\r\nOrigin: null\r\n"), "HTTP/1.1 403");
    EXPECT_EQ(control("Host: 127.0.0.1:" + port + "\r\nOrigin: http://127.0.0.1:1\r\n"), "HTTP/1.1 403");
    EXPECT_EQ(control("Host: 127.0.0.1:" + port + "\r\nReferer: http://evil.example/form.html\r\n"), "HTTP/1.1 403");
    EXPECT_EQ(control("Host: evil.example:" + port + "\r\n"), "HTTP/1.1 403");
    EXPECT_EQ(control(""), "HTTP/1.1 403");
    EXPECT_TRUE(server->faults().list().empty()) << "a refused request planted a fault";
    EXPECT_EQ(post("home/index.do")["status"], 1);

    // Local programs, and pages of the server itself.
    EXPECT_EQ(control("Host: localhost:" + port + "\r\n"), "HTTP/1.1 200");
    EXPECT_EQ(control("Host: 127.0.0.1:" + port + "\r\nOrigin: http://127.0.0.1:" + port + "\r\n"), "HTTP/1.1 200");
    EXPECT_EQ(control("Host: [::1]:" + port + "\r\n"), "HTTP/1.1 200");
    EXPECT_EQ(server->faults().list().size(), 1u);
}

TEST_F(HostileClientsTest, RequestsThatRepeatAHeadOfTheirOriginOrFramingAreRefused)
{
    const std::string host = "Host: 127.0.0.1:" + std::to_string(server->port()) + "\r\n";
    auto answer = [&](const std::string& request) {
        RawClient client(server->port());
        client.send(request);
        client.waitFor("\r\n\r\n", 10);
        return client.received().substr(0, 12);
    };
    // The loopback Host first and a page's own second: a reader that takes the first would let the
    // page plant a fault.
    const std::string body = "path=home%2Findex.do&fault=status%3A0%3Aplanted";
    const std::string control = "POST /_control/fault HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: "
        + std::to_string(body.size()) + "\r\n";
    EXPECT_EQ(answer(control + host + "Host: evil.example\r\n\r\n" + body), "HTTP/1.1 400");
    EXPECT_EQ(answer(control + host + "Origin: http://127.0.0.1\r\norigin: http://evil.example\r\n\r\n" + body), "HTTP/1.1 400");
    EXPECT_EQ(answer(control + host + "Referer: http://127.0.0.1/\r\nReferer: http://evil.example/\r\n\r\n" + body), "HTTP/1.1 400");
    EXPECT_TRUE(server->faults().list().empty()) << "a refused request planted a fault";

    // The framing, even where both copies agree.
    const std::string login = "POST /DV/client/login.do HTTP/1.1\r\n" + host + "Content-Type: application/x-www-form-urlencoded\r\n";
    EXPECT_EQ(answer(login + "Content-Length: 5\r\nContent-Length: 5\r\n\r\nid=ab"), "HTTP/1.1 400");
    EXPECT_EQ(answer(login + "Transfer-Encoding: chunked\r\nTRANSFER-ENCODING: chunked\r\n\r\n5\r\nid=ab\r\n0\r\n\r\n"), "HTTP/1.1 400");
    // One of each is answered.
    EXPECT_EQ(answer(login + "Content-Length: 14\r\nOrigin: http://x\r\nReferer: http://x/\r\n\r\nclientId=abc12"), "HTTP/1.1 200");
}

TEST(HostileClientsProgramTest, AChunkedFloodLeavesTheServersMemoryFlat)
{
    TemporaryFolder folder;
    dv::testing::ChildProcess program;
    const int port = startServerProgram(program, folder.path() + "/data");
    ASSERT_GT(port, 0);
    {
        RawClient warm(port);
        ASSERT_TRUE(warm.send("POST /DV/home/index.do HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n"));
        ASSERT_TRUE(warm.waitFor("\"listCate\"", 20));
    }
    const double before = memoryMiB(program.pid(), "VmHWM");

    // Four clients at once, each pouring up to 64 MiB of chunked multipart body into an upload.
    std::vector<std::thread> clients;
    std::atomic<int> refused { 0 };
    std::atomic<std::int64_t> sent { 0 };
    for (int n = 0; n < 4; ++n) {
        clients.emplace_back([&] {
            RawClient client(port);
            client.send(head("qrcode/saveCode.do", "Transfer-Encoding: chunked\r\n", "multipart/form-data; boundary=x"));
            const std::string piece = chunk(std::string(1024 * 1024, 'y'));
            for (int i = 0; i < 64 && client.send(piece); ++i) {
                sent += std::int64_t(piece.size());
                client.poll();
                if (client.closed())
                    break;
            }
            if (client.waitFor("HTTP/1.1 413", 10))
                ++refused;
        });
    }
    for (auto& client : clients)
        client.join();
    const double after = memoryMiB(program.pid(), "VmHWM");
    EXPECT_EQ(refused.load(), 4);
    std::printf("[ figures  ] server peak %.1f MiB before, %.1f MiB after four clients sent %.1f MiB of chunked body\n", before,
        after, double(sent.load()) / (1 << 20));
    if (kMeasured) {
        EXPECT_LT(after - before, 48) << "the bodies were kept";
    }

    program.sendSignal(SIGTERM);
    EXPECT_EQ(program.waitForExit(20), 0);
}

} // namespace
} // namespace dv::devserver::testing
