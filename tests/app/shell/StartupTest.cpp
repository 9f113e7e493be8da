// Start-up through the application entry against the local server: the window and its root, the
// login and its token, the re-login after 28800 seconds on the clock, the badge, the push set-up
// and device token, the login's failures, and the relative-time texts.
#include "ShellTestSupport.h"

#include "app/shell/ApplicationEntry.h"
#include "app/shell/home/VQMainButton.h"
#include "app/shell/home/VQMainViewController.h"
#include "app/shell/navigation/SMNavigationController.h"
#include "app/shell/start/AppDelegate.h"
#include "foundation/http/PNURLSessionManager.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/system/NSUserDefaults.h"
#include "platform/system/UIScreen.h"
#include "platform/testing/Pixels.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UITextField.h"
#include "push/Lib/Controller/PushService.h"
#include "ui/toolkit/keyboard/KBKeyboardManager.h"
#include "tools/devserver/Fault.h"

using namespace dv::test;
using dv::devserver::Fault;

namespace {

// Counts the login requests the application starts and those that have ended (their tasks'
// resume and completion notifications).
class LoginWatcher {
public:
    LoginWatcher()
    {
        auto center = NSNotificationCenter::defaultCenter();
        m_started = center->addObserverForName(PNTaskResumeNotificationName, nil, nil, [this](const Ref<NSNotification>& note) {
            if (isLogin(note))
                ++m_count;
        });
        m_ended = center->addObserverForName(PNTaskCompleteNotificationName, nil, nil, [this](const Ref<NSNotification>& note) {
            if (isLogin(note))
                ++m_completed;
        });
    }
    ~LoginWatcher()
    {
        NSNotificationCenter::defaultCenter()->removeObserver(m_started);
        NSNotificationCenter::defaultCenter()->removeObserver(m_ended);
    }
    int count() const { return m_count; }
    int completed() const { return m_completed; }

private:
    static bool isLogin(const Ref<NSNotification>& note)
    {
        auto task = dv::as<NSURLSessionTask>(note->object());
        return task && dv::str(task->originalRequest()->URL()->absoluteString()).ends_with("client/login.do");
    }

