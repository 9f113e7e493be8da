// The script language and the command line: what is read, and the one-line messages for what is
// not.
#include "tools/sim/RunnerOptions.h"
#include "tools/sim/Script.h"
#include "tools/sim/Tour.h"
#include "tools/sim/internal/Verbs.h"

#include <gtest/gtest.h>

namespace dv::sim {
namespace {

TEST(ScriptTest, ReadsWordsQuotedTextsCommentsAndTheRestOfAPushLine)
{
    auto parsed = parseScript("# a comment\n"
                              "\n"
                              "  tap 加粉  \r\n"
                              "wait-for \"点击 重新加载\" 3.5\n"
                              "type \"a \\\"quoted\\\" word\\nand a line\"\n"
                              "push {\"aps\": {\"alert\": \"你好 世界\"}, \"pushType\": 0}\n"
                              "tap-row 2 1\n",
        "s.txt");
    ASSERT_TRUE(parsed.ok()) << parsed.reason();
    const auto& commands = parsed->commands;
    ASSERT_EQ(commands.size(), 5u);
    EXPECT_EQ(commands[0].verb, "tap");
    EXPECT_EQ(commands[0].arguments, std::vector<std::string> { "加粉" });
    EXPECT_EQ(commands[0].line, 3);
    EXPECT_EQ(commands[1].arguments, (std::vector<std::string> { "点击 重新加载", "3.5" }));
    EXPECT_DOUBLE_EQ(commands[1].number(1), 3.5);
    EXPECT_EQ(commands[2].arguments[0], "a \"quoted\" word\nand a line");
    EXPECT_EQ(commands[3].arguments[0], "{\"aps\": {\"alert\": \"你好 世界\"}, \"pushType\": 0}");
    EXPECT_EQ(commands[4].line, 7);
    EXPECT_EQ(commands[4].number(0), 2);
}

TEST(ScriptTest, BadLinesAreNamedByFileAndLineWithWhatIsWrong)
{
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        { "tpa 加粉", "s.txt:1: unknown command \"tpa\"" },
        { "launch\ntap", "s.txt:2: usage: tap TEXT (quote texts with blanks)" },
        { "tap two words", "s.txt:1: usage: tap TEXT" },
        { "wait soon", "s.txt:1: SECONDS of wait is a number, not \"soon\"" },
        { "wait -1", "s.txt:1: SECONDS of wait cannot be negative" },
        { "swipe sideways", "s.txt:1: usage: swipe left|right|up|down" },
        { "tap \"open", "s.txt:1: a quoted text is not closed" },
        { "tap \"a\"b", "s.txt:1: a quoted text must be followed by a blank" },
        { "type \"\\q\"", "s.txt:1: unknown escape \\q" },
        { "tap \"\"", "s.txt:1: TEXT of tap is empty" },
        { "screenshot ../home", "s.txt:1: NAME of screenshot is a file name, without folders" },
        { "push", "s.txt:1: usage: push JSON" },
        { "push [1]", "s.txt:1: the payload of push is not a JSON object" },
        { "clock set tomorrow", "s.txt:1: TIME of clock set is a date and time such as 2026-12-07T10:00:00+08:00, not \"tomorrow\"" },
        { "clock set 2026-13-07T10:00:00Z", "s.txt:1: TIME of clock set is a date and time" },
        { "clock set 2026-12-07T10:00:00", "s.txt:1: TIME of clock set is a date and time" },
        { "clock advance -5", "s.txt:1: SECONDS of clock advance cannot be negative" },
        { "defaults set k {bad", "s.txt:1: JSON of defaults set is a JSON value" },
        { "defaults set k", "s.txt:1: usage: defaults set KEY JSON" },
        { "defaults expect k maybe", "s.txt:1: JSON of defaults expect is a JSON value (\"text\", 3, true, {...}, or absent), not maybe" },
        { "defaults frob k 1", "s.txt:1: unknown command \"defaults\"" },
        { "check tap 加粉", "s.txt:1: \"tap\" has no check form" },
        { "check", "s.txt:1: usage: check VERB" },
        { "check expect", "s.txt:1: usage: check expect TEXT" },
        { "tiles everything", "s.txt:1: NAME of tiles is prospects, directory or information, not \"everything\"" },
        { "mark ../x", "s.txt:1: NAME of mark is a file name, without folders" },
        { "long-press 长按 -1", "s.txt:1: SECONDS of long-press cannot be negative" },
        { "long-press-image", "s.txt:1: usage: long-press-image NAME [SECONDS]" },
        { "state asleep", "s.txt:1: usage: state active|inactive|background" },
        { "expect-push-service colour x", "s.txt:1: usage: expect-push-service WHAT VALUE" },
        { "expect-push-completion maybe", "s.txt:1: usage: expect-push-completion newdata|nodata|failed|none" },
        { "addressbook expect-count many", "s.txt:1: N of addressbook expect-count is a number, not \"many\"" },
        { "addressbook add 王小明", "s.txt:1: usage: addressbook add NAME PHONE" },
        { "permission camera maybe", "s.txt:1: usage: permission addressbook|photos|camera allow|deny|ask" },
        { "prompt-answer camera ask", "s.txt:1: usage: prompt-answer addressbook|photos|camera allow|deny" },
        { "alert-choose 温馨提示", "s.txt:1: usage: alert-choose TITLE BUTTON" },
        { "camera broken", "s.txt:1: usage: camera absent|present" },
        { "relaunch now", "s.txt:1: usage: relaunch" },
        { "pasteboard set", "s.txt:1: usage: pasteboard set TEXT" },
        { "pasteboard expect \"\"", "s.txt:1: TEXT of pasteboard expect is empty" },
        { "expect-prompt phone", "s.txt:1: usage: expect-prompt addressbook|photos|camera" },
        { "check expect-no-prompt", "s.txt:1: usage: check expect-no-prompt addressbook|photos|camera" },
        { "expect-badge -1", "s.txt:1: N of expect-badge cannot be negative" },
        { "tap-image", "s.txt:1: usage: tap-image NAME" },
        { "long-press-at 10 20 soon", "s.txt:1: SECONDS of long-press-at is a number, not \"soon\"" },
        { "expect-not-opened", "s.txt:1: usage: expect-not-opened URL" },
    };
    for (const auto& c : cases) {
        auto parsed = parseScript(c.text, "s.txt");
        ASSERT_FALSE(parsed.ok()) << c.text;
        EXPECT_EQ(parsed.reason().rfind(c.message, 0), 0u) << c.text << " -> " << parsed.reason();
        EXPECT_EQ(parsed.reason().find('\n'), std::string::npos) << "one line: " << parsed.reason();
    }
    auto missing = loadScript("/nonexistent/tour.txt");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.reason(), "/nonexistent/tour.txt: cannot be read");
}

