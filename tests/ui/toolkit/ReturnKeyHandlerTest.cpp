// The return-key handler: return moves the focus through a screen's fields in the keyboard
// manager's order and closes the keyboard on the last one, which gets the return key asked for;
// every delegate message reaches the handler's delegate and its answers come back; a line feed in
// a text view moves on and is still inserted; removing a field, or the handler going, puts back
// the field's return key and delegate; a field registered twice stays as it was, and the handler
// keeps no field alive.
#include "ToolkitTestSupport.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UIViewController.h"
#include "ui/toolkit/keyboard/KBKeyboardManager.h"
#include "ui/toolkit/keyboard/KBKeyboardReturnKeyHandler.h"
#include "ui/toolkit/views/SRStarRatingView.h"

using namespace dv::test;

namespace {

// Writes every message it gets into a journal, and answers NO where told to.
class FieldDelegate : public NSObject, public UITextFieldDelegate, public UITextViewDelegate {
public:
    explicit FieldDelegate(Journal* journal) : m_journal(journal) { }

    bool refuseBegin = false;
    bool refuseReturn = false;
    bool refuseLineFeed = false;
    std::string refusedCharacter;
    std::vector<std::string> ranges; // "location,length" of each change asked about

    std::optional<bool> textFieldShouldBeginEditing(const Ref<UITextField>& field) override { return note("shouldBegin", field, !refuseBegin); }
    bool textFieldDidBeginEditing(const Ref<UITextField>& field) override { return note("didBegin", field, true); }
    std::optional<bool> textFieldShouldEndEditing(const Ref<UITextField>& field) override { return note("shouldEnd", field, true); }
    bool textFieldDidEndEditing(const Ref<UITextField>& field) override { return note("didEnd", field, true); }
    std::optional<bool> textFieldShouldChangeCharactersInRangeReplacementString(const Ref<UITextField>& field, NSRange range,
        const Ref<NSString>& replacement) override
    {
        noteRange(range);
        return note("change:" + dv::str(replacement), field, dv::str(replacement) != refusedCharacter);
    }
    std::optional<bool> textFieldShouldClear(const Ref<UITextField>& field) override { return note("shouldClear", field, true); }
    std::optional<bool> textFieldShouldReturn(const Ref<UITextField>& field) override { return note("shouldReturn", field, !refuseReturn); }

    std::optional<bool> textViewShouldBeginEditing(const Ref<UITextView>& view) override { return note("shouldBegin", view, true); }
    bool textViewDidBeginEditing(const Ref<UITextView>& view) override { return note("didBegin", view, true); }
    std::optional<bool> textViewShouldEndEditing(const Ref<UITextView>& view) override { return note("shouldEnd", view, true); }
    bool textViewDidEndEditing(const Ref<UITextView>& view) override { return note("didEnd", view, true); }
    std::optional<bool> textViewShouldChangeTextInRangeReplacementText(const Ref<UITextView>& view, NSRange range,
        const Ref<NSString>& text) override
    {
        noteRange(range);
        const auto typed = dv::str(text);
        return note(typed == "\n" ? "change:LF" : "change:" + typed, view, !(refuseLineFeed && typed == "\n"));
    }
    bool textViewDidChange(const Ref<UITextView>& view) override { return note("didChange", view, true); }

private:
    void noteRange(NSRange range) { ranges.push_back(std::to_string(range.location) + "," + std::to_string(range.length)); }
    bool note(const std::string& what, const Ref<UIView>& field, bool answer)
    {
        m_journal->push_back(what + "@" + std::to_string(field->tag()));
        return answer;
    }
    Journal* m_journal;
};

// A delegate that adopts the text-field protocol only.
class FieldOnlyDelegate : public NSObject, public UITextFieldDelegate {
public:
    int returns = 0;
    std::optional<bool> textFieldShouldReturn(const Ref<UITextField>&) override
    {
        ++returns;
        return true;
    }
};

class ReturnKeyHandlerTest : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        m_manager = KBKeyboardManager::sharedManager();
        m_screen = alloc<UIViewController>()->init();
        m_screen->view()->setBackgroundColor(UIColor::whiteColor());
        m_window->setRootViewController(m_screen);
        m_ui.runUntilIdle();
    }

    void TearDown() override
    {
        m_manager->setToolbarManageBehaviour(0);
        // The keyboard goes the ordinary way, so that the keyboard manager hears it go.
        m_ui.resignFocus(true);
        m_ui.advance(1);
        m_handler = nil;
        m_window->setRootViewController(nil);
        m_screen = nil;
        ToolkitTest::TearDown();
    }

    Ref<UITextField> addField(CGFloat y, NSInteger tag, Ref<UIView> parent = nil)
    {
        auto field = alloc<UITextField>()->initWithFrame(CGRectMake(20, y, 335, 40));
        field->setTag(tag);
        field->setBorderStyle(UITextBorderStyleRoundedRect);
        (parent ? parent : m_screen->view())->addSubview(field);
        return field;
    }

    Ref<UITextView> addTextView(CGFloat y, NSInteger tag)
    {
        auto view = alloc<UITextView>()->initWithFrame(CGRectMake(20, y, 335, 80));
        view->setTag(tag);
        m_screen->view()->addSubview(view);
        return view;
    }

    void makeHandler()
    {
        m_ui.runUntilIdle();
        m_handler = alloc<KBKeyboardReturnKeyHandler>()->initWithViewController(m_screen);
    }

    static UIReturnKeyType returnKey(const Ref<UIView>& field) { return dynamic_cast<UITextInputTraits*>(field.get())->returnKeyType(); }
    Journal take() { return std::exchange(m_journal, {}); }

    Ref<KBKeyboardManager> m_manager;
    Ref<UIViewController> m_screen;
    Ref<KBKeyboardReturnKeyHandler> m_handler;
};

} // namespace

