#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <tuple>

namespace {

Ref<NSDictionary> fontAttributes(const Ref<UIFont>& font) { return NSDictionary::of({{NSFontAttributeName, font}}); }

CGFloat boundedHeight(const Ref<NSString>& text, CGFloat width, const Ref<UIFont>& font)
{
    return boundingRectWithSize(text, CGSizeMake(width, FLT_MAX), NSStringDrawingUsesLineFragmentOrigin, fontAttributes(font), nil).size.height;
}

} // namespace

TEST(UIColorTest, ComponentsEqualityAndNamedColours)
{
    auto pink = UIColor::colorWithRed(244 / 255.0, 98 / 255.0, 113 / 255.0, 1);
    EXPECT_TRUE(pink->isEqual(UIColor::colorWithRed(244 / 255.0, 98 / 255.0, 113 / 255.0, 1)));
    EXPECT_EQ(pink->hash(), UIColor::colorWithRed(244 / 255.0, 98 / 255.0, 113 / 255.0, 1)->hash());
    EXPECT_FALSE(pink->isEqual(pink->colorWithAlphaComponent(0.5)));
    EXPECT_FALSE(UIColor::whiteColor()->isEqual(UIColor::colorWithRed(1, 1, 1, 1))) << "grey and RGB spaces differ";
    EXPECT_TRUE(UIColor::whiteColor()->isEqual(UIColor::colorWithWhite(1, 1)));

    CGFloat r = 0, g = 0, b = 0, a = 0, w = 0;
    EXPECT_TRUE(UIColor::clearColor()->getWhite(&w, &a));
    EXPECT_EQ(a, 0);
    EXPECT_FALSE(pink->getWhite(&w, &a));
    EXPECT_TRUE(UIColor::whiteColor()->colorWithAlphaComponent(0.1)->getRed(&r, &g, &b, &a));
    EXPECT_EQ(r, 1);
    EXPECT_DOUBLE_EQ(a, 0.1);
    EXPECT_EQ(dv::str(UIColor::redColor()->description()), "UIExtendedSRGBColorSpace 1 0 0 1");
    EXPECT_EQ(dv::str(UIColor::whiteColor()->description()), "UIExtendedGrayColorSpace 1 1");
    EXPECT_EQ(dv::rgbaOf(UIColor::orangeColor()->CGColor()), (dv::RGBA {1, 0.5, 0, 1}));
    EXPECT_EQ(UIColor::colorWithRed(2, -1, 0.5, 1)->CGColor()->components()[0], 1) << "components are clamped";
}

TEST(UIFontTest, SystemFontsBySize)
{
    auto regular = UIFont::systemFontOfSize(15);
    auto bold = UIFont::boldSystemFontOfSize(15);
    EXPECT_EQ(regular->pointSize(), 15);
    EXPECT_FALSE(regular->isEqual(bold));
    EXPECT_TRUE(regular->isEqual(UIFont::systemFontOfSize(15)));
    EXPECT_TRUE(bold->isBold());
    EXPECT_EQ(dv::str(regular->familyName()), "WenQuanYi Micro Hei");
    EXPECT_GT(regular->lineHeight(), 15);
    EXPECT_LT(regular->lineHeight(), 25);
    EXPECT_NEAR(regular->ascender() - regular->descender(), regular->lineHeight(), 1e-9);
    EXPECT_NEAR(UIFont::systemFontOfSize(30)->lineHeight(), 2 * regular->lineHeight(), 0.01);
}

TEST(TextMeasurementTest, OneLineSizesFollowFontAndText)
{
    auto font = UIFont::systemFontOfSize(15);
    const CGSize one = sizeWithAttributes("介绍"_ns, fontAttributes(font));
    EXPECT_NEAR(one.height, font->lineHeight(), 1e-6);
    EXPECT_NEAR(one.width, 30, 0.5) << "CJK ideographs are one em wide in this face";
    const CGSize two = sizeWithAttributes("介绍介绍"_ns, fontAttributes(font));
    EXPECT_NEAR(two.width, 2 * one.width, 1e-6);
    EXPECT_EQ(sizeWithAttributes(""_ns, fontAttributes(font)), CGSizeZero);
    EXPECT_EQ(sizeWithAttributes(nil, fontAttributes(font)), CGSizeZero);
    EXPECT_NEAR(sizeWithAttributes("a\nb"_ns, fontAttributes(font)).height, 2 * font->lineHeight(), 1e-6);
    // No font attribute: 12-point system font.
    EXPECT_NEAR(sizeWithAttributes("x"_ns, nil).height, UIFont::systemFontOfSize(12)->lineHeight(), 1e-6);
}

