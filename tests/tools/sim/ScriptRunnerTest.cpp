// The script runner acting on a small interface of its own (a list of forty rows, each opening a
// screen with a text field, and a footer below the last row opening a screen of tools: a toast, a
// picture button, a long press, two alerts at once, a link, an address-book request, the date, an
// hour's timer, a number field, a remote picture and a label whose edit menu copies it): rows out
// of sight are scrolled to, texts typed into the focused field, screens left through their back
// button, pictures and dumps written, a failing command named with its line and followed by a
// picture of the screen as it was; and every command of the language that acts on the
// application, its device and its clock (the edit menu's commands tapped by their titles), with
// `check` failures summed up at the end.
#include "tools/sim/ScriptRunner.h"
#include "tools/sim/StepWriter.h"

#include "SimTesting.h"

#include "tools/devserver/Server.h"

#include "platform/base/Base.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/base/Scope.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/AVCaptureDevice.h"
#include "platform/system/AddressBook.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/system/UIPasteboard.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/Pixels.h"
#include "platform/testing/UIDriver.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIKit.h"
#include "platform/ui/ViewSnapshot.h"
#include "ui/images/UIImageViewWebCache.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"
#include "ui/toolkit/views/UICopyLabel.h"

#include <ctime>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

// Two screens of a small interface: a list of forty rows; a row opens a red screen with a field.
class SimTestRowScreen : public UIViewController {
    DV_CLASS(SimTestRowScreen, UIViewController)

    Ref<UITextField> field;
    void viewDidLoad() override
    {
        UIViewController::viewDidLoad();
        view()->setBackgroundColor(UIColor::colorWithRed(1, 0, 0, 1));
        field = alloc<UITextField>()->initWithFrame(CGRectMake(20, 100, 300, 40));
        field->setPlaceholder("名字"_ns);
        field->setBackgroundColor(UIColor::whiteColor());
        view()->addSubview(field);
        // A page that goes on below the screen, with a label at its end.
        auto page = alloc<UIScrollView>()->initWithFrame(CGRectMake(0, 200, 375, 300));
        page->setContentSize(CGSizeMake(375, 1500));
        auto end = alloc<UILabel>()->initWithFrame(CGRectMake(20, 1400, 200, 30));
        end->setText("页底"_ns);
        page->addSubview(end);
        view()->addSubview(page);
    }
};

// What a button or a recogniser of the small interface does.
class SimTestAction : public NSObject {
    DV_CLASS(SimTestAction, NSObject)

    std::function<void(const id& sender)> run;
    static Ref<SimTestAction> make(std::function<void(const id& sender)> run)
    {
        auto action = alloc<SimTestAction>();
        action->run = std::move(run);
        return action;
    }
};

// Where the remote picture of the tools screen comes from (a slow server of the test's own).
std::string s_pictureURL;

// The tools: each row does one thing and says so in the label at the top.
class SimTestToolsScreen : public UIViewController, public UIAlertViewDelegate {
    DV_CLASS(SimTestToolsScreen, UIViewController)

    Ref<UILabel> said;
    Ref<UIImageView> picture;
    std::vector<Ref<SimTestAction>> actions;
    Ref<NSTimer> hour;

    void say(const std::string& text) { said->setText(NSString::fromUTF8(text)); }
    Ref<SimTestAction> keep(std::function<void(const id&)> run)
    {
        actions.push_back(SimTestAction::make(std::move(run)));
        return actions.back();
    }
    void addButton(CGFloat y, const char* title, std::function<void()> run, const char* image = nullptr)
    {
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setFrame(CGRectMake(20, y, image ? 40 : 200, 36));
        if (image)
            button->setImage(UIImage::imageNamed(NSString::fromUTF8(image)), UIControlStateNormal);
        else
            button->setTitle(NSString::fromUTF8(title), UIControlStateNormal);
        button->setTitleColor(UIColor::blackColor(), UIControlStateNormal);
        button->addTarget(keep([run](const id&) { run(); }), "run:", UIControlEventTouchUpInside);
        view()->addSubview(button);
    }

