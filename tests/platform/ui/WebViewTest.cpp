// Web views on the web engine against pages of a loopback server: the delegate's questions and
// reports in order, with the navigation types and the platform's error codes; the page drawn at its
// place under the views above it, following what its scripts change; touches and typing reaching
// the page; the page's script context; pages that would hang the application or take the machine's
// memory; the page's text in the system font; the loads a recording keeps; and the engine's
// processes and memory going with the views.
#include "UITestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSURLRequest.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/ProcessTree.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/testing/support/ServerSockets.h"
#include "platform/ui/FrameTiming.h"
#include "platform/ui/WebLoadRecording.h"
#include "platform/ui/internal/web/WebEngine.h"

#include <arpa/inet.h>
#include <chrono>
#include <functional>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

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
    b.method("addTo:and:", "@32@0:8@16@24", [](Bridge& self, std::span<const id> args) -> id {
        self.calls.push_back(std::string("addTo:") + (args[0] ? args[0]->description()->UTF8String() : "nil") + ":"
            + (args[1] ? args[1]->description()->UTF8String() : "nil"));
        return nil;
    });
    b.method("secret", "v16@0:8", [](Bridge& self, std::span<const id>) -> id {
        self.calls.push_back("secret");
        return nil;
    });
}

namespace {

using dv::testing::runMainLoopUntil;

// The web processes of this binary are bounded at 384 MiB rather than the application's 1 GiB, set
// before any of them starts: a page that allocates without end reaches it sooner and with less of
// the machine's memory (the page of a thousand frames below takes about 230).
[[maybe_unused]] const bool s_smallPageMemory = ::setenv("DOVRELTA_WEB_MEMORY_LIMIT", "384", 0) == 0;

class WebRecorder : public NSObject, public UIWebViewDelegate {
public:
    Journal calls;
    std::vector<std::string> refused; // paths
    // Called with the path of each navigation asked about, before the answer.
    std::function<void(const Ref<UIWebView>&, const std::string&)> whileAsked;
    Ref<NSError> lastError;
    std::optional<std::chrono::steady_clock::time_point> firstAsked;
    std::optional<bool> webViewShouldStartLoadWithRequestNavigationType(const Ref<UIWebView>& web, const Ref<NSURLRequest>& request,
        UIWebViewNavigationType type) override
    {
        if (!firstAsked)
            firstAsked = std::chrono::steady_clock::now();
        const std::string path = request->URL()->path() ? request->URL()->path()->UTF8String() : "";
        calls.push_back("shouldStart:" + path + ":" + std::to_string(type));
        if (whileAsked)
            whileAsked(web, path);
        return std::find(refused.begin(), refused.end(), path) == refused.end();
    }
    bool webViewDidStartLoad(const Ref<UIWebView>&) override { return note("didStart"); }
    bool webViewDidFinishLoad(const Ref<UIWebView>&) override { return note("didFinish"); }
    bool webViewDidFailLoadWithError(const Ref<UIWebView>&, const Ref<NSError>& error) override
    {
        lastError = error;
        return note("didFail:" + std::to_string(error->code()));
    }

private:
    bool note(std::string event)
    {
        calls.push_back(std::move(event));
        return true;
    }
};

// A server on 127.0.0.1 that answers every request with bytes that are no HTTP reply.
class GarbageServer {
public:
    GarbageServer()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(m_socket, 8) != 0
            || ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([socket = m_socket] {
            for (int client; (client = ::accept(socket, nullptr, nullptr)) >= 0; ::close(client)) {
                char request[4096];
                [[maybe_unused]] auto got = ::read(client, request, sizeof request);
                static const char reply[] = "\x01\x02 no reply of any protocol\r\n\r\n";
                [[maybe_unused]] auto sent = ::write(client, reply, sizeof reply - 1);
            }
        });
    }
    ~GarbageServer()
    {
        ::shutdown(m_socket, SHUT_RDWR); // ends the accept
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_socket);
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

private:
    int m_socket = -1;
    int m_port = 0;
    std::thread m_thread;
};

// A view that does what a person's tap on it should do.
class TapAction : public UIView {
public:
    std::function<void()> action;
    void touchesEnded(const Ref<NSSet>&, const Ref<UIEvent>&) override { action(); }
};

class WebViewTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_ui.recordWebLoads();
        m_web = alloc<UIWebView>()->initWithFrame(CGRectMake(0, 0, 375, 603));
        m_web->javaScriptContext()->setExecutionTimeLimit(0.5);
        m_delegate = std::make_shared<WebRecorder>();
        m_web->setDelegate(m_delegate);
        m_window->addSubview(m_web);
    }

    void page(const std::string& path, const std::string& html) { m_server.route(path, { .body = html, .contentType = "text/html; charset=utf-8" }); }
    Ref<NSURLRequest> request(const std::string& path) const
    {
        return NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(m_server.url(path))));
    }
    void load(const std::string& path)
    {
        m_web->loadRequest(request(path));
        ASSERT_TRUE(m_ui.waitForWebView(m_web)) << path;
    }
    // Until the delegate has heard `count` events (the page answers in its own time).
    bool heard(std::size_t count) { return runMainLoopUntil([&] { return m_delegate->calls.size() >= count && !m_web->isLoading(); }); }
    // Until the server holds a request for `path` (the engine asks the delegate first: the loop turns).
    bool serverHolds(const std::string& path)
    {
        return runMainLoopUntil([&] { return m_server.waitForRequest(path, std::chrono::milliseconds(0)); });
    }
    std::string eval(std::string_view script) { return m_ui.evaluateScript(m_web, script); }
    bool pageSays(std::string_view script, std::string_view expected)
    {
        return runMainLoopUntil([&] { return eval(script) == expected; });
    }

    dv::testing::LoopbackServer m_server;
    Ref<UIWebView> m_web;
    std::shared_ptr<WebRecorder> m_delegate;
};

