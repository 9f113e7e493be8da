// Bounds on what a decoder will allocate for untrusted bytes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace dv::internal::graphics {

// The most pixels one bitmap may have (one still image, or the screen of an animation), and the
// most all composed frames of one animation may have together: 100 megapixels each by default.
// Frames past the second limit are left out, and the image source says how many. The fuzz
// targets lower both so that they explore more inputs per second.
std::uint64_t maxImagePixels();
std::uint64_t maxAnimationPixels();
void setPixelLimits(std::uint64_t image, std::uint64_t animation);

inline bool pixelCountAllowed(std::uint64_t width, std::uint64_t height)
{
    const std::uint64_t limit = maxImagePixels();
    return width > 0 && height > 0 && width <= limit && height <= limit && width * height <= limit;
}

} // namespace dv::internal::graphics
