// The mouse wheel of the runner's window as a finger, since the phone has no wheel. A turn puts a
// finger down where the pointer is (on whatever scroll view lies under it) and moves it 40 points
// a notch, as a person drags the content; notches add up, and the finger goes on past the edge of
// the screen as far as they take it. Each notch's move carries the time it was made, and notches
// read together (a fast spin, or a loop that was busy) are spread out at the pace of a quick
// flick, so that the scroll view measures the spin's speed whatever the machine's load. Once the
// wheel rests, the finger lifts: after a spin (three notches or more within the tenth of a second
// a pan measures speed over) as it makes its last move, so that the content carries on with the
// scroll view's deceleration; after slower turns still, so that the content stays where the
// notches took it. A finger that moved no scroll view leaves without lifting, so that a turn over
// a button never presses it. Everything goes through the platform's touches (delegate,
// observation, the pan's states, refresh controls), as a finger's drag does.
//
// Main thread only; times are the application clock's.
//
//   wheel.turn(window, pointer, 0, 3); // three notches that show what lies above
//   if (wheel.step()) redraw();      // at each turn of the loop
#pragma once

#include "platform/base/Geometry.h"
#include "platform/ui/Forward.h"

#include <cstdint>
#include <deque>
#include <vector>

class UIScrollView;

namespace dv::internal::sim {

class WheelFinger {
public:
    static constexpr CGFloat kNotch = 40;
    // The fastest the finger moves (points per second): notches read together come this far apart.
    static constexpr CGFloat kFastestPace = 5000;
    // A spin: this many notches within kSpinTime.
    static constexpr int kSpinNotches = 3;
    static constexpr NSTimeInterval kSpinTime = 0.1;
    // How long the wheel rests before the finger lifts; longer than a pan measures speed over, so
    // that a finger that lifts still lifts without speed.
    static constexpr NSTimeInterval kRest = 0.12;

    WheelFinger() = default;
    ~WheelFinger();
    WheelFinger(const WheelFinger&) = delete;
    WheelFinger& operator=(const WheelFinger&) = delete;

    // One turn of the wheel with the pointer at `pointer` (points of `window`, the window under
    // it, where a finger lands when none is down): the finger moves `across` notches to the right
    // and `down` notches down (negative: left, up). Turning the wheel away from oneself is a
    // finger moving down: the content moves down and shows what lies above.
    void turn(const Ref<UIWindow>& window, CGPoint pointer, int across, int down);
    // Makes the moves that are due and lifts the finger once the wheel has rested. True when it
    // did either (the screen may have changed).
    bool step();
    // The finger goes without a lift (the window lost the focus, the application ends).
    void cancel();
    bool isDown() const { return m_touch != 0; }

private:
    struct Move {
        CGPoint by;
        NSTimeInterval time;
    };
    void lift(NSTimeInterval now);

    std::uint64_t m_touch = 0;
    CGPoint m_at {};
    std::vector<Weak<UIScrollView>> m_scrollViews; // under the finger where it landed
    std::deque<Move> m_pending;
    std::deque<NSTimeInterval> m_made; // the times of the moves made within kSpinTime of the last
    NSTimeInterval m_lastTime = 0;     // of the last move, made or pending
    NSTimeInterval m_lastTurn = 0;
};

} // namespace dv::internal::sim
