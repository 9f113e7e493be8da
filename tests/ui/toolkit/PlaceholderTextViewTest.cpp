// The placeholder text view: its placeholder shows only while the text is empty, whether the text
// comes from typing, deleting or code, follows the view's font, sits in the top-left corner, and
// a view made with initWithFrame follows edits through its delegate reads alone.
#include "ToolkitTestSupport.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/UILabel.h"
#include "ui/toolkit/keyboard/KBKeyboardManager.h"
#include "ui/toolkit/keyboard/KBTextView.h"

using namespace dv::test;

namespace {

constexpr const char* kPlaceholder = "请输入简介";

// Notes every text change it is told of.
class ChangeCounter : public NSObject, public UITextViewDelegate {
public:
    int changes = 0;
    bool textViewDidChange(const Ref<UITextView>&) override
    {
        ++changes;
        return true;
    }
};

class PlaceholderTextViewTest : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        // The text view's own placeholder, whether or not an earlier test switched the keyboard
        // manager on: its toolbar would show the placeholder as its title (as the toolbar's tests
        // check) and so stand between a person and what is looked at here.
        KBKeyboardManager::sharedManager()->setEnableAutoToolbar(false);
    }
    void TearDown() override
    {
        // The keyboard goes the ordinary way, so that nothing that follows it (the keyboard
        // manager) is left thinking it still shows.
        m_ui.resignFocus(true);
        m_ui.advance(1);
        KBKeyboardManager::sharedManager()->setEnableAutoToolbar(true);
        ToolkitTest::TearDown();
    }

    Ref<KBTextView> addTextView(Ref<KBTextView> view)
    {
        view->setFrame(CGRectMake(10, 80, 355, 120));
        view->setPlaceholder(NSString::stringWithUTF8String(kPlaceholder));
        m_window->addSubview(view);
        m_ui.runUntilIdle();
        return view;
    }

    // The placeholder's label, whether it shows or not.
    Ref<UILabel> placeholderLabel() const
    {
        return dv::as<UILabel>(m_ui.find(dv::testing::ViewQuery().ofClass(UILabel::class_()).withText(kPlaceholder).hiddenToo()));
    }
    bool placeholderShows() const
    {
        auto label = placeholderLabel();
        return label && m_ui.isVisible(label);
    }
};

} // namespace

TEST_F(PlaceholderTextViewTest, ShowsWhileEmptyAndHidesWhileTheUserTypes)
{
    auto view = addTextView(alloc<KBTextView>()->init());
    EXPECT_TRUE(placeholderShows());
    EXPECT_EQ(m_ui.viewWithText(kPlaceholder), placeholderLabel()) << "a person sees it";

    ASSERT_TRUE(m_ui.focus(view));
    EXPECT_TRUE(placeholderShows()) << "focus alone does not hide it";
    ASSERT_TRUE(m_ui.typeText("好"));
    EXPECT_FALSE(placeholderShows());
    EXPECT_EQ(m_ui.viewWithText(kPlaceholder), nil);
    ASSERT_TRUE(m_ui.typeText("的\n"));
    EXPECT_FALSE(placeholderShows());
    ASSERT_TRUE(m_ui.deleteBackward(2));
    EXPECT_FALSE(placeholderShows());
    ASSERT_TRUE(m_ui.deleteBackward());
    EXPECT_TRUE(placeholderShows());
    EXPECT_EQ(dv::str(view->text()), "");
}

TEST_F(PlaceholderTextViewTest, TextSetInCodeHidesOrShowsItAtOnce)
{
    auto view = addTextView(alloc<KBTextView>()->init());
    view->setText("已有简介"_ns);
    EXPECT_EQ(placeholderLabel()->alpha(), 0) << "without waiting for the next turn";
    m_ui.runUntilIdle();
    EXPECT_FALSE(placeholderShows());
    view->setText(""_ns);
    EXPECT_EQ(placeholderLabel()->alpha(), 1);
    EXPECT_TRUE(placeholderShows());
    view->setText(nil);
    EXPECT_TRUE(placeholderShows());
}

TEST_F(PlaceholderTextViewTest, PlaceholderSetOnAFilledViewStaysHidden)
{
    auto view = alloc<KBTextView>()->init();
    view->setText("内容"_ns);
    addTextView(view);
    ASSERT_TRUE(placeholderLabel());
    EXPECT_FALSE(placeholderShows());
    // A new placeholder replaces the text of the same label.
    auto label = placeholderLabel();
    view->setPlaceholder("另一个提示"_ns);
    EXPECT_EQ(dv::str(label->text()), "另一个提示");
    EXPECT_EQ(dv::str(view->placeholder()), "另一个提示");
    view->setText(""_ns);
    EXPECT_EQ(m_ui.viewWithText("另一个提示"), label);
    std::size_t labels = 0;
    const auto subviews = view->subviews();
    for (auto& subview : subviews->items())
        labels += dv::as<UILabel>(subview) != nil;
    EXPECT_EQ(labels, 1u);
}

