// Web views loading their pages through an HTTP session manager from a loopback server: the text
// form (decoding by the server's encoding, the block's text shown), the bytes form (type, base URL,
// progress), the delegate's notices, failures that leave the page alone, a second load cancelling
// the first, and a view that goes before its page.
#include "NetworkImageTestSupport.h"

#include "foundation/http/PNHTTPResponseSerializer.h"
#include "foundation/http/PNHTTPSessionManager.h"
#include "platform/base/StringEncodings.h"
#include "platform/dispatch/NSProgress.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/ui/UIWebView.h"
#include "ui/images/UIWebViewPNNetworking.h"

namespace dv::test {
namespace {

class Notices : public NSObject, public UIWebViewDelegate {
public:
    std::vector<std::string> calls;
    bool webViewDidStartLoad(const Ref<UIWebView>&) override
    {
        calls.push_back("start");
        return true;
    }
    bool webViewDidFinishLoad(const Ref<UIWebView>&) override
    {
        calls.push_back("finish");
        return true;
    }
    bool webViewDidFailLoadWithError(const Ref<UIWebView>&, const Ref<NSError>&) override
    {
        calls.push_back("fail");
        return true;
    }
    int count(const std::string& name) const { return int(std::count(calls.begin(), calls.end(), name)); }
};

class StartOnly : public NSObject, public UIWebViewDelegate {
public:
    int starts = 0;
    bool webViewDidStartLoad(const Ref<UIWebView>&) override
    {
        ++starts;
        return true;
    }
};

class WebViewLoadingTest : public ImagesTest {
protected:
    void SetUp() override
    {
        ImagesTest::SetUp();
        web = alloc<UIWebView>()->initWithFrame(CGRectMake(0, 0, 320, 480));
        notices = std::make_shared<Notices>();
        web->setDelegate(notices);
        server.route("/plain", dv::testing::ScriptedReply {.body = "line one", .contentType = "text/plain"});
    }
    void TearDown() override
    {
        for (auto& gate : gates)
            gate->open();
        if (auto task = web ? pn_URLSessionTask(web) : nil) {
            EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return task->state() == NSURLSessionTaskStateCompleted; }));
        }
        web = nil;
        dv::testing::runUntilIdle();
        ImagesTest::TearDown();
    }
    Ref<NSURLRequest> request(const std::string& path) const
    {
        return NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(server.url(path))));
    }
    static std::string bytesOf(const Ref<NSString>& text, NSStringEncoding encoding)
    {
        auto data = text->dataUsingEncoding(encoding);
        return std::string(reinterpret_cast<const char*>(data->bytes()), data->length());
    }
    bool waitFor(const std::function<bool()>& condition) { return dv::testing::runMainLoopUntil(condition); }
    // "/slow" answers once the gate opens.
    std::shared_ptr<Gate> holdSlowPage()
    {
        auto gate = std::make_shared<Gate>();
        gates.push_back(gate);
        server.route("/slow", [gate](const dv::testing::RecordedRequest&) {
            gate->pass();
            return dv::testing::ScriptedReply {.body = "slow page", .contentType = "text/plain"};
        });
        return gate;
    }

    dv::testing::LoopbackServer server;
    Ref<UIWebView> web;
    std::shared_ptr<Notices> notices;
    std::vector<std::shared_ptr<Gate>> gates;
};

