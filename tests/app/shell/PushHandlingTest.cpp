// Push messages reaching the running application, as the system delivers them, answered through
// the driver: in the foreground (the alert, then the news page or the link), in the background
// (the news page at once, or the alert of a link), two messages before the first is answered, a
// message too long for the screen, and the news page's layout.
#include "ShellTestSupport.h"

#include "app/shell/news/JZNewsDetailController.h"
#include "app/shell/start/AppDelegate.h"
#include "platform/base/NSURL.h"
#include "platform/system/UIScreen.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UITextView.h"
#include "push/Lib/Controller/PushService.h"

using namespace dv::test;

namespace {

constexpr const char* kAlertTitle = "收到一条推送消息";

Ref<NSDictionary> newsPayload(const char* text, const char* title, const char* time, const char* messageId, const id& pushType = nil)
{
    auto payload = NSMutableDictionary::of({
        { "aps"_ns, NSDictionary::of({ { "alert"_ns, NSString::fromUTF8(text) }, { "badge"_ns, NSNumber::numberWithInt(1) } }) },
        { "title"_ns, NSString::fromUTF8(title) },
        { "addTime"_ns, NSString::fromUTF8(time) },
        { "_j_msgid"_ns, NSString::fromUTF8(messageId) },
        { "_j_flag"_ns, NSNumber::numberWithInt(1) },
    });
    if (pushType)
        payload->setObjectForKey(pushType, "pushType"_ns);
    return payload;
}

Ref<NSDictionary> linkPayload(const char* text, const char* url, const char* messageId)
{
    return NSDictionary::of({
        { "aps"_ns, NSDictionary::of({ { "alert"_ns, NSString::fromUTF8(text) } }) },
        { "pushType"_ns, NSNumber::numberWithInt(1) },
        { "info"_ns, NSString::fromUTF8(url) },
        { "_j_msgid"_ns, NSString::fromUTF8(messageId) },
    });
}

class PushHandlingTest : public ApplicationTest {
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        beforeLaunch();
        ASSERT_TRUE(launch());
    }
    virtual void beforeLaunch() { }

    // Delivers the payload as the system does and waits for the delegate's completion.
    void deliver(const Ref<NSDictionary>& payload)
    {
        auto results = m_results;
        m_started->deliverRemoteNotification(payload, [results](UIBackgroundFetchResult result) { results->push_back(result); });
        const std::size_t expected = ++m_delivered;
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return m_results->size() == expected; }));
        m_ui.advance(0.5); // pushes and alerts finish their animations
    }
    Ref<JZNewsDetailController> newsPage() const { return dv::as<JZNewsDetailController>(m_ui.topViewController()); }
    std::vector<std::string> openedURLs() const
    {
        std::vector<std::string> urls;
        auto opened = m_started->openedURLs();
        for (NSUInteger i = 0; i < opened->count(); ++i)
            urls.push_back(dv::str(dv::as<NSURL>(opened->objectAtIndex(i))->absoluteString()));
        return urls;
    }

    std::shared_ptr<std::vector<UIBackgroundFetchResult>> m_results = std::make_shared<std::vector<UIBackgroundFetchResult>>();
    std::size_t m_delivered = 0;
};

TEST_F(PushHandlingTest, ForegroundNewsShowsTheAlertAndItsAnswerOpensTheNewsPage)
{
    deliver(newsPayload("新功能上线，快来体验", "版本更新", "2016-05-01 10:00", "m-1"));
    EXPECT_EQ(*m_results, (std::vector<UIBackgroundFetchResult> { UIBackgroundFetchResultNewData }));
    EXPECT_EQ(PushService::receivedMessageIds().size(), 1u);
    EXPECT_EQ(dv::str(PushService::receivedMessageIds()[0]), "m-1");

    auto alerts = m_ui.visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].title, kAlertTitle);
    EXPECT_EQ(alerts[0].message, "新功能上线，快来体验");
    EXPECT_EQ(alerts[0].buttons, (std::vector<std::string> { "去查看", "忽略" }));
    EXPECT_EQ(alerts[0].cancelButtonIndex, 0);
    EXPECT_EQ(alerts[0].tag, 101);
    EXPECT_FALSE(newsPage());

    ASSERT_TRUE(m_ui.tapAlertButton("去查看"));
    m_ui.advance(0.5);
    auto page = newsPage();
    ASSERT_TRUE(page);
    EXPECT_EQ(m_ui.navigationTitle(), "版本更新");
    EXPECT_TRUE(m_ui.isVisible(m_ui.viewWithText("2016-05-01 10:00")));
    auto text = m_ui.find<UITextView>();
    ASSERT_TRUE(text);
    EXPECT_EQ(dv::str(text->text()), "新功能上线，快来体验");
    EXPECT_FALSE(text->isEditable());
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
    EXPECT_TRUE(openedURLs().empty());

    // Its own back button leads home.
    ASSERT_TRUE(m_ui.tap(page->navigationItem()->leftBarButtonItem()));
    m_ui.advance(0.5);
    EXPECT_EQ(m_ui.navigationStack().size(), 1u);
}