TEST(ScriptTest, TheTourIsAValidScriptAndSetUpCommandsRunBeforeTheLaunch)
{
    auto tour = parseScript(tourScript(), "tour");
    ASSERT_TRUE(tour.ok()) << tour.reason();
    EXPECT_FALSE(tour->commands.empty());
    auto setUp = parseScript("fault home/index.do http\nnetwork off\npermission addressbook deny\nclear-faults\ntap x", "s");
    ASSERT_TRUE(setUp.ok());
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_FALSE(commandNeedsApplication(setUp->commands[i])) << setUp->commands[i].verb;
    EXPECT_TRUE(commandNeedsApplication(setUp->commands[4]));
    // Every command of the language is in the summary that --print-tour shows.
    EXPECT_NE(scriptLanguageSummary().find("#   tap-row ROW [SECTION]"), std::string::npos);
}

// Every verb comes with its help line in the summary; two-word verbs, rest-of-line arguments and
// check forms are read as they are meant.
TEST(ScriptTest, EveryVerbIsDocumentedAndTheNewFormsAreRead)
{
    const auto summary = scriptLanguageSummary();
    std::size_t verbs = 0;
    for (const auto& section : internal::sim::verbSections())
        for (const auto& verb : section.verbs) {
            ++verbs;
            EXPECT_TRUE(verb.run) << verb.name;
            EXPECT_GT(std::string(verb.help).size(), 10u) << verb.name;
            EXPECT_NE(summary.find("#   " + internal::sim::usageOf(verb)), std::string::npos) << verb.name;
            EXPECT_EQ(internal::sim::findVerb(verb.name), &verb) << "one entry per verb: " << verb.name;
        }
    EXPECT_GE(verbs, 55u);

    auto parsed = parseScript("defaults set utoken \"abc def\"\n"
                              "defaults expect settings {\"a\": [1, 2]}\n"
                              "check defaults expect utoken absent\n"
                              "check expect-title 详情\n"
                              "clock set 2026-12-07T10:00:00+08:00\n"
                              "clock advance 28801\n"
                              "long-press-at 10 20 1.5\n"
                              "alert-choose 收到一条推送消息 去查看\n"
                              "expect-push-service channel \"Publish channel\"\n"
                              "addressbook add 王小明 13805550101\n"
                              "state inactive\n"
                              "relaunch\n",
        "s.txt");
    ASSERT_TRUE(parsed.ok()) << parsed.reason();
    const auto& commands = parsed->commands;
    ASSERT_EQ(commands.size(), 12u);
    EXPECT_EQ(commands[0].verb, "defaults set");
    EXPECT_EQ(commands[0].arguments, (std::vector<std::string> { "utoken", "\"abc def\"" })) << "the JSON as written";
    EXPECT_EQ(commands[1].arguments, (std::vector<std::string> { "settings", "{\"a\": [1, 2]}" }));
    EXPECT_TRUE(commands[2].check);
    EXPECT_EQ(commands[2].verb, "defaults expect");
    EXPECT_EQ(commands[2].arguments, (std::vector<std::string> { "utoken", "absent" }));
    EXPECT_TRUE(commands[3].check);
    EXPECT_EQ(commands[3].verb, "expect-title");
    EXPECT_FALSE(commands[4].check);
    EXPECT_EQ(commands[4].verb, "clock set");
    EXPECT_DOUBLE_EQ(commands[6].number(2), 1.5);
    EXPECT_EQ(commands[7].arguments, (std::vector<std::string> { "收到一条推送消息", "去查看" }));
    EXPECT_EQ(commands[8].arguments[1], "Publish channel");
    EXPECT_EQ(commands[9].verb, "addressbook add");
    // What may come before the launch: the device's stores and settings, the clock, a relaunch.
    for (std::size_t i : { 0, 1, 2, 4, 5, 9, 11 })
        EXPECT_FALSE(commandNeedsApplication(commands[i])) << commands[i].source;
    for (std::size_t i : { 3, 6, 7, 8, 10 })
        EXPECT_TRUE(commandNeedsApplication(commands[i])) << commands[i].source;
}

