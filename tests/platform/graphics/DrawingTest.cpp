#include "GraphicsTestSupport.h"

#include "platform/graphics/CGContext.h"
#include "platform/graphics/ScreenScale.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/graphics/internal/DrawingCopies.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

using namespace dv::test;

namespace {

constexpr CGBitmapInfo kNative = kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little;

CGContextRef makeContext(std::size_t w, std::size_t h, CGBitmapInfo info = kNative)
{
    return CGBitmapContextCreate(nullptr, w, h, 8, 0, CGColorSpaceCreateDeviceRGB(), info);
}

// Pixel at (x, y) counted from the top row of memory.
Pixel at(const CGContextRef& c, std::size_t x, std::size_t y) { return pixelAt(CGBitmapContextCreateImage(c), x, y); }

const Pixel kRed {255, 0, 0, 255};
const Pixel kClear {0, 0, 0, 0};

} // namespace

TEST(DrawingTest, BitmapContextsAcceptThePlatformLayoutsAndRefuseOthers)
{
    auto rgb = CGColorSpaceCreateDeviceRGB();
    for (CGBitmapInfo info : {kNative, CGBitmapInfo(kCGImageAlphaPremultipliedLast), CGBitmapInfo(kCGImageAlphaPremultipliedFirst),
             CGBitmapInfo(kCGImageAlphaNoneSkipFirst), CGBitmapInfo(kCGImageAlphaNoneSkipLast),
             kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder32Little})
        EXPECT_TRUE(CGBitmapContextCreate(nullptr, 4, 4, 8, 16, rgb, info)) << info;
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 4, 4, 8, 16, rgb, kCGImageAlphaLast)) << "straight alpha";
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 4, 4, 8, 12, rgb, kCGImageAlphaNone)) << "24-bit RGB";
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 4, 4, 16, 32, rgb, kCGImageAlphaPremultipliedLast));
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 4, 4, 8, 8, rgb, kNative)) << "rows too short";
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 0, 4, 8, 0, rgb, kNative));
    EXPECT_TRUE(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, CGColorSpaceCreateDeviceGray(), kCGImageAlphaNone));
    EXPECT_TRUE(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, nil, kCGImageAlphaOnly));
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, nil, kCGImageAlphaPremultipliedLast));
}

TEST(DrawingTest, BitmapContextOriginIsBottomLeftAndTheCallersBufferReceivesTheDrawing)
{
    std::vector<std::uint8_t> buffer(4 * 4 * 4, 0);
    auto c = CGBitmapContextCreate(buffer.data(), 4, 4, 8, 16, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
    ASSERT_TRUE(c);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 4, 2)); // the lower half
    EXPECT_EQ(CGBitmapContextGetData(c), buffer.data());
    // RGBA bytes; memory row 0 is the top row.
    EXPECT_EQ(buffer[0 * 16 + 3], 0);
    EXPECT_EQ((std::vector<std::uint8_t>(buffer.begin() + 3 * 16, buffer.begin() + 3 * 16 + 4)), (std::vector<std::uint8_t> {255, 0, 0, 255}));
    EXPECT_EQ(CGAffineTransformIsIdentity(CGContextGetCTM(c)), true);
    auto image = CGBitmapContextCreateImage(c);
    EXPECT_EQ(CGImageGetAlphaInfo(image), kCGImageAlphaPremultipliedLast);
    EXPECT_EQ(pixelAt(image, 1, 3), kRed);
    EXPECT_EQ(pixelAt(image, 1, 0), kClear);
}

TEST(DrawingTest, ExistingBufferContentIsTheStartingPicture)
{
    // Alpha first, default byte order: bytes are A R G B. Blue, then green.
    std::vector<std::uint8_t> buffer = {255, 0, 0, 255, 255, 0, 255, 0};
    auto c = CGBitmapContextCreate(buffer.data(), 2, 1, 8, 8, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedFirst);
    ASSERT_TRUE(c);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(1, 0, 1, 1));
    auto image = CGBitmapContextCreateImage(c);
    EXPECT_EQ(pixelAt(image, 0, 0), (Pixel {0, 0, 255, 255}));
    EXPECT_EQ(pixelAt(image, 1, 0), kRed);
    c = nil; // the caller's buffer gets the drawing when the context goes away
    EXPECT_EQ((std::vector<std::uint8_t>(buffer.begin() + 4, buffer.end())), (std::vector<std::uint8_t> {255, 255, 0, 0}));
}

