// Draws the QR-code lists' pictures, our own artwork, at scales 1, 2 and 3:
//   "huanyizu"  30 x 30  the next-batch button of the navigation bar: two white arrows chasing each
//                        other round a circle (white, as the bar's title is);
//   "fatiezi"   70 x 70  the floating upload button: a rose disc with a white plus and a soft ring;
//   "next"      20 x 20  the arrow at the end of each row: a grey chevron.
// The PNGs are committed under resources/; run this again only to change them:
//
//   cmake --build build --target dv_directory_write_list_images
//
// Usage: dv_directory_list_images <output folder>
#include "platform/graphics/CGContext.h"
#include "ui/toolkit/images/WriteImage.h"
#include "platform/graphics/UIColor.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

namespace {

constexpr double kPi = std::numbers::pi;

// An arrowhead at the end of an arc of the circle round (cx, cy), pointing along the arc.
void arrowHead(const CGContextRef& c, CGFloat cx, CGFloat cy, CGFloat radius, double angle, CGFloat size)
{
    const CGFloat x = cx + radius * std::cos(angle), y = cy + radius * std::sin(angle);
    // The arc runs with growing angles: its direction at `angle` is the tangent (-sin, cos).
    const CGFloat dx = -std::sin(angle), dy = std::cos(angle);
    const CGFloat nx = std::cos(angle), ny = std::sin(angle);
    CGContextMoveToPoint(c, x + dx * size, y + dy * size);
    CGContextAddLineToPoint(c, x + nx * size * 0.8, y + ny * size * 0.8);
    CGContextAddLineToPoint(c, x - nx * size * 0.8, y - ny * size * 0.8);
    CGContextClosePath(c);
    CGContextFillPath(c);
}

void drawNextBatch(const CGContextRef& c)
{
    const CGFloat cx = 15, cy = 15, radius = 9;
    UIColor::whiteColor()->setStroke();
    UIColor::whiteColor()->setFill();
    CGContextSetLineWidth(c, 2.2);
    CGContextSetLineCap(c, kCGLineCapRound);
    for (double start : { -kPi * 0.9, kPi * 0.1 }) {
        const double end = start + kPi * 0.62;
        CGContextAddArc(c, cx, cy, radius, start, end, 0);
        CGContextStrokePath(c);
        arrowHead(c, cx, cy, radius, end, 3.4);
    }
}

void drawUpload(const CGContextRef& c)
{
    CGContextSetRGBFillColor(c, 244 / 255.0, 98 / 255.0, 113 / 255.0, 0.25);
    CGContextFillEllipseInRect(c, CGRectMake(1, 1, 68, 68));
    CGContextSetRGBFillColor(c, 244 / 255.0, 98 / 255.0, 113 / 255.0, 1);
    CGContextFillEllipseInRect(c, CGRectMake(6, 6, 58, 58));
    UIColor::whiteColor()->setStroke();
    CGContextSetLineWidth(c, 5);
    CGContextSetLineCap(c, kCGLineCapRound);
    CGContextMoveToPoint(c, 35, 21);
    CGContextAddLineToPoint(c, 35, 49);
    CGContextMoveToPoint(c, 21, 35);
    CGContextAddLineToPoint(c, 49, 35);
    CGContextStrokePath(c);
}

void drawRowArrow(const CGContextRef& c)
{
    UIColor::colorWithRed(155 / 255.0, 155 / 255.0, 155 / 255.0, 1)->setStroke();
    CGContextSetLineWidth(c, 2);
    CGContextSetLineCap(c, kCGLineCapRound);
    CGContextSetLineJoin(c, kCGLineJoinRound);
    CGContextMoveToPoint(c, 7.5, 4);
    CGContextAddLineToPoint(c, 13.5, 10);
    CGContextAddLineToPoint(c, 7.5, 16);
    CGContextStrokePath(c);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const bool written = dv::tools::writeImage(folder, "huanyizu", CGSizeMake(30, 30), drawNextBatch)
        && dv::tools::writeImage(folder, "fatiezi", CGSizeMake(70, 70), drawUpload)
        && dv::tools::writeImage(folder, "next", CGSizeMake(20, 20), drawRowArrow);
    return written ? 0 : 1;
}
