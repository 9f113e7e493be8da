// Each server path's request as it goes out on the wire: method, path, content type and the
// exact form or multipart bytes; the page URLs with their query values percent-encoded; and the
// server address setting.
#include "ShellTestSupport.h"

#include "app/shell/server/ZHFormData.h"
#include "foundation/identity/DIUUID.h"
#include "platform/base/NSURL.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/testing/LoopbackServer.h"
#include "push/PSDictionaryCategories.h"

#include <regex>

using namespace dv::test;
using dv::testing::LoopbackServer;
using dv::testing::RecordedRequest;

namespace {

class ServerRequestsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PSInstallDictionaryCategories();
        NSUserDefaults::resetStandardUserDefaults();
        for (const char* path : { dv::app::kLoginPath, dv::app::kHomeIndexPath, dv::app::kArtifactIndexPath, dv::app::kListCodePath,
                 dv::app::kCodeDetailPath, dv::app::kChangeDetailPath, dv::app::kSaveCodePath, dv::app::kSubDistrictPath,
                 dv::app::kListPhonePath, dv::app::kListAccuratePhonePath, dv::app::kListCategoryPath, dv::app::kListIndustryPath })
            m_server.route(std::string("/DV/") + path,
                dv::testing::ScriptedReply { .body = R"({"status":1,"msg":"","info":{}})", .contentType = "application/json" });
        ASSERT_TRUE(dv::app::setServerAddress("127.0.0.1", m_server.port()));
        m_clientId = dv::str(DIUUID::uuidForDevice());
    }
    void TearDown() override
    {
        dv::app::resetServerAddress();
        NSUserDefaults::resetStandardUserDefaults();
    }

    // Sends the request as a form POST (or multipart with `parts`) and answers what the server got.
    RecordedRequest send(const dv::app::ServerRequest& request, const Ref<NSArray>& parts = nil)
    {
        auto result = std::make_shared<CallResult>();
        auto success = [result](const id& json) { ++result->successes; result->json = json; };
        auto failure = [result](const Ref<NSError>& error) { ++result->failures; result->error = error; };
        if (parts)
            ZHHttpTool::postWithURL(request.URL, request.fields, parts, success, failure);
        else
            ZHHttpTool::postWithURL(request.URL, request.fields, success, failure);
        EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return result->done(); }));
        EXPECT_EQ(result->successes, 1) << (result->error ? dv::str(result->error->description()) : "");
        auto requests = m_server.requests();
        EXPECT_FALSE(requests.empty());
        return requests.empty() ? RecordedRequest {} : requests.back();
    }

    std::string base() const { return "http://127.0.0.1:" + std::to_string(m_server.port()) + "/DV/"; }

    TemporaryHome m_home;
    LoopbackServer m_server;
    std::string m_clientId;
};

void expectForm(const RecordedRequest& request, const std::string& path, const std::string& body)
{
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/DV/" + path);
    EXPECT_EQ(request.query, "");
    EXPECT_EQ(request.header("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.body, body) << path;
}

} // namespace

TEST_F(ServerRequestsTest, EveryFormPathSendsItsFieldsFormEncoded)
{
    ASSERT_TRUE(std::regex_match(m_clientId, std::regex("[0-9a-f]{32}")));
    const std::string client = "clientId=" + m_clientId;
    using namespace dv::app;

    expectForm(send(loginRequest()), "client/login.do", client);
    expectForm(send(artifactIndexRequest()), "home/artifactIndex.do", "");
    expectForm(send(listCodeRequest(QRCodeKind::Public, 0)), "qrcode/listCode.do", "page=0&type=11");
    expectForm(send(listCodeRequest(QRCodeKind::Personal, 12)), "qrcode/listCode.do", "page=12&type=2");
    expectForm(send(listCodeRequest(QRCodeKind::Group, 3)), "qrcode/listCode.do", "page=3&type=3");
    expectForm(send(codeDetailRequest("57"_ns, "4"_ns)), "qrcode/getDetail.do", "id=57&position=4");
    expectForm(send(changeDetailRequest("57"_ns, "4"_ns, Neighbour::Previous)), "qrcode/getChangeDetail.do", "flag=0&id=57&position=4");
    expectForm(send(changeDetailRequest("57"_ns, "4"_ns, Neighbour::Next)), "qrcode/getChangeDetail.do", "flag=1&id=57&position=4");
    expectForm(send(subDistrictRequest("0"_ns)), "district/listSubDistrict.do", "parentId=0");
    expectForm(send(listPhoneRequest("440100"_ns, 2)), "data/listPhone.do", "cityId=440100&" + client + "&page=2");
    expectForm(send(listAccuratePhoneRequest("440000"_ns, 0, "1380"_ns)), "data/listAccuratePhone.do",
        client + "&page=0&phone=1380&proviceId=440000");
    expectForm(send(listCategoryRequest()), "data/listCategory.do", client);
    expectForm(send(listIndustryRequest("9"_ns, 1)), "data/listIndustry.do", "categoryId=9&" + client + "&page=1");
}

TEST_F(ServerRequestsTest, HomeIndexSendsNoFieldsAtAll)
{
    auto request = dv::app::homeIndexRequest();
    EXPECT_FALSE(request.fields);
    auto sent = send(request);
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.path, "/DV/home/index.do");
    EXPECT_EQ(sent.body, "");
    EXPECT_EQ(sent.header("content-length"), "0");
}

