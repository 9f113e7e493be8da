// The script runner acting on a small interface of its own (a list of forty rows, each opening a
// screen with a text field): rows out of sight are scrolled to, texts typed into the focused
// field, screens left through their back button, pictures and dumps written, and a failing
// command named with its line and followed by a picture of the screen as it was.
#include "tools/sim/ScriptRunner.h"
#include "tools/sim/StepWriter.h"

#include "SimTesting.h"

#include "platform/base/Base.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/TestSupport.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIImage.h"
#include "platform/testing/Pixels.h"
#include "platform/testing/UIDriver.h"
#include "platform/ui/UIKit.h"

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
    NSInteger tableViewNumberOfRowsInSection(const Ref<UITableView>&, NSInteger) override { return 40; }
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

namespace dv::sim {
namespace {

class ScriptRunnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UIApplication::resetSharedApplication();
        m_folder = std::filesystem::temp_directory_path() / ("dv-sim-runner-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_folder);
        std::string error;
        ASSERT_TRUE(m_steps.open(m_folder.string(), error)) << error;
    }
    void TearDown() override
    {
        if (m_window)
            m_window->setHidden(true);
        m_window = nil;
        UIApplication::resetSharedApplication();
        std::filesystem::remove_all(m_folder);
    }

    ScriptEnvironment environment()
    {
        return { .server = nullptr,
            .launch = [this](std::string&) {
                ++m_launches;
                m_window = alloc<UIWindow>()->initWithFrame(CGRectMake(0, 0, 375, 667));
                m_window->setRootViewController(alloc<UINavigationController>()->initWithRootViewController(alloc<SimTestListScreen>()->init()));
                m_window->makeKeyAndVisible();
                return true;
            },
            .steps = &m_steps,
            .shots = ShotPolicy::Named,
            .findTimeout = 2 };
    }

    bool run(const std::string& text, std::string& error)
    {
        auto parsed = parseScript(text, "t.txt");
        if (!parsed.script) {
            error = parsed.error;
            return false;
        }
        ScriptRunner runner(environment());
        return runner.run(*parsed.script, error);
    }

    static std::string read(const std::filesystem::path& path)
    {
        std::ifstream file(path);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::filesystem::path m_folder;
    StepWriter m_steps;
    Ref<UIWindow> m_window;
    int m_launches = 0;
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

} // namespace
} // namespace dv::sim
