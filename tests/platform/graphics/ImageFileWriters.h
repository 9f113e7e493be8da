// Writers of the image files the decoders are tested on, through the codec libraries directly,
// for layouts and kinds our own encoders never write (16 bits, palettes, progressive scans,
// animations, bitmaps and icons), and helpers to damage PNG chunks on purpose. Never downloaded
// files: everything is made here, at test time or by the corpus writer of the fuzz targets.
#pragma once

#include "platform/base/NSData.h"
#include "platform/graphics/CGImage.h"

#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <functional>
#include <vector>

#include <jpeglib.h>

namespace dv::test {

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

// A libpng writer whose bytes go to `out`.
inline std::pair<png_structp, png_infop> pngWriterInto(std::vector<std::uint8_t>& out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out, [](png_structp p, png_bytep d, png_size_t n) {
            auto* o = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
            o->insert(o->end(), d, d + n);
        },
        nullptr);
    return { png, info };
}

inline Ref<NSData> writePng(const PngLayout& layout)
{
    std::vector<std::uint8_t> out;
    auto [png, info] = pngWriterInto(out);
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

// A large RGBA PNG written a row at a time, so that the picture is never whole in memory here:
// `fill` gives row y (width x 4 bytes). Compressed fast, as size does not matter.
inline Ref<NSData> writeLargeRgbaPng(std::uint32_t width, std::uint32_t height,
    const std::function<void(std::uint32_t y, std::uint8_t* row)>& fill)
{
    std::vector<std::uint8_t> out;
    auto [png, info] = pngWriterInto(out);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
        PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<std::uint8_t> row(std::size_t(width) * 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        fill(y, row.data());
        png_write_row(png, row.data());
    }
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

inline void put16(std::vector<std::uint8_t>& b, unsigned v) { b.push_back(std::uint8_t(v)), b.push_back(std::uint8_t(v >> 8)); }
inline void put32(std::vector<std::uint8_t>& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

// A BITMAPINFOHEADER (40 bytes).
inline std::vector<std::uint8_t> dibHeader(int width, int height, int bits, std::uint32_t compression, std::uint32_t colours)
{
    std::vector<std::uint8_t> b;
    put32(b, 40), put32(b, std::uint32_t(width)), put32(b, std::uint32_t(height)), put16(b, 1), put16(b, unsigned(bits));
    put32(b, compression), put32(b, 0), put32(b, 2835), put32(b, 2835), put32(b, colours), put32(b, 0);
    return b;
}

inline Ref<NSData> bmpFile(const std::vector<std::uint8_t>& dibAndPixels, std::uint32_t pixelsAt)
{
    std::vector<std::uint8_t> b = {'B', 'M'};
    put32(b, std::uint32_t(14 + dibAndPixels.size())), put32(b, 0), put32(b, pixelsAt);
    b.insert(b.end(), dibAndPixels.begin(), dibAndPixels.end());
    return NSData::dataWithVector(b);
}

// An icon of square entries (side, then a PNG file or a DIB with its mask), in the order given.
inline Ref<NSData> iconFile(const std::vector<std::pair<int, std::vector<std::uint8_t>>>& entries)
{
    std::vector<std::uint8_t> ico;
    put16(ico, 0), put16(ico, 1), put16(ico, unsigned(entries.size()));
    std::uint32_t at = std::uint32_t(6 + 16 * entries.size());
    for (const auto& [side, bytes] : entries) {
        ico.insert(ico.end(), {std::uint8_t(side), std::uint8_t(side), 0, 0}), put16(ico, 1), put16(ico, 32);
        put32(ico, std::uint32_t(bytes.size())), put32(ico, at);
        at += std::uint32_t(bytes.size());
    }
    for (const auto& entry : entries)
        ico.insert(ico.end(), entry.second.begin(), entry.second.end());
    return NSData::dataWithVector(ico);
}

// A JPEG written with libjpeg directly, for what our encoder never writes: progressive scans,
// full-resolution colour, grey.
struct JpegOptions {
    int quality = 85;
    bool progressive = false;
    bool fullChroma = false; // 4:4:4 instead of 4:2:0
    bool grey = false;
    int restartRows = 0; // a restart marker after every so many rows of blocks
    unsigned restartInterval = 0; // or after every so many MCUs
};

// Writes a JPEG with libjpeg into memory: `setup` sets the compression parameters after the
// defaults, and `fillRow(y, row)` fills each row, `components` samples a pixel.
template <class Setup, class FillRow>
inline Ref<NSData> compressJpeg(std::size_t w, std::size_t h, int components, J_COLOR_SPACE inputSpace, Setup setup, FillRow fillRow)
{
    jpeg_compress_struct info {};
    jpeg_error_mgr error {};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(w);
    info.image_height = JDIMENSION(h);
    info.input_components = components;
    info.in_color_space = inputSpace;
    jpeg_set_defaults(&info);
    setup(info);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(w * std::size_t(components));
    while (info.next_scanline < info.image_height) {
        fillRow(std::size_t(info.next_scanline), row.data());
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    auto data = NSData::dataWithBytes(out, size);
    std::free(out);
    return data;
}

inline Ref<NSData> writeJpeg(const CGImageRef& image, const JpegOptions& options = {})
{
    const auto rgba = dv::imagePixelsRGBA8(image);
    const std::size_t w = image->width(), h = image->height();
    return compressJpeg(
        w, h, options.grey ? 1 : 3, options.grey ? JCS_GRAYSCALE : JCS_RGB,
        [&](jpeg_compress_struct& info) {
            jpeg_set_quality(&info, options.quality, TRUE);
            if (options.fullChroma && !options.grey)
                info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
            if (options.progressive)
                jpeg_simple_progression(&info);
            info.restart_in_rows = options.restartRows;
            info.restart_interval = options.restartInterval;
        },
        [&](std::size_t y, std::uint8_t* row) {
            const std::uint8_t* src = rgba.data() + y * w * 4;
            for (std::size_t x = 0; x < w; ++x) {
                if (options.grey)
                    row[x] = std::uint8_t((src[x * 4] * 77 + src[x * 4 + 1] * 150 + src[x * 4 + 2] * 29) >> 8);
                else
                    std::memcpy(&row[x * 3], src + x * 4, 3);
            }
        });
}

// A JPEG of four components written with libjpeg: CMYK samples made up from x and y, stored as
// CMYK or as YCCK (with the Adobe marker libjpeg writes for both), component i sampled
// `sampling[i]` = {horizontally, vertically} times (1...4 each); in libjpeg's progressive scans
// when asked.
inline Ref<NSData> writeFourComponentJpeg(std::size_t w, std::size_t h, bool ycck, const std::array<std::pair<int, int>, 4>& sampling,
    bool progressive = false, unsigned restartInterval = 0)
{
    return compressJpeg(
        w, h, 4, JCS_CMYK,
        [&](jpeg_compress_struct& info) {
            jpeg_set_colorspace(&info, ycck ? JCS_YCCK : JCS_CMYK);
            jpeg_set_quality(&info, 90, TRUE);
            for (int i = 0; i < 4; ++i) {
                info.comp_info[i].h_samp_factor = sampling[std::size_t(i)].first;
                info.comp_info[i].v_samp_factor = sampling[std::size_t(i)].second;
            }
            if (progressive)
                jpeg_simple_progression(&info);
            info.restart_interval = restartInterval;
        },
        [&](std::size_t y, std::uint8_t* row) {
            for (std::size_t x = 0; x < w; ++x) {
                std::uint8_t* p = &row[x * 4];
                p[0] = std::uint8_t(x * 255 / std::max<std::size_t>(w - 1, 1));
                p[1] = std::uint8_t(y * 255 / std::max<std::size_t>(h - 1, 1));
                p[2] = std::uint8_t((x * 5 + y * 3) % 256);
                p[3] = std::uint8_t(255 - (x + y) % 128);
            }
        });
}

// Byte offset of the first chunk of `type` in a PNG, or 0.
inline std::size_t pngChunkAt(const Ref<NSData>& png, const char* type)
{
    const std::uint8_t* b = png->bytes();
    for (std::size_t at = 8; at + 8 <= png->length();) {
        const std::size_t length = std::size_t(b[at]) << 24 | std::size_t(b[at + 1]) << 16 | std::size_t(b[at + 2]) << 8 | b[at + 3];
        if (std::memcmp(b + at + 4, type, 4) == 0)
            return at;
        at += length + 12;
    }
    return 0;
}

// Writes the right CRC of the chunk at `at` after its bytes were changed on purpose.
inline void fixPngChunkCrc(const Ref<NSMutableData>& png, std::size_t at)
{
    std::uint8_t* b = png->mutableBytes();
    const std::size_t length = std::size_t(b[at]) << 24 | std::size_t(b[at + 1]) << 16 | std::size_t(b[at + 2]) << 8 | b[at + 3];
    const auto crc = std::uint32_t(crc32(0, b + at + 4, uInt(length + 4)));
    for (int i = 0; i < 4; ++i)
        b[at + 8 + length + std::size_t(i)] = std::uint8_t(crc >> (24 - 8 * i));
}

} // namespace dv::test
