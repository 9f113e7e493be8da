// How soon the interface answers a touch: the real time from a touch reaching it (began, moved,
// ended or cancelled, through TouchInput) to the end of the next layout and display pass, when the
// screen shows what the touch did. Touches that arrive before that pass share its frame, each
// with its own time. The runner and the benchmarks read the times; main thread only.
//
//   dv::FrameTiming::takeTouchToFrameTimes();          // forget what came before
//   ... touches ...
//   auto times = dv::FrameTiming::takeTouchToFrameTimes();
#pragma once

#include <vector>

namespace dv {

class FrameTiming {
public:
    // The seconds from each touch to its frame, in the order of the touches, since the last take.
    static std::vector<double> takeTouchToFrameTimes();

    // Called where touches enter and where the passes end.
    static void touchArrived();
    static void frameDrawn();
};

} // namespace dv