TEST(RunnerOptionsTest, ReadsEveryOption)
{
    auto parsed = parseRunnerOptions({ "--headless", "--script", "s.txt", "--out", "shots", "--port", "0", "--home", "h",
        "--scale", "1.5", "--screen", "320x568", "--fault", "home/index.do=http:502", "--fault", "*=delay:1", "--offline",
        "--shots", "all", "--tiles", "directory", "--verbose", "--reproducible" });
    ASSERT_TRUE(parsed.ok()) << parsed.reason();
    const auto& options = *parsed;
    EXPECT_EQ(options.mode, RunMode::Headless);
    EXPECT_EQ(options.scriptPath, "s.txt");
    EXPECT_EQ(options.outputFolder, "shots");
    EXPECT_EQ(options.home, "h");
    EXPECT_EQ(options.scale, 1.5);
    EXPECT_EQ(options.screenWidth, 320);
    EXPECT_EQ(options.screenHeight, 568);
    ASSERT_EQ(options.faults.size(), 2u);
    EXPECT_EQ(options.faults[0].first, "home/index.do");
    EXPECT_EQ(options.faults[0].second.httpStatus, 502);
    EXPECT_EQ(options.faults[1].second.kind, dv::devserver::FaultKind::Delay);
    EXPECT_TRUE(options.offline);
    EXPECT_EQ(options.shots, ShotPolicy::All);
    EXPECT_EQ(options.tiles, "directory");
    EXPECT_TRUE(options.verbose);
    EXPECT_TRUE(options.reproducible);

    auto remote = parseRunnerOptions({ "--window", "--server", "http://10.0.0.7:8092/DV/" });
    ASSERT_TRUE(remote.ok()) << remote.reason();
    EXPECT_EQ(remote->mode, RunMode::Window);
    EXPECT_EQ(remote->serverHost, "10.0.0.7");
    EXPECT_EQ(remote->serverPort, 8092);
    EXPECT_FALSE(remote->reproducible);
    auto plain = parseRunnerOptions({ "--server", "http://localhost" });
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(plain->serverPort, 80);
}

