#include "UITestSupport.h"

#include "platform/base/NSString.h"
#include "platform/base/NSValue.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/system/UIDevice.h"
#include "platform/testing/Pixels.h"

#include <cstring>
#include <set>

using namespace dv::test;

namespace {

// Writes every text and keyboard notification, and every delegate call, into one journal.
class TextRecorder : public NSObject, public UITextFieldDelegate, public UITextViewDelegate {
public:
    Journal* journal = nullptr;
    std::set<std::string> refuse; // delegate questions answered NO
    std::string refusedCharacters; // characters the change check refuses
    std::vector<CGRect> keyboardEnds;

    void observe()
    {
        auto center = NSNotificationCenter::defaultCenter();
        for (auto& name : { UITextFieldTextDidBeginEditingNotification, UITextFieldTextDidEndEditingNotification,
                 UITextFieldTextDidChangeNotification, UITextViewTextDidBeginEditingNotification, UITextViewTextDidEndEditingNotification,
                 UITextViewTextDidChangeNotification, UIKeyboardWillShowNotification, UIKeyboardDidShowNotification,
                 UIKeyboardWillHideNotification, UIKeyboardDidHideNotification })
            center->addObserver(self<TextRecorder>(), &TextRecorder::heard, name, nil);
    }
    void stop() { NSNotificationCenter::defaultCenter()->removeObserver(self(), nil, nil); }

    void heard(const Ref<NSNotification>& n)
    {
        std::string name = n->name()->UTF8String();
        for (auto prefix : { "UITextField", "UITextView", "UI" })
            if (name.starts_with(prefix))
                name = name.substr(std::strlen(prefix));
        name = name.substr(0, name.size() - std::strlen("Notification"));
        if (auto info = n->userInfo()) {
            auto end = dv::as<NSValue>(info->objectForKey(UIKeyboardFrameEndUserInfoKey))->CGRectValue();
            if (name.starts_with("KeyboardWill"))
                keyboardEnds.push_back(end);
        }
        journal->push_back("n:" + name);
    }

    std::optional<bool> ask(const std::string& question)
    {
        journal->push_back(question);
        return !refuse.count(question);
    }

    std::optional<bool> textFieldShouldBeginEditing(const Ref<UITextField>&) override { return ask("shouldBegin"); }
    bool textFieldDidBeginEditing(const Ref<UITextField>&) override { return note("didBegin"); }
    std::optional<bool> textFieldShouldEndEditing(const Ref<UITextField>&) override { return ask("shouldEnd"); }
    bool textFieldDidEndEditing(const Ref<UITextField>&) override { return note("didEnd"); }
    std::optional<bool> textFieldShouldChangeCharactersInRangeReplacementString(const Ref<UITextField>&, NSRange range,
        const Ref<NSString>& text) override
    {
        journal->push_back("shouldChange:" + std::to_string(range.location) + "," + std::to_string(range.length) + ":" + text->UTF8String());
        return !(text->length() && refusedCharacters.find(text->UTF8String()) != std::string::npos);
    }
    std::optional<bool> textFieldShouldClear(const Ref<UITextField>&) override { return ask("shouldClear"); }
    std::optional<bool> textFieldShouldReturn(const Ref<UITextField>&) override { return ask("shouldReturn"); }

