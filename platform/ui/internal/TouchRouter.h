// The touch router: where fingers enter the interface and how their touches reach views.
//
// Input: a touch begins at a point of a window (the runner's mouse, the UI driver); the router
// hit-tests the window, makes the UITouch (which keeps its view until it ends), collects the
// gesture recognisers of the hit view and its ancestors into it, and hands the event to the
// application (UIApplication::sendEvent), which hands it to the window (UIWindow::sendEvent),
// which asks the router to deliver it. Moves, lifts and cancels follow the same path.
//
// Delivery, for the touches of the window whose phase changed: first the recognisers (a touch that
// begins goes to each collected recogniser whose delegate does not refuse it; later phases go to
// the recognisers that took it, unless they have failed or finished), then the touch's hit view
// (touchesBegan/Moved/Ended/Cancelled, travelling up the responder chain from there when the view
// does not handle them; controls track touches in these methods). A touch a recogniser has taken
// (see UIGestureRecognizer.h) no longer reaches its view; a lift that a recogniser delays is held
// until no such recogniser can still recognise. When a touch has ended, its recognisers let go of
// it, and those that have finished are reset.
//
// A touch that lands while a view with exclusiveTouch holds another touch, or that lands on such
// a view while other touches are down, is ignored. Two taps close in time and place count as a
// double tap (tapCount). Main thread only.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/ui/Forward.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace dv::internal::uikit {

class TouchRouter {
public:
    static TouchRouter& shared();

    // 0 when no view of the window takes the touch (or an exclusive touch blocks it).
    std::uint64_t begin(const Ref<UIWindow>& window, CGPoint windowPoint);
    // False for a touch that is not down. `time`: when it happened (see TouchInput.h).
    bool move(std::uint64_t touch, CGPoint windowPoint, std::optional<NSTimeInterval> time = std::nullopt);
    bool end(std::uint64_t touch, CGPoint windowPoint, std::optional<NSTimeInterval> time = std::nullopt);
    bool cancel(std::uint64_t touch);
    std::size_t activeTouchCount() const { return m_active.size(); }
    // Forgets the touches that are down, the held lifts and the last tap (a new application).
    void reset();

    // The delivery step, called by UIWindow::sendEvent for the event's touches in `window`.
    void deliver(UIWindow& window, const Ref<UIEvent>& event);

    // Recogniser arbitration (called by UIGestureRecognizer::setState). Whether no recogniser
    // that shares a touch with `recognizer` has begun without allowing it to run alongside.
    bool gestureMayBegin(UIGestureRecognizer& recognizer) const;
    // `recognizer` has begun: the others sharing its touches fail (unless they may run with it),
    // and its touches are taken from their views when it cancels touches in views.
    void handleGestureBegan(UIGestureRecognizer& recognizer);
    // Delivers the held lifts that no recogniser holds any longer.
    void releaseHeldEnds();
    // A recogniser leaves its view: its touches forget it.
    void forgetRecognizer(UIGestureRecognizer& recognizer);

private:
    struct Active {
        std::uint64_t id = 0;
        Ref<UITouch> touch;
    };

    TouchRouter() = default;
    Active* find(std::uint64_t id);
    bool change(std::uint64_t id, int phase, CGPoint windowPoint, bool movesPoint, std::optional<NSTimeInterval> time = std::nullopt);
    void send(const Ref<UITouch>& touch);
    bool exclusiveTouchBlocks(const Ref<UIView>& hitView) const;
    void deliverToRecognizers(const std::vector<Ref<UITouch>>& touches, int phase, const Ref<UIEvent>& event);
    void deliverToViews(const std::vector<Ref<UITouch>>& touches, int phase, const Ref<UIEvent>& event);
    void finishTouches(const std::vector<Ref<UITouch>>& touches);
    bool endIsHeld(const UITouch& touch) const;
    static std::vector<Ref<UIGestureRecognizer>> sharing(const UIGestureRecognizer& recognizer, const std::vector<Ref<UITouch>>& touches);

    std::vector<Active> m_active;
    std::vector<Ref<UITouch>> m_heldEnds; // lifts waiting for recognisers that delay them
    Ref<UIEvent> m_event;
    std::uint64_t m_nextId = 1;
    NSTimeInterval m_lastTapTime = -1;
    CGPoint m_lastTapPoint {};
    NSUInteger m_lastTapCount = 0;
};

} // namespace dv::internal::uikit
