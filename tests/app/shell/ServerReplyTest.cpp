// Reading server replies: every reader answers something sound for any JSON the server (or
// whatever answers in its place) may send.
#include "app/shell/server/ServerReply.h"
#include "platform/base/Base.h"
#include "platform/base/NSJSONSerialization.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

id parse(std::string_view json)
{
    Ref<NSError> error;
    id object = NSJSONSerialization::JSONObjectWithData(NSData::fromString(json), NSJSONReadingAllowFragments, &error);
    EXPECT_FALSE(error) << json;
    return object;
}

std::optional<ServerReply> read(std::string_view json) { return ServerReply::fromObject(parse(json)); }

std::optional<NSInteger> statusOf(std::string_view statusJSON)
{
    auto reply = read("{\"status\":" + std::string(statusJSON) + "}");
    EXPECT_TRUE(reply);
    return reply ? reply->status() : std::nullopt;
}

} // namespace

TEST(ServerReplyTest, StatusIsTheIntegerValueOfANumberOrOfATextHoldingOne)
{
    EXPECT_EQ(statusOf("1"), 1);
    EXPECT_EQ(statusOf("1.0"), 1);
    EXPECT_EQ(statusOf("1.9"), 1) << "truncated toward zero";
    EXPECT_EQ(statusOf("-0.5"), 0);
    EXPECT_EQ(statusOf("0"), 0);
    EXPECT_EQ(statusOf("-3"), -3);
    EXPECT_EQ(statusOf("\"1\""), 1);
    EXPECT_EQ(statusOf("\" 1 \""), 1);
    EXPECT_EQ(statusOf("\"+1\""), 1);
    EXPECT_EQ(statusOf("\"1.\""), 1);
    EXPECT_EQ(statusOf("\".5\""), 0);
    EXPECT_EQ(statusOf("\"0\""), 0);
    EXPECT_EQ(statusOf("\"-9223372036854775808\""), std::numeric_limits<NSInteger>::min());
    EXPECT_EQ(statusOf("9223372036854775807"), std::numeric_limits<NSInteger>::max());
    EXPECT_EQ(statusOf("true"), 1) << "a boolean is a number";
}

TEST(ServerReplyTest, AnythingElseIsNoStatusAndAFailure)
{
    for (const char* status : { "null", "\"\"", "\" \"", "\"abc\"", "\"1abc\"", "\"1 1\"", "\"1e0\"", "\"0x1\"", "\"+\"", "\".\"",
             "\"１\"", "[1]", "{\"value\":1}", "\"9223372036854775808\"", "\"-9223372036854775809\"", "1e300", "-1e300",
             "18446744073709551615" }) {
        auto reply = read("{\"status\":" + std::string(status) + ",\"msg\":\"m\"}");
        ASSERT_TRUE(reply) << status;
        EXPECT_EQ(reply->status(), std::nullopt) << status;
        EXPECT_FALSE(reply->succeeded()) << status;
    }
    auto missing = read("{\"msg\":\"m\"}");
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing->succeeded());
    EXPECT_TRUE(read("{\"status\":1}")->succeeded());
    EXPECT_FALSE(read("{\"status\":2}")->succeeded());
}

TEST(ServerReplyTest, MsgIsAlwaysAText)
{
    EXPECT_EQ(dv::str(read(R"({"status":0,"msg":"服务器繁忙"})")->msg()), "服务器繁忙");
    EXPECT_EQ(dv::str(read(R"({"status":0,"msg":12})")->msg()), "12");
    for (const char* msg : { "null", "[\"x\"]", "{}", "\"\"" }) {
        auto reply = read("{\"status\":0,\"msg\":" + std::string(msg) + "}");
        ASSERT_TRUE(reply->msg()) << msg;
        EXPECT_EQ(dv::str(reply->msg()), "") << msg;
    }
    auto missing = read("{}");
    ASSERT_TRUE(missing->msg());
    EXPECT_EQ(dv::str(missing->msg()), "");
}

TEST(ServerReplyTest, InfoIsAnObjectAnArrayOrATextAndOtherwiseAbsent)
{
    auto object = read(R"({"status":1,"info":{"qq":"12345"}})");
    ASSERT_TRUE(object->infoDictionary());
    EXPECT_FALSE(object->infoArray());
    EXPECT_FALSE(object->infoText());
    auto array = read(R"({"status":1,"info":[{"id":1}]})");
    ASSERT_TRUE(array->infoArray());
    EXPECT_EQ(array->infoArray()->count(), 1u);
    EXPECT_FALSE(array->infoDictionary());
    EXPECT_EQ(dv::str(read(R"({"status":1,"info":"上传成功"})")->infoText()), "上传成功");
    for (const char* info : { "null", "7", "true" }) {
        auto reply = read("{\"status\":1,\"info\":" + std::string(info) + "}");
        EXPECT_FALSE(reply->info()) << info;
        EXPECT_FALSE(reply->infoDictionary()) << info;
        EXPECT_FALSE(reply->listItems()) << info;
        EXPECT_EQ(reply->pageSize(), std::nullopt) << info;
    }
}

TEST(ServerReplyTest, ListFieldsReadNumbersAndNumericTexts)
{
    auto reply = read(R"({"status":1,"info":{"pageSize":"10","totalCount":23,"listItems":[{"title":"a"},7]}})");
    EXPECT_EQ(reply->pageSize(), 10);
    EXPECT_EQ(reply->totalCount(), 23);
    ASSERT_TRUE(reply->listItems());
    EXPECT_EQ(reply->listItems()->count(), 2u);

    auto wrong = read(R"({"status":1,"info":{"pageSize":["10"],"totalCount":{"value":3},"listItems":{"title":"a"}}})");
    EXPECT_EQ(wrong->pageSize(), std::nullopt);
    EXPECT_EQ(wrong->totalCount(), std::nullopt);
    EXPECT_FALSE(wrong->listItems());
}

TEST(ServerReplyTest, TopLevelTextsTakeTextsAndNumbers)
{
    auto reply = read(R"({"status":1,"token":"t0k","n":5,"a":["x"],"z":null})");
    EXPECT_EQ(dv::str(reply->textForKey("token"_ns)), "t0k");
    EXPECT_EQ(dv::str(reply->textForKey("n"_ns)), "5");
    EXPECT_FALSE(reply->textForKey("a"_ns));
    EXPECT_FALSE(reply->textForKey("z"_ns));
    EXPECT_FALSE(reply->textForKey("missing"_ns));
    EXPECT_FALSE(reply->textForKey(nil));
}

TEST(ServerReplyTest, OnlyAnObjectIsAReply)
{
    for (const char* json : { "[{\"status\":1}]", "null", "\"ok\"", "1", "true", "[]" })
        EXPECT_FALSE(read(json)) << json;
    EXPECT_FALSE(ServerReply::fromObject(nil));
    EXPECT_FALSE(ServerReply::fromObject(NSData::fromString("{\"status\":1}")));
    auto empty = read("{}");
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->succeeded());
    EXPECT_FALSE(empty->info());
}
