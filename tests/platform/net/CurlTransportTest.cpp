#include "platform/base/Mutex.h"
#include "platform/net/internal/CurlTransport.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/support/ServerSockets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

using namespace dv::internal::net;
using dv::testing::LoopbackServer;
using dv::testing::ScriptedReply;
using namespace std::chrono_literals;

namespace {

// Collects one transfer's callbacks; the test thread waits on it with a bounded wait.
struct Recorder : std::enable_shared_from_this<Recorder> {
    // What the callbacks delivered. A test reads a copy (recorded()) once it has waited for what
    // it checks, or the record itself with the mutex held.
    struct Record {
        std::vector<std::string> events;
        TransportResponse response;
        std::string body;
        std::int64_t sent = 0;
        std::optional<TransportFailure> failure;
        std::vector<TrustQuestion> trustQuestions;
    };
    dv::Mutex mutex;
    dv::ConditionVariable changed;
    Record record DV_GUARDED_BY(mutex);
    std::function<void(const TrustQuestion&, std::shared_ptr<TrustReply>)> trust;
    bool consumeImmediately DV_GUARDED_BY(mutex) = true;
    std::shared_ptr<Transfer> transfer DV_GUARDED_BY(mutex);
    std::int64_t unconsumed DV_GUARDED_BY(mutex) = 0;
    std::int64_t maxUnconsumed DV_GUARDED_BY(mutex) = 0;

    Record recorded() DV_EXCLUDES(mutex)
    {
        dv::MutexLocker lock(mutex);
        return record;
    }
    std::shared_ptr<Transfer> startedTransfer() DV_EXCLUDES(mutex)
    {
        dv::MutexLocker lock(mutex);
        return transfer;
    }

    TransferCallbacks callbacks()
    {
        auto self = shared_from_this();
        TransferCallbacks c;
        c.evaluateServerTrust = [self](const TrustQuestion& q, std::shared_ptr<TrustReply> reply) {
            {
                dv::MutexLocker lock(self->mutex);
                self->record.events.push_back("trust");
                self->record.trustQuestions.push_back(q);
            }
            self->changed.notifyAll();
            if (self->trust)
                self->trust(q, reply);
            else
                reply->answer(true);
        };
        c.sentBodyData = [self](std::int64_t, std::int64_t total, std::int64_t) {
            dv::MutexLocker lock(self->mutex);
            self->record.sent = total;
        };
        c.receivedResponse = [self](const TransportResponse& r) {
            dv::MutexLocker lock(self->mutex);
            self->record.events.push_back("response");
            self->record.response = r;
        };
        c.receivedData = [self](const std::uint8_t* bytes, std::size_t length) {
            std::shared_ptr<Transfer> t;
            {
                dv::MutexLocker lock(self->mutex);
                if (self->record.events.empty() || self->record.events.back() != "data")
                    self->record.events.push_back("data");
                self->record.body.append(reinterpret_cast<const char*>(bytes), length);
                self->unconsumed += static_cast<std::int64_t>(length);
                self->maxUnconsumed = std::max(self->maxUnconsumed, self->unconsumed);
                if (self->consumeImmediately) {
                    self->unconsumed = 0;
                    t = self->transfer;
                }
            }
            if (t)
                t->consumed(length);
            self->changed.notifyAll();
        };
        c.complete = [self](const TransportFailure& f) {
            {
                dv::MutexLocker lock(self->mutex);
                self->record.events.push_back("complete");
                self->record.failure = f;
            }
            self->changed.notifyAll();
        };
        return c;
    }