    id m_started;
    id m_ended;
    int m_count = 0;
    int m_completed = 0;
};

class StartupTest : public ApplicationTest {
protected:
    Ref<NSString> storedToken() const { return NSUserDefaults::standardUserDefaults()->stringForKey("utoken"_ns); }
    // Leaves the application and comes back to it, as a person does with the home button.
    void leaveAndReturn()
    {
        m_started->enterBackground();
        m_started->enterForeground();
        m_ui.runUntilIdle();
    }
};

TEST_F(StartupTest, LaunchBuildsTheWindowWithTheHomeScreenInTheNavigationController)
{
    UIApplication::sharedApplication()->setApplicationIconBadgeNumber(5);
    const NSTimeInterval launchedAt = NSDate::date()->timeIntervalSinceReferenceDate();
    ASSERT_TRUE(launch());
    auto delegate = appDelegate();
    ASSERT_TRUE(delegate);
    auto window = delegate->window();
    ASSERT_TRUE(window);
    EXPECT_EQ(m_started->keyWindow(), window);
    EXPECT_TRUE(window->backgroundColor()->isEqual(UIColor::whiteColor()));
    EXPECT_TRUE(CGRectEqualToRect(window->frame(), UIScreen::mainScreen()->bounds()));
    auto navigation = dv::as<SMNavigationController>(window->rootViewController());
    ASSERT_TRUE(navigation);
    EXPECT_TRUE(dv::as<VQMainViewController>(navigation->topViewController()));
    EXPECT_EQ(m_started->applicationIconBadgeNumber(), 0);
    EXPECT_EQ(m_started->applicationState(), UIApplicationStateActive);
    auto backDate = NSUserDefaults::standardUserDefaults()->dateForKey("backDate"_ns);
    ASSERT_TRUE(backDate);
    EXPECT_EQ(backDate->timeIntervalSinceReferenceDate(), launchedAt);
}

TEST_F(StartupTest, KeyboardManagerEndsEditingOnATouchOutsideAndAddsNoToolbar)
{
    ASSERT_TRUE(launch());
    auto keyboard = KBKeyboardManager::sharedManager();
    EXPECT_TRUE(keyboard->isEnabled());
    EXPECT_TRUE(keyboard->shouldResignOnTouchOutside());
    EXPECT_TRUE(keyboard->shouldToolbarUsesTextFieldTintColor());
    EXPECT_FALSE(keyboard->isEnableAutoToolbar());

    // A screen with a field, pushed as the application's screens are.
    auto screen = alloc<UIViewController>()->init();
    screen->view()->setBackgroundColor(UIColor::whiteColor());
    auto field = alloc<UITextField>()->initWithFrame(CGRectMake(20, 20, 200, 30));
    field->setPlaceholder("手机号"_ns);
    screen->view()->addSubview(field);
    m_ui.navigationController()->pushViewController(screen, true);
    m_ui.advance(0.5);
    ASSERT_TRUE(m_ui.focus(field));
    m_ui.advance(0.5);
    EXPECT_TRUE(m_ui.isKeyboardVisible());
    EXPECT_FALSE(m_ui.keyboardAccessoryView());
    ASSERT_TRUE(m_ui.tap(CGPointMake(300, 300)));
    m_ui.advance(0.5);
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_FALSE(m_ui.isKeyboardVisible());
}

TEST_F(StartupTest, LoginStoresTheServersTokenForTheDevice)
{
    ASSERT_TRUE(launch());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return storedToken() != nil; }));
    EXPECT_EQ(m_server->loginCount(clientId()), 1);
    // The server keeps one token per device: logging in again answers the same one.
    auto again = post(dv::app::loginRequest());
    ASSERT_TRUE(again->reply());
    EXPECT_EQ(dv::str(again->reply()->textForKey("token"_ns)), dv::str(storedToken()));
}

TEST_F(StartupTest, PushServiceIsSetUpWithTheDeviceAsAliasAndReceivesTheToken)
{
    ASSERT_TRUE(launch());
    EXPECT_TRUE(PushService::isSetUp());
    EXPECT_EQ(dv::str(PushService::appKey()), "7e41c0d93a5b8f26e1d47c08");
    EXPECT_EQ(dv::str(PushService::channel()), "Publish channel");
    EXPECT_TRUE(PushService::apsForProduction());
    EXPECT_EQ(dv::str(PushService::alias()), clientId());
    EXPECT_FALSE(PushService::tags());
    auto settings = m_started->currentUserNotificationSettings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->types(), 7u);
    EXPECT_TRUE(m_started->isRegisteredForRemoteNotifications());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([] { return PushService::deviceToken() != nil; }));
    EXPECT_TRUE(dv::equal(PushService::deviceToken(), UIApplication::deviceToken(nullptr)));
}

TEST_F(StartupTest, ReloginOnlyWhenActiveMoreThan28800SecondsAfterTheLaunch)
{
    LoginWatcher logins;
    ASSERT_TRUE(launch());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return storedToken() != nil; }));
    EXPECT_EQ(logins.count(), 1);

    auto backDate = NSUserDefaults::standardUserDefaults()->dateForKey("backDate"_ns);
    ASSERT_TRUE(backDate);
    const NSTimeInterval launchedAt = backDate->timeIntervalSinceReferenceDate();
    m_clock->setNow(launchedAt + 3600);
    leaveAndReturn();
    EXPECT_EQ(logins.count(), 1);
    m_clock->setNow(launchedAt + 28800);
    leaveAndReturn();
    EXPECT_EQ(logins.count(), 1) << "exactly 28800 seconds after the launch";

    m_clock->advance(0.5);
    leaveAndReturn();
    EXPECT_EQ(logins.count(), 2);
    // The mark stays the launch: every later return logs in again.
    leaveAndReturn();
    EXPECT_EQ(logins.count(), 3);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_server->loginCount(clientId()) == 3; }));
}