TEST_F(WebViewLoadingTest, TheTextFormShowsWhatTheBlockReturns)
{
    server.route("/page", dv::testing::ScriptedReply {.body = "<html><head><title>旧标题</title></head><body>你好</body></html>",
                              .contentType = "text/html; charset=utf-8"});
    Ref<NSString> heard;
    NSInteger status = 0;
    int failures = 0;
    loadRequest(web, request("/page"), nullptr,
        [&](const Ref<NSHTTPURLResponse>& response, const Ref<NSString>& html) -> Ref<NSString> {
            heard = html;
            status = response->statusCode();
            return html->stringByReplacingOccurrencesOfString("旧标题"_ns, "新标题"_ns);
        },
        [&](const Ref<NSError>&) { ++failures; });
    ASSERT_EQ(notices->calls, (std::vector<std::string> {"start"}));
    ASSERT_TRUE(pn_URLSessionTask(web));
    ASSERT_TRUE(waitFor([&] { return str(web->pageTitle()) == "新标题"; }));
    EXPECT_NE(str(heard).find("你好"), std::string::npos);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(str(web->pageText()), "你好");
    EXPECT_EQ(failures, 0);
    EXPECT_GE(notices->count("finish"), 1);
    EXPECT_EQ(notices->calls.front(), "start");
    EXPECT_EQ(notices->count("fail"), 0);
    EXPECT_EQ(str(web->request()->URL()->absoluteString()), server.url("/page"));
}

TEST_F(WebViewLoadingTest, TheTextIsDecodedInTheEncodingTheServerNames)
{
    const auto gbk = CFStringConvertEncodingToNSStringEncoding(kCFStringEncodingGB_18030_2000);
    server.route("/gbk", dv::testing::ScriptedReply {.body = bytesOf("<p>中文页面</p>"_ns, gbk), .contentType = "text/html; charset=gbk"});
    server.route("/bare", dv::testing::ScriptedReply {.body = "<p>无名</p>", .contentType = "text/html"});
    server.route("/odd", dv::testing::ScriptedReply {.body = "<p>怪</p>", .contentType = "text/html; charset=x-no-such-thing"});
    std::vector<std::string> heard;
    auto keep = [&](const Ref<NSHTTPURLResponse>&, const Ref<NSString>& html) -> Ref<NSString> {
        heard.push_back(str(html));
        return html;
    };
    for (auto path : {"/gbk", "/bare", "/odd"}) {
        const auto before = heard.size();
        loadRequest(web, request(path), nullptr, keep, nullptr);
        ASSERT_TRUE(waitFor([&] { return heard.size() == before + 1; })) << path;
    }
    EXPECT_EQ(heard, (std::vector<std::string> {"<p>中文页面</p>", "<p>无名</p>", "<p>怪</p>"}));
    ASSERT_TRUE(waitFor([&] { return str(web->pageText()) == "怪"; }));
}