TEST(DrawingTest, PathsFillStrokeAndEvenOdd)
{
    auto c = makeContext(40, 40);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextAddRect(c, CGRectMake(0, 0, 40, 40));
    CGContextAddRect(c, CGRectMake(10, 10, 20, 20));
    CGContextEOFillPath(c);
    EXPECT_EQ(at(c, 20, 20), kClear) << "even-odd leaves the inner square empty";
    EXPECT_EQ(at(c, 5, 5), kRed);
    EXPECT_TRUE(CGContextIsPathEmpty(c)) << "filling consumes the path";

    CGContextAddRect(c, CGRectMake(0, 0, 40, 40));
    CGContextAddRect(c, CGRectMake(10, 10, 20, 20));
    CGContextFillPath(c);
    EXPECT_EQ(at(c, 20, 20), kRed) << "nonzero winding fills both";

    auto s = makeContext(40, 40);
    CGContextSetRGBStrokeColor(s, 0, 0, 1, 1);
    CGContextSetLineWidth(s, 4);
    CGContextMoveToPoint(s, 5, 20);
    CGContextAddLineToPoint(s, 35, 20);
    CGContextStrokePath(s);
    EXPECT_EQ(at(s, 20, 19), (Pixel {0, 0, 255, 255}));
    EXPECT_EQ(at(s, 20, 21), (Pixel {0, 0, 255, 255}));
    EXPECT_EQ(at(s, 20, 23), kClear);
    EXPECT_EQ(at(s, 3, 20), kClear) << "butt caps stop at the end point";
    CGContextSetLineCap(s, kCGLineCapSquare);
    CGContextMoveToPoint(s, 5, 10);
    CGContextAddLineToPoint(s, 35, 10);
    CGContextStrokePath(s);
    EXPECT_EQ(at(s, 4, 29), (Pixel {0, 0, 255, 255})) << "square caps reach half the width further";
}

TEST(DrawingTest, ArcDirectionFollowsTheClockwiseFlag)
{
    // A pie from -pi/2 to 0 with clockwise 0 covers the quadrant between those angles in y-up
    // space: below the centre and to its right in the platform's coordinates, which is the
    // bottom-right of memory rows counted from the top.
    auto c = makeContext(40, 40);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextMoveToPoint(c, 20, 20);
    CGContextAddArc(c, 20, 20, 18, -M_PI / 2, 0, 0);
    CGContextClosePath(c);
    CGContextFillPath(c);
    EXPECT_EQ(at(c, 28, 28), kRed);
    EXPECT_EQ(at(c, 12, 12), kClear);
    EXPECT_EQ(at(c, 12, 28), kClear);

    auto d = makeContext(40, 40);
    CGContextSetRGBFillColor(d, 1, 0, 0, 1);
    CGContextMoveToPoint(d, 20, 20);
    CGContextAddArc(d, 20, 20, 18, -M_PI / 2, 0, 1);
    CGContextClosePath(d);
    CGContextFillPath(d);
    EXPECT_EQ(at(d, 28, 28), kClear) << "clockwise 1 takes the other three quarters";
    EXPECT_EQ(at(d, 12, 12), kRed);
}

TEST(DrawingTest, ArcToPointRoundsACorner)
{
    auto c = makeContext(40, 40);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextMoveToPoint(c, 0, 0);
    CGContextAddArcToPoint(c, 40, 0, 40, 40, 20);
    CGContextAddLineToPoint(c, 40, 40);
    CGContextAddLineToPoint(c, 0, 40);
    CGContextClosePath(c);
    CGContextFillPath(c);
    // The corner at platform (40, 0) — memory (39, 39) — is cut by the arc of radius 20.
    EXPECT_EQ(at(c, 38, 38), kClear);
    EXPECT_EQ(at(c, 20, 20), kRed);
    EXPECT_EQ(at(c, 38, 2), kRed);
}

