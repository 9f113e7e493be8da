#include "platform/graphics/internal/PixelLayout.h"

#include <cstring>

namespace dv::internal::graphics {

std::optional<PixelLayout> pixelLayoutFor(std::size_t bpc, std::size_t bpp, CGColorSpaceModel model, CGBitmapInfo info)
{
    if (info & kCGBitmapFloatComponents)
        return std::nullopt;
    if (bpc != 8 && bpc != 16)
        return std::nullopt;
    if (bpp % bpc != 0)
        return std::nullopt;
    PixelLayout l;
    l.bytesPerSample = int(bpc / 8);
    l.samples = int(bpp / bpc);
    const auto alpha = CGImageAlphaInfo(info & kCGBitmapAlphaInfoMask);
    const auto order = info & kCGBitmapByteOrderMask;
    l.bigEndian16 = !(order == kCGBitmapByteOrder16Little);
    const bool little32 = order == kCGBitmapByteOrder32Little;
    const bool alphaFirst = alpha == kCGImageAlphaPremultipliedFirst || alpha == kCGImageAlphaFirst || alpha == kCGImageAlphaNoneSkipFirst;
    const bool hasAlphaSample = alpha != kCGImageAlphaNone;
    const bool realAlpha = alpha == kCGImageAlphaPremultipliedFirst || alpha == kCGImageAlphaPremultipliedLast
        || alpha == kCGImageAlphaFirst || alpha == kCGImageAlphaLast;
    l.premultiplied = alpha == kCGImageAlphaPremultipliedFirst || alpha == kCGImageAlphaPremultipliedLast;

    if (alpha == kCGImageAlphaOnly) {
        if (l.samples != 1)
            return std::nullopt;
        l.alphaOnly = true;
        l.a = 0;
        return l;
    }
    int colour = 0;
    if (model == kCGColorSpaceModelRGB)
        colour = 3;
    else if (model == kCGColorSpaceModelMonochrome)
        colour = 1;
    else
        return std::nullopt;
    if (l.samples != colour + (hasAlphaSample ? 1 : 0))
        return std::nullopt;
    if (little32 && !(bpc == 8 && l.samples == 4))
        return std::nullopt;

    int first = hasAlphaSample && alphaFirst ? 1 : 0;
    if (colour == 3) {
        l.r = first;
        l.g = first + 1;
        l.b = first + 2;
    } else {
        l.r = l.g = l.b = first;
    }
    if (hasAlphaSample)
        l.a = alphaFirst ? 0 : colour;
    if (little32) {
        l.r = 3 - l.r;
        l.g = 3 - l.g;
        l.b = 3 - l.b;
        if (l.a >= 0)
            l.a = 3 - l.a;
    }
    if (!realAlpha)
        l.a = -1;
    return l;
}

namespace {

inline std::uint8_t sample(const std::uint8_t* px, int index, const PixelLayout& l)
{
    if (l.bytesPerSample == 1)
        return px[index];
    const std::uint8_t* p = px + index * 2;
    unsigned v = l.bigEndian16 ? (unsigned(p[0]) << 8 | p[1]) : (unsigned(p[1]) << 8 | p[0]);
    return std::uint8_t((v + 128) / 257);
}

struct Straight {
    std::uint8_t r, g, b, a;
};

inline Straight readPixel(const std::uint8_t* px, const PixelLayout& l, bool wantPremultiplied)
{
    if (l.alphaOnly)
        return {0, 0, 0, sample(px, l.a, l)};
    Straight s {sample(px, l.r, l), sample(px, l.g, l), sample(px, l.b, l), std::uint8_t(l.a >= 0 ? sample(px, l.a, l) : 255)};
    if (s.a == 255)
        return s;
    if (wantPremultiplied && !l.premultiplied) {
        s.r = premultiply(s.r, s.a);
        s.g = premultiply(s.g, s.a);
        s.b = premultiply(s.b, s.a);
    } else if (!wantPremultiplied && l.premultiplied) {
        s.r = unpremultiply(s.r, s.a);
        s.g = unpremultiply(s.g, s.a);
        s.b = unpremultiply(s.b, s.a);
    }
    return s;
}

// The drawing backend's layout: premultiplied ARGB in a native-endian word (blue in the first
// byte on the little-endian machines this runs on).
bool isNativeARGB32(const PixelLayout& l)
{
    return l.bytesPerSample == 1 && l.samples == 4 && l.premultiplied && l.b == 0 && l.g == 1 && l.r == 2 && l.a == 3;
}

} // namespace

void convertToPremultipliedARGB32(const CGImage& image, const PixelLayout& l, std::uint8_t* dst, std::size_t dstStride)
{
    const std::size_t w = image.width();
    const std::size_t pixelBytes = std::size_t(l.samples * l.bytesPerSample);
    const bool nativeARGB = isNativeARGB32(l);
    for (std::size_t y = 0; y < image.height(); ++y) {
        const std::uint8_t* src = image.bytes() + y * image.bytesPerRow();
        auto* out = reinterpret_cast<std::uint32_t*>(dst + y * dstStride);
        if (nativeARGB) {
            std::memcpy(out, src, w * 4);
            continue;
        }
        for (std::size_t x = 0; x < w; ++x) {
            Straight p = readPixel(src + x * pixelBytes, l, true);
            out[x] = std::uint32_t(p.a) << 24 | std::uint32_t(p.r) << 16 | std::uint32_t(p.g) << 8 | p.b;
        }
    }
}

void convertToStraightRGBA8(const CGImage& image, const PixelLayout& l, std::uint8_t* dst, std::size_t dstStride)
{
    const std::size_t w = image.width();
    const std::size_t pixelBytes = std::size_t(l.samples * l.bytesPerSample);
    for (std::size_t y = 0; y < image.height(); ++y) {
        const std::uint8_t* src = image.bytes() + y * image.bytesPerRow();
        std::uint8_t* out = dst + y * dstStride;
        if (isNativeARGB32(l)) {
            // What every view and screen is drawn in, read without a call per sample.
            for (std::size_t x = 0; x < w; ++x, src += 4, out += 4) {
                const std::uint8_t a = src[3];
                if (a == 255) {
                    out[0] = src[2];
                    out[1] = src[1];
                    out[2] = src[0];
                } else {
                    out[0] = unpremultiply(src[2], a);
                    out[1] = unpremultiply(src[1], a);
                    out[2] = unpremultiply(src[0], a);
                }
                out[3] = a;
            }
            continue;
        }
        for (std::size_t x = 0; x < w; ++x) {
            Straight p = readPixel(src + x * pixelBytes, l, false);
            out[x * 4] = p.r;
            out[x * 4 + 1] = p.g;
            out[x * 4 + 2] = p.b;
            out[x * 4 + 3] = p.a;
        }
    }
}

} // namespace dv::internal::graphics