TEST_F(PushHandlingTest, IgnoringTheAlertOpensNothingAndKeepsThePayload)
{
    auto payload = newsPayload("今日推荐", "推荐", "2016-05-02", "m-2");
    deliver(payload);
    ASSERT_TRUE(m_ui.tapAlertButton("忽略"));
    m_ui.advance(0.5);
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
    EXPECT_EQ(m_ui.navigationStack().size(), 1u);
    EXPECT_EQ(appDelegate()->msgDic(), payload);
}

TEST_F(PushHandlingTest, NewsInTheBackgroundOpensTheNewsPageAtOnce)
{
    m_started->enterBackground();
    deliver(newsPayload("您有新的客户资料", "客源通知", "2016-05-03 08:30", "m-3", NSNumber::numberWithInt(0)));
    EXPECT_EQ(*m_results, (std::vector<UIBackgroundFetchResult> { UIBackgroundFetchResultNewData }));
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
    m_started->enterForeground();
    m_ui.advance(0.5);
    ASSERT_TRUE(newsPage());
    EXPECT_EQ(m_ui.navigationTitle(), "客源通知");
    EXPECT_EQ(dv::str(m_ui.find<UITextView>()->text()), "您有新的客户资料");
}

TEST_F(PushHandlingTest, LinksOpenInTheSystemBrowserFromTheAlertInEveryState)
{
    deliver(linkPayload("活动详情", "http://127.0.0.1:9/activity", "m-4"));
    ASSERT_EQ(m_ui.visibleAlerts().size(), 1u);
    ASSERT_TRUE(m_ui.tapAlertButton("去查看"));
    m_ui.runUntilIdle();
    EXPECT_EQ(openedURLs(), (std::vector<std::string> { "http://127.0.0.1:9/activity" }));
    EXPECT_EQ(m_ui.navigationStack().size(), 1u);

    m_started->enterBackground();
    deliver(linkPayload("第二个活动", "http://127.0.0.1:9/second", "m-5"));
    ASSERT_EQ(m_ui.visibleAlerts().size(), 1u);
    ASSERT_TRUE(m_ui.tapAlertButtonAtIndex(0));
    m_ui.runUntilIdle();
    EXPECT_EQ(openedURLs().size(), 2u);
    EXPECT_EQ(openedURLs().back(), "http://127.0.0.1:9/second");

    // A link that is no URL opens nothing.
    deliver(linkPayload("坏链接", "", "m-6"));
    ASSERT_TRUE(m_ui.tapAlertButton("去查看"));
    m_ui.runUntilIdle();
    EXPECT_EQ(openedURLs().size(), 2u);
}

TEST_F(PushHandlingTest, OtherTypesShowNothingInTheBackgroundAndTheAlertInTheForeground)
{
    m_started->enterBackground();
    deliver(newsPayload("类型二", "二", "t", "m-7", "2"_ns));
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
    EXPECT_EQ(m_ui.navigationStack().size(), 1u);
    EXPECT_EQ(m_results->size(), 1u);

    m_started->enterForeground();
    deliver(newsPayload("类型二", "二", "t", "m-8", "2"_ns));
    ASSERT_EQ(m_ui.visibleAlerts().size(), 1u);
    ASSERT_TRUE(m_ui.tapAlertButton("去查看"));
    m_ui.advance(0.5);
    ASSERT_TRUE(newsPage());
    EXPECT_EQ(m_ui.navigationTitle(), "二");
}