TEST(DrawingTest, ClipSaveAndRestore)
{
    auto c = makeContext(20, 20);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextSaveGState(c);
    CGContextClipToRect(c, CGRectMake(0, 0, 10, 20));
    CGContextSetRGBFillColor(c, 0, 1, 0, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
    CGContextRestoreGState(c);
    EXPECT_EQ(at(c, 5, 5), (Pixel {0, 255, 0, 255}));
    EXPECT_EQ(at(c, 15, 5), kClear);
    CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
    EXPECT_EQ(at(c, 15, 5), kRed) << "restore brings back the fill colour and removes the clip";
    CGContextRestoreGState(c); // unbalanced: ignored

    auto e = makeContext(20, 20);
    CGContextAddEllipseInRect(e, CGRectMake(0, 0, 20, 20));
    CGContextClip(e);
    CGContextSetRGBFillColor(e, 1, 0, 0, 1);
    CGContextFillRect(e, CGRectMake(0, 0, 20, 20));
    EXPECT_EQ(at(e, 0, 0), kClear);
    EXPECT_EQ(at(e, 10, 10), kRed);
}

TEST(DrawingTest, InfiniteRectangleWithEvenOddClipsOutAPart)
{
    // Fill only the left 30 % of a shape: clip to "everything except the right part".
    auto c = makeContext(40, 20);
    CGContextSaveGState(c);
    CGContextAddRect(c, CGRectInfinite);
    CGContextAddRect(c, CGRectMake(12, 0, 28, 20));
    CGContextEOClip(c);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillEllipseInRect(c, CGRectMake(0, 0, 40, 20));
    CGContextRestoreGState(c);
    EXPECT_EQ(at(c, 8, 10), kRed);
    EXPECT_EQ(at(c, 20, 10), kClear);
    // NaN and huge coordinates neither crash nor spoil later drawing.
    CGContextMoveToPoint(c, NAN, 3);
    CGContextAddLineToPoint(c, 1e300, -1e300);
    CGContextAddArc(c, 0, 0, INFINITY, 0, 1, 0);
    CGContextFillPath(c);
    CGContextSetRGBFillColor(c, 0, 0, 1, 1);
    CGContextFillRect(c, CGRectMake(30, 0, 10, 20));
    EXPECT_EQ(at(c, 35, 10), (Pixel {0, 0, 255, 255}));
}

TEST(DrawingTest, RadialGradientRunsFromCentreToEdge)
{
    auto c = makeContext(100, 100);
    const CGFloat components[] = {0, 0, 0, 0, 0, 0, 0, 0.75};
    const CGFloat locations[] = {0, 1};
    auto gradient = CGGradientCreateWithColorComponents(CGColorSpaceCreateDeviceRGB(), components, locations, 2);
    CGContextDrawRadialGradient(c, gradient, CGPointMake(50, 50), 0, CGPointMake(50, 50), 40, kCGGradientDrawsAfterEndLocation);
    EXPECT_LE(at(c, 50, 50)[3], 5);
    EXPECT_NEAR(at(c, 70, 50)[3], 96, 6);
    EXPECT_NEAR(at(c, 95, 50)[3], 191, 3) << "beyond the end circle the last colour continues";
    EXPECT_NEAR(at(c, 1, 1)[3], 191, 3);

    auto n = makeContext(100, 100);
    CGContextDrawRadialGradient(n, gradient, CGPointMake(50, 50), 0, CGPointMake(50, 50), 40, 0);
    EXPECT_EQ(at(n, 95, 50)[3], 0) << "without the option nothing is drawn past the end";
}

TEST(DrawingTest, LargeConcentricGradientsComeOutAsTheGeneralGradientDoes)
{
    // Concentric circles over a large area are drawn by a faster road. Turned by a quarter about
    // their centre the same gradient takes the general road, and must look the same.
    const CGFloat components[] = {1, 0, 0, 1, 0, 0, 1, 0.5, 0, 0, 0, 0.75};
    const CGFloat locations[] = {0, 0.4, 1};
    auto gradient = CGGradientCreateWithColorComponents(CGColorSpaceCreateDeviceRGB(), components, locations, 3);
    constexpr std::size_t kSide = 600;
    struct Case {
        CGFloat startRadius;
        CGGradientDrawingOptions options;
        CGPoint centre = CGPointMake(150, 150);
    };
    // Over a bitmap still blank the colours are written straight in; over one already drawn
    // on they are painted over it.
    for (const bool drawnOn : { false, true })
        for (const Case& test : { Case { 0, kCGGradientDrawsAfterEndLocation }, Case { 30, 0 },
                 Case { 30, kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation },
                 Case { 30, kCGGradientDrawsBeforeStartLocation }, Case { 30, kCGGradientDrawsAfterEndLocation },
                 // Off the middle, part of each row has no twin across the centre; off the pixel
                 // grid, none has.
                 Case { 30, kCGGradientDrawsAfterEndLocation, CGPointMake(100, 120) },
                 Case { 0, kCGGradientDrawsAfterEndLocation, CGPointMake(150.3, 149.1) } }) {
            SCOPED_TRACE(testing::Message() << "start radius " << test.startRadius << ", options " << test.options << ", drawn on " << drawnOn
                                            << ", centre " << test.centre.x << "," << test.centre.y);
            auto draw = [&](bool turned) {
                auto c = makeContext(kSide, kSide);
                CGContextScaleCTM(c, 2, 2);
                if (drawnOn) {
                    CGContextSetRGBFillColor(c, 0, 0.5, 0, 0.5);
                    CGContextFillRect(c, CGRectMake(20, 40, 100, 60));
                }
                if (turned) {
                    CGContextTranslateCTM(c, test.centre.x, test.centre.y);
                    CGContextRotateCTM(c, M_PI / 2);
                    CGContextTranslateCTM(c, -test.centre.x, -test.centre.y);
                }
                CGContextSetAlpha(c, 0.8);
                CGContextDrawRadialGradient(c, gradient, test.centre, test.startRadius, test.centre, 110, test.options);
                return c;
            };
            auto fast = draw(false), general = draw(true);
            const auto* a = static_cast<const std::uint8_t*>(CGBitmapContextGetData(fast));
            const auto* b = static_cast<const std::uint8_t*>(CGBitmapContextGetData(general));
            ASSERT_TRUE(a && b);
            const std::size_t stride = CGBitmapContextGetBytesPerRow(fast);
            int worst = 0, painted = 0;
            for (std::size_t y = 0; y < kSide; ++y)
                for (std::size_t x = 0; x < kSide * 4; ++x) {
                    worst = std::max(worst, std::abs(int(a[y * stride + x]) - int(b[y * stride + x])));
                    painted += a[y * stride + x] != 0;
                }
            EXPECT_LE(worst, 2);
            EXPECT_GT(painted, 0);
        }
}

TEST(DrawingTest, ABitmapOfItsOwnIsTransparentWhereverTheFirstDrawingLeavesIt)
{
    // A context made without a buffer clears its pixels only as they are first needed, or not at
    // all when a gradient over nothing paints every one of them; whatever comes first, it must
    // look as a context over a cleared buffer does.
    const CGFloat components[] = {0, 0, 0, 0, 0, 0, 0, 0.75};
    const CGFloat locations[] = {0, 1};
    auto gradient = CGGradientCreateWithColorComponents(CGColorSpaceCreateDeviceRGB(), components, locations, 2);
    constexpr std::size_t kSide = 400;
    using Draw = std::function<void(const CGContextRef&)>;
    const std::vector<std::pair<const char*, Draw>> firsts = {
        { "nothing", [](const CGContextRef&) {} },
        { "a small fill",
            [](const CGContextRef& c) {
                CGContextSetRGBFillColor(c, 1, 0, 0, 1);
                CGContextFillRect(c, CGRectMake(10, 10, 20, 20));
            } },
        { "a gradient over all of it",
            [&](const CGContextRef& c) {
                CGContextDrawRadialGradient(c, gradient, CGPointMake(200, 200), 0, CGPointMake(200, 200), 300,
                    kCGGradientDrawsAfterEndLocation);
            } },
        { "a gradient through a clip",
            [&](const CGContextRef& c) {
                CGContextClipToRect(c, CGRectMake(0, 0, 400, 300));
                CGContextDrawRadialGradient(c, gradient, CGPointMake(200, 200), 0, CGPointMake(200, 200), 300,
                    kCGGradientDrawsAfterEndLocation);
            } },
        { "a gradient over part of it",
            [&](const CGContextRef& c) {
                CGContextDrawRadialGradient(c, gradient, CGPointMake(200, 200), 0, CGPointMake(200, 200), 150, 0);
            } },
    };
    for (const auto& [name, draw] : firsts) {
        SCOPED_TRACE(name);
        auto own = makeContext(kSide, kSide);
        std::vector<std::uint8_t> cleared(kSide * kSide * 4, 0);
        auto given = CGBitmapContextCreate(cleared.data(), kSide, kSide, 8, kSide * 4, CGColorSpaceCreateDeviceRGB(), kNative);
        draw(own);
        draw(given);
        // A stroke after the first drawing goes over what it left.
        for (const auto& c : { own, given }) {
            CGContextSetRGBStrokeColor(c, 0, 0, 1, 1);
            CGContextStrokeRect(c, CGRectMake(300, 50, 40, 40));
        }
        const auto* pixels = static_cast<const std::uint8_t*>(CGBitmapContextGetData(own));
        ASSERT_TRUE(pixels);
        EXPECT_TRUE(std::equal(cleared.begin(), cleared.end(), pixels));
        EXPECT_TRUE(std::any_of(pixels, pixels + cleared.size(), [](std::uint8_t b) { return b != 0; })) << "nothing drawn";
        // The pixels become an image as they are.
        auto image = dv::takeBitmapContextImage(own);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->bytes(), pixels) << "not copied";
        EXPECT_TRUE(std::equal(cleared.begin(), cleared.end(), image->bytes()));
    }
}

