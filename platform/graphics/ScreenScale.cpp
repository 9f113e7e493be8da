#include "platform/graphics/ScreenScale.h"

#include <atomic>

namespace dv {

namespace {
std::atomic<double> s_scale {2.0};
}

CGFloat mainScreenScale() { return s_scale.load(std::memory_order_relaxed); }

void setMainScreenScale(CGFloat scale) { s_scale.store(scale > 0 ? scale : 2.0, std::memory_order_relaxed); }

} // namespace dv
