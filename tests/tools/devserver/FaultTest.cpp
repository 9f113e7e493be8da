// Every fault switch, set from code and through the control endpoint, on the path it names only.
#include "DevServerTesting.h"

#include "tools/devserver/internal/FaultReplies.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace dv::devserver::testing {
namespace {

using FaultTest = DevServerTest;

// Waits, without sleeping, until `condition` holds or the limit passes.
bool eventually(const std::function<bool()>& condition, std::chrono::seconds limit = std::chrono::seconds(10))
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

TEST_F(FaultTest, BodyFaultsReshapeOnlyTheirPath)
{
    const std::string path = "home/index.do";
    auto index = [&] { return httpPostForm(url(path), {}); };

    server->setFault(path, Fault::httpError());
    auto error = index();
    EXPECT_EQ(error.status, 500);
    EXPECT_EQ(error.contentType, "text/html;charset=UTF-8");
    // Other paths are untouched.
    EXPECT_EQ(post("home/artifactIndex.do")["status"], "1");

    server->setFault(path, Fault::of(FaultKind::Html));
    auto html = index();
    EXPECT_EQ(html.status, 200);
    EXPECT_EQ(html.contentType, "text/html;charset=UTF-8");
    EXPECT_TRUE(html.json().is_discarded());

    server->setFault(path, Fault::of(FaultKind::MalformedJson));
    auto malformed = index();
    EXPECT_EQ(malformed.status, 200);
    EXPECT_EQ(malformed.contentType, "application/json;charset=UTF-8");
    EXPECT_TRUE(malformed.json().is_discarded()) << malformed.body;
    EXPECT_TRUE(malformed.body.starts_with("{\"status\":1"));

    server->setFault(path, Fault::of(FaultKind::JsonArray));
    Json array = index().json();
    ASSERT_TRUE(array.is_array());
    EXPECT_EQ(array[0]["status"], 1);

    server->setFault(path, Fault::of(FaultKind::JsonNull));
    auto null = index();
    EXPECT_EQ(null.body, "null");
    EXPECT_EQ(null.contentType, "application/json;charset=UTF-8");

    server->setFault(path, Fault::refusal(3, "系统维护中，请稍后再试"));
    Json refused = index().json();
    EXPECT_EQ(refused["status"], 3);
    EXPECT_EQ(refused["msg"], "系统维护中，请稍后再试");
    EXPECT_TRUE(refused["info"].is_null());

    // A refusal keeps the path's type of `status`.
    server->setFault("home/artifactIndex.do", Fault::refusal(0, "暂无数据"));
    EXPECT_EQ(post("home/artifactIndex.do")["status"], "0");

    server->clearFaults();
    EXPECT_EQ(post(path)["status"], 1);
}

TEST_F(FaultTest, WrongTypesChangeEveryFieldButKeepTheShape)
{
    server->setFault("qrcode/listCode.do", Fault::of(FaultKind::WrongTypes));
    Json list = post("qrcode/listCode.do", { { "type", "3" }, { "page", "0" } });
    EXPECT_EQ(list["status"], 1) << "status stays so that the reader goes on into the payload";
    EXPECT_TRUE(list["msg"].is_array());
    const Json& info = list["info"];
    EXPECT_EQ(info["pageSize"], Json::array({ "10" }));
    EXPECT_EQ(info["totalCount"], Json({ { "value", 23 } }));
    const Json& items = info["listItems"];
    ASSERT_TRUE(items.is_array());
    ASSERT_EQ(items.size(), 14u);
    EXPECT_TRUE(items[0]["qrcodeId"].is_array());
    EXPECT_TRUE(items[0]["areaId"].is_object());
    EXPECT_TRUE(items[10].is_string());
    EXPECT_TRUE(items[11].is_number());
    EXPECT_TRUE(items[12].is_null());
    EXPECT_TRUE(items[13].is_array());

    server->setFault("district/listSubDistrict.do", *parseFault("wrongtypes:status"));
    Json districts = post("district/listSubDistrict.do", { { "parentId", "0" } });
    EXPECT_EQ(districts["status"], Json({ { "value", 1 } }));
    ASSERT_TRUE(districts["info"].is_array());
    EXPECT_TRUE(districts["info"][0]["id"].is_object());
    EXPECT_TRUE(districts["info"][0]["name"].is_array());

    server->setFault("qrcode/saveCode.do", Fault::of(FaultKind::WrongTypes));
    Json login = post("client/login.do", { { "clientId", "abcdef" } });
    EXPECT_TRUE(login["token"].is_string()) << "other paths keep their types";

    // On a picture the JSON faults answer with JSON.
    server->setFault("pic/*", Fault::of(FaultKind::WrongTypes));
    auto picture = httpGet(url("pic/tile/101.png"));
    EXPECT_EQ(picture.contentType, "application/json;charset=UTF-8");
    EXPECT_TRUE(picture.json().is_object());
}

TEST_F(FaultTest, PagesAndPicturesTakeFaultsToo)
{
    server->setFault("pic/*", Fault::of(FaultKind::MalformedJson));
    auto whole = httpGet(url("pic/static/picture.png"));
    server->clearFault("pic/*");
    auto complete = httpGet(url("pic/static/picture.png"));
    EXPECT_EQ(whole.contentType, "image/png");
    EXPECT_EQ(whole.body.size(), complete.body.size() / 2) << "a picture cut in half";

    server->setFault("data/qryLearn.do", Fault::httpError(503));
    EXPECT_EQ(httpGet(url("data/qryLearn.do?type=1")).status, 503);
}

TEST_F(FaultTest, ExactPathsWinOverPrefixesAndCountsRunOut)
{
    server->setFault("*", Fault::httpError(502));
    server->setFault("data/*", Fault::httpError(503));
    server->setFault("data/listCategory.do", *parseFault("status:7:单次*2"));
    EXPECT_EQ(httpPostForm(url("home/index.do"), {}).status, 502);
    EXPECT_EQ(httpPostForm(url("data/listPhone.do"), {}).status, 503);
    EXPECT_EQ(post("data/listCategory.do")["status"], 7);
    EXPECT_EQ(post("data/listCategory.do")["status"], 7);
    // The two uses are spent: the prefix applies again.
    EXPECT_EQ(httpPostForm(url("data/listCategory.do"), {}).status, 503);
    // The control endpoint is never faulted.
    EXPECT_EQ(httpGet(server->controlURL() + "faults").status, 200);
}

TEST_F(FaultTest, ControlEndpointSetsListsAndClearsFaults)
{
    auto set = httpPostForm(server->controlURL() + "fault", { { "path", "/DV/home/index.do" }, { "fault", "close*1" } });
    EXPECT_EQ(set.status, 200) << set.body;
    Json listed = httpGet(server->controlURL() + "faults").json();
    ASSERT_EQ(listed["faults"].size(), 1u);
    EXPECT_EQ(listed["faults"][0]["path"], "home/index.do");
    EXPECT_EQ(listed["faults"][0]["fault"], "close*1");

    EXPECT_EQ(httpPostForm(server->controlURL() + "fault", { { "path", "home/index.do" }, { "fault", "explode" } }).status, 400);
    EXPECT_EQ(httpPostForm(server->controlURL() + "fault", { { "fault", "html" } }).status, 400);
    EXPECT_EQ(httpPostForm(server->controlURL() + "fault", { { "path", "home/index.do" }, { "fault", "delay:-1" } }).status, 400);

    httpPostForm(server->controlURL() + "fault", { { "path", "data/*" }, { "fault", "html" } });
    EXPECT_EQ(httpPostForm(server->controlURL() + "clear", { { "path", "home/index.do" } }).status, 200);
    EXPECT_EQ(httpGet(server->controlURL() + "faults").json()["faults"].size(), 1u);
    EXPECT_EQ(httpPostForm(server->controlURL() + "clear", {}).status, 200);
    EXPECT_TRUE(httpGet(server->controlURL() + "faults").json()["faults"].empty());
    EXPECT_EQ(post("home/index.do")["status"], 1);
}

TEST_F(FaultTest, CloseEndsTheConnectionWithNothingWritten)
{
    server->setFault("client/login.do", *parseFault("close*1"));
    auto closed = httpPostForm(url("client/login.do"), { { "clientId", "abc" } });
    EXPECT_EQ(closed.curlCode, CURLE_GOT_NOTHING);
    EXPECT_EQ(closed.status, 0);
    EXPECT_EQ(post("client/login.do", { { "clientId", "abc" } })["status"], 1);
}

TEST_F(FaultTest, CutEndsTheReplyHalfWayEvenOnAReusedConnection)
{
    server->setFault("home/artifactIndex.do", *parseFault("cut*1"));
    // One handle, so that the second request goes out on the first one's kept-alive connection,
    // where a client would retry a connection closed before any reply.
    CURL* curl = curl_easy_init();
    std::string body;
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 20000L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* target) {
        static_cast<std::string*>(target)->append(data, size * count);
        return size * count;
    });
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "clientId=abc");
    curl_easy_setopt(curl, CURLOPT_URL, url("client/login.do").c_str());
    EXPECT_EQ(curl_easy_perform(curl), CURLE_OK);
    body.clear();
    curl_easy_setopt(curl, CURLOPT_URL, url("home/artifactIndex.do").c_str());
    EXPECT_EQ(curl_easy_perform(curl), CURLE_PARTIAL_FILE);
    EXPECT_TRUE(body.starts_with("{\"status\":\"1\"")) << body;
    curl_easy_cleanup(curl);
    EXPECT_EQ(post("home/artifactIndex.do")["status"], "1") << "the one use is spent";
}

