#include "platform/graphics/ScreenScale.h"

#include "platform/graphics/ImageResources.h"

#include <atomic>

namespace dv {

namespace {
std::atomic<double> s_scale {2.0};
}

CGFloat mainScreenScale() { return s_scale.load(std::memory_order_relaxed); }

void setMainScreenScale(CGFloat scale)
{
    const double value = scale > 0 ? scale : 2.0;
    // Named images were chosen for the old scale.
    if (s_scale.exchange(value, std::memory_order_relaxed) != value)
        clearNamedImageCache();
}

} // namespace dv