TEST_F(ReturnKeyHandlerTest, ReturnMovesThroughTheFieldsAndClosesTheKeyboardOnTheLast)
{
    auto name = addField(100, 1);
    auto phone = addField(160, 2);
    auto city = addField(220, 3);
    makeHandler();
    m_handler->setLastTextFieldReturnKeyType(UIReturnKeyDone);

    ASSERT_TRUE(m_ui.focus(name));
    EXPECT_EQ(returnKey(name), UIReturnKeyNext);
    ASSERT_TRUE(m_ui.typeText("张三\n"));
    EXPECT_EQ(m_ui.firstResponder(), phone);
    EXPECT_EQ(dv::str(name->text()), "张三");
    EXPECT_EQ(returnKey(phone), UIReturnKeyNext);
    EXPECT_TRUE(m_ui.isKeyboardVisible());

    ASSERT_TRUE(m_ui.typeText("13800000000\n"));
    EXPECT_EQ(m_ui.firstResponder(), city);
    EXPECT_EQ(returnKey(city), UIReturnKeyDone);

    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), nil);
    EXPECT_FALSE(m_ui.isKeyboardVisible());

    // Going back by a tap: the field in the middle is told Next again.
    ASSERT_TRUE(m_ui.focus(phone));
    EXPECT_EQ(returnKey(phone), UIReturnKeyNext);
}

TEST_F(ReturnKeyHandlerTest, OrderFollowsTheKeyboardManagersBehaviour)
{
    // Added bottom first, tagged in a third order.
    auto bottom = addField(300, 1);
    auto top = addField(100, 3);
    auto middle = addField(200, 2);
    makeHandler();

    // Subview order.
    ASSERT_TRUE(m_ui.focus(bottom));
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), top);

    // By position: top, middle, bottom.
    m_manager->setToolbarManageBehaviour(2);
    ASSERT_TRUE(m_ui.focus(top));
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), middle);
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), bottom);
    EXPECT_EQ(returnKey(bottom), UIReturnKeyDefault) << "the last one, before the caller chose a key";

    // By tag: bottom (1), middle (2), top (3).
    m_manager->setToolbarManageBehaviour(1);
    ASSERT_TRUE(m_ui.resignFocus());
    ASSERT_TRUE(m_ui.focus(bottom));
    EXPECT_EQ(returnKey(bottom), UIReturnKeyNext);
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), middle);
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), top);
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), nil);
}

