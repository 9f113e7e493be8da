// Emoji in labels, fields, text views and list rows, through the driver at both screen sizes, as
// a picture of the window shows them: each emoji in colour where the text engine measures it (no
// boxes of hex digits), sizes that fit and wrapped lines that hold them, the caret right after the
// last one, a tap after each one putting the caret after it and never inside a flag, and the end
// ellipsis right after the last character kept, after emoji as after Chinese, Latin text and 。.
#include "TextEditingSupport.h"

#include "platform/base/NSString.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/testing/Pixels.h"

#include <cmath>

using namespace dv::test;
using dv::testing::Pixel;
using Shot = dv::testing::Pixels;

namespace {

// 周末👍🏽徒步🇨🇳群👨‍👩‍👧 by user-perceived characters: a skin tone, a flag and a family of
// joined people among Chinese characters.
const std::vector<std::string> kTitle = { "周", "末", "👍🏽", "徒", "步", "🇨🇳", "群", "👨‍👩‍👧" };
const std::vector<std::size_t> kEmoji = { 2, 5, 7 }; // which of them are emoji

std::string joined(const std::vector<std::string>& characters, std::size_t count)
{
    std::string out;
    for (std::size_t i = 0; i < count && i < characters.size(); ++i)
        out += characters[i];
    return out;
}

CGFloat widthOf(const std::string& text, CGFloat size) { return dv::measureText(NSString::fromUTF8(text), UIFont::systemFontOfSize(size), 0, 1).width; }

NSUInteger unitsOf(const std::string& text) { return NSString::fromUTF8(text)->length(); }

// The text is drawn in pure red: its glyphs, and a box of hex digits, are red over white and the
// blends between; an emoji's picture has colours that red cannot make.
bool isRedOrWhite(const Pixel& p) { return p[0] >= 240 && std::abs(p[1] - p[2]) <= 16; }
bool isPicture(const Pixel& p) { return p[3] > 0 && !isRedOrWhite(p); }
bool isInked(const Pixel& p) { return p[3] > 0 && std::min({ p[0], p[1], p[2] }) < 230; }

// How far a caret's middle may stand from the boundary the text engine gives: the bar stands on
// the boundary or just after it, on whole pixels.
constexpr CGFloat kCaretSlack = 2.5;

class EmojiTextTest : public ScreenSizeTest {
protected:
    Ref<UILabel> addLabel(CGRect frame, const std::string& text, CGFloat size, Ref<UIColor> color)
    {
        auto label = alloc<UILabel>()->initWithFrame(frame);
        label->setFont(UIFont::systemFontOfSize(size));
        label->setTextColor(std::move(color));
        label->setBackgroundColor(UIColor::whiteColor());
        label->setText(NSString::fromUTF8(text));
        m_window->addSubview(label);
        m_ui.runUntilIdle();
        return label;
    }

