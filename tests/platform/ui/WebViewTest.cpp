#include "UITestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSURLRequest.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/ServerSockets.h"

#include <chrono>

using namespace dv::test;

// A native object a page may call: "clickOnAndroid:" and "clickZiXunAction" are exported, "secret"
// is a registered method that is not.
class Bridge : public NSObject, public JSExport {
    DV_CLASS(Bridge, NSObject)
public:
    Bridge() = default;
    std::vector<SEL> exportedSelectors() const override { return { "clickOnAndroid:", "clickZiXunAction", "addTo:and:" }; }
    Journal calls;
};

DV_DEFINE_CLASS_WITH(Bridge, b)
{
    b.method("clickOnAndroid:", "v24@0:8@16", [](Bridge& self, std::span<const id> args) -> id {
        self.calls.push_back(std::string("clickOnAndroid:") + (args[0] ? args[0]->description()->UTF8String() : "nil"));
        return nil;
    });
    b.method("clickZiXunAction", "v16@0:8", [](Bridge& self, std::span<const id>) -> id {
        self.calls.push_back("clickZiXunAction");
        return nil;
    });
    b.method("addTo:and:", "@32@0:8@16@24", [](Bridge&, std::span<const id> args) -> id {
        return NSNumber::numberWithDouble(dv::as<NSNumber>(args[0])->doubleValue() + dv::as<NSNumber>(args[1])->doubleValue());
    });
    b.method("secret", "v16@0:8", [](Bridge& self, std::span<const id>) -> id {
        self.calls.push_back("secret");
        return nil;
    });
}

namespace {

class WebRecorder : public NSObject, public UIWebViewDelegate {
public:
    Journal calls;
    bool refuse = false;
    long lastError = 0;
    std::optional<bool> webViewShouldStartLoadWithRequestNavigationType(const Ref<UIWebView>&, const Ref<NSURLRequest>& request,
        UIWebViewNavigationType type) override
    {
        calls.push_back(std::string("shouldStart:") + request->URL()->path()->UTF8String() + ":" + std::to_string(type));
        return !refuse;
    }
    bool webViewDidStartLoad(const Ref<UIWebView>&) override { return note("didStart"); }
    bool webViewDidFinishLoad(const Ref<UIWebView>&) override { return note("didFinish"); }
    bool webViewDidFailLoadWithError(const Ref<UIWebView>&, const Ref<NSError>& error) override
    {
        lastError = static_cast<long>(error->code());
        return note("didFail:" + std::to_string(error->code()));
    }

private:
    bool note(std::string event)
    {
        calls.push_back(std::move(event));
        return true;
    }
};

class WebViewTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_ui.clearWebLoads();
        m_web = alloc<UIWebView>()->initWithFrame(CGRectMake(0, 0, 375, 603));
        m_web->javaScriptContext()->setExecutionTimeLimit(0.3);
        m_delegate = std::make_shared<WebRecorder>();
        m_web->setDelegate(m_delegate);
        m_window->addSubview(m_web);
    }

    void load(const std::string& url)
    {
        m_web->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::stringWithUTF8String(url.c_str()))));
        ASSERT_TRUE(m_ui.waitForWebView(m_web));
    }

    dv::testing::LoopbackServer m_server;
    Ref<UIWebView> m_web;
    std::shared_ptr<WebRecorder> m_delegate;
};

TEST_F(WebViewTest, PageFromTheServerShowsItsTitleAndTextAndRunsItsScripts)
{
    m_server.route("/home/web.do", { .body = "<html><head><title>使用 说明</title><style>p{}</style></head><body>"
                                             "<h1>第一步</h1><p>打开   应用</p><script>var seen = 6 * 7;</script>"
                                             "<script src=\"x.js\">ignored()</script></body></html>",
                                         .contentType = "text/html; charset=utf-8" });
    load(m_server.url("/home/web.do?categoryId=7"));
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/home/web.do:5", "didStart", "didFinish" }));
    EXPECT_EQ(std::string(m_web->pageTitle()->UTF8String()), "使用 说明");
    EXPECT_EQ(std::string(m_web->pageText()->UTF8String()), "第一步\n打开 应用");
    EXPECT_EQ(m_ui.evaluateScript(m_web, "seen"), "42");
    EXPECT_EQ(m_ui.evaluateScript(m_web, "typeof ignored"), "undefined");
    auto loads = m_ui.webLoads();
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].outcome, "finished");
    EXPECT_EQ(loads[0].title, "使用 说明");
    EXPECT_NE(m_ui.dump().find("title=\"使用 说明\""), std::string::npos);
    // The page's text is drawn in the view.
    auto picture = m_ui.screenshot(1);
    ASSERT_TRUE(picture);

    // A server's error page shows like any page; the reload fetches it again.
    m_server.route("/missing", { .status = 404, .body = "<title>找不到</title>没有这个页面", .contentType = "text/html" });
    load(m_server.url("/missing"));
    EXPECT_EQ(std::string(m_web->pageTitle()->UTF8String()), "找不到");
    m_web->reload();
    ASSERT_TRUE(m_ui.waitForWebView(m_web));
    EXPECT_EQ(m_server.requestCount("/missing"), 2u);
}

