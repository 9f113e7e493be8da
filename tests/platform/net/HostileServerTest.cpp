// Replies a well-behaved server never sends, and the URL error each one must end in.
#include "RawServer.h"
#include "SessionTestSupport.h"

#include "platform/base/NSDictionary.h"

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
            std::lock_guard lock(delegate->mutex);
            delegate->completions = 0;
            delegate->error = nullptr;
            delegate->body.clear();
        }
        session->dataTaskWithURL(NSURL::URLWithString(NSString::fromUTF8(raw.url(path))))->resume();
        EXPECT_TRUE(delegate->waitComplete());
        std::lock_guard lock(delegate->mutex);
        return delegate->error ? delegate->error->code() : 0;
    }
};

TEST_F(HostileServerTest, ConflictingContentLengthsAreABadResponse)
{
    RawServer raw([](RawServer::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 8\r\nContent-Length: 20\r\n\r\n12345678HTTP/1.1 200 OK\r\n");
    });
    EXPECT_EQ(codeFor(raw), NSURLErrorBadServerResponse);
    EXPECT_EQ(delegate->body, "");

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
    EXPECT_EQ(delegate->body, "12345678");
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
    auto http = dv::as<NSHTTPURLResponse>(delegate->response);
    ASSERT_TRUE(http);
    EXPECT_EQ(http->allHeaderFields()->count(), static_cast<NSUInteger>(kLines + 1));
    EXPECT_EQ(http->valueForHTTPHeaderField("x-h15999"_ns)->utf8(), std::to_string(15999 % 7));
    EXPECT_EQ(http->valueForHTTPHeaderField("X-H0"_ns)->utf8(), "0, again");
}

} // namespace