    // Each emoji of the title, drawn on a line starting at `x` between `top` and `bottom`, is a
    // picture filling much of its place; nothing else of the line is.
    void expectEmojiPictures(const Shot& shot, CGFloat x, CGFloat top, CGFloat bottom, CGFloat size)
    {
        std::size_t outside = 0;
        std::size_t at = 0;
        for (std::size_t emoji : kEmoji) {
            SCOPED_TRACE(kTitle[emoji]);
            const CGFloat start = x + widthOf(joined(kTitle, emoji), size), end = x + widthOf(joined(kTitle, emoji + 1), size);
            const CGRect place = CGRectMake(start, top, end - start, bottom - top);
            const double painted = double(shot.count(place, isPicture)) / double(shot.count(place, [](const Pixel&) { return true; }));
            EXPECT_GT(painted, 0.3) << "a picture, not a box of hex digits";
            outside += shot.count(CGRectMake(x + widthOf(joined(kTitle, at), size) + 1, top, start - 2 - x - widthOf(joined(kTitle, at), size),
                bottom - top), isPicture);
            at = emoji + 1;
        }
        EXPECT_EQ(outside, 0u) << "the Chinese characters are red";
    }
};

TEST_P(EmojiTextTest, ALabelDrawsEachEmojiInColourWhereTheTextEngineMeasuresItAndFitsItsSizeToThem)
{
    const std::string title = joined(kTitle, kTitle.size());
    auto label = addLabel(CGRectMake(15, 100, width() - 30, 40), title, 17, UIColor::redColor());
    label->sizeToFit();
    m_ui.runUntilIdle();
    const CGFloat measured = widthOf(title, 17);
    EXPECT_EQ(label->frame().size.width, std::ceil(measured * 2) / 2);
    EXPECT_EQ(label->frame().size.height, std::ceil(UIFont::systemFontOfSize(17)->lineHeight() * 2) / 2) << "a line of Chinese text";
    const Shot shot(m_ui.screenshot(2));
    const CGRect frame = m_ui.frameInWindow(label);
    expectEmojiPictures(shot, frame.origin.x, frame.origin.y, CGRectGetMaxY(frame), 17);
    // The family's picture ends the text where it was measured to, inside the label.
    const CGRect ink = shot.box(CGRectInset(frame, -10, 0), isInked);
    EXPECT_NEAR(CGRectGetMaxX(ink), frame.origin.x + measured, 1.5);
    EXPECT_LE(CGRectGetMaxX(ink), CGRectGetMaxX(frame));
}

TEST_P(EmojiTextTest, AFieldsCaretFollowsTheLastEmojiAndATapAfterEachEmojiPutsTheCaretAfterIt)
{
    auto field = alloc<UITextField>()->initWithFrame(CGRectMake(15, 100, width() - 30, 40));
    field->setBorderStyle(UITextBorderStyleRoundedRect);
    field->setFont(UIFont::systemFontOfSize(17));
    field->setTextColor(UIColor::redColor());
    m_window->addSubview(field);
    m_ui.runUntilIdle();
    ASSERT_TRUE(m_ui.focus(field));
    const std::string title = joined(kTitle, kTitle.size());
    ASSERT_TRUE(m_ui.typeText(title));
    EXPECT_NE(m_ui.dump().find("text=\"" + title + "\""), std::string::npos);
    ASSERT_EQ(m_ui.selectedRange()->location, 21u);

    const CGRect frame = m_ui.frameInWindow(field);
    const CGRect area = CGRectOffset(field->editingRectForBounds(field->bounds()), frame.origin.x, frame.origin.y);
    const CGFloat line = field->font()->lineHeight();
    auto boundary = [&](std::size_t characters) { return area.origin.x + widthOf(joined(kTitle, characters), 17); };
    const Shot typed(m_ui.screenshot(2));
    expectEmojiPictures(typed, area.origin.x, CGRectGetMidY(area) - line / 2, CGRectGetMidY(area) + line / 2, 17);
    const CGRect caret = typed.box(area, isCaret);
    ASSERT_FALSE(CGRectIsNull(caret));
    EXPECT_NEAR(CGRectGetMidX(caret), boundary(kTitle.size()), kCaretSlack) << "the caret at the end the text engine gives";
    const CGRect drawn = typed.box(CGRectMake(area.origin.x, area.origin.y, caret.origin.x - area.origin.x, area.size.height), isInked);
    EXPECT_NEAR(CGRectGetMaxX(drawn), CGRectGetMidX(caret), 2.5) << "right after the family's picture";

    const CGFloat middle = CGRectGetMidY(area);
    for (std::size_t emoji : kEmoji) {
        SCOPED_TRACE(kTitle[emoji]);
        const NSUInteger before = unitsOf(joined(kTitle, emoji)), after = unitsOf(joined(kTitle, emoji + 1));
        const CGFloat start = boundary(emoji), end = boundary(emoji + 1);
        // Just after it; then on its near and its far half: never a place inside it.
        const std::pair<CGFloat, NSUInteger> taps[] = { { end + 1.5, after }, { start + (end - start) * 0.3, before },
            { start + (end - start) * 0.7, after } };
        for (const auto& [x, expected] : taps) {
            m_ui.advance(1); // a tap of its own, not a second tap of the one before
            ASSERT_TRUE(m_ui.tap(CGPointMake(x, middle)));
            EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(expected))) << "tapped at " << x - area.origin.x;
        }
        // The caret of the first tap, drawn where the emoji ends.
        m_ui.advance(1);
        ASSERT_TRUE(m_ui.tap(CGPointMake(end + 1.5, middle)));
        const CGRect shown = Shot(m_ui.screenshot(2)).box(area, isCaret);
        EXPECT_NEAR(CGRectGetMidX(shown), end, kCaretSlack);
    }
}