TEST_F(WebViewTest, NavigationsAskTheDelegateWithTheirTypeAndReportInOrder)
{
    page("/first", "<title>第一页</title><body style='margin:0'><a href='/second' style='display:block;height:100px'>下一页</a>"
                   "<a href='/refused' style='display:block;height:100px'>不让去</a>"
                   "<a href='/sent' target='_blank' style='display:block;height:100px'>新窗口</a></body>");
    page("/second", "<title>第二页</title><body style='margin:0'><form action='/sent'><input name='q' value='x'>"
                    "<button style='display:block;width:300px;height:100px'>提交</button></form></body>");
    page("/sent", "<title>已提交</title>");
    page("/refused", "<title>不该来</title>");
    load("/first");
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/first:5", "didStart", "didFinish" }));
    EXPECT_EQ(dv::str(m_web->pageTitle()), "第一页");
    EXPECT_EQ(dv::str(m_web->pageText()), "下一页\n不让去\n新窗口");

    // A tapped link, a submitted form, the history, a reload.
    m_delegate->calls.clear();
    ASSERT_TRUE(m_ui.tap(CGPointMake(60, 50)));
    ASSERT_TRUE(heard(3));
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/second:0", "didStart", "didFinish" }));
    EXPECT_EQ(dv::str(m_web->pageTitle()), "第二页");
    EXPECT_EQ(dv::str(m_web->request()->URL()->absoluteString()), m_server.url("/second"));
    m_delegate->calls.clear();
    ASSERT_TRUE(m_ui.tap(CGPointMake(100, 80)));
    ASSERT_TRUE(heard(3));
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/sent:1", "didStart", "didFinish" }));
    EXPECT_EQ(m_server.requests().back().query, "q=x");
    EXPECT_TRUE(m_web->canGoBack());
    m_delegate->calls.clear();
    eval("history.back()");
    ASSERT_TRUE(heard(3));
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/second:2", "didStart", "didFinish" }));
    EXPECT_TRUE(m_web->canGoForward());
    m_delegate->calls.clear();
    m_web->reload();
    ASSERT_TRUE(m_ui.waitForWebView(m_web));
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/second:3", "didStart", "didFinish" }));

    // NO stops a navigation: a link the delegate refuses leaves the page, a load it refuses loads
    // nothing.
    load("/first");
    m_delegate->refused = { "/refused" };
    m_delegate->calls.clear();
    ASSERT_TRUE(m_ui.tap(CGPointMake(60, 150)));
    ASSERT_TRUE(runMainLoopUntil([&] { return !m_delegate->calls.empty(); }));
    m_web->loadRequest(request("/refused"));
    EXPECT_TRUE(m_web->isLoading()) << "until the delegate has answered";
    ASSERT_TRUE(m_ui.waitForWebView(m_web));
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/refused:0", "shouldStart:/refused:5" }));
    EXPECT_EQ(m_server.requestCount("/refused"), 0u);
    EXPECT_EQ(dv::str(m_web->pageTitle()), "第一页");
    auto loads = m_ui.webLoads();
    ASSERT_FALSE(loads.empty());
    EXPECT_EQ(loads.back().outcome, "refused");
    EXPECT_EQ(loads.front().url, m_server.url("/first"));
    EXPECT_EQ(loads.front().title, "第一页");

    // A link meant for a window of its own opens here.
    m_delegate->calls.clear();
    ASSERT_TRUE(m_ui.tap(CGPointMake(60, 250)));
    ASSERT_TRUE(heard(3));
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/sent:0", "didStart", "didFinish" }));
    EXPECT_EQ(dv::str(m_web->pageTitle()), "已提交");

    // A request without URL loads nothing and asks nothing.
    m_delegate->calls.clear();
    m_web->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString("有 空格"_ns)));
    EXPECT_FALSE(m_web->isLoading());
    EXPECT_TRUE(m_delegate->calls.empty());
}

