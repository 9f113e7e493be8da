// Editing inside a text field and a text view, through the driver: the caret where a tap lands
// (in the picture and for the next character typed), typing, delete and paste at the caret or
// over a selection, the caret keys, whole user-perceived characters, the edit menu's commands and
// the selection's band, the sideways and vertical scroll that keeps the caret in sight, and the
// selection in the dump.
#include "TextEditingSupport.h"

#include "platform/system/UIPasteboard.h"

using namespace dv::test;

namespace {

std::string str(const Ref<NSString>& s) { return s ? dv::str(s) : std::string(); }

// Notes every change the field or view asks about, and refuses the replacements listed.
class ChangeRecorder : public NSObject, public UITextFieldDelegate, public UITextViewDelegate {
public:
    std::vector<std::string> asked;
    std::vector<std::string> refused;

    std::optional<bool> textFieldShouldChangeCharactersInRangeReplacementString(const Ref<UITextField>&, NSRange range,
        const Ref<NSString>& text) override
    {
        return note(range, text);
    }
    std::optional<bool> textViewShouldChangeTextInRangeReplacementText(const Ref<UITextView>&, NSRange range, const Ref<NSString>& text) override
    {
        return note(range, text);
    }

private:
    bool note(NSRange range, const Ref<NSString>& text)
    {
        asked.push_back(std::to_string(range.location) + "," + std::to_string(range.length) + ":" + str(text));
        return std::find(refused.begin(), refused.end(), str(text)) == refused.end();
    }
};

class TextEditingTest : public UITest {
protected:
    void SetUp() override
    {
        UITest::SetUp();
        UIPasteboard::generalPasteboard()->setString(nil);
        m_recorder = std::make_shared<ChangeRecorder>();
    }
    void TearDown() override
    {
        UIPasteboard::generalPasteboard()->setString(nil);
        UITest::TearDown();
    }

    Ref<UITextField> addField(CGRect frame = CGRectMake(20, 100, 300, 40))
    {
        auto field = alloc<UITextField>()->initWithFrame(frame);
        field->setBorderStyle(UITextBorderStyleRoundedRect);
        field->setFont(UIFont::systemFontOfSize(17));
        field->setDelegate(m_recorder);
        m_window->addSubview(field);
        m_ui.runUntilIdle();
        return field;
    }

    // Focuses the field, types `text` and ends editing, as a person fills a field.
    void fill(const Ref<UITextField>& field, const std::string& text)
    {
        ASSERT_TRUE(m_ui.focus(field));
        ASSERT_TRUE(m_ui.typeText(text));
        ASSERT_TRUE(m_ui.resignFocus());
        m_recorder->asked.clear();
    }

    // Where the boundary after the first `units` UTF-16 units of the field's (left-aligned,
    // unscrolled) line shows, in window points, on the line's middle.
    CGPoint boundaryPoint(const Ref<UITextField>& field, NSUInteger units) const
    {
        const CGRect frame = m_ui.frameInWindow(field);
        const CGRect area = field->isEditing() ? field->editingRectForBounds(field->bounds()) : field->textRectForBounds(field->bounds());
        const CGFloat width = dv::measureText(field->text()->substringToIndex(units), field->font(), 0, 1).width;
        return CGPointMake(frame.origin.x + area.origin.x + width, frame.origin.y + CGRectGetMidY(area));
    }

    CGRect caretIn(const Ref<UIView>& view) const
    {
        return dv::testing::Pixels(m_ui.screenshot(2)).box(CGRectInset(m_ui.frameInWindow(view), 1, 1), isCaret);
    }