    bool waitDone(std::chrono::milliseconds limit = 5s) DV_EXCLUDES(mutex)
    {
        dv::MutexLocker lock(mutex);
        return changed.waitFor(lock, limit, [&]() DV_REQUIRES(mutex) { return record.failure.has_value(); });
    }
    bool waitBody(std::size_t bytes) DV_EXCLUDES(mutex)
    {
        dv::MutexLocker lock(mutex);
        return changed.waitFor(lock, 5s, [&]() DV_REQUIRES(mutex) { return record.body.size() >= bytes || record.failure.has_value(); });
    }
};

std::shared_ptr<Recorder> run(const std::shared_ptr<ConnectionPool>& pool, TransportRequest request,
    std::function<void(Recorder&)> configure = {})
{
    auto recorder = std::make_shared<Recorder>();
    if (configure)
        configure(*recorder);
    auto transfer = CurlTransport::shared().start(pool, std::move(request), recorder->callbacks());
    {
        dv::MutexLocker lock(recorder->mutex);
        recorder->transfer = transfer;
    }
    return recorder;
}

TransportRequest get(const std::string& url, std::chrono::milliseconds timeout = 5000ms)
{
    TransportRequest r;
    r.url = url;
    r.idleTimeout = timeout;
    return r;
}

class CurlTransportTest : public ::testing::Test {
protected:
    LoopbackServer server;
    std::shared_ptr<ConnectionPool> pool = CurlTransport::shared().makePool();
};

TEST_F(CurlTransportTest, DeliversResponseThenDataThenCompletionOnce)
{
    server.route("/hello", ScriptedReply { .status = 201, .body = "hello world", .contentType = "application/json", .headers = { { "X-Thing", "1" } } });
    auto r = run(pool, get(server.url("/hello")));
    ASSERT_TRUE(r->waitDone());
    EXPECT_EQ(r->recorded().failure->error, TransportError::None);
    EXPECT_EQ(r->recorded().events, (std::vector<std::string> { "response", "data", "complete" }));
    EXPECT_EQ(r->recorded().response.statusCode, 201);
    EXPECT_EQ(r->recorded().response.header("content-type").value_or(""), "application/json");
    EXPECT_EQ(r->recorded().response.header("x-THING").value_or(""), "1");
    EXPECT_EQ(r->recorded().response.url, server.url("/hello"));
    EXPECT_EQ(r->recorded().body, "hello world");
}

TEST_F(CurlTransportTest, ReusesOneConnectionForSequentialRequestsOfAPool)
{
    server.route("/a", ScriptedReply { .body = "x" });
    for (int i = 0; i < 5; ++i) {
        auto r = run(pool, get(server.url("/a")));
        ASSERT_TRUE(r->waitDone());
        ASSERT_EQ(r->recorded().failure->error, TransportError::None);
    }
    EXPECT_EQ(server.connectionCount(), 1u);
}

TEST_F(CurlTransportTest, PoolsDoNotShareConnections)
{
    server.route("/a", ScriptedReply { .body = "x" });
    auto other = CurlTransport::shared().makePool();
    ASSERT_TRUE(run(pool, get(server.url("/a")))->waitDone());
    ASSERT_TRUE(run(other, get(server.url("/a")))->waitDone());
    EXPECT_EQ(server.connectionCount(), 2u);
}

TEST_F(CurlTransportTest, IdlePoolsCloseTheirConnections)
{
    server.route("/a", ScriptedReply { .body = "x" });
    auto& transport = CurlTransport::shared();
    transport.setIdleConnectionLifetime(100ms);
    ASSERT_TRUE(run(pool, get(server.url("/a")))->waitDone());
    auto closedBefore = transport.idlePoolsClosed();
    auto limit = std::chrono::steady_clock::now() + 5s;
    while (transport.idlePoolsClosed() == closedBefore && std::chrono::steady_clock::now() < limit)
        std::this_thread::yield();
    transport.setIdleConnectionLifetime(30s);
    EXPECT_GT(transport.idlePoolsClosed(), closedBefore);
    auto again = run(pool, get(server.url("/a")));
    ASSERT_TRUE(again->waitDone());
    EXPECT_EQ(again->recorded().failure->error, TransportError::None);
    EXPECT_EQ(server.connectionCount(), 2u);
}

TEST_F(CurlTransportTest, RequestsReachASleepingTransportThreadAtOnce)
{
    // Without the spin after each transfer every request finds the thread blocked in its poll;
    // a missed wake-up would leave the request waiting for the poll's one-second limit.
    server.route("/a", ScriptedReply { .body = "x" });
    auto& transport = CurlTransport::shared();
    transport.setSpinAfterTransfer(0us);
    auto start = std::chrono::steady_clock::now();
    bool allDone = true;
    for (int i = 0; i < 40 && allDone; ++i)
        allDone = run(pool, get(server.url("/a")))->waitDone();
    auto elapsed = std::chrono::steady_clock::now() - start;
    transport.setSpinAfterTransfer(250us);
    EXPECT_TRUE(allDone);
    EXPECT_LT(elapsed, 4s);
}

TEST_F(CurlTransportTest, DecodesCompressedBodiesTransparently)
{
    std::string text(20000, 'z');
    server.route("/text", ScriptedReply { .body = text, .contentType = "text/plain" });
    auto r = run(pool, get(server.url("/text")));
    ASSERT_TRUE(r->waitDone());
    EXPECT_EQ(r->recorded().body, text);
    auto accepted = server.requests().back().header("accept-encoding");
    EXPECT_NE(accepted.find("gzip"), std::string::npos);
}

TEST_F(CurlTransportTest, PostsABodyWithoutExpectContinue)
{
    server.route("/post", ScriptedReply { .body = "ok" });
    TransportRequest request = get(server.url("/post"));
    request.method = "POST";
    request.headers = { { "Content-Type", "application/octet-stream" } };
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(200000, 7);
    request.body = bytes;
    auto r = run(pool, request);
    ASSERT_TRUE(r->waitDone());
    ASSERT_EQ(r->recorded().failure->error, TransportError::None);
    auto seen = server.requests().back();
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.body.size(), 200000u);
    EXPECT_EQ(seen.header("expect"), "");
    EXPECT_EQ(seen.header("content-type"), "application/octet-stream");
    EXPECT_EQ(r->recorded().sent, 200000);
}

