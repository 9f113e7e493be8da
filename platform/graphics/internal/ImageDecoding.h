// One entry point for "the first image of these bytes", shared by UIImage and the image source.
#pragma once

#include "platform/graphics/CGImage.h"
#include "platform/graphics/internal/ImageFormat.h"

#include <span>

namespace dv::internal {

struct DecodedImage {
    CGImageRef image;
    int exifOrientation = 0;
};

// nil image for unknown, unsupported or undecodable bytes.
DecodedImage decodeFirstImage(std::span<const std::uint8_t> bytes);

} // namespace dv::internal
