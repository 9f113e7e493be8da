// Reading any bitmap layout this module makes: 8 or 16 bits per sample, grey, grey + alpha, RGB,
// RGB + alpha or skip byte in either position and byte order, and alpha only. Conversions write
// rows of width * 4 bytes.
#pragma once

#include "platform/graphics/CGImage.h"

#include <cstdint>
#include <optional>

namespace dv::internal::graphics {

struct PixelLayout {
    int samples = 0;        // samples per pixel
    int bytesPerSample = 1; // 1 or 2
    bool bigEndian16 = true;
    int r = 0, g = 0, b = 0, a = -1; // sample positions; a < 0: opaque
    bool premultiplied = false;
    bool alphaOnly = false;
};

// nil when the combination is not one of the supported layouts.
std::optional<PixelLayout> pixelLayoutFor(std::size_t bitsPerComponent, std::size_t bitsPerPixel,
    CGColorSpaceModel model, CGBitmapInfo info);

// dst rows hold native-endian premultiplied ARGB32 (the drawing backend's layout).
void convertToPremultipliedARGB32(const CGImage& image, const PixelLayout& layout, std::uint8_t* dst, std::size_t dstStride);
// dst rows hold straight RGBA, 8 bits per sample.
void convertToStraightRGBA8(const CGImage& image, const PixelLayout& layout, std::uint8_t* dst, std::size_t dstStride);

inline std::uint8_t premultiply(std::uint8_t v, std::uint8_t a)
{
    unsigned t = unsigned(v) * a + 128;
    return std::uint8_t((t + (t >> 8)) >> 8);
}

inline std::uint8_t unpremultiply(std::uint8_t v, std::uint8_t a)
{
    if (a == 0)
        return 0;
    unsigned r = (unsigned(v) * 255 + a / 2) / a;
    return std::uint8_t(r > 255 ? 255 : r);
}

} // namespace dv::internal::graphics
