#include "platform/testing/LargePictures.h"

#include <zlib.h>

namespace dv::testing {

namespace {

std::string be32(std::uint32_t v) { return std::string { char(v >> 24), char(v >> 16), char(v >> 8), char(v) }; }

std::string pngChunk(const std::string& type, const std::string& data)
{
    std::string typed = type + data;
    return be32(std::uint32_t(data.size())) + typed + be32(std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size()))));
}

} // namespace

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
