#include "UITestSupport.h"

#include "platform/base/NSString.h"
#include "platform/testing/Pixels.h"

using namespace dv::test;

namespace {

class AlertRecorder : public NSObject, public UIAlertViewDelegate, public UIActionSheetDelegate {
public:
    Journal calls;
    std::function<void(NSInteger)> onClick;

    bool alertViewClickedButtonAtIndex(const Ref<UIAlertView>& alert, NSInteger index) override
    {
        calls.push_back("clicked:" + std::to_string(alert->tag()) + ":" + std::to_string(index));
        if (onClick)
            onClick(index);
        return true;
    }
    bool willPresentAlertView(const Ref<UIAlertView>&) override { return note("willPresent"); }
    bool didPresentAlertView(const Ref<UIAlertView>&) override { return note("didPresent"); }
    bool alertViewWillDismissWithButtonIndex(const Ref<UIAlertView>&, NSInteger i) override { return note("willDismiss:" + std::to_string(i)); }
    bool alertViewDidDismissWithButtonIndex(const Ref<UIAlertView>&, NSInteger i) override { return note("didDismiss:" + std::to_string(i)); }

    bool actionSheetClickedButtonAtIndex(const Ref<UIActionSheet>& sheet, NSInteger index) override
    {
        return note("sheetClicked:" + std::to_string(sheet->tag()) + ":" + std::to_string(index));
    }
    bool actionSheetWillDismissWithButtonIndex(const Ref<UIActionSheet>&, NSInteger i) override { return note("sheetWillDismiss:" + std::to_string(i)); }
    bool actionSheetDidDismissWithButtonIndex(const Ref<UIActionSheet>&, NSInteger i) override { return note("sheetDidDismiss:" + std::to_string(i)); }

private:
    bool note(std::string event)
    {
        calls.push_back(std::move(event));
        return true;
    }
};

class AlertTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_delegate = std::make_shared<AlertRecorder>();
    }

    Ref<UIAlertView> alert(Ref<NSString> title, Ref<NSString> message, Ref<NSString> cancel, std::vector<Ref<NSString>> others, NSInteger tag = 0)
    {
        auto a = alloc<UIAlertView>()->initWithTitle(title, message, m_delegate, cancel, others);
        a->setTag(tag);
        return a;
    }

    std::shared_ptr<AlertRecorder> m_delegate;
};

} // namespace

TEST_F(AlertTest, AlertButtonsCountFromTheCancelButtonThenTheOthers)
{
    auto push = alert("收到一条推送消息"_ns, "hello"_ns, "去查看"_ns, {"忽略"_ns});
    EXPECT_EQ(push->numberOfButtons(), 2);
    EXPECT_EQ(push->cancelButtonIndex(), 0);
    EXPECT_EQ(push->firstOtherButtonIndex(), 1);
    EXPECT_EQ(dv::str(push->buttonTitleAtIndex(1)), "忽略");
    EXPECT_EQ(push->addButtonWithTitle("稍后"_ns), 2);

    auto noCancel = alert(nil, "是否导入通讯录"_ns, nil, {"确认"_ns, "取消"_ns});
    EXPECT_EQ(noCancel->cancelButtonIndex(), -1);
    EXPECT_EQ(noCancel->firstOtherButtonIndex(), 0);
    EXPECT_EQ(noCancel->buttonTitleAtIndex(5), nil);
}