TEST_F(StartupTest, RefusedLoginShowsTheServersMessageAndKeepsTheToken)
{
    NSUserDefaults::standardUserDefaults()->setObjectForKey("earlier-token"_ns, "utoken"_ns);
    m_server->setFault("client/login.do", Fault::refusal(0, "设备已停用"));
    dv::app::startApplication();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return showsText("设备已停用"); }));
    EXPECT_EQ(dv::str(storedToken()), "earlier-token");
    // The toast goes after 0.7 seconds.
    m_ui.advance(2);
    EXPECT_FALSE(showsText("设备已停用"));
}

// When the home screen's reply comes, relative to the toast of a refused login.
enum class HomeReply { BeforeTheToast, DuringTheToast, AfterTheToast };

struct RefusalCase {
    const char* fault;   // the login's refusal, as the server's fault says it
    const char* message; // what the toast says ("" when the reply carries no readable text)
    HomeReply home;
};

void PrintTo(const RefusalCase& c, std::ostream* out)
{
    const char* when[] = { "before", "during", "after" };
    *out << c.fault << ", the home reply " << when[int(c.home)] << " the toast";
}

class RefusedLoginTest : public StartupTest, public ::testing::WithParamInterface<RefusalCase> {
protected:
    // The loading overlay and the toasts of the window, as a person sees them.
    std::vector<Ref<PHProgressHUD>> showing(PHProgressHUDMode mode) const
    {
        std::vector<Ref<PHProgressHUD>> found;
        for (const auto& overlay : visibleOverlays())
            if (overlay->mode() == mode && overlay->alpha() > 0.05)
                found.push_back(overlay);
        return found;
    }
    bool loadingShows() const { return !showing(PHProgressHUDModeIndeterminate).empty(); }
    bool toastShows() const { return !showing(PHProgressHUDModeCustomView).empty(); }
    // The refusal can be read: its toast is on screen with the server's text, where toasts show
    // (in the middle of the window) and at full contrast (its icon and text pure white, not greyed
    // by a loading overlay's shade), and no overlay's box lies over its own.
    void expectRefusalReadable() const
    {
        auto toasts = showing(PHProgressHUDModeCustomView);
        ASSERT_EQ(toasts.size(), 1u);
        auto toast = toasts.front();
        if (*GetParam().message) {
            EXPECT_TRUE(showsText(GetParam().message));
        }
        auto boxOf = [&](const Ref<PHProgressHUD>& hud) {
            CGRect frame = m_ui.frameInWindow(hud);
            return CGRectMake(frame.origin.x + (frame.size.width - hud->size().width) / 2 + hud->xOffset(),
                frame.origin.y + (frame.size.height - hud->size().height) / 2 + hud->yOffset(), hud->size().width, hud->size().height);
        };
        auto overlays = visibleOverlays();
        auto at = std::find(overlays.begin(), overlays.end(), toast);
        for (auto above = at + 1; above < overlays.end(); ++above)
            EXPECT_FALSE(CGRectIntersectsRect(boxOf(toast), boxOf(*above))) << "an overlay's box covers the refusal";

        const CGRect window = m_ui.window()->bounds();
        EXPECT_NEAR(CGRectGetMidX(boxOf(toast)), CGRectGetMidX(window), 1);
        EXPECT_NEAR(CGRectGetMidY(boxOf(toast)), CGRectGetMidY(window), 1);
        const dv::testing::Pixels shot(m_ui.screenshot(2));
        auto white = [](const dv::testing::Pixel& p) { return p[0] >= 250 && p[1] >= 250 && p[2] >= 250; };
        std::vector<Ref<UIView>> inked;
        for (const auto& icon : m_ui.findAll<UIImageView>())
            if (icon->isDescendantOfView(toast))
                inked.push_back(icon);
        ASSERT_EQ(inked.size(), 1u) << "the icon";
        if (*GetParam().message)
            inked.push_back(m_ui.viewWithText(GetParam().message));
        for (const auto& view : inked)
            EXPECT_GT(shot.count(m_ui.frameInWindow(view), white), 20u) << m_ui.textOf(view);
    }
    // The home screen answers a tap on a tile: the tile's screen opens.
    void expectTilesAnswer()
    {
        ASSERT_FALSE(tiles().empty());
        ASSERT_TRUE(m_ui.tap(tiles().back())) << "a tile cannot be touched";
        m_ui.advance(0.5);
        EXPECT_EQ(m_ui.navigationStack().size(), 2u);
    }
    // Waits until the home screen's reply has built the tiles and its loading overlay has begun
    // to go.
    bool homeBuilt()
    {
        return dv::testing::runMainLoopUntil([&] { return !tiles().empty() && !loadingShows(); });
    }
};

