#include "ui/images/UIImageForceDecode.h"

#include "platform/base/NSArray.h"
#include "platform/graphics/CGColorSpace.h"
#include "platform/graphics/CGContext.h"

namespace {

bool carriesAlpha(CGImageAlphaInfo info)
{
    return info == kCGImageAlphaFirst || info == kCGImageAlphaLast || info == kCGImageAlphaPremultipliedFirst
        || info == kCGImageAlphaPremultipliedLast;
}

bool needsDeviceRGB(CGColorSpaceModel model)
{
    return model == kCGColorSpaceModelUnknown || model == kCGColorSpaceModelMonochrome || model == kCGColorSpaceModelCMYK
        || model == kCGColorSpaceModelIndexed;
}

} // namespace

Ref<UIImage> decodedImageWithImage(const Ref<UIImage>& image)
{
    if (!image || image->images())
        return image;
    const CGImageRef& bitmap = image->CGImage();
    if (!bitmap || carriesAlpha(bitmap->alphaInfo()))
        return image;

    const std::size_t width = bitmap->width();
    const std::size_t height = bitmap->height();
    CGColorSpaceRef space = bitmap->colorSpace();
    if (needsDeviceRGB(CGColorSpaceGetModel(space)))
        space = CGColorSpaceCreateDeviceRGB();
    // Premultiplied first in the 32-bit little-endian order is the drawing backend's own layout:
    // the redrawn bitmap is drawn later without another conversion.
    auto context = CGBitmapContextCreate(nullptr, width, height, bitmap->bitsPerComponent(), 0, space,
        kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    if (!context)
        return image;
    CGContextDrawImage(context, CGRectMake(0, 0, CGFloat(width), CGFloat(height)), bitmap);
    auto redrawn = CGBitmapContextCreateImage(context);
    if (!redrawn)
        return image;
    return UIImage::imageWithCGImage(redrawn, image->scale(), image->imageOrientation());
}