TEST_F(ReturnKeyHandlerTest, FieldsOfATableViewFormOneChain)
{
    auto table = alloc<UITableView>()->initWithFrame(CGRectMake(0, 64, 375, 400), UITableViewStylePlain);
    m_screen->view()->addSubview(table);
    // Each field in a row of its own: they are not siblings.
    Ref<UITextField> fields[3];
    for (int i = 0; i < 3; ++i) {
        auto row = alloc<UIView>()->initWithFrame(CGRectMake(0, 10 + 60 * i, 375, 50));
        table->addSubview(row);
        fields[i] = addField(5, i + 1, row);
    }
    makeHandler();
    m_handler->setLastTextFieldReturnKeyType(UIReturnKeySend);
    ASSERT_TRUE(m_ui.focus(fields[0]));
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), fields[1]);
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), fields[2]);
    EXPECT_EQ(returnKey(fields[2]), UIReturnKeySend);
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), nil);
}

TEST_F(ReturnKeyHandlerTest, DelegateHearsEveryMessageAndItsAnswersCount)
{
    auto first = addField(100, 1);
    auto second = addField(160, 2);
    makeHandler();
    auto delegate = std::make_shared<FieldDelegate>(&m_journal);
    m_handler->setDelegate(delegate);
    delegate->refusedCharacter = "x";

    ASSERT_TRUE(m_ui.focus(first));
    ASSERT_TRUE(m_ui.typeText("axb"));
    EXPECT_EQ(dv::str(first->text()), "ab") << "the refused character is left out";
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(take(), (Journal {"shouldBegin@1", "didBegin@1", "change:a@1", "change:x@1", "change:b@1", "shouldReturn@1",
                           "shouldBegin@2", "shouldEnd@1", "didEnd@1", "didBegin@2"}));

    // NO to return: the focus stays.
    delegate->refuseReturn = true;
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), second);
    EXPECT_EQ(take(), (Journal {"shouldReturn@2"}));

    // NO to beginning: the field does not take the focus.
    delegate->refuseBegin = true;
    EXPECT_FALSE(m_ui.focus(first));
    EXPECT_EQ(m_ui.firstResponder(), second);

    // The field's clear button asks too.
    second->setClearButtonMode(UITextFieldViewModeWhileEditing);
    second->setText("abc"_ns);
    take();
    ASSERT_TRUE(m_ui.tapClearButton());
    EXPECT_EQ(take(), (Journal {"shouldClear@2"}));
    EXPECT_EQ(dv::str(second->text()), "");

    // A delegate of the text-field protocol alone hears the text-field messages.
    auto fieldOnly = std::make_shared<FieldOnlyDelegate>();
    m_handler->setDelegate(fieldOnly);
    delegate->refuseReturn = false;
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(fieldOnly->returns, 1);
    EXPECT_EQ(m_ui.firstResponder(), nil);
    EXPECT_TRUE(m_journal.empty()) << "the former delegate hears nothing";
}

TEST_F(ReturnKeyHandlerTest, DelegateGoneLeavesTheDefaults)
{
    auto first = addField(100, 1);
    auto second = addField(160, 2);
    makeHandler();
    {
        auto delegate = std::make_shared<FieldDelegate>(&m_journal);
        delegate->refuseReturn = true;
        m_handler->setDelegate(delegate);
    }
    EXPECT_EQ(m_handler->delegate(), nil);
    ASSERT_TRUE(m_ui.focus(first));
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), second);
    EXPECT_TRUE(m_journal.empty());
}

TEST_F(ReturnKeyHandlerTest, LineFeedInATextViewMovesOnAndIsStillInserted)
{
    auto notes = addTextView(100, 1);
    auto field = addField(200, 2);
    makeHandler();
    auto delegate = std::make_shared<FieldDelegate>(&m_journal);
    m_handler->setDelegate(delegate);

    ASSERT_TRUE(m_ui.focus(notes));
    EXPECT_EQ(returnKey(notes), UIReturnKeyNext);
    ASSERT_TRUE(m_ui.typeText("a\n"));
    EXPECT_EQ(m_ui.firstResponder(), field);
    EXPECT_EQ(dv::str(notes->text()), "a\n");
    const Journal expected {"shouldBegin@1", "didBegin@1", "change:a@1", "didChange@1", "change:LF@1", "shouldBegin@2", "shouldEnd@1",
        "didEnd@1", "didBegin@2", "didChange@1"};
    EXPECT_EQ(take(), expected);

    // Refused, the line feed neither moves the focus nor goes in.
    delegate->refuseLineFeed = true;
    ASSERT_TRUE(m_ui.focus(notes));
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), notes);
    EXPECT_EQ(dv::str(notes->text()), "a\n");
}

