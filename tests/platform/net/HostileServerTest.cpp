// Replies a well-behaved server never sends, and the URL error each one must end in.
#include "RawServer.h"
#include "SessionTestSupport.h"
#include "platform/base/Mutex.h"

#include "platform/base/NSDictionary.h"
#include "platform/dispatch/Clock.h"
#include "platform/net/internal/DeadlineWatcher.h"

#include <chrono>

using namespace nettest;
using namespace std::chrono_literals;

namespace {

class HostileServerTest : public SessionTest {
protected:
    // Runs one data task against the raw server and answers its error code (0 for success).
    NSInteger codeFor(RawServer& raw, const std::string& path = "/")
    {
        if (!session)
            makeSession();
        {
            dv::MutexLocker lock(delegate->mutex);
            delegate->record.completions = 0;
            delegate->record.error = nullptr;
            delegate->record.body.clear();
        }
        session->dataTaskWithURL(NSURL::URLWithString(NSString::fromUTF8(raw.url(path))))->resume();
        EXPECT_TRUE(delegate->waitComplete());
        dv::MutexLocker lock(delegate->mutex);
        return delegate->record.error ? delegate->record.error->code() : 0;
    }
    // The failure reason of the last task's error ("" when it has none).
    std::string lastFailureReason()
    {
        dv::MutexLocker lock(delegate->mutex);
        auto reason = delegate->record.error ? dv::as<NSString>(delegate->record.error->userInfo()->objectForKey(NSLocalizedFailureReasonErrorKey)) : nil;
        return reason ? reason->utf8() : "";
    }
};

TEST_F(HostileServerTest, ConflictingContentLengthsAreABadResponse)
{
    RawServer raw([](RawServer::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 8\r\nContent-Length: 20\r\n\r\n12345678HTTP/1.1 200 OK\r\n");
    });
    EXPECT_EQ(codeFor(raw), NSURLErrorBadServerResponse);
    EXPECT_EQ(delegate->recorded().body, "");
    EXPECT_EQ(lastFailureReason(), "Content-Length fields that differ");

    // One header listing two different lengths is the same fault.
    RawServer listed([](RawServer::Connection& c) { c.send("HTTP/1.1 200 OK\r\nContent-Length: 8, 20\r\n\r\n12345678abcdefghijkl"); });
    EXPECT_EQ(codeFor(listed), NSURLErrorBadServerResponse);
}

TEST_F(HostileServerTest, RepeatedEqualContentLengthsAreAccepted)
{
    RawServer raw([](RawServer::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 8\r\ncontent-length: 8\r\nConnection: close\r\n\r\n12345678");
    });
    EXPECT_EQ(codeFor(raw), 0);
    EXPECT_EQ(delegate->recorded().body, "12345678");
}

TEST_F(HostileServerTest, RepliesThatAreNotHTTPAreBadResponses)
{
    RawServer chatter([](RawServer::Connection& c) { c.send("SSH-2.0-OpenSSH_9.2\r\nwelcome to nowhere\r\n\r\n"); });
    EXPECT_EQ(codeFor(chatter), NSURLErrorBadServerResponse);

    RawServer badStatus([](RawServer::Connection& c) { c.send("HTTP/1.1 two hundred OK\r\nContent-Length: 2\r\n\r\nhi"); });
    EXPECT_EQ(codeFor(badStatus), NSURLErrorBadServerResponse);

    RawServer badLength([](RawServer::Connection& c) { c.send("HTTP/1.1 200 OK\r\nContent-Length: lots\r\n\r\nhi"); });
    EXPECT_EQ(codeFor(badLength), NSURLErrorBadServerResponse);
}

TEST_F(HostileServerTest, EndlessHeaderLineIsABadResponse)
{
    RawServer raw([](RawServer::Connection& c) {
        std::string line = "HTTP/1.1 200 OK\r\nX-Filler: " + std::string(1 << 20, 'x') + "\r\nContent-Length: 2\r\n\r\nhi";
        c.send(line);
    });
    EXPECT_EQ(codeFor(raw), NSURLErrorBadServerResponse);
}

TEST_F(HostileServerTest, AHeadTooLargeIsABadResponseHoweverItIsMade)
{
    // Many short lines, as many as one endless line holds: the same fault, the same error.
    for (int lines : { 32000, 100000 }) {
        RawServer raw([lines](RawServer::Connection& c) {
            std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n";
            for (int i = 0; i < lines; ++i)
                head += "X-H" + std::to_string(i) + ": " + std::to_string(i % 7) + "\r\n";
            c.send(head + "\r\nok");
        });
        EXPECT_EQ(codeFor(raw), NSURLErrorBadServerResponse) << lines;
        EXPECT_EQ(lastFailureReason(), "response head of more than 262144 bytes") << lines;
    }
    // Interim heads count with the final one.
    RawServer interim([](RawServer::Connection& c) {
        std::string filler;
        for (int i = 0; i < 6000; ++i)
            filler += "X-Early" + std::to_string(i) + ": yes\r\n";
        std::string heads;
        for (int i = 0; i < 4; ++i)
            heads += "HTTP/1.1 103 Early Hints\r\n" + filler + "\r\n";
        c.send(heads + "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    EXPECT_EQ(codeFor(interim), NSURLErrorBadServerResponse);
}

TEST_F(HostileServerTest, ServerThatHangsUpAtOnceIsALostConnection)
{
    RawServer raw([](RawServer::Connection&) { });
    EXPECT_EQ(codeFor(raw), NSURLErrorNetworkConnectionLost);

    RawServer shortBody([](RawServer::Connection& c) { c.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this"); });
    EXPECT_EQ(codeFor(shortBody), NSURLErrorNetworkConnectionLost);
}

TEST_F(HostileServerTest, ManyHeaderLinesAllArrive)
{
    constexpr int kLines = 16000;
    RawServer raw([](RawServer::Connection& c) {
        std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n";
        for (int i = 0; i < kLines; ++i)
            head += "X-H" + std::to_string(i) + ": " + std::to_string(i % 7) + "\r\n";
        head += "X-H0: again\r\n\r\nok";
        c.send(head);
    });
    EXPECT_EQ(codeFor(raw), 0);
    auto http = dv::as<NSHTTPURLResponse>(delegate->recorded().response);
    ASSERT_TRUE(http);
    EXPECT_EQ(http->allHeaderFields()->count(), static_cast<NSUInteger>(kLines + 1));
    EXPECT_EQ(http->valueForHTTPHeaderField("x-h15999"_ns)->utf8(), std::to_string(15999 % 7));
    EXPECT_EQ(http->valueForHTTPHeaderField("X-H0"_ns)->utf8(), "0, again");
}

// A server that sends the head at once and then one body byte every few milliseconds, for ever.
RawServer::Script trickle()
{
    return [](RawServer::Connection& c) {
        if (!c.send("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n"))
            return;
        while (c.pause(5ms) && c.send("."))
            ;
    };
}

TEST_F(HostileServerTest, TricklingServerIsCutOffAtTheResourceTimeOut)
{
    dv::ManualClockScope clock;
    RawServer raw(trickle());
    configuration->setTimeoutIntervalForResource(30);
    makeSession();
    auto url = NSURL::URLWithString(NSString::fromUTF8(raw.url("/slow")));
    session->dataTaskWithURL(url)->resume();
    auto received = [&] { dv::MutexLocker lock(delegate->mutex); return delegate->record.body.size(); };
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return received() >= 3; }));

    // Bytes keep coming, so the request's own idle time-out never runs out; only the whole
    // task's limit does, measured from the resume.
    clock->advance(29);
    auto before = received();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return received() >= before + 3; }));
    EXPECT_EQ(delegate->recorded().completions, 0);

