#include "platform/net/internal/ResponseHead.h"

#include <gtest/gtest.h>

using dv::internal::ResponseHeadReader;
using Step = ResponseHeadReader::Step;

namespace {

Step feed(ResponseHeadReader& head, std::initializer_list<std::string_view> lines)
{
    Step last = Step::Continue;
    for (auto line : lines) {
        last = head.readLine(line);
        if (last == Step::Refused)
            break;
    }
    return last;
}

TEST(ResponseHeadTest, InterimHeadGivesWayToTheFinalOneAndTrailersAreIgnored)
{
    ResponseHeadReader head;
    EXPECT_EQ(feed(head, { "HTTP/1.1 100 Continue\r\n", "X-Early: 1\r\n", "\r\n" }), Step::Continue);
    EXPECT_FALSE(head.isComplete());
    EXPECT_EQ(feed(head, { "HTTP/1.1 201 Created\r\n", "Content-Length: 5\r\n", "x-a: 1\r\n", "X-A:  2 \r\n", "\r\n" }), Step::Complete);
    EXPECT_EQ(head.response().statusCode, 201);
    ASSERT_EQ(head.response().headers.size(), 3u);
    EXPECT_EQ(head.response().header("x-A"), "2");
    EXPECT_EQ(head.readLine("X-Trailer: t\r\n"), Step::Continue);
    EXPECT_EQ(head.response().headers.size(), 3u);
}

TEST(ResponseHeadTest, UntrustworthyHeadsAreRefused)
{
    for (auto status : { "HTTP/1.1 2000 OK\r\n", "HTTP/1.1 abc OK\r\n", "HTTP/1.1\r\n", "HTTP/1.1 20\r\n", "HTTP/1.1 099 Low\r\n" }) {
        ResponseHeadReader head;
        EXPECT_EQ(head.readLine(status), Step::Refused) << status;
    }
    for (auto lengths : { std::vector<std::string_view> { "Content-Length: 8\r\n", "Content-Length: 20\r\n" },
                          std::vector<std::string_view> { "Content-Length: 8, 20\r\n" },
                          std::vector<std::string_view> { "Content-Length: -1\r\n" },
                          std::vector<std::string_view> { "Content-Length: 1e3\r\n" },
                          std::vector<std::string_view> { "Content-Length:\r\n" },
                          std::vector<std::string_view> { "Content-Length: 99999999999999999999\r\n" } }) {
        ResponseHeadReader head;
        ASSERT_EQ(head.readLine("HTTP/1.1 200 OK\r\n"), Step::Continue);
        Step last = Step::Continue;
        for (auto line : lengths)
            last = head.readLine(line);
        EXPECT_EQ(last, Step::Refused) << lengths.back();
    }
    // Equal lengths, in one field or two, and a status line without a reason are fine.
    ResponseHeadReader head;
    EXPECT_EQ(feed(head, { "HTTP/1.1 204\r\n", "Content-Length: 0, 0\r\n", "content-length: 0\r\n", "\n" }), Step::Complete);
    EXPECT_EQ(dv::internal::contentLengthValue(" 12 , 12"), 12);
}

} // namespace
