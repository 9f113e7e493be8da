// Draws the upload forms' picture, our own artwork, at scales 1, 2 and 3:
//   "addphoto"  30 x 30  the button that picks the code's picture: a small camera in a rounded
//                        frame, with a plus in its corner, in the light blue of the upload button.
// The PNGs are committed under resources/; run this again only to change them:
//
//   cmake --build build --target dv_directory_write_upload_images
//
// Usage: dv_directory_upload_images <output folder>
#include "platform/graphics/CGContext.h"
#include "platform/graphics/UIColor.h"
#include "ui/toolkit/images/WriteImage.h"

#include <cstdio>

namespace {

void setBlue(const CGContextRef& c, CGFloat alpha)
{
    CGContextSetRGBStrokeColor(c, 131 / 255.0, 162 / 255.0, 251 / 255.0, alpha);
    CGContextSetRGBFillColor(c, 131 / 255.0, 162 / 255.0, 251 / 255.0, alpha);
}

void roundedRect(const CGContextRef& c, CGRect r, CGFloat radius)
{
    const CGFloat x0 = r.origin.x, y0 = r.origin.y, x1 = x0 + r.size.width, y1 = y0 + r.size.height;
    CGContextMoveToPoint(c, x0 + radius, y0);
    CGContextAddArcToPoint(c, x1, y0, x1, y1, radius);
    CGContextAddArcToPoint(c, x1, y1, x0, y1, radius);
    CGContextAddArcToPoint(c, x0, y1, x0, y0, radius);
    CGContextAddArcToPoint(c, x0, y0, x1, y0, radius);
    CGContextClosePath(c);
}

void drawAddPhoto(const CGContextRef& c)
{
    // The frame.
    setBlue(c, 0.6);
    CGContextSetLineWidth(c, 1.5);
    roundedRect(c, CGRectMake(1, 1, 28, 28), 5);
    CGContextStrokePath(c);
    // The camera: body, viewfinder bump and lens.
    setBlue(c, 1);
    roundedRect(c, CGRectMake(6, 11, 15, 11), 2);
    CGContextFillPath(c);
    CGContextFillRect(c, CGRectMake(10, 9, 6, 3));
    UIColor::whiteColor()->setFill();
    CGContextFillEllipseInRect(c, CGRectMake(10, 13, 7, 7));
    setBlue(c, 1);
    CGContextFillEllipseInRect(c, CGRectMake(12, 15, 3, 3));
    // The plus.
    CGContextSetLineWidth(c, 2);
    CGContextSetLineCap(c, kCGLineCapRound);
    CGContextMoveToPoint(c, 24, 5);
    CGContextAddLineToPoint(c, 24, 11);
    CGContextMoveToPoint(c, 21, 8);
    CGContextAddLineToPoint(c, 27, 8);
    CGContextStrokePath(c);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    return dv::tools::writeImage(argv[1], "addphoto", CGSizeMake(30, 30), drawAddPhoto) ? 0 : 1;
}
