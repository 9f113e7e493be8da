#include "platform/graphics/internal/BmpCodec.h"

#include "platform/graphics/internal/ImageLimits.h"
#include "platform/graphics/internal/PngCodec.h"

#include <bit>
#include <cstring>

namespace dv::internal::graphics {

namespace {

std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }
std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 3]) << 24;
}

struct Dib {
    std::uint32_t headerSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0; // rows of the picture (an icon's mask excluded)
    bool topDown = false;
    int bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t masks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
    std::size_t paletteAt = 0;
    std::size_t paletteCount = 0;
};

std::optional<Dib> readDib(std::span<const std::uint8_t> b, bool icon)
{
    Dib d;
    if (b.size() < 16)
        return std::nullopt;
    d.headerSize = le32(b, 0);
    if (d.headerSize == 12) { // the old core header
        d.width = le16(b, 4);
        d.height = le16(b, 6);
        d.bitCount = le16(b, 10);
    } else if (d.headerSize >= 40 && b.size() >= 40) {
        d.width = std::int32_t(le32(b, 4));
        d.height = std::int32_t(le32(b, 8));
        d.bitCount = le16(b, 14);
        d.compression = le32(b, 16);
        d.paletteCount = le32(b, 32);
    } else {
        return std::nullopt;
    }
    if (d.height < 0) {
        d.topDown = true;
        d.height = -d.height;
    }
    if (icon)
        d.height /= 2; // the colour rows and the transparency mask
    if (d.width <= 0 || d.height <= 0 || !pixelCountAllowed(std::uint64_t(d.width), std::uint64_t(d.height)))
        return std::nullopt;
    if (d.compression == 3 && (d.bitCount == 32 || d.bitCount == 16)) {
        const std::size_t at = 40; // after a 40-byte header, or the same place inside a larger one
        if (b.size() < at + 12)
            return std::nullopt;
        for (int i = 0; i < 3; ++i)
            d.masks[i] = le32(b, at + std::size_t(i) * 4);
        if (d.headerSize >= 56 && b.size() >= 56)
            d.masks[3] = le32(b, 52);
        if (d.headerSize == 40)
            d.paletteAt = 12; // the three masks take the palette's place
    } else if (d.compression != 0) {
        return std::nullopt; // run-length and embedded formats are not read
    }
    if (d.bitCount != 1 && d.bitCount != 4 && d.bitCount != 8 && d.bitCount != 24 && d.bitCount != 32 && d.bitCount != 16)
        return std::nullopt;
    if (d.bitCount == 16 && d.compression == 0) {
        d.masks[0] = 0x7C00, d.masks[1] = 0x03E0, d.masks[2] = 0x001F;
    }
    d.paletteAt += d.headerSize;
    if (d.bitCount <= 8) {
        const std::size_t full = std::size_t(1) << d.bitCount;
        if (d.paletteCount == 0 || d.paletteCount > full)
            d.paletteCount = full;
    } else {
        d.paletteCount = 0;
    }
    return d;
}

std::uint8_t channel(std::uint32_t value, std::uint32_t mask)
{
    if (!mask)
        return 255;
    const int shift = std::countr_zero(mask);
    const std::uint32_t bits = (value & mask) >> shift;
    const std::uint32_t max = mask >> shift;
    return std::uint8_t((bits * 255 + max / 2) / max);
}

