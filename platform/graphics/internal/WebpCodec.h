// WebP through libwebp: header facts, still images, and the frames of animated files.
#pragma once

#include "platform/graphics/CGImage.h"
#include "platform/graphics/internal/ImageFormat.h"

#include <optional>
#include <span>
#include <vector>

namespace dv::internal {

struct WebpInfo {
    ImageHeader header;
    bool animated = false;
    std::size_t frameCount = 1;
    int loopCount = 0;
    std::vector<int> durationsMilliseconds; // one per frame of an animation
};

std::optional<WebpInfo> webpReadInfo(std::span<const std::uint8_t> bytes);
// A still image (the first frame of an animation); nil on failure.
CGImageRef webpDecode(std::span<const std::uint8_t> bytes);

struct WebpFrame {
    CGImageRef image;
    int durationMilliseconds = 0;
};
// Every composed frame of an animated file; empty on failure.
std::vector<WebpFrame> webpDecodeAnimation(std::span<const std::uint8_t> bytes);

} // namespace dv::internal
