#include "platform/graphics/UIGraphics.h"

#include "platform/base/NSLog.h"
#include "platform/graphics/ScreenScale.h"
#include "platform/graphics/UIImage.h"

#include <cmath>
#include <vector>

namespace {

struct Entry {
    CGContextRef context;
    bool imageContext = false;
    CGFloat scale = 1;
};

std::vector<Entry>& stack()
{
    thread_local std::vector<Entry> entries;
    return entries;
}

} // namespace

CGContextRef UIGraphicsGetCurrentContext()
{
    auto& s = stack();
    return s.empty() ? nil : s.back().context;
}

void UIGraphicsPushContext(const CGContextRef& context)
{
    if (context)
        stack().push_back({context, false, 1});
}

void UIGraphicsPopContext()
{
    auto& s = stack();
    if (!s.empty() && !s.back().imageContext)
        s.pop_back();
}

void UIGraphicsBeginImageContextWithOptions(CGSize size, bool opaque, CGFloat scale)
{
    if (!(size.width > 0) || !(size.height > 0)) {
        NSLog("UIGraphicsBeginImageContext() failed to allocate a bitmap context: size={%g, %g}, scale=%g", size.width, size.height,
            scale);
        return;
    }
    if (!(scale > 0))
        scale = dv::mainScreenScale();
    if (size.width * scale > 32767 || size.height * scale > 32767) {
        NSLog("UIGraphicsBeginImageContext() failed to allocate a bitmap context: size={%g, %g}, scale=%g", size.width, size.height,
            scale);
        return;
    }
    const auto width = std::size_t(std::ceil(size.width * scale));
    const auto height = std::size_t(std::ceil(size.height * scale));
    const CGBitmapInfo info = (opaque ? kCGImageAlphaNoneSkipFirst : kCGImageAlphaPremultipliedFirst) | kCGBitmapByteOrder32Little;
    auto context = CGBitmapContextCreate(nullptr, width, height, 8, width * 4, CGColorSpaceCreateDeviceRGB(), info);
    if (!context) {
        NSLog("UIGraphicsBeginImageContext() failed to allocate a bitmap context: size={%g, %g}, scale=%g", size.width, size.height,
            scale);
        return;
    }
    // UIKit's coordinates: origin at the top left, y down, one unit per point.
    context->setUserToDevice(CGAffineTransformMake(scale, 0, 0, -scale, 0, CGFloat(height)));
    stack().push_back({context, true, scale});
}

void UIGraphicsBeginImageContext(CGSize size) { UIGraphicsBeginImageContextWithOptions(size, false, 1); }

Ref<UIImage> UIGraphicsGetImageFromCurrentImageContext()
{
    auto& s = stack();
    if (s.empty() || !s.back().imageContext)
        return nil;
    return UIImage::imageWithCGImage(CGBitmapContextCreateImage(s.back().context), s.back().scale, UIImageOrientationUp);
}

void UIGraphicsEndImageContext()
{
    auto& s = stack();
    if (!s.empty() && s.back().imageContext)
        s.pop_back();
}

// UIKit fills rectangles with the copy blend mode: the colour replaces what was there.
void UIRectFill(CGRect rect)
{
    auto c = UIGraphicsGetCurrentContext();
    if (!c)
        return;
    CGContextSaveGState(c);
    CGContextSetBlendMode(c, kCGBlendModeCopy);
    CGContextFillRect(c, rect);
    CGContextRestoreGState(c);
}

void UIRectFrame(CGRect rect)
{
    auto c = UIGraphicsGetCurrentContext();
    if (!c)
        return;
    CGContextSaveGState(c);
    CGContextSetLineWidth(c, 1);
    CGContextStrokeRect(c, CGRectInset(rect, 0.5, 0.5));
    CGContextRestoreGState(c);
}