    std::optional<bool> textViewShouldBeginEditing(const Ref<UITextView>&) override { return ask("shouldBegin"); }
    std::optional<bool> textViewShouldEndEditing(const Ref<UITextView>&) override { return ask("shouldEnd"); }
    bool textViewDidBeginEditing(const Ref<UITextView>&) override { return note("didBegin"); }
    bool textViewDidEndEditing(const Ref<UITextView>&) override { return note("didEnd"); }
    std::optional<bool> textViewShouldChangeTextInRangeReplacementText(const Ref<UITextView>&, NSRange range, const Ref<NSString>& text) override
    {
        journal->push_back("shouldChange:" + std::to_string(range.location) + "," + std::to_string(range.length) + ":" + text->UTF8String());
        return !(text->length() && refusedCharacters.find(text->UTF8String()) != std::string::npos);
    }
    bool textViewDidChange(const Ref<UITextView>&) override { return note("didChange"); }
    bool textViewDidChangeSelection(const Ref<UITextView>&) override { return note("didChangeSelection"); }

private:
    bool note(const std::string& event)
    {
        journal->push_back(event);
        return true;
    }
};

// A text view whose delegate getter counts its reads, as a subclass watching them would.
class CountingTextView : public UITextView {
public:
    mutable int delegateReads = 0;
    Ref<UITextViewDelegate> delegate() const override
    {
        ++delegateReads;
        return UITextView::delegate();
    }
};

// An accessory that asks for input clicks.
class ClickingBar : public UIView, public UIInputViewAudioFeedback {
public:
    bool enableInputClicksWhenVisible() const override { return true; }
};

class TextInputTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        m_recorder = std::make_shared<TextRecorder>();
        m_recorder->journal = &m_journal;
        m_recorder->observe();
    }
    void TearDown() override
    {
        m_recorder->stop();
        UITest::TearDown();
    }

    Ref<UITextField> field(CGRect frame, const char* placeholder)
    {
        auto f = alloc<UITextField>()->initWithFrame(frame);
        f->setPlaceholder(NSString::stringWithUTF8String(placeholder));
        f->setBorderStyle(UITextBorderStyleRoundedRect);
        f->setDelegate(m_recorder);
        m_window->addSubview(f);
        m_ui.runUntilIdle();
        return f;
    }

    std::shared_ptr<TextRecorder> m_recorder;
};

TEST_F(TextInputTest, FieldFocusTypingReturnAndResignInThePlatformsOrder)
{
    const CGRect screen = UIScreen::mainScreen()->bounds();
    auto name = field(CGRectMake(20, 100, 200, 40), "请输入信聊号");
    ASSERT_TRUE(m_ui.focus(m_ui.viewWithPlaceholder("请输入信聊号")));
    EXPECT_EQ(m_journal, (Journal { "shouldBegin", "didBegin", "n:TextDidBeginEditing", "n:KeyboardWillShow" }));
    EXPECT_TRUE(m_ui.isKeyboardVisible());
    EXPECT_TRUE(CGRectEqualToRect(m_ui.keyboardFrame(), CGRectMake(0, screen.size.height - 216, screen.size.width, 216)));
    m_ui.advance(0.25);
    EXPECT_EQ(m_journal.back(), "n:KeyboardDidShow");

    m_journal.clear();
    ASSERT_TRUE(m_ui.typeText("a中"));
    EXPECT_EQ(m_journal, (Journal { "shouldChange:0,0:a", "n:TextDidChange", "shouldChange:1,0:中", "n:TextDidChange" }));
    EXPECT_EQ(std::string(name->text()->UTF8String()), "a中");
    // A character outside the basic plane counts two UTF-16 units and is deleted whole.
    m_journal.clear();
    ASSERT_TRUE(m_ui.typeText("😀"));
    ASSERT_TRUE(m_ui.deleteBackward());
    EXPECT_EQ(m_journal, (Journal { "shouldChange:2,0:😀", "n:TextDidChange", "shouldChange:2,2:", "n:TextDidChange" }));
    EXPECT_EQ(std::string(name->text()->UTF8String()), "a中");

    m_journal.clear();
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_journal, (Journal { "shouldReturn" }));
    EXPECT_TRUE(name->isFirstResponder()); // no end-on-exit target: the field keeps the focus

    m_journal.clear();
    ASSERT_TRUE(m_ui.resignFocus());
    EXPECT_EQ(m_journal, (Journal { "shouldEnd", "didEnd", "n:TextDidEndEditing", "n:KeyboardWillHide" }));
    EXPECT_FALSE(m_ui.isKeyboardVisible());
    m_ui.advance(0.2);
    EXPECT_EQ(m_journal.back(), "n:KeyboardWillHide");
    m_ui.advance(0.05);
    EXPECT_EQ(m_journal.back(), "n:KeyboardDidHide");
    ASSERT_FALSE(m_recorder->keyboardEnds.empty());
    EXPECT_TRUE(CGRectEqualToRect(m_recorder->keyboardEnds.back(), CGRectMake(0, screen.size.height, screen.size.width, 216)));
}

