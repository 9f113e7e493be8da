#include "platform/graphics/internal/ImageLimits.h"

namespace dv::internal::graphics {

namespace {
std::atomic<std::uint64_t> s_image {100'000'000};
std::atomic<std::uint64_t> s_animation {100'000'000};
}

std::uint64_t maxImagePixels() { return s_image.load(std::memory_order_relaxed); }
std::uint64_t maxAnimationPixels() { return s_animation.load(std::memory_order_relaxed); }

void setPixelLimits(std::uint64_t image, std::uint64_t animation)
{
    s_image.store(image, std::memory_order_relaxed);
    s_animation.store(animation, std::memory_order_relaxed);
}

} // namespace dv::internal::graphics
