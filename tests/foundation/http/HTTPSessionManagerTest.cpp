#include "SessionManagerTestSupport.h"

#include "foundation/http/PNHTTPResponseSerializer.h"
#include "foundation/http/PNJSONResponseSerializer.h"
#include "foundation/http/PNMultipartFormData.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/SCNetworkReachability.h"

using dv::test::Outcome;
using dv::test::SessionManagerTestFixture;
using dv::testing::ScriptedReply;
using namespace std::chrono_literals;

namespace {

class HTTPSessionManagerTest : public SessionManagerTestFixture {
protected:
    void SetUp() override
    {
        SessionManagerTestFixture::SetUp();
        server.route("/json", ScriptedReply { .body = R"({"ok":1,"name":"张三"})", .contentType = "application/json" });
    }
};

TEST_F(HTTPSessionManagerTest, FormPostSendsEncodedFieldsAndHandsParsedJSONToSuccessOnMain)
{
    auto manager = PNHTTPSessionManager::manager();
    EXPECT_FALSE(manager->baseURL());
    manager->requestSerializer()->setTimeoutInterval(10);
    Outcome outcome;
    auto task = manager->POST(url("/json"), NSDictionary::of({ { "clientId"_ns, "abc"_ns }, { "name"_ns, "a b&c"_ns } }),
        outcome.success(), outcome.failure());
    ASSERT_TRUE(task);
    EXPECT_EQ(task->state(), NSURLSessionTaskStateRunning);
    ASSERT_TRUE(outcome.wait());
    EXPECT_EQ(outcome.successes, 1);
    EXPECT_EQ(outcome.failures, 0);
    EXPECT_EQ(outcome.offMainThread, 0);
    EXPECT_EQ(outcome.task, task);
    auto reply = dv::as<NSDictionary>(outcome.object);
    ASSERT_TRUE(reply);
    EXPECT_EQ(dv::str(reply->objectForKey("name")), "张三");

    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[0].path, "/json");
    EXPECT_EQ(seen[0].body, "clientId=abc&name=a%20b%26c");
    EXPECT_EQ(seen[0].header("content-type").rfind("application/x-www-form-urlencoded", 0), 0u);
}

TEST_F(HTTPSessionManagerTest, GetCarriesParametersInTheQuery)
{
    auto manager = PNHTTPSessionManager::manager();
    Outcome outcome;
    manager->GET(url("/json"), NSDictionary::of({ { "page"_ns, NSNumber::numberWithInt(2) }, { "q"_ns, "上海"_ns } }), {},
        outcome.success(), outcome.failure());
    ASSERT_TRUE(outcome.wait());
    EXPECT_EQ(outcome.successes, 1);
    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].query, "page=2&q=%E4%B8%8A%E6%B5%B7");
    EXPECT_EQ(seen[0].body, "");
}

TEST_F(HTTPSessionManagerTest, MultipartPostSendsTextPartsThenFilePartsWithExactFraming)
{
    auto manager = PNHTTPSessionManager::manager();
    Outcome outcome;
    const std::string picture("\xFF\xD8\xFF\xE0 binary \r\n-- bytes \x00\x01", 22);
    int bodyBlockCalls = 0;
    auto task = manager->POST(url("/json"), NSDictionary::of({ { "b"_ns, "2"_ns }, { "a"_ns, "一"_ns } }),
        [&](PNMultipartFormData& form) {
            ++bodyBlockCalls;
            form.appendPartWithFileData(NSData::fromString(picture), "file"_ns, "p.jpg"_ns, "image/jpeg"_ns);
        },
        {}, outcome.success(), outcome.failure());
    EXPECT_EQ(bodyBlockCalls, 1);
    ASSERT_TRUE(task);
    ASSERT_TRUE(outcome.wait());
    EXPECT_EQ(outcome.successes, 1) << dv::str(outcome.error);

    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 1u);
    const std::string contentType = seen[0].header("content-type");
    const std::string prefix = "multipart/form-data; boundary=";
    ASSERT_EQ(contentType.rfind(prefix, 0), 0u);
    const std::string boundary = contentType.substr(prefix.size());
    const std::string expected = "--" + boundary + "\r\n" + "Content-Disposition: form-data; name=\"a\"\r\n\r\n" + "一"
        + "\r\n--" + boundary + "\r\n" + "Content-Disposition: form-data; name=\"b\"\r\n\r\n" + "2"
        + "\r\n--" + boundary + "\r\n" + "Content-Disposition: form-data; name=\"file\"; filename=\"p.jpg\"\r\n"
        + "Content-Type: image/jpeg\r\n\r\n" + picture + "\r\n--" + boundary + "--\r\n";
    EXPECT_EQ(seen[0].body, expected);
    EXPECT_EQ(seen[0].header("content-length"), std::to_string(expected.size()));
}