TEST_F(AlertTest, ATapTellsTheDelegateThenTheAlertGoesOnTheClock)
{
    auto a = alert("是否删除当前通讯录"_ns, "该操作将删除通讯录中所有联系人且不可恢复!请谨慎操作!"_ns, "确认"_ns, {"取消"_ns}, 101);
    a->show();
    EXPECT_TRUE(a->isVisible());
    m_ui.advance(0.3);
    auto shown = m_ui.visibleAlerts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, "alert");
    EXPECT_EQ(shown[0].title, "是否删除当前通讯录");
    EXPECT_EQ(shown[0].buttons, (std::vector<std::string> {"确认", "取消"}));
    EXPECT_EQ(shown[0].tag, 101);

    ASSERT_TRUE(m_ui.tapAlertButton("确认"));
    EXPECT_EQ(m_delegate->calls, (Journal {"willPresent", "didPresent", "clicked:101:0", "willDismiss:0"}));
    EXPECT_FALSE(a->isVisible());
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
    m_ui.advance(0.3);
    EXPECT_EQ(m_delegate->calls.back(), "didDismiss:0");
    EXPECT_EQ(a->superview(), nil);
    EXPECT_EQ(m_ui.find(dv::testing::ViewQuery().ofClass(UIView::class_()).withText("确认")), nil);

    // Dismissed in code: no "clicked".
    m_delegate->calls.clear();
    a->show();
    a->dismissWithClickedButtonIndex(1, false);
    EXPECT_EQ(m_delegate->calls, (Journal {"willPresent", "willDismiss:1", "didDismiss:1"}));
}

TEST_F(AlertTest, TwoButtonsStandSideBySideWithCancelLeftMoreStandInRowsWithCancelLast)
{
    const CGRect screen = m_window->bounds();
    auto two = alert("温馨提示"_ns, "请您设置允许APP访问您的通讯录\nSettings>General>Privacy"_ns, "去查看"_ns, {"忽略"_ns});
    two->show();
    m_ui.runUntilIdle();
    EXPECT_EQ(two->frame().size.width, 270);
    EXPECT_EQ(CGRectGetMidX(two->frame()), CGRectGetMidX(screen));
    EXPECT_NEAR(CGRectGetMidY(two->frame()), CGRectGetMidY(screen), 0.5);
    auto cancel = m_ui.frameInWindow(two->buttonViewAtIndex(0)), other = m_ui.frameInWindow(two->buttonViewAtIndex(1));
    EXPECT_EQ(cancel.origin.y, other.origin.y);
    EXPECT_LT(cancel.origin.x, other.origin.x);
    EXPECT_EQ(CGRectGetMaxY(cancel), CGRectGetMaxY(two->frame()));
    two->dismissWithClickedButtonIndex(0, false);

    auto three = alert("标题"_ns, nil, "取消"_ns, {"一"_ns, "二"_ns});
    three->show();
    m_ui.runUntilIdle();
    auto b0 = m_ui.frameInWindow(three->buttonViewAtIndex(0)), b1 = m_ui.frameInWindow(three->buttonViewAtIndex(1)),
         b2 = m_ui.frameInWindow(three->buttonViewAtIndex(2));
    EXPECT_EQ(b1.origin.x, b2.origin.x);
    EXPECT_EQ(b2.origin.y, CGRectGetMaxY(b1));
    EXPECT_EQ(b0.origin.y, CGRectGetMaxY(b2)) << "cancel at the bottom";
}

TEST_F(AlertTest, TheWindowIsDimmedAndTouchesBehindTheAlertGoNowhere)
{
    m_window->setBackgroundColor(UIColor::whiteColor());
    auto target = alloc<ActionTarget>();
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setTitle("下面"_ns, UIControlStateNormal);
    button->setFrame(CGRectMake(10, 100, 100, 40));
    button->addTarget(target, "fire", UIControlEventTouchUpInside);
    m_window->addSubview(button);
    alert("提示"_ns, nil, "好"_ns, {}) ->show();
    m_ui.advance(0.3);
    EXPECT_FALSE(m_ui.tap(button)) << "covered by the backdrop";
    m_ui.tap(CGPointMake(60, 120));
    EXPECT_TRUE(target->calls.empty());

    // A view added later stays under the backdrop.
    auto late = addView(CGRectMake(0, 0, 50, 50), UIColor::redColor());
    EXPECT_FALSE(m_ui.tapPoint(late));
    Pixels pixels(m_ui.screenshot(1));
    const auto dimmed = pixels.at(300, 600);
    EXPECT_TRUE(near(dimmed, Pixel {153, 153, 153, 255}, 4)) << show(dimmed);
    EXPECT_TRUE(m_ui.tapAlertButton("好"));
    m_ui.advance(0.3);
    EXPECT_TRUE(m_ui.tap(button));
    EXPECT_EQ(target->calls, (Journal {"fire"}));
}

