// One entry point for "the first image of these bytes", shared by UIImage and the data providers.
// It runs the same stream as the image source over complete data and gives the first image only
// when it is whole: damaged or cut-short data gives nil, as the source reports it.
#pragma once

#include "platform/graphics/CGImage.h"
#include "platform/graphics/internal/ImageFormat.h"

#include <span>

namespace dv::internal::graphics {

struct DecodedImage {
    CGImageRef image;
    int exifOrientation = 0;
};

// nil image for unknown, unsupported, damaged or incomplete bytes.
DecodedImage decodeFirstImage(std::span<const std::uint8_t> bytes);

} // namespace dv::internal::graphics
