// Our own reader of a JPEG's marker segments up to the image data: frame size and kind, the EXIF
// orientation (TIFF structure inside APP1) and the Adobe marker that tells inverted CMYK; and a
// counter of the entropy-coded bytes of its scans as they arrive.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace dv::internal::graphics {

struct JpegMarkers {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int components = 0;
    bool progressive = false;
    bool adobe = false;
    int exifOrientation = 0; // 0 when none is recorded; else 1...8
};

// nil when the bytes are not a JPEG or end before the frame header.
std::optional<JpegMarkers> readJpegMarkers(std::span<const std::uint8_t> bytes);
// The orientation tag (0x0112) of an EXIF block ("Exif\0\0" followed by a TIFF header), 0 when
// absent or malformed.
int exifOrientationFromExifBlock(std::span<const std::uint8_t> block);
// An APP1 segment (marker included) recording only the orientation.
std::vector<std::uint8_t> exifOrientationSegment(int orientation);

// Follows a JPEG's marker structure over its bytes as they arrive, in pieces of any size, and
// counts the entropy-coded data of its scans: every byte from the end of a scan header to the
// marker that ends the scan (stuffed bytes and fill bytes included), except the restart markers
// the scan's restart interval calls for; one more is data, two bytes. Nothing after the end
// marker counts. Knows the frame's blocks once its header has passed: per component, as sampled,
// as libjpeg counts them.
class JpegScanDataCounter {
public:
    void update(std::span<const std::uint8_t> fresh);
    std::uint64_t bytes() const { return m_bytes; }
    std::uint64_t blocks() const { return m_blocks; }
    std::uint64_t pixels() const { return m_pixels; }
    bool progressive() const { return m_progressive; }

private:
    enum class State { Start, Marker, Code, Length, Segment, Data, DataFF, End };
    void segmentRead();

    State m_state = State::Start;
    int m_startSeen = 0;
    std::uint8_t m_code = 0;
    std::size_t m_lengthBytes = 0, m_remaining = 0;
    std::vector<std::uint8_t> m_body; // of the frame, scan and restart interval headers
    std::uint64_t m_bytes = 0, m_blocks = 0, m_pixels = 0;
    bool m_progressive = false, m_frame = false;
    // The frame's components: id, blocks across and down, and the MCUs of an interleaved scan.
    struct Component {
        int id;
        std::uint64_t across, down;
    };
    std::vector<Component> m_components;
    std::uint64_t m_mcus = 0;
    std::uint32_t m_restartInterval = 0;
    std::uint64_t m_restartsDue = 0, m_restartsSeen = 0; // in the current scan
};

} // namespace dv::internal::graphics