    void viewDidLoad() override
    {
        UIViewController::viewDidLoad();
        setTitle("工具"_ns);
        view()->setBackgroundColor(UIColor::whiteColor());
        said = alloc<UILabel>()->initWithFrame(CGRectMake(20, 70, 335, 30));
        view()->addSubview(said);
        Weak<SimTestToolsScreen> weak = self<SimTestToolsScreen>();
        auto me = [weak] { return weak.lock(); };
        addButton(105, "提示", [me] { PHProgressHUD::showError("已复制"_ns, me()->view()); });
        addButton(145, nullptr, [me] { me()->say("图片按钮已按"); }, "next");
        auto press = alloc<UILabel>()->initWithFrame(CGRectMake(20, 185, 200, 36));
        press->setText("长按"_ns);
        press->setUserInteractionEnabled(true);
        auto recogniser = alloc<UILongPressGestureRecognizer>()->initWithTarget(keep([me](const id& sender) {
            if (auto r = dv::as<UIGestureRecognizer>(sender); r && r->state() == UIGestureRecognizerStateBegan)
                me()->say("长按了");
        }), "run:");
        dv::as<UILongPressGestureRecognizer>(recogniser)->setMinimumPressDuration(1.5);
        press->addGestureRecognizer(recogniser);
        view()->addSubview(press);
        addButton(225, "两个提醒", [me] {
            for (auto title : { "甲", "乙" })
                alloc<UIAlertView>()->initWithTitle(NSString::fromUTF8(title), nil, me(), "好"_ns, {})->show();
        });
        addButton(265, "打开网址", [] { UIApplication::sharedApplication()->openURL(NSURL::URLWithString("http://example.org/page"_ns)); });
        addButton(305, "通讯录", [me] {
            ABAddressBookRequestAccessWithCompletion(ABAddressBookCreate(), [me](bool granted, const Ref<NSError>&) {
                dispatch_async(dispatch_get_main_queue(), [me, granted] {
                    if (auto screen = me())
                        screen->say(granted ? "允许" : "拒绝");
                });
            });
        });
        addButton(345, "现在", [me] {
            const std::time_t unix = static_cast<std::time_t>(NSDate::date()->timeIntervalSinceReferenceDate() + 978307200);
            std::tm parts {};
            gmtime_r(&unix, &parts);
            me()->say("今年是" + std::to_string(parts.tm_year + 1900));
        });
        addButton(385, "加载图片", [me] { ri_setImageWithURL(me()->picture, NSURL::URLWithString(NSString::fromUTF8(s_pictureURL))); });
        auto field = alloc<UITextField>()->initWithFrame(CGRectMake(20, 425, 200, 36));
        field->setPlaceholder("号码"_ns);
        field->setKeyboardType(UIKeyboardTypeNumberPad);
        view()->addSubview(field);
        picture = alloc<UIImageView>()->initWithFrame(CGRectMake(250, 105, 100, 100));
        view()->addSubview(picture);
        auto number = alloc<UICopyLabel>()->initWithFrame(CGRectMake(250, 225, 105, 30));
        number->setText("编号A1"_ns);
        view()->addSubview(number);
        hour = NSTimer::scheduledTimerWithTimeInterval(3600, false, [me](const Ref<NSTimer>&) {
            if (auto screen = me())
                screen->say("一小时到了");
        });
    }
    bool alertViewClickedButtonAtIndex(const Ref<UIAlertView>& alert, NSInteger) override
    {
        say(dv::str(alert->title()) + "已答");
        return true;
    }
};

