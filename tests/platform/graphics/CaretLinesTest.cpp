// Where the text engine says a caret stands: at the characters as they are drawn (kerning
// included), line by line as drawText wraps and aligns them, with a line that wraps ending where the
// next begins and a line feed belonging to neither.
#include "platform/base/NSString.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

constexpr CGFloat kScale = 4; // pixels a point in the pictures below

// The columns (in points) between which `text`, drawn in black from x = 10, has ink in the rows of
// its first line.
std::pair<CGFloat, CGFloat> inkColumns(const Ref<NSString>& text, const Ref<UIFont>& font)
{
    const CGSize size = CGSizeMake(20 + dv::measureText(text, font, 0, 1).width, font->lineHeight());
    UIGraphicsBeginImageContextWithOptions(size, false, kScale);
    dv::drawText(text, CGRectMake(10, 0, size.width - 10, size.height), font, UIColor::blackColor(), NSTextAlignmentLeft, false);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    const auto px = dv::imagePixelsRGBA8(image->CGImage());
    const int w = int(CGImageGetWidth(image->CGImage())), h = int(CGImageGetHeight(image->CGImage()));
    int first = -1, last = -1;
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            if (px[std::size_t(y * w + x) * 4 + 3] > 60) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return { first / kScale - 10, (last + 1) / kScale - 10 };
}

std::string rangeOf(NSRange range) { return std::to_string(range.location) + "," + std::to_string(range.length); }

} // namespace

TEST(CaretLinesTest, OneLineStopsAtEveryCharacterWhereItIsDrawnKerningIncluded)
{
    auto font = UIFont::systemFontOfSize(17);
    struct Case {
        const char* before;
        const char* after; // its ink must start at the stop between the two
    };
    for (const Case& c : { Case { "hellY", "o" }, Case { "12Y", "3" }, Case { "ABC-", "DEF" }, Case { "周末徒步群欢X", "迎你" },
             Case { "AV", "A" }, Case { "T", "e" } }) {
        const auto before = NSString::fromUTF8(c.before), after = NSString::fromUTF8(c.after);
        const auto text = before->stringByAppendingString(after);
        SCOPED_TRACE(dv::str(text));
        const auto lines = dv::caretLines(text, font, 0, NSTextAlignmentLeft);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(rangeOf(lines[0].range), rangeOf(NSMakeRange(0, text->length())));
        ASSERT_EQ(lines[0].stops.size(), text->length() + 1);
        for (std::size_t i = 0; i < lines[0].stops.size(); ++i) {
            EXPECT_EQ(lines[0].stops[i].first, i);
            if (i > 0) {
                EXPECT_GT(lines[0].stops[i].second, lines[0].stops[i - 1].second);
            }
        }
        EXPECT_EQ(lines[0].stops.front().second, 0);
        EXPECT_NEAR(lines[0].stops.back().second, dv::measureText(text, font, 0, 1).width, 1e-6);
        // The characters after the stop are drawn from it: their ink, drawn alone, moved there,
        // lines up with their ink in the whole line (a prefix measured alone would not: its last
        // letter keeps the room that kerning takes back).
        const CGFloat stop = lines[0].stops[before->length()].second;
        const auto whole = inkColumns(text, font);
        const auto alone = inkColumns(after, font);
        const auto head = inkColumns(before, font);
        EXPECT_NEAR(whole.second, stop + alone.second, 1 / kScale);
        EXPECT_NEAR(whole.first, head.first, 1 / kScale);
    }
}

TEST(CaretLinesTest, KerningMovesTheStopLeftOfTheMeasuredPrefix)
{
    auto font = UIFont::systemFontOfSize(17);
    const auto lines = dv::caretLines("hellYo"_ns, font, 0, NSTextAlignmentLeft);
    ASSERT_EQ(lines.size(), 1u);
    const CGFloat prefix = dv::measureText("hellY"_ns, font, 0, 1).width;
    // The face kerns Y and o: the stop is left of the prefix's width, the whole line shorter than
    // its two parts.
    EXPECT_LT(lines[0].stops[5].second, prefix - 0.2);
    EXPECT_NEAR(lines[0].stops[6].second, dv::measureText("hellYo"_ns, font, 0, 1).width, 1e-6);
}