TEST_F(ServerRequestsTest, FieldValuesAreEscapedInTheForm)
{
    auto sent = send(dv::app::listAccuratePhoneRequest("a b&c=d"_ns, -1, "13８0+%"_ns));
    EXPECT_EQ(sent.body, "clientId=" + m_clientId + "&page=-1&phone=13%EF%BC%980%2B%25&proviceId=a%20b%26c%3Dd");
}

TEST_F(ServerRequestsTest, UploadSendsTextPartsThenThePicture)
{
    NSUserDefaults::standardUserDefaults()->setObjectForKey("tok-1"_ns, "utoken"_ns);
    dv::app::SaveCodeFields fields { .kind = dv::app::QRCodeKind::Public, .title = "春季 新品"_ns, .areaId = "440100"_ns,
        .description = "每天\r\n更新"_ns, .account = "xl_dongfang88"_ns };
    const std::string picture("\x89PNG\r\n\x1a\n\0\x01", 10);
    auto part = ZHFormData::codePicture(NSData::fromString(picture));
    auto sent = send(dv::app::saveCodeRequest(fields), NSArray::of({ part, "not a part"_ns }));

    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.path, "/DV/qrcode/saveCode.do");
    std::smatch match;
    const std::string type = sent.header("content-type");
    ASSERT_TRUE(std::regex_match(type, match, std::regex("multipart/form-data; boundary=(.+)"))) << type;
    const std::string boundary = match[1];
    auto text = [&](const std::string& name, const std::string& value) {
        return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    };
    const std::string expected = text("account", "xl_dongfang88") + text("area_id", "440100") + text("clientId", m_clientId)
        + text("description", "每天\r\n更新") + text("title", "春季 新品") + text("token", "tok-1") + text("type", "11")
        + "--" + boundary + "\r\nContent-Disposition: form-data; name=\"code\"; filename=\"1111.png\"\r\nContent-Type: jpg\r\n\r\n"
        + picture + "\r\n--" + boundary + "--\r\n";
    EXPECT_EQ(sent.body, expected);
    EXPECT_EQ(sent.header("content-length"), std::to_string(expected.size()));
}

TEST_F(ServerRequestsTest, UploadWithoutTokenOrValuesSendsThemEmpty)
{
    dv::app::SaveCodeFields fields { .kind = dv::app::QRCodeKind::Group, .title = "t"_ns, .areaId = nil, .description = nil,
        .account = "a"_ns };
    auto sent = send(dv::app::saveCodeRequest(fields), NSArray::array());
    for (const char* name : { "token", "area_id", "description" })
        EXPECT_NE(sent.body.find("name=\"" + std::string(name) + "\"\r\n\r\n\r\n"), std::string::npos) << name;
    EXPECT_EQ(sent.body.find("filename="), std::string::npos);
    EXPECT_NE(sent.body.find("name=\"type\"\r\n\r\n3\r\n"), std::string::npos);
}

