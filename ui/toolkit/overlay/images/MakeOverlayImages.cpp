// Draws the overlay's toast icons, our own artwork: a white ring of 37 x 37 points holding a
// cross ("error.png") or a tick ("success.png"), on a transparent ground, at scales 1, 2 and 3
// ("error.png", "error@2x.png", "error@3x.png", ...). White, because they stand on the overlay's
// dark box. The PNGs are committed under resources/PHProgressHUD.bundle; run this again only to
// change them:
//
//   cmake --build build --target dv_toolkit_write_overlay_images
//
// Usage: dv_toolkit_overlay_images <output folder>
#include "platform/graphics/UIColor.h"
#include "ui/toolkit/images/WriteImage.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace {

constexpr CGFloat kSide = 37;
constexpr CGFloat kRingWidth = 2.5;
constexpr CGFloat kMarkWidth = 3.5;

using Mark = std::function<void(const CGContextRef&)>;

void drawCross(const CGContextRef& c)
{
    const CGFloat near = 12.5, far = kSide - 12.5;
    CGContextMoveToPoint(c, near, near);
    CGContextAddLineToPoint(c, far, far);
    CGContextMoveToPoint(c, far, near);
    CGContextAddLineToPoint(c, near, far);
    CGContextStrokePath(c);
}

void drawTick(const CGContextRef& c)
{
    CGContextMoveToPoint(c, 10.5, 19);
    CGContextAddLineToPoint(c, 16, 24.5);
    CGContextAddLineToPoint(c, 26.5, 13);
    CGContextStrokePath(c);
}

bool writeIcon(const std::filesystem::path& folder, const std::string& name, const Mark& mark)
{
    return dv::tools::writeImage(folder, name, CGSizeMake(kSide, kSide), [&](const CGContextRef& c) {
        UIColor::whiteColor()->setStroke();
        CGContextSetLineWidth(c, kRingWidth);
        const CGFloat inset = kRingWidth / 2 + 0.5;
        CGContextStrokeEllipseInRect(c, CGRectMake(inset, inset, kSide - 2 * inset, kSide - 2 * inset));
        CGContextSetLineWidth(c, kMarkWidth);
        CGContextSetLineCap(c, kCGLineCapRound);
        CGContextSetLineJoin(c, kCGLineJoinRound);
        mark(c);
    });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const bool written = writeIcon(folder, "error", drawCross) && writeIcon(folder, "success", drawTick);
    return written ? 0 : 1;
}