class SimTestListScreen : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
    DV_CLASS(SimTestListScreen, UIViewController)

    void viewDidLoad() override
    {
        UIViewController::viewDidLoad();
        setTitle("列表"_ns);
        auto table = alloc<UITableView>()->initWithFrame(view()->bounds());
        table->setDataSource(self<SimTestListScreen>());
        table->setDelegate(self<SimTestListScreen>());
        view()->addSubview(table);
    }
    std::optional<NSInteger> numberOfSectionsInTableView(const Ref<UITableView>&) override { return 2; }
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger section) override { return section == 0 ? 40 : 0; }
    std::optional<CGFloat> tableViewHeightForFooterInSection(const Ref<UITableView>&, NSInteger section) override
    {
        return section == 1 ? 80 : 0;
    }
    // Made only when it comes into sight, as a list's footers are.
    Ref<UIView> tableViewViewForFooterInSection(const Ref<UITableView>&, NSInteger section) override
    {
        if (section != 1)
            return nil;
        auto footer = alloc<UIView>()->initWithFrame(CGRectMake(0, 0, 375, 80));
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setFrame(CGRectMake(20, 20, 200, 40));
        button->setTitle("页脚按钮"_ns, UIControlStateNormal);
        button->setTitleColor(UIColor::blackColor(), UIControlStateNormal);
        m_open = SimTestAction::make([this](const id&) { navigationController()->pushViewController(alloc<SimTestToolsScreen>()->init(), true); });
        button->addTarget(m_open, "run:", UIControlEventTouchUpInside);
        footer->addSubview(button);
        return footer;
    }
    Ref<SimTestAction> m_open;
    Ref<UITableViewCell> tableViewCellForRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>& path) override
    {
        auto cell = alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleDefault, "row"_ns);
        cell->textLabel()->setText(NSString::stringWithFormat("第%d行", static_cast<int>(path->row())));
        return cell;
    }
    bool tableViewDidSelectRowAtIndexPath(const Ref<UITableView>&, const Ref<NSIndexPath>& path) override
    {
        auto screen = alloc<SimTestRowScreen>()->init();
        screen->setTitle(NSString::stringWithFormat("第%d行", static_cast<int>(path->row())));
        navigationController()->pushViewController(screen, true);
        return true;
    }
};

DV_DEFINE_CLASS(SimTestRowScreen)
DV_DEFINE_CLASS(SimTestListScreen)
DV_DEFINE_CLASS(SimTestToolsScreen)
DV_DEFINE_CLASS_WITH(SimTestAction, b)
{
    b.method("run:", "v24@0:8@16", [](SimTestAction& self, std::span<const id> args) -> id {
        if (self.run)
            self.run(args.empty() ? nil : args[0]);
        return nil;
    });
}

// The small interface's delegate: its window, and remote notifications that set the badge from the
// payload's "badge" and, when the payload says "answer", call the completion handler.
class SimTestDelegate : public UIApplicationDelegate {
public:
    explicit SimTestDelegate(Ref<UIWindow> window) : m_window(std::move(window)) { }
    Ref<UIWindow> window() const override { return m_window; }
    bool applicationDidReceiveRemoteNotificationFetchCompletionHandler(const Ref<UIApplication>& application,
        const Ref<NSDictionary>& payload, std::function<void(UIBackgroundFetchResult)> completion) override
    {
        if (auto badge = dv::as<NSNumber>(payload->objectForKey("badge"_ns)))
            application->setApplicationIconBadgeNumber(badge->integerValue());
        if (payload->objectForKey("answer"_ns))
            completion(UIBackgroundFetchResultNewData);
        return true;
    }

private:
    Ref<UIWindow> m_window;
};

namespace dv::sim {
namespace {

class ScriptRunnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UIApplication::resetSharedApplication();
        m_folder = std::filesystem::temp_directory_path() / ("dv-sim-runner-" + std::to_string(::getpid()));
        m_home = m_folder.string() + "-home";
        std::filesystem::remove_all(m_folder);
        std::filesystem::remove_all(m_home);
        if (const char* home = std::getenv("DOVRELTA_HOME"))
            m_previousHome = home;
        ::setenv("DOVRELTA_HOME", m_home.c_str(), 1);
        NSUserDefaults::resetStandardUserDefaults();
        auto opened = m_steps.open(m_folder.string());
        ASSERT_TRUE(opened.ok()) << opened.reason();
    }
    void TearDown() override
    {
        if (m_window)
            m_window->setHidden(true);
        m_window = nil;
        UIApplication::resetSharedApplication();
        NSUserDefaults::resetStandardUserDefaults();
        dv::PrivacyAccess::reset();
        dv::Cameras::reset();
        UIPasteboard::generalPasteboard()->setString(nil);
        std::filesystem::remove_all(m_folder);
        std::filesystem::remove_all(m_home);
        if (m_previousHome)
            ::setenv("DOVRELTA_HOME", m_previousHome->c_str(), 1);
        else
            ::unsetenv("DOVRELTA_HOME");
    }

