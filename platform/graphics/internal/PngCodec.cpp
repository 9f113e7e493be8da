#include "platform/graphics/internal/PngCodec.h"

#include "platform/graphics/internal/ImageLimits.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace dv::internal {

namespace {

std::uint32_t be32(const std::uint8_t* p) { return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]; }

void quietWarning(png_structp, png_const_charp) { }

void errorJump(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

struct MemoryReader {
    std::span<const std::uint8_t> bytes;
    std::size_t position = 0;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (r->bytes.size() - r->position < length)
        png_error(png, "truncated");
    std::memcpy(out, r->bytes.data() + r->position, length);
    r->position += length;
}

// All C++ state lives here, outside the frame that calls setjmp, so a longjmp out of libpng never
// skips a destructor or reads a clobbered local.
struct DecodeState {
    MemoryReader reader;
    std::vector<std::uint8_t> pixels;
    std::vector<png_bytep> rows;
    png_uint_32 width = 0, height = 0;
    int channels = 0, depth = 0;
    bool ok = false;
};

void decodeBody(png_structp png, png_infop info, DecodeState& s)
{
    png_set_read_fn(png, &s.reader, readFromMemory);
    png_read_info(png, info);
    int colourType = 0, interlace = 0, bitDepth = 0;
    png_get_IHDR(png, info, &s.width, &s.height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
    if (!pixelCountAllowed(s.width, s.height))
        png_error(png, "too large");
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    s.channels = png_get_channels(png, info);
    s.depth = png_get_bit_depth(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes != std::size_t(s.width) * s.channels * (s.depth / 8))
        png_error(png, "unexpected layout");
    s.pixels.resize(rowBytes * s.height);
    s.rows.resize(s.height);
    for (png_uint_32 y = 0; y < s.height; ++y)
        s.rows[y] = s.pixels.data() + y * rowBytes;
    png_read_image(png, s.rows.data());
    s.ok = true;
}

bool runDecode(DecodeState& s)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, errorJump, quietWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png)) == 0)
        decodeBody(png, info, s);
    png_destroy_read_struct(&png, &info, nullptr);
    return s.ok;
}

// Progressive reading for partial images.
struct PartialState {
    std::vector<std::uint8_t> pixels;
    png_uint_32 width = 0, height = 0;
    png_uint_32 rowsDone = 0;
    bool interlaced = false;
    bool headerOk = false;
};

void partialInfo(png_structp png, png_infop info)
{
    auto* s = static_cast<PartialState*>(png_get_progressive_ptr(png));
    int colourType = 0, interlace = 0, bitDepth = 0;
    png_get_IHDR(png, info, &s->width, &s->height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
    if (!pixelCountAllowed(s->width, s->height))
        png_error(png, "too large");
    s->interlaced = interlace != PNG_INTERLACE_NONE;
    if (s->interlaced)
        png_error(png, "interlaced");
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (bitDepth == 16)
        png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t(s->width) * 4)
        png_error(png, "unexpected layout");
    s->pixels.assign(std::size_t(s->width) * s->height * 4, 0);
    s->headerOk = true;
}

void partialRow(png_structp png, png_bytep row, png_uint_32 rowNumber, int)
{
    auto* s = static_cast<PartialState*>(png_get_progressive_ptr(png));
    if (!row || rowNumber >= s->height)
        return;
    std::memcpy(s->pixels.data() + std::size_t(rowNumber) * s->width * 4, row, std::size_t(s->width) * 4);
    if (rowNumber + 1 > s->rowsDone)
        s->rowsDone = rowNumber + 1;
}

void runPartial(PartialState& s, std::span<const std::uint8_t> bytes)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, errorJump, quietWarning);
    if (!png)
        return;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return;
    }
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_progressive_read_fn(png, &s, partialInfo, partialRow, nullptr);
        // Feed in slices so that an error late in the stream still leaves the rows before it.
        const std::size_t slice = 64 * 1024;
        for (std::size_t at = 0; at < bytes.size(); at += slice)
            png_process_data(png, info, const_cast<png_bytep>(bytes.data() + at), std::min(slice, bytes.size() - at));
    }
    png_destroy_read_struct(&png, &info, nullptr);
}

