// Our own reader of a JPEG's marker segments up to the image data: frame size and kind, the EXIF
// orientation (TIFF structure inside APP1) and the Adobe marker that tells inverted CMYK.
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

} // namespace dv::internal::graphics
