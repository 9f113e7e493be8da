#include "UITestSupport.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/system/UIPasteboard.h"

using namespace dv::test;

namespace {

// A label that offers Copy when tapped, as the about screen's identifier label does.
class CopyingLabel : public UILabel {
    DV_CLASS(CopyingLabel, UILabel)
public:
    CopyingLabel() = default;
    Ref<CopyingLabel> initWithFrame(CGRect frame)
    {
        UILabel::initWithFrame(frame);
        setUserInteractionEnabled(true);
        auto tap = alloc<UITapGestureRecognizer>();
        tap->initWithTarget(self(), "handleTap:");
        addGestureRecognizer(tap);
        return self<CopyingLabel>();
    }
    bool canBecomeFirstResponder() const override { return true; }
    bool canPerformAction(SEL action, const id&) const override { return action == SEL("copy:"); }
    void handleTap()
    {
        becomeFirstResponder();
        auto menu = UIMenuController::sharedMenuController();
        menu->setTargetRect(frame(), superview());
        menu->setMenuVisible(true, true);
    }
};

DV_DEFINE_CLASS_WITH(CopyingLabel, b)
{
    b.method("copy:", "v24@0:8@16", [](CopyingLabel& label, std::span<const id>) {
        UIPasteboard::generalPasteboard()->setString(label.text());
        return nil;
    });
    b.method("handleTap:", "v24@0:8@16", [](CopyingLabel& label, std::span<const id>) {
        label.handleTap();
        return nil;
    });
}

class MenuTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        UIPasteboard::generalPasteboard()->setString(nil);
        m_label = alloc<CopyingLabel>()->initWithFrame(CGRectMake(10, 200, 355, 30));
        m_label->setText("5f2a9c0e4d6b8a1c3e5f7a9b0c2d4e6f"_ns);
        m_window->addSubview(m_label);
        m_ui.runUntilIdle();
    }

    Ref<CopyingLabel> m_label;
};

} // namespace

TEST_F(MenuTest, TappingTheCopyingLabelOffersCopyOnlyAndCopyPutsItsTextOnThePasteboard)
{
    EXPECT_FALSE(m_ui.isMenuVisible());
    ASSERT_TRUE(m_ui.tap(m_label));
    ASSERT_TRUE(m_ui.isMenuVisible());
    EXPECT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> {"拷贝"}));
    const CGRect menu = UIMenuController::sharedMenuController()->menuFrame();
    EXPECT_LT(CGRectGetMaxY(menu), 200) << "above the label";
    EXPECT_NEAR(CGRectGetMidX(menu), CGRectGetMidX(m_label->frame()), 0.5);
    EXPECT_NE(m_ui.dump().find("UIButton"), std::string::npos);

    ASSERT_TRUE(m_ui.chooseMenuItem("拷贝"));
    EXPECT_FALSE(m_ui.isMenuVisible());
    EXPECT_EQ(dv::str(UIPasteboard::generalPasteboard()->string()), "5f2a9c0e4d6b8a1c3e5f7a9b0c2d4e6f");
    EXPECT_FALSE(m_ui.chooseMenuItem("拷贝")) << "gone";

    // An empty label still shows the menu; copying a nil text empties the pasteboard.
    m_label->setText(nil);
    ASSERT_TRUE(m_ui.tap(m_label));
    ASSERT_TRUE(m_ui.chooseMenuItem("拷贝"));
    EXPECT_EQ(UIPasteboard::generalPasteboard()->string(), nil);
}

TEST_F(MenuTest, ItemsFollowWhatTheFirstResponderAccepts)
{
    auto menu = UIMenuController::sharedMenuController();
    auto field = alloc<EditingView>()->initWithFrame(CGRectMake(20, 300, 200, 40));
    m_window->addSubview(field);
    menu->setTargetRect(field->bounds(), field);
    menu->setMenuVisible(true);
    EXPECT_FALSE(m_ui.isMenuVisible()) << "no first responder, nothing to offer";

    ASSERT_TRUE(field->becomeFirstResponder());
    menu->setMenuItems(NSArray::of({alloc<UIMenuItem>()->initWithTitle("举报"_ns, "report:"), alloc<UIMenuItem>()->initWithTitle("粘贴两次"_ns, "paste:")}));
    menu->setMenuVisible(true);
    EXPECT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> {"拷贝", "粘贴", "粘贴两次"})) << "the standard order, then its own items it accepts";
    ASSERT_TRUE(m_ui.chooseMenuItem("粘贴"));
    EXPECT_EQ(std::static_pointer_cast<EditingView>(field)->calls, (Journal {"paste:UIMenuController"}));
    menu->setMenuItems(nil);

    // Near the top it opens below the target.
    field->setFrame(CGRectMake(20, 22, 200, 40));
    menu->setTargetRect(field->bounds(), field);
    menu->setMenuVisible(true);
    EXPECT_GE(menu->menuFrame().origin.y, 62);
    menu->setArrowDirection(UIMenuControllerArrowDown);
    menu->update();
    EXPECT_LT(menu->menuFrame().origin.y, 22);
}

TEST_F(MenuTest, ATouchElsewhereHidesTheMenuAndGoesOnToWhatItTouched)
{
    auto other = RecordingView::make(&m_journal, "other", CGRectMake(0, 400, 375, 100));
    m_window->addSubview(other);
    std::vector<std::string> posted;
    std::vector<id> tokens;
    for (auto name : {UIMenuControllerWillShowMenuNotification, UIMenuControllerDidShowMenuNotification, UIMenuControllerWillHideMenuNotification,
             UIMenuControllerDidHideMenuNotification})
        tokens.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(name, nil, nil,
            [&posted](const Ref<NSNotification>& n) { posted.push_back(dv::str(n->name()).substr(16)); }));
    ASSERT_TRUE(m_ui.tap(m_label));
    ASSERT_TRUE(m_ui.isMenuVisible());
    m_journal.clear();
    ASSERT_TRUE(m_ui.tap(CGPointMake(100, 450)));
    EXPECT_FALSE(m_ui.isMenuVisible());
    EXPECT_EQ(m_journal, (Journal {"other:touchesbegan:1", "other:touchesended:1"}));
    EXPECT_EQ(posted, (std::vector<std::string> {"WillShowMenuNotification", "DidShowMenuNotification", "WillHideMenuNotification",
                          "DidHideMenuNotification"}));
    for (auto& token : tokens)
        NSNotificationCenter::defaultCenter()->removeObserver(token);
}