TEST_F(CurlTransportTest, StreamsABodyOfUnknownLengthChunked)
{
    server.route("/put", ScriptedReply { .body = "ok" });
    TransportRequest request = get(server.url("/put"));
    request.method = "PUT";
    auto remaining = std::make_shared<int>(3);
    request.bodyReader = [remaining](char* buffer, std::size_t capacity) -> long {
        if (*remaining == 0 || capacity < 5)
            return 0;
        --*remaining;
        std::memcpy(buffer, "part-", 5);
        return 5;
    };
    auto r = run(pool, request);
    ASSERT_TRUE(r->waitDone());
    ASSERT_EQ(r->recorded().failure->error, TransportError::None);
    auto seen = server.requests().back();
    EXPECT_EQ(seen.method, "PUT");
    EXPECT_EQ(seen.body, "part-part-part-");
    EXPECT_EQ(seen.header("transfer-encoding"), "chunked");
}

TEST_F(CurlTransportTest, FailingBodyStreamFailsTheTransfer)
{
    server.route("/put", ScriptedReply { .body = "ok" });
    TransportRequest request = get(server.url("/put"));
    request.method = "POST";
    request.bodyReader = [](char*, std::size_t) -> long { return -1; };
    auto r = run(pool, request);
    ASSERT_TRUE(r->waitDone());
    EXPECT_EQ(r->recorded().failure->error, TransportError::BodyStreamFailed);
}

TEST_F(CurlTransportTest, ServerSilentLongerThanIdleTimeoutTimesOut)
{
    server.route("/slow", ScriptedReply { .body = "late", .delay = 2000ms });
    auto started = std::chrono::steady_clock::now();
    auto r = run(pool, get(server.url("/slow"), 150ms));
    ASSERT_TRUE(r->waitDone());
    EXPECT_EQ(r->recorded().failure->error, TransportError::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1500ms);
}

TEST_F(CurlTransportTest, SlowBodyThatKeepsMovingIsNotTimedOut)
{
    // Twelve pieces 200 ms apart: longer in total than the idle time-out, never idle nearly that
    // long (a busy machine may hold the server back for a good part of a second).
    server.route("/trickle", ScriptedReply { .body = "abcdefghijkl", .pieceSize = 1, .pieceDelay = 200ms });
    auto started = std::chrono::steady_clock::now();
    auto r = run(pool, get(server.url("/trickle"), 2000ms));
    ASSERT_TRUE(r->waitDone());
    EXPECT_EQ(r->recorded().failure->error, TransportError::None);
    EXPECT_EQ(r->recorded().body, "abcdefghijkl");
    EXPECT_GT(std::chrono::steady_clock::now() - started, 2000ms);
}

TEST_F(CurlTransportTest, CancelWhileWaitingForTheServerCompletesCancelled)
{
    server.route("/wait", ScriptedReply { .body = "x", .delay = 3000ms });
    auto r = run(pool, get(server.url("/wait")));
    ASSERT_TRUE(server.waitForRequest("/wait"));
    r->startedTransfer()->cancel();
    ASSERT_TRUE(r->waitDone());
    EXPECT_EQ(r->recorded().failure->error, TransportError::Cancelled);
    EXPECT_EQ(r->recorded().events, (std::vector<std::string> { "complete" }));
}

TEST_F(CurlTransportTest, CancelDuringTheBodyStopsDelivery)
{
    server.route("/long", ScriptedReply { .body = std::string(100, 'q'), .pieceSize = 10, .pieceDelay = 100ms });
    auto r = run(pool, get(server.url("/long")));
    ASSERT_TRUE(r->waitBody(10));
    r->startedTransfer()->cancel();
    ASSERT_TRUE(r->waitDone());
    EXPECT_EQ(r->recorded().failure->error, TransportError::Cancelled);
    EXPECT_LT(r->recorded().body.size(), 100u);
}

