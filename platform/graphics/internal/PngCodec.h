// PNG through libpng: header facts, full decoding (8 and 16 bits, palette, grey, tRNS), partial
// decoding of the rows received so far, and encoding.
#pragma once

#include "platform/graphics/CGImage.h"
#include "platform/graphics/internal/ImageFormat.h"

#include <optional>
#include <span>

namespace dv::internal {

std::optional<ImageHeader> pngReadHeader(std::span<const std::uint8_t> bytes);
// nil on any failure, truncated data included.
CGImageRef pngDecode(std::span<const std::uint8_t> bytes);
// A full-size straight RGBA image whose rows past the data received are transparent; nil when not
// one row is complete or the image is interlaced.
CGImageRef pngDecodePartial(std::span<const std::uint8_t> bytes);
// Straight RGBA (or RGB for an opaque image), 8 bits per sample. Empty on failure.
std::vector<std::uint8_t> pngEncode(const CGImageRef& image);

} // namespace dv::internal