    clock->advance(2);
    ASSERT_TRUE(delegate->waitComplete());
    dv::MutexLocker lock(delegate->mutex);
    ASSERT_TRUE(delegate->record.error);
    EXPECT_EQ(delegate->record.error->code(), NSURLErrorTimedOut);
    EXPECT_TRUE(dv::equal(delegate->record.error->userInfo()->objectForKey(NSURLErrorFailingURLErrorKey), url));
    EXPECT_EQ(delegate->record.completions, 1);
}

TEST_F(HostileServerTest, ResourceTimeOutCountsWhileTheDelegateDeliberates)
{
    dv::ManualClockScope clock;
    RawServer raw(trickle());
    configuration->setTimeoutIntervalForResource(5);
    dv::Mutex heldMutex;
    std::function<void(NSURLSessionResponseDisposition)> held;
    delegate->onResponse = [&](const Ref<NSURLResponse>&, std::function<void(NSURLSessionResponseDisposition)> done) {
        dv::MutexLocker lock(heldMutex);
        held = std::move(done);
    };
    makeSession();
    session->dataTaskWithURL(NSURL::URLWithString(NSString::fromUTF8(raw.url("/slow"))))->resume();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(heldMutex); return bool(held); }));
    clock->advance(6);
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorTimedOut);
    // The late answer changes nothing.
    dv::MutexLocker lock(heldMutex);
    held(NSURLSessionResponseAllow);
    EXPECT_TRUE(dv::testing::runUntilIdle());
    EXPECT_EQ(delegate->recorded().completions, 1);
    EXPECT_EQ(delegate->recorded().body, "");
}

TEST_F(HostileServerTest, FinishedTasksLeaveNoResourceTimerBehind)
{
    dv::ManualClockScope clock;
    RawServer raw([](RawServer::Connection& c) { c.send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"); });
    auto before = dv::internal::net::DeadlineWatcher::shared().pendingCount();
    EXPECT_EQ(codeFor(raw), 0);
    EXPECT_EQ(dv::internal::net::DeadlineWatcher::shared().pendingCount(), before);
    // A task given up before it ever ran leaves nothing either.
    auto never = session->dataTaskWithURL(NSURL::URLWithString(NSString::fromUTF8(raw.url("/"))));
    never->resume();
    never->cancel();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { dv::MutexLocker lock(delegate->mutex); return delegate->record.completions == 2; }));
    EXPECT_EQ(dv::internal::net::DeadlineWatcher::shared().pendingCount(), before);
}

} // namespace