TEST_F(ServerRequestsTest, PageURLsEscapeTheirValuesAndKeepTheirSeparators)
{
    const std::string client = m_clientId;
    EXPECT_EQ(dv::str(dv::app::learnPageURL(dv::app::LearnPage::ContactInformation)), base() + "data/qryLearn.do?type=1");
    EXPECT_EQ(dv::str(dv::app::learnPageURL(dv::app::LearnPage::InstructionsForUse)), base() + "data/qryLearn.do?type=2");
    EXPECT_EQ(dv::str(dv::app::learnPageURL(dv::app::LearnPage::CommonQuestions)), base() + "data/qryLearn.do?type=3");

    EXPECT_EQ(dv::str(dv::app::agentPageURL("100800"_ns)), base() + "data/qryAgent.do?agentNo=100800&&clientId=" + client);
    EXPECT_EQ(dv::str(dv::app::agentPageURL("a b&clientId=x#y"_ns)),
        base() + "data/qryAgent.do?agentNo=a%20b%26clientId%3Dx%23y&&clientId=" + client);
    EXPECT_EQ(dv::str(dv::app::agentPageURL("代理+1"_ns)), base() + "data/qryAgent.do?agentNo=%E4%BB%A3%E7%90%86%2B1&&clientId=" + client);
    EXPECT_EQ(dv::str(dv::app::agentPageURL(nil)), base() + "data/qryAgent.do?agentNo=&&clientId=" + client);

    EXPECT_EQ(dv::str(dv::app::categoryPageURL("7"_ns)), base() + "home/web.do?categoryId=7&clientId=" + client);
    EXPECT_EQ(dv::str(dv::app::categoryPageURL("7&clientId=evil"_ns)), base() + "home/web.do?categoryId=7%26clientId%3Devil&clientId=" + client);
    for (auto url : { dv::app::agentPageURL("a b&c#d"_ns), dv::app::categoryPageURL("x y"_ns) })
        EXPECT_TRUE(NSURL::URLWithString(url)) << dv::str(url);
}

TEST_F(ServerRequestsTest, TheServerAddressIsASetting)
{
    EXPECT_EQ(dv::str(ServerBaseURL()), base());
    EXPECT_EQ(dv::app::serverPort(), m_server.port());
    EXPECT_TRUE(dv::app::setServerAddress("dv.example", 80));
    EXPECT_EQ(dv::str(ServerBaseURL()), "http://dv.example:80/DV/");
    EXPECT_EQ(dv::str(dv::app::serverURL("home/index.do")), "http://dv.example:80/DV/home/index.do");
    EXPECT_TRUE(dv::app::setServerAddress("[::1]", 8092));
    EXPECT_EQ(dv::str(ServerBaseURL()), "http://[::1]:8092/DV/");
    for (auto [host, port] : std::vector<std::pair<std::string, int>> { { "", 80 }, { "a/b", 80 }, { "a b", 80 }, { "a@b", 80 },
             { "a:1", 80 }, { "h?", 80 }, { "[zz]", 80 }, { "h", 0 }, { "h", 65536 }, { "h", -1 } })
        EXPECT_FALSE(dv::app::setServerAddress(host, port)) << host << ":" << port;
    EXPECT_EQ(dv::str(ServerBaseURL()), "http://[::1]:8092/DV/") << "a refused address changes nothing";
}

// DOVRELTA_SERVER is read once, at the first use, so these run in a fresh copy of the program.
TEST(ServerAddressEnvironmentTest, TheEnvironmentNamesTheServerAndTheDefaultIsTheLocalServer)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto baseWith = [](const char* value) {
        if (value)
            ::setenv("DOVRELTA_SERVER", value, 1);
        else
            ::unsetenv("DOVRELTA_SERVER");
        dv::app::resetServerAddress();
        std::fprintf(stderr, "base=%s\n", dv::str(ServerBaseURL()).c_str());
        std::exit(0);
    };
    EXPECT_EXIT(baseWith(nullptr), ::testing::ExitedWithCode(0), "base=http://127.0.0.1:8092/DV/\n");
    EXPECT_EXIT(baseWith("10.0.2.2:9000"), ::testing::ExitedWithCode(0), "base=http://10.0.2.2:9000/DV/\n");
    EXPECT_EXIT(baseWith("devbox"), ::testing::ExitedWithCode(0), "base=http://devbox:8092/DV/\n");
    EXPECT_EXIT(baseWith("devbox:http"), ::testing::ExitedWithCode(0), "is not HOST:PORT.*base=http://127.0.0.1:8092/DV/\n");
}
