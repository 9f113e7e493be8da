#include "ui/images/UIImageForceDecode.h"

#include "platform/base/NSArray.h"
#include "platform/graphics/CGColorSpace.h"
#include "platform/graphics/CGContext.h"

#include <cstring>


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

constexpr CGBitmapInfo kDrawingLayout = kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little;

// Whether the bitmap holds exactly what redrawing it would: the drawing layout already, with the
// unused byte of every pixel opaque (a JPEG decodes so). Then the redrawn bitmap can share its
// bytes instead of copying them.
bool alreadyInDrawingLayout(const CGImage& bitmap)
{
    if (bitmap.bitsPerComponent() != 8 || bitmap.bitsPerPixel() != 32 || bitmap.alphaInfo() != kCGImageAlphaNoneSkipFirst
        || (bitmap.bitmapInfo() & kCGBitmapByteOrderMask) != kCGBitmapByteOrder32Little
        || CGColorSpaceGetModel(bitmap.colorSpace()) != kCGColorSpaceModelRGB || !bitmap.bytes())
        return false;
    // Two pixels at a time, in registers; the loop vectorises.
    constexpr std::uint64_t kOpaque = 0xFF000000FF000000ull;
    const std::size_t width = bitmap.width();
    const std::uint8_t* row = bitmap.bytes();
    for (std::size_t y = 0; y < bitmap.height(); ++y, row += bitmap.bytesPerRow()) {
        std::uint64_t all = ~0ull;
        std::size_t x = 0;
        for (; x + 2 <= width; x += 2) {
            std::uint64_t pair;
            std::memcpy(&pair, row + x * 4, 8);
            all &= pair;
        }
        if (x < width) {
            std::uint32_t last;
            std::memcpy(&last, row + x * 4, 4);
            all &= 0xFFFFFFFF00000000ull | last;
        }
        if ((all & kOpaque) != kOpaque)
            return false;
    }
    return true;
}

} // namespace

Ref<UIImage> decodedImageWithImage(const Ref<UIImage>& image)
{
    if (!image || image->images())
        return image;
    const CGImageRef& bitmap = image->CGImage();
    if (!bitmap || carriesAlpha(bitmap->alphaInfo()))
        return image;

    if (alreadyInDrawingLayout(*bitmap)) {
        auto shared = alloc<CGImage>()->initWithStorage(bitmap->width(), bitmap->height(), 8, 32, bitmap->bytesPerRow(),
            bitmap->colorSpace(), kDrawingLayout, bitmap->storage(), bitmap->storageOffset());
        if (shared)
            return UIImage::imageWithCGImage(shared, image->scale(), image->imageOrientation());
    }

    const std::size_t width = bitmap->width();
    const std::size_t height = bitmap->height();
    CGColorSpaceRef space = bitmap->colorSpace();
    if (needsDeviceRGB(CGColorSpaceGetModel(space)))
        space = CGColorSpaceCreateDeviceRGB();
    // Premultiplied first in the 32-bit little-endian order is the drawing backend's own layout:
    // the redrawn bitmap is drawn later without another conversion.
    auto context = CGBitmapContextCreate(nullptr, width, height, bitmap->bitsPerComponent(), 0, space, kDrawingLayout);
    if (!context)
        return image;
    CGContextDrawImage(context, CGRectMake(0, 0, CGFloat(width), CGFloat(height)), bitmap);
    auto redrawn = CGBitmapContextCreateImage(context);
    if (!redrawn)
        return image;
    return UIImage::imageWithCGImage(redrawn, image->scale(), image->imageOrientation());
}