std::string nameOfRefusalCase(const ::testing::TestParamInfo<RefusalCase>& info)
{
    std::string name = std::string(info.param.fault).starts_with("wrongtypes") ? "WronglyTypedStatus"
                                                                                 : std::string("Status") + info.param.fault[7];
    const char* when[] = { "HomeBeforeTheToast", "HomeDuringTheToast", "HomeAfterTheToast" };
    return name + when[int(info.param.home)];
}

TEST_P(RefusedLoginTest, LoadingOverlayGoesWithItsReplyAndTheRefusalIsRead)
{
    const auto& c = GetParam();
    const Fault refusal = *dv::devserver::parseFault(c.fault);
    if (c.home == HomeReply::BeforeTheToast) {
        m_server->setFault("client/login.do", Fault::of(dv::devserver::FaultKind::Hold));
        dv::app::startApplication();
        ASSERT_TRUE(homeBuilt());
        // The held login is answered with the refusal now.
        m_server->setFault("client/login.do", refusal);
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return toastShows(); }));
        expectRefusalReadable();
    } else {
        m_server->setFault("home/index.do", Fault::of(dv::devserver::FaultKind::Hold));
        m_server->setFault("client/login.do", refusal);
        dv::app::startApplication();
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return toastShows() && loadingShows(); }));
        expectRefusalReadable();
        if (c.home == HomeReply::AfterTheToast) {
            m_ui.advance(2);
            EXPECT_FALSE(toastShows());
            EXPECT_TRUE(loadingShows()) << "the home screen is still loading";
        }
        m_server->clearFault("home/index.do");
        ASSERT_TRUE(homeBuilt()) << "the loading overlay stays over the home screen";
        if (c.home == HomeReply::DuringTheToast) {
            expectRefusalReadable();
        }
    }
    m_ui.advance(2);
    EXPECT_TRUE(visibleOverlays().empty());
    expectTilesAnswer();
}

INSTANTIATE_TEST_SUITE_P(EveryRefusalAndOrder, RefusedLoginTest,
    ::testing::Values(RefusalCase { "status:0:设备已停用", "设备已停用", HomeReply::BeforeTheToast },
        RefusalCase { "status:0:设备已停用", "设备已停用", HomeReply::DuringTheToast },
        RefusalCase { "status:0:设备已停用", "设备已停用", HomeReply::AfterTheToast },
        RefusalCase { "status:2:账号异常，请联系客服", "账号异常，请联系客服", HomeReply::BeforeTheToast },
        RefusalCase { "status:2:账号异常，请联系客服", "账号异常，请联系客服", HomeReply::DuringTheToast },
        RefusalCase { "status:2:账号异常，请联系客服", "账号异常，请联系客服", HomeReply::AfterTheToast },
        RefusalCase { "wrongtypes:status", "", HomeReply::BeforeTheToast },
        RefusalCase { "wrongtypes:status", "", HomeReply::DuringTheToast },
        RefusalCase { "wrongtypes:status", "", HomeReply::AfterTheToast }),
    nameOfRefusalCase);

