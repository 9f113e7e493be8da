// Where a headless run leaves its pictures: one folder, and in it for each step a PNG of the
// screen and the screen's text dump, numbered in the order they were taken:
//   01-home.png  01-home.txt  02-group-list.png ...
// The folder is made when the writer is (a new one under $TMPDIR when none is given); a step of
// the same name as an earlier one gets its own number, so nothing is overwritten. Each dump ends
// with what a person felt since the step before: the longest turn of the main run loop and the
// times from a touch to the frame that showed it; summary() tells the same of the whole run.
// Main thread.
#pragma once

#include "platform/base/Result.h"

#include <string>
#include <vector>

namespace dv::sim {

class StepWriter {
public:
    // A failure with the reason when the folder cannot be made.
    Result<void> open(const std::string& folder);
    const std::string& folder() const { return m_folder; }

    // Writes the screen as it is now, with `notes` (lines of the runner's own: the toasts since
    // the step before) at the end of the dump; a failure with the reason when a file cannot be
    // written. The picture's path is kept in `pictures`.
    Result<void> write(const std::string& name, const std::string& notes = {});
    const std::vector<std::string>& pictures() const { return m_pictures; }

    // "longest main-thread turn 31.0 ms (01-home), 12 touches: touch to frame 99th percentile
    // 4.2 ms, longest 4.5 ms"; the longest turn leaves out the step that launched the application.
    std::string summary() const;
    // The same as figures: the longest turn after the first step, in seconds, and every
    // touch-to-frame time of the run.
    double longestTurnAfterFirstStep() const { return m_longestTurn; }
    const std::vector<double>& touchToFrameTimes() const { return m_touchToFrame; }
    // The touch-to-frame time that `fraction` of the run's touches do not exceed (0 without
    // touches).
    double touchToFramePercentile(double fraction) const;

private:
    // The timings since the last step, as the dump's closing lines.
    std::string takeTimings(const std::string& step);

    std::string m_folder;
    int m_count = 0;
    std::vector<std::string> m_pictures;
    double m_longestTurn = 0;
    std::string m_longestTurnStep;
    std::vector<double> m_touchToFrame;
};

} // namespace dv::sim