// The introduction's text view with three flags: a tap after each flag puts the caret after it,
// between two flags and not inside one.
TEST_P(EmojiTextTest, ATapAfterEachFlagOfATextViewPutsTheCaretBetweenTheFlags)
{
    auto view = alloc<UITextView>()->initWithFrame(CGRectMake(15, 100, width() - 30, 100));
    view->setFont(UIFont::systemFontOfSize(15));
    view->setTextColor(UIColor::redColor());
    m_window->addSubview(view);
    m_ui.runUntilIdle();
    ASSERT_TRUE(m_ui.focus(view));
    const std::vector<std::string> flags = { "🇨🇳", "🇺🇸", "🇯🇵" };
    ASSERT_TRUE(m_ui.typeText(joined(flags, 3)));
    const CGRect frame = m_ui.frameInWindow(view);
    // The text view's first line starts 5 points in and 8 down.
    const CGFloat left = frame.origin.x + 5, middle = frame.origin.y + 8 + view->font()->lineHeight() / 2;
    for (std::size_t flag = 0; flag < flags.size(); ++flag) {
        SCOPED_TRACE(flags[flag]);
        const CGFloat end = left + widthOf(joined(flags, flag + 1), 15);
        m_ui.advance(1);
        ASSERT_TRUE(m_ui.tap(CGPointMake(end + 1.5, middle)));
        EXPECT_TRUE(sameRange(m_ui.selectedRange(), caretAt(4 * (flag + 1))));
        const CGRect caret = Shot(m_ui.screenshot(2)).box(CGRectInset(frame, 1, 1), isCaret);
        ASSERT_FALSE(CGRectIsNull(caret));
        EXPECT_NEAR(CGRectGetMidX(caret), end, kCaretSlack) << "at the flag's end";
    }
}

// Four titles wrap at the label's width: every line as tall as a line of Chinese text, with
// emoji on each, nothing past the label's sides or bottom.
TEST_P(EmojiTextTest, AWrappedLabelKeepsItsEmojiWithinItsWidthInLinesOfChineseHeight)
{
    std::vector<std::string> characters;
    for (int i = 0; i < 4; ++i)
        characters.insert(characters.end(), kTitle.begin(), kTitle.end());
    const CGFloat labelWidth = std::floor((width() - 30) / 2);
    auto label = addLabel(CGRectMake(15, 100, labelWidth, 10), joined(characters, characters.size()), 17, UIColor::redColor());
    label->setNumberOfLines(0);
    label->sizeToFit();
    m_ui.runUntilIdle();
    const CGFloat line = UIFont::systemFontOfSize(17)->lineHeight();
    const CGSize measured = dv::measureText(label->text(), label->font(), labelWidth, 0);
    const long lines = std::lround(measured.height / line);
    EXPECT_GE(lines, 3);
    EXPECT_DOUBLE_EQ(measured.height, lines * line) << "every line as tall as one of Chinese text";
    EXPECT_EQ(label->frame().size.height, std::ceil(measured.height * 2) / 2);
    EXPECT_LE(label->frame().size.width, labelWidth);

    const Shot shot(m_ui.screenshot(2));
    const CGRect frame = m_ui.frameInWindow(label);
    EXPECT_EQ(shot.count(CGRectMake(CGRectGetMaxX(frame), frame.origin.y - 5, 20, frame.size.height + 10), isInked), 0u);
    EXPECT_EQ(shot.count(CGRectMake(frame.origin.x, CGRectGetMaxY(frame), frame.size.width, 20), isInked), 0u);
    // Each line holds pictures of emoji in its middle.
    for (long i = 0; i < lines; ++i)
        EXPECT_GT(shot.count(CGRectMake(frame.origin.x, frame.origin.y + i * line + 3, frame.size.width, line - 6), isPicture), 100u) << i;
}