    std::shared_ptr<ChangeRecorder> m_recorder;
};

TEST_F(TextEditingTest, ATapPutsTheCaretAtTheNearestBoundaryInLatinChineseAndMixedText)
{
    struct Case {
        const char* text;
        NSUInteger units; // where the tap goes: after this many UTF-16 units
        const char* typed;
    };
    for (const Case& c : { Case { "hello world", 6, "hello Xworld" }, Case { "周末徒步群欢迎你", 6, "周末徒步群欢X迎你" },
             Case { "ab周末cd 12", 3, "ab周X末cd 12" }, Case { "ab周末cd 12", 0, "Xab周末cd 12" } }) {
        SCOPED_TRACE(c.text);
        auto field = addField();
        fill(field, c.text);
        // A little right of the boundary, nearer to it than to the next one.
        const CGPoint boundary = boundaryPoint(field, c.units);
        ASSERT_TRUE(m_ui.tap(CGPointMake(boundary.x + 2, boundary.y)));
        ASSERT_TRUE(field->isEditing());
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(c.units)));
        const CGRect caret = caretIn(field);
        ASSERT_FALSE(CGRectIsNull(caret));
        EXPECT_NEAR(CGRectGetMidX(caret), boundary.x + 2, 2.5) << "the caret stands where the finger went";
        ASSERT_TRUE(m_ui.typeText("X"));
        EXPECT_EQ(str(field->text()), c.typed);
        EXPECT_EQ(m_recorder->asked, (std::vector<std::string> { std::to_string(c.units) + ",0:X" }));
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(c.units + 1)));
        // A second tap while editing moves the caret again, here just left of the end.
        const CGPoint end = boundaryPoint(field, field->text()->length());
        ASSERT_TRUE(m_ui.tap(CGPointMake(end.x - 2, end.y)));
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(field->text()->length())));
        ASSERT_TRUE(m_ui.resignFocus());
        field->removeFromSuperview();
    }
}

TEST_F(TextEditingTest, TypingDeleteAndTheCaretKeysActAtTheCaretAndARefusedChangeKeepsTextAndCaret)
{
    auto field = addField();
    fill(field, "abcdef");
    ASSERT_TRUE(m_ui.focus(field));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(6)));
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Left));
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Left));
    ASSERT_TRUE(m_ui.deleteBackward());
    EXPECT_EQ(str(field->text()), "abcef");
    ASSERT_TRUE(m_ui.typeText("XY"));
    EXPECT_EQ(str(field->text()), "abcXYef");
    EXPECT_EQ(m_recorder->asked, (std::vector<std::string> { "3,1:", "3,0:X", "4,0:Y" }));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(5)));

    // Refused in the middle: nothing changes, and the next key still goes to the same place.
    m_recorder->refused = { "z", "" };
    m_recorder->asked.clear();
    ASSERT_TRUE(m_ui.typeText("z"));
    ASSERT_TRUE(m_ui.deleteBackward());
    EXPECT_EQ(m_recorder->asked, (std::vector<std::string> { "5,0:z", "4,1:" }));
    EXPECT_EQ(str(field->text()), "abcXYef");
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(5)));
    m_recorder->refused.clear();

    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Home));
    ASSERT_TRUE(m_ui.typeText("<"));
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::End));
    ASSERT_TRUE(m_ui.typeText(">"));
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Right)); // at the end already: stays
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Home));
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Left)); // at the start already: stays
    ASSERT_TRUE(m_ui.deleteBackward());               // nothing before the caret: nothing asked
    EXPECT_EQ(str(field->text()), "<abcXYef>");
    EXPECT_EQ(m_recorder->asked.back(), "8,0:>");
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(0)));
}

TEST_F(TextEditingTest, DeleteRemovesAWholeCharacterAndTheCaretNeverStandsInsideOne)
{
    struct Case {
        const char* name;
        const char* character;
    };
    for (const Case& c : { Case { "skin tone", "👍🏽" }, Case { "flag", "🇨🇳" }, Case { "family", "👨‍👩‍👧" },
             Case { "combining marks", "e\u0301\u0323" }, Case { "hangul jamo", "\u1100\u1161\u11A8" } }) {
        SCOPED_TRACE(c.name);
        auto field = addField();
        ASSERT_TRUE(m_ui.focus(field));
        ASSERT_TRUE(m_ui.typeText(std::string("ab") + c.character + "c"));
        const NSUInteger units = NSString::fromUTF8(c.character)->length();
        // Left over "c" and then over the whole character; Right back over it.
        ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Left));
        ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Left));
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(2)));
        ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Right));
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(2 + units)));
        m_recorder->asked.clear();
        ASSERT_TRUE(m_ui.deleteBackward());
        EXPECT_EQ(str(field->text()), "abc");
        EXPECT_EQ(m_recorder->asked, (std::vector<std::string> { "2," + std::to_string(units) + ":" }));
        // Typed last, it goes as one key and goes again with one delete.
        ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::End));
        ASSERT_TRUE(m_ui.typeText(c.character));
        ASSERT_TRUE(m_ui.deleteBackward());
        EXPECT_EQ(str(field->text()), "abc");
        // A tap inside the character's drawing puts the caret on one of its sides.
        ASSERT_TRUE(m_ui.typeText(c.character));
        ASSERT_TRUE(m_ui.resignFocus());
        const CGPoint before = boundaryPoint(field, 3), after = boundaryPoint(field, 3 + units);
        ASSERT_TRUE(m_ui.tap(CGPointMake((before.x + after.x) / 2 + 0.5, before.y)));
        auto selected = m_ui.selectedRange();
        ASSERT_TRUE(selected);
        EXPECT_TRUE(selected->location == 3 || selected->location == 3 + units) << selected->location;
        ASSERT_TRUE(m_ui.resignFocus());
        field->removeFromSuperview();
    }

    // A secure field shows one dot per character.
    auto secret = addField();
    secret->setSecureTextEntry(true);
    ASSERT_TRUE(m_ui.focus(secret));
    ASSERT_TRUE(m_ui.typeText("a👍🏽🇨🇳e\u0301👨‍👩‍👧"));
    EXPECT_NE(m_ui.dump().find("text=\"●●●●●\""), std::string::npos) << m_ui.dump();
    ASSERT_TRUE(m_ui.deleteBackward());
    ASSERT_TRUE(m_ui.deleteBackward());
    EXPECT_EQ(str(secret->text()), "a👍🏽🇨🇳");
}