TEST_F(TextInputTest, TextPlaceholderAndCaretStandOnTheFieldsMiddleLine)
{
    auto f = field(CGRectMake(20, 100, 300, 45), "请输入手机号");
    f->setFont(UIFont::systemFontOfSize(15));
    m_ui.runUntilIdle();
    // Inside the border: the placeholder's grey and the text's black are ink; the caret is blue.
    const CGRect inside = CGRectMake(24, 103, 292, 39);
    auto ink = [](const dv::testing::Pixel& p) { return dv::testing::isInk(p, 200); };
    auto caret = [](const dv::testing::Pixel& p) { return p[3] > 0 && p[2] > 200 && p[0] < 100; };
    const CGRect placeholder = dv::testing::Pixels(m_ui.screenshot()).box(inside, ink);
    ASSERT_FALSE(CGRectIsNull(placeholder));
    EXPECT_NEAR(CGRectGetMidY(placeholder), 122.5, 2);

    ASSERT_TRUE(m_ui.focus(f));
    ASSERT_TRUE(m_ui.typeText("请输入手机"));
    const dv::testing::Pixels typing(m_ui.screenshot());
    const CGRect text = typing.box(inside, ink);
    const CGRect bar = typing.box(inside, caret);
    ASSERT_FALSE(CGRectIsNull(text));
    ASSERT_FALSE(CGRectIsNull(bar));
    EXPECT_NEAR(CGRectGetMidY(text), CGRectGetMidY(placeholder), 0.6) << "the text stands where its placeholder stood";
    EXPECT_NEAR(CGRectGetMidY(bar), CGRectGetMidY(text), 1.5) << "the caret is on the text's line";
    EXPECT_GE(bar.size.height, text.size.height);
    EXPECT_NEAR(bar.origin.x, CGRectGetMaxX(text), 3) << "after the last character";

    // The content's vertical alignment moves the line; the caret goes with it.
    f->setContentVerticalAlignment(UIControlContentVerticalAlignmentTop);
    m_ui.runUntilIdle();
    const dv::testing::Pixels top(m_ui.screenshot());
    EXPECT_LT(CGRectGetMidY(top.box(inside, ink)), CGRectGetMidY(text) - 5);
    EXPECT_NEAR(CGRectGetMidY(top.box(inside, caret)), CGRectGetMidY(top.box(inside, ink)), 1.5);
    f->setContentVerticalAlignment(UIControlContentVerticalAlignmentBottom);
    m_ui.runUntilIdle();
    EXPECT_GT(CGRectGetMidY(dv::testing::Pixels(m_ui.screenshot()).box(inside, ink)), CGRectGetMidY(text) + 5);
}

