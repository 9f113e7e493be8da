// Draws the refresh controls' images, our own artwork, at scales 1, 2 and 3 ("arrow.png",
// "arrow@2x.png", "arrow@3x.png", ...), on transparent grounds:
//   RFRefresh.bundle/arrow.png  15 x 40  a grey arrow pointing down (the normal header turns it
//                                        up once letting go would refresh)
//   re1.png, re2.png, re3.png   40 x 40  three orange dots, the first, second or third one large
//                                        and strong: one round of the demonstration animation
//   logo.png                    60 x 60  an orange rounded square holding a white ring and dot,
//                                        the demonstration headers' logo
// The PNGs are committed under resources/; run this again only to change them:
//
//   cmake --build build --target dv_toolkit_write_refresh_images
//
// Usage: dv_toolkit_refresh_images <resources folder>
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "ui/toolkit/images/WriteImage.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace {

using dv::tools::Drawing;
using dv::tools::writeImage;

constexpr CGFloat kOrange[3] = {1.0, 0.5, 0.0};

void drawArrow(const CGContextRef& c)
{
    CGContextSetRGBStrokeColor(c, 0.45, 0.45, 0.45, 1);
    CGContextSetLineWidth(c, 2);
    CGContextSetLineCap(c, kCGLineCapRound);
    CGContextSetLineJoin(c, kCGLineJoinRound);
    CGContextMoveToPoint(c, 7.5, 3);
    CGContextAddLineToPoint(c, 7.5, 36.5);
    CGContextStrokePath(c);
    CGContextMoveToPoint(c, 2.5, 31);
    CGContextAddLineToPoint(c, 7.5, 37);
    CGContextAddLineToPoint(c, 12.5, 31);
    CGContextStrokePath(c);
}

Drawing drawDots(int strong)
{
    return [strong](const CGContextRef& c) {
        for (int dot = 1; dot <= 3; ++dot) {
            const bool large = dot == strong;
            const CGFloat radius = large ? 5.5 : 3.5;
            CGContextSetRGBFillColor(c, kOrange[0], kOrange[1], kOrange[2], large ? 1.0 : 0.4);
            CGContextFillEllipseInRect(c, CGRectMake(10 * dot - radius, 20 - radius, 2 * radius, 2 * radius));
        }
    };
}

void drawLogo(const CGContextRef& c)
{
    // A rounded square of 56 with corners of 12, in the 60-point canvas.
    const CGFloat inset = 2, side = 56, radius = 12;
    CGContextSetRGBFillColor(c, kOrange[0], kOrange[1], kOrange[2], 1);
    dv::tools::addRoundedRect(c, CGRectMake(inset, inset, side, side), radius);
    CGContextFillPath(c);
    CGContextSetRGBStrokeColor(c, 1, 1, 1, 1);
    CGContextSetLineWidth(c, 4);
    CGContextStrokeEllipseInRect(c, CGRectMake(15, 15, 30, 30));
    CGContextSetRGBFillColor(c, 1, 1, 1, 1);
    CGContextFillEllipseInRect(c, CGRectMake(25, 25, 10, 10));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path resources = argv[1];
    bool written = writeImage(resources / "RFRefresh.bundle", "arrow", CGSizeMake(15, 40), drawArrow);
    for (int frame = 1; written && frame <= 3; ++frame)
        written = writeImage(resources, "re" + std::to_string(frame), CGSizeMake(40, 40), drawDots(frame));
    written = written && writeImage(resources, "logo", CGSizeMake(60, 60), drawLogo);
    return written ? 0 : 1;
}
