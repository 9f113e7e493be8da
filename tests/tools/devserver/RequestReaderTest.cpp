// Reading requests before any handler sees them: framing, chunked bodies, limits, and requests
// that arrive in any pieces.
#include "tools/devserver/internal/RequestReader.h"

#include <gtest/gtest.h>

#include <cctype>
#include <vector>

namespace dv::internal::devserver {
namespace {

using State = RequestReader::State;

// Room enough for any reader here that is not about the budget.
MemoryBudget g_budget(64 * 1024 * 1024);

// Feeds `bytes` in pieces of `piece` bytes; what the reader did not take is returned in `rest`.
RequestReader readInPieces(std::string_view bytes, std::size_t piece, std::string* rest = nullptr, RequestLimits limits = {})
{
    RequestReader reader(limits, g_budget);
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::string_view slice = bytes.substr(at, piece);
        std::size_t used = reader.feed(slice);
        at += used;
        if (used < slice.size())
            break;
    }
    if (rest)
        *rest = std::string(bytes.substr(at));
    return reader;
}

TEST(RequestReaderTest, ChunkedBodyIsDecodedIntoAPlainLengthWhateverThePieces)
{
    const std::string request = "POST /DV/client/login.do HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n"
                                "Content-Type: application/x-www-form-urlencoded\r\n\r\n"
                                "9;name=value\r\nclientId=\r\n3\r\nabc\r\n0\r\nX-Trailer: dropped\r\n\r\n"
                                "GET /next HTTP/1.1\r\n";
    for (std::size_t piece : { std::size_t(1), std::size_t(2), std::size_t(7), request.size() }) {
        std::string rest;
        auto reader = readInPieces(request, piece, &rest);
        ASSERT_EQ(reader.state(), State::Complete) << piece;
        EXPECT_EQ(rest, "GET /next HTTP/1.1\r\n") << "the next request is left for its own reader";
        auto message = reader.takeMessage();
        EXPECT_EQ(message.body, "clientId=abc");
        EXPECT_EQ(message.head, "POST /DV/client/login.do HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 12\r\n\r\n");
    }
}

TEST(RequestReaderTest, LengthsFrameTheBodyAndExpectationsAreTakenOut)
{
    std::string rest;
    auto reader = readInPieces("\r\nPOST /a HTTP/1.1\r\nContent-Length: 5, 5\r\nExpect: 100-continue\r\n\r\nhelloPOST", 3, &rest);
    ASSERT_EQ(reader.state(), State::Complete);
    EXPECT_EQ(rest, "POST");
    auto message = reader.takeMessage();
    EXPECT_EQ(message.head, "POST /a HTTP/1.1\r\nContent-Length: 5\r\n\r\n");
    EXPECT_EQ(message.body, "hello");

    RequestReader waiting({}, g_budget);
    waiting.feed("POST /a HTTP/1.1\r\nContent-Length: 5\r\nExpect: 100-Continue\r\n\r\n");
    EXPECT_TRUE(waiting.awaitsContinue());
    waiting.feed("he");
    EXPECT_FALSE(waiting.awaitsContinue()) << "the body has begun";
    EXPECT_EQ(waiting.state(), State::Body);

    RequestReader plain({}, g_budget);
    plain.feed("GET /b HTTP/1.1\r\n\r\n");
    ASSERT_EQ(plain.state(), State::Complete);
    EXPECT_EQ(plain.takeMessage().head, "GET /b HTTP/1.1\r\nContent-Length: 0\r\n\r\n");
}

TEST(RequestReaderTest, BodiesPastTheLimitAreRefusedAsSoonAsTheyArePassed)
{
    const RequestLimits limits { .maxHeadBytes = 1024, .maxBodyBytes = 100 };
    // A declared length: refused with the head, before any body byte.
    RequestReader declared(limits, g_budget);
    declared.feed("POST /a HTTP/1.1\r\nContent-Length: 101\r\n\r\n");
    EXPECT_EQ(declared.state(), State::Refused);
    EXPECT_EQ(declared.refusalStatus(), 413);
    RequestReader huge(limits, g_budget);
    huge.feed("POST /a HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n");
    EXPECT_EQ(huge.refusalStatus(), 413);

    // Chunks: the one that passes the limit is refused on its size line.
    RequestReader chunks(limits, g_budget);
    std::string head = "POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
    std::string fifty = "32\r\n" + std::string(50, 'x') + "\r\n";
    EXPECT_EQ(chunks.feed(head + fifty + fifty), head.size() + 2 * fifty.size());
    EXPECT_EQ(chunks.state(), State::Body);
    EXPECT_EQ(chunks.feed("1\r\n"), 3u);
    EXPECT_EQ(chunks.state(), State::Refused);
    EXPECT_EQ(chunks.refusalStatus(), 413);
    EXPECT_EQ(chunks.bodyBytes(), 0u) << "nothing is kept of a refused body";

    RequestReader giant(limits, g_budget);
    giant.feed(head + "ffffffffffffffffffff\r\n");
    EXPECT_EQ(giant.refusalStatus(), 413);

    std::string exactly = head + fifty + fifty + "0\r\n\r\n";
    EXPECT_EQ(readInPieces(exactly, 5, nullptr, limits).state(), State::Complete);
}

TEST(RequestReaderTest, HeadsThatCannotBeFramedSafelyAreRefused)
{
    struct Case {
        const char* request;
        int status;
    };
    for (const Case& c : {
             Case { "POST /a HTTP/1.1\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n", 400 },
             Case { "POST /a HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\n", 400 },
             Case { "POST /a HTTP/1.1\r\nContent-Length: 3, 4\r\n\r\n", 400 },
             Case { "POST /a HTTP/1.1\r\nContent-Length: -3\r\n\r\n", 400 },
             Case { "POST /a HTTP/1.1\r\nContent-Length: 0x10\r\n\r\n", 400 },
             Case { "POST /a HTTP/1.1\r\nTransfer-Encoding: gzip, chunked\r\n\r\n", 501 },
             Case { "POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n", 400 },
             Case { "POST /a HTTP/1.1\r\nContent-Encoding: gzip\r\nContent-Length: 3\r\n\r\n", 415 },
             Case { "GET /a HTTP/1.1\r\nX-A: 1\r\n folded\r\n\r\n", 400 },
             Case { "GET /a HTTP/1.1\r\nNo colon here\r\n\r\n", 400 },
             Case { "GET /a HTTP/1.1\r\nSpace Name: 1\r\n\r\n", 400 },
             Case { "GET /a HTTP/1.1\r\n: nameless\r\n\r\n", 400 },
             Case { "POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", 400 },
             Case { "POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n", 400 },
         }) {
        RequestReader reader({}, g_budget);
        reader.feed(c.request);
        EXPECT_EQ(reader.state(), State::Refused) << c.request;
        EXPECT_EQ(reader.refusalStatus(), c.status) << c.request;
    }
    RequestReader identity({}, g_budget);
    identity.feed("POST /a HTTP/1.1\r\nContent-Encoding: identity\r\nContent-Length: 1\r\n\r\nx");
    EXPECT_EQ(identity.state(), State::Complete);
}

TEST(RequestReaderTest, AFewBlankLinesBeforeARequestAreSkippedAndMoreRefused)
{
    const std::string request = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n";
    for (const std::string blank : { "\r\n\r\n\r\n\r\n", "\n\n\n\n\n\n\n\n" }) {
        for (std::size_t piece : { std::size_t(1), std::size_t(64) }) {
            auto reader = readInPieces(blank + request, piece);
            ASSERT_EQ(reader.state(), State::Complete) << piece;
            EXPECT_EQ(reader.takeMessage().head, "GET /a HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n");
        }
        // Nothing but blank lines is no request yet, however they come.
        EXPECT_EQ(readInPieces(blank, 1).state(), State::Idle);
        // One byte more is a client that starts no request: told so, whatever follows.
        for (const char* more : { "\n", "\r\n" }) {
            RequestReader reader({}, g_budget);
            reader.feed(blank);
            reader.feed(more);
            EXPECT_EQ(reader.state(), State::Refused) << more;
            EXPECT_EQ(reader.refusalStatus(), 400) << more;
            EXPECT_EQ(reader.feed(request), 0u);
        }
    }
}

TEST(RequestReaderTest, AHeadOfTheRequestsOriginOrFramingMayComeOnceOnly)
{
    for (const char* name : { "Host", "Origin", "Referer", "Content-Length", "Transfer-Encoding" }) {
        const std::string value = std::string(name) == "Content-Length" ? "0" : std::string(name) == "Transfer-Encoding" ? "chunked" : "a";
        RequestReader reader({}, g_budget);
        // Another spelling of the name, and the same value: still a second copy.
        std::string lower = name;
        for (char& c : lower)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        reader.feed("POST /a HTTP/1.1\r\n" + std::string(name) + ": " + value + "\r\nX-Between: 1\r\n" + lower + ": " + value + "\r\n\r\n");
        EXPECT_EQ(reader.state(), State::Refused) << name;
        EXPECT_EQ(reader.refusalStatus(), 400) << name;
    }
    // Other heads may repeat.
    RequestReader repeated({}, g_budget);
    repeated.feed("GET /a HTTP/1.1\r\nHost: a\r\nAccept: x\r\nAccept: y\r\nCookie: 1\r\nCookie: 2\r\n\r\n");
    ASSERT_EQ(repeated.state(), State::Complete);
    EXPECT_EQ(repeated.takeMessage().head, "GET /a HTTP/1.1\r\nHost: a\r\nAccept: x\r\nAccept: y\r\nCookie: 1\r\nCookie: 2\r\nContent-Length: 0\r\n\r\n");
}

TEST(RequestReaderTest, BodiesAreCountedAgainstTheBudgetAsTheyArrive)
{
    // Large shares may take three quarters of it: 768 KiB of 1 MiB.
    MemoryBudget budget(1024 * 1024);
    const RequestLimits limits { .maxHeadBytes = 4096, .maxBodyBytes = 1024 * 1024 };
    auto post = [](std::size_t length) { return "POST /a HTTP/1.1\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n"; };

    // A declared body takes nothing until its bytes come: heads that declare bodies they never
    // send cannot keep the room from anyone.
    std::vector<RequestReader> declared;
    for (int i = 0; i < 8; ++i) {
        declared.emplace_back(limits, budget);
        declared.back().feed(post(700 * 1024));
        ASSERT_EQ(declared.back().state(), State::Body);
    }
    EXPECT_LT(budget.used(), 8u * 4096);

    RequestReader first(limits, budget);
    first.feed(post(600 * 1024) + std::string(500 * 1024, 'x'));
    ASSERT_EQ(first.state(), State::Body);
    const std::size_t firstHeld = budget.used();
    EXPECT_GT(firstHeld, 500u * 1024) << "the bytes that arrived are counted";
    EXPECT_LT(firstHeld, 600u * 1024) << "the bytes still to come are not";

    // A second large body that does not fit now is refused on its head, before it is sent.
    RequestReader second(limits, budget);
    second.feed(post(300 * 1024) + "abc");
    EXPECT_EQ(second.refusalStatus(), 503);
    EXPECT_EQ(second.bodyBytes(), 0u);
    EXPECT_EQ(budget.used(), firstHeld);
    // One that fits when its head comes is read until its bytes find no room, then refused with
    // everything it held given back.
    RequestReader third(limits, budget);
    third.feed(post(200 * 1024) + std::string(100 * 1024, 'y'));
    ASSERT_EQ(third.state(), State::Body);
    first.feed(std::string(100 * 1024, 'x'));
    ASSERT_EQ(first.state(), State::Complete);
    EXPECT_EQ(third.feed(std::string(100 * 1024, 'y')), 0u);
    EXPECT_EQ(third.refusalStatus(), 503);
    EXPECT_EQ(budget.used(), firstHeld + 100 * 1024);
    // So is a chunk too large for the room there is now, on its size line, and a chunk's bytes
    // are counted as they come.
    RequestReader chunked(limits, budget);
    chunked.feed("POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n32000\r\n");
    EXPECT_EQ(chunked.refusalStatus(), 503);
    RequestReader trickled(limits, budget);
    trickled.feed("POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n10000\r\n");
    ASSERT_EQ(trickled.state(), State::Body);
    const std::size_t beforeChunk = budget.used();
    trickled.feed(std::string(1000, 'z'));
    EXPECT_EQ(budget.used(), beforeChunk + 1000);
    trickled = RequestReader(limits, budget);

    // A small request still finds room beside the large ones.
    RequestReader small(limits, budget);
    small.feed(post(1000) + std::string(1000, 'y'));
    ASSERT_EQ(small.state(), State::Complete);

    // The share goes on with the message and leaves the budget with it.
    {
        auto message = first.takeMessage();
        EXPECT_EQ(message.body.size(), 600u * 1024);
        EXPECT_GE(message.share.bytes(), 600u * 1024);
    }
    declared.clear();
    EXPECT_LT(budget.used(), 4096u);
    small = RequestReader(limits, budget);
    EXPECT_EQ(budget.used(), 0u);

    // With the room given back, the large body fits.
    RequestReader later(limits, budget);
    later.feed(post(700 * 1024) + std::string(700 * 1024, 'w'));
    EXPECT_EQ(later.state(), State::Complete);
}

TEST(RequestReaderTest, HeadsAndTrailersPastTheLimitAreRefused)
{
    const RequestLimits limits { .maxHeadBytes = 200, .maxBodyBytes = 1000 };
    RequestReader head(limits, g_budget);
    head.feed("GET /a HTTP/1.1\r\n");
    for (int i = 0; i < 20 && head.state() == State::Head; ++i)
        head.feed("X-Filler: 0123456789\r\n");
    EXPECT_EQ(head.refusalStatus(), 431);

    RequestReader trailers(limits, g_budget);
    trailers.feed("POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n");
    for (int i = 0; i < 20 && trailers.state() == State::Body; ++i)
        trailers.feed("X-Trailer: 0123456789\r\n");
    EXPECT_EQ(trailers.refusalStatus(), 431);

    // A request has begun with its first byte, before its request line is whole: the deadline of a
    // request that trickles in counts from there.
    RequestReader begun(limits, g_budget);
    begun.feed("\r\n");
    EXPECT_EQ(begun.state(), State::Idle);
    begun.feed("P");
    EXPECT_EQ(begun.state(), State::Head);
}

} // namespace
} // namespace dv::internal::devserver
