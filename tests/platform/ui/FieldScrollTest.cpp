// A long line in a field, at both screen sizes: a tap into the field before it is edited puts the
// caret under the finger in the line as it showed and moves the line no more than keeps the caret
// in sight (the tapped character stays under the finger); while it is edited, a tap or a drag of the
// caret near either edge brings text hidden past that edge into sight.
#include "TextEditingSupport.h"

#include <cmath>
#include <cstdlib>

using namespace dv::test;

namespace {

constexpr const char* kChinese = "每周六早上出发，欢迎新人加入我们的徒步群，一起去爬山看风景，周末见！";
constexpr const char* kLatin = "Meet at the north gate at seven, bring water, a hat and good shoes for the hills";

// How far the ink of a field's line moved between two pictures (in points, positive to the right),
// judged by the columns of ink within `window` of the first picture.
CGFloat inkShift(const dv::testing::Pixels& before, const dv::testing::Pixels& after, CGRect area, CGRect window)
{
    constexpr CGFloat kStep = 0.5; // a pixel at two pixels a point
    // The ink in each column of the area, a pixel wide.
    auto profile = [&](const dv::testing::Pixels& shot) {
        std::vector<double> columns;
        for (CGFloat x = area.origin.x; x < CGRectGetMaxX(area); x += kStep)
            columns.push_back(double(shot.count(CGRectMake(x, area.origin.y, kStep, area.size.height), [](const auto& p) { return dv::testing::isInk(p, 140); })));
        return columns;
    };
    const auto was = profile(before), is = profile(after);
    // The columns of the window, and every place they can have moved to within the area.
    const long first = std::lround((window.origin.x - area.origin.x) / kStep);
    const long count = std::lround(window.size.width / kStep);
    long best = 0;
    double bestScore = 1e300;
    for (long shift = -first; first + shift + count <= long(is.size()); ++shift) {
        double score = 0;
        for (long i = 0; i < count; ++i)
            score += std::abs(was[std::size_t(first + i)] - is[std::size_t(first + i + shift)]);
        if (score < bestScore) {
            bestScore = score;
            best = shift;
        }
    }
    return CGFloat(best) * kStep;
}

class FieldScrollTest : public ScreenSizeEditingTest {
protected:
    Ref<UITextField> addLongField(const std::string& text) { return addField(CGRectMake(20, 100, width() - 40, 40), text); }
    dv::testing::Pixels shot() const { return dv::testing::Pixels(m_ui.screenshot(2)); }
    CGRect caretIn(const Ref<UITextField>& field) const { return shot().box(CGRectInset(m_ui.frameInWindow(field), -10, 0), isCaret); }
};

} // namespace

TEST_P(FieldScrollTest, ATapIntoALongFieldNotEditedLeavesTheTappedCharacterUnderTheFinger)
{
    for (const char* text : { kChinese, kLatin }) {
        SCOPED_TRACE(text);
        auto field = addLongField(text);
        const CGRect area = textArea(field);
        const auto lines = dv::caretLines(field->text(), field->font(), 0, NSTextAlignmentLeft);
        ASSERT_GT(lines[0].stops.back().second, area.size.width) << "the line is longer than the field";
        for (const CGFloat along : { 0.3, 0.6, 0.85 }) {
            SCOPED_TRACE(along);
            const auto before = shot();
            const CGPoint finger = CGPointMake(area.origin.x + along * area.size.width, CGRectGetMidY(area));
            ASSERT_TRUE(m_ui.tap(finger));
            ASSERT_TRUE(field->isEditing());
            const auto after = shot();
            const CGFloat shift = inkShift(before, after, area, CGRectMake(finger.x - 30, area.origin.y, 60, area.size.height));
            EXPECT_LT(std::abs(shift), 1) << "the line moved " << shift << " points";
            // The caret at the boundary nearest to the finger in the line as it showed.
            std::size_t nearest = 0;
            for (std::size_t i = 0; i < lines[0].stops.size(); ++i)
                if (std::abs(area.origin.x + lines[0].stops[i].second - finger.x) < std::abs(area.origin.x + lines[0].stops[nearest].second - finger.x))
                    nearest = i;
            EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(lines[0].stops[nearest].first)));
            const CGRect caret = caretIn(field);
            ASSERT_FALSE(CGRectIsNull(caret));
            EXPECT_NEAR(CGRectGetMidX(caret), area.origin.x + lines[0].stops[nearest].second, 0.5);
            ASSERT_TRUE(m_ui.resignFocus());
        }
        field->removeFromSuperview();
    }
}

