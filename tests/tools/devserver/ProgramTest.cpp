// The dovrelta-devserver program: flags, the announced address, faults from the command line and
// a clean stop on SIGTERM.
#include "DevServerTesting.h"

#include "platform/testing/ChildProcess.h"

#include <csignal>

namespace dv::devserver::testing {
namespace {

// The built server, started with `arguments`.
std::unique_ptr<dv::testing::ChildProcess> startProgram(const std::vector<std::string>& arguments)
{
    auto program = std::make_unique<dv::testing::ChildProcess>();
    if (!program->start(DV_DEVSERVER_PROGRAM, arguments))
        return nullptr;
    return program;
}

TEST(ProgramTest, AnnouncesItsAddressAppliesCommandLineFaultsAndStopsOnSigterm)
{
    TemporaryFolder folder;
    auto program = startProgram({ "--port", "0", "--data", folder.path() + "/data", "--fault", "home/index.do=status:5:停机维护" });
    ASSERT_TRUE(program);
    std::string line = program->readLine(20).value_or("");
    auto start = line.find("http://");
    ASSERT_NE(start, std::string::npos) << line;
    std::string base = line.substr(start, line.find(' ', start) - start);
    ASSERT_TRUE(base.ends_with("/DV/")) << line;

    Json refused = httpPostForm(base + "home/index.do", {}).json();
    EXPECT_EQ(refused["status"], 5);
    EXPECT_EQ(refused["msg"], "停机维护");
    EXPECT_EQ(httpPostForm(base + "client/login.do", { { "clientId", "abc" } }).json()["status"], 1);

    program->sendSignal(SIGTERM);
    EXPECT_EQ(program->waitForExit(20), 0);
}

TEST(ProgramTest, TheStoreLimitComesFromTheCommandLine)
{
    TemporaryFolder folder;
    auto program = startProgram({ "--port", "0", "--data", folder.path() + "/data", "--no-codes", "--store-limit", "1K" });
    ASSERT_TRUE(program);
    std::string line = program->readLine(20).value_or("");
    auto start = line.find("http://");
    ASSERT_NE(start, std::string::npos) << line;
    const std::string base = line.substr(start, line.find(' ', start) - start);

    const std::string clientId = "a1b2c3d4e5f60718293a4b5c6d7e8f90";
    const std::string token = httpPostForm(base + "client/login.do", { { "clientId", clientId } }).json().value("token", "");
    std::string picture = samplePng(1);
    picture.resize(600, '\0'); // trailing bytes after the end of the PNG are ignored by decoders
    auto upload = [&](const std::string& account) {
        return httpPostMultipart(base + "qrcode/saveCode.do",
            { { "clientId", clientId }, { "token", token }, { "title", "群" }, { "area_id", "310100" }, { "type", "3" },
                { "description", "介绍" }, { "account", account } },
            { { "code", "1111.png", "jpg", picture } })
            .json();
    };
    EXPECT_EQ(upload("xl_first")["status"], 1);
    Json second = upload("xl_second");
    EXPECT_EQ(second["status"], 0);
    EXPECT_EQ(second["msg"], "服务器的存储空间已达上限，暂时无法上传");

    program->sendSignal(SIGTERM);
    EXPECT_EQ(program->waitForExit(20), 0);
}

TEST(ProgramTest, RejectsBadArguments)
{
    for (std::vector<std::string> arguments : { std::vector<std::string> { "--port", "99999" }, { "--fault", "home/index.do=explode" },
             { "--fault", "noequals" }, { "--unknown" }, { "--data" }, { "--store-limit", "0" }, { "--store-limit", "12X" },
             { "--store-limit", "1KB" }, { "--store-limit", "99999999999G" } }) {
        auto program = startProgram(arguments);
        ASSERT_TRUE(program);
        EXPECT_EQ(program->waitForExit(20), 2) << arguments[0];
    }
}

} // namespace
} // namespace dv::devserver::testing
