#include "tools/sim/internal/WheelFinger.h"

#include "platform/dispatch/Clock.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UIWindow.h"

#include <algorithm>
#include <cstdlib>

namespace dv::internal::sim {

WheelFinger::~WheelFinger() { cancel(); }

void WheelFinger::turn(const Ref<UIWindow>& window, CGPoint pointer, int across, int down)
{
    if (across == 0 && down == 0)
        return;
    const NSTimeInterval now = Clock::current().now();
    if (!m_touch) {
        m_touch = window ? dv::beginTouch(window, pointer) : 0;
        if (!m_touch)
            return;
        m_at = pointer;
        m_lastTime = now;
        m_made.clear();
        m_scrollViews.clear();
        for (auto view = window->hitTest(pointer, nil); view; view = view->superview())
            if (auto scroll = dv::as<UIScrollView>(view))
                m_scrollViews.push_back(scroll);
    }
    auto add = [&](int notches, CGPoint by) {
        for (int i = 0; i < std::abs(notches); ++i) {
            // Never closer than the fastest pace allows, the first one after the landing too.
            m_lastTime = std::max(now, m_lastTime + kNotch / kFastestPace);
            m_pending.push_back({ notches < 0 ? CGPointMake(-by.x, -by.y) : by, m_lastTime });
        }
    };
    add(down, CGPointMake(0, kNotch));
    add(across, CGPointMake(kNotch, 0));
    m_lastTurn = now;
}

bool WheelFinger::step()
{
    if (!m_touch)
        return false;
    const NSTimeInterval now = Clock::current().now();
    bool changed = false;
    while (!m_pending.empty() && m_pending.front().time <= now) {
        const Move move = m_pending.front();
        m_pending.pop_front();
        m_at = CGPointMake(m_at.x + move.by.x, m_at.y + move.by.y);
        if (!dv::moveTouch(m_touch, m_at, move.time)) {
            // The touch went with the application that had it.
            m_touch = 0;
            m_pending.clear();
            return true;
        }
        m_made.push_back(move.time);
        while (move.time - m_made.front() > kSpinTime)
            m_made.pop_front();
        changed = true;
    }
    if (m_pending.empty() && now - std::max(m_lastTurn, m_lastTime) >= kRest) {
        lift(now);
        changed = true;
    }
    return changed;
}

void WheelFinger::lift(NSTimeInterval now)
{
    const bool scrolled = std::any_of(m_scrollViews.begin(), m_scrollViews.end(), [](const Weak<UIScrollView>& weak) {
        auto scroll = weak.lock();
        return scroll && scroll->isDragging();
    });
    m_scrollViews.clear();
    const bool spin = static_cast<int>(m_made.size()) >= kSpinNotches;
    m_made.clear();
    // A finger that dragged nothing leaves without lifting: the wheel never taps what lies under
    // the pointer.
    if (!scrolled)
        dv::cancelTouch(std::exchange(m_touch, 0));
    else
        dv::endTouch(std::exchange(m_touch, 0), m_at, spin ? m_lastTime : now);
}

void WheelFinger::cancel()
{
    m_pending.clear();
    m_made.clear();
    m_scrollViews.clear();
    if (m_touch)
        dv::cancelTouch(std::exchange(m_touch, 0));
}

} // namespace dv::internal::sim