TEST_F(AlertTest, TheBackdropFadesWithItsLastAlertAndWhatShowsMeanwhileIsNotDimmed)
{
    m_window->setBackgroundColor(UIColor::whiteColor());
    const Pixel white {255, 255, 255, 255}, dim {153, 153, 153, 255};
    auto first = alert("导入通讯录"_ns, nil, "确认"_ns, {});
    first->show();
    m_ui.advance(0.3);
    EXPECT_TRUE(near(Pixels(m_ui.screenshot(1)).at(300, 600), dim, 4));

    ASSERT_TRUE(m_ui.tapAlertButton("确认"));
    // The alert is fading: so is the backdrop, and a toast the tap brought up stands undimmed
    // on top of the window.
    auto toast = addView(CGRectMake(100, 300, 175, 60), UIColor::blackColor());
    const Pixels fading(m_ui.screenshot(1));
    EXPECT_TRUE(near(fading.at(300, 600), white, 4)) << show(fading.at(300, 600));
    EXPECT_TRUE(near(fading.at(150, 330), Pixel {0, 0, 0, 255}, 4)) << show(fading.at(150, 330));
    EXPECT_TRUE(m_ui.tapPoint(toast));

    // Another alert before the first has gone brings the backdrop back, over the toast.
    auto second = alert("导入成功"_ns, nil, "好"_ns, {});
    second->show();
    m_ui.advance(0.3);
    EXPECT_NE(std::find(m_delegate->calls.begin(), m_delegate->calls.end(), "didDismiss:0"), m_delegate->calls.end())
        << "the first alert has gone meanwhile";
    const Pixels again(m_ui.screenshot(1));
    EXPECT_TRUE(near(again.at(300, 600), dim, 4)) << show(again.at(300, 600));
    EXPECT_FALSE(m_ui.tapPoint(toast));
    ASSERT_TRUE(m_ui.tapAlertButton("好"));
    m_ui.advance(0.3);
    EXPECT_TRUE(near(Pixels(m_ui.screenshot(1)).at(300, 600), white, 4));
    EXPECT_TRUE(m_ui.tapPoint(toast));

    // Dismissed without animation the backdrop goes at once, and the next alert dims again.
    auto third = alert("提示"_ns, nil, "好"_ns, {});
    third->show();
    m_ui.advance(0.3);
    third->dismissWithClickedButtonIndex(0, false);
    EXPECT_TRUE(near(Pixels(m_ui.screenshot(1)).at(300, 600), white, 4));
    third->show();
    m_ui.advance(0.3);
    EXPECT_TRUE(near(Pixels(m_ui.screenshot(1)).at(300, 600), dim, 4));
}

TEST_F(AlertTest, SeveralAlertsShowAtOnceTheNewestOnTop)
{
    auto first = alert("收到一条推送消息"_ns, "一"_ns, "去查看"_ns, {"忽略"_ns}, 1);
    auto second = alert("收到一条推送消息"_ns, "二"_ns, "去查看"_ns, {"忽略"_ns}, 2);
    first->show();
    second->show();
    m_ui.advance(0.3);
    auto shown = m_ui.visibleAlerts();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].message, "一");
    EXPECT_EQ(shown[1].message, "二");
    EXPECT_TRUE(first->isHidden()) << "waiting behind the newest";
    ASSERT_TRUE(m_ui.tapAlertButton("忽略"));
    m_ui.advance(0.3);
    EXPECT_FALSE(first->isHidden());
    ASSERT_TRUE(m_ui.tapAlertButton("去查看"));
    Journal clicks;
    for (auto& call : m_delegate->calls)
        if (call.starts_with("clicked"))
            clicks.push_back(call);
    EXPECT_EQ(clicks, (Journal {"clicked:2:1", "clicked:1:0"}));
    m_ui.advance(0.3);
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
    EXPECT_EQ(m_ui.viewOfClass("UIAlertBackdropView"), nil);
}

