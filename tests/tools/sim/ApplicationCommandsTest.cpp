// The script language against the application itself, as an outside acceptance run drives it
// (the runner against a server of the test's own): permission answers kept across a relaunch, the
// stores set up before the launch, what the push service was told, the re-login eight hours
// later on the application's clock, pushes in the inactive state and two alerts answered by
// their messages, a relaunch, the camera's absence in the upload form, marks, and `check`
// failures summed up at the end; the application's log goes to its file, not to the runner's
// output.
#include "SimTesting.h"

#include "tools/devserver/Server.h"

#include <fstream>
#include <regex>
#include <sstream>

namespace dv::sim::testing {
namespace {

class SimApplicationCommandsTest : public SimProgramTest { };

TEST_F(SimApplicationCommandsTest, AnOutsideRunSetsUpDrivesAndChecksTheApplication)
{
    auto started = dv::devserver::Server::start({ .dataFolder = (m_root / "server").string() });
    ASSERT_TRUE(started) << started.reason();
    auto server = std::move(started).value();
    const std::string script = R"(permission addressbook ask
prompt-answer addressbook deny
addressbook add 王小明 13805550101
pasteboard set 你好
camera absent
defaults set utoken "旧的"
clock set 2026-12-07T10:00:00+08:00
launch
wait-for 温馨提示
expect-prompt addressbook
alert 确定
wait-for 加粉
wait-idle
expect-push-service types 7
expect-push-service registered yes
expect-push-service setup yes
expect-push-service key 7e41c0d93a5b8f26e1d47c08
expect-push-service channel "Publish channel"
expect-push-service production yes
expect-push-service alias device-id
expect-push-service tags none
expect-push-service token yes
expect-badge 0
check defaults expect utoken "旧的"
clock advance 28801
state background
state active
wait-idle
state inactive
push {"aps": {"alert": "锁屏上点开的消息"}, "pushType": 0, "title": "锁屏消息", "addTime": "2026-12-07 18:00", "_j_msgid": "m-1"}
expect-push-completion newdata
expect-push-service received m-1
wait-for 锁屏消息
expect-screen JZNewsDetailController
screenshot news-inactive
state active
back
push {"aps": {"alert": "第一条"}, "pushType": 0, "title": "第一条消息", "addTime": "2026-12-07 19:00"}
push {"aps": {"alert": "第二条"}, "pushType": 1, "title": "链接", "addTime": "2026-12-07 19:01", "info": "http://dovrelta.example/second"}
alert-choose 第二条 忽略
expect-not-opened dovrelta.example/second
alert-choose 第一条 去查看
wait-for 第一条消息
back
relaunch
wait-for 温馨提示
expect-no-prompt addressbook
alert 确定
addressbook expect-count 1
pasteboard expect 你好
open VQAddGroupViewController 群二维码
wait-idle
tap-image fatiezi
wait-idle
tap-image addphoto
alert 拍照
expect-title 照片
pick-image
wait-idle
screenshot form-picture
mark done
check expect 没有这段文字
check expect-title 上传二维码
)";
    auto run = runHeadless({ "--server", server->baseURL() }, script, 180);
    EXPECT_EQ(run.status, 1) << run.errors;

    // Two checks failed: the login replaced the token set up before the launch, and a text that
    // nowhere shows; the run went on to its end and says which.
    EXPECT_TRUE(std::regex_search(run.output, std::regex("dovrelta-sim: check failed: [^\n]*script.txt:24: check defaults expect utoken \"旧的\": "
                                                         "utoken is \"[0-9a-f]+\"\n")))
        << run.output;
    EXPECT_NE(run.output.find("check failed: " + (m_root / "script.txt").string() + ":62: check expect 没有这段文字: no visible view shows"),
        std::string::npos) << run.output;
    EXPECT_NE(run.errors.find("dovrelta-sim: 2 of 3 checks failed: " + (m_root / "script.txt").string() + ":24, "
                  + (m_root / "script.txt").string() + ":62\n"),
        std::string::npos) << run.errors;
    EXPECT_NE(run.output.find("dovrelta-sim: mark done\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(m_out / "done.mark"));

    // The runner's output is its own; the application's log is in its file.
    for (const auto* text : { run.output.c_str(), run.errors.c_str() }) {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            EXPECT_EQ(line.rfind("dovrelta-sim: ", 0), 0u) << line;
    }
    std::ifstream logFile(m_out / "application.log");
    std::stringstream log;
    log << logFile.rdbuf();
    std::smatch device;
    const std::string logText = log.str();
    ASSERT_TRUE(std::regex_search(logText, device, std::regex("GetUDIDGetUDID===([0-9a-f]{32})"))) << logText;
    // At the launch; eight hours later each time it became active again (from the background, and
    // from the lock screen); and at the relaunch.
    EXPECT_EQ(server->loginCount(device[1]), 4);

    // The news page opened at once from the lock screen, without an alert.
    const auto news = dumpOf("news-inactive");
    EXPECT_TRUE(dumpShows(news, "title: \"锁屏消息\"")) << news;
    EXPECT_FALSE(dumpShows(news, "alert: "));
    EXPECT_TRUE(std::regex_search(news, std::regex("UILabel \\(0 74; 375 21\\) text=\"2026-12-07 18:00\" font=\"[^\"]+ 15\" color=#")))
        << news;
    // Without a camera the form's "拍照" offered the album ("照片", checked in the script), whose
    // picture the form shows.
    const auto form = dumpOf("form-picture");
    EXPECT_TRUE(dumpShows(form, "screen: VQGroupAddCodeViewController")) << form;
    EXPECT_FALSE(dumpShows(form, "resource=\"addphoto\"")) << "the picked picture in place of the button's own";
}

} // namespace
} // namespace dv::sim::testing
