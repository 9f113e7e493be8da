#include "platform/ui/FrameTiming.h"

#include <chrono>
#include <utility>

namespace dv {

namespace {

using Clock = std::chrono::steady_clock;

// A runner left on for days must not grow without bound: past this many unread times the
// older half goes.
constexpr std::size_t kKept = 1 << 16;

struct State {
    std::vector<Clock::time_point> waiting; // touches whose frame has not been drawn yet
    std::vector<double> times;
};

State& state()
{
    static State* s_state = new State();
    return *s_state;
}

} // namespace

void FrameTiming::touchArrived()
{
    auto& waiting = state().waiting;
    // Touches of a window that is never drawn find no frame.
    if (waiting.size() >= kKept)
        waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(waiting.size() / 2));
    waiting.push_back(Clock::now());
}

void FrameTiming::frameDrawn()
{
    auto& s = state();
    if (s.waiting.empty())
        return;
    const auto now = Clock::now();
    if (s.times.size() + s.waiting.size() > kKept)
        s.times.erase(s.times.begin(), s.times.begin() + static_cast<std::ptrdiff_t>(s.times.size() / 2));
    for (const auto& touched : s.waiting)
        s.times.push_back(std::chrono::duration<double>(now - touched).count());
    s.waiting.clear();
}

std::vector<double> FrameTiming::takeTouchToFrameTimes() { return std::exchange(state().times, {}); }

} // namespace dv