TEST_F(ReturnKeyHandlerTest, ChangesInTheMiddleReachTheFormerDelegateWithTheirRange)
{
    auto notes = addTextView(100, 1);
    auto field = addField(200, 2);
    makeHandler();
    auto delegate = std::make_shared<FieldDelegate>(&m_journal);
    m_handler->setDelegate(delegate);

    ASSERT_TRUE(m_ui.focus(notes));
    ASSERT_TRUE(m_ui.typeText("abc"));
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Left));
    ASSERT_TRUE(m_ui.typeText("X"));
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Home));
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Right));
    ASSERT_TRUE(m_ui.deleteBackward());
    EXPECT_EQ(dv::str(notes->text()), "bXc");
    ASSERT_TRUE(m_ui.focus(field));
    ASSERT_TRUE(m_ui.typeText("12"));
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Home));
    ASSERT_TRUE(m_ui.typeText("0"));
    EXPECT_EQ(dv::str(field->text()), "012");
    EXPECT_EQ(delegate->ranges, (std::vector<std::string> {"0,0", "1,0", "2,0", "2,0", "0,1", "0,0", "1,0", "0,0"}));
}

TEST_F(ReturnKeyHandlerTest, RemovingAFieldPutsBackItsReturnKeyAndDelegate)
{
    auto first = addField(100, 1);
    auto second = addField(160, 2);
    auto own = std::make_shared<FieldDelegate>(&m_journal);
    first->setDelegate(own);
    first->setReturnKeyType(UIReturnKeySearch);
    makeHandler();

    auto info = m_handler->textFieldCachedInfo(first);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->objectForKey(kKBTextField), first);
    EXPECT_EQ(dv::as<NSNumber>(info->objectForKey(kKBTextFieldReturnKeyType))->integerValue(), UIReturnKeySearch);
    EXPECT_EQ(info->objectForKey(kKBTextFieldDelegate), std::dynamic_pointer_cast<NSObject>(own));
    EXPECT_EQ(m_handler->textFieldCachedInfo(second)->objectForKey(kKBTextFieldDelegate), nil) << "it had none";

    ASSERT_TRUE(m_ui.focus(first));
    EXPECT_EQ(returnKey(first), UIReturnKeyNext);
    EXPECT_TRUE(take().empty()) << "while registered, the field's own delegate hears nothing";
    ASSERT_TRUE(m_ui.resignFocus());

    m_handler->removeTextFieldView(first);
    EXPECT_EQ(m_handler->textFieldCachedInfo(first), nil);
    EXPECT_EQ(returnKey(first), UIReturnKeySearch);
    EXPECT_EQ(first->delegate(), std::static_pointer_cast<UITextFieldDelegate>(own));
    ASSERT_TRUE(m_ui.focus(first));
    EXPECT_EQ(take(), (Journal {"shouldBegin@1", "didBegin@1"}));
    ASSERT_TRUE(m_ui.resignFocus());

    // Removing it again, or a field never registered, does nothing.
    m_handler->removeTextFieldView(first);
    m_handler->removeTextFieldView(alloc<UITextField>()->init());
    EXPECT_EQ(first->delegate(), std::static_pointer_cast<UITextFieldDelegate>(own));

    // Everything under a view at once.
    m_handler->removeResponderFromView(m_screen->view());
    EXPECT_EQ(second->delegate(), nil);
    m_handler->addResponderFromView(m_screen->view());
    EXPECT_EQ(second->delegate(), std::static_pointer_cast<UITextFieldDelegate>(m_handler));
    EXPECT_EQ(first->delegate(), std::static_pointer_cast<UITextFieldDelegate>(m_handler));
}

