// BMP and ICO: uncompressed Windows bitmaps (1, 4, 8, 24 and 32 bits per pixel, bit-field masks
// for 32 bits) and icons, whose best entry is a PNG or such a bitmap with its transparency mask.
#pragma once

#include "platform/graphics/CGImage.h"
#include "platform/graphics/internal/ImageFormat.h"
#include "platform/graphics/internal/ImageStream.h"

#include <memory>

#include <optional>
#include <span>

namespace dv::internal::graphics {

std::optional<ImageHeader> bmpReadHeader(std::span<const std::uint8_t> bytes);
CGImageRef bmpDecode(std::span<const std::uint8_t> bytes);
std::optional<ImageHeader> icoReadHeader(std::span<const std::uint8_t> bytes);
// The largest entry of the icon; nil on failure.
CGImageRef icoDecode(std::span<const std::uint8_t> bytes);

// Streams that read the header as the bytes arrive and decode once they are all there.
std::unique_ptr<ImageStream> makeBmpStream();
std::unique_ptr<ImageStream> makeIcoStream();

} // namespace dv::internal::graphics