TEST_P(FieldScrollTest, ATapOnTheEllipsisMovesTheLineOnlyAsMuchAsShowsTheCaret)
{
    auto field = addLongField(kChinese);
    const CGRect area = textArea(field);
    const auto before = shot();
    ASSERT_TRUE(m_ui.tap(CGPointMake(CGRectGetMaxX(area) - 2, CGRectGetMidY(area))));
    const CGRect caret = caretIn(field);
    ASSERT_FALSE(CGRectIsNull(caret));
    EXPECT_GE(caret.origin.x, area.origin.x - 0.01);
    EXPECT_LE(CGRectGetMaxX(caret), CGRectGetMaxX(area) + 0.01);
    const CGFloat shift = inkShift(before, shot(), area, CGRectMake(area.origin.x + area.size.width / 2, area.origin.y, 60, area.size.height));
    EXPECT_LE(shift, 0.01);
    EXPECT_GT(shift, -field->font()->pointSize()) << "less than a character";
}

TEST_P(FieldScrollTest, WhileEditingATapNearEitherEdgeBringsTheHiddenTextIntoSight)
{
    auto field = addLongField(kChinese);
    const CGRect area = textArea(field);
    const CGFloat character = field->font()->pointSize();
    // Scrolled to its end: text is hidden past the left edge. A tap just inside it.
    ASSERT_TRUE(m_ui.focus(field));
    ASSERT_TRUE(m_ui.tap(CGPointMake(area.origin.x + 3, CGRectGetMidY(area))));
    auto selected = m_ui.selectedRange();
    ASSERT_TRUE(selected);
    EXPECT_GT(selected->location, 0u);
    CGRect caret = caretIn(field);
    ASSERT_FALSE(CGRectIsNull(caret));
    EXPECT_GE(CGRectGetMidX(caret) - area.origin.x, character - 0.5) << "at least a character shows before the caret";
    const CGRect inkBefore = shot().box(CGRectMake(area.origin.x, area.origin.y, caret.origin.x - area.origin.x, area.size.height),
        [](const auto& p) { return dv::testing::isInk(p, 140); });
    EXPECT_FALSE(CGRectIsNull(inkBefore)) << "the characters before the caret show";

    // At the start: text is hidden past the right edge. A tap just inside that edge.
    ASSERT_TRUE(m_ui.moveCaret(dv::CaretMove::Home));
    ASSERT_TRUE(m_ui.tap(CGPointMake(CGRectGetMaxX(area) - 3, CGRectGetMidY(area))));
    selected = m_ui.selectedRange();
    ASSERT_TRUE(selected);
    EXPECT_LT(selected->location, field->text()->length());
    caret = caretIn(field);
    ASSERT_FALSE(CGRectIsNull(caret));
    EXPECT_GE(CGRectGetMaxX(area) - CGRectGetMidX(caret), character - 0.5) << "at least a character shows after the caret";
}

TEST_P(FieldScrollTest, DraggingTheCaretToTheLeftEdgeScrollsBackAndTheMenuShowsWhereItLifts)
{
    auto field = addLongField(kLatin);
    const CGRect area = textArea(field);
    ASSERT_TRUE(m_ui.focus(field));
    const NSUInteger length = field->text()->length();
    // Held in the middle: the caret there and the menu.
    const CGPoint start = CGPointMake(CGRectGetMidX(area), CGRectGetMidY(area));
    const auto touch = m_ui.touchDown(start);
    ASSERT_TRUE(touch);
    m_ui.advance(0.6);
    ASSERT_TRUE(m_ui.isMenuVisible());
    const auto held = m_ui.selectedRange();
    ASSERT_TRUE(held);
    EXPECT_LT(held->location, length);
    // Dragged to the left edge and moved on there a little: the menu waits, the caret follows,
    // and the line scrolls back over what was hidden.
    CGPoint at = start;
    for (int i = 1; i <= 12; ++i) {
        at = CGPointMake(start.x + (area.origin.x + 2 - start.x) * std::min(1.0, i / 8.0) - (i > 8 ? (i - 8) * 0.5 : 0), start.y);
        ASSERT_TRUE(m_ui.touchMove(touch, at));
        m_ui.advance(1.0 / 60);
        EXPECT_FALSE(m_ui.isMenuVisible());
    }
    const auto dragged = m_ui.selectedRange();
    ASSERT_TRUE(dragged);
    const CGFloat travelled = dv::measureText(field->text()->substringWithRange(NSMakeRange(dragged->location, held->location - dragged->location)),
        field->font(), 0, 1).width;
    EXPECT_GT(travelled, start.x - area.origin.x + field->font()->pointSize()) << "further back than the finger went: the line scrolled";
    ASSERT_TRUE(m_ui.touchUp(touch, at));
    m_ui.runUntilIdle();
    EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(dragged->location)));
    ASSERT_TRUE(m_ui.isMenuVisible());
    const CGRect caret = caretIn(field);
    ASSERT_FALSE(CGRectIsNull(caret));
    EXPECT_NEAR(m_ui.menuArrowTip()->x, CGRectGetMidX(caret), 1.5) << "the menu at the caret";
}

INSTANTIATE_TEST_SUITE_P(ScreenSizes, FieldScrollTest, ::testing::Values(CGSizeMake(375, 667), CGSizeMake(320, 568)), screenSizeName);