TEST(DrawingTest, AGradientPaintedAgainComesOutAsItDidTheFirstTime)
{
    // The last gradient painted over nothing is kept and copied when it is painted again: only
    // the very same one may come from it.
    const CGFloat components[] = {0, 0, 0, 0, 0, 0, 0, 0.75};
    const CGFloat locations[] = {0, 1};
    auto gradient = CGGradientCreateWithColorComponents(CGColorSpaceCreateDeviceRGB(), components, locations, 2);
    auto paint = [&](std::size_t width, CGFloat radius, CGFloat alpha) {
        auto c = makeContext(width, 500);
        CGContextSetAlpha(c, alpha);
        CGContextDrawRadialGradient(c, gradient, CGPointMake(200, 250), 0, CGPointMake(200, 250), radius, kCGGradientDrawsAfterEndLocation);
        const auto* pixels = static_cast<const std::uint8_t*>(CGBitmapContextGetData(c));
        return std::vector<std::uint8_t>(pixels, pixels + width * 500 * 4);
    };
    const auto first = paint(400, 300, 1);
    EXPECT_EQ(paint(400, 300, 1), first);
    const auto wider = paint(401, 300, 1), larger = paint(400, 310, 1), fainter = paint(400, 300, 0.5);
    EXPECT_NE(larger, first);
    EXPECT_NE(fainter, first);
    EXPECT_EQ(wider.size(), 401u * 500 * 4);
    // Each of them again, and the first after them, as they came out before.
    EXPECT_EQ(paint(401, 300, 1), wider);
    EXPECT_EQ(paint(400, 310, 1), larger);
    EXPECT_EQ(paint(400, 300, 0.5), fainter);
    EXPECT_EQ(paint(400, 300, 1), first);
}