TEST_F(TextEditingTest, TheEditMenuOffersWhatTheFieldAllowsAndItsCommandsActAtTheCaret)
{
    auto field = addField();
    // Empty, with nothing to paste: the press focuses the field and no menu shows.
    ASSERT_TRUE(m_ui.longPress(CGPointMake(m_ui.frameInWindow(field).origin.x + 40, m_ui.frameInWindow(field).origin.y + 20)));
    EXPECT_TRUE(field->isEditing());
    EXPECT_FALSE(m_ui.isMenuVisible());
    UIPasteboard::generalPasteboard()->setString("周末"_ns);
    ASSERT_TRUE(m_ui.longPress(field));
    EXPECT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> { "粘贴" }));
    ASSERT_TRUE(m_ui.chooseMenuItem("粘贴"));
    EXPECT_EQ(str(field->text()), "周末");
    EXPECT_EQ(m_recorder->asked, (std::vector<std::string> { "0,0:周末" }));

    // With text: the press puts the caret where it is held; paste goes there.
    ASSERT_TRUE(m_ui.typeText("徒步群"));
    m_recorder->asked.clear();
    const CGPoint middle = boundaryPoint(field, 2);
    ASSERT_TRUE(m_ui.longPress(CGPointMake(middle.x + 2, middle.y)));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(2)));
    EXPECT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> { "选择", "全选", "粘贴" }));
    ASSERT_TRUE(m_ui.chooseMenuItem("粘贴"));
    EXPECT_EQ(str(field->text()), "周末周末徒步群");
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(4)));

    // Select: the word at the caret, and the menu again with what a selection allows.
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::End));
    ASSERT_TRUE(m_ui.typeText(" hiking "));
    const CGPoint inWord = boundaryPoint(field, 10);
    ASSERT_TRUE(m_ui.longPress(CGPointMake(inWord.x + 2, inWord.y)));
    ASSERT_TRUE(m_ui.chooseMenuItem("选择"));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), NSMakeRange(8, 6)));
    EXPECT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> { "剪切", "拷贝", "粘贴" }));
    EXPECT_NE(m_ui.dump().find("editing selected=8,6"), std::string::npos) << m_ui.dump();
    // The band over the word with a handle at each end.
    const dv::testing::Pixels shot(m_ui.screenshot(2));
    const CGPoint from = boundaryPoint(field, 8), to = boundaryPoint(field, 14);
    // (Looked for on the line's middle, clear of the handles' dots.)
    const CGRect band = shot.box(CGRectMake(from.x - 6, from.y - 5, to.x - from.x + 12, 10), isBand);
    ASSERT_FALSE(CGRectIsNull(band));
    EXPECT_NEAR(band.origin.x, from.x, 2);
    EXPECT_NEAR(CGRectGetMaxX(band), to.x, 2);
    for (const CGFloat x : { from.x, to.x }) {
        const CGRect handle = shot.box(CGRectMake(x - 5, from.y - 20, 10, 40), isCaret);
        ASSERT_FALSE(CGRectIsNull(handle)) << x;
        EXPECT_NEAR(CGRectGetMidX(handle), x, 1.5);
        EXPECT_GT(handle.size.height, field->font()->lineHeight()) << "the bar and its dot";
    }
    EXPECT_TRUE(CGRectIsNull(shot.box(CGRectMake(from.x + 4, from.y - 15, to.x - from.x - 8, 30), isCaret))) << "no caret inside";

    // Paste over the selection, with the delegate asked about the selected range.
    m_recorder->asked.clear();
    ASSERT_TRUE(m_ui.chooseMenuItem("粘贴"));
    EXPECT_EQ(str(field->text()), "周末周末徒步群 周末 ");
    EXPECT_EQ(m_recorder->asked, (std::vector<std::string> { "8,6:周末" }));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(10)));

    // Typing over a selection replaces it; select all, then cut.
    ASSERT_TRUE(m_ui.longPress(field));
    ASSERT_TRUE(m_ui.chooseMenuItem("全选"));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), NSMakeRange(0, 11)));
    ASSERT_TRUE(m_ui.typeText("新"));
    EXPECT_EQ(str(field->text()), "新");
    ASSERT_TRUE(m_ui.typeText("标题"));
    ASSERT_TRUE(m_ui.longPress(field));
    ASSERT_TRUE(m_ui.chooseMenuItem("全选"));
    m_recorder->asked.clear();
    ASSERT_TRUE(m_ui.chooseMenuItem("剪切"));
    EXPECT_EQ(str(field->text()), "");
    EXPECT_EQ(m_recorder->asked, (std::vector<std::string> { "0,3:" }));
    EXPECT_EQ(str(UIPasteboard::generalPasteboard()->string()), "新标题");

    // A delegate that refuses the cut keeps the text and its selection; copy asks nothing.
    ASSERT_TRUE(m_ui.typeText("留下"));
    ASSERT_TRUE(m_ui.longPress(field));
    ASSERT_TRUE(m_ui.chooseMenuItem("全选"));
    m_recorder->refused = { "" };
    ASSERT_TRUE(m_ui.chooseMenuItem("剪切"));
    EXPECT_EQ(str(field->text()), "留下");
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), NSMakeRange(0, 2)));
    EXPECT_EQ(str(UIPasteboard::generalPasteboard()->string()), "留下");
    m_recorder->refused.clear();

    // A secure field never gives its text away.
    ASSERT_TRUE(m_ui.resignFocus());
    field->setSecureTextEntry(true);
    UIPasteboard::generalPasteboard()->setString("x"_ns);
    ASSERT_TRUE(m_ui.longPress(field));
    EXPECT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> { "选择", "全选", "粘贴" }));
    ASSERT_TRUE(m_ui.chooseMenuItem("全选"));
    EXPECT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> { "粘贴" }));
    EXPECT_FALSE(field->canPerformAction(SEL("copy:"), nil));
    EXPECT_EQ(str(UIPasteboard::generalPasteboard()->string()), "x");
}