// Decodes the rows of `dib` found at `pixelsAt` in `b` into straight RGBA.
CGImageRef decodeDib(std::span<const std::uint8_t> b, const Dib& d, std::size_t pixelsAt, bool icon)
{
    const std::size_t w = std::size_t(d.width), h = std::size_t(d.height);
    const std::size_t stride = ((w * std::size_t(d.bitCount) + 31) / 32) * 4;
    const std::size_t paletteBytes = d.headerSize == 12 ? 3 : 4;
    if (d.paletteAt + d.paletteCount * paletteBytes > b.size())
        return nil;
    if (pixelsAt > b.size() || (b.size() - pixelsAt) / stride < h)
        return nil;
    std::vector<std::uint8_t> out(w * h * 4);
    bool anyVisibleAlpha = false; // some alpha byte is not 0
    for (std::size_t row = 0; row < h; ++row) {
        const std::uint8_t* in = b.data() + pixelsAt + row * stride;
        const std::size_t y = d.topDown ? row : h - 1 - row;
        std::uint8_t* o = out.data() + y * w * 4;
        for (std::size_t x = 0; x < w; ++x, o += 4) {
            if (d.bitCount <= 8) {
                const std::size_t bitPos = x * std::size_t(d.bitCount);
                const unsigned index = (in[bitPos / 8] >> (8 - d.bitCount - bitPos % 8)) & ((1u << d.bitCount) - 1);
                if (index < d.paletteCount) {
                    const std::uint8_t* p = b.data() + d.paletteAt + index * paletteBytes;
                    o[0] = p[2], o[1] = p[1], o[2] = p[0];
                }
                o[3] = 255;
            } else if (d.bitCount == 24) {
                o[0] = in[x * 3 + 2], o[1] = in[x * 3 + 1], o[2] = in[x * 3], o[3] = 255;
            } else {
                const std::uint32_t v = d.bitCount == 32 ? le32(std::span(in, stride), x * 4) : le16(std::span(in, stride), x * 2);
                o[0] = channel(v, d.masks[0]), o[1] = channel(v, d.masks[1]), o[2] = channel(v, d.masks[2]);
                // Plain 32-bit rows keep their fourth byte for alpha only in icons.
                const std::uint32_t alphaMask = d.masks[3] ? d.masks[3] : (icon && d.bitCount == 32 ? 0xFF000000u : 0);
                o[3] = alphaMask ? channel(v, alphaMask) : 255;
                anyVisibleAlpha = anyVisibleAlpha || o[3] != 0;
            }
        }
    }
    // An icon whose alpha bytes are all 0 (or that has none) is opaque apart from the one-bit
    // transparency mask after its colours.
    if (icon && (d.bitCount != 32 || !anyVisibleAlpha)) {
        for (std::size_t i = 3; i < out.size(); i += 4)
            out[i] = 255;
        const std::size_t maskStride = ((w + 31) / 32) * 4;
        const std::size_t maskAt = pixelsAt + stride * h;
        if (maskAt <= b.size() && (b.size() - maskAt) / maskStride >= h) {
            for (std::size_t row = 0; row < h; ++row) {
                const std::uint8_t* in = b.data() + maskAt + row * maskStride;
                const std::size_t y = d.topDown ? row : h - 1 - row;
                for (std::size_t x = 0; x < w; ++x)
                    if (in[x / 8] & (0x80 >> (x % 8)))
                        out[(y * w + x) * 4 + 3] = 0;
            }
        }
    }
    return dv::makeImage(w, h, 8, 32, w * 4, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaLast, std::move(out));
}

struct IconEntry {
    std::size_t offset = 0, size = 0;
    std::uint32_t area = 0;
};

std::optional<IconEntry> bestIconEntry(std::span<const std::uint8_t> b)
{
    if (b.size() < 6 || le16(b, 0) != 0 || (le16(b, 2) != 1 && le16(b, 2) != 2))
        return std::nullopt;
    const std::size_t count = le16(b, 4);
    std::optional<IconEntry> best;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 6 + i * 16;
        if (at + 16 > b.size())
            break;
        IconEntry e;
        const std::uint32_t w = b[at] ? b[at] : 256, h = b[at + 1] ? b[at + 1] : 256;
        e.area = w * h;
        e.size = le32(b, at + 8);
        e.offset = le32(b, at + 12);
        if (e.offset > b.size() || e.size > b.size() - e.offset || e.size == 0)
            continue;
        if (!best || e.area > best->area)
            best = e;
    }
    return best;
}

} // namespace

std::optional<ImageHeader> bmpReadHeader(std::span<const std::uint8_t> b)
{
    if (b.size() < 14 || b[0] != 'B' || b[1] != 'M')
        return std::nullopt;
    auto d = readDib(b.subspan(14), false);
    if (!d)
        return std::nullopt;
    ImageHeader h;
    h.width = std::uint32_t(d->width);
    h.height = std::uint32_t(d->height);
    h.hasAlpha = d->masks[3] != 0;
    return h;
}

CGImageRef bmpDecode(std::span<const std::uint8_t> b)
{
    if (b.size() < 14 || b[0] != 'B' || b[1] != 'M')
        return nil;
    auto dib = b.subspan(14);
    auto d = readDib(dib, false);
    const std::size_t pixelsAt = le32(b, 10);
    if (!d || pixelsAt < 14)
        return nil;
    return decodeDib(dib, *d, pixelsAt - 14, false);
}