TEST_F(WebViewTest, FailuresEndWithThePlatformsErrorsAndLeaveThePage)
{
    page("/a", "<title>旧页面</title><p>旧页面</p>");
    load("/a");
    const int closed = dv::testing::reserveUnusedPort();
    ASSERT_NE(closed, 0);
    m_delegate->calls.clear();
    m_web->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8("http://127.0.0.1:" + std::to_string(closed) + "/b"))));
    ASSERT_TRUE(m_ui.waitForWebView(m_web));
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/b:5", "didStart", "didFail:-1004" }));
    EXPECT_EQ(dv::str(m_delegate->lastError->domain()), "NSURLErrorDomain");
    EXPECT_EQ(dv::str(m_web->pageText()), "旧页面") << "the page stays";
    EXPECT_EQ(m_ui.webLoads().back().outcome, "failed");
    EXPECT_EQ(m_ui.webLoads().back().errorCode, -1004);
    GarbageServer garbage;
    m_delegate->calls.clear();
    m_web->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(garbage.url("/c")))));
    ASSERT_TRUE(m_ui.waitForWebView(m_web));
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/c:5", "didStart", "didFail:-1011" }));

    // A page that never answers fails when the request's time-out has passed on the clock.
    m_server.route("/never", { .body = "<p>太晚</p>", .contentType = "text/html", .delay = std::chrono::seconds(60) });
    m_delegate->calls.clear();
    m_web->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(m_server.url("/never"))),
        NSURLRequestUseProtocolCachePolicy, 30));
    ASSERT_TRUE(serverHolds("/never"));
    // The engine reports the start to the main thread on a channel of its own, which a slow machine
    // may deliver after the server already has the request.
    ASSERT_TRUE(runMainLoopUntil([&] { return m_delegate->calls.size() == 2; }));
    m_ui.advance(29);
    EXPECT_TRUE(m_web->isLoading());
    m_ui.advance(2);
    EXPECT_FALSE(m_web->isLoading());
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/never:5", "didStart", "didFail:-1001" }));

    // A new load ends the running one, as stopLoading does, with -999.
    m_delegate->calls.clear();
    m_web->loadRequest(request("/never"));
    ASSERT_TRUE(runMainLoopUntil([&] { return m_delegate->calls.size() == 2; }));
    load("/a");
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/never:5", "didStart", "didFail:-999", "shouldStart:/a:5", "didStart", "didFinish" }));
    m_delegate->calls.clear();
    m_web->loadRequest(request("/never"));
    ASSERT_TRUE(runMainLoopUntil([&] { return m_delegate->calls.size() == 2; }));
    m_web->stopLoading();
    EXPECT_FALSE(m_web->isLoading());
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/never:5", "didStart", "didFail:-999" }));
    EXPECT_EQ(m_ui.webLoads().back().outcome, "stopped");
    m_ui.runUntilIdle();
    EXPECT_EQ(m_delegate->calls.size(), 3u) << "the engine's own end of the stopped load is not reported again";

    // A burst of loads shows the last; each one before it ends with -999.
    m_delegate->calls.clear();
    for (const char* text : { "一", "二", "三" })
        m_web->loadHTMLStringBaseURL(NSString::fromUTF8(std::string("<p>") + text + "</p>"), NSURL::URLWithString(NSString::fromUTF8(m_server.url("/a"))));
    ASSERT_TRUE(m_ui.waitForWebView(m_web));
    EXPECT_EQ(m_delegate->calls, (Journal { "didFail:-999", "didFail:-999", "shouldStart:/a:5", "didStart", "didFinish" }));
    EXPECT_EQ(dv::str(m_web->pageText()), "三");
    load("/a");

    // What the engine would download is refused; a document past the size the view takes fails.
    m_server.route("/archive.zip", { .body = std::string("PK\x03\x04", 4) + std::string(500, 'x'), .contentType = "application/zip" });
    m_server.route("/huge", { .contentType = "text/html", .generatedLength = 50 * 1024 * 1024 });
    m_delegate->calls.clear();
    load("/archive.zip");
    EXPECT_EQ(m_delegate->calls.back(), "didFail:102");
    EXPECT_EQ(dv::str(m_delegate->lastError->domain()), "WebKitErrorDomain");
    load("/huge");
    EXPECT_EQ(m_delegate->calls.back(), "didFail:-1103");
    EXPECT_EQ(dv::str(m_web->pageText()), "旧页面");

    // A page of a thousand frames (past the engine's bound on frames) loads; the delegate is asked
    // about the frames' navigations too. The frames are in the document rather than made by a
    // script: each frame's navigation waits for the delegate's answer, and on a busy machine a
    // script making them would meet the script time limit first.
    m_server.route("/frame", { .body = "<p>框</p>", .contentType = "text/html" });
    std::string frames = "<title>框架</title><body>";
    for (int i = 0; i < 1000; ++i)
        frames += "<iframe src=\"/frame?" + std::to_string(i) + "\"></iframe>";
    page("/frames", frames + "</body>");
    m_delegate->calls.clear();
    m_web->loadRequest(request("/frames"));
    ASSERT_TRUE(m_ui.waitForWebView(m_web, 120)) << "a thousand frames take their time on a busy machine";
    EXPECT_EQ(m_delegate->calls.back(), "didFinish");
    EXPECT_GT(std::count(m_delegate->calls.begin(), m_delegate->calls.end(), "shouldStart:/frame:5"), 500);
    EXPECT_EQ(dv::str(m_web->pageTitle()), "框架");
}