TEST_F(WebViewLoadingTest, TheBytesFormShowsTheBytesWithTheirTypeAndTheTasksURL)
{
    auto startOnly = std::make_shared<StartOnly>();
    web->setDelegate(startOnly);
    Ref<NSProgress> progress;
    Ref<NSData> heard;
    loadRequest(web, request("/plain"), "text/plain"_ns, "utf-8"_ns, &progress,
        [&](const Ref<NSHTTPURLResponse>&, const Ref<NSData>& data) -> Ref<NSData> {
            heard = data;
            return data;
        },
        nullptr);
    ASSERT_TRUE(progress);
    EXPECT_EQ(startOnly->starts, 1);
    ASSERT_TRUE(waitFor([&] { return str(web->pageText()) == "line one"; }));
    EXPECT_EQ(heard->length(), 8u);
    EXPECT_EQ(progress->completedUnitCount(), 8);
    EXPECT_EQ(str(web->request()->URL()->absoluteString()), server.url("/plain"));
    EXPECT_GE(startOnly->starts, 1);

    // A block that answers nothing leaves the page as it was.
    loadRequest(web, request("/plain"), "text/plain"_ns, nil, nullptr,
        [&](const Ref<NSHTTPURLResponse>&, const Ref<NSData>&) -> Ref<NSData> { return nil; }, nullptr);
    auto task = pn_URLSessionTask(web);
    ASSERT_TRUE(waitFor([&] { return task->state() == NSURLSessionTaskStateCompleted; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(str(web->pageText()), "line one");
}

TEST_F(WebViewLoadingTest, AFailedLoadTellsOnlyTheFailureBlockAndLeavesThePage)
{
    server.route("/broken", dv::testing::ScriptedReply {.status = 500, .body = "<p>server error</p>", .contentType = "text/html"});
    loadRequest(web, request("/plain"), "text/plain"_ns, nil, nullptr, nullptr, nullptr);
    ASSERT_TRUE(waitFor([&] { return str(web->pageText()) == "line one"; }));
    dv::testing::runUntilIdle();
    const auto finishes = notices->count("finish");
    notices->calls.clear();

    Ref<NSError> error;
    loadRequest(web, request("/broken"), nullptr, [](auto&, auto& html) { return html; }, [&](const Ref<NSError>& e) { error = e; });
    ASSERT_TRUE(waitFor([&] { return bool(error); }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(error->code(), NSURLErrorBadServerResponse);
    EXPECT_EQ(str(web->pageText()), "line one");
    EXPECT_EQ(notices->calls, (std::vector<std::string> {"start"}));
    EXPECT_GE(finishes, 1);
}

TEST_F(WebViewLoadingTest, ASecondLoadCancelsTheFirstWhoseBlocksNeverRun)
{
    auto gate = holdSlowPage();
    int firstCalls = 0;
    loadRequest(web, request("/slow"), "text/plain"_ns, nil, nullptr,
        [&](auto&, const Ref<NSData>& data) {
            ++firstCalls;
            return data;
        },
        [&](const Ref<NSError>&) { ++firstCalls; });
    auto first = pn_URLSessionTask(web);
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));
    loadRequest(web, request("/plain"), "text/plain"_ns, nil, nullptr, nullptr, nullptr);
    EXPECT_NE(pn_URLSessionTask(web), first);
    EXPECT_NE(first->state(), NSURLSessionTaskStateRunning);
    ASSERT_TRUE(waitFor([&] { return first->state() == NSURLSessionTaskStateCompleted; }));
    EXPECT_EQ(first->error()->code(), NSURLErrorCancelled);
    ASSERT_TRUE(waitFor([&] { return str(web->pageText()) == "line one"; }));
    gate->open();
    dv::testing::runUntilIdle();
    EXPECT_EQ(firstCalls, 0);
}

TEST_F(WebViewLoadingTest, AViewGoneBeforeItsPageArrivesHearsNothing)
{
    auto gate = holdSlowPage();
    auto calls = std::make_shared<int>(0);
    loadRequest(web, request("/slow"), nullptr, [calls](auto&, auto& html) {
        ++*calls;
        return html;
    }, [calls](auto&) { ++*calls; });
    auto task = pn_URLSessionTask(web);
    ASSERT_TRUE(waitFor([&] { return gate->waiting() == 1; }));
    Weak<UIWebView> weak = web;
    web = nil;
    EXPECT_FALSE(weak.lock());
    gate->open();
    ASSERT_TRUE(waitFor([&] { return task->state() == NSURLSessionTaskStateCompleted; }));
    dv::testing::runUntilIdle();
    EXPECT_EQ(*calls, 0);
}

TEST_F(WebViewLoadingTest, AViewMayBringItsOwnSessionManagerAndSerializer)
{
    auto shared = sessionManager(web);
    ASSERT_TRUE(shared);
    EXPECT_EQ(sessionManager(alloc<UIWebView>()->init()), shared);
    EXPECT_TRUE(dv::as<PNHTTPResponseSerializer>(shared->responseSerializer()));
    EXPECT_NE(responseSerializer(web), shared->responseSerializer());

    auto own = PNHTTPSessionManager::manager();
    own->setResponseSerializer(PNHTTPResponseSerializer::serializer());
    setSessionManager(web, own);
    auto serializer = PNHTTPResponseSerializer::serializer();
    setResponseSerializer(web, serializer);
    EXPECT_EQ(sessionManager(web), own);
    EXPECT_EQ(responseSerializer(web), serializer);
    loadRequest(web, request("/plain"), "text/plain"_ns, nil, nullptr, nullptr, nullptr);
    ASSERT_TRUE(waitFor([&] { return str(web->pageText()) == "line one"; }));
    EXPECT_EQ(pn_URLSessionTask(web)->session(), own->session());
}

} // namespace
} // namespace dv::test
