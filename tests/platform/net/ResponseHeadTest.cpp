#include "platform/net/internal/ResponseHead.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <variant>

using dv::internal::net::ResponseHeadReader;
using Step = ResponseHeadReader::Step;

namespace {

// The last step, or the reason the head was refused.
std::variant<Step, std::string> feed(ResponseHeadReader& head, std::initializer_list<std::string_view> lines)
{
    Step last = Step::Continue;
    for (auto line : lines) {
        auto step = head.readLine(line);
        if (!step)
            return step.reason();
        last = *step;
    }
    return last;
}

Step stepOf(dv::Result<Step> step)
{
    EXPECT_TRUE(step.ok()) << step.reason();
    return std::move(step).valueOr(Step::Continue);
}

TEST(ResponseHeadTest, InterimHeadGivesWayToTheFinalOneAndTrailersAreIgnored)
{
    ResponseHeadReader head;
    EXPECT_EQ(feed(head, { "HTTP/1.1 100 Continue\r\n", "X-Early: 1\r\n", "\r\n" }), (std::variant<Step, std::string>(Step::Continue)));
    EXPECT_FALSE(head.isComplete());
    EXPECT_EQ(feed(head, { "HTTP/1.1 201 Created\r\n", "Content-Length: 5\r\n", "x-a: 1\r\n", "X-A:  2 \r\n", "\r\n" }), (std::variant<Step, std::string>(Step::Complete)));
    EXPECT_EQ(head.response().statusCode, 201);
    ASSERT_EQ(head.response().headers.size(), 3u);
    EXPECT_EQ(head.response().header("x-A"), "2");
    EXPECT_EQ(stepOf(head.readLine("X-Trailer: t\r\n")), Step::Continue);
    EXPECT_EQ(head.response().headers.size(), 3u);
}

TEST(ResponseHeadTest, UntrustworthyHeadsAreRefused)
{
    for (auto status : { "HTTP/1.1 2000 OK\r\n", "HTTP/1.1 abc OK\r\n", "HTTP/1.1\r\n", "HTTP/1.1 20\r\n", "HTTP/1.1 099 Low\r\n" }) {
        ResponseHeadReader head;
        auto step = head.readLine(status);
        ASSERT_FALSE(step) << status;
        EXPECT_NE(step.reason().find("status line"), std::string::npos) << step.reason();
    }
    for (auto lengths : { std::vector<std::string_view> { "Content-Length: 8\r\n", "Content-Length: 20\r\n" },
                          std::vector<std::string_view> { "Content-Length: 8, 20\r\n" },
                          std::vector<std::string_view> { "Content-Length: -1\r\n" },
                          std::vector<std::string_view> { "Content-Length: 1e3\r\n" },
                          std::vector<std::string_view> { "Content-Length:\r\n" },
                          std::vector<std::string_view> { "Content-Length: 99999999999999999999\r\n" } }) {
        ResponseHeadReader head;
        ASSERT_EQ(stepOf(head.readLine("HTTP/1.1 200 OK\r\n")), Step::Continue);
        std::optional<std::string> refusal;
        for (auto line : lengths) {
            auto step = head.readLine(line);
            if (!step)
                refusal = step.reason();
        }
        ASSERT_TRUE(refusal) << lengths.back();
        EXPECT_NE(refusal->find("Content-Length"), std::string::npos) << *refusal;
    }
    // Equal lengths, in one field or two, and a status line without a reason are fine.
    ResponseHeadReader head;
    EXPECT_EQ(feed(head, { "HTTP/1.1 204\r\n", "Content-Length: 0, 0\r\n", "content-length: 0\r\n", "\n" }), (std::variant<Step, std::string>(Step::Complete)));
    EXPECT_EQ(dv::internal::net::contentLengthValue(" 12 , 12"), 12);
}

} // namespace