// How a load goes on when it is ended or replaced before the engine has started it, whatever the
// engine still reports of it: the delegate hears of its end once, and the next load is shown.
TEST_F(WebViewTest, ALoadEndedOrReplacedBeforeItStartsEndsOnceAndTheNextOneShows)
{
    page("/a", "<title>甲</title><p>甲</p>");
    page("/b", "<title>乙</title><p>乙</p>");
    page("/c", "<title>丙</title><p>丙</p>");
    load("/a");

    // Stopped before the engine asked about it: never asked for, never started.
    m_delegate->calls.clear();
    m_web->loadRequest(request("/b"));
    m_web->stopLoading();
    EXPECT_FALSE(m_web->isLoading());
    load("/c");
    EXPECT_EQ(m_delegate->calls, (Journal { "didFail:-999", "shouldStart:/c:5", "didStart", "didFinish" }));
    EXPECT_EQ(m_server.requestCount("/b"), 0u);
    EXPECT_EQ(dv::str(m_web->pageTitle()), "丙");

    // Stopped once the delegate let it go, before its start.
    m_delegate->calls.clear();
    m_delegate->whileAsked = [](const Ref<UIWebView>& web, const std::string& path) {
        if (path == "/b")
            web->stopLoading();
    };
    m_web->loadRequest(request("/b"));
    ASSERT_TRUE(m_ui.waitForWebView(m_web));
    m_delegate->whileAsked = nullptr;
    load("/a");
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/b:5", "didFail:-999", "shouldStart:/a:5", "didStart", "didFinish" }));
    EXPECT_EQ(m_server.requestCount("/b"), 0u) << "a load stopped while it was asked about is not let go";
    EXPECT_EQ(dv::str(m_web->pageTitle()), "甲");

    // A delegate that refuses a navigation and loads another page instead.
    m_delegate->calls.clear();
    m_delegate->refused = { "/b" };
    m_delegate->whileAsked = [this](const Ref<UIWebView>& web, const std::string& path) {
        if (path == "/b")
            web->loadRequest(request("/c"));
    };
    m_web->loadRequest(request("/b"));
    ASSERT_TRUE(m_ui.waitForWebView(m_web));
    m_delegate->whileAsked = nullptr;
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/b:5", "didFail:-999", "shouldStart:/c:5", "didStart", "didFinish" }));
    EXPECT_EQ(dv::str(m_web->pageTitle()), "丙");
    // And one that does so for a link of the page.
    page("/links", "<title>链接</title><body style='margin:0'><a href='/b' style='display:block;height:100px'>乙</a></body>");
    load("/links");
    m_delegate->calls.clear();
    m_delegate->whileAsked = [this](const Ref<UIWebView>& web, const std::string& path) {
        if (path == "/b")
            web->loadRequest(request("/a"));
    };
    ASSERT_TRUE(m_ui.tap(CGPointMake(60, 50)));
    ASSERT_TRUE(runMainLoopUntil([&] { return !m_delegate->calls.empty(); }));
    ASSERT_TRUE(m_ui.waitForWebView(m_web));
    m_delegate->whileAsked = nullptr;
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/b:0", "shouldStart:/a:5", "didStart", "didFinish" }));
    EXPECT_EQ(dv::str(m_web->pageTitle()), "甲");
    EXPECT_EQ(m_server.requestCount("/b"), 0u);

    // The page's process ends while the engine holds a load it has not asked about: the load ends
    // with the process (if the engine had not asked in the meantime), and the next one shows.
    m_delegate->refused.clear();
    m_web->loadRequest(request("/b"));
    for (const auto& process : dv::testing::descendantsNamed(::getpid(), "WebKitWebProces"))
        ::kill(process.pid, SIGKILL);
    ASSERT_TRUE(m_ui.waitForWebView(m_web));
    m_delegate->calls.clear();
    load("/c");
    EXPECT_EQ(m_delegate->calls, (Journal { "shouldStart:/c:5", "didStart", "didFinish" }));
    EXPECT_EQ(dv::str(m_web->pageTitle()), "丙");
}

// The loads a recording keeps: each under its own id, the latest ones only, and a load that began
// before the recording never writes into another's record.
TEST_F(WebViewTest, ARecordingKeepsTheLatestLoadsEachUnderItsOwnId)
{
    page("/a", "<title>甲</title><p>甲</p>");
    m_server.route("/never", { .body = "<p>太晚</p>", .contentType = "text/html", .delay = std::chrono::seconds(60) });
    auto other = alloc<UIWebView>()->initWithFrame(CGRectMake(0, 0, 375, 300));
    m_window->addSubview(other);
    m_web->loadRequest(request("/never"));
    ASSERT_TRUE(serverHolds("/never"));
    ASSERT_EQ(m_ui.webLoads().size(), 1u);

    m_ui.recordWebLoads();
    EXPECT_TRUE(m_ui.webLoads().empty());
    other->loadRequest(request("/a"));
    ASSERT_TRUE(m_ui.waitForWebView(other));
    m_web->stopLoading();
    auto loads = m_ui.webLoads();
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].url, m_server.url("/a"));
    EXPECT_EQ(loads[0].outcome, "finished");
    EXPECT_EQ(loads[0].title, "甲");

    // Only the latest are kept (refused loads are the quickest to make); a recording begun later
    // keeps the same from its start on.
    dv::WebLoadRecording recording;
    m_delegate->refused = { "/refused" };
    const std::size_t made = dv::WebLoadRecording::kLimit + 3;
    for (std::size_t i = 0; i < made; ++i) {
        m_web->loadRequest(request("/refused?" + std::to_string(i)));
        ASSERT_TRUE(m_ui.waitForWebView(m_web)) << i;
    }
    load("/a");
    const auto records = recording.records();
    ASSERT_EQ(records.size(), dv::WebLoadRecording::kLimit);
    EXPECT_EQ(records.front().url, m_server.url("/refused?" + std::to_string(made + 1 - dv::WebLoadRecording::kLimit)));
    EXPECT_EQ(records[records.size() - 2].outcome, "refused");
    EXPECT_EQ(records.back().outcome, "finished");
    EXPECT_EQ(std::adjacent_find(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.id >= b.id; }), records.end())
        << "ids follow the order of the loads";
    loads = m_ui.webLoads();
    ASSERT_EQ(loads.size(), dv::WebLoadRecording::kLimit);
    EXPECT_EQ(loads.front().url, records.front().url);
    EXPECT_EQ(loads.back().title, "甲");
}