TEST_F(PlaceholderTextViewTest, FollowsTheFontAndSitsInTheTopLeftCorner)
{
    auto view = addTextView(alloc<KBTextView>()->init());
    auto label = placeholderLabel();
    ASSERT_TRUE(label);
    EXPECT_EQ(label->font()->pointSize(), view->font()->pointSize());
    EXPECT_EQ(label->frame().origin.x, 8);
    EXPECT_EQ(label->frame().origin.y, 8);
    EXPECT_EQ(label->frame().size.width, 355 - 16);
    const CGFloat smallHeight = label->frame().size.height;
    EXPECT_GT(smallHeight, 0);

    view->setFont(UIFont::systemFontOfSize(30));
    EXPECT_EQ(label->font()->pointSize(), 30);
    EXPECT_GT(label->frame().size.height, smallHeight) << "laid out again at once";
    EXPECT_EQ(label->frame().size.width, 355 - 16);

    // A long placeholder wraps inside the view's width.
    view->setPlaceholder("一段很长的提示文字，说明这里应当填写的内容，直到它一行放不下为止。"_ns);
    m_ui.runUntilIdle();
    EXPECT_GT(label->frame().size.height, 1.5 * UIFont::systemFontOfSize(30)->lineHeight());
    EXPECT_EQ(label->frame().size.width, 355 - 16);
}

TEST_F(PlaceholderTextViewTest, ViewMadeWithInitWithFrameFollowsThroughItsDelegateReads)
{
    // Counted with nothing else running in between: other parts of the process observe too.
    const auto observersBefore = NSNotificationCenter::defaultCenter()->observerCount();
    auto made = alloc<KBTextView>()->initWithFrame(CGRectMake(10, 80, 355, 120));
    EXPECT_EQ(NSNotificationCenter::defaultCenter()->observerCount(), observersBefore) << "not subscribed";
    auto view = addTextView(made);
    auto counter = std::make_shared<ChangeCounter>();
    view->setDelegate(counter);
    EXPECT_EQ(view->delegate(), counter);

    ASSERT_TRUE(m_ui.focus(view));
    ASSERT_TRUE(m_ui.typeText("a"));
    EXPECT_FALSE(placeholderShows());
    ASSERT_TRUE(m_ui.deleteBackward());
    EXPECT_TRUE(placeholderShows());
    EXPECT_EQ(counter->changes, 2) << "the delegate still hears every change";

    // Without any delegate too.
    view->setDelegate(nil);
    ASSERT_TRUE(m_ui.typeText("b"));
    EXPECT_FALSE(placeholderShows());
}

TEST_F(PlaceholderTextViewTest, ViewGoneLeavesNoObserverBehind)
{
    Weak<KBTextView> weak;
    {
        auto view = addTextView(alloc<KBTextView>()->init());
        weak = view;
        ASSERT_TRUE(m_ui.focus(view));
        ASSERT_TRUE(m_ui.typeText("x"));
        ASSERT_TRUE(m_ui.resignFocus());
        view->removeFromSuperview();
    }
    m_ui.runUntilIdle();
    EXPECT_TRUE(weak.expired());

    // Counted with nothing else running in between: other parts of the process observe too.
    const auto observersBefore = NSNotificationCenter::defaultCenter()->observerCount();
    {
        auto view = alloc<KBTextView>()->init();
        EXPECT_EQ(NSNotificationCenter::defaultCenter()->observerCount(), observersBefore + 1);
    }
    EXPECT_EQ(NSNotificationCenter::defaultCenter()->observerCount(), observersBefore);
}

TEST_F(PlaceholderTextViewTest, ViewWithoutPlaceholderHasNoLabel)
{
    auto view = alloc<KBTextView>()->init();
    view->setFrame(CGRectMake(10, 80, 355, 120));
    m_window->addSubview(view);
    m_ui.runUntilIdle();
    EXPECT_EQ(view->placeholder(), nil);
    ASSERT_TRUE(m_ui.focus(view));
    ASSERT_TRUE(m_ui.typeText("abc"));
    view->setText(""_ns);
    view->setFont(UIFont::systemFontOfSize(20));
    const auto subviews = view->subviews();
    for (auto& subview : subviews->items())
        EXPECT_FALSE(dv::as<UILabel>(subview));
}