TEST_F(StartupTest, SuccessfulLoginWithoutTokenRemovesTheStoredOne)
{
    NSUserDefaults::standardUserDefaults()->setObjectForKey("earlier-token"_ns, "utoken"_ns);
    m_server->setFault("client/login.do", Fault::refusal(1, "登录成功"));
    ASSERT_TRUE(launch());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return storedToken() == nil; }));
}

TEST_F(StartupTest, LaunchWithoutTheServerStillShowsTheHomeScreen)
{
    NSUserDefaults::standardUserDefaults()->setObjectForKey("earlier-token"_ns, "utoken"_ns);
    ASSERT_TRUE(dv::app::setServerAddress("127.0.0.1", dv::devserver::Server::unusedPort()));
    dv::app::startApplication();
    // Both the login and the home screen's request fail; each failure says so.
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_ui.viewWithTitle("点击重新加载") != nil; }));
    EXPECT_TRUE(showsText("网络连接失败 获取数据异常"));
    EXPECT_TRUE(dv::as<VQMainViewController>(m_ui.topViewController()));
    EXPECT_EQ(dv::str(storedToken()), "earlier-token");
}

TEST_F(StartupTest, LoginFaultsOfTheServerEndInNoCrashAndKeepTheToken)
{
    NSUserDefaults::standardUserDefaults()->setObjectForKey("earlier-token"_ns, "utoken"_ns);
    auto delegate = alloc<AppDelegate>()->init();
    auto loginWith = [&](const char* fault) {
        m_server->setFault("client/login.do", *dv::devserver::parseFault(fault));
        LoginWatcher logins;
        delegate->requestLogin();
        EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return logins.count() == 1 && logins.completed() == 1; })) << fault;
        // Let the reply (or the failure) arrive and its toasts go.
        EXPECT_TRUE(dv::testing::runMainLoopUntil([&] {
            m_ui.advance(0.25);
            return visibleOverlays().empty();
        })) << fault;
    };
    for (const char* fault : { "http:503", "html", "malformed", "array", "null", "cut" }) {
        loginWith(fault);
        EXPECT_EQ(dv::str(storedToken()), "earlier-token") << fault;
    }
    // Status 1 with the token as an array: a successful login without a token.
    loginWith("wrongtypes");
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return storedToken() == nil; }));
}

TEST_F(StartupTest, ApplicationMainRunsTheLaunchThroughTheRegisteredDelegateClass)
{
    // What the process entry hands the platform: the delegate class by name.
    Class cls = NSClassFromString("AppDelegate"_ns);
    ASSERT_TRUE(cls);
    EXPECT_TRUE(std::dynamic_pointer_cast<UIApplicationDelegate>(cls->createInstance()));
}

TEST(RelativeTimeTest, TextsByTheTimeGone)
{
    dv::ManualClockScope clock;
    auto ago = [](NSTimeInterval seconds) { return dv::str(AppDelegate::compareCurrentTime(NSDate::dateWithTimeIntervalSinceNow(-seconds))); };
    const NSTimeInterval minute = 60, hour = 3600, day = 86400;
    EXPECT_EQ(ago(-30), "刚刚");
    EXPECT_EQ(ago(0), "刚刚");
    EXPECT_EQ(ago(59), "刚刚");
    EXPECT_EQ(ago(60), "1分前");
    EXPECT_EQ(ago(59 * minute), "59分前");
    EXPECT_EQ(ago(60 * minute), "1小前");
    EXPECT_EQ(ago(1439 * minute), "23小前");
    EXPECT_EQ(ago(day), "1天前");
    EXPECT_EQ(ago(29 * day + 23 * hour), "29天前");
    EXPECT_EQ(ago(30 * day), "1月前");
    EXPECT_EQ(ago(359 * day), "11月前");
    EXPECT_EQ(ago(360 * day), "1年前");
    EXPECT_EQ(ago(720 * day + hour), "2年前");
}

} // namespace