TEST_F(AlertTest, AlertsAndTheirBackdropGoWithTheirWindowOrWhenDismissed)
{
    // Shown in a window the application then lets go of: nothing is kept for it.
    Weak<UIAlertView> orphan;
    Weak<UIView> orphanBackdrop;
    {
        auto other = alloc<UIWindow>()->init();
        other->makeKeyAndVisible();
        auto first = alert("收到一条推送消息"_ns, "一"_ns, "去查看"_ns, {"忽略"_ns});
        first->show();
        alert("收到一条推送消息"_ns, "二"_ns, "去查看"_ns, {"忽略"_ns})->show();
        m_ui.advance(0.3);
        orphan = first;
        orphanBackdrop = first->superview();
        ASSERT_FALSE(orphanBackdrop.expired());
        m_window->makeKeyAndVisible();
    }
    EXPECT_TRUE(orphan.expired());
    EXPECT_TRUE(orphanBackdrop.expired());

    // Shown without the application keeping it, an alert stays up until it is answered, then goes.
    Weak<UIAlertView> answered;
    {
        auto unkept = alert("温馨提示"_ns, nil, "好"_ns, {});
        unkept->show();
        answered = unkept;
    }
    m_ui.advance(0.3);
    ASSERT_EQ(m_ui.visibleAlerts().size(), 1u);
    ASSERT_FALSE(answered.expired());
    ASSERT_TRUE(m_ui.tapAlertButton("好"));
    m_ui.advance(0.3);
    EXPECT_TRUE(answered.expired());
    EXPECT_EQ(m_ui.viewOfClass("UIAlertBackdropView"), nil);
}

TEST_F(AlertTest, SheetButtonsCountDestructiveFirstThenOthersThenCancel)
{
    auto save = alloc<UIActionSheet>()->initWithTitle(nil, m_delegate, "取消"_ns, nil, {"保存二维码"_ns});
    EXPECT_EQ(save->numberOfButtons(), 2);
    EXPECT_EQ(save->cancelButtonIndex(), 1);
    EXPECT_EQ(save->destructiveButtonIndex(), -1);
    EXPECT_EQ(save->firstOtherButtonIndex(), 0);

    auto full = alloc<UIActionSheet>()->initWithTitle("选择"_ns, m_delegate, "取消"_ns, "删除"_ns, {"相册"_ns, "拍照"_ns});
    EXPECT_EQ(full->destructiveButtonIndex(), 0);
    EXPECT_EQ(dv::str(full->buttonTitleAtIndex(1)), "相册");
    EXPECT_EQ(dv::str(full->buttonTitleAtIndex(2)), "拍照");
    EXPECT_EQ(full->cancelButtonIndex(), 3);
    EXPECT_EQ(full->firstOtherButtonIndex(), 1);
}