TEST_F(CurlTransportTest, RefusedConnectionAndUnsupportedSchemeMapToTheirErrors)
{
    const std::string deadUrl = dv::testing::refusedURL("/x");
    auto refused = run(pool, get(deadUrl));
    auto ftp = run(pool, get("ftp://127.0.0.1/file"));
    auto garbage = run(pool, get("not a url"));
    ASSERT_TRUE(refused->waitDone());
    ASSERT_TRUE(ftp->waitDone());
    ASSERT_TRUE(garbage->waitDone());
    EXPECT_EQ(refused->recorded().failure->error, TransportError::CannotConnect);
    EXPECT_EQ(ftp->recorded().failure->error, TransportError::UnsupportedURL);
    EXPECT_EQ(garbage->recorded().failure->error, TransportError::UnsupportedURL);
}

TEST_F(CurlTransportTest, ConnectionDroppedMidBodyIsALostConnection)
{
    server.route("/drop", ScriptedReply { .body = std::string(1000, 'd'), .dropAfterBytes = 100 });
    auto r = run(pool, get(server.url("/drop")));
    ASSERT_TRUE(r->waitDone());
    EXPECT_EQ(r->recorded().failure->error, TransportError::ConnectionLost);
}

TEST_F(CurlTransportTest, BodiesWithoutLengthAndChunkedBodiesArriveWhole)
{
    server.route("/nolength", ScriptedReply { .body = "until close", .framing = ScriptedReply::Framing::NoLength });
    server.route("/chunked", ScriptedReply { .body = "in chunks", .framing = ScriptedReply::Framing::Chunked, .pieceSize = 3 });
    auto a = run(pool, get(server.url("/nolength")));
    auto b = run(pool, get(server.url("/chunked")));
    ASSERT_TRUE(a->waitDone());
    ASSERT_TRUE(b->waitDone());
    EXPECT_EQ(a->recorded().failure->error, TransportError::None);
    EXPECT_EQ(a->recorded().body, "until close");
    EXPECT_FALSE(a->recorded().response.header("Content-Length").has_value());
    EXPECT_EQ(b->recorded().body, "in chunks");
    EXPECT_EQ(b->recorded().response.header("Transfer-Encoding").value_or(""), "chunked");
}

TEST_F(CurlTransportTest, ReadingStopsWhileTheReceiverIsBehind)
{
    server.route("/big", ScriptedReply { .contentType = "application/octet-stream", .generatedLength = 24 << 20 });
    auto r = run(pool, get(server.url("/big")), [](Recorder& rec) {
        dv::MutexLocker lock(rec.mutex);
        rec.consumeImmediately = false;
    });
    ASSERT_TRUE(r->waitBody(Transfer::kReceiveWindow));
    // Nothing is consumed: the transfer must hold at about one window.
    std::this_thread::yield();
    std::size_t held = 0;
    {
        dv::MutexLocker lock(r->mutex);
        EXPECT_LE(r->maxUnconsumed, static_cast<std::int64_t>(Transfer::kReceiveWindow + (256 << 10)));
        r->consumeImmediately = true;
        held = static_cast<std::size_t>(r->unconsumed);
    }
    r->startedTransfer()->consumed(held);
    ASSERT_TRUE(r->waitDone(10s));
    auto seen = r->recorded();
    EXPECT_EQ(seen.failure->error, TransportError::None);
    EXPECT_EQ(seen.body.size(), 24u << 20);
    EXPECT_EQ(seen.body.substr(26, 3), "abc");
}

TEST_F(CurlTransportTest, SuspendedTransferWaitsAndResumes)
{
    server.route("/pieces", ScriptedReply { .body = "0123456789", .pieceSize = 2, .pieceDelay = 20ms });
    // The idle time-out leaves room for a slow machine between pieces; the hold outlasts it.
    auto r = run(pool, get(server.url("/pieces"), 1000ms));
    ASSERT_TRUE(r->waitBody(2));
    r->startedTransfer()->setSuspended(true);
    // A suspended transfer neither completes nor times out while held.
    EXPECT_FALSE(r->waitDone(1500ms));
    r->startedTransfer()->setSuspended(false);
    ASSERT_TRUE(r->waitDone());
    EXPECT_EQ(r->recorded().failure->error, TransportError::None);
    EXPECT_EQ(r->recorded().body, "0123456789");
}

