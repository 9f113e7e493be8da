// The caret stands on the boundary between two characters, as the pictures show it at both screen
// sizes: centred on the x the text engine gives (never over the next character's first stroke), in
// a field and in a text view, and kept inside a field at its ends. Where a text view's line wraps,
// a position belongs to the line it was put on: a tap right of a full line, End and typing keep
// the caret at that line's end; a tap at the next line's start, and a selection starting there,
// stand on the next line.
#include "TextEditingSupport.h"

using namespace dv::test;

namespace {

// The four places between characters where a caret drawn right of its boundary hid a stroke.
struct Boundary {
    const char* before;
    const char* after;
};
constexpr Boundary kBoundaries[] = { { "周末徒步群欢X", "迎你" }, { "hellY", "o" }, { "12Y", "3" }, { "ABC-", "DEF" } };

class CaretTest : public ScreenSizeEditingTest {
protected:
    // The caret's box in the window's picture within `area` (null when it does not show).
    CGRect caretIn(CGRect area) const { return dv::testing::Pixels(m_ui.screenshot(2)).box(area, isCaret); }
};

} // namespace

TEST_P(CaretTest, InAFieldTheCaretIsCentredOnTheBoundaryTheTextEngineGives)
{
    for (const Boundary& b : kBoundaries) {
        const std::string text = std::string(b.before) + b.after;
        SCOPED_TRACE(text);
        auto field = addField(CGRectMake(20, 100, width() - 40, 40), text);
        const NSUInteger at = NSString::fromUTF8(b.before)->length();
        const auto lines = dv::caretLines(field->text(), field->font(), 0, NSTextAlignmentLeft);
        ASSERT_EQ(lines.size(), 1u);
        const CGRect area = textArea(field);
        const CGFloat boundary = area.origin.x + lines[0].stops[at].second;
        // A tap a little right of the boundary puts the caret on it.
        ASSERT_TRUE(m_ui.tap(CGPointMake(boundary + 2, CGRectGetMidY(area))));
        ASSERT_TRUE(sameRange(m_ui.selectedRange(), caretAt(at)));
        const CGRect caret = caretIn(CGRectInset(m_ui.frameInWindow(field), 1, 1));
        ASSERT_FALSE(CGRectIsNull(caret));
        EXPECT_NEAR(CGRectGetMidX(caret), boundary, 0.5) << "the caret's middle column on the boundary";
        EXPECT_NEAR(caret.size.width, 2, 0.6) << "two points wide";
        ASSERT_TRUE(m_ui.resignFocus());
        field->removeFromSuperview();
    }
}

TEST_P(CaretTest, InATextViewTheCaretIsCentredOnTheBoundaryToo)
{
    for (const Boundary& b : kBoundaries) {
        const std::string text = std::string(b.before) + b.after;
        SCOPED_TRACE(text);
        auto view = addTextView(CGRectMake(10, 80, width() - 20, 120), text);
        const NSUInteger at = NSString::fromUTF8(b.before)->length();
        const auto lines = linesOf(view);
        ASSERT_EQ(lines.size(), 1u);
        const CGPoint origin = textOrigin(view);
        const CGFloat boundary = origin.x + lines[0].stops[at].second;
        ASSERT_TRUE(m_ui.tap(CGPointMake(boundary + 2, origin.y + lines[0].height / 2)));
        ASSERT_TRUE(sameRange(m_ui.selectedRange(), caretAt(at)));
        const CGRect caret = caretIn(CGRectInset(m_ui.frameInWindow(view), 1, 1));
        ASSERT_FALSE(CGRectIsNull(caret));
        EXPECT_NEAR(CGRectGetMidX(caret), boundary, 0.5);
        EXPECT_NEAR(CGRectGetMidX(view->caretRectForPosition(view->selectedTextRange()->start())) + m_ui.frameInWindow(view).origin.x,
            boundary, 1e-6)
            << "where the keyboard's helpers look for it";
        ASSERT_TRUE(m_ui.resignFocus());
        view->removeFromSuperview();
    }
}

TEST_P(CaretTest, AtAFieldsStartAndEndTheWholeCaretStaysInside)
{
    auto field = addField(CGRectMake(20, 100, width() - 40, 40), std::string(60, 'W'));
    ASSERT_TRUE(m_ui.focus(field));
    const CGRect area = textArea(field);
    CGRect caret = caretIn(CGRectInset(m_ui.frameInWindow(field), -10, 0));
    ASSERT_FALSE(CGRectIsNull(caret));
    EXPECT_LE(CGRectGetMaxX(caret), CGRectGetMaxX(area) + 0.01) << "at the end of a line scrolled to its end";
    EXPECT_GE(caret.size.width, 1.5);
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Home));
    caret = caretIn(CGRectInset(m_ui.frameInWindow(field), -10, 0));
    ASSERT_FALSE(CGRectIsNull(caret));
    EXPECT_GE(caret.origin.x, area.origin.x - 0.01) << "at the start";
    EXPECT_GE(caret.size.width, 1.5);
}

