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

// A frame header's marker: SOF0 to SOF15 but for DHT, JPG and DAC, which share the range.
bool isFrameMarker(std::uint8_t code) { return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC; }
bool isProgressiveFrameMarker(std::uint8_t code) { return code == 0xC2 || code == 0xC6 || code == 0xCA || code == 0xCE; }
// Markers without a length: start of image, TEM and the restart markers.
bool standsAlone(std::uint8_t code) { return code == 0xD8 || code == 0x01 || (code >= 0xD0 && code <= 0xD7); }
// A frame header's size: its height, then its width.
std::uint32_t frameHeight(std::span<const std::uint8_t> body) { return std::uint32_t(body[1]) << 8 | body[2]; }
std::uint32_t frameWidth(std::span<const std::uint8_t> body) { return std::uint32_t(body[3]) << 8 | body[4]; }

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
        if (standsAlone(marker)) {
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
        else if (isFrameMarker(marker) && !haveFrame) {
            if (body.size() < 6)
                return std::nullopt;
            m.height = frameHeight(body);
            m.width = frameWidth(body);
            m.components = body[5];
            m.progressive = isProgressiveFrameMarker(marker);
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

void JpegScanDataCounter::update(std::span<const std::uint8_t> fresh)
{
    const std::uint8_t* p = fresh.data();
    const std::uint8_t* const end = p + fresh.size();
    while (p < end) {
        switch (m_state) {
        case State::Start:
            // The start marker, or nothing is counted (libjpeg refuses such data).
            if (*p++ != (m_startSeen == 0 ? 0xFF : 0xD8)) {
                m_state = State::End;
                break;
            }
            if (++m_startSeen == 2)
                m_state = State::Marker;
            break;
        case State::Marker:
            // Bytes between segments are skipped, as libjpeg does.
            if (*p++ == 0xFF)
                m_state = State::Code;
            break;
        case State::Code: {
            const std::uint8_t code = *p++;
            if (code == 0xFF)
                break;
            m_code = code;
            if (code == 0xD9)
                m_state = State::End;
            else if (standsAlone(code))
                m_state = State::Marker;
            else {
                m_state = State::Length;
                m_lengthBytes = 0;
                m_remaining = 0;
            }
            break;
        }
        case State::Length:
            m_remaining = m_remaining << 8 | *p++;
            if (++m_lengthBytes < 2)
                break;
            m_remaining = m_remaining >= 2 ? m_remaining - 2 : 0;
            m_body.clear();
            m_state = State::Segment;
            if (m_remaining == 0)
                segmentRead();
            break;
        case State::Segment: {
            const std::size_t n = std::min<std::size_t>(m_remaining, std::size_t(end - p));
            const bool kept = m_code == 0xDA || m_code == 0xDD || (!m_frame && isFrameMarker(m_code));
            if (kept)
                m_body.insert(m_body.end(), p, p + n);
            p += n;
            m_remaining -= n;
            if (m_remaining == 0)
                segmentRead();
            break;
        }
        case State::Data: {
            // Most bytes: up to the next 0xFF.
            const auto* ff = static_cast<const std::uint8_t*>(std::memchr(p, 0xFF, std::size_t(end - p)));
            const std::uint8_t* stop = ff ? ff : end;
            m_bytes += std::uint64_t(stop - p);
            p = stop;
            if (ff) {
                ++p;
                ++m_bytes;
                m_state = State::DataFF;
            }
            break;
        }
        case State::DataFF: {
            const std::uint8_t code = *p;
            if (code == 0x00 || code == 0xFF) {
                ++p;
                ++m_bytes; // a stuffed byte; or fill before a marker
                if (code == 0x00)
                    m_state = State::Data;
            } else if (code >= 0xD0 && code <= 0xD7) {
                ++p;
                --m_bytes; // the 0xFF was the marker's
                if (++m_restartsSeen > m_restartsDue)
                    m_bytes += 2;
                m_state = State::Data;
            } else {
                --m_bytes; // the scan ends at this marker
                m_state = State::Code;
            }
            break;
        }
        case State::End:
            return;
        }
    }
}

void JpegScanDataCounter::segmentRead()
{
    const auto& b = m_body;
    m_state = State::Marker;
    if (m_code == 0xDD && b.size() >= 2) {
        m_restartInterval = std::uint32_t(b[0]) << 8 | b[1];
    } else if (m_code == 0xDA) {
        // The scan's MCUs: a component's blocks when it is alone in the scan, the frame's MCUs
        // when several are interleaved.
        std::uint64_t mcus = m_mcus;
        if (!b.empty() && b[0] == 1 && b.size() >= 2) {
            mcus = 0;
            for (const Component& c : m_components)
                if (c.id == b[1])
                    mcus = c.across * c.down;
        }
        m_restartsDue = m_restartInterval > 0 && mcus > 0 ? (mcus - 1) / m_restartInterval : 0;
        m_restartsSeen = 0;
        m_state = State::Data;
    } else if (isFrameMarker(m_code) && !m_frame && b.size() >= 6) {
        m_frame = true;
        m_progressive = isProgressiveFrameMarker(m_code);
        const std::uint64_t height = frameHeight(b), width = frameWidth(b);
        m_pixels = width * height;
        const std::size_t count = std::min<std::size_t>(b[5], (b.size() - 6) / 3);
        std::uint64_t hMax = 1, vMax = 1;
        for (std::size_t i = 0; i < count; ++i) {
            hMax = std::max<std::uint64_t>(hMax, b[6 + 3 * i + 1] >> 4);
            vMax = std::max<std::uint64_t>(vMax, b[6 + 3 * i + 1] & 15);
        }
        auto roundUp = [](std::uint64_t a, std::uint64_t d) { return (a + d - 1) / d; };
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t h = b[6 + 3 * i + 1] >> 4, v = b[6 + 3 * i + 1] & 15;
            const Component c {b[6 + 3 * i], roundUp(width * h, hMax * 8), roundUp(height * v, vMax * 8)};
            m_components.push_back(c);
            m_blocks += c.across * c.down;
        }
        m_mcus = roundUp(width, hMax * 8) * roundUp(height, vMax * 8);
    }
}

} // namespace dv::internal::graphics