TEST_F(TextInputTest, ALongLineScrollsToTheCaretWhileEditedAndShowsItsBeginningAfterwards)
{
    // Right aligned, with a clear button while editing: the line and the caret keep left of it.
    auto f = field(CGRectMake(20, 100, 200, 40), "号码");
    f->setTextAlignment(NSTextAlignmentRight);
    f->setClearButtonMode(UITextFieldViewModeWhileEditing);
    m_ui.runUntilIdle();
    auto ink = [](const dv::testing::Pixel& p) { return dv::testing::isInk(p, 128); };
    auto caret = [](const dv::testing::Pixel& p) { return p[3] > 0 && p[2] > 200 && p[0] < 100; };
    const CGRect inside = CGRectMake(22, 102, 196, 36);
    ASSERT_TRUE(m_ui.focus(f));
    ASSERT_TRUE(m_ui.typeText("12"));
    const dv::testing::Pixels fits(m_ui.screenshot());
    const CGRect clear = CGRectOffset(f->clearButtonRectForBounds(f->bounds()), 20, 100);
    const CGRect shortBar = fits.box(inside, caret);
    EXPECT_NEAR(CGRectGetMaxX(shortBar), clear.origin.x - 2, 1) << "the caret at the right end of the text's room";
    EXPECT_GT(fits.box(inside, ink).origin.x, 150) << "a line that fits stands on the right";

    ASSERT_TRUE(m_ui.typeText("3456789012345678901234567890"));
    const dv::testing::Pixels typed(m_ui.screenshot());
    const CGRect bar = typed.box(inside, caret);
    const CGRect text = typed.box(CGRectMake(22, 102, clear.origin.x - 22, 36), ink);
    EXPECT_TRUE(CGRectEqualToRect(bar, shortBar)) << "the caret stays where it stood";
    EXPECT_NEAR(CGRectGetMaxX(text), bar.origin.x, 2.5);
    EXPECT_LE(CGRectGetMaxX(text), bar.origin.x + 0.5) << "the caret stands after the text, not on it";
    EXPECT_LE(text.origin.x, 30) << "the line's beginning goes under the left edge";
    EXPECT_TRUE(CGRectIsNull(typed.box(CGRectMake(0, 102, 27, 36), ink))) << "nothing drawn left of the text's room";

    // Dots of a secure field scroll the same way.
    f->setSecureTextEntry(true);
    m_ui.runUntilIdle();
    const dv::testing::Pixels dots(m_ui.screenshot());
    EXPECT_NEAR(CGRectGetMaxX(dots.box(CGRectMake(22, 102, clear.origin.x - 22, 36), ink)), bar.origin.x, 2.5);
    f->setSecureTextEntry(false);

    // Editing ended: from the left edge, right alignment set aside, the end cut.
    ASSERT_TRUE(m_ui.resignFocus());
    const dv::testing::Pixels ended(m_ui.screenshot());
    const CGRect line = ended.box(inside, ink);
    EXPECT_NEAR(line.origin.x, 27, 2);
    EXPECT_LE(CGRectGetMaxX(line), 213);
    EXPECT_LE(ended.box(CGRectMake(CGRectGetMaxX(line) - 2, 102, 2, 36), ink).size.height, 2.5) << "the ellipsis's last dot";
    EXPECT_TRUE(CGRectIsNull(ended.box(inside, caret)));
    EXPECT_NE(m_ui.dump().find("text=\"123456789012345678901234567890\""), std::string::npos) << "the dump has the whole text";
}

TEST_F(TextInputTest, DelegateRefusalsStopFocusTextClearAndResign)
{
    auto f = field(CGRectMake(20, 100, 200, 40), "号码");
    f->setClearButtonMode(UITextFieldViewModeWhileEditing);
    m_recorder->refuse = { "shouldBegin" };
    EXPECT_FALSE(m_ui.focus(f));
    EXPECT_FALSE(m_ui.isKeyboardVisible());
    EXPECT_EQ(m_journal, (Journal { "shouldBegin" }));

    m_recorder->refuse = { "shouldClear", "shouldEnd" };
    m_recorder->refusedCharacters = "x";
    ASSERT_TRUE(m_ui.focus(f));
    ASSERT_TRUE(m_ui.typeText("1x2"));
    EXPECT_EQ(std::string(f->text()->UTF8String()), "12");
    EXPECT_TRUE(m_ui.tapClearButton());
    EXPECT_EQ(std::string(f->text()->UTF8String()), "12");
    EXPECT_FALSE(m_ui.resignFocus());
    EXPECT_TRUE(f->isFirstResponder());
    EXPECT_TRUE(m_ui.isKeyboardVisible());

    // Allowed now: the clear button empties the field without asking about the characters.
    m_recorder->refuse.clear();
    m_journal.clear();
    EXPECT_TRUE(m_ui.tapClearButton());
    EXPECT_EQ(m_journal, (Journal { "shouldClear", "n:TextDidChange" }));
    EXPECT_EQ(std::string(f->text()->UTF8String()), "");
    EXPECT_FALSE(m_ui.tapClearButton()); // hidden while empty

    // Forced: the window ends editing whatever the delegate says.
    m_recorder->refuse = { "shouldEnd" };
    m_journal.clear();
    EXPECT_TRUE(m_ui.resignFocus(true));
    EXPECT_FALSE(f->isFirstResponder());
    EXPECT_EQ(m_journal, (Journal { "shouldEnd", "didEnd", "n:TextDidEndEditing", "n:KeyboardWillHide" }));
}