// A fresh process, whose first web view starts the engine. The engine starts once per process:
// run after other web views in the same process, there is no start left to look at.
class FirstWebViewTest : public WebViewTest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_ui.recordWebLoads();
        if (dv::internal::uikit::WebEngine::state() != dv::internal::uikit::WebEngine::State::NotStarted)
            GTEST_SKIP() << "the engine has started in this process already";
    }
};

// The engine starts without holding the main thread: the tap that opens the first page is shown in
// its frame while the engine starts; what the application asks of the page meanwhile waits, in
// order (a load it replaces ends with -999, a value it sets is there before the page's scripts, a
// script it runs answers), and the page then loads as any other.
TEST_F(FirstWebViewTest, TheFirstPageOpensWithoutHoldingTheMainThreadWhileTheEngineStarts)
{
    page("/a", "<title>甲</title><p>甲</p>");
    page("/b", "<title>乙</title><script>document.title = '乙' + early;</script><p>乙</p>");
    m_delegate = std::make_shared<WebRecorder>();
    auto opener = alloc<TapAction>();
    opener->initWithFrame(CGRectMake(0, 0, 100, 44));
    double loading = 0; // seconds the loads took to return
    opener->action = [&] {
        m_web = alloc<UIWebView>()->initWithFrame(CGRectMake(0, 44, 375, 603));
        m_web->setDelegate(m_delegate);
        m_window->addSubview(m_web);
        const auto start = std::chrono::steady_clock::now();
        m_web->loadRequest(request("/a"));
        m_web->javaScriptContext()->setObjectForKeyedSubscript("early"_ns, "early"_ns);
        m_web->loadRequest(request("/b"));
        loading = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    m_window->addSubview(opener);
    m_ui.runUntilIdle();

    dv::FrameTiming::takeTouchToFrameTimes();
    const auto tapped = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_ui.tap(opener));
    EXPECT_FALSE(dv::FrameTiming::takeTouchToFrameTimes().empty()) << "the tap was shown";
    EXPECT_EQ(m_delegate->calls, (Journal { "didFail:-999" })) << "the replaced load ends as it is replaced";
    EXPECT_TRUE(m_web->isLoading());
    EXPECT_EQ(eval("6 * 7"), "42") << "a script waits for the engine";
    ASSERT_TRUE(m_ui.waitForWebView(m_web, 60));
    ASSERT_TRUE(m_delegate->firstAsked);
    const double started = std::chrono::duration<double>(*m_delegate->firstAsked - tapped).count();
    EXPECT_LT(loading * 10, started) << "the loads waited for the engine: " << loading << " s to return, " << started
                                     << " s to the engine's first question";
    EXPECT_EQ(m_delegate->calls, (Journal { "didFail:-999", "shouldStart:/b:5", "didStart", "didFinish" }));
    EXPECT_EQ(dv::str(m_web->pageTitle()), "乙early");
    EXPECT_EQ(m_server.requestCount("/a"), 0u);
    EXPECT_EQ(eval("early"), "early");
}

TEST_F(WebViewTest, ThePageIsDrawnAtItsPlaceUnderTheViewsAboveAndFollowsItsScripts)
{
    m_web->setFrame(CGRectMake(20, 100, 335, 400));
    page("/box", "<body style='margin:0'><div id='box' style='height:100px;background:rgb(200,30,40)'></div>"
                 "<p id='note'>原文</p><script>setTimeout(function () { document.getElementById('note').textContent = '脚本改了'; }, 50);"
                 "</script></body>");
    load("/box");
    auto overlay = addView(CGRectMake(200, 120, 50, 50), UIColor::colorWithRed(0, 0, 1, 1));
    {
        // The page's pixels come in their own time after the load (a later paint may bring them).
        ASSERT_TRUE(runMainLoopUntil([&] { return near(Pixels(m_ui.screenshot(2)).at(40, 150), { 200, 30, 40, 255 }, 6); }));
        Pixels shot(m_ui.screenshot(2));
        EXPECT_TRUE(near(shot.at(340, 190), { 200, 30, 40, 255 }, 6)) << show(shot.at(340, 190));
        EXPECT_FALSE(near(shot.at(10, 150), { 200, 30, 40, 255 }, 40)) << "left of the view";
        EXPECT_FALSE(near(shot.at(40, 90), { 200, 30, 40, 255 }, 40)) << "above the view";
        EXPECT_TRUE(near(shot.at(225, 145), { 0, 0, 255, 255 })) << "the view above the page";
    }
    // The page's own script changed the document after it loaded; what it shows is read again.
    ASSERT_TRUE(runMainLoopUntil([&] { return dv::str(m_web->pageText()) == "脚本改了"; }));

    // The application's script changes what shows.
    eval("document.getElementById('box').style.background = 'rgb(10, 200, 20)'");
    ASSERT_TRUE(runMainLoopUntil([&] { return near(Pixels(m_ui.screenshot(2)).at(40, 150), { 10, 200, 20, 255 }, 6); }));
    overlay->removeFromSuperview();

    // A larger view lays the page out again at its new width.
    m_web->setFrame(CGRectMake(0, 0, 375, 603));
    ASSERT_TRUE(pageSays("innerWidth", "375"));
    ASSERT_TRUE(runMainLoopUntil([&] { return near(Pixels(m_ui.screenshot(2)).at(370, 50), { 10, 200, 20, 255 }, 6); }));
}

