#include "platform/base/ClassBuilder.h"
#include "platform/graphics/CGImage.h"

#include "platform/base/NSString.h"
#include "platform/graphics/internal/DrawingCopies.h"
#include "platform/graphics/internal/ImageLimits.h"
#include "platform/graphics/internal/PixelBuffer.h"
#include "platform/graphics/internal/PixelLayout.h"

#include <cmath>

DV_DEFINE_CLASS(CGImage)

Ref<CGImage> CGImage::initWithStorage(std::size_t width, std::size_t height, std::size_t bitsPerComponent,
    std::size_t bitsPerPixel, std::size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
    Storage storage, std::size_t offset)
{
    if (!storage || width == 0 || height == 0 || !dv::internal::graphics::pixelCountAllowed(width, height))
        return nil;
    if (!dv::internal::graphics::pixelLayoutFor(bitsPerComponent, bitsPerPixel, CGColorSpaceGetModel(space), bitmapInfo))
        return nil;
    const std::size_t rowBytes = (width * bitsPerPixel + 7) / 8;
    if (bytesPerRow < rowBytes)
        return nil;
    if (offset > storage->size() || (storage->size() - offset) < bytesPerRow * (height - 1) + rowBytes)
        return nil;
    m_width = width;
    m_height = height;
    m_bitsPerComponent = bitsPerComponent;
    m_bitsPerPixel = bitsPerPixel;
    m_bytesPerRow = bytesPerRow;
    m_space = std::move(space);
    m_bitmapInfo = bitmapInfo;
    m_storage = std::move(storage);
    m_offset = offset;
    return self<CGImage>();
}

CGImage::~CGImage()
{
    if (m_hasDrawingCopy.load(std::memory_order_relaxed))
        dv::internal::graphics::DrawingCopies::forget(*this);
}

const std::uint8_t* CGImage::bytes() const { return m_storage->data() + m_offset; }

Ref<NSString> CGImage::description() const
{
    return NSString::stringWithFormat("<CGImage %zu x %zu, %zu bpc, %zu bpp, info %u>", m_width, m_height,
        m_bitsPerComponent, m_bitsPerPixel, unsigned(m_bitmapInfo));
}

std::size_t CGImageGetWidth(const CGImageRef& image) { return image ? image->width() : 0; }
std::size_t CGImageGetHeight(const CGImageRef& image) { return image ? image->height() : 0; }
std::size_t CGImageGetBitsPerComponent(const CGImageRef& image) { return image ? image->bitsPerComponent() : 0; }
std::size_t CGImageGetBitsPerPixel(const CGImageRef& image) { return image ? image->bitsPerPixel() : 0; }
std::size_t CGImageGetBytesPerRow(const CGImageRef& image) { return image ? image->bytesPerRow() : 0; }
CGBitmapInfo CGImageGetBitmapInfo(const CGImageRef& image) { return image ? image->bitmapInfo() : 0; }
CGImageAlphaInfo CGImageGetAlphaInfo(const CGImageRef& image) { return image ? image->alphaInfo() : kCGImageAlphaNone; }
CGColorSpaceRef CGImageGetColorSpace(const CGImageRef& image) { return image ? image->colorSpace() : nil; }

CGImageRef CGImageCreateWithImageInRect(const CGImageRef& image, CGRect rect)
{
    if (!image || CGRectIsNull(rect))
        return nil;
    rect = CGRectStandardize(rect);
    CGRect bounds = CGRectMake(0, 0, CGFloat(image->width()), CGFloat(image->height()));
    CGRect clipped = CGRectIntersection(CGRectIntegral(rect), bounds);
    if (CGRectIsNull(clipped) || CGRectIsEmpty(clipped))
        return nil;
    const auto x = std::size_t(clipped.origin.x);
    const auto y = std::size_t(clipped.origin.y);
    const auto w = std::size_t(clipped.size.width);
    const auto h = std::size_t(clipped.size.height);
    if (image->bitsPerPixel() % 8 != 0)
        return nil;
    const std::size_t offset = image->storageOffset() + y * image->bytesPerRow() + x * (image->bitsPerPixel() / 8);
    return alloc<CGImage>()->initWithStorage(w, h, image->bitsPerComponent(), image->bitsPerPixel(), image->bytesPerRow(),
        image->colorSpace(), image->bitmapInfo(), image->storage(), offset);
}

CGImageRef CGImageCreateCopy(const CGImageRef& image)
{
    if (!image)
        return nil;
    return alloc<CGImage>()->initWithStorage(image->width(), image->height(), image->bitsPerComponent(), image->bitsPerPixel(),
        image->bytesPerRow(), image->colorSpace(), image->bitmapInfo(), image->storage(), image->storageOffset());
}

namespace dv {

bool imageHasAlpha(const CGImageRef& image)
{
    switch (CGImageGetAlphaInfo(image)) {
    case kCGImageAlphaFirst:
    case kCGImageAlphaLast:
    case kCGImageAlphaPremultipliedFirst:
    case kCGImageAlphaPremultipliedLast:
    case kCGImageAlphaOnly:
        return image != nil;
    default:
        return false;
    }
}

std::vector<std::uint8_t> imagePixelsRGBA8(const CGImageRef& image)
{
    if (!image)
        return {};
    auto layout = internal::graphics::pixelLayoutFor(image->bitsPerComponent(), image->bitsPerPixel(), CGColorSpaceGetModel(image->colorSpace()),
        image->bitmapInfo());
    std::vector<std::uint8_t> out(image->width() * image->height() * 4);
    internal::graphics::convertToStraightRGBA8(*image, *layout, out.data(), image->width() * 4);
    return out;
}

CGImageRef makeImage(std::size_t width, std::size_t height, std::size_t bitsPerComponent, std::size_t bitsPerPixel,
    std::size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo info, std::vector<std::uint8_t> pixels)
{
    auto storage = internal::graphics::PixelBuffer::adopt(std::move(pixels));
    return alloc<CGImage>()->initWithStorage(width, height, bitsPerComponent, bitsPerPixel, bytesPerRow, std::move(space), info,
        std::move(storage));
}

} // namespace dv
