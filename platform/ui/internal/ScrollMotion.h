// The movement of a scroll view of its own, one axis at a time, stepped on the clock: a glide
// that slows exponentially onto a target (a deceleration is a glide onto the point where the
// release's speed runs out), and a critically damped spring onto an edge (the bounce back). A
// free deceleration that runs over an edge turns into the spring there (or stops at the edge when
// the view does not bounce). Each step is exact for its length of time, so the same clock gives
// the same offsets. Also the rubber band of a drag past an edge. Main thread only.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"

namespace dv::internal::uikit {

// Where an axis may rest: [low, high].
struct AxisLimits {
    CGFloat low = 0;
    CGFloat high = 0;
    bool bounces = true;
};

// The rubber band: past an edge the content moves by half of the finger's movement.
CGFloat rubberBand(CGFloat raw, AxisLimits limits);
// The finger position (raw offset) that gives `offset`; the inverse of rubberBand.
CGFloat rubberBandInverse(CGFloat offset, AxisLimits limits);

class AxisMotion {
public:
    // The rate of a glide onto a page or a snapped target, and the spring's stiffness, per second.
    static constexpr CGFloat kMinimumSnapRate = 8;
    static constexpr CGFloat kMaximumSnapRate = 30;
    static constexpr CGFloat kSpringRate = 14;

    bool isMoving() const { return m_phase != Phase::Rest; }
    CGFloat position() const { return m_x; }
    CGFloat velocity() const { return m_v; }

    void rest(CGFloat x);
    // Slows from `x` onto `target` at `rate` (1/s): the speed is rate × distance left. With
    // `free`, running over an edge of the limits hands over to the spring (or stops there).
    void glide(CGFloat x, CGFloat target, CGFloat rate, bool free);
    // Springs from `x` with `velocity` onto the low or high edge of the limits as they are at
    // each step.
    void springToEdge(CGFloat x, CGFloat velocity, bool highEdge);
    void step(double seconds, AxisLimits limits);

private:
    enum class Phase { Rest, Glide, FreeGlide, Spring };
    void stepSpring(double seconds, AxisLimits limits);

    Phase m_phase = Phase::Rest;
    CGFloat m_x = 0;
    CGFloat m_v = 0;
    CGFloat m_target = 0;
    CGFloat m_rate = 0;
    bool m_highEdge = false;
};

} // namespace dv::internal::uikit
