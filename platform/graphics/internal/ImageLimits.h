// Bounds on what a decoder will allocate for untrusted bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dv::internal {

// The most pixels one bitmap may have (one still image, or one frame of an animation).
inline constexpr std::uint64_t kMaxImagePixels = 100'000'000;
// The most pixels all composed frames of one animation may have together.
inline constexpr std::uint64_t kMaxAnimationPixels = 100'000'000;

inline bool pixelCountAllowed(std::uint64_t width, std::uint64_t height)
{
    return width > 0 && height > 0 && width <= kMaxImagePixels && height <= kMaxImagePixels
        && width * height <= kMaxImagePixels;
}

} // namespace dv::internal
