#include "platform/graphics/internal/JpegMarkers.h"

#include <cstring>

namespace dv::internal::graphics {

namespace {

struct TiffReader {
    std::span<const std::uint8_t> tiff;
    bool little = false;

    bool has(std::size_t at, std::size_t n) const { return at <= tiff.size() && tiff.size() - at >= n; }
    std::uint16_t u16(std::size_t at) const
    {
        return little ? std::uint16_t(tiff[at] | tiff[at + 1] << 8) : std::uint16_t(tiff[at] << 8 | tiff[at + 1]);
    }
    std::uint32_t u32(std::size_t at) const
    {
        return little ? std::uint32_t(tiff[at]) | std::uint32_t(tiff[at + 1]) << 8 | std::uint32_t(tiff[at + 2]) << 16 | std::uint32_t(tiff[at + 3]) << 24
                      : std::uint32_t(tiff[at]) << 24 | std::uint32_t(tiff[at + 1]) << 16 | std::uint32_t(tiff[at + 2]) << 8 | tiff[at + 3];
    }
};

} // namespace

int exifOrientationFromExifBlock(std::span<const std::uint8_t> block)
{
    if (block.size() < 14 || std::memcmp(block.data(), "Exif\0\0", 6) != 0)
        return 0;
    TiffReader r {block.subspan(6)};
    if (std::memcmp(r.tiff.data(), "II", 2) == 0)
        r.little = true;
    else if (std::memcmp(r.tiff.data(), "MM", 2) != 0)
        return 0;
    if (r.u16(2) != 42)
        return 0;
    const std::uint32_t ifd = r.u32(4);
    if (!r.has(ifd, 2))
        return 0;
    const std::uint16_t count = r.u16(ifd);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = std::size_t(ifd) + 2 + std::size_t(i) * 12;
        if (!r.has(entry, 12))
            return 0;
        if (r.u16(entry) != 0x0112)
            continue;
        const std::uint16_t type = r.u16(entry + 2);
        int value = 0;
        if (type == 3) // SHORT
            value = r.u16(entry + 8);
        else if (type == 4 || type == 9) // LONG, SLONG
            value = int(r.u32(entry + 8));
        else
            return 0;
        return value >= 1 && value <= 8 ? value : 0;
    }
    return 0;
}

std::optional<JpegMarkers> readJpegMarkers(std::span<const std::uint8_t> b)
{
    if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8)
        return std::nullopt;
    JpegMarkers m;
    bool haveFrame = false;
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF) {
            ++at; // tolerate garbage between segments, as decoders do
            continue;
        }
        const std::uint8_t marker = b[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) // end of image, start of scan
            break;
        const std::size_t length = std::size_t(b[at + 2]) << 8 | b[at + 3];
        if (length < 2)
            break;
        const std::size_t payload = at + 4;
        const std::size_t available = std::min(length - 2, b.size() - std::min(payload, b.size()));
        auto body = b.subspan(std::min(payload, b.size()), available);
        if (marker == 0xE1 && m.exifOrientation == 0)
            m.exifOrientation = exifOrientationFromExifBlock(body);
        else if (marker == 0xEE && body.size() >= 5 && std::memcmp(body.data(), "Adobe", 5) == 0)
            m.adobe = true;
        else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC && !haveFrame) {
            if (body.size() < 6)
                return std::nullopt;
            m.height = std::uint32_t(body[1]) << 8 | body[2];
            m.width = std::uint32_t(body[3]) << 8 | body[4];
            m.components = body[5];
            m.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            haveFrame = true;
        }
        at += 2 + length;
    }
    if (!haveFrame)
        return std::nullopt;
    return m;
}

std::vector<std::uint8_t> exifOrientationSegment(int orientation)
{
    const std::uint8_t o = std::uint8_t(orientation);
    return {
        0xFF, 0xE1, 0x00, 0x22,                  // APP1, length 34
        'E', 'x', 'i', 'f', 0, 0,                //
        'M', 'M', 0x00, 0x2A, 0x00, 0x00, 0x00, 0x08, // big-endian TIFF header, IFD0 at 8
        0x00, 0x01,                              // one entry
        0x01, 0x12, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00, o, 0x00, 0x00, // orientation, SHORT, 1
        0x00, 0x00, 0x00, 0x00,                  // no next IFD
    };
}

} // namespace dv::internal::graphics
