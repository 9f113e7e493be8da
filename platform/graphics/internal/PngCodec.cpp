#include "platform/graphics/internal/PngCodec.h"

#include "platform/graphics/internal/ImageLimits.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>

namespace dv::internal::graphics {

namespace {

std::uint32_t be32(const std::uint8_t* p) { return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]; }

void quietWarning(png_structp, png_const_charp) { }

void errorJump(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

} // namespace

// libpng's progressive reader and what its callbacks learn. All C++ state lives here, outside the
// frame that calls setjmp, so that a longjmp out of libpng skips no destructor and reads no
// clobbered local.
struct PngStream::Reader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    RowCanvas canvas;
    RowCanvas::Layout layout;
    bool interlaced = false;
    bool laidOut = false;
    bool ended = false;
    bool damaged = false;

    Reader()
    {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, errorJump, quietWarning);
        if (png)
            info = png_create_info_struct(png);
        if (!png || !info)
            damaged = true;
    }
    ~Reader()
    {
        if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

namespace {

using Reader = PngStream::Reader;

void readInfo(png_structp png, png_infop info)
{
    auto* r = static_cast<Reader*>(png_get_progressive_ptr(png));
    png_uint_32 width = 0, height = 0;
    int colourType = 0, interlace = 0, bitDepth = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
    if (!pixelCountAllowed(width, height))
        png_error(png, "too large");
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    r->interlaced = interlace != PNG_INTERLACE_NONE;
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const int channels = png_get_channels(png, info);
    const int depth = png_get_bit_depth(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes != std::size_t(width) * std::size_t(channels) * std::size_t(depth / 8))
        png_error(png, "unexpected layout");
    const bool grey = channels <= 2;
    const bool alpha = channels == 2 || channels == 4;
    r->layout.width = width;
    r->layout.height = height;
    r->layout.bitsPerComponent = std::size_t(depth);
    r->layout.bitsPerPixel = std::size_t(depth * channels);
    r->layout.bytesPerRow = rowBytes;
    r->layout.space = grey ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB();
    r->layout.bitmapInfo = alpha ? kCGImageAlphaLast : kCGImageAlphaNone;
    r->laidOut = true;
}

void readRow(png_structp png, png_bytep row, png_uint_32 rowNumber, int)
{
    auto* r = static_cast<Reader*>(png_get_progressive_ptr(png));
    if (!r->laidOut || rowNumber >= r->layout.height)
        return;
    // The canvas is reserved when the first row arrives, not when the header claims it.
    if (!r->canvas.reserved() && !r->canvas.reserve(r->layout))
        png_error(png, "out of memory");
    if (!row)
        return; // an interlaced pass that leaves this row as it is
    png_progressive_combine_row(png, r->canvas.row(rowNumber), row);
    if (!r->interlaced)
        r->canvas.setRowsDone(rowNumber + 1);
}

// The progressive reader calls back for every row of every pass, the rows a pass leaves alone
// included: the last row of the last pass completes an interlaced image.
void passedRow(png_structp png, png_bytep row, png_uint_32 rowNumber, int pass)
{
    readRow(png, row, rowNumber, pass);
    auto* r = static_cast<Reader*>(png_get_progressive_ptr(png));
    if (r->interlaced && pass == 6 && rowNumber + 1 == r->layout.height && r->canvas.reserved())
        r->canvas.setRowsDone(r->layout.height);
}

void readEnd(png_structp png, png_infop)
{
    auto* r = static_cast<Reader*>(png_get_progressive_ptr(png));
    r->ended = true;
    // The file ended properly but its data did not fill the rows its header claims.
    if (r->canvas.rowsDone() != r->layout.height)
        r->damaged = true;
}

void feed(Reader& r, std::span<const std::uint8_t> bytes)
{
    if (setjmp(png_jmpbuf(r.png)) == 0)
        png_process_data(r.png, r.info, const_cast<png_bytep>(bytes.data()), bytes.size());
    else
        r.damaged = true;
}

struct EncodeState {
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> pixels;
    std::vector<png_bytep> rows;
    bool ok = false;
    std::string failure; // libpng's own words
};

void encodeError(png_structp png, png_const_charp message)
{
    static_cast<EncodeState*>(png_get_error_ptr(png))->failure = message ? message : "unknown error";
    png_longjmp(png, 1);
}

void writeToVector(png_structp png, png_bytep data, png_size_t length)
{
    auto* s = static_cast<EncodeState*>(png_get_io_ptr(png));
    s->out.insert(s->out.end(), data, data + length);
}

void flushNothing(png_structp) { }

} // namespace

PngStream::PngStream(PixelUse use) : m_reader(std::make_unique<Reader>())
{
    if (use == PixelUse::Discard)
        m_reader->canvas.discardRows();
    if (!m_reader->damaged && setjmp(png_jmpbuf(m_reader->png)) == 0)
        png_set_progressive_read_fn(m_reader->png, m_reader.get(), readInfo, passedRow, readEnd);
}

PngStream::~PngStream() = default;

void PngStream::update(std::span<const std::uint8_t> bytes, bool final)
{
    m_final = final;
    if (bytes.size() <= m_received)
        return;
    auto fresh = bytes.subspan(m_received);
    m_received = bytes.size();
    if (m_reader->damaged || m_reader->ended)
        return; // whatever follows the end of the image is not read
    feed(*m_reader, fresh);
}

StreamState PngStream::state()
{
    if (m_reader->damaged)
        return StreamState::Damaged;
    if (m_reader->ended)
        return StreamState::Complete;
    if (m_final)
        return StreamState::Truncated;
    return header() ? StreamState::Partial : StreamState::Header;
}

std::size_t PngStream::count() const { return !m_reader->damaged && header() ? 1 : 0; }

std::optional<ImageHeader> PngStream::header() const
{
    // The plain getters, which read what the header chunk set and never raise an error.
    png_structp png = m_reader->png;
    png_infop info = m_reader->info;
    if (!png || !info || png_get_image_width(png, info) == 0)
        return std::nullopt;
    const int colourType = png_get_color_type(png, info);
    ImageHeader h;
    h.width = png_get_image_width(png, info);
    h.height = png_get_image_height(png, info);
    h.depth = png_get_bit_depth(png, info) == 16 ? 16 : 8;
    h.hasAlpha = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    h.grey = !(colourType & PNG_COLOR_MASK_COLOR);
    h.progressive = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    return h;
}

CGImageRef PngStream::image(std::size_t index)
{
    if (index != 0 || m_reader->damaged || (m_reader->interlaced && !m_reader->ended))
        return nil;
    return m_reader->canvas.image();
}

bool PngStream::imageComplete(std::size_t index)
{
    return index == 0 && !m_reader->damaged && m_reader->laidOut && m_reader->canvas.rowsDone() == m_reader->layout.height;
}

std::optional<ImageHeader> pngReadHeader(std::span<const std::uint8_t> b)
{
    if (b.size() < 33 || std::memcmp(b.data(), "\x89PNG\r\n\x1a\n", 8) != 0 || be32(b.data() + 8) != 13
        || std::memcmp(b.data() + 12, "IHDR", 4) != 0 || be32(b.data() + 29) != std::uint32_t(crc32(0, b.data() + 12, 17)))
        return std::nullopt;
    ImageHeader h;
    h.width = be32(b.data() + 16);
    h.height = be32(b.data() + 20);
    const int depth = b[24];
    const int colourType = b[25];
    const bool depthFits = (colourType == 0 && (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16))
        || (colourType == 3 && (depth == 1 || depth == 2 || depth == 4 || depth == 8))
        || ((colourType == 2 || colourType == 4 || colourType == 6) && (depth == 8 || depth == 16));
    if (h.width == 0 || h.height == 0 || h.width > 0x7FFFFFFF || h.height > 0x7FFFFFFF || !depthFits || b[26] != 0 || b[27] != 0
        || b[28] > 1)
        return std::nullopt;
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
    PngStream stream;
    stream.update(bytes, true);
    return stream.imageComplete(0) ? stream.image(0) : nil;
}

Result<std::vector<std::uint8_t>> pngEncode(const CGImageRef& image)
{
    if (!image)
        return Failure("no image");
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

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s, encodeError, quietWarning);
    if (!png)
        return Failure("PNG: cannot make a writer");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return Failure("PNG: cannot make a writer");
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
    if (!s.ok)
        return Failure("PNG: " + s.failure);
    return std::move(s.out);
}

} // namespace dv::internal::graphics