TEST(TextMeasurementTest, BoundedHeightWrapsToTheWidth)
{
    auto font = UIFont::systemFontOfSize(15);
    const auto text = "如何加粉：长按图片保存到相册，然后到信聊里面读取二维码添加好友即可，建议一次保存多个二维码图片然后去信聊一起操作添加。"_ns;
    const CGFloat line = font->lineHeight();
    EXPECT_NEAR(boundedHeight(text, 10000, font), line, 1e-6);
    // 60 ideographs and punctuation of 15 points in 150 points: ten per line.
    const CGFloat h = boundedHeight(text, 150, font);
    EXPECT_NEAR(h / line, std::round(h / line), 1e-6);
    EXPECT_GE(std::lround(h / line), 6);
    EXPECT_LE(std::lround(h / line), 7);
    // A long word with no break opportunity is still broken inside.
    EXPECT_GT(boundedHeight(NSString::fromUTF8(std::string(200, 'w')), 100, font), 5 * line);

    const CGRect bounded = boundingRectWithSize(text, CGSizeMake(150, 2.5 * line), NSStringDrawingUsesLineFragmentOrigin,
        fontAttributes(font), nil);
    EXPECT_NEAR(bounded.size.height, 2 * line, 1e-6) << "lines past the height are left out";
    EXPECT_LE(bounded.size.width, 150.0001);
    const CGRect oneLine = boundingRectWithSize(text, CGSizeMake(150, FLT_MAX), 0, fontAttributes(font), nil);
    EXPECT_NEAR(oneLine.size.height, line, 1e-6) << "without line-fragment origin the text is one line";
}

TEST(TextMeasurementTest, MeasurementsRepeatExactly)
{
    auto font = UIFont::systemFontOfSize(13);
    const auto text = "注:一天只能更新一次 信聊 id 123"_ns;
    const CGSize first = sizeWithAttributes(text, fontAttributes(font));
    const CGFloat firstHeight = boundedHeight(text, 61, font);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(sizeWithAttributes(text, fontAttributes(font)), first);
        EXPECT_EQ(boundedHeight(text, 61, font), firstHeight);
    }
}

namespace {

long inkOf(const Ref<UIFont>& font)
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(120, 30), false, 1);
    drawInRectWithAttributes("Hello 你好"_ns, CGRectMake(0, 0, 120, 30), fontAttributes(font));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    auto px = dv::imagePixelsRGBA8(image->CGImage());
    long sum = 0;
    for (std::size_t i = 3; i < px.size(); i += 4)
        sum += px[i];
    return sum;
}

} // namespace

TEST(TextMeasurementTest, BoldIsSynthesisedFromThePinnedFace)
{
    // The face has one weight: bold strokes are thickened, the advances stay those of the face.
    EXPECT_GT(inkOf(UIFont::boldSystemFontOfSize(20)), inkOf(UIFont::systemFontOfSize(20)) * 5 / 4);
    EXPECT_EQ(sizeWithAttributes("Hello"_ns, fontAttributes(UIFont::boldSystemFontOfSize(15))),
        sizeWithAttributes("Hello"_ns, fontAttributes(UIFont::systemFontOfSize(15))));
}

TEST(TextMeasurementTest, DrawnTextLandsInsideItsRectangle)
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(80, 40), false, 1);
    auto attrs = NSDictionary::of({{NSFontAttributeName, UIFont::boldSystemFontOfSize(20)}, {NSForegroundColorAttributeName, UIColor::redColor()}});
    drawInRectWithAttributes("上一个"_ns, CGRectMake(10, 10, 60, 20), attrs);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    ASSERT_TRUE(image);
    auto px = dv::imagePixelsRGBA8(image->CGImage());
    int inside = 0, outside = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 80; ++x) {
            const bool in = x >= 10 && x < 70 && y >= 10 && y < 30;
            if (px[std::size_t(y * 80 + x) * 4 + 3] > 0)
                (in ? inside : outside)++;
        }
    EXPECT_GT(inside, 50);
    EXPECT_EQ(outside, 0);
}