namespace {

// A text whose first line, in a text view of the width under test, is full and wraps without a
// line feed, for the cases at that wrap; `typed` does not fit at the end of that line.
struct WrapCase {
    std::string name;
    std::string text;
    std::string typed;
    std::string second;
};

} // namespace

class CaretAtAWrapTest : public CaretTest {
protected:
    void SetUp() override
    {
        CaretTest::SetUp();
        m_view = addTextView(CGRectMake(10, 80, width() - 20, 200), "");
    }
    void TearDown() override
    {
        m_view = nil;
        CaretTest::TearDown();
    }

    // The Latin and the Chinese text for the view: the Chinese one is made so that its first line
    // ends at a full stop, its second line starting a word.
    std::vector<WrapCase> cases() const
    {
        const auto font = m_view->font();
        const CGFloat wrap = m_view->bounds().size.width - 10;
        std::string latin;
        for (int i = 0; i < 8; ++i)
            latin += "hello world ";
        std::string filler;
        for (int i = 0; i < 4; ++i)
            filler += "周末徒步群每周六早上出发";
        const auto fillerLines = dv::caretLines(NSString::fromUTF8(filler), font, wrap, NSTextAlignmentLeft);
        const auto first = NSString::fromUTF8(filler)->substringToIndex(fillerLines[0].range.length - 1);
        const std::string chinese = first->utf8() + "。新人欢迎你，每周六早上出发。";
        return { { "Latin", latin, "X", "Y" }, { "Chinese", chinese, "好", "们" } };
    }

    // Puts `text` in the view afresh (not edited) and answers its lines.
    std::vector<dv::CaretLine> show(const std::string& text)
    {
        if (m_view->isEditing()) {
            EXPECT_TRUE(m_ui.resignFocus());
        }
        m_view->setText(NSString::fromUTF8(text));
        m_ui.runUntilIdle();
        return linesOf(m_view);
    }

    CGPoint pointOn(const dv::CaretLine& line, CGFloat x) const
    {
        const CGPoint origin = textOrigin(m_view);
        return CGPointMake(origin.x + x, origin.y + line.top + line.height / 2);
    }

    // The caret's box in the rows of `line` (null when it is not drawn there).
    CGRect caretOnLine(const dv::CaretLine& line) const
    {
        const CGRect frame = m_ui.frameInWindow(m_view);
        const CGPoint origin = textOrigin(m_view);
        return caretIn(CGRectMake(frame.origin.x, origin.y + line.top + 2, frame.size.width, line.height - 4));
    }

    Ref<UITextView> m_view;
};

TEST_P(CaretAtAWrapTest, ATapRightOfAFullLineOrAtTheNextLinesStartGivesTheSameIndexOnEitherLine)
{
    for (const WrapCase& c : cases()) {
        SCOPED_TRACE(c.name);
        const auto lines = show(c.text);
        ASSERT_GE(lines.size(), 2u);
        const NSUInteger wrap = lines[0].range.location + lines[0].range.length;
        ASSERT_EQ(lines[1].range.location, wrap) << "the first line wraps without a line feed";
        const CGFloat end = lines[0].stops.back().second;
        const CGFloat left = textOrigin(m_view).x;

        // Just right of the last character: the position after it, the caret at the line's end.
        ASSERT_TRUE(m_ui.tap(pointOn(lines[0], end + 3)));
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(wrap)));
        CGRect caret = caretOnLine(lines[0]);
        ASSERT_FALSE(CGRectIsNull(caret)) << "drawn on the tapped line";
        EXPECT_NEAR(CGRectGetMidX(caret), left + end, 0.5);
        EXPECT_TRUE(CGRectIsNull(caretOnLine(lines[1]))) << "not at the next line's start";

        // At the start of the next line: the same index, the caret there.
        ASSERT_TRUE(m_ui.tap(pointOn(lines[1], 1)));
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(wrap)));
        caret = caretOnLine(lines[1]);
        ASSERT_FALSE(CGRectIsNull(caret));
        EXPECT_NEAR(CGRectGetMidX(caret), left, 0.5);
        EXPECT_TRUE(CGRectIsNull(caretOnLine(lines[0])));
    }
}

TEST_P(CaretAtAWrapTest, EndKeepsTheCaretOnItsLineAndHomeGoesToTheLinesStart)
{
    for (const WrapCase& c : cases()) {
        SCOPED_TRACE(c.name);
        const auto lines = show(c.text);
        ASSERT_GE(lines.size(), 2u);
        const NSUInteger wrap = lines[0].range.location + lines[0].range.length;
        ASSERT_TRUE(m_ui.tap(pointOn(lines[0], lines[0].stops.back().second / 2)));
        ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::End));
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(wrap)));
        const CGRect caret = caretOnLine(lines[0]);
        ASSERT_FALSE(CGRectIsNull(caret)) << "still on the first line";
        EXPECT_NEAR(CGRectGetMidX(caret), textOrigin(m_view).x + lines[0].stops.back().second, 0.5);
        ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Home));
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(0)));
        // On the second line, Home and End go to its own start and end.
        ASSERT_TRUE(m_ui.tap(pointOn(lines[1], lines[1].stops.back().second / 2)));
        ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Home));
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(wrap)));
        EXPECT_FALSE(CGRectIsNull(caretOnLine(lines[1])));
        ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::End));
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(lines[1].range.location + lines[1].range.length)));
        EXPECT_FALSE(CGRectIsNull(caretOnLine(lines[1])));
    }
}