TEST_F(TextInputTest, FocusMovingBetweenFieldsKeepsTheKeyboardAndAnnouncesItAgain)
{
    auto first = field(CGRectMake(20, 100, 200, 40), "一");
    auto second = field(CGRectMake(20, 160, 200, 40), "二");
    ASSERT_TRUE(m_ui.focus(first));
    m_ui.advance(0.1); // did-show not yet due
    m_journal.clear();
    ASSERT_TRUE(m_ui.focus(second));
    EXPECT_EQ(m_journal, (Journal { "shouldBegin", "shouldEnd", "didEnd", "n:TextDidEndEditing", "didBegin", "n:TextDidBeginEditing",
                             "n:KeyboardWillShow" }));
    m_ui.advance(0.3);
    EXPECT_EQ(std::count(m_journal.begin(), m_journal.end(), "n:KeyboardDidShow"), 1); // the first one's was replaced
    EXPECT_TRUE(m_ui.isKeyboardVisible());

    // Return with an end-on-exit target: the field resigns and the keyboard goes.
    second->addTarget(nil, "noSuchAction:", UIControlEventEditingDidEndOnExit);
    m_journal.clear();
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_FALSE(second->isFirstResponder());
    EXPECT_FALSE(m_ui.isKeyboardVisible());
    EXPECT_EQ(m_journal.back(), "n:KeyboardWillHide");
}

TEST_F(TextInputTest, KeyboardFrameGrowsByTheAccessoryAndItsButtonsTakeTaps)
{
    const CGRect screen = UIScreen::mainScreen()->bounds();
    auto f = field(CGRectMake(20, 100, 200, 40), "备注");
    auto bar = alloc<UIToolbar>()->initWithFrame(CGRectMake(0, 0, 100, 44));
    auto target = alloc<ActionTarget>();
    target->init();
    auto item = alloc<UIBarButtonItem>()->initWithTitle("完成"_ns, UIBarButtonItemStyleDone, target, "fire");
    bar->setItems(NSArray::of({ item }));
    f->setInputAccessoryView(bar);
    ASSERT_TRUE(m_ui.focus(f));
    EXPECT_TRUE(CGRectEqualToRect(m_ui.keyboardFrame(), CGRectMake(0, screen.size.height - 260, screen.size.width, 260)));
    EXPECT_EQ(m_ui.keyboardAccessoryView(), bar);
    EXPECT_TRUE(CGRectEqualToRect(m_ui.frameInWindow(bar), CGRectMake(0, screen.size.height - 260, screen.size.width, 44)));
    EXPECT_TRUE(m_ui.tap(item));
    EXPECT_EQ(target->calls.size(), 1u);
    EXPECT_TRUE(f->isFirstResponder()); // a touch on the keyboard is not a touch outside

    // Without the accessory, reloadInputViews announces the smaller keyboard.
    m_journal.clear();
    f->setInputAccessoryView(nil);
    f->reloadInputViews();
    EXPECT_EQ(m_journal, (Journal { "n:KeyboardWillShow" }));
    ASSERT_FALSE(m_recorder->keyboardEnds.empty());
    EXPECT_TRUE(CGRectEqualToRect(m_recorder->keyboardEnds.back(), CGRectMake(0, screen.size.height - 216, screen.size.width, 216)));

    // A field under the keyboard cannot be tapped.
    auto low = field(CGRectMake(20, screen.size.height - 100, 200, 40), "下面");
    EXPECT_FALSE(m_ui.tapPoint(low).has_value());
}

TEST_F(TextInputTest, InputClicksSoundOnlyWithAnAccessoryThatAsksForThem)
{
    auto f = field(CGRectMake(20, 100, 200, 40), "点击");
    const auto before = dv::inputClickCount();
    UIDevice::currentDevice()->playInputClick();
    EXPECT_EQ(dv::inputClickCount(), before);
    auto bar = alloc<ClickingBar>();
    bar->initWithFrame(CGRectMake(0, 0, 10, 44));
    f->setInputAccessoryView(bar);
    ASSERT_TRUE(m_ui.focus(f));
    UIDevice::currentDevice()->playInputClick();
    EXPECT_EQ(dv::inputClickCount(), before + 1);
    m_ui.resignFocus();
    UIDevice::currentDevice()->playInputClick();
    EXPECT_EQ(dv::inputClickCount(), before + 1);
}

