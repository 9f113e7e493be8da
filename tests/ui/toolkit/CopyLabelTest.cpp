// The copyable label: a tap shows the edit menu with Copy alone, and Copy puts exactly the
// label's text on the general pasteboard; labels made in code and from an interface file both
// react, an empty one too.
#include "ToolkitTestSupport.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/system/UIPasteboard.h"
#include "platform/ui/UIMenuController.h"
#include "platform/ui/UITextField.h"
#include "ui/toolkit/views/UICopyLabel.h"

using namespace dv::test;

namespace {

class CopyLabelTest : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        UIPasteboard::generalPasteboard()->setString("before"_ns);
    }

    void TearDown() override
    {
        // The keyboard goes the ordinary way, so that nothing that follows it (the keyboard
        // manager) is left thinking it still shows.
        m_ui.resignFocus(true);
        m_ui.advance(1);
        UIPasteboard::generalPasteboard()->setString(nil);
        ToolkitTest::TearDown();
    }

    Ref<UICopyLabel> addLabel(const char* text, CGRect frame = CGRectMake(20, 300, 335, 21))
    {
        auto label = alloc<UICopyLabel>()->initWithFrame(frame);
        if (text)
            label->setText(NSString::stringWithUTF8String(text));
        m_window->addSubview(label);
        m_ui.runUntilIdle();
        return label;
    }

    static Ref<NSString> pasteboardString() { return UIPasteboard::generalPasteboard()->string(); }
};

} // namespace

TEST_F(CopyLabelTest, TapShowsCopyAloneAndCopyPutsTheTextOnThePasteboard)
{
    auto label = addLabel("8F3C2A51-设备");
    EXPECT_FALSE(m_ui.isMenuVisible());

    ASSERT_TRUE(m_ui.tap(label));
    EXPECT_EQ(m_ui.firstResponder(), label);
    ASSERT_TRUE(m_ui.isMenuVisible());
    EXPECT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> {"拷贝"}));
    // The menu points at the label.
    const CGRect menu = UIMenuController::sharedMenuController()->menuFrame();
    EXPECT_LE(CGRectGetMaxY(menu), label->frame().origin.y + 1);
    EXPECT_EQ(dv::str(pasteboardString()), "before") << "nothing is copied before Copy is chosen";

    ASSERT_TRUE(m_ui.chooseMenuItem("拷贝"));
    EXPECT_FALSE(m_ui.isMenuVisible());
    ASSERT_TRUE(pasteboardString());
    EXPECT_EQ(dv::str(pasteboardString()), "8F3C2A51-设备");
    EXPECT_EQ(UIPasteboard::generalPasteboard()->numberOfItems(), 1);
    EXPECT_FALSE(m_ui.chooseMenuItem("粘贴"));
}

TEST_F(CopyLabelTest, OffersNothingButCopyEvenWhenThePasteboardHoldsText)
{
    auto label = addLabel("abc");
    EXPECT_TRUE(label->canPerformAction("copy:", nil));
    for (const char* action : {"cut:", "paste:", "select:", "selectAll:", "delete:", "handleTap:"})
        EXPECT_FALSE(label->canPerformAction(action, nil)) << action;
}

TEST_F(CopyLabelTest, EmptyLabelShowsTheMenuAndEmptiesThePasteboard)
{
    auto label = addLabel(nullptr);
    ASSERT_TRUE(m_ui.tap(label));
    ASSERT_TRUE(m_ui.isMenuVisible());
    ASSERT_TRUE(m_ui.chooseMenuItem("拷贝"));
    EXPECT_EQ(pasteboardString(), nil);
    EXPECT_EQ(UIPasteboard::generalPasteboard()->numberOfItems(), 0);
}

TEST_F(CopyLabelTest, TapElsewhereHidesTheMenuWithoutCopying)
{
    auto label = addLabel("abc");
    ASSERT_TRUE(m_ui.tap(label));
    ASSERT_TRUE(m_ui.isMenuVisible());
    m_ui.tap(CGPointMake(187, 600));
    EXPECT_FALSE(m_ui.isMenuVisible());
    EXPECT_EQ(dv::str(pasteboardString()), "before");
}

TEST_F(CopyLabelTest, TheTapTakesTheFocusFromAField)
{
    auto field = alloc<UITextField>()->initWithFrame(CGRectMake(20, 100, 335, 40));
    m_window->addSubview(field);
    auto label = addLabel("abc");
    ASSERT_TRUE(m_ui.focus(field));
    ASSERT_TRUE(m_ui.isKeyboardVisible());
    ASSERT_TRUE(m_ui.tap(label));
    EXPECT_EQ(m_ui.firstResponder(), label);
    EXPECT_FALSE(m_ui.isKeyboardVisible());
    ASSERT_TRUE(m_ui.chooseMenuItem("拷贝"));
    EXPECT_EQ(dv::str(pasteboardString()), "abc");
}

TEST_F(CopyLabelTest, LabelsMadeInCodeOrFromAnInterfaceFileReactToTaps)
{
    // Made with init: the zero frame, then placed.
    auto plain = alloc<UICopyLabel>()->init();
    plain->setFrame(CGRectMake(20, 100, 200, 30));
    plain->setText("init"_ns);
    m_window->addSubview(plain);
    // As a loader makes one from a file: the label's own set-up, then awakeFromNib.
    auto loaded = alloc<UICopyLabel>();
    loaded->UILabel::initWithFrame(CGRectMake(20, 200, 200, 30));
    loaded->setText("file"_ns);
    m_window->addSubview(loaded);
    m_ui.runUntilIdle();
    m_ui.tap(loaded);
    EXPECT_FALSE(m_ui.isMenuVisible()) << "a plain label takes no touches before it wakes";
    loaded->awakeFromNib();

    ASSERT_TRUE(m_ui.tap(plain));
    ASSERT_TRUE(m_ui.chooseMenuItem("拷贝"));
    EXPECT_EQ(dv::str(pasteboardString()), "init");
    ASSERT_TRUE(m_ui.tap(loaded));
    ASSERT_TRUE(m_ui.chooseMenuItem("拷贝"));
    EXPECT_EQ(dv::str(pasteboardString()), "file");

    // Set up both ways, a label still has one recogniser.
    auto both = addLabel("both");
    both->awakeFromNib();
    EXPECT_EQ(both->gestureRecognizers()->count(), 1u);
}

TEST_F(CopyLabelTest, LabelGoneWhileItsMenuShowsLeavesNothingBehind)
{
    Weak<UICopyLabel> weak;
    {
        auto label = addLabel("abc");
        weak = label;
        ASSERT_TRUE(m_ui.tap(label));
        ASSERT_TRUE(m_ui.isMenuVisible());
        label->removeFromSuperview();
    }
    m_ui.runUntilIdle();
    // Whatever the menu still shows, choosing from it copies nothing and does not crash.
    m_ui.chooseMenuItem("拷贝");
    EXPECT_EQ(dv::str(pasteboardString()), "before");
    m_ui.tap(CGPointMake(187, 600));
    EXPECT_FALSE(m_ui.isMenuVisible());
    EXPECT_TRUE(weak.expired()) << "neither the menu nor the recogniser keeps the label";
}