TEST_F(TextEditingTest, FocusPutsTheCaretAtTheEndAndALongLineScrollsSidewaysToTheCaret)
{
    auto field = addField(CGRectMake(20, 100, 200, 40));
    const std::string text = "12345678901234567890123456789012345";
    fill(field, text);
    ASSERT_TRUE(m_ui.focus(field));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(35)));
    EXPECT_NE(m_ui.dump().find("editing selected=35,0"), std::string::npos);
    const CGRect area = CGRectOffset(field->editingRectForBounds(field->bounds()), 20, 100);
    auto ink = [](const dv::testing::Pixel& p) { return dv::testing::isInk(p, 128); };
    {
        const dv::testing::Pixels shot(m_ui.screenshot(2));
        const CGRect caret = shot.box(area, isCaret);
        ASSERT_FALSE(CGRectIsNull(caret));
        EXPECT_NEAR(CGRectGetMaxX(caret), CGRectGetMaxX(area), 1) << "the end shows, the caret after it";
    }
    // Home: the beginning scrolls back in, with the caret before it.
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Home));
    {
        const dv::testing::Pixels shot(m_ui.screenshot(2));
        const CGRect caret = shot.box(area, isCaret);
        const CGRect line = shot.box(area, ink);
        ASSERT_FALSE(CGRectIsNull(caret));
        EXPECT_NEAR(caret.origin.x, area.origin.x, 0.5) << "the whole caret, inside the text area";
        EXPECT_NEAR(line.origin.x, area.origin.x + 1, 2) << "the first digit at the left edge";
    }
    // A few characters right: the line stays where it is (the caret is in sight).
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Right));
    const CGRect third = caretIn(field);
    EXPECT_NEAR(CGRectGetMidX(third), boundaryPoint(field, 3).x, 0.5) << "centred on the boundary";
    // A tap on the scrolled line: the caret and the next digit go there.
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::End));
    const CGRect end = caretIn(field);
    ASSERT_TRUE(m_ui.tap(CGPointMake(end.origin.x - 40, end.origin.y + 5)));
    const auto selected = m_ui.selectedRange();
    ASSERT_TRUE(selected);
    EXPECT_GE(selected->location, 30u);
    EXPECT_LE(selected->location, 32u);
    EXPECT_NEAR(caretIn(field).origin.x, end.origin.x - 40, 6);
    ASSERT_TRUE(m_ui.typeText("X"));
    EXPECT_EQ(str(field->text()), text.substr(0, selected->location) + "X" + text.substr(selected->location));

    // Ended and focused again: the caret at the end, whatever it was.
    ASSERT_TRUE(m_ui.resignFocus());
    EXPECT_EQ(m_ui.dump().find("selected="), std::string::npos) << "only while editing";
    ASSERT_TRUE(m_ui.focus(field));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(36)));
}

