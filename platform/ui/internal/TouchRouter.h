// The touch router: where fingers enter the interface and how their touches reach views.
//
// Input: a touch begins at a point of a window (the runner's mouse, the UI driver); the router
// hit-tests the window, makes the UITouch (which keeps its view until it ends), collects the
// gesture recognisers of the hit view and its ancestors into it, and hands the event to the
// application (UIApplication::sendEvent), which hands it to the window (UIWindow::sendEvent),
// which asks the router to deliver it. Moves, lifts and cancels follow the same path.
//
// Delivery: the touches of the window whose phase changed reach their hit view's touch method
// (touchesBegan/Moved/Ended/Cancelled), and travel up the responder chain from there when the
// view does not handle them. The recognisers collected in the touch are where gesture handling
// and control tracking join this path.
//
// A touch that lands while a view with exclusiveTouch holds another touch, or that lands on such
// a view while other touches are down, is ignored. Two taps close in time and place count as a
// double tap (tapCount). Main thread only.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/ui/Forward.h"

#include <cstdint>
#include <vector>

namespace dv::internal {

class TouchRouter {
public:
    static TouchRouter& shared();

    // 0 when no view of the window takes the touch (or an exclusive touch blocks it).
    std::uint64_t begin(const Ref<UIWindow>& window, CGPoint windowPoint);
    // False for a touch that is not down.
    bool move(std::uint64_t touch, CGPoint windowPoint);
    bool end(std::uint64_t touch, CGPoint windowPoint);
    bool cancel(std::uint64_t touch);
    std::size_t activeTouchCount() const { return m_active.size(); }

    // The delivery step, called by UIWindow::sendEvent for the event's touches in `window`.
    void deliver(UIWindow& window, const Ref<UIEvent>& event);

private:
    struct Active {
        std::uint64_t id = 0;
        Ref<UITouch> touch;
    };

    TouchRouter() = default;
    Active* find(std::uint64_t id);
    bool change(std::uint64_t id, int phase, CGPoint windowPoint, bool movesPoint);
    void send(const Ref<UITouch>& touch);
    bool exclusiveTouchBlocks(const Ref<UIView>& hitView) const;

    std::vector<Active> m_active;
    Ref<UIEvent> m_event;
    std::uint64_t m_nextId = 1;
    NSTimeInterval m_lastTapTime = -1;
    CGPoint m_lastTapPoint {};
    NSUInteger m_lastTapCount = 0;
};

} // namespace dv::internal
