// Draws the keyboard toolbar's arrows, our own artwork, at scales 1, 2 and 3, on transparent
// grounds, into resources/KBKeyboardManager.bundle:
//   KBButtonBarArrowLeft.png   12 x 20  a dark chevron pointing left (previous field)
//   KBButtonBarArrowRight.png  12 x 20  the same pointing right (next field)
// The PNGs are committed; run this again only to change them:
//
//   cmake --build build --target dv_toolkit_write_keyboard_images
//
// Usage: dv_toolkit_keyboard_images <resources folder>
#include "platform/graphics/CGContext.h"
#include "ui/toolkit/images/WriteImage.h"

#include <cstdio>

namespace {

dv::tools::Drawing chevron(bool pointsLeft)
{
    return [pointsLeft](const CGContextRef& c) {
        const CGFloat tip = pointsLeft ? 3 : 9;
        const CGFloat tail = pointsLeft ? 9.5 : 2.5;
        CGContextSetRGBStrokeColor(c, 0.1, 0.1, 0.1, 1);
        CGContextSetLineWidth(c, 2.5);
        CGContextSetLineCap(c, kCGLineCapRound);
        CGContextSetLineJoin(c, kCGLineJoinRound);
        CGContextMoveToPoint(c, tail, 2.5);
        CGContextAddLineToPoint(c, tip, 10);
        CGContextAddLineToPoint(c, tail, 17.5);
        CGContextStrokePath(c);
    };
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path bundle = std::filesystem::path(argv[1]) / "KBKeyboardManager.bundle";
    const bool written = dv::tools::writeImage(bundle, "KBButtonBarArrowLeft", CGSizeMake(12, 20), chevron(true))
        && dv::tools::writeImage(bundle, "KBButtonBarArrowRight", CGSizeMake(12, 20), chevron(false));
    return written ? 0 : 1;
}
