#include "ui/toolkit/overlay/internal/OverlaySupport.h"

#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSRunLoop.h"

#include <cmath>
#include <cstdio>

namespace dv::internal::toolkit {

void updateOnMainThread(const Weak<UIView>& view, std::function<void(UIView&)> update)
{
    if (dv::isMainThread()) {
        if (auto strong = view.lock())
            update(*strong);
        return;
    }
    // Only the weak link travels: the last strong reference is never dropped off the main thread
    // by this hop.
    NSRunLoop::mainRunLoop()->performBlock([view, update = std::move(update)] {
        if (auto strong = view.lock())
            update(*strong);
    });
}

void redrawOnMainThread(const Weak<UIView>& view)
{
    updateOnMainThread(view, [](UIView& v) { v.setNeedsDisplay(); });
}

std::string formatNumber(CGFloat value)
{
    if (!std::isfinite(value))
        return std::to_string(value);
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", std::round(value * 100) / 100);
    std::string s = text;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

} // namespace dv::internal::toolkit