// The phone's web view draws no scrollbar of its own (as no scroll view here draws its
// indicators): a page taller than the view shows its own ground to the view's edge, right after
// it loaded as well as later, so that its picture does not depend on when it is taken.
TEST_F(WebViewTest, APageTallerThanTheViewShowsNoScrollbar)
{
    page("/long", "<body style='margin:0;background:rgb(200,30,40)'><div style='height:3000px'></div></body>");
    load("/long");
    ASSERT_TRUE(runMainLoopUntil([&] { return near(Pixels(m_ui.screenshot(2)).at(40, 300), { 200, 30, 40, 255 }, 6); }));
    Pixels shot(m_ui.screenshot(2));
    int other = 0;
    for (CGFloat y = 2; y < 600; y += 4)
        for (CGFloat x = 360; x < 375; x += 0.5)
            other += !near(shot.at(x, y), { 200, 30, 40, 255 }, 6);
    EXPECT_EQ(other, 0) << "the page's red reaches the right edge";
}

TEST_F(WebViewTest, TouchesAndTypingReachThePage)
{
    page("/form", "<title>表单</title><body style='margin:0;height:3000px'>"
                  "<input id='field' style='display:block;width:300px;height:40px;margin:0'"
                  " onkeydown=\"if (event.key === 'Enter') document.title = '回车';\">"
                  "<button style='display:block;width:300px;height:60px' onclick=\"document.title = '按了'\">按钮</button>"
                  "<a href='/other' style='display:block;height:60px'>链接</a></body>");
    page("/other", "<title>别处</title>");
    load("/form");

    ASSERT_TRUE(m_ui.tap(CGPointMake(150, 70)));
    ASSERT_TRUE(runMainLoopUntil([&] { return dv::str(m_web->pageTitle()) == "按了"; }));

    // A long press on the link opens nothing.
    m_delegate->calls.clear();
    ASSERT_TRUE(m_ui.longPress(CGPointMake(150, 130)));
    EXPECT_EQ(eval("document.title"), "按了");
    EXPECT_TRUE(m_delegate->calls.empty());

    // The page's field takes the focus: the view is first responder and typing goes there.
    ASSERT_TRUE(m_ui.tap(CGPointMake(150, 20)));
    ASSERT_TRUE(runMainLoopUntil([&] { return m_ui.firstResponder() == m_web; }));
    EXPECT_TRUE(m_ui.isKeyboardVisible());
    ASSERT_TRUE(m_ui.typeText("你好ab"));
    ASSERT_TRUE(pageSays("document.getElementById('field').value", "你好ab")) << eval("document.getElementById('field').value") << "|" << eval("document.activeElement.tagName");
    ASSERT_TRUE(m_ui.deleteBackward(2));
    ASSERT_TRUE(pageSays("document.getElementById('field').value", "你好"));
    ASSERT_TRUE(m_ui.pressReturn());
    ASSERT_TRUE(pageSays("document.title", "回车"));
    // Ending the editing takes the focus from the page's field too.
    ASSERT_TRUE(m_ui.resignFocus());
    EXPECT_FALSE(m_ui.firstResponder());
    ASSERT_TRUE(pageSays("document.activeElement === document.body", "true"));

    // A drag scrolls the page by as much as the finger moved.
    ASSERT_TRUE(m_ui.pan(CGPointMake(187, 500), CGPointMake(0, -300)));
    ASSERT_TRUE(runMainLoopUntil([&] { return std::atoi(eval("scrollY").c_str()) > 0; }));
    const int scrolled = std::atoi(eval("scrollY").c_str());
    EXPECT_NEAR(scrolled, 300, 15);
    EXPECT_TRUE(m_delegate->calls.empty());
}