TEST(CaretLinesTest, WrappedLinesMeetAtTheWrapAndLineFeedsBelongToNeither)
{
    auto font = UIFont::systemFontOfSize(15);
    const CGFloat line = font->lineHeight();
    const auto text = "hello world hello world hello world\n周末徒步群欢迎你每周六早上出发欢迎新人\n"_ns;
    const auto lines = dv::caretLines(text, font, 100, NSTextAlignmentLeft);
    ASSERT_GE(lines.size(), 6u);
    NSUInteger next = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& l = lines[i];
        EXPECT_EQ(l.range.location, next);
        EXPECT_NEAR(l.top, i * line, 1e-6);
        EXPECT_NEAR(l.height, line, 1e-6);
        ASSERT_FALSE(l.stops.empty());
        EXPECT_EQ(l.stops.front().first, l.range.location);
        EXPECT_EQ(l.stops.back().first, l.range.location + l.range.length);
        EXPECT_EQ(l.stops.front().second, 0);
        next = l.range.location + l.range.length;
        // A line feed ends the line and is in none; a soft wrap is where the next line begins.
        if (next < text->length() && text->characterAtIndex(next) == '\n')
            ++next;
        // Every line but the spaces that end it stays inside the width.
        NSUInteger ink = l.range.location + l.range.length;
        while (ink > l.range.location && text->characterAtIndex(ink - 1) == ' ')
            --ink;
        EXPECT_LE(l.stops[ink - l.range.location].second, 100.0001);
    }
    EXPECT_EQ(next, text->length());
    EXPECT_EQ(rangeOf(lines.back().range), rangeOf(NSMakeRange(text->length(), 0))) << "an empty line after the last line feed";
    // The first line ends after a word and the space after it; the Chinese paragraph wraps
    // between characters, its lines full.
    EXPECT_EQ(text->characterAtIndex(lines[0].range.length - 1), ' ');
    const auto chinese = std::find_if(lines.begin(), lines.end(), [&](const dv::CaretLine& l) { return l.range.location == 36; });
    ASSERT_NE(chinese, lines.end());
    EXPECT_GT(chinese->stops.back().second, 100 - 15.5);
}

TEST(CaretLinesTest, AlignedLinesAndCharactersOfTwoUnits)
{
    auto font = UIFont::systemFontOfSize(15);
    const CGFloat width = dv::measureText("ab"_ns, font, 0, 1).width;
    const auto right = dv::caretLines("ab"_ns, font, 200, NSTextAlignmentRight);
    ASSERT_EQ(right.size(), 1u);
    EXPECT_NEAR(right[0].stops.front().second, 200 - width, 1e-3);
    EXPECT_NEAR(right[0].stops.back().second, 200, 1e-3);
    const auto centre = dv::caretLines("ab"_ns, font, 200, NSTextAlignmentCenter);
    EXPECT_NEAR(centre[0].stops.front().second, (200 - width) / 2, 1e-3);
    // An empty text still has its line, where a caret stands.
    const auto empty = dv::caretLines(""_ns, font, 200, NSTextAlignmentCenter);
    ASSERT_EQ(empty.size(), 1u);
    ASSERT_EQ(empty[0].stops.size(), 1u);
    EXPECT_NEAR(empty[0].stops[0].second, 100, 1e-3);
    EXPECT_NEAR(empty[0].height, font->lineHeight(), 1e-6);
    // UTF-16 offsets: an emoji outside the basic plane counts two units.
    const auto emoji = dv::caretLines("a😀b"_ns, font, 0, NSTextAlignmentLeft);
    ASSERT_EQ(emoji.size(), 1u);
    std::vector<NSUInteger> offsets;
    for (const auto& stop : emoji[0].stops)
        offsets.push_back(stop.first);
    EXPECT_EQ(offsets, (std::vector<NSUInteger> { 0, 1, 3, 4 }));
}