struct EncodeState {
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> pixels;
    std::vector<png_bytep> rows;
    bool ok = false;
};

void writeToVector(png_structp png, png_bytep data, png_size_t length)
{
    auto* s = static_cast<EncodeState*>(png_get_io_ptr(png));
    s->out.insert(s->out.end(), data, data + length);
}

void flushNothing(png_structp) { }

} // namespace

std::optional<ImageHeader> pngReadHeader(std::span<const std::uint8_t> b)
{
    if (b.size() < 33 || std::memcmp(b.data() + 12, "IHDR", 4) != 0)
        return std::nullopt;
    ImageHeader h;
    h.width = be32(b.data() + 16);
    h.height = be32(b.data() + 20);
    if (h.width == 0 || h.height == 0 || h.width > 0x7FFFFFFF || h.height > 0x7FFFFFFF)
        return std::nullopt;
    const int depth = b[24];
    const int colourType = b[25];
    h.depth = depth == 16 ? 16 : 8;
    h.hasAlpha = colourType == 4 || colourType == 6;
    h.grey = colourType == 0 || colourType == 4;
    h.progressive = b[28] != 0;
    // A tRNS chunk before the image data gives a colour or palette image an alpha channel.
    std::size_t at = 8;
    while (at + 8 <= b.size()) {
        const std::uint32_t length = be32(b.data() + at);
        if (std::memcmp(b.data() + at + 4, "tRNS", 4) == 0)
            h.hasAlpha = true;
        if (std::memcmp(b.data() + at + 4, "IDAT", 4) == 0 || length > b.size())
            break;
        at += std::size_t(length) + 12;
    }
    return h;
}

CGImageRef pngDecode(std::span<const std::uint8_t> bytes)
{
    DecodeState s;
    s.reader.bytes = bytes;
    if (!runDecode(s))
        return nil;
    const bool grey = s.channels <= 2;
    const bool alpha = s.channels == 2 || s.channels == 4;
    const std::size_t bpp = std::size_t(s.channels) * s.depth;
    return dv::makeImage(s.width, s.height, s.depth, bpp, std::size_t(s.width) * bpp / 8,
        grey ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB(),
        alpha ? kCGImageAlphaLast : kCGImageAlphaNone, std::move(s.pixels));
}

CGImageRef pngDecodePartial(std::span<const std::uint8_t> bytes)
{
    PartialState s;
    runPartial(s, bytes);
    if (!s.headerOk || s.rowsDone == 0)
        return nil;
    return dv::makeImage(s.width, s.height, 8, 32, std::size_t(s.width) * 4, CGColorSpaceCreateDeviceRGB(),
        kCGImageAlphaLast, std::move(s.pixels));
}

std::vector<std::uint8_t> pngEncode(const CGImageRef& image)
{
    if (!image)
        return {};
    EncodeState s;
    const bool alpha = dv::imageHasAlpha(image);
    const std::size_t w = image->width(), h = image->height();
    s.pixels = dv::imagePixelsRGBA8(image);
    if (!alpha) {
        for (std::size_t i = 0; i < w * h; ++i)
            std::memmove(s.pixels.data() + i * 3, s.pixels.data() + i * 4, 3);
    }
    const std::size_t rowBytes = w * (alpha ? 4 : 3);
    s.rows.resize(h);
    for (std::size_t y = 0; y < h; ++y)
        s.rows[y] = s.pixels.data() + y * rowBytes;

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, errorJump, quietWarning);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return {};
    }
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &s, writeToVector, flushNothing);
        png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
            PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_write_image(png, s.rows.data());
        png_write_end(png, nullptr);
        s.ok = true;
    }
    png_destroy_write_struct(&png, &info);
    return s.ok ? std::move(s.out) : std::vector<std::uint8_t> {};
}

} // namespace dv::internal