TEST_F(WebViewTest, TheScriptContextIsThePages)
{
    auto bridge = alloc<Bridge>();
    bridge->init();
    // As the script-bridge page does: the context through the platform's key path, its values set
    // before the page loads.
    auto context = dv::as<JSContext>(m_web->valueForKeyPath("documentView.webView.mainFrame.javaScriptContext"_ns));
    ASSERT_TRUE(context);
    EXPECT_EQ(context, m_web->javaScriptContext());
    context->setObjectForKeyedSubscript(bridge, "LYAppSpeakController"_ns);
    context->setObjectForKeyedSubscript(NSDictionary::of({ { "name"_ns, "咨询"_ns }, { "tags"_ns, NSArray::of({ "a"_ns, NSNumber::numberWithInt(2) }) } }),
        "config"_ns);
    Journal counted;
    context->setObjectForKeyedSubscript(JSValue::valueWithBlock([&](const Ref<NSArray>& args) -> id {
        counted.push_back(std::to_string(args->count()) + ":" + dv::str(args->objectAtIndex(0)->description()));
        return nil;
    }, context), "count"_ns);
    Journal thrown;
    context->setExceptionHandler([&](const Ref<JSContext>& c, const Ref<JSValue>& e) {
        c->setException(e);
        thrown.push_back(dv::str(e->toString()));
    });
    page("/bridge", "<script>document.title = config.name + config.tags.length;"
                    "LYAppSpeakController.clickOnAndroid('客服');"
                    "LYAppSpeakController.clickZiXunAction();"
                    "LYAppSpeakController.addToAnd(2, null);"
                    "count('一', function () {}, 3);"
                    "var hidden = typeof LYAppSpeakController.secret;</script>"
                    "<script>throw new Error('坏了');</script><script>var after = 1;</script>"
                    "<p>循环</p><script>while (true) {}</script><script>var next = 2;</script>");
    load("/bridge");
    EXPECT_EQ(m_delegate->calls.back(), "didFinish");
    EXPECT_EQ(dv::str(m_web->pageTitle()), "咨询2") << "the values were there before the page's scripts ran";
    ASSERT_TRUE(runMainLoopUntil([&] { return bridge->calls.size() == 3 && counted.size() == 1 && !thrown.empty(); }));
    EXPECT_EQ(bridge->calls, (Journal { "clickOnAndroid:客服", "clickZiXunAction", "addTo:2:<null>" }));
    EXPECT_EQ(counted, (Journal { "3:一" }));
    EXPECT_EQ(eval("hidden"), "undefined");
    EXPECT_EQ(thrown, (Journal { "Error: 坏了" }));
    EXPECT_EQ(dv::str(context->exception()->toString()), "Error: 坏了");
    // (Right after an ended script the page may take a while to answer: each is asked until it does.)
    EXPECT_TRUE(pageSays("after", "1")) << "the page went on";
    EXPECT_TRUE(pageSays("next", "2")) << "the endless script was stopped and the page went on";
    EXPECT_EQ(dv::str(m_web->pageText()), "循环");

    // Evaluations run in the page and answer copies of its values; what they throw reaches the
    // handler; one that never ends is stopped at the time limit.
    EXPECT_EQ(context->evaluateScript("6 * 7"_ns)->toInt32(), 42);
    auto object = dv::as<NSDictionary>(context->evaluateScript("({ name: '张', tags: ['x'], ok: true, none: null })"_ns)->toObject());
    ASSERT_TRUE(object);
    EXPECT_EQ(dv::str(dv::as<NSString>(object->objectForKey("name"_ns))), "张");
    EXPECT_TRUE(dv::as<NSNumber>(object->objectForKey("ok"_ns))->boolValue());
    EXPECT_EQ(dv::str(context->objectForKeyedSubscript("after"_ns)->toString()), "1");
    thrown.clear();
    EXPECT_EQ(eval("null.x"), "");
    ASSERT_EQ(thrown.size(), 1u) << ::testing::PrintToString(thrown);
    EXPECT_EQ(thrown[0].rfind("TypeError: ", 0), 0u) << thrown[0];
    thrown.clear();
    EXPECT_EQ(eval("for (;;) {}"), "");
    EXPECT_EQ(thrown, (Journal { "JavaScript execution terminated." }));
    EXPECT_TRUE(pageSays("1 + 1", "2"));

    // A value set while the page shows is there at once, and every value again after the next load.
    context->setObjectForKeyedSubscript("晚"_ns, "later"_ns);
    EXPECT_EQ(eval("later"), "晚");
    page("/again", "<script>document.title = typeof LYAppSpeakController.clickOnAndroid + ' ' + later;"
                   "LYAppSpeakController.clickZiXunAction();</script>");
    load("/again");
    EXPECT_EQ(dv::str(m_web->pageTitle()), "function 晚");
    ASSERT_TRUE(runMainLoopUntil([&] { return bridge->calls.size() == 4; }));

    // The page refers to the native object weakly: once it is gone, calls do nothing.
    bridge = nil;
    EXPECT_EQ(eval("LYAppSpeakController.clickZiXunAction(); 'still here'"), "still here");
}

TEST_F(WebViewTest, ACrashedPageGoesBlankAndTheNextLoadWorks)
{
    page("/box", "<body style='margin:0;background:rgb(200,30,40)'><p>红</p></body>");
    load("/box");
    ASSERT_TRUE(runMainLoopUntil([&] { return near(Pixels(m_ui.screenshot(2)).at(100, 300), { 200, 30, 40, 255 }, 6); }));
    auto processes = dv::testing::descendantsNamed(::getpid(), "WebKitWebProces");
    ASSERT_FALSE(processes.empty());
    for (const auto& process : processes)
        ::kill(process.pid, SIGKILL);
    ASSERT_TRUE(runMainLoopUntil([&] { return m_web->pageText()->length() == 0; })) << dv::str(m_web->pageText()) << " " << processes.size() << " " << processes[0].pid << ::testing::PrintToString(m_delegate->calls);
    ASSERT_TRUE(runMainLoopUntil([&] { return near(Pixels(m_ui.screenshot(2)).at(100, 300), { 255, 255, 255, 255 }); }));
    EXPECT_EQ(m_delegate->calls.back(), "didFinish") << "nothing was loading";
    load("/box");
    EXPECT_EQ(m_delegate->calls.back(), "didFinish");
    EXPECT_EQ(dv::str(m_web->pageText()), "红");
}

