// CGImage: an immutable bitmap (width, height, sample layout, colour space) over shared pixel
// storage. Decoders, bitmap contexts and crops make them; UIImage wraps one with a scale and an
// orientation. Immutable, so any thread may read one; pixel storage is shared between an image and
// its crops, and between an incremental image source's partial images and the rows its decoder
// is still filling below them. Drawing reads the pixels in place when they are in the drawing
// layout, else through a small shared cache of converted copies (internal/DrawingCopies.h).
//
//   CGImageRef image = UIImage::imageWithData(data)->CGImage();
//   if (CGImageGetAlphaInfo(image) == kCGImageAlphaNone) ...
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"
#include "platform/graphics/CGColorSpace.h"

#include <atomic>
#include <memory>
#include <vector>

namespace dv::internal::graphics {
class PixelBuffer;
class DrawingCopies;
}

enum CGImageAlphaInfo : std::uint32_t {
    kCGImageAlphaNone = 0,
    kCGImageAlphaPremultipliedLast = 1,
    kCGImageAlphaPremultipliedFirst = 2,
    kCGImageAlphaLast = 3,
    kCGImageAlphaFirst = 4,
    kCGImageAlphaNoneSkipLast = 5,
    kCGImageAlphaNoneSkipFirst = 6,
    kCGImageAlphaOnly = 7,
};

using CGBitmapInfo = std::uint32_t;
// Plain constants (not enumerators) so that `kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little`
// combines without mixing two enumeration types.
inline constexpr CGBitmapInfo kCGBitmapAlphaInfoMask = 0x1F;
inline constexpr CGBitmapInfo kCGBitmapFloatComponents = 1u << 8;
inline constexpr CGBitmapInfo kCGBitmapByteOrderMask = 0x7000;
inline constexpr CGBitmapInfo kCGBitmapByteOrderDefault = 0;
inline constexpr CGBitmapInfo kCGBitmapByteOrder16Little = 1u << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Little = 2u << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder16Big = 3u << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Big = 4u << 12;

class CGImage : public NSObject {
    DV_CLASS(CGImage, NSObject)

    using Storage = std::shared_ptr<const dv::internal::graphics::PixelBuffer>;

    CGImage() = default;
    ~CGImage() override;
    // The pixels start at `offset` in `storage`; rows are `bytesPerRow` apart. Answers nil when
    // the layout is not one this module reads, or the storage is too short for it.
    Ref<CGImage> initWithStorage(std::size_t width, std::size_t height, std::size_t bitsPerComponent,
        std::size_t bitsPerPixel, std::size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
        Storage storage, std::size_t offset = 0);

    std::size_t width() const { return m_width; }
    std::size_t height() const { return m_height; }
    std::size_t bitsPerComponent() const { return m_bitsPerComponent; }
    std::size_t bitsPerPixel() const { return m_bitsPerPixel; }
    std::size_t bytesPerRow() const { return m_bytesPerRow; }
    CGBitmapInfo bitmapInfo() const { return m_bitmapInfo; }
    CGImageAlphaInfo alphaInfo() const { return CGImageAlphaInfo(m_bitmapInfo & kCGBitmapAlphaInfoMask); }
    const CGColorSpaceRef& colorSpace() const { return m_space; }
    const std::uint8_t* bytes() const;
    const Storage& storage() const { return m_storage; }
    std::size_t storageOffset() const { return m_offset; }

    Ref<NSString> description() const override;

private:
    std::size_t m_width = 0;
    std::size_t m_height = 0;
    std::size_t m_bitsPerComponent = 0;
    std::size_t m_bitsPerPixel = 0;
    std::size_t m_bytesPerRow = 0;
    CGBitmapInfo m_bitmapInfo = 0;
    CGColorSpaceRef m_space;
    Storage m_storage;
    std::size_t m_offset = 0;

    friend class dv::internal::graphics::DrawingCopies;
    // Set once a converted copy for drawing has been cached, so that the cache forgets it with
    // the image.
    mutable std::atomic<bool> m_hasDrawingCopy {false};
};

using CGImageRef = Ref<CGImage>;

// Accessors answer 0 / nil for a nil image, as messages to nil do.
std::size_t CGImageGetWidth(const CGImageRef& image);
std::size_t CGImageGetHeight(const CGImageRef& image);
std::size_t CGImageGetBitsPerComponent(const CGImageRef& image);
std::size_t CGImageGetBitsPerPixel(const CGImageRef& image);
std::size_t CGImageGetBytesPerRow(const CGImageRef& image);
CGBitmapInfo CGImageGetBitmapInfo(const CGImageRef& image);
CGImageAlphaInfo CGImageGetAlphaInfo(const CGImageRef& image);
CGColorSpaceRef CGImageGetColorSpace(const CGImageRef& image);
// The part of the image inside `rect` (in pixels, rounded out to whole pixels and clipped to the
// image), sharing the pixels; nil when nothing is left.
CGImageRef CGImageCreateWithImageInRect(const CGImageRef& image, CGRect rect);
CGImageRef CGImageCreateCopy(const CGImageRef& image);

namespace dv {

// True when the image's alpha information means it carries an alpha channel (first, last,
// premultiplied first or last; alpha-only counts too).
bool imageHasAlpha(const CGImageRef& image);

// The pixels as straight (not premultiplied) RGBA, 8 bits per sample, rows of width * 4 bytes.
// Used by the encoders, by tests that compare pixels and by tools that save screens.
std::vector<std::uint8_t> imagePixelsRGBA8(const CGImageRef& image);

// Makes an image over freshly decoded pixels (no copy).
CGImageRef makeImage(std::size_t width, std::size_t height, std::size_t bitsPerComponent, std::size_t bitsPerPixel,
    std::size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo info, std::vector<std::uint8_t> pixels);

} // namespace dv
