// Many clients at once, and requests no application would send: the server answers them all and
// keeps serving.
#include "DevServerTesting.h"

#include <atomic>
#include <thread>

namespace dv::devserver::testing {
namespace {

using RobustnessTest = DevServerTest;

TEST_F(RobustnessTest, ConcurrentClientsAreAllServed)
{
    std::atomic<int> failures { 0 };
    std::vector<std::thread> clients;
    const std::string picture = samplePng(9);
    for (int n = 0; n < 6; ++n) {
        clients.emplace_back([&, n] {
            std::string clientId = "c0ffee" + std::to_string(n);
            auto login = httpPostForm(url("client/login.do"), { { "clientId", clientId } });
            std::string token = login.json().value("token", std::string());
            for (int i = 0; i < 8; ++i) {
                auto list = httpPostForm(url("qrcode/listCode.do"), { { "type", "2" }, { "page", std::to_string(i % 4) } });
                bool ok = list.json()["status"] == 1;
                ok = ok && httpGet(url("pic/tile/10" + std::to_string(1 + (n + i) % 6) + ".png")).status == 200;
                auto upload = httpPostMultipart(url("qrcode/saveCode.do"),
                    { { "clientId", clientId }, { "token", token }, { "title", "并发上传" }, { "area_id", "320100" },
                        { "type", "2" }, { "description", "测试" },
                        { "account", "acct" + std::to_string(n) + "_" + std::to_string(i) } },
                    { { "code", "1111.png", "jpg", picture } });
                ok = ok && upload.json()["status"] == 1;
                if (!ok)
                    ++failures;
            }
        });
    }
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(post("qrcode/listCode.do", { { "type", "2" }, { "page", "0" } })["info"]["totalCount"], 30 + 6 * 8);
}

TEST_F(RobustnessTest, OddRequestsAreAnsweredWithoutHarm)
{
    EXPECT_EQ(httpGet(url(std::string(6000, 'a'))).status, 404);
    EXPECT_GE(httpGet(url(std::string(20000, 'b'))).status, 400) << "an over-long request line";
    EXPECT_EQ(httpGet(url("pic/qrcode/%00.png")).status, 404);
    EXPECT_EQ(httpGet(url("pic/qrcode/-5-0.png")).status, 404);
    EXPECT_EQ(httpGet(url("pic/qrcode/99999999999999999999999.png")).status, 404);
    EXPECT_EQ(httpGet(url("home/web.do?categoryId=%ff%fe")).status, 404);

    Fields many;
    for (int i = 0; i < 50; ++i)
        many.emplace_back("field" + std::to_string(i), std::string(100, 'x'));
    many.emplace_back("clientId", "abc");
    EXPECT_EQ(post("client/login.do", many)["status"], 1);
    // Form bodies past 8 KB are refused before any handler sees them.
    many.emplace_back("filler", std::string(10000, 'y'));
    EXPECT_EQ(httpPostForm(url("client/login.do"), many).status, 413);
    // The first of two values of one field counts.
    Json twice = post("qrcode/listCode.do", { { "type", "11" }, { "type", "3" }, { "page", "0" } });
    EXPECT_EQ(twice["info"]["totalCount"], 17);

    auto json = httpPostRaw(url("client/login.do"), "application/json", R"({"clientId":"abc"})");
    EXPECT_EQ(json.json()["status"], 0) << "fields come as a form, not as JSON";
    EXPECT_EQ(post("home/index.do")["status"], 1);
}

} // namespace
} // namespace dv::devserver::testing