TEST_F(AlertTest, ASheetRisesFromTheBottomWithCancelApartAndReportsTheChosenIndex)
{
    auto host = addView(CGRectMake(0, 64, 375, 603));
    auto photo = alloc<UIActionSheet>()->initWithTitle(nil, m_delegate, "取消"_ns, nil, {"相册"_ns, "拍照"_ns});
    photo->setTag(101);
    photo->showInView(host);
    m_ui.advance(0.3);
    const CGRect screen = m_window->bounds();
    EXPECT_EQ(CGRectGetMaxY(photo->frame()), CGRectGetMaxY(screen));
    auto album = m_ui.frameInWindow(photo->buttonViewAtIndex(0)), camera = m_ui.frameInWindow(photo->buttonViewAtIndex(1)),
         cancel = m_ui.frameInWindow(photo->buttonViewAtIndex(2));
    EXPECT_EQ(album.origin.x, 8);
    EXPECT_EQ(album.size.width, screen.size.width - 16);
    EXPECT_EQ(camera.origin.y, CGRectGetMaxY(album));
    EXPECT_EQ(cancel.origin.y, CGRectGetMaxY(camera) + 8);
    EXPECT_EQ(CGRectGetMaxY(cancel), CGRectGetMaxY(screen) - 8);
    auto shown = m_ui.visibleAlerts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, "sheet");
    EXPECT_EQ(shown[0].cancelButtonIndex, 2);

    ASSERT_TRUE(m_ui.tapAlertButton("拍照"));
    m_ui.advance(0.3);
    EXPECT_EQ(m_delegate->calls, (Journal {"sheetClicked:101:1", "sheetWillDismiss:1", "sheetDidDismiss:1"}));
    EXPECT_FALSE(m_ui.tapAlertButton("取消")) << "nothing left to tap";
}

namespace {

// About 1,100 characters, ending in a line of its own.
Ref<NSString> longMessage()
{
    std::string text;
    for (int i = 1; i <= 50; ++i)
        text += "第" + std::to_string(i) + "条：本周新增群二维码三百个，欢迎查看。";
    text += "\n以上。";
    return NSString::fromUTF8(text);
}

bool isBlue(const dv::testing::Pixel& p)
{
    return p[2] > 200 && p[0] < 150 && p[1] < 200;
}

// Alerts and sheets on a window of the size under test: however tall their text or however many
// their buttons, they keep inside the screen less its margins and every button can be reached.
class AlertOnScreenTest : public AlertTest, public ::testing::WithParamInterface<CGSize> {
protected:
    void SetUp() override
    {
        AlertTest::SetUp();
        UIScreen::mainScreen()->setBounds(CGRectMake(0, 0, GetParam().width, GetParam().height));
        m_window = alloc<UIWindow>()->init();
        m_window->setBackgroundColor(UIColor::whiteColor());
        m_window->makeKeyAndVisible();
        m_ui.runUntilIdle();
    }
    void TearDown() override
    {
        AlertTest::TearDown();
        UIScreen::mainScreen()->reset();
    }