TEST_F(FaultTest, DelayOutlastsTheClientAndThenAnswers)
{
    server->setFault("home/index.do", Fault::delay(30));
    auto timedOut = httpPostForm(url("home/index.do"), {}, 300);
    EXPECT_EQ(timedOut.curlCode, CURLE_OPERATION_TIMEDOUT);

    server->setFault("home/index.do", Fault::delay(0.2));
    auto late = httpPostForm(url("home/index.do"), {});
    EXPECT_EQ(late.curlCode, CURLE_OK);
    EXPECT_EQ(late.json()["status"], 1);
}

TEST_F(FaultTest, StoppingEndsADelayedRequestAtOnce)
{
    server->setFault("home/index.do", *parseFault("delay:60*1"));
    HttpResult result;
    std::thread client([&, target = url("home/index.do")] { result = httpPostForm(target, {}, 60000); });
    // The one-use fault leaves the table when the request reaches it.
    ASSERT_TRUE(eventually([&] { return server->faults().list().empty(); }));
    auto started = std::chrono::steady_clock::now();
    server->stop();
    client.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(result.curlCode, CURLE_GOT_NOTHING);
}

TEST_F(FaultTest, AHoldKeepsItsRequestUntilThePathIsClearedOrGivenAnotherFault)
{
    const std::string path = "client/login.do";
    auto heldRequest = [&](auto release) {
        server->setFault(path, *parseFault("hold*1"));
        std::atomic<bool> answered { false };
        HttpResult result;
        std::thread client([&, target = url(path)] {
            result = httpPostForm(target, { { "clientId", "held01" } });
            answered = true;
        });
        // The one-use hold leaves the table when the request reaches it; the request waits.
        EXPECT_TRUE(eventually([&] { return server->faults().list().empty(); }));
        EXPECT_FALSE(answered.load());
        EXPECT_EQ(post("home/index.do")["status"], 1) << "other paths go on";
        release();
        client.join();
        return result;
    };
    // Replaced: the request is answered as the new fault says.
    Json refused = heldRequest([&] { server->setFault(path, Fault::refusal(0, "设备已停用")); }).json();
    EXPECT_EQ(refused["msg"], "设备已停用");
    // Cleared: answered normally.
    Json normal = heldRequest([&] { server->clearFault(path); }).json();
    EXPECT_EQ(normal["status"], 1);
    EXPECT_TRUE(normal["token"].is_string());
    // Stopping the server ends a held request at once.
    auto stopped = heldRequest([&] { server->stop(); });
    EXPECT_EQ(stopped.curlCode, CURLE_GOT_NOTHING);
}