std::optional<ImageHeader> icoReadHeader(std::span<const std::uint8_t> b)
{
    auto entry = bestIconEntry(b);
    if (!entry)
        return std::nullopt;
    auto body = b.subspan(entry->offset, entry->size);
    if (auto png = pngReadHeader(body))
        return png;
    auto d = readDib(body, true);
    if (!d)
        return std::nullopt;
    ImageHeader h;
    h.width = std::uint32_t(d->width);
    h.height = std::uint32_t(d->height);
    h.hasAlpha = true;
    return h;
}

CGImageRef icoDecode(std::span<const std::uint8_t> b)
{
    auto entry = bestIconEntry(b);
    if (!entry)
        return nil;
    auto body = b.subspan(entry->offset, entry->size);
    if (body.size() >= 8 && std::memcmp(body.data(), "\x89PNG", 4) == 0)
        return pngDecode(body);
    auto d = readDib(body, true);
    if (!d)
        return nil;
    return decodeDib(body, *d, d->paletteAt + d->paletteCount * (d->headerSize == 12 ? 3 : 4), true);
}

namespace {

// The size the file says it has: a BMP's own field, an icon's furthest entry. Data that fails to
// decode and is shorter than this was cut short; otherwise it is damaged.
std::size_t bmpDeclaredSize(std::span<const std::uint8_t> b) { return b.size() >= 6 ? le32(b, 2) : SIZE_MAX; }

std::size_t icoDeclaredSize(std::span<const std::uint8_t> b)
{
    if (b.size() < 6)
        return SIZE_MAX;
    const std::size_t count = le16(b, 4);
    std::size_t end = 6 + count * 16;
    for (std::size_t i = 0; i < count && 6 + i * 16 + 16 <= b.size(); ++i)
        end = std::max(end, std::size_t(le32(b, 6 + i * 16 + 12)) + le32(b, 6 + i * 16 + 8));
    return end;
}

class WholeFileStream final : public ImageStream {
public:
    using ReadHeader = std::optional<ImageHeader> (*)(std::span<const std::uint8_t>);
    using Decode = CGImageRef (*)(std::span<const std::uint8_t>);
    using DeclaredSize = std::size_t (*)(std::span<const std::uint8_t>);

    WholeFileStream(ReadHeader readHeader, Decode decode, DeclaredSize declaredSize)
        : m_readHeader(readHeader), m_decode(decode), m_declaredSize(declaredSize)
    {
    }

    bool keepsInput() const override { return true; }
    void update(std::span<const std::uint8_t> bytes, bool final) override
    {
        m_bytes = bytes;
        m_final = final;
        m_header = m_readHeader(bytes);
    }
    StreamState state() override
    {
        decode();
        if (m_image)
            return StreamState::Complete;
        if (!m_final)
            return m_header ? StreamState::Partial : StreamState::Header;
        return m_bytes.size() < m_declaredSize(m_bytes) ? StreamState::Truncated : StreamState::Damaged;
    }
    std::size_t count() const override { return m_header ? 1 : 0; }
    std::optional<ImageHeader> header() const override { return m_header; }
    CGImageRef image(std::size_t index) override
    {
        decode();
        return index == 0 ? m_image : nil;
    }
    bool imageComplete(std::size_t index) override { return index == 0 && image(0); }

private:
    // Once all the bytes are there.
    void decode()
    {
        if (m_final && !m_decoded) {
            m_decoded = true;
            m_image = m_decode(m_bytes);
        }
    }

    ReadHeader m_readHeader;
    Decode m_decode;
    DeclaredSize m_declaredSize;
    std::span<const std::uint8_t> m_bytes;
    bool m_final = false;
    bool m_decoded = false;
    std::optional<ImageHeader> m_header;
    CGImageRef m_image;
};

} // namespace

std::unique_ptr<ImageStream> makeBmpStream() { return std::make_unique<WholeFileStream>(bmpReadHeader, bmpDecode, bmpDeclaredSize); }
std::unique_ptr<ImageStream> makeIcoStream() { return std::make_unique<WholeFileStream>(icoReadHeader, icoDecode, icoDeclaredSize); }

} // namespace dv::internal::graphics
