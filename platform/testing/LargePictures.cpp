#include "platform/testing/LargePictures.h"

#include <zlib.h>

#include <algorithm>

namespace dv::testing {

namespace {

std::string be32(std::uint32_t v) { return std::string { char(v >> 24), char(v >> 16), char(v >> 8), char(v) }; }

std::string pngChunk(const std::string& type, const std::string& data)
{
    std::string typed = type + data;
    return be32(std::uint32_t(data.size())) + typed + be32(std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size()))));
}

std::string le16(std::uint16_t v) { return std::string { char(v), char(v >> 8) }; }

// Codes of varying width, packed from the lowest bit up, as a GIF's image data holds them.
class CodeWriter {
public:
    void put(int code, int bits)
    {
        m_pending |= std::uint32_t(code) << m_pendingBits;
        m_pendingBits += bits;
        while (m_pendingBits >= 8) {
            m_bytes.push_back(char(m_pending & 0xFF));
            m_pending >>= 8;
            m_pendingBits -= 8;
        }
    }
    // The bytes, the last partial one included, in sub-blocks of at most 255 with their end.
    std::string blocks()
    {
        if (m_pendingBits > 0)
            m_bytes.push_back(char(m_pending & 0xFF));
        std::string out;
        for (std::size_t at = 0; at < m_bytes.size(); at += 255) {
            const std::size_t size = std::min<std::size_t>(255, m_bytes.size() - at);
            out += char(size);
            out.append(m_bytes, at, size);
        }
        return out + '\0';
    }

private:
    std::string m_bytes;
    std::uint32_t m_pending = 0;
    int m_pendingBits = 0;
};

// The LZW data of `pixels` pixels of colour 0 with a minimum code size of 2, as a table-driven
// encoder makes it. Input of one colour only ever matches the longest string in the table, so
// the strings sent are runs of 1, 2, 3... pixels, each adding the next longer one, until the table
// is full and is cleared.
std::string blackLzw(std::uint64_t pixels)
{
    constexpr int kMinimum = 2, kClear = 1 << kMinimum, kEnd = kClear + 1, kFirst = kClear + 2, kTableSize = 4095;
    CodeWriter writer;
    int bits = kMinimum + 1;
    int next = kFirst; // the table's next code
    auto send = [&](int code) {
        writer.put(code, bits);
        if (next >= (1 << bits) && bits < 12)
            ++bits;
    };
    send(kClear);
    std::uint64_t longest = 1;
    for (std::uint64_t left = pixels; left > 0;) {
        const std::uint64_t run = std::min(longest, left);
        left -= run;
        send(run == 1 ? 0 : kFirst + int(run - 2));
        if (left == 0)
            break;
        if (next >= kTableSize) {
            send(kClear);
            next = kFirst;
            bits = kMinimum + 1;
            longest = 1;
        } else {
            ++next;
            ++longest;
        }
    }
    send(kEnd);
    return std::string(1, char(kMinimum)) + writer.blocks();
}

std::string le24(std::uint32_t v) { return std::string { char(v), char(v >> 8), char(v >> 16) }; }
std::string le32(std::uint32_t v) { return le16(std::uint16_t(v)) + le16(std::uint16_t(v >> 16)); }

std::string riffChunk(const std::string& type, const std::string& data)
{
    return type + le32(std::uint32_t(data.size())) + data + (data.size() % 2 ? std::string(1, '\0') : "");
}

// Bits packed from the lowest bit up, as a lossless WebP bitstream holds them.
class BitWriter {
public:
    void put(std::uint32_t value, int bits)
    {
        for (int i = 0; i < bits; ++i, ++m_bits) {
            if (m_bits % 8 == 0)
                m_bytes.push_back('\0');
            m_bytes.back() = char(m_bytes.back() | ((value >> i) & 1) << (m_bits % 8));
        }
    }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    std::size_t m_bits = 0;
};

// A lossless bitstream of width x height pixels of one colour: no transform, no colour cache, and
// five prefix codes of one symbol each (green 0, red 0, blue 0, alpha 255, distance 0), with
// which every pixel takes no bits at all.
std::string blackLossless(std::uint32_t width, std::uint32_t height)
{
    BitWriter w;
    w.put(0x2F, 8);                          // signature
    w.put(width - 1, 14);
    w.put(height - 1, 14);
    w.put(0, 1);                             // alpha unused
    w.put(0, 3);                             // version
    w.put(0, 1);                             // no transform
    w.put(0, 1);                             // no colour cache
    w.put(0, 1);                             // one set of prefix codes for the whole image
    for (std::uint32_t symbol : { 0u, 0u, 0u, 255u, 0u }) {
        w.put(1, 1);                         // a simple code
        w.put(0, 1);                         // of one symbol
        w.put(symbol > 1 ? 1 : 0, 1);        // written in 8 bits, or in 1
        w.put(symbol, symbol > 1 ? 8 : 1);
    }
    return riffChunk("VP8L", w.bytes());
}

} // namespace

std::string blackWebp(std::uint32_t width, std::uint32_t height, int frames)
{
    // VP8X with the animation flag and the canvas; ANIM: background and loop count; then each
    // frame at (0, 0), a tenth of a second, not blended, with its bitstream.
    std::string chunks = riffChunk("VP8X", std::string { 0x02, 0, 0, 0 } + le24(width - 1) + le24(height - 1));
    chunks += riffChunk("ANIM", le32(0xFF000000u) + le16(0));
    const std::string frame = riffChunk("ANMF", le24(0) + le24(0) + le24(width - 1) + le24(height - 1) + le24(100) + '\x02'
        + blackLossless(width, height));
    for (int i = 0; i < frames; ++i)
        chunks += frame;
    return "RIFF" + le32(std::uint32_t(4 + chunks.size())) + "WEBP" + chunks;
}

std::string blackGif(std::uint16_t width, std::uint16_t height, int frames)
{
    // A global table of four colours (black first), then each frame with a tenth of a second's delay.
    std::string gif = "GIF89a" + le16(width) + le16(height) + std::string { char(0x91), 0, 0 };
    gif += std::string { 0, 0, 0, char(0xFF), char(0xFF), char(0xFF), 0, 0, 0, 0, 0, 0 };
    const std::string data = blackLzw(std::uint64_t(width) * height);
    for (int i = 0; i < frames; ++i) {
        gif += std::string { 0x21, char(0xF9), 4, 0 } + le16(10) + std::string { 0, 0 };
        gif += ',' + le16(0) + le16(0) + le16(width) + le16(height) + '\0';
        gif += data;
    }
    return gif + ';';
}

std::string blackPng(std::uint32_t width, std::uint32_t height)
{
    // Depth 1, colour type 0 (grey), no interlacing.
    std::string header = be32(width) + be32(height) + std::string { 1, 0, 0, 0, 0 };
    // Every row: filter byte 0, then the row's bits, all 0.
    std::string row(1 + (std::size_t(width) + 7) / 8, '\0');
    z_stream z {};
    deflateInit(&z, Z_BEST_COMPRESSION);
    std::string compressed;
    char out[65536];
    for (std::uint32_t y = 0; y <= height; ++y) {
        const bool last = y == height;
        z.next_in = reinterpret_cast<Bytef*>(row.data());
        z.avail_in = last ? 0 : uInt(row.size());
        do {
            z.next_out = reinterpret_cast<Bytef*>(out);
            z.avail_out = sizeof(out);
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            compressed.append(out, sizeof(out) - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return std::string("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", compressed) + pngChunk("IEND", "");
}

} // namespace dv::testing