TEST_P(CaretAtAWrapTest, TypingAtTheEndOfAFullLineGoesOnOnTheNextLine)
{
    for (const WrapCase& c : cases()) {
        SCOPED_TRACE(c.name);
        const auto lines = show(c.text);
        const NSUInteger wrap = lines[0].range.location + lines[0].range.length;
        ASSERT_TRUE(m_ui.tap(pointOn(lines[0], lines[0].stops.back().second + 3)));
        ASSERT_TRUE(m_ui.typeText(c.typed));
        const auto text = NSString::fromUTF8(c.text);
        const auto typed = NSString::fromUTF8(c.typed);
        EXPECT_EQ(dv::str(m_view->text()), dv::str(text->substringToIndex(wrap)) + c.typed + dv::str(text->substringFromIndex(wrap)));
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(wrap + typed->length())));
        // The typed character did not fit: it starts the next line, and the caret stands after it.
        const auto after = linesOf(m_view);
        ASSERT_GE(after.size(), 2u);
        EXPECT_EQ(after[0].range.location + after[0].range.length, wrap) << "the first line as it was";
        const auto stop = std::find_if(after[1].stops.begin(), after[1].stops.end(),
            [&](const auto& s) { return s.first == wrap + typed->length(); });
        ASSERT_NE(stop, after[1].stops.end());
        const CGRect caret = caretOnLine(after[1]);
        ASSERT_FALSE(CGRectIsNull(caret));
        EXPECT_NEAR(CGRectGetMidX(caret), textOrigin(m_view).x + stop->second, 0.5);
        EXPECT_TRUE(CGRectIsNull(caretOnLine(after[0])));
        // And the next one goes after it.
        ASSERT_TRUE(m_ui.typeText(c.second));
        EXPECT_EQ(dv::str(m_view->text()),
            dv::str(text->substringToIndex(wrap)) + c.typed + c.second + dv::str(text->substringFromIndex(wrap)));
    }
}

TEST_P(CaretAtAWrapTest, ASelectionStartingALineDrawsItsStartHandleOnThatLine)
{
    for (const WrapCase& c : cases()) {
        SCOPED_TRACE(c.name);
        const auto lines = show(c.text);
        const NSUInteger wrap = lines[0].range.location + lines[0].range.length;
        // The first word of the second line, selected through the menu.
        ASSERT_TRUE(m_ui.longPress(pointOn(lines[1], 2)));
        ASSERT_TRUE(m_ui.chooseMenuItem("选择"));
        const auto selected = m_ui.selectedRange();
        ASSERT_TRUE(selected);
        EXPECT_EQ(selected->location, wrap);
        EXPECT_GT(selected->length, 0u);
        const dv::testing::Pixels shot(m_ui.screenshot(2));
        const CGPoint origin = textOrigin(m_view);
        // The start handle's bar on the second line's start, its dot above that line; nothing of
        // it at the end of the first line.
        const CGRect bar = shot.box(CGRectMake(origin.x - 3, origin.y + lines[1].top + 3, 6, lines[1].height - 6), isCaret);
        ASSERT_FALSE(CGRectIsNull(bar));
        EXPECT_NEAR(CGRectGetMidX(bar), origin.x, 0.5);
        const CGRect dot = shot.box(CGRectMake(origin.x - 5, origin.y + lines[1].top - 8, 10, 7), isCaret);
        EXPECT_FALSE(CGRectIsNull(dot));
        const CGFloat end = origin.x + lines[0].stops.back().second;
        EXPECT_TRUE(CGRectIsNull(shot.box(CGRectMake(end - 5, origin.y + lines[0].top, 10, lines[0].height - 2), isCaret)))
            << "no handle at the end of the line before";
        EXPECT_TRUE(CGRectIsNull(shot.box(CGRectMake(origin.x + 4, origin.y + lines[0].top + 2, end - origin.x, lines[0].height - 4), isBand)))
            << "no band on the line before";
        ASSERT_TRUE(m_ui.resignFocus());
    }
}

INSTANTIATE_TEST_SUITE_P(ScreenSizes, CaretTest, ::testing::Values(CGSizeMake(375, 667), CGSizeMake(320, 568)), screenSizeName);
INSTANTIATE_TEST_SUITE_P(ScreenSizes, CaretAtAWrapTest, ::testing::Values(CGSizeMake(375, 667), CGSizeMake(320, 568)), screenSizeName);