namespace {

// Rows of the drawn image that hold any ink.
std::pair<int, int> inkRows(const Ref<UIImage>& image)
{
    auto px = dv::imagePixelsRGBA8(image->CGImage());
    const int w = int(CGImageGetWidth(image->CGImage())), h = int(CGImageGetHeight(image->CGImage()));
    int top = -1, bottom = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (px[std::size_t(y * w + x) * 4 + 3] > 0) {
                if (top < 0)
                    top = y;
                bottom = y;
            }
    return {top, bottom};
}

Ref<UIImage> drawn(const Ref<NSString>& text, const dv::TextDrawingOptions& options)
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(100, 120), false, 1);
    dv::drawText(text, CGRectMake(0, 0, 100, 120), UIFont::systemFontOfSize(15), UIColor::blackColor(), options);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

} // namespace

TEST(TextMeasurementTest, LineLimitsForLabels)
{
    auto font = UIFont::systemFontOfSize(15);
    const auto text = "如何加粉：长按图片保存到相册，然后到信聊里面读取二维码添加好友即可"_ns;
    const CGFloat line = font->lineHeight();
    EXPECT_NEAR(dv::measureText(text, font, 100, 2).height, 2 * line, 1e-6);
    EXPECT_GT(dv::measureText(text, font, 100, 0).height, 3 * line);
    EXPECT_NEAR(dv::measureText(text, font, 0, 0).height, line, 1e-6);

    dv::TextDrawingOptions two;
    two.numberOfLines = 2;
    EXPECT_LT(inkRows(drawn(text, two)).second, int(2 * line) + 1);
    dv::TextDrawingOptions all;
    EXPECT_GT(inkRows(drawn(text, all)).second, int(3 * line));

    // One truncated line stays inside the width and the first line.
    dv::TextDrawingOptions oneLine;
    oneLine.wrap = false;
    oneLine.truncateTail = true;
    auto single = drawn(text, oneLine);
    EXPECT_LT(inkRows(single).second, int(line) + 1);
    dv::TextDrawingOptions twoTruncated;
    twoTruncated.numberOfLines = 2;
    twoTruncated.truncateTail = true;
    auto truncated = drawn(text, twoTruncated);
    EXPECT_GT(inkRows(truncated).second, int(line));
    EXPECT_LT(inkRows(truncated).second, int(2 * line) + 1);
}