TEST_F(TextInputTest, TextViewOrderSelectionCaretAndDelegateReads)
{
    auto view = alloc<CountingTextView>();
    view->initWithFrame(CGRectMake(10, 80, 300, 60));
    view->setFont(UIFont::systemFontOfSize(15));
    view->setDelegate(m_recorder);
    m_window->addSubview(view);
    m_ui.runUntilIdle();

    ASSERT_TRUE(m_ui.focus(view));
    EXPECT_EQ(m_journal, (Journal { "shouldBegin", "n:KeyboardWillShow", "didBegin", "n:TextDidBeginEditing" }));
    m_journal.clear();
    const int reads = view->delegateReads;
    ASSERT_TRUE(m_ui.typeText("ab\n"));
    EXPECT_EQ(m_journal, (Journal { "shouldChange:0,0:a", "didChangeSelection", "didChange", "n:TextDidChange",
                             "shouldChange:1,0:b", "didChangeSelection", "didChange", "n:TextDidChange",
                             "shouldChange:2,0:\n", "didChangeSelection", "didChange", "n:TextDidChange" }));
    EXPECT_GE(view->delegateReads - reads, 9); // read each time it is consulted
    EXPECT_EQ(std::string(view->text()->UTF8String()), "ab\n");
    EXPECT_EQ(view->selectedRange().location, 3u);

    // The caret after a line feed stands one line lower, at the left.
    const CGFloat line = view->font()->lineHeight();
    const CGRect start = view->caretRectForPosition(view->beginningOfDocument());
    const CGRect end = view->caretRectForPosition(view->selectedTextRange()->start());
    EXPECT_NEAR(end.origin.y - start.origin.y, line, 0.5);
    EXPECT_NEAR(end.origin.x, start.origin.x, 0.5);
    const CGRect afterB = view->caretRectForPosition(UITextPosition::positionWithOffset(2));
    EXPECT_GT(afterB.origin.x, start.origin.x);

    // Refused text changes nothing; typing past the bottom keeps the caret in sight.
    m_recorder->refusedCharacters = "z";
    m_journal.clear();
    ASSERT_TRUE(m_ui.typeText("z"));
    EXPECT_EQ(m_journal, (Journal { "shouldChange:3,0:z" }));
    ASSERT_TRUE(m_ui.typeText("1\n2\n3\n4\n5"));
    EXPECT_GT(view->contentSize().height, view->bounds().size.height);
    const CGRect caret = view->caretRectForPosition(view->endOfDocument());
    EXPECT_LE(CGRectGetMaxY(caret), view->contentOffset().y + view->bounds().size.height + 0.5);

    m_journal.clear();
    ASSERT_TRUE(m_ui.resignFocus());
    EXPECT_EQ(m_journal, (Journal { "shouldEnd", "didEnd", "n:TextDidEndEditing", "n:KeyboardWillHide" }));
}

TEST_F(TextInputTest, NonEditableTextViewTakesNoKeyboardAndTheDumpShowsTheField)
{
    auto view = alloc<UITextView>()->initWithFrame(CGRectMake(10, 80, 300, 60));
    view->setText("只读"_ns);
    view->setEditable(false);
    m_window->addSubview(view);
    auto f = field(CGRectMake(20, 200, 200, 40), "名字");
    f->setSecureTextEntry(true);
    m_ui.tap(view);
    EXPECT_FALSE(m_ui.isKeyboardVisible());
    ASSERT_TRUE(m_ui.focus(f));
    ASSERT_TRUE(m_ui.typeText("pw"));
    const std::string dump = m_ui.dump();
    EXPECT_NE(dump.find("UITextField"), std::string::npos);
    EXPECT_NE(dump.find("text=\"●●\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("UIKeyboardView"), std::string::npos);
    EXPECT_EQ(std::string(f->text()->UTF8String()), "pw");
    // Removing the focused field from its window resigns it and hides the keyboard.
    f->removeFromSuperview();
    EXPECT_FALSE(m_ui.isKeyboardVisible());
}

} // namespace
