#include "SessionTestSupport.h"

#include "platform/system/NSInputStream.h"

using namespace nettest;
using dv::testing::ScriptedReply;

namespace {

using Calls = std::vector<std::string>;

Ref<NSInputStream> streamOf(const std::string& text)
{
    return NSInputStream::inputStreamWithData(NSData::fromString(text));
}

TEST_F(SessionTest, StreamedUploadAsksTheDelegateForItsBody)
{
    server.route("/stream", ScriptedReply { .body = "got it" });
    std::string payload(100000, 's');
    delegate->onNeedBodyStream = [&](auto done) { done(streamOf(payload)); };
    makeSession();
    auto post = request("/stream");
    post->setHTTPMethod("POST"_ns);
    auto task = session->uploadTaskWithStreamedRequest(post);
    EXPECT_EQ(task->countOfBytesExpectedToSend(), NSURLSessionTransferSizeUnknown);
    task->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(delegate->recorded().error) << (delegate->recorded().error ? delegate->recorded().error->code() : 0);
    EXPECT_EQ(delegate->callOrder(), (Calls { "body-stream", "sent", "response", "data", "complete" }));
    auto seen = server.requests().back();
    EXPECT_EQ(seen.body, payload);
    EXPECT_EQ(seen.header("transfer-encoding"), "chunked");
    EXPECT_EQ(delegate->recorded().sentTotals.back(), 100000);
}

TEST_F(SessionTest, StreamedUploadWithALengthSendsItAndFallsBackToTheRequestStream)
{
    server.route("/stream", ScriptedReply { .body = "ok" });
    makeSession();
    auto post = request("/stream");
    post->setHTTPMethod("PUT"_ns);
    post->setHTTPBodyStream(streamOf("exactly twenty bytes"));
    post->setValueForHTTPHeaderField("20"_ns, "Content-Length"_ns);
    auto task = session->uploadTaskWithStreamedRequest(post);
    EXPECT_EQ(task->countOfBytesExpectedToSend(), 20);
    task->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(delegate->recorded().error);
    auto seen = server.requests().back();
    EXPECT_EQ(seen.body, "exactly twenty bytes");
    EXPECT_EQ(seen.header("content-length"), "20");
}

TEST_F(SessionTest, RedirectedStreamBodyIsAskedForAgain)
{
    server.route("/first", ScriptedReply { .status = 307, .redirectTo = "/second" });
    server.route("/second", ScriptedReply { .body = "done" });
    int asked = 0;
    delegate->onNeedBodyStream = [&](auto done) {
        ++asked;
        done(streamOf("body-" + std::to_string(asked)));
    };
    makeSession();
    auto post = request("/first");
    post->setHTTPMethod("POST"_ns);
    post->setHTTPBodyStream(streamOf("original"));
    session->dataTaskWithRequest(post)->resume();
    ASSERT_TRUE(delegate->waitComplete());
    EXPECT_FALSE(delegate->recorded().error);
    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    // The request's own stream serves the first attempt; the repeat asks for a fresh one.
    EXPECT_EQ(seen[0].body, "original");
    EXPECT_EQ(seen[1].body, "body-1");
    EXPECT_EQ(asked, 1);
}

TEST_F(SessionTest, StreamThatCannotBeReadFailsTheUpload)
{
    server.route("/stream", ScriptedReply { .body = "ok" });
    delegate->onNeedBodyStream = [](auto done) { done(NSInputStream::inputStreamWithFileAtPath("/nonexistent/body"_ns)); };
    makeSession();
    auto post = request("/stream");
    post->setHTTPMethod("POST"_ns);
    session->uploadTaskWithStreamedRequest(post)->resume();
    ASSERT_TRUE(delegate->waitComplete());
    ASSERT_TRUE(delegate->recorded().error);
    EXPECT_EQ(delegate->recorded().error->code(), NSURLErrorRequestBodyStreamExhausted);
}

} // namespace