TEST_F(TextEditingTest, ATextViewPutsTheCaretWhereTappedAndScrollsToKeepItInSight)
{
    auto view = alloc<UITextView>()->initWithFrame(CGRectMake(10, 80, 300, 100));
    view->setFont(UIFont::systemFontOfSize(15));
    view->setDelegate(m_recorder);
    m_window->addSubview(view);
    m_ui.runUntilIdle();
    ASSERT_TRUE(m_ui.focus(view));
    ASSERT_TRUE(m_ui.typeText("第一行\n第二行\n第三行\n第四行\n第五行\n第六行\n第七行\n第八行"));
    EXPECT_GT(view->contentOffset().y, 0) << "scrolled down to the caret at the end";

    // Ctrl+Home: back to the top, the caret before the first character.
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::TextStart));
    EXPECT_EQ(view->contentOffset().y, 0);
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(0)));

    // A tap on the second line after its second character.
    const CGFloat line = view->font()->lineHeight();
    const CGRect frame = m_ui.frameInWindow(view);
    const CGFloat glyph = dv::measureText("第二"_ns, view->font(), 0, 1).width;
    const CGPoint point = CGPointMake(frame.origin.x + 5 + glyph + 2, frame.origin.y + 8 + 1.5 * line);
    ASSERT_TRUE(m_ui.tap(point));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(6)));
    const CGRect caret = caretIn(view);
    ASSERT_FALSE(CGRectIsNull(caret));
    EXPECT_NEAR(CGRectGetMidX(caret), point.x, 3);
    EXPECT_NEAR(CGRectGetMidY(caret), point.y, line / 2);
    m_recorder->asked.clear();
    ASSERT_TRUE(m_ui.typeText("X"));
    ASSERT_TRUE(m_ui.deleteBackward());
    ASSERT_TRUE(m_ui.deleteBackward());
    EXPECT_EQ(m_recorder->asked, (std::vector<std::string> { "6,0:X", "6,1:", "5,1:" }));
    EXPECT_TRUE(str(view->text()).starts_with("第一行\n第行\n第三行")) << str(view->text());
    EXPECT_NE(m_ui.dump().find("editing selected=5,0"), std::string::npos);

    // Ctrl+End: down to the last line again.
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::TextEnd));
    const CGRect last = view->caretRectForPosition(view->endOfDocument());
    EXPECT_LE(CGRectGetMaxY(last), view->contentOffset().y + view->bounds().size.height + 0.5);
    EXPECT_GE(last.origin.y, view->contentOffset().y);

    // A long press selects through the menu, and the band covers the word's line.
    UIPasteboard::generalPasteboard()->setString("九"_ns);
    ASSERT_TRUE(m_ui.longPress(CGPointMake(caretIn(view).origin.x, caretIn(view).origin.y + 5)));
    EXPECT_EQ(m_ui.menuItemTitles(), (std::vector<std::string> { "选择", "全选", "粘贴" }));
    ASSERT_TRUE(m_ui.chooseMenuItem("全选"));
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), NSMakeRange(0, view->text()->length())));
    ASSERT_TRUE(m_ui.chooseMenuItem("粘贴"));
    EXPECT_EQ(str(view->text()), "九");
}

} // namespace
