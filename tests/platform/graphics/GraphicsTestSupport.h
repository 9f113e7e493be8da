// Shared helpers of the graphics tests: images made in memory and encoders that write the inputs
// the decoders are tested on.
#pragma once

#include "platform/base/NSData.h"
#include "platform/graphics/CGImage.h"

#include <gif_lib.h>
#include <png.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace dv::test {

using Pixel = std::array<std::uint8_t, 4>; // straight RGBA

// Straight RGBA pixels; `info` kCGImageAlphaNoneSkipLast makes an opaque image of the same bytes.
inline CGImageRef makeRGBAImage(std::size_t w, std::size_t h, const std::function<Pixel(std::size_t, std::size_t)>& colour,
    CGBitmapInfo info = kCGImageAlphaLast)
{
    std::vector<std::uint8_t> px(w * h * 4);
    for (std::size_t y = 0; y < h; ++y)
        for (std::size_t x = 0; x < w; ++x) {
            Pixel p = colour(x, y);
            std::memcpy(&px[(y * w + x) * 4], p.data(), 4);
        }
    return dv::makeImage(w, h, 8, 32, w * 4, CGColorSpaceCreateDeviceRGB(), info, std::move(px));
}

// (0, 0, 0, 0) for a nil image, so that a failed decode shows as a mismatch, not a crash.
inline Pixel pixelAt(const CGImageRef& image, std::size_t x, std::size_t y)
{
    if (!image || x >= image->width() || y >= image->height())
        return {0, 0, 0, 0};
    auto px = dv::imagePixelsRGBA8(image);
    const std::size_t i = (y * image->width() + x) * 4;
    return {px[i], px[i + 1], px[i + 2], px[i + 3]};
}

inline bool near(const Pixel& a, const Pixel& b, int tolerance)
{
    for (int i = 0; i < 4; ++i)
        if (std::abs(int(a[i]) - int(b[i])) > tolerance)
            return false;
    return true;
}

inline std::string show(const Pixel& p)
{
    return "(" + std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) + "," + std::to_string(p[3]) + ")";
}

// A PNG written with libpng directly, for layouts our encoder never writes (16 bits, palette, grey).
struct PngLayout {
    std::uint32_t width = 0, height = 0;
    int bitDepth = 8;
    int colourType = PNG_COLOR_TYPE_RGB;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;      // tRNS for palette images
    bool greyTransparent = false;
    png_uint_16 transparentGrey = 0;         // tRNS for grey images
    bool interlaced = false;
    std::vector<std::uint8_t> rows;          // packed rows as libpng expects them
};

inline Ref<NSData> writePng(const PngLayout& layout)
{
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out, [](png_structp p, png_bytep d, png_size_t n) {
            auto* o = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
            o->insert(o->end(), d, d + n);
        },
        nullptr);
    png_set_IHDR(png, info, layout.width, layout.height, layout.bitDepth, layout.colourType,
        layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty())
        png_set_PLTE(png, info, layout.palette.data(), int(layout.palette.size()));
    if (!layout.paletteAlpha.empty())
        png_set_tRNS(png, info, layout.paletteAlpha.data(), int(layout.paletteAlpha.size()), nullptr);
    if (layout.greyTransparent) {
        png_color_16 c {};
        c.gray = layout.transparentGrey;
        png_set_tRNS(png, info, nullptr, 0, &c);
    }
    png_write_info(png, info);
    const std::size_t rowBytes = layout.rows.size() / layout.height;
    std::vector<png_bytep> rows(layout.height);
    for (std::size_t y = 0; y < layout.height; ++y)
        rows[y] = const_cast<png_bytep>(layout.rows.data() + y * rowBytes);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return NSData::dataWithVector(std::move(out));
}

// GIF frames written with giflib.
struct GifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    int delayCentiseconds = 0;
    int disposal = DISPOSAL_UNSPECIFIED;
    int transparentIndex = NO_TRANSPARENT_COLOR;
    std::vector<GifColorType> localColours; // empty: the global table
    std::vector<GifByteType> indices;       // width * height
    bool interlaced = false;
};

inline Ref<NSData> writeGif(int width, int height, const std::vector<GifColorType>& globalColours,
    const std::vector<GifFrame>& frames, int loopCount = -1)
{
    std::vector<std::uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(
        &out, [](GifFileType* g, const GifByteType* d, int n) {
            auto* o = static_cast<std::vector<std::uint8_t>*>(g->UserData);
            o->insert(o->end(), d, d + n);
            return n;
        },
        &error);
    EGifSetGifVersion(gif, true);
    auto makeMap = [](const std::vector<GifColorType>& colours) {
        int size = 2;
        while (size < int(colours.size()))
            size *= 2;
        std::vector<GifColorType> padded = colours;
        padded.resize(std::size_t(size), GifColorType {0, 0, 0});
        return GifMakeMapObject(size, padded.data());
    };
    ColorMapObject* global = makeMap(globalColours);
    EGifPutScreenDesc(gif, width, height, global->BitsPerPixel, 0, global);
    if (loopCount >= 0) {
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
        const unsigned char loop[3] = {1, static_cast<unsigned char>(loopCount & 0xFF), static_cast<unsigned char>(loopCount >> 8)};
        EGifPutExtensionBlock(gif, 3, loop);
        EGifPutExtensionTrailer(gif);
    }
    for (const auto& f : frames) {
        GraphicsControlBlock gcb {};
        gcb.DisposalMode = f.disposal;
        gcb.DelayTime = f.delayCentiseconds;
        gcb.TransparentColor = f.transparentIndex;
        GifByteType ext[4];
        const std::size_t n = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(n), ext);
        ColorMapObject* local = f.localColours.empty() ? nullptr : makeMap(f.localColours);
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, local);
        // Interlaced images are written in pass order.
        std::vector<int> order;
        if (f.interlaced) {
            const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            for (int p = 0; p < 4; ++p)
                for (int y = start[p]; y < f.height; y += step[p])
                    order.push_back(y);
        } else {
            for (int y = 0; y < f.height; ++y)
                order.push_back(y);
        }
        for (int y : order)
            EGifPutLine(gif, const_cast<GifByteType*>(f.indices.data() + std::size_t(y) * std::size_t(f.width)), f.width);
        if (local)
            GifFreeMapObject(local);
        // giflib keeps its own copy of a local table and does not free it when closing.
        if (gif->Image.ColorMap) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
    }
    GifFreeMapObject(global);
    EGifCloseFile(gif, &error);
    return NSData::dataWithVector(std::move(out));
}

inline Ref<NSData> prefix(const Ref<NSData>& data, std::size_t length)
{
    return NSData::dataWithBytes(data->bytes(), std::min<NSUInteger>(length, data->length()));
}

} // namespace dv::test