namespace {

// The rows holding ink in the last `columns` pixel columns that hold any, from row `fromRow` down:
// the end of a truncated line is its ellipsis, whose last dot these are.
std::pair<int, int> lastInkRows(const Ref<UIImage>& image, int columns, int fromRow)
{
    auto px = dv::imagePixelsRGBA8(image->CGImage());
    const int w = int(CGImageGetWidth(image->CGImage())), h = int(CGImageGetHeight(image->CGImage()));
    auto inked = [&](int x, int y) { return px[std::size_t(y * w + x) * 4 + 3] > 40; };
    int last = -1;
    for (int x = w - 1; x >= 0 && last < 0; --x)
        for (int y = fromRow; y < h; ++y)
            if (inked(x, y)) {
                last = x;
                break;
            }
    int top = -1, bottom = -1;
    for (int y = fromRow; y < h; ++y)
        for (int x = std::max(0, last - columns + 1); x <= last; ++x)
            if (inked(x, y)) {
                if (top < 0)
                    top = y;
                bottom = y;
            }
    return {top, bottom};
}

Ref<UIImage> drawnAt2x(const Ref<NSString>& text, CGSize size, const dv::TextDrawingOptions& options)
{
    UIGraphicsBeginImageContextWithOptions(size, false, 2);
    dv::drawText(text, CGRectMake(0, 0, size.width, size.height), UIFont::systemFontOfSize(15), UIColor::blackColor(), options);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

} // namespace

// The end ellipsis looks the same whatever it follows: its dots stand on the baseline, as a full
// stop does, after Chinese text and after Latin text, on a single line and at the end of the last
// of several lines.
TEST(TextMeasurementTest, TheEllipsisStandsOnTheBaselineAfterAnyScript)
{
    dv::TextDrawingOptions oneLine;
    oneLine.wrap = false;
    oneLine.truncateTail = true;
    dv::TextDrawingOptions twoLines;
    twoLines.numberOfLines = 2;
    twoLines.truncateTail = true;
    // A full stop drawn as text, on the first line or the second: where a dot on the baseline has
    // its ink. Only the line that ends with the ellipsis is looked at.
    const int secondLine = int(std::lround(2 * UIFont::systemFontOfSize(15)->lineHeight()));
    const std::tuple<dv::TextDrawingOptions, Ref<NSString>, int> cases[] = {{oneLine, "abc."_ns, 0}, {twoLines, "abc\nabc."_ns, secondLine}};
    for (const auto& [options, stopText, fromRow] : cases) {
        const auto stop = lastInkRows(drawnAt2x(stopText, CGSizeMake(100, 40), dv::TextDrawingOptions()), 3, fromRow);
        const auto chinese = lastInkRows(drawnAt2x("设备号码设备号码设备号码设备号码"_ns, CGSizeMake(100, 40), options), 3, fromRow);
        const auto latin = lastInkRows(drawnAt2x("abcdefghijklmnopqrstuvwxyzabcdefghijklmnop"_ns, CGSizeMake(100, 40), options), 3, fromRow);
        ASSERT_GE(stop.first, 0);
        ASSERT_GE(chinese.first, 0);
        ASSERT_GE(latin.first, 0);
        EXPECT_EQ(chinese, latin) << "after Chinese and after Latin text";
        EXPECT_EQ(latin, stop) << "on the baseline, as a full stop; from row " << fromRow;
    }
}

namespace {

// The columns, in points from the left, where a text drawn at (0, 0) of an image at `scale` has
// ink, and how many of its pixels have colours that its black cannot make with white.
struct DrawnLine {
    CGFloat inkStart = -1, inkEnd = -1;
    long coloured = 0;
};

DrawnLine drawnLine(const Ref<NSString>& text, CGFloat size, CGFloat scale, CGSize area, const dv::TextDrawingOptions& options)
{
    area = CGSizeMake(std::ceil(area.width * scale) / scale, std::ceil(area.height * scale) / scale); // whole pixels, all white
    UIGraphicsBeginImageContextWithOptions(area, true, scale);
    UIColor::whiteColor()->setFill();
    UIRectFill(CGRectMake(0, 0, area.width, area.height));
    dv::drawText(text, CGRectMake(0, 0, area.width, area.height), UIFont::systemFontOfSize(size), UIColor::blackColor(), options);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    auto px = dv::imagePixelsRGBA8(image->CGImage());
    const int w = int(CGImageGetWidth(image->CGImage())), h = int(CGImageGetHeight(image->CGImage()));
    DrawnLine line;
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* p = &px[std::size_t(y * w + x) * 4];
            if (std::min({p[0], p[1], p[2]}) > 235)
                continue;
            if (line.inkStart < 0)
                line.inkStart = x / scale;
            line.inkEnd = (x + 1) / scale;
            line.coloured += std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) > 40;
        }
    return line;
}

dv::TextDrawingOptions oneLine()
{
    dv::TextDrawingOptions options;
    options.wrap = false;
    return options;
}

} // namespace