TEST_F(PushHandlingTest, EachAlertOpensTheMessageItWasShownFor)
{
    deliver(newsPayload("第一条", "标题一", "t1", "m-9"));
    deliver(newsPayload("第二条", "标题二", "t2", "m-10"));
    auto alerts = m_ui.visibleAlerts();
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts.back().message, "第二条");

    ASSERT_TRUE(m_ui.tapAlertButton("去查看"));
    m_ui.advance(0.5);
    ASSERT_TRUE(newsPage());
    EXPECT_EQ(m_ui.navigationTitle(), "标题二");

    // The first alert is still waiting; its answer opens the first message.
    alerts = m_ui.visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, "第一条");
    ASSERT_TRUE(m_ui.tapAlertButton("去查看"));
    m_ui.advance(0.5);
    EXPECT_EQ(m_ui.navigationTitle(), "标题一");
    EXPECT_EQ(m_ui.navigationStack().size(), 3u);
    EXPECT_EQ(dv::str(dv::as<NSString>(appDelegate()->msgDic()->objectForKey("title"_ns))), "标题二");
    EXPECT_EQ(PushService::receivedMessageIds().size(), 2u);
}

TEST_F(PushHandlingTest, MessageWithoutTextShowsNullOnTheNewsPage)
{
    m_started->enterBackground();
    deliver(NSDictionary::of({ { "title"_ns, "无内容"_ns } }));
    m_started->enterForeground();
    m_ui.advance(0.5);
    ASSERT_TRUE(newsPage());
    EXPECT_EQ(dv::str(m_ui.find<UITextView>()->text()), "(null)");
    EXPECT_TRUE(PushService::receivedMessageIds().empty());
}

// A message without a payload reads as nil everywhere: in the background the news page opens with
// every text "(null)", in the foreground the alert shows without a message and its answer opens
// nothing. The system hears the handler's answer once each time.
TEST_F(PushHandlingTest, MessageWithoutPayloadReadsAsNil)
{
    m_started->enterBackground();
    deliver(nil);
    m_started->enterForeground();
    m_ui.advance(0.5);
    ASSERT_TRUE(newsPage());
    EXPECT_EQ(m_ui.navigationTitle(), "(null)");
    EXPECT_EQ(dv::str(m_ui.find<UITextView>()->text()), "(null)");
    EXPECT_EQ(m_ui.navigationStack().size(), 2u);

    deliver(nil);
    auto alerts = m_ui.visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].title, kAlertTitle);
    EXPECT_EQ(alerts[0].message, "");
    ASSERT_TRUE(m_ui.tapAlertButton("去查看"));
    m_ui.advance(0.5);
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
    EXPECT_EQ(m_ui.navigationStack().size(), 2u);
    EXPECT_TRUE(openedURLs().empty());
    EXPECT_EQ(*m_results, (std::vector<UIBackgroundFetchResult> { UIBackgroundFetchResultNewData, UIBackgroundFetchResultNewData }));
    EXPECT_TRUE(PushService::receivedMessageIds().empty());
}

TEST_F(PushHandlingTest, NewsTextReachesTheBottomOfTheScreenAndNoFurther)
{
    m_started->enterBackground();
    std::string longText;
    for (int i = 0; i < 200; ++i)
        longText += "很长的消息内容。";
    deliver(newsPayload(longText.c_str(), "长消息", "t", "m-11", NSNumber::numberWithInt(0)));
    m_started->enterForeground();
    m_ui.advance(0.5);
    ASSERT_TRUE(newsPage());
    auto text = m_ui.find<UITextView>();
    ASSERT_TRUE(text);
    const CGRect frame = m_ui.frameInWindow(text);
    const CGFloat H = UIScreen::mainScreen()->bounds().size.height;
    EXPECT_NEAR(CGRectGetMaxY(frame), H, 0.5);
    EXPECT_EQ(frame.origin.x, 10);
    EXPECT_EQ(frame.size.width, UIScreen::mainScreen()->bounds().size.width - 20);
    auto time = m_ui.viewWithText("t");
    ASSERT_TRUE(time);
    EXPECT_NEAR(m_ui.frameInWindow(time).origin.y + 21 + 5, frame.origin.y, 0.5);
    // The long text scrolls inside the view.
    EXPECT_GT(text->contentSize().height, frame.size.height);
}

TEST_F(PushHandlingTest, TheNavigationBarShowsAgainOnTheNewsPage)
{
    m_ui.navigationController()->setNavigationBarHidden(true);
    m_started->enterBackground();
    deliver(newsPayload("内容", "标题", "t", "m-12", NSNumber::numberWithInt(0)));
    m_started->enterForeground();
    m_ui.advance(0.5);
    ASSERT_TRUE(newsPage());
    EXPECT_FALSE(m_ui.navigationController()->isNavigationBarHidden());
}