TEST_F(FaultTest, AnUnusedPortRefusesTheConnectionAndNoServerCanTakeIt)
{
    int port = Server::unusedPort();
    ASSERT_GT(port, 0);
    // Another server (of this program or any other) cannot start on it meanwhile.
    EXPECT_FALSE(Server::start({ .dataFolder = folder.path() + "/other", .port = port }));
    auto refused = httpPostForm("http://127.0.0.1:" + std::to_string(port) + "/DV/home/index.do", {});
    EXPECT_EQ(refused.curlCode, CURLE_COULDNT_CONNECT);
}

TEST_F(FaultTest, ASecondServerCannotTakeATakenPort)
{
    auto second = Server::start({ .dataFolder = folder.path() + "/second", .port = server->port() });
    ASSERT_FALSE(second);
    EXPECT_FALSE(second.reason().empty());
    EXPECT_EQ(post("home/index.do")["status"], 1);
}

TEST(FaultText, EveryFaultReadsBackAsWritten)
{
    for (const char* text : { "delay:12", "delay:0.5*3", "http:500", "http:404", "html", "malformed", "array", "null", "wrongtypes",
             "wrongtypes:status", "status:0:服务器繁忙", "status:-1:登录失效*1", "close", "close*2", "cut*1", "hold", "hold*1" }) {
        auto fault = parseFault(text);
        ASSERT_TRUE(fault) << text;
        EXPECT_EQ(formatFault(*fault), text);
    }
    auto defaults = parseFault("delay");
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->delaySeconds, 12);
    EXPECT_EQ(parseFault("status")->status, 0);
    EXPECT_EQ(parseFault("status:2:a:b")->message, "a:b");
    for (const char* bad : { "", "explode", "delay:x", "delay:-1", "delay:99999", "http:200", "http:abc", "html:1", "close*0",
             "close*x", "wrongtypes:all", "status:x" }) {
        auto fault = parseFault(bad);
        ASSERT_FALSE(fault) << bad;
        EXPECT_FALSE(fault.reason().empty()) << bad;
    }
    EXPECT_EQ(normalizeFaultPath("/DV/home/index.do"), "home/index.do");
    EXPECT_EQ(normalizeFaultPath("/home/index.do"), "home/index.do");
    EXPECT_EQ(normalizeFaultPath("pic/*"), "pic/*");
}

TEST(FaultText, WrongTypesLeaveNoFieldWithItsType)
{
    internal::devserver::Json reply = internal::devserver::Json::parse(R"({"status":"1","msg":"","token":"abc",
        "info":{"flag":true,"none":null,"record":{"a":1},"list":[{"b":"x"},3]}})");
    internal::devserver::Json changed = internal::devserver::withWrongTypes(reply, false);
    EXPECT_EQ(changed["status"], "1");
    EXPECT_EQ(changed["token"], internal::devserver::Json::array({ "abc" }));
    EXPECT_EQ(changed["info"]["flag"], "yes");
    EXPECT_EQ(changed["info"]["none"], internal::devserver::Json::object());
    EXPECT_EQ(changed["info"]["record"]["a"], internal::devserver::Json({ { "value", 1 } }));
    EXPECT_EQ(changed["info"]["list"][0]["b"], internal::devserver::Json::array({ "x" }));
    EXPECT_EQ(changed["info"]["list"][1], internal::devserver::Json({ { "value", 3 } }));
    EXPECT_EQ(internal::devserver::withWrongTypes(reply, true)["status"], internal::devserver::Json::array({ "1" }));
}

} // namespace
} // namespace dv::devserver::testing