TEST_F(WebViewTest, ClosedPortFailsAndLeavesThePageAsItWas)
{
    m_server.route("/a", { .body = "<p>旧页面</p>", .contentType = "text/html" });
    load(m_server.url("/a"));
    const int closed = dv::testing::reserveUnusedPort();
    ASSERT_NE(closed, 0);
    m_delegate->calls.clear();
    load("http://127.0.0.1:" + std::to_string(closed) + "/b");
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/b:5", "didStart", "didFail:-1004" }));
    EXPECT_EQ(std::string(m_web->pageText()->UTF8String()), "旧页面");
    EXPECT_EQ(m_ui.webLoads().back().outcome, "failed");
    EXPECT_EQ(m_ui.webLoads().back().errorCode, -1004);

    // A request without URL loads nothing; a refusal stops the load before it starts.
    m_delegate->calls.clear();
    m_web->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString("有 空格"_ns)));
    EXPECT_FALSE(m_web->isLoading());
    EXPECT_TRUE(m_delegate->calls.empty());
    m_delegate->refuse = true;
    m_web->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::stringWithUTF8String(m_server.url("/a").c_str()))));
    EXPECT_FALSE(m_web->isLoading());
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/a:5" }));
    EXPECT_EQ(m_ui.webLoads().back().outcome, "refused");
}

TEST_F(WebViewTest, ScriptsCallExportedMethodsAndExceptionsReachTheHandler)
{
    auto bridge = alloc<Bridge>();
    bridge->init();
    // As the script-bridge page does: the context through the platform's key path.
    auto context = dv::as<JSContext>(m_web->valueForKeyPath("documentView.webView.mainFrame.javaScriptContext"_ns));
    ASSERT_TRUE(context);
    context->setObjectForKeyedSubscript(bridge, "LYAppSpeakController"_ns);
    std::vector<std::string> logged;
    context->setExceptionHandler([&](const Ref<JSContext>& c, const Ref<JSValue>& e) {
        c->setException(e);
        logged.push_back(e->toString()->UTF8String());
    });
    m_server.route("/bridge", { .body = "<script>LYAppSpeakController.clickOnAndroid('客服');"
                                        "LYAppSpeakController.clickZiXunAction();"
                                        "var sum = LYAppSpeakController.addToAnd(2, 3);"
                                        "var hidden = typeof LYAppSpeakController.secret;</script>"
                                        "<script>throw new Error('坏了');</script><script>var after = 1;</script>",
                                    .contentType = "text/html" });
    load(m_server.url("/bridge"));
    EXPECT_EQ(bridge->calls, (Journal { "clickOnAndroid:客服", "clickZiXunAction" }));
    EXPECT_EQ(m_ui.evaluateScript(m_web, "sum"), "5");
    EXPECT_EQ(m_ui.evaluateScript(m_web, "hidden"), "undefined");
    ASSERT_EQ(logged.size(), 1u) << logged[0];
    EXPECT_EQ(logged[0], "Error: 坏了");
    EXPECT_EQ(std::string(context->exception()->toString()->UTF8String()), "Error: 坏了");
    EXPECT_EQ(m_ui.evaluateScript(m_web, "after"), "1"); // the page went on
    EXPECT_EQ(m_delegate->calls.back(), "didFinish");

    // Values both ways, and a block as a function.
    context->setObjectForKeyedSubscript(NSArray::of({ "a"_ns, NSNumber::numberWithInt(2) }), "list"_ns);
    EXPECT_EQ(context->evaluateScript("list[0] + list[1] + list.length"_ns)->toString()->UTF8String(), std::string("a22"));
    context->setObjectForKeyedSubscript(JSValue::valueWithBlock([](const Ref<NSArray>& args) -> id {
        return NSNumber::numberWithInt(static_cast<int>(args->count()) * 10);
    }, context), "count"_ns);
    EXPECT_EQ(context->evaluateScript("count(1, 2, 3)"_ns)->toInt32(), 30);
    auto object = dv::as<NSDictionary>(context->evaluateScript("({name: '张', tags: ['x'], ok: true, none: null})"_ns)->toObject());
    ASSERT_TRUE(object);
    EXPECT_EQ(std::string(dv::as<NSString>(object->objectForKey("name"))->UTF8String()), "张");
    EXPECT_TRUE(dv::as<NSNumber>(object->objectForKey("ok"))->boolValue());
    EXPECT_TRUE(dv::as<NSArray>(object->objectForKey("tags")));
    // The context refers to the exported object weakly: once it is gone, calls do nothing.
    bridge = nil;
    EXPECT_EQ(m_ui.evaluateScript(m_web, "LYAppSpeakController.clickZiXunAction(); 'still here'"), "still here");
}