TEST(DrawingTest, DrawImageIsUprightAndScaledIntoTheRectangle)
{
    auto image = makeRGBAImage(2, 2, [](std::size_t x, std::size_t y) {
        return y == 0 ? (x == 0 ? Pixel {255, 0, 0, 255} : Pixel {0, 255, 0, 255}) : Pixel {0, 0, 255, 255};
    });
    auto c = makeContext(20, 20);
    CGContextSetInterpolationQuality(c, kCGInterpolationNone);
    CGContextDrawImage(c, CGRectMake(0, 0, 20, 20), image);
    EXPECT_EQ(at(c, 2, 2), kRed);
    EXPECT_EQ(at(c, 17, 2), (Pixel {0, 255, 0, 255}));
    EXPECT_EQ(at(c, 10, 17), (Pixel {0, 0, 255, 255}));

    auto half = makeContext(20, 20);
    CGContextDrawImage(half, CGRectMake(10, 10, 10, 10), image);
    EXPECT_EQ(at(half, 5, 15), kClear);
    EXPECT_EQ(at(half, 12, 2), kRed);
}

TEST(DrawingTest, DrawingKeepsNoLastingSecondCopyOfAnImage)
{
    using dv::internal::graphics::DrawingCopies;
    const std::size_t before = DrawingCopies::bytesHeld();

    // Rows already in the drawing layout, and a crop of them with the parent's row length, are
    // painted from their own storage.
    auto source = makeContext(8, 8);
    CGContextSetRGBFillColor(source, 0, 0, 1, 1);
    CGContextFillRect(source, CGRectMake(0, 0, 8, 8));
    CGContextSetRGBFillColor(source, 1, 0, 0, 1);
    CGContextFillRect(source, CGRectMake(4, 4, 4, 4)); // the top right quarter
    auto native = CGBitmapContextCreateImage(source);
    auto quarter = CGImageCreateWithImageInRect(native, CGRectMake(4, 0, 4, 4));
    auto c = makeContext(4, 4);
    CGContextDrawImage(c, CGRectMake(0, 0, 4, 4), quarter);
    EXPECT_EQ(at(c, 1, 1), kRed);
    EXPECT_EQ(DrawingCopies::bytesHeld(), before);

    // Straight alpha is converted; the copy is reused while it is cached and goes with the image.
    auto straight = makeRGBAImage(16, 16, [](std::size_t, std::size_t) { return Pixel {0, 255, 0, 128}; });
    CGContextDrawImage(c, CGRectMake(0, 0, 4, 4), straight);
    EXPECT_EQ(DrawingCopies::bytesHeld(), before + 16 * 16 * 4);
    CGContextDrawImage(c, CGRectMake(0, 0, 4, 4), straight);
    EXPECT_EQ(DrawingCopies::bytesHeld(), before + 16 * 16 * 4);
    straight = nil;
    EXPECT_EQ(DrawingCopies::bytesHeld(), before);

    // The copies together stay within the budget: the least recently drawn goes first.
    DrawingCopies::setBudget(before + 16 * 16 * 4);
    auto first = makeRGBAImage(16, 16, [](std::size_t, std::size_t) { return Pixel {255, 0, 0, 255}; });
    auto second = makeRGBAImage(16, 16, [](std::size_t, std::size_t) { return Pixel {0, 0, 255, 255}; });
    CGContextDrawImage(c, CGRectMake(0, 0, 4, 4), first);
    CGContextDrawImage(c, CGRectMake(0, 0, 4, 4), second);
    EXPECT_EQ(DrawingCopies::bytesHeld(), before + 16 * 16 * 4);
    EXPECT_EQ(at(c, 1, 1), (Pixel {0, 0, 255, 255}));
    CGContextDrawImage(c, CGRectMake(0, 0, 4, 4), first); // converted again after it was dropped
    EXPECT_EQ(at(c, 1, 1), kRed);
    DrawingCopies::setBudget(48u << 20);
}