TEST(RunnerOptionsTest, RefusesBadCommandLinesWithOneLine)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        { { "--frobnicate" }, "unknown argument --frobnicate" },
        { { "--script" }, "--script takes a file of driver commands" },
        { { "--headless", "--window" }, "--headless and --window exclude each other" },
        { { "--scale", "zero" }, "--scale takes a number from 0.5 to 4" },
        { { "--scale", "9" }, "--scale takes a number from 0.5 to 4" },
        { { "--screen", "375" }, "--screen takes WIDTHxHEIGHT" },
        { { "--screen", "10x10" }, "--screen takes WIDTHxHEIGHT" },
        { { "--port", "70000" }, "--port takes a port number from 0 to 65535" },
        { { "--fault", "home/index.do" }, "--fault home/index.do: PATH=FAULT expected" },
        { { "--fault" }, "--fault takes PATH=FAULT, such as home/index.do=http:500" },
        { { "--fault", "home/index.do=explode" }, "--fault home/index.do=explode: " },
        { { "--server", "https://example.org/DV/" }, "--server https://example.org/DV/: only http://HOST:PORT/DV/" },
        { { "--server", "http://h:0/DV/" }, "--server http://h:0/DV/: the port is not a number from 1 to 65535" },
        { { "--server", "http://h:8092/other/" }, "--server http://h:8092/other/: the application's paths live under /DV/" },
        { { "--server", "http://:8092/" }, "--server http://:8092/: no host" },
        { { "--server", "http://h/", "--port", "8092" }, "--port is the local server's" },
        { { "--server", "http://h/", "--fault", "*=html" }, "--fault switches the local server's faults" },
        { { "--shots", "some" }, "--shots takes named or all" },
        { { "--tiles", "everything" }, "--tiles everything: the sets are prospects, directory and information" },
        { { "--tiles" }, "--tiles takes the name of a set of home tiles" },
        { { "--server", "http://h/", "--tiles", "directory" }, "--tiles chooses the local server's home tiles" },
    };
    for (const auto& [arguments, message] : cases) {
        auto parsed = parseRunnerOptions(arguments);
        ASSERT_FALSE(parsed.ok()) << arguments.front();
        EXPECT_EQ(parsed.reason().rfind(message, 0), 0u) << arguments.front() << " -> " << parsed.reason();
        EXPECT_EQ(parsed.reason().find('\n'), std::string::npos) << parsed.reason();
    }
}

} // namespace
} // namespace dv::sim