TEST_F(HTTPSessionManagerTest, RepliesTheJSONSerialiserRefusesReachFailureOnly)
{
    server.route("/broken", ScriptedReply { .status = 500, .body = R"({"error":"down"})", .contentType = "application/json" });
    server.route("/html", ScriptedReply { .body = "<html></html>", .contentType = "text/html" });
    server.route("/garbled", ScriptedReply { .body = "{\"a\":", .contentType = "application/json" });
    auto manager = PNHTTPSessionManager::manager();

    Outcome serverError, wrongType, unparsable;
    manager->POST(url("/broken"), nil, serverError.success(), serverError.failure());
    manager->POST(url("/html"), nil, wrongType.success(), wrongType.failure());
    manager->GET(url("/garbled"), nil, unparsable.success(), unparsable.failure());
    ASSERT_TRUE(serverError.wait());
    ASSERT_TRUE(wrongType.wait());
    ASSERT_TRUE(unparsable.wait());

    for (auto* outcome : { &serverError, &wrongType, &unparsable }) {
        EXPECT_EQ(outcome->successes, 0);
        EXPECT_EQ(outcome->failures, 1);
        EXPECT_EQ(outcome->offMainThread, 0);
        ASSERT_TRUE(outcome->error);
        EXPECT_TRUE(outcome->task);
    }
    EXPECT_EQ(serverError.error->code(), NSURLErrorBadServerResponse);
    EXPECT_EQ(serverError.error->domain()->utf8(), "com.pellucor.error.serialization.response");
    EXPECT_EQ(wrongType.error->code(), NSURLErrorCannotDecodeContentData);
    EXPECT_EQ(wrongType.error->domain()->utf8(), "com.pellucor.error.serialization.response");
    EXPECT_NE(unparsable.error->code(), 0);
}

TEST_F(HTTPSessionManagerTest, TransportFailuresCarryTheirURLErrorCodes)
{
    server.route("/slow", ScriptedReply { .body = "{}", .contentType = "application/json", .delay = 5000ms });
    auto manager = PNHTTPSessionManager::manager();
    manager->requestSerializer()->setTimeoutInterval(0.2);

    Outcome timedOut, refused, offline;
    manager->POST(url("/slow"), nil, timedOut.success(), timedOut.failure());
    manager->POST(NSString::fromUTF8(deadURL("/x")), nil, refused.success(), refused.failure());
    ASSERT_TRUE(timedOut.wait());
    ASSERT_TRUE(refused.wait());

    dv::setNetworkSimulatedOffline(true);
    manager->GET(url("/json"), nil, offline.success(), offline.failure());
    const bool done = offline.wait();
    dv::setNetworkSimulatedOffline(false);
    ASSERT_TRUE(done);

    for (auto* outcome : { &timedOut, &refused, &offline }) {
        EXPECT_EQ(outcome->successes, 0);
        EXPECT_EQ(outcome->failures, 1);
        EXPECT_EQ(outcome->offMainThread, 0);
        ASSERT_TRUE(outcome->error);
        EXPECT_EQ(outcome->error->domain()->utf8(), "NSURLErrorDomain");
    }
    EXPECT_EQ(timedOut.error->code(), NSURLErrorTimedOut);
    EXPECT_EQ(refused.error->code(), NSURLErrorCannotConnectToHost);
    EXPECT_EQ(offline.error->code(), NSURLErrorNotConnectedToInternet);
    EXPECT_EQ(server.requestCount("/json"), 0u);
}