    // Below the status bar (20 points) and a margin of 20, above a margin of 20 at the bottom.
    CGRect allowed() const { return CGRectMake(0, 40, GetParam().width, GetParam().height - 60); }
    Ref<UILabel> label(std::string_view text) const
    {
        return dv::as<UILabel>(m_ui.find(dv::testing::ViewQuery().withText(std::string(text))));
    }
    CGRect shown(const Ref<UIView>& view) const
    {
        auto point = m_ui.tapPoint(view);
        return point ? m_ui.frameInWindow(view) : CGRectNull;
    }
    static bool inside(CGRect inner, CGRect outer) { return CGRectContainsRect(outer, inner); }
};

TEST_P(AlertOnScreenTest, ALongMessageScrollsBetweenTheTitleAndTheButtonsThatStayInView)
{
    const auto message = longMessage();
    for (NSInteger answer : { 0, 1 }) { // 去查看, then 忽略
        auto push = alert("收到一条推送消息"_ns, message, "去查看"_ns, { "忽略"_ns }, 101);
        push->show();
        m_ui.advance(0.3);
        const CGRect frame = push->frame();
        EXPECT_TRUE(inside(frame, allowed())) << NSStringFromCGRectUTF8(frame);
        EXPECT_EQ(frame.size.height, allowed().size.height) << "as tall as it may be";
        EXPECT_EQ(CGRectGetMidX(frame), GetParam().width / 2);

        // The title, its message and both buttons can be seen and touched.
        auto title = label("收到一条推送消息"), text = label(dv::str(message));
        ASSERT_TRUE(title && text);
        EXPECT_TRUE(m_ui.tapPoint(title));
        EXPECT_TRUE(m_ui.tapPoint(text));
        const CGRect go = m_ui.frameInWindow(push->buttonViewAtIndex(0)),
                     ignore = m_ui.frameInWindow(push->buttonViewAtIndex(1));
        EXPECT_TRUE(m_ui.tapPoint(push->buttonViewAtIndex(0)));
        EXPECT_TRUE(m_ui.tapPoint(push->buttonViewAtIndex(1)));
        EXPECT_EQ(CGRectGetMaxY(go), CGRectGetMaxY(frame));
        EXPECT_EQ(go.origin.y, ignore.origin.y);
        EXPECT_LT(go.origin.x, ignore.origin.x);

        // The message scrolls in the band between them, cut off at its bottom: its last line is out of sight.
        auto scroll = m_ui.find<UIScrollView>();
        ASSERT_TRUE(scroll);
        const CGRect band = m_ui.frameInWindow(scroll);
        EXPECT_GE(band.origin.y, CGRectGetMaxY(m_ui.frameInWindow(title)));
        EXPECT_EQ(CGRectGetMaxY(band), go.origin.y);
        EXPECT_GT(CGRectGetMaxY(m_ui.frameInWindow(text)), CGRectGetMaxY(band));
        auto ink = [&](const dv::testing::Pixels& pixels, CGRect area) {
            return pixels.count(area, [](auto& p) { return dv::testing::isInk(p); });
        };
        auto blue = [&](const dv::testing::Pixels& pixels, CGRect area) { return pixels.count(area, isBlue); };
        const dv::testing::Pixels before(m_ui.screenshot(1));
        EXPECT_GT(ink(before, m_ui.frameInWindow(title)), 50u) << "the title";
        EXPECT_GT(blue(before, go), 20u) << "去查看";
        EXPECT_GT(blue(before, ignore), 20u) << "忽略";
        const CGRect bandFoot = CGRectMake(band.origin.x + 16, CGRectGetMaxY(band) - 18, band.size.width - 32, 16);
        EXPECT_GT(ink(before, bandFoot), 20u) << "the text runs on under the buttons";

        // A finger drags it up, then on to its end: the last line shows above the bottom padding,
        // the title and the buttons stay where they were.
        ASSERT_TRUE(m_ui.pan(text, CGPointMake(0, -150)));
        m_ui.settle(scroll);
        EXPECT_GT(scroll->contentOffset().y, 100);
        const CGFloat rest = scroll->contentSize().height - scroll->bounds().size.height;
        ASSERT_TRUE(m_ui.dragScrollView(scroll, CGPointMake(0, rest - scroll->contentOffset().y)));
        EXPECT_NEAR(scroll->contentOffset().y, rest, 0.5);
        const CGRect textNow = m_ui.frameInWindow(text);
        EXPECT_NEAR(CGRectGetMaxY(textNow), CGRectGetMaxY(band) - 20, 1);
        const dv::testing::Pixels after(m_ui.screenshot(1));
        const CGFloat line = UIFont::systemFontOfSize(14)->lineHeight();
        EXPECT_GT(
            ink(after, CGRectMake(textNow.origin.x, CGRectGetMaxY(textNow) - line, textNow.size.width, line)), 20u)
            << "以上。";
        EXPECT_EQ(ink(after, bandFoot), 0u) << "the padding under the last line";
        EXPECT_GT(ink(after, m_ui.frameInWindow(title)), 50u);
        EXPECT_EQ(m_ui.frameInWindow(push->buttonViewAtIndex(1)), ignore);
        EXPECT_GT(blue(after, ignore), 20u);

        m_delegate->calls.clear();
        ASSERT_TRUE(m_ui.tap(push->buttonViewAtIndex(answer)));
        m_ui.advance(0.3);
        EXPECT_EQ(m_delegate->calls.front(), "clicked:101:" + std::to_string(answer));
        EXPECT_TRUE(m_ui.visibleAlerts().empty());
    }
}

TEST_P(AlertOnScreenTest, AShortAlertIsCentredAndDoesNotScroll)
{
    auto a = alert("收到一条推送消息"_ns, "本周新增群二维码三百个，欢迎查看。"_ns, "去查看"_ns, { "忽略"_ns });
    a->show();
    m_ui.advance(0.3);
    EXPECT_EQ(m_ui.find<UIScrollView>(), nil);
    EXPECT_EQ(CGRectGetMidX(a->frame()), GetParam().width / 2);
    EXPECT_NEAR(CGRectGetMidY(a->frame()), GetParam().height / 2, 0.5);
    EXPECT_LT(a->frame().size.height, 160);
}

TEST_P(AlertOnScreenTest, AVeryLongTitleScrollsWithTheMessageAndTheButtonsStay)
{
    std::string title;
    for (int i = 0; i < 60; ++i)
        title += "重要通知，请仔细阅读";
    auto a = alert(NSString::fromUTF8(title), "请在一周内完成。"_ns, "确定"_ns, {});
    a->show();
    m_ui.advance(0.3);
    EXPECT_TRUE(inside(a->frame(), allowed())) << NSStringFromCGRectUTF8(a->frame());
    auto scroll = m_ui.find<UIScrollView>();
    ASSERT_TRUE(scroll);
    auto head = label(title), text = label("请在一周内完成。");
    ASSERT_TRUE(head && text);
    EXPECT_TRUE(head->isDescendantOfView(scroll)) << "a title taller than half the room scrolls";
    EXPECT_TRUE(m_ui.tapPoint(head));
    EXPECT_FALSE(m_ui.tapPoint(text)) << "under the button, for now";
    EXPECT_TRUE(m_ui.tapPoint(a->buttonViewAtIndex(0)));
    ASSERT_TRUE(m_ui.dragIntoView(text));
    EXPECT_TRUE(m_ui.tapPoint(head)) << "the end of the title still shows";
    ASSERT_TRUE(m_ui.tapAlertButton("确定"));
    EXPECT_EQ(m_delegate->calls.at(2), "clicked:0:0");
}

TEST_P(AlertOnScreenTest, ManyButtonsScrollInTheirHalfUnderTheMessageAndEachCanBeReached)
{
    std::vector<Ref<NSString>> others;
    for (int i = 1; i <= 12; ++i)
        others.push_back(NSString::fromUTF8("选项" + std::to_string(i)));
    const auto message = longMessage();
    auto a = alert("请选择"_ns, message, "取消"_ns, others, 7);
    a->show();
    m_ui.advance(0.3);
    EXPECT_TRUE(inside(a->frame(), allowed())) << NSStringFromCGRectUTF8(a->frame());
    EXPECT_TRUE(m_ui.tapPoint(label("请选择"))) << "the title stays";
    auto text = label(dv::str(message));
    ASSERT_TRUE(text);
    EXPECT_TRUE(m_ui.tapPoint(text));
    auto buttons = dv::as<UIScrollView>(a->buttonViewAtIndex(1)->superview());
    ASSERT_TRUE(buttons);
    EXPECT_NE(buttons, text->superview()) << "the buttons scroll on their own";
    EXPECT_EQ(m_ui.frameInWindow(buttons).size.height, a->frame().size.height / 2);
    EXPECT_EQ(CGRectGetMaxY(m_ui.frameInWindow(buttons)), CGRectGetMaxY(a->frame()));
    EXPECT_TRUE(m_ui.tapPoint(a->buttonViewAtIndex(1))) << "the first buttons show at once";
    for (NSInteger i = 0; i < a->numberOfButtons(); ++i) {
        auto button = a->buttonViewAtIndex(i);
        EXPECT_TRUE(button->isDescendantOfView(buttons)) << i;
        EXPECT_TRUE(m_ui.dragIntoView(button)) << i;
        EXPECT_TRUE(inside(shown(button), CGRectIntersection(a->frame(), m_ui.frameInWindow(buttons)))) << i;
    }
    EXPECT_TRUE(m_ui.tapPoint(text)) << "the message stays in view above them";
    // The cancel button at the very bottom, reached from the top again.
    ASSERT_TRUE(m_ui.dragScrollView(buttons, CGPointMake(0, -buttons->contentOffset().y)));
    EXPECT_FALSE(m_ui.tapPoint(a->buttonViewAtIndex(0)));
    ASSERT_TRUE(m_ui.tapAlertButton("取消"));
    m_ui.advance(0.3);
    EXPECT_EQ(m_delegate->calls.at(2), "clicked:7:0");
    EXPECT_TRUE(m_ui.visibleAlerts().empty());
}

TEST_P(AlertOnScreenTest, AnAlertShownOverTheKeyboardStandsAboveIt)
{
    auto field = alloc<UITextField>()->initWithFrame(CGRectMake(20, 100, 200, 30));
    m_window->addSubview(field);
    ASSERT_TRUE(m_ui.focus(field));
    m_ui.advance(0.3);
    ASSERT_TRUE(m_ui.isKeyboardVisible());
    const CGFloat keyboardTop = CGRectGetMinY(m_ui.keyboardFrame());

    auto a = alert("收到一条推送消息"_ns, longMessage(), "去查看"_ns, { "忽略"_ns });
    a->show();
    m_ui.advance(0.3);
    EXPECT_GE(a->frame().origin.y, 40);
    EXPECT_LE(CGRectGetMaxY(a->frame()), keyboardTop - 20);
    EXPECT_TRUE(m_ui.tapPoint(a->buttonViewAtIndex(0)));
    ASSERT_TRUE(m_ui.tapAlertButton("忽略"));
    m_ui.advance(0.3);

    // A short one too: its buttons would be under the keys if it were centred.
    auto shortOne = alert("提示"_ns, "网络连接失败"_ns, "好"_ns, {});
    shortOne->show();
    m_ui.advance(0.3);
    EXPECT_LE(CGRectGetMaxY(shortOne->frame()), keyboardTop - 20);
    ASSERT_TRUE(m_ui.tapAlertButton("好"));
    m_ui.advance(0.3);
    m_ui.resignFocus(true);
    m_ui.advance(0.3);
}

TEST_P(AlertOnScreenTest, ASheetOfManyButtonsScrollsAboveItsCancelButton)
{
    std::vector<Ref<NSString>> others;
    for (int i = 1; i <= 14; ++i)
        others.push_back(NSString::fromUTF8("地区" + std::to_string(i)));
    auto sheet = alloc<UIActionSheet>()->initWithTitle("选择地区"_ns, m_delegate, "取消"_ns, nil, others);
    sheet->setTag(5);
    sheet->showInView(m_window);
    m_ui.advance(0.3);
    const CGRect frame = sheet->frame();
    EXPECT_GE(frame.origin.y, 40);
    EXPECT_EQ(CGRectGetMaxY(frame), GetParam().height);
    auto scroll = m_ui.find<UIScrollView>();
    ASSERT_TRUE(scroll);
    EXPECT_TRUE(m_ui.tapPoint(label("选择地区"))) << "the title shows first";
    EXPECT_TRUE(m_ui.tapPoint(sheet->buttonViewAtIndex(sheet->cancelButtonIndex())));
    EXPECT_FALSE(m_ui.tapPoint(sheet->buttonViewAtIndex(13)));
    ASSERT_TRUE(m_ui.tapAlertButton("地区14"));
    m_ui.advance(0.3);
    EXPECT_EQ(m_delegate->calls.front(), "sheetClicked:5:13");
}

INSTANTIATE_TEST_SUITE_P(BothScreens, AlertOnScreenTest, ::testing::Values(CGSizeMake(375, 667), CGSizeMake(320, 568)),
    [](const ::testing::TestParamInfo<CGSize>& info) { return "Width" + std::to_string(int(info.param.width)); });

} // namespace
