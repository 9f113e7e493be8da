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

void drawAddPhoto(const CGContextRef& c)
{
    // The frame.
    setBlue(c, 0.6);
    CGContextSetLineWidth(c, 1.5);
    dv::tools::addRoundedRect(c, CGRectMake(1, 1, 28, 28), 5);
    CGContextStrokePath(c);
    // The camera: body, viewfinder bump and lens.
    setBlue(c, 1);
    dv::tools::addRoundedRect(c, CGRectMake(6, 11, 15, 11), 2);
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