// A page whose script allocates without end: its process is ended at the bound, the view goes
// blank as after a crash, the application answers every touch meanwhile, and the next load shows.
TEST_F(WebViewTest, APageThatAllocatesWithoutEndIsEndedAndGoesBlank)
{
    page("/box", "<title>红</title><body style='margin:0;background:rgb(200,30,40)'><p>红</p></body>");
    page("/greedy", "<title>贪心</title><body style='margin:0;background:rgb(200,30,40)'><p>红</p><script>var kept = [];"
                    "function start() { setInterval(function () { kept.push(new Array(131072).fill(kept.length + 0.5)); }, 10); }"
                    "</script></body>");
    auto button = alloc<TapAction>();
    button->initWithFrame(CGRectMake(0, 603, 100, 44));
    int tapped = 0;
    button->action = [&] { ++tapped; };
    m_window->addSubview(button);
    load("/greedy");
    ASSERT_TRUE(runMainLoopUntil([&] { return near(Pixels(m_ui.screenshot(2)).at(100, 300), { 200, 30, 40, 255 }, 6); }));

    dv::LogCapture log;
    eval("start()"); // about 100 MB a second
    dv::FrameTiming::takeTouchToFrameTimes();
    auto blank = [&] { return m_web->pageText()->length() == 0 && near(Pixels(m_ui.screenshot(2)).at(100, 300), { 255, 255, 255, 255 }); };
    const auto start = std::chrono::steady_clock::now();
    int taps = 0;
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
        ASSERT_TRUE(m_ui.tap(button));
        ++taps;
        ended = runMainLoopUntil(blank, 0.25);
    }
    ASSERT_TRUE(ended) << "the page's process still runs after a minute";
    EXPECT_EQ(tapped, taps);
    EXPECT_EQ(dv::FrameTiming::takeTouchToFrameTimes().size(), 2u * static_cast<std::size_t>(taps)) << "each touch was shown in a frame";
    EXPECT_TRUE(log.contains(m_server.url("/greedy") + " took more memory than its process may hold")) << ::testing::PrintToString(log.lines());
    EXPECT_EQ(m_delegate->calls.back(), "didFinish") << "nothing was loading";

    load("/box");
    EXPECT_EQ(m_delegate->calls.back(), "didFinish");
    EXPECT_EQ(dv::str(m_web->pageText()), "红");
    ASSERT_TRUE(runMainLoopUntil([&] { return near(Pixels(m_ui.screenshot(2)).at(100, 300), { 200, 30, 40, 255 }, 6); }));
}

// A page's sans-serif text is set in the system font, as a label's: a Latin word of the same size
// is as wide in both.
TEST_F(WebViewTest, APagesSansSerifTextIsInTheSystemFont)
{
    page("/words", "<body style='margin:0'><span id='word' style='font-family:sans-serif;font-size:17px;white-space:nowrap'>"
                   "Dovrelta Kefu 9:00-18:00</span></body>");
    load("/words");
    auto label = alloc<UILabel>()->initWithFrame(CGRectMake(0, 603, 375, 30));
    label->setFont(UIFont::systemFontOfSize(17));
    label->setText("Dovrelta Kefu 9:00-18:00"_ns);
    m_window->addSubview(label);
    const double inLabel = label->sizeThatFits(CGSizeMake(1000, 1000)).width;
    const double inPage = std::atof(eval("document.getElementById('word').getBoundingClientRect().width").c_str());
    // (The engine places glyphs on whole pixels: a few of them apart over the word; the engine's
    // own sans-serif face is a tenth wider.)
    EXPECT_NEAR(inPage, inLabel, inLabel * 0.02);
}

TEST_F(WebViewTest, AHundredLoadsLeaveNoProcessesOrMemoryBehind)
{
    for (int i = 0; i < 100; ++i)
        page("/page" + std::to_string(i), "<title>第" + std::to_string(i) + "页</title><p>" + std::string(2000, 'x') + "</p>");
    const pid_t self = ::getpid();
    // The web processes of the page (in their sandbox or not); the network process and the display
    // serve the whole process and stay.
    auto pageProcesses = [&] {
        return dv::testing::descendantsNamed(self, "WebKitWebProces").size() + dv::testing::descendantsNamed(self, "bwrap").size();
    };
    auto others = [&] { return dv::testing::descendants(self).size() - pageProcesses(); };
    // A first view starts the engine (its display, the toolkit and its caches stay with the process).
    load("/page0");
    EXPECT_GT(pageProcesses(), 0u);
    m_web->removeFromSuperview();
    m_web = nil;
    ASSERT_TRUE(runMainLoopUntil([&] { return pageProcesses() == 0; }));
    const auto baseOthers = others();
    [[maybe_unused]] const auto baseMemory = dv::testing::residentBytes(self);

    for (int round = 0; round < 2; ++round) {
        auto web = alloc<UIWebView>()->initWithFrame(CGRectMake(0, 0, 375, 603));
        m_window->addSubview(web);
        for (int i = 0; i < 50; ++i) {
            web->loadRequest(request("/page" + std::to_string(round * 50 + i)));
            ASSERT_TRUE(m_ui.waitForWebView(web)) << i;
        }
        EXPECT_EQ(dv::str(web->pageTitle()), "第" + std::to_string(round * 50 + 49) + "页");
        web->removeFromSuperview();
    }
    ASSERT_TRUE(runMainLoopUntil([&] { return pageProcesses() == 0; })) << pageProcesses() << " processes of pages left";
    EXPECT_EQ(others(), baseOthers);
    m_ui.runUntilIdle();
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // (The sanitizers keep freed memory for a while to find its later use.)
    const auto memory = dv::testing::residentBytes(self);
    EXPECT_LT(memory, baseMemory + 48u * 1024 * 1024) << baseMemory / 1024 << " KiB before, " << memory / 1024 << " KiB after";
#endif
}

} // namespace