TEST_F(ReturnKeyHandlerTest, RegisteringAFieldTwiceChangesNothing)
{
    auto field = addField(100, 1);
    auto own = std::make_shared<FieldDelegate>(&m_journal);
    field->setDelegate(own);
    makeHandler();
    m_handler->addTextFieldView(field);
    m_handler->addResponderFromView(m_screen->view());
    EXPECT_EQ(m_handler->textFieldCachedInfo(field)->objectForKey(kKBTextFieldDelegate), std::dynamic_pointer_cast<NSObject>(own));

    // Forwarding ends at the handler's delegate, once: no message comes round again.
    m_handler->setDelegate(own);
    ASSERT_TRUE(m_ui.focus(field));
    EXPECT_EQ(take(), (Journal {"shouldBegin@1", "didBegin@1"}));

    ASSERT_TRUE(m_ui.resignFocus());
    m_handler->removeTextFieldView(field);
    EXPECT_EQ(field->delegate(), std::static_pointer_cast<UITextFieldDelegate>(own));
    EXPECT_EQ(m_handler->textFieldCachedInfo(field), nil) << "one removal forgets it";
}

TEST_F(ReturnKeyHandlerTest, HandlerGoneRestoresEveryField)
{
    auto field = addField(100, 1);
    auto notes = addTextView(160, 2);
    auto own = std::make_shared<FieldDelegate>(&m_journal);
    field->setDelegate(own);
    field->setReturnKeyType(UIReturnKeyGo);
    makeHandler();
    m_handler->setLastTextFieldReturnKeyType(UIReturnKeyDone);
    ASSERT_TRUE(m_ui.focus(field));
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(returnKey(notes), UIReturnKeyDone);
    ASSERT_TRUE(m_ui.resignFocus());

    m_handler = nil;
    EXPECT_EQ(returnKey(field), UIReturnKeyGo);
    EXPECT_EQ(returnKey(notes), UIReturnKeyDefault);
    EXPECT_EQ(field->delegate(), std::static_pointer_cast<UITextFieldDelegate>(own));
    EXPECT_EQ(notes->delegate(), nil);
    take();
    ASSERT_TRUE(m_ui.focus(field));
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), field) << "without the handler return does not move on";
    EXPECT_EQ(take(), (Journal {"shouldBegin@1", "didBegin@1", "shouldReturn@1"}));
}

TEST_F(ReturnKeyHandlerTest, KeepsNoFieldAlive)
{
    Weak<UITextField> weak;
    {
        auto field = addField(100, 1);
        weak = field;
        makeHandler();
        ASSERT_TRUE(m_handler->textFieldCachedInfo(field));
        field->removeFromSuperview();
    }
    m_ui.runUntilIdle();
    EXPECT_TRUE(weak.expired());
    // New fields register as before, and the handler still goes cleanly.
    auto field = addField(200, 2);
    m_handler->addTextFieldView(field);
    EXPECT_TRUE(m_handler->textFieldCachedInfo(field));
    m_handler = nil;
    EXPECT_EQ(field->delegate(), nil);
}

TEST_F(ReturnKeyHandlerTest, OtherRespondersAreNotTakenOverButTheFocusMovesToThem)
{
    auto field = addField(100, 1);
    auto rating = alloc<SRStarRatingView>()->initWithFrame(CGRectMake(20, 200, 240, 44));
    m_screen->view()->addSubview(rating);
    makeHandler();
    EXPECT_EQ(m_handler->textFieldCachedInfo(rating), nil);
    m_handler->addTextFieldView(rating);
    EXPECT_EQ(m_handler->textFieldCachedInfo(rating), nil);

    ASSERT_TRUE(m_ui.focus(field));
    EXPECT_EQ(returnKey(field), UIReturnKeyNext);
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), rating);
    EXPECT_FALSE(m_ui.isKeyboardVisible());
}

TEST_F(ReturnKeyHandlerTest, HandlerWithoutControllerRegistersNothingUntilAsked)
{
    auto field = addField(100, 1);
    m_handler = alloc<KBKeyboardReturnKeyHandler>()->init();
    EXPECT_EQ(m_handler->textFieldCachedInfo(field), nil);
    EXPECT_EQ(m_handler->lastTextFieldReturnKeyType(), UIReturnKeyDefault);
    EXPECT_EQ(field->delegate(), nil);
    m_handler->addTextFieldView(field);
    ASSERT_TRUE(m_ui.focus(field));
    EXPECT_EQ(returnKey(field), UIReturnKeyDefault) << "alone, it is the last field";
    ASSERT_TRUE(m_ui.pressReturn());
    EXPECT_EQ(m_ui.firstResponder(), nil);
}