TEST(DrawingTest, ImageContextUsesTheScreenScaleAndUIKitCoordinates)
{
    dv::setMainScreenScale(3);
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(10, 4), false, 0);
    auto context = UIGraphicsGetCurrentContext();
    ASSERT_TRUE(context);
    UIColor::redColor()->setFill();
    UIRectFill(CGRectMake(0, 0, 10, 2)); // top half in UIKit coordinates
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    dv::setMainScreenScale(0);
    EXPECT_FALSE(UIGraphicsGetCurrentContext());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 3);
    EXPECT_EQ(image->size(), CGSizeMake(10, 4));
    EXPECT_EQ(CGImageGetWidth(image->CGImage()), 30u);
    EXPECT_EQ(pixelAt(image->CGImage(), 15, 1), kRed);
    EXPECT_EQ(pixelAt(image->CGImage(), 15, 10), kClear);
    EXPECT_EQ(dv::mainScreenScale(), 2);

    UIGraphicsBeginImageContextWithOptions(CGSizeMake(0, 5), false, 1);
    EXPECT_FALSE(UIGraphicsGetCurrentContext()) << "an empty size makes no context";
    EXPECT_FALSE(UIGraphicsGetImageFromCurrentImageContext());
}

TEST(DrawingTest, UIImageDrawingAppliesTheOrientation)
{
    // Stored pixels: left red, right blue (2 x 1). Shown with orientation right (rotated
    // clockwise) the picture is 1 x 2: red on top, blue below.
    auto bitmap = makeRGBAImage(2, 1, [](std::size_t x, std::size_t) { return x == 0 ? Pixel {255, 0, 0, 255} : Pixel {0, 0, 255, 255}; });
    const std::pair<UIImageOrientation, std::pair<Pixel, Pixel>> cases[] = {
        {UIImageOrientationRight, {kRed, {0, 0, 255, 255}}},
        {UIImageOrientationLeft, {{0, 0, 255, 255}, kRed}},
    };
    for (const auto& [orientation, expected] : cases) {
        auto image = UIImage::imageWithCGImage(bitmap, 1, orientation);
        ASSERT_EQ(image->size(), CGSizeMake(1, 2));
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(10, 20), true, 1);
        CGContextSetInterpolationQuality(UIGraphicsGetCurrentContext(), kCGInterpolationNone);
        image->drawInRect(CGRectMake(0, 0, 10, 20));
        auto drawn = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        EXPECT_EQ(pixelAt(drawn->CGImage(), 5, 3), expected.first) << orientation;
        EXPECT_EQ(pixelAt(drawn->CGImage(), 5, 16), expected.second) << orientation;
    }
    auto mirrored = UIImage::imageWithCGImage(bitmap, 1, UIImageOrientationUpMirrored);
    UIGraphicsBeginImageContext(CGSizeMake(2, 1));
    CGContextSetInterpolationQuality(UIGraphicsGetCurrentContext(), kCGInterpolationNone);
    mirrored->drawAtPoint(CGPointZero);
    auto flipped = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(pixelAt(flipped->CGImage(), 0, 0), (Pixel {0, 0, 255, 255}));
}