TEST_F(HTTPSessionManagerTest, RequestThatCannotBeBuiltFailsLaterWithoutTask)
{
    auto manager = PNHTTPSessionManager::manager();
    manager->requestSerializer()->setQueryStringSerializationWithBlock([](const Ref<NSURLRequest>&, const id&, Ref<NSError>* error) {
        if (error)
            *error = NSError::errorWithDomain("test"_ns, 7, nil);
        return Ref<NSString>();
    });
    Outcome outcome;
    auto task = manager->GET(url("/json"), NSDictionary::of({ { "a"_ns, "1"_ns } }), outcome.success(), outcome.failure());
    EXPECT_FALSE(task);
    EXPECT_EQ(outcome.failures, 0); // never synchronously
    ASSERT_TRUE(outcome.wait());
    EXPECT_EQ(outcome.failures, 1);
    EXPECT_EQ(outcome.successes, 0);
    EXPECT_FALSE(outcome.task);
    EXPECT_EQ(outcome.error->code(), 7);
    EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(HTTPSessionManagerTest, BaseURLGetsATrailingSlashOnlyWhenItHasAPath)
{
    auto withPath = alloc<PNHTTPSessionManager>()->initWithBaseURL(NSURL::URLWithString(url("/api")));
    EXPECT_EQ(withPath->baseURL()->path()->utf8(), "/api");
    EXPECT_TRUE(withPath->baseURL()->absoluteString()->hasSuffix("/api/"));
    auto hostOnly = NSURL::URLWithString(NSString::fromUTF8("http://127.0.0.1:" + std::to_string(server.port())));
    EXPECT_EQ(alloc<PNHTTPSessionManager>()->initWithBaseURL(hostOnly)->baseURL()->absoluteString()->utf8(), hostOnly->absoluteString()->utf8());

    server.route("/api/users", ScriptedReply { .body = "[1]", .contentType = "application/json" });
    server.route("/users", ScriptedReply { .body = "[2]", .contentType = "text/json" });
    Outcome beneath, besides;
    withPath->GET("users"_ns, nil, beneath.success(), beneath.failure());
    ASSERT_TRUE(beneath.wait());
    EXPECT_EQ(dv::str(beneath.object), dv::str(NSArray::of({ NSNumber::numberWithInt(1) })));

    withPath->setBaseURL(NSURL::URLWithString(url("/api")));
    EXPECT_FALSE(withPath->baseURL()->absoluteString()->hasSuffix("/"));
    withPath->GET("users"_ns, nil, besides.success(), besides.failure());
    ASSERT_TRUE(besides.wait());
    EXPECT_EQ(server.requestCount("/api/users"), 1u);
    EXPECT_EQ(server.requestCount("/users"), 1u);
}

TEST_F(HTTPSessionManagerTest, HeadSuccessGetsTheTaskAlone)
{
    auto manager = PNHTTPSessionManager::manager();
    manager->setResponseSerializer(PNHTTPResponseSerializer::serializer());
    int calls = 0;
    Ref<NSURLSessionDataTask> seenTask;
    auto task = manager->HEAD(url("/json"), nil, [&](const Ref<NSURLSessionDataTask>& t) {
        ++calls;
        seenTask = t;
    }, {});
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return calls > 0; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seenTask, task);
    EXPECT_EQ(server.requests().at(0).method, "HEAD");
}

TEST_F(HTTPSessionManagerTest, EveryVerbSendsItsMethod)
{
    auto manager = PNHTTPSessionManager::manager();
    Outcome put, patch, del;
    manager->PUT(url("/json"), NSDictionary::of({ { "a"_ns, "1"_ns } }), put.success(), put.failure());
    manager->PATCH(url("/json"), NSDictionary::of({ { "a"_ns, "2"_ns } }), patch.success(), patch.failure());
    manager->DELETE(url("/json"), NSDictionary::of({ { "a"_ns, "3"_ns } }), del.success(), del.failure());
    ASSERT_TRUE(put.wait() && patch.wait() && del.wait());
    EXPECT_EQ(put.successes + patch.successes + del.successes, 3);
    std::multiset<std::string> seen;
    for (auto& request : server.requests())
        seen.insert(request.method + " " + request.query + " " + request.body);
    EXPECT_EQ(seen, (std::multiset<std::string> { "PUT  a=1", "PATCH  a=2", "DELETE a=3 " }));
}

TEST_F(HTTPSessionManagerTest, CopyKeepsBaseURLAndCopiesSerialisers)
{
    auto manager = alloc<PNHTTPSessionManager>()->initWithBaseURL(NSURL::URLWithString(url("/api/")));
    manager->requestSerializer()->setValueForHTTPHeaderField("yes"_ns, "X-Test"_ns);
    auto copy = dv::as<PNHTTPSessionManager>(manager->copy());
    ASSERT_TRUE(copy);
    EXPECT_TRUE(dv::equal(copy->baseURL(), manager->baseURL()));
    EXPECT_NE(copy->requestSerializer(), manager->requestSerializer());
    EXPECT_EQ(dv::str(copy->requestSerializer()->valueForHTTPHeaderField("X-Test"_ns)), "yes");
    EXPECT_NE(copy->session(), manager->session());
    EXPECT_TRUE(dv::as<PNJSONResponseSerializer>(copy->responseSerializer()));
}

} // namespace
