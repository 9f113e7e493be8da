// JPEG: full decoding through TurboJPEG (CMYK and YCCK converted to RGB), partial decoding of a
// baseline JPEG's received rows through libjpeg's suspending reader, and encoding.
#pragma once

#include "platform/graphics/CGImage.h"
#include "platform/graphics/internal/ImageFormat.h"

#include <optional>
#include <span>

namespace dv::internal {

std::optional<ImageHeader> jpegReadHeader(std::span<const std::uint8_t> bytes);
// RGB images come as 32 bits per pixel with the skip byte last, grey ones as 8-bit grey. A stream
// with recoverable damage (a truncated scan) still decodes; nil on failure.
CGImageRef jpegDecode(std::span<const std::uint8_t> bytes);
// A full-size image whose rows past the data received are transparent; nil for progressive
// JPEGs, or when not one row is complete.
CGImageRef jpegDecodePartial(std::span<const std::uint8_t> bytes);
// quality 1...100; exifOrientation 0 or 1 writes no EXIF block. Empty on failure.
std::vector<std::uint8_t> jpegEncode(const CGImageRef& image, int quality, int exifOrientation);

} // namespace dv::internal