TEST_F(WebViewTest, BadPagesGiveAnErrorOrAPartialPageAndNeverHang)
{
    // An endless loop is stopped by the time limit; the page still finishes (within the load's
    // bounded wait).
    m_server.route("/loop", { .body = "<p>循环</p><script>while (true) {}</script><script>var next = 2;</script>", .contentType = "text/html" });
    load(m_server.url("/loop"));
    EXPECT_EQ(m_delegate->calls.back(), "didFinish");
    EXPECT_EQ(m_ui.evaluateScript(m_web, "next"), "2");
    EXPECT_EQ(std::string(m_web->pageText()->UTF8String()), "循环");
    // An evaluation from the application is limited the same way.
    EXPECT_EQ(m_ui.evaluateScript(m_web, "for (;;) {}"), "");
    EXPECT_EQ(m_ui.evaluateScript(m_web, "1 + 1"), "2");

    // Invalid markup is repaired.
    m_server.route("/broken", { .body = "<title>坏</title><p><b>粗<i>斜</p></b>尾<div", .contentType = "text/html" });
    load(m_server.url("/broken"));
    EXPECT_EQ(std::string(m_web->pageTitle()->UTF8String()), "坏");
    EXPECT_NE(std::string(m_web->pageText()->UTF8String()).find("粗斜"), std::string::npos);

    // Binary bytes served as a page: shown as far as they read, invalid bytes replaced.
    std::string binary = "<p>前</p>";
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 37) & 0xFF);
    m_server.route("/binary", { .body = binary, .contentType = "text/html" });
    load(m_server.url("/binary"));
    EXPECT_EQ(m_delegate->calls.back(), "didFinish");
    EXPECT_EQ(std::string(m_web->pageText()->UTF8String()).rfind("前", 0), 0u);

    // A picture is no page: it fails.
    m_server.route("/picture", { .body = std::string("\x89PNG\r\n\x1a\n", 8), .contentType = "image/png" });
    load(m_server.url("/picture"));
    EXPECT_EQ(m_delegate->calls.back(), "didFail:102");

    // A huge page is cut to what the view keeps, and shows.
    m_server.route("/huge", { .contentType = "text/html", .generatedLength = 12 * 1024 * 1024 });
    load(m_server.url("/huge"));
    EXPECT_EQ(m_delegate->calls.back(), "didFinish");
    EXPECT_EQ(m_web->pageText()->length(), 4u * 1024 * 1024);

    // Markup nested past any reason is cut where it gets too deep.
    std::string deep = "<p>顶</p>";
    for (int i = 0; i < 50000; ++i)
        deep += "<div>";
    deep += "底";
    m_server.route("/deep", { .body = deep, .contentType = "text/html" });
    load(m_server.url("/deep"));
    EXPECT_EQ(m_delegate->calls.back(), "didFinish");
    EXPECT_EQ(std::string(m_web->pageText()->UTF8String()), "顶");
}

TEST_F(WebViewTest, LoadDataShowsBytesWithTheirEncodingAndStopEndsALoad)
{
    // GBK bytes of "中文".
    const unsigned char gbk[] = { 0xD6, 0xD0, 0xCE, 0xC4 };
    m_web->loadDataMIMETypeTextEncodingNameBaseURL(NSData::dataWithBytes(gbk, sizeof gbk), "text/plain"_ns, "gbk"_ns,
        NSURL::URLWithString("http://127.0.0.1/base"_ns));
    EXPECT_TRUE(m_web->isLoading());
    ASSERT_TRUE(m_ui.waitForWebView(m_web));
    EXPECT_EQ(std::string(m_web->pageText()->UTF8String()), "中文");
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/base:5", "didStart", "didFinish" }));

    m_server.route("/slow", { .body = "<p>慢</p>", .contentType = "text/html", .delay = std::chrono::milliseconds(3000) });
    m_delegate->calls.clear();
    m_web->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::stringWithUTF8String(m_server.url("/slow").c_str()))));
    ASSERT_TRUE(m_server.waitForRequest("/slow"));
    m_web->stopLoading();
    EXPECT_FALSE(m_web->isLoading());
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/slow:5", "didStart", "didFail:-999" }));
    EXPECT_EQ(m_ui.webLoads().back().outcome, "stopped");
}

} // namespace