// A label of one line that ends in an ellipsis: the line looks, column by column, as the
// characters kept followed by the face's own "…" typed after them would (drawn in a second
// label), whatever the last character kept.
TEST_P(EmojiTextTest, ATruncatedLineEndsWithTheEllipsisRightAfterTheLastCharacterKept)
{
    const std::vector<std::string> chinese = { "设", "备", "号", "码" }, latin = { "a", "b", "c", "d", "e", "n", "m" }, stop = { "好", "。" };
    struct Case {
        const char* name;
        const std::vector<std::string>& unit;
    };
    const CGFloat labelWidth = width() - 30;
    for (const Case& c : { Case { "Chinese", chinese }, Case { "Latin", latin }, Case { "full stop", stop }, Case { "emoji", kTitle } }) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> characters;
        while (widthOf(joined(characters, characters.size()), 15) < 2 * labelWidth)
            characters.insert(characters.end(), c.unit.begin(), c.unit.end());
        // As many characters as fit with the ellipsis after them.
        std::size_t kept = 0;
        while (widthOf(joined(characters, kept + 1) + "…", 15) <= labelWidth)
            ++kept;
        auto truncated = addLabel(CGRectMake(15, 100, labelWidth, 30), joined(characters, characters.size()), 15, UIColor::blackColor());
        auto typed = addLabel(CGRectMake(15, 150, labelWidth, 30), joined(characters, kept) + "…", 15, UIColor::blackColor());
        const Shot shot(m_ui.screenshot(2));
        // Which pixel columns of each line hold ink.
        auto columns = [&](const Ref<UILabel>& label) {
            const CGRect frame = m_ui.frameInWindow(label);
            std::vector<bool> inked;
            for (CGFloat x = frame.origin.x; x < CGRectGetMaxX(frame); x += 0.5)
                inked.push_back(shot.count(CGRectMake(x, frame.origin.y, 0.5, frame.size.height), isInked) > 0);
            return inked;
        };
        const auto cut = columns(truncated), expected = columns(typed);
        std::size_t differing = 0, last = 0;
        for (std::size_t i = 0; i < cut.size(); ++i) {
            differing += cut[i] != expected[i];
            if (cut[i])
                last = i;
        }
        EXPECT_LE(differing, 2u) << "kept " << kept << ": " << joined(characters, kept);
        // The line ends near the label's edge: less than a character and the ellipsis's own
        // margin short of it.
        EXPECT_GT(last / 2.0, labelWidth - 21.2 - 2.5) << "kept " << kept;
        truncated->removeFromSuperview();
        typed->removeFromSuperview();
    }
}

// A row of a list whose title, with emoji, is longer than the row: the title ends in an
// ellipsis at the right of its label, after the emoji and characters that fit.
TEST_P(EmojiTextTest, AListRowsTitleWithEmojiEndsInAnEllipsisAtTheRowsEdge)
{
    auto cell = alloc<UITableViewCell>()->initWithStyle(UITableViewCellStyleDefault, "row"_ns);
    cell->setFrame(CGRectMake(0, 100, width(), 44));
    cell->textLabel()->setTextColor(UIColor::redColor());
    std::string title;
    for (int i = 0; i < 3; ++i)
        title += joined(kTitle, kTitle.size());
    cell->textLabel()->setText(NSString::fromUTF8(title));
    m_window->addSubview(cell);
    m_ui.runUntilIdle();
    const CGRect label = m_ui.frameInWindow(cell->textLabel());
    ASSERT_LT(label.size.width, widthOf(title, cell->textLabel()->font()->pointSize())) << "the title does not fit";
    const Shot shot(m_ui.screenshot(2));
    const CGRect ink = shot.box(CGRectInset(label, 0, 0), [](const Pixel& p) { return p[3] > 0 && p[0] > 200 && p[1] < 60 && p[2] < 60; });
    // The last red ink is the ellipsis's last dot: a point or two high, on the baseline, near the
    // label's right edge.
    ASSERT_FALSE(CGRectIsNull(ink));
    EXPECT_LE(CGRectGetMaxX(ink), CGRectGetMaxX(label));
    EXPECT_GT(CGRectGetMaxX(ink), CGRectGetMaxX(label) - 21.2 * 18 / 17 - 2.5) << "less than an emoji short of the edge";
    const CGRect dot = shot.box(CGRectMake(CGRectGetMaxX(ink) - 2, label.origin.y, 2, label.size.height),
        [](const Pixel& p) { return p[3] > 0 && p[0] > 200 && p[1] < 120 && p[2] < 120; });
    EXPECT_LE(dot.size.height, 2.5) << "a dot of the ellipsis";
    EXPECT_GT(shot.count(label, isPicture), 500u) << "the emoji kept, in colour";
}

INSTANTIATE_TEST_SUITE_P(ScreenSizes, EmojiTextTest, ::testing::Values(CGSizeMake(375, 667), CGSizeMake(320, 568)), screenSizeName);

} // namespace
