// Draws the prospect search screens' pictures, our own artwork, at scales 1, 2 and 3, 20 x 20:
//   "dizhi"   the region row's sign: a blue map pin with a white dot;
//   "shouji"  the number row's sign: a blue handset outline with a screen and a home button.
// The PNGs are committed under resources/; run this again only to change them:
//
//   cmake --build build --target dv_directory_write_prospect_images
//
// Usage: dv_directory_prospect_images <output folder>
#include "platform/graphics/UIColor.h"
#include "ui/toolkit/images/WriteImage.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>

namespace {

Ref<UIColor> signBlue() { return UIColor::colorWithRed(0 / 255.0, 169 / 255.0, 242 / 255.0, 1); }

void drawPin(const CGContextRef& c)
{
    // A circle of radius 6 round (10, 8) ending in a point at the bottom.
    const CGFloat cx = 10, cy = 8, radius = 6;
    const double spread = std::numbers::pi * 0.22;
    signBlue()->setFill();
    CGContextMoveToPoint(c, cx, 18.5);
    CGContextAddArc(c, cx, cy, radius, std::numbers::pi / 2 + spread, std::numbers::pi / 2 - spread + 2 * std::numbers::pi, 0);
    CGContextClosePath(c);
    CGContextFillPath(c);
    UIColor::whiteColor()->setFill();
    CGContextAddArc(c, cx, cy, 2.4, 0, 2 * std::numbers::pi, 0);
    CGContextFillPath(c);
}

void drawHandset(const CGContextRef& c)
{
    signBlue()->setStroke();
    signBlue()->setFill();
    CGContextSetLineWidth(c, 1.6);
    // The body, rounded at its corners.
    dv::tools::addRoundedRect(c, CGRectMake(5.5, 1.5, 9, 17), 2);
    CGContextStrokePath(c);
    // The screen and the home button.
    CGContextFillRect(c, CGRectMake(7.5, 4, 5, 9.5));
    CGContextAddArc(c, 10, 16, 1.1, 0, 2 * std::numbers::pi, 0);
    CGContextFillPath(c);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const bool written = dv::tools::writeImage(folder, "dizhi", CGSizeMake(20, 20), drawPin)
        && dv::tools::writeImage(folder, "shouji", CGSizeMake(20, 20), drawHandset);
    return written ? 0 : 1;
}