// Emoji come from the colour emoji face at the size asked, and a character no face has shows as
// the replacement character: either way the text ends, at every scale, where it was measured to
// end (the emoji face's pictures are of one size, scaled to the text's; pango's own boxes for
// missing glyphs were measured at one size and drawn at another).
TEST(TextMeasurementTest, EmojiAndMissingCharactersAreMeasuredAsTheyAreDrawnAtEveryScale)
{
    const auto emoji = "周末👍🏽徒步🇨🇳群👨‍👩‍👧 1️⃣ ❤️ 😀"_ns;
    const auto missing = "设备\U0001D49C号\U000F0000码"_ns; // a mathematical script letter and a private-use character
    EXPECT_EQ(sizeWithAttributes(missing, fontAttributes(UIFont::systemFontOfSize(17))),
        sizeWithAttributes("设备\uFFFD号\uFFFD码"_ns, fontAttributes(UIFont::systemFontOfSize(17))));
    for (const auto& text : {emoji, missing})
        for (CGFloat scale : {1.0, 2.0, 3.0}) {
            SCOPED_TRACE(dv::str(text) + " at scale " + std::to_string(scale));
            const CGFloat measured = dv::measureText(text, UIFont::systemFontOfSize(17), 0, 1).width;
            const DrawnLine line = drawnLine(text, 17, scale, CGSizeMake(std::ceil(measured) + 40, 30), oneLine());
            EXPECT_NEAR(line.inkStart, 0.5, 1);
            EXPECT_LE(line.inkEnd, measured + 0.5);
            EXPECT_GT(line.inkEnd, measured - 2) << "the last picture's own margin at most";
            if (text == emoji)
                EXPECT_GT(line.coloured, long(400 * scale * scale)) << "in colour";
            else
                EXPECT_EQ(line.coloured, 0);
        }
    // The keycap is one picture, as wide as the other emoji, not a digit beside a frame.
    EXPECT_EQ(dv::measureText("1️⃣"_ns, UIFont::systemFontOfSize(17), 0, 1).width, dv::measureText("😀"_ns, UIFont::systemFontOfSize(17), 0, 1).width);
    // A symbol the pinned face lacks comes from the Latin face, in the text's colour.
    EXPECT_EQ(drawnLine("⌘"_ns, 17, 2, CGSizeMake(40, 30), oneLine()).coloured, 0);
    EXPECT_GT(drawnLine("⌘"_ns, 17, 2, CGSizeMake(40, 30), oneLine()).inkEnd, 10);
}

// Lines holding emoji or symbols of the other faces are as tall as lines of Chinese text, so
// that wrapped text is a whole number of lines.
TEST(TextMeasurementTest, EveryLineIsAsTallAsALineOfThePinnedFace)
{
    auto font = UIFont::systemFontOfSize(17);
    for (const auto& text : {"👍🏽"_ns, "⌘"_ns, "周末👍🏽徒步⌘"_ns})
        EXPECT_EQ(dv::measureText(text, font, 0, 1).height, font->lineHeight()) << dv::str(text);
    const auto long_ = "周末👍🏽徒步🇨🇳群👨‍👩‍👧 ⌘ 周末👍🏽徒步🇨🇳群👨‍👩‍👧 ⌘ 周末👍🏽徒步🇨🇳群👨‍👩‍👧"_ns;
    const CGFloat height = dv::measureText(long_, font, 120, 0).height;
    EXPECT_GE(height, 3 * font->lineHeight());
    EXPECT_DOUBLE_EQ(height, std::round(height / font->lineHeight()) * font->lineHeight());
}

// A truncated line aligned right or centred keeps its ellipsis inside the rectangle, the right
// one against its right edge, whatever the last character kept.
TEST(TextMeasurementTest, ATruncatedLineStaysInsideItsRectangleAtEveryAlignment)
{
    for (const auto& text : {"周末👍🏽徒步🇨🇳群👨‍👩‍👧周末👍🏽徒步🇨🇳群👨‍👩‍👧"_ns, "设备号码设备号码设备号码设备号码"_ns, "好。好。好。好。好。好。好。好。"_ns})
        for (CGFloat width : {100.0, 107.0, 113.5, 121.0})
            for (NSTextAlignment alignment : {NSTextAlignmentLeft, NSTextAlignmentCenter, NSTextAlignmentRight}) {
                SCOPED_TRACE(dv::str(text) + " in " + std::to_string(width) + ", alignment " + std::to_string(int(alignment)));
                dv::TextDrawingOptions options = oneLine();
                options.truncateTail = true;
                options.alignment = alignment;
                const DrawnLine line = drawnLine(text, 15, 2, CGSizeMake(width, 30), options);
                EXPECT_GE(line.inkStart, 0);
                EXPECT_LE(line.inkEnd, width - 1) << "the ellipsis whole, with its own margin";
                if (alignment == NSTextAlignmentRight) {
                    EXPECT_GT(line.inkEnd, width - 3) << "against the right edge";
                }
                if (alignment == NSTextAlignmentCenter) {
                    EXPECT_NEAR(line.inkStart, width - line.inkEnd, 3) << "in the middle";
                }
            }
}