TEST(DrawingTest, GreyAndAlphaOnlyContextsStoreTheirOwnLayout)
{
    auto grey = CGBitmapContextCreate(nullptr, 2, 2, 8, 0, CGColorSpaceCreateDeviceGray(), kCGImageAlphaNone);
    CGContextSetGrayFillColor(grey, 0.5, 1);
    CGContextFillRect(grey, CGRectMake(0, 0, 2, 2));
    auto* bytes = static_cast<std::uint8_t*>(CGBitmapContextGetData(grey));
    EXPECT_NEAR(bytes[0], 128, 1);
    EXPECT_EQ(CGBitmapContextGetBitsPerPixel(grey), 8u);

    auto mask = CGBitmapContextCreate(nullptr, 3, 1, 8, 0, nil, kCGImageAlphaOnly);
    CGContextSetRGBFillColor(mask, 0, 0, 0, 0.5);
    CGContextFillRect(mask, CGRectMake(0, 0, 1, 1));
    auto* a = static_cast<std::uint8_t*>(CGBitmapContextGetData(mask));
    EXPECT_NEAR(a[0], 128, 1);
    EXPECT_EQ(a[1], 0);
}

TEST(DrawingTest, TransparencyLayerCompositesOverlappingShapesAsOneWithTheOuterAlphaAndClip)
{
    auto c = makeContext(8, 2);
    CGContextClipToRect(c, CGRectMake(0, 0, 6, 2));
    CGContextSetAlpha(c, 0.5);
    CGContextBeginTransparencyLayer(c, nil);
    CGContextSetRGBFillColor(c, 1, 0, 0, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 4, 2));
    CGContextFillRect(c, CGRectMake(2, 0, 6, 2)); // overlaps the first in columns 2 and 3
    CGContextEndTransparencyLayer(c);
    // One layer at half alpha: the overlap is no darker than the rest; the clip cuts columns 6, 7.
    EXPECT_TRUE(near(at(c, 0, 0), Pixel {255, 0, 0, 128}, 2)) << show(at(c, 0, 0));
    EXPECT_TRUE(near(at(c, 3, 0), Pixel {255, 0, 0, 128}, 2)) << show(at(c, 3, 0));
    EXPECT_TRUE(near(at(c, 5, 1), Pixel {255, 0, 0, 128}, 2)) << show(at(c, 5, 1));
    EXPECT_EQ(at(c, 6, 0), kClear);
    // The state is back: alpha 0.5 again, and a stray end is ignored.
    CGContextEndTransparencyLayer(c);
    CGContextSetRGBFillColor(c, 0, 0, 1, 1);
    CGContextFillRect(c, CGRectMake(0, 0, 1, 1));
    EXPECT_TRUE(near(at(c, 0, 1), Pixel {85, 0, 170, 192}, 3)) << show(at(c, 0, 1));
}