TEST_F(CurlTransportTest, ManyConcurrentTransfersAllComplete)
{
    server.route("/c", ScriptedReply { .body = std::string(1024, 'c') });
    std::vector<std::shared_ptr<Recorder>> all;
    for (int i = 0; i < 60; ++i)
        all.push_back(run(i % 2 ? pool : CurlTransport::shared().makePool(), get(server.url("/c"))));
    for (auto& r : all) {
        ASSERT_TRUE(r->waitDone(10s));
        EXPECT_EQ(r->recorded().failure->error, TransportError::None);
        EXPECT_EQ(r->recorded().body.size(), 1024u);
    }
}

class CurlTransportTlsTest : public ::testing::Test {
protected:
    LoopbackServer server { LoopbackServer::Scheme::Https };
    std::shared_ptr<ConnectionPool> pool = CurlTransport::shared().makePool();
};

TEST_F(CurlTransportTlsTest, PresentsTheServerChainLeafFirstBeforeTheResponse)
{
    server.route("/s", ScriptedReply { .body = "secret" });
    auto r = run(pool, get(server.url("/s")));
    ASSERT_TRUE(r->waitDone());
    auto seen = r->recorded();
    ASSERT_EQ(seen.failure->error, TransportError::None);
    EXPECT_EQ(seen.events.front(), "trust");
    ASSERT_EQ(seen.trustQuestions.size(), 1u);
    auto& q = seen.trustQuestions[0];
    EXPECT_EQ(q.host, "127.0.0.1");
    EXPECT_EQ(q.port, server.port());
    auto& certs = dv::testing::TestCertificates::shared();
    ASSERT_EQ(q.chain.size(), 2u);
    EXPECT_EQ(q.chain[0], certs.leaf.der);
    EXPECT_EQ(q.chain[1], certs.intermediate.der);
    EXPECT_EQ(seen.body, "secret");
}

TEST_F(CurlTransportTlsTest, RejectedTrustFailsWithoutSendingTheRequest)
{
    server.route("/s", ScriptedReply { .body = "secret" });
    auto r = run(pool, get(server.url("/s")), [](Recorder& rec) {
        rec.trust = [](const TrustQuestion&, std::shared_ptr<TrustReply> reply) {
            // Answered later from another thread, as a delegate queue would.
            std::thread([reply] { reply->answer(false); }).detach();
        };
    });
    ASSERT_TRUE(r->waitDone());
    EXPECT_EQ(r->recorded().failure->error, TransportError::ServerCertificateRejected);
    EXPECT_EQ(server.requestCount("/s"), 0u);
}

TEST_F(CurlTransportTlsTest, EveryNewConnectionIsEvaluatedAgain)
{
    server.route("/s", ScriptedReply { .body = "x" });
    ASSERT_TRUE(run(pool, get(server.url("/s")))->waitDone());
    auto second = CurlTransport::shared().makePool();
    auto r = run(second, get(server.url("/s")));
    ASSERT_TRUE(r->waitDone());
    EXPECT_EQ(r->recorded().failure->error, TransportError::None);
    EXPECT_EQ(r->recorded().trustQuestions.size(), 1u);
}

TEST_F(CurlTransportTlsTest, UnansweredTrustTimesOutAndCancelWakesIt)
{
    server.route("/s", ScriptedReply { .body = "x" });
    auto unanswered = run(pool, get(server.url("/s"), 150ms), [](Recorder& rec) {
        rec.trust = [](const TrustQuestion&, std::shared_ptr<TrustReply>) { };
    });
    ASSERT_TRUE(unanswered->waitDone());
    EXPECT_EQ(unanswered->recorded().failure->error, TransportError::TimedOut);

    auto cancelled = run(CurlTransport::shared().makePool(), get(server.url("/s")), [](Recorder& rec) {
        rec.trust = [](const TrustQuestion&, std::shared_ptr<TrustReply>) { };
    });
    {
        dv::MutexLocker lock(cancelled->mutex);
        cancelled->changed.waitFor(lock, 5s, [&]() DV_REQUIRES(cancelled->mutex) { return !cancelled->record.trustQuestions.empty() || cancelled->record.failure; });
    }
    cancelled->startedTransfer()->cancel();
    ASSERT_TRUE(cancelled->waitDone());
    EXPECT_EQ(cancelled->recorded().failure->error, TransportError::Cancelled);
}

} // namespace
