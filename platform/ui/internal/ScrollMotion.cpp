#include "platform/ui/internal/ScrollMotion.h"

#include <algorithm>
#include <cmath>

namespace dv::internal::uikit {

namespace {

// A glide ends once it is this close to its target; a spring once it is this close to its edge
// and this slow.
constexpr CGFloat kRestDistance = 0.5;
constexpr CGFloat kRestSpeed = 20;

} // namespace

CGFloat rubberBand(CGFloat raw, AxisLimits limits)
{
    if (raw < limits.low)
        return limits.bounces ? limits.low + (raw - limits.low) / 2 : limits.low;
    if (raw > limits.high)
        return limits.bounces ? limits.high + (raw - limits.high) / 2 : limits.high;
    return raw;
}

CGFloat rubberBandInverse(CGFloat offset, AxisLimits limits)
{
    if (offset < limits.low)
        return limits.bounces ? limits.low + (offset - limits.low) * 2 : limits.low;
    if (offset > limits.high)
        return limits.bounces ? limits.high + (offset - limits.high) * 2 : limits.high;
    return offset;
}

void AxisMotion::rest(CGFloat x)
{
    m_phase = Phase::Rest;
    m_x = x;
    m_v = 0;
}

void AxisMotion::glide(CGFloat x, CGFloat target, CGFloat rate, bool free)
{
    m_x = x;
    m_target = target;
    m_rate = rate;
    m_v = rate * (target - x);
    m_phase = free ? Phase::FreeGlide : Phase::Glide;
    if (std::abs(target - x) < kRestDistance)
        rest(target);
}

void AxisMotion::springToEdge(CGFloat x, CGFloat velocity, bool highEdge)
{
    m_phase = Phase::Spring;
    m_x = x;
    m_v = velocity;
    m_highEdge = highEdge;
}

void AxisMotion::step(double seconds, AxisLimits limits)
{
    if (m_phase == Phase::Rest || seconds <= 0)
        return;
    if (m_phase == Phase::Spring) {
        stepSpring(seconds, limits);
        return;
    }
    const CGFloat d = m_x - m_target;
    const CGFloat left = d * std::exp(-m_rate * seconds);
    const CGFloat x = m_target + left;
    if (m_phase == Phase::FreeGlide && (x < limits.low || x > limits.high)) {
        // Where and how fast it crossed the edge; from there on the spring (or the edge) rules.
        const bool high = x > limits.high;
        const CGFloat edge = high ? limits.high : limits.low;
        const CGFloat edgeLeft = edge - m_target; // same sign as d, smaller
        double crossing = 0;
        if (std::abs(edgeLeft) > 0 && std::abs(d) > std::abs(edgeLeft))
            crossing = std::log(d / edgeLeft) / m_rate;
        const CGFloat speed = -m_rate * edgeLeft;
        if (!limits.bounces) {
            rest(edge);
            return;
        }
        springToEdge(edge, speed, high);
        stepSpring(std::max(0.0, seconds - crossing), limits);
        return;
    }
    m_x = x;
    m_v = -m_rate * left;
    if (std::abs(left) < kRestDistance)
        rest(m_phase == Phase::FreeGlide ? std::clamp(m_target, limits.low, limits.high) : m_target);
}

void AxisMotion::stepSpring(double seconds, AxisLimits limits)
{
    const CGFloat edge = m_highEdge ? limits.high : limits.low;
    const CGFloat w = kSpringRate;
    const CGFloat c1 = m_x - edge;
    const CGFloat c2 = m_v + w * c1;
    const CGFloat t = CGFloat(seconds);
    const CGFloat decay = std::exp(-w * t);
    const CGFloat d = (c1 + c2 * t) * decay;
    m_v = (c2 - w * (c1 + c2 * t)) * decay;
    m_x = edge + d;
    if (std::abs(d) < kRestDistance && std::abs(m_v) < kRestSpeed)
        rest(edge);
}

} // namespace dv::internal::uikit