// A message of about 1,100 characters on each screen size: its alert keeps inside the screen less
// its margins with the title and both buttons in view and at hand; the message scrolls under a
// finger to its last line; 去查看 opens the news page with the whole message, 忽略 opens nothing.
class LongPushAlertTest : public PushHandlingTest, public ::testing::WithParamInterface<CGSize> {
protected:
    void beforeLaunch() override
    {
        UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, GetParam().width, GetParam().height));
    }
    void TearDown() override
    {
        PushHandlingTest::TearDown();
        UIScreen::mainScreen()->reset();
    }

    static std::string longText()
    {
        std::string text;
        for (int i = 1; i <= 50; ++i)
            text += "第" + std::to_string(i) + "批：本周新增群二维码三百个，欢迎查看。";
        return text + "完";
    }

    // The alert as a person finds it: inside the screen below the status bar, its title and both
    // buttons where a finger reaches them; the message read to its end by dragging it.
    Ref<UIAlertView> readAlert(const std::string& text)
    {
        EXPECT_EQ(m_ui.visibleAlerts().size(), 1u);
        auto alert = m_ui.find<UIAlertView>();
        if (!alert)
            return nil;
        const CGFloat W = GetParam().width, H = GetParam().height;
        EXPECT_TRUE(CGRectContainsRect(CGRectMake(0, 40, W, H - 60), m_ui.frameInWindow(alert)))
            << NSStringFromCGRectUTF8(alert->frame());
        auto title = m_ui.viewWithText(kAlertTitle);
        auto message = m_ui.viewWithText(text);
        EXPECT_TRUE(title && m_ui.tapPoint(title));
        EXPECT_TRUE(m_ui.tapPoint(alert->buttonViewAtIndex(0))) << "去查看";
        EXPECT_TRUE(m_ui.tapPoint(alert->buttonViewAtIndex(1))) << "忽略";
        // The message scrolls inside the alert.
        auto scroll = message ? dv::as<UIScrollView>(message->superview()) : nil;
        EXPECT_TRUE(scroll && scroll->isDescendantOfView(alert));
        if (!scroll || !message)
            return alert;
        const CGRect band = m_ui.frameInWindow(scroll);
        EXPECT_GT(CGRectGetMaxY(m_ui.frameInWindow(message)), CGRectGetMaxY(band)) << "the end is out of sight";
        for (int i = 0; i < 8 && CGRectGetMaxY(m_ui.frameInWindow(message)) > CGRectGetMaxY(band); ++i) {
            EXPECT_TRUE(m_ui.pan(message, CGPointMake(0, -band.size.height / 2)));
            m_ui.settle(scroll);
        }
        EXPECT_LE(CGRectGetMaxY(m_ui.frameInWindow(message)), CGRectGetMaxY(band)) << "its last line shows";
        EXPECT_TRUE(m_ui.tapPoint(title));
        return alert;
    }
};

TEST_P(LongPushAlertTest, ItsButtonsStayInViewAndEachActs)
{
    const std::string text = longText();
    // Each button is tapped where it stands, the message read to its end.
    deliver(newsPayload(text.c_str(), "长消息", "2016-05-04", "m-20"));
    auto alert = readAlert(text);
    ASSERT_TRUE(alert);
    ASSERT_TRUE(m_ui.tap(alert->buttonViewAtIndex(1))); // 忽略
    m_ui.advance(0.5);
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
    EXPECT_EQ(m_ui.navigationStack().size(), 1u);
    EXPECT_FALSE(newsPage());

    deliver(newsPayload(text.c_str(), "长消息", "2016-05-04", "m-21"));
    alert = readAlert(text);
    ASSERT_TRUE(alert);
    ASSERT_TRUE(m_ui.tap(alert->buttonViewAtIndex(0))); // 去查看
    m_ui.advance(0.5);
    ASSERT_TRUE(newsPage());
    EXPECT_EQ(m_ui.navigationTitle(), "长消息");
    EXPECT_EQ(dv::str(m_ui.find<UITextView>()->text()), text);
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
}

INSTANTIATE_TEST_SUITE_P(BothScreens, LongPushAlertTest, ::testing::Values(CGSizeMake(375, 667), CGSizeMake(320, 568)),
    [](const ::testing::TestParamInfo<CGSize>& info) { return "Width" + std::to_string(int(info.param.width)); });

} // namespace