    ScriptEnvironment environment()
    {
        return { .server = m_server.get(),
            .launch = [this]() -> dv::Result<void> {
                ++m_launches;
                m_window = alloc<UIWindow>()->initWithFrame(CGRectMake(0, 0, 375, 667));
                m_window->setRootViewController(alloc<UINavigationController>()->initWithRootViewController(alloc<SimTestListScreen>()->init()));
                UIApplication::sharedApplication()->keepDelegate(std::make_shared<SimTestDelegate>(m_window));
                m_window->makeKeyAndVisible();
                return {};
            },
            .steps = &m_steps,
            .shots = ShotPolicy::Named,
            .findTimeout = 2,
            .say = [this](const std::string& line) { m_said.push_back(line); } };
    }

    bool run(const std::string& text, std::string& error)
    {
        auto parsed = parseScript(text, "t.txt");
        if (!parsed) {
            error = parsed.reason();
            return false;
        }
        ScriptRunner runner(environment());
        auto ran = runner.run(*parsed);
        if (!ran)
            error = ran.reason();
        return ran.ok();
    }

    static std::string read(const std::filesystem::path& path)
    {
        std::ifstream file(path);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    std::string dumpOf(const char* file) const { return read(m_folder / file); }

    std::filesystem::path m_folder;
    std::string m_home;
    std::optional<std::string> m_previousHome;
    StepWriter m_steps;
    Ref<UIWindow> m_window;
    std::unique_ptr<dv::devserver::Server> m_server;
    int m_launches = 0;
    std::vector<std::string> m_said;
};

TEST_F(ScriptRunnerTest, ActsOnTheInterfaceAndLeavesAPictureAndADumpPerScreenshot)
{
    std::string error;
    ASSERT_TRUE(run("expect-title 列表\n"
                    "tap-row 30\n"
                    "expect-title 第30行\n"
                    "focus 名字\n"
                    "type 小明\n"
                    "screenshot row\n"
                    "back\n"
                    "expect-screen SimTestListScreen\n"
                    "tap 第31行\n"
                    "expect-title 第31行\n"
                    "screenshot row\n"
                    "expect-no 页底\n"
                    "tap 页底\n"
                    "expect 页底\n"
                    "open SimTestRowScreen 打开的\n"
                    "expect-title 打开的\n"
                    "back\n"
                    "expect-title 第31行\n",
                    error))
        << error;
    EXPECT_EQ(m_launches, 1);
    ASSERT_EQ(m_steps.pictures().size(), 2u);
    EXPECT_EQ(m_steps.pictures()[0], (m_folder / "01-row.png").string());
    EXPECT_EQ(m_steps.pictures()[1], (m_folder / "02-row.png").string()) << "a name used twice is not overwritten";

    const std::string dump = read(m_folder / "01-row.txt");
    EXPECT_NE(dump.find("title: \"第30行\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("text=\"小明\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("(keyboard)"), std::string::npos) << "the keyboard is up while the field has the focus";
    // Each dump ends with what a person felt since the step before: the back button and the row
    // tapped between the two pictures are four touches, each with its time to the frame.
    EXPECT_NE(dump.find("\nlongest main-thread turn "), std::string::npos) << dump;
    const std::string second = read(m_folder / "02-row.txt");
    EXPECT_NE(second.find(" touches: touch to frame 99th percentile "), std::string::npos) << second;
    EXPECT_GE(m_steps.touchToFrameTimes().size(), 4u);
    EXPECT_NE(m_steps.summary().find("(02-row)"), std::string::npos) << m_steps.summary();

    // The picture shows the red screen under the bar and the white field, and the keyboard.
    auto read = dv::sim::testing::readPicture(m_folder / "01-row.png");
    ASSERT_TRUE(read);
    const auto& pixels = *read;
    EXPECT_EQ(pixels.sizeInPoints().width, 375);
    EXPECT_TRUE(dv::testing::near(pixels.at(5, 300), { 255, 0, 0, 255 })) << dv::testing::show(pixels.at(5, 300));
    EXPECT_TRUE(dv::testing::near(pixels.at(300, 110), { 255, 255, 255, 255 })) << dv::testing::show(pixels.at(300, 110));
    EXPECT_FALSE(dv::testing::near(pixels.at(5, 660), { 255, 0, 0, 255 })) << "the keyboard covers the bottom";
}

TEST_F(ScriptRunnerTest, TheDumpShowsTheFocusedFieldsSelectionAndFocusPutsTheCaretAtTheEnd)
{
    // The field (20, 100; 300 × 40) shows its text from its left edge: a tap a little right of
    // the second character's end puts the caret between the second and the third.
    const CGFloat two = dv::measureText("周末"_ns, UIFont::systemFontOfSize(17), 0, 1).width;
    const std::string x = std::to_string(static_cast<int>(20 + two + 2));
    std::string error;
    ASSERT_TRUE(run("tap-row 30\n"
                    "focus 名字\n"
                    "type 周末徒步\n"
                    "screenshot typed\n"
                    "tap-at " + x + " 120\n"
                    "screenshot tapped\n"
                    "type X\n"
                    "screenshot inserted\n"
                    "hide-keyboard\n"
                    "focus 周末X徒步\n"
                    "screenshot focused\n",
                    error))
        << error;
    const auto line = [](const std::string& dump) {
        const auto at = dump.find("UITextField");
        return at == std::string::npos ? std::string() : dump.substr(at, dump.find('\n', at) - at);
    };
    EXPECT_NE(line(dumpOf("01-typed.txt")).find("text=\"周末徒步\" placeholder=\"名字\" bg=#ffffff editing selected=4,0"), std::string::npos)
        << line(dumpOf("01-typed.txt"));
    EXPECT_NE(line(dumpOf("02-tapped.txt")).find("editing selected=2,0"), std::string::npos) << line(dumpOf("02-tapped.txt"));
    EXPECT_NE(line(dumpOf("03-inserted.txt")).find("text=\"周末X徒步\" placeholder=\"名字\" bg=#ffffff editing selected=3,0"), std::string::npos)
        << line(dumpOf("03-inserted.txt"));
    EXPECT_NE(line(dumpOf("04-focused.txt")).find("editing selected=5,0"), std::string::npos) << line(dumpOf("04-focused.txt"));
}

TEST_F(ScriptRunnerTest, APictureWaitsUntilAListPulledPastItsEndHasBouncedBack)
{
    // Pulled 150 points past its top and let go: the list springs back before the picture.
    std::string error;
    ASSERT_TRUE(run("drag 187 200 0 300\nscreenshot pulled\n", error)) << error;
    const std::string dump = read(m_folder / "01-pulled.txt");
    const auto table = dump.find("UITableView");
    ASSERT_NE(table, std::string::npos) << dump;
    const std::string line = dump.substr(table, dump.find('\n', table) - table);
    EXPECT_EQ(line.find("offset="), std::string::npos) << line;
    auto list = dv::testing::UIDriver().find<UITableView>();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->contentOffset().y, 0);
    EXPECT_FALSE(dv::testing::UIDriver().isAnyScrollViewMoving());
}

TEST_F(ScriptRunnerTest, AFailingCommandIsNamedWithItsLineAndLeavesAPictureOfTheScreen)
{
    std::string error;
    EXPECT_FALSE(run("tap-row 2\n\nwait-for 不存在 0.2\n", error));
    EXPECT_EQ(error, "t.txt:3: wait-for 不存在 0.2: no visible view shows \"不存在\" after 0.2 s");
    ASSERT_EQ(m_steps.pictures().size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(m_folder / "01-failed.png"));
    EXPECT_NE(read(m_folder / "01-failed.txt").find("title: \"第2行\""), std::string::npos);

    const std::pair<const char*, const char*> failures[] = {
        { "tap-row 99", "t.txt:1: tap-row 99: the list has 40 rows in section 0 (waited 2 s)" },
        { "tap 第99行", "t.txt:1: tap 第99行: no view on the screen shows \"第99行\" (waited 2 s)" },
        { "back", "t.txt:1: back: there is no screen to go back to" },
        { "type 字", "t.txt:1: type 字: no text field or text view has the focus" },
        { "fault * html", "t.txt:1: fault * html: faults are the local server's; this run talks to another server" },
        { "push [1]", "t.txt:1: the payload of push is not a JSON object" },
        { "launch\nlaunch", "t.txt:2: launch: the application runs already" },
        { "open NoSuchScreen", "t.txt:1: open NoSuchScreen: no screen class NoSuchScreen is in the application" },
        { "alert 确定", "t.txt:1: alert 确定: no alert shows (waited 2 s)" },
    };
    for (const auto& [script, message] : failures) {
        TearDown();
        SetUp();
        std::string failure;
        EXPECT_FALSE(run(script, failure));
        EXPECT_EQ(failure, message);
    }
}

// The commands that act on the interface and the application: scrolling both ways, a footer made
// only in sight, a picture button, a long press of its own length, two alerts answered in turn, a
// link, the clock moved and set, a toast in the next step's dump, the number keys in the dump,
// marks, the application's states, pushes with their completion handler and the badge; and
// `check` failures that do not stop the run but fail it at its end.
TEST_F(ScriptRunnerTest, CommandsActOnTheInterfaceTheApplicationAndItsClock)
{
    std::string error;
    EXPECT_FALSE(run("scroll 0 300\n"
                     "screenshot scrolled\n"
                     "scroll 0 -300\n"
                     "screenshot back\n"
                     "tap 页脚按钮\n"
                     "expect-title 工具\n"
                     "tap-image next\n"
                     "expect 图片按钮已按\n"
                     "long-press 长按 0.3\n"
                     "expect-no 长按了\n"
                     "long-press 长按 2.5\n"
                     "expect 长按了\n"
                     "tap 两个提醒\n"
                     "alert-choose 乙 好\n"
                     "alert-choose 甲 好\n"
                     "expect 甲已答\n"
                     "expect-not-opened example.org\n"
                     "tap 打开网址\n"
                     "expect-opened example.org/page\n"
                     "clock advance 3601\n"
                     "expect 一小时到了\n"
                     "clock set 2031-05-01T08:00:00+08:00\n"
                     "tap 现在\n"
                     "expect 今年是2031\n"
                     "tap 提示\n"
                     "wait-gone 已复制\n"
                     "focus 号码\n"
                     "screenshot keys\n"
                     "mark middle\n"
                     "state inactive\n"
                     "state background\n"
                     "state active\n"
                     "push {\"badge\": 3, \"answer\": 1}\n"
                     "expect-push-completion newdata\n"
                     "expect-badge 3\n"
                     "push {\"badge\": 4}\n"
                     "expect-push-completion none\n"
                     "check expect 不存在的文字\n"
                     "check expect-badge 9\n"
                     "check expect-badge 4\n"
                     "expect-title 工具\n"
                     "tap 编号A1\n"
                     "tap 拷贝\n"
                     "expect-no 拷贝\n"
                     "pasteboard expect 编号A1\n",
        error));
    EXPECT_EQ(error, "2 of 3 checks failed: t.txt:38, t.txt:39");
    EXPECT_EQ(m_said, (std::vector<std::string> { "mark middle", "check failed: t.txt:38: check expect 不存在的文字: no visible view shows \"不存在的文字\"",
                          "check failed: t.txt:39: check expect-badge 9: the badge is 4" }));
    EXPECT_TRUE(std::filesystem::exists(m_folder / "middle.mark"));
    EXPECT_EQ(UIApplication::sharedApplication()->applicationState(), UIApplicationStateActive);

    EXPECT_NE(dumpOf("01-scrolled.txt").find("offset=0,300"), std::string::npos) << "300 points further down";
    EXPECT_EQ(dumpOf("02-back.txt").find("offset="), std::string::npos) << "and back at the top";
    // The toast came and went between two steps: the next step's dump tells of it.
    const std::string keys = dumpOf("03-keys.txt");
    EXPECT_NE(keys.find("toasts since the last step:\n"), std::string::npos) << keys;
    EXPECT_NE(keys.find("s  toast \"已复制\"\n"), std::string::npos) << keys;
    EXPECT_NE(keys.find("placeholder=\"号码\""), std::string::npos);
    EXPECT_NE(keys.find("keyboard=number-pad"), std::string::npos) << keys;
    EXPECT_NE(keys.find("resource=\"next\""), std::string::npos) << keys;
    EXPECT_EQ(dumpOf("02-back.txt").find("toasts since"), std::string::npos) << "no toast before it";
}

// What the platform keeps around the application: user defaults, pasteboard, address book, the
// answers to permission prompts (denied in the settings before the launch: no prompt; refused at
// the prompt: not asked again after a relaunch), the camera, and the local server's tiles; a
// relaunch starts the application again.
TEST_F(ScriptRunnerTest, TheDeviceKeepsItsStoresAndAnswersAcrossARelaunch)
{
    auto started = dv::devserver::Server::start({ .dataFolder = m_home + "/server" });
    ASSERT_TRUE(started) << started.reason();
    m_server = std::move(started).value();
    std::string error;
    EXPECT_FALSE(run("permission addressbook deny\n"
                     "defaults set 设置 {\"a\": [1, 2]}\n"
                     "pasteboard set 复制的文字\n"
                     "addressbook add 王小明 13805550101\n"
                     "camera absent\n"
                     "tiles directory\n"
                     "launch\n"
                     "tap 页脚按钮\n"
                     "tap 通讯录\n"
                     "wait-for 拒绝\n"
                     "expect-no-prompt addressbook\n"
                     "permission addressbook ask\n"
                     "prompt-answer addressbook deny\n"
                     "relaunch\n"
                     "expect-title 列表\n"
                     "tap 页脚按钮\n"
                     "tap 通讯录\n"
                     "wait-for 拒绝\n"
                     "expect-prompt addressbook\n"
                     "relaunch\n"
                     "expect-no-prompt addressbook\n"
                     "tap 页脚按钮\n"
                     "tap 通讯录\n"
                     "wait-for 拒绝\n"
                     "expect-no-prompt addressbook\n"
                     "defaults expect 设置 {\"a\":[1,2]}\n"
                     "check defaults expect 设置 absent\n"
                     "defaults set 设置 null\n"
                     "defaults expect 设置 absent\n"
                     "pasteboard expect 复制的文字\n"
                     "addressbook expect-count 1\n"
                     "permission addressbook allow\n"
                     "tap 通讯录\n"
                     "wait-for 允许\n"
                     "check pasteboard expect 别的\n",
        error));
    EXPECT_EQ(error, "2 of 2 checks failed: t.txt:27, t.txt:35");
    EXPECT_EQ(m_launches, 3);
    EXPECT_FALSE(dv::Cameras::isPresent(dv::CameraPosition::rear));
    EXPECT_FALSE(dv::Cameras::isPresent(dv::CameraPosition::front));
    EXPECT_EQ(m_server->tileSet(), "directory");
    EXPECT_EQ(dv::PrivacyAccess::promptCount(dv::PrivacyService::addressBook), 1) << "asked once in three launches";
    EXPECT_EQ(m_said.back(), "check failed: t.txt:35: check pasteboard expect 别的: the pasteboard holds \"复制的文字\"");

    // Without the local server, its tiles and faults cannot be switched.
    m_server->stop();
    m_server.reset();
    EXPECT_FALSE(run("tiles information\n", error));
    EXPECT_EQ(error, "t.txt:1: tiles information: home tiles are the local server's; this run talks to another server");
}

// The network switched off and on again: the status area of a reproducible run's pictures has
// empty signal dots and no Wi-Fi fan while it is off, and is as before once it is on again.
TEST_F(ScriptRunnerTest, TheStatusAreaShowsNoServiceWhileTheNetworkIsOff)
{
    dv::setStillStatusBar("09:41");
    dv::ScopeExit still([] { dv::setStillStatusBar(std::nullopt); });
    std::string error;
    ASSERT_TRUE(run("screenshot before\nnetwork off\nscreenshot off\nnetwork on\nscreenshot on\n", error)) << error;
    auto before = dv::sim::testing::readPicture(m_folder / "01-before.png");
    auto off = dv::sim::testing::readPicture(m_folder / "02-off.png");
    auto on = dv::sim::testing::readPicture(m_folder / "03-on.png");
    ASSERT_TRUE(before && off && on);
    // The ground the status area stands on, left of the first dot; the middle of each dot; the
    // Wi-Fi fan's place after them.
    const auto ground = before->at(2, 10);
    auto dotsFilled = [&](const dv::testing::Pixels& pixels) {
        int filled = 0;
        for (int i = 0; i < 5; ++i)
            filled += !dv::testing::near(pixels.at(6 + i * 6.5 + 2.75, 10), ground, 40);
        return filled;
    };
    auto fan = [&](const dv::testing::Pixels& pixels) {
        return pixels.count(CGRectMake(40, 2, 18, 16), [&](const dv::testing::Pixel& p) { return !dv::testing::near(p, ground, 40); });
    };
    EXPECT_EQ(dotsFilled(*before), 5);
    EXPECT_GT(fan(*before), 10u);
    EXPECT_EQ(dotsFilled(*off), 0);
    EXPECT_EQ(fan(*off), 0u);
    EXPECT_EQ(dotsFilled(*on), 5);
    EXPECT_EQ(fan(*on), fan(*before));
}

// A relaunch ends the application as the end of its process would: the picture manager remembers
// an address whose download failed for as long as the process lives, so within one launch the
// picture is not asked for again, and after a relaunch it is, as in a new process.
TEST_F(ScriptRunnerTest, ARelaunchAsksAgainForAPictureThatFailed)
{
    dv::testing::LoopbackServer pictures;
    pictures.route("/missing.png", { .status = 404, .body = "no such picture" });
    s_pictureURL = pictures.url("/missing.png");
    std::string error;
    ASSERT_TRUE(run("tap 页脚按钮\n"
                    "tap 加载图片\n"
                    "wait-idle\n"
                    "tap 加载图片\n"
                    "wait-idle\n"
                    "relaunch\n"
                    "tap 页脚按钮\n"
                    "tap 加载图片\n"
                    "wait-idle\n",
        error))
        << error;
    EXPECT_EQ(pictures.requestCount("/missing.png"), 2u) << "once in each launch";
    EXPECT_EQ(m_launches, 2);
}

// Steps do not wait for pictures being downloaded, so a picture shows the screen while one
// loads; wait-idle waits for them.
TEST_F(ScriptRunnerTest, StepsDoNotWaitForPicturesButWaitIdleDoes)
{
    dv::testing::LoopbackServer pictures;
    pictures.route("/slow.png", { .body = std::string(dv::sim::testing::pngOfColour(0, 160, 0)), .contentType = "image/png",
                                    .delay = std::chrono::milliseconds(4000) });
    s_pictureURL = pictures.url("/slow.png");
    std::string error;
    ASSERT_TRUE(run("tap 页脚按钮\n"
                    "tap 加载图片\n"
                    "screenshot loading\n"
                    "wait-idle 15\n"
                    "screenshot loaded\n",
        error))
        << error << " " << pictures.url("/slow.png");
    const auto picture = [](const std::string& dump) {
        auto at = dump.find("UIImageView (250 105; 100 100)");
        return at == std::string::npos ? std::string() : dump.substr(at, dump.find('\n', at) - at);
    };
    EXPECT_EQ(picture(dumpOf("01-loading.txt")), "UIImageView (250 105; 100 100)") << "no picture yet";
    EXPECT_EQ(picture(dumpOf("02-loaded.txt")).rfind("UIImageView (250 105; 100 100) image=", 0), 0u) << dumpOf("02-loaded.txt");
}

} // namespace
} // namespace dv::sim
