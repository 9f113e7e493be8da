#include "tools/sim/StepWriter.h"

#include "tools/sim/ScreenCapture.h"

#include "platform/dispatch/NSRunLoop.h"
#include "platform/ui/FrameTiming.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

namespace dv::sim {

Result<void> StepWriter::open(const std::string& folder)
{
    std::error_code code;
    if (folder.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/dovrelta-run-XXXXXX";
        if (!mkdtemp(pattern.data()))
            return Failure("cannot make a folder for the pictures under " + pattern + ": " + std::strerror(errno));
        m_folder = pattern;
    } else {
        std::filesystem::create_directories(folder, code);
        if (code || !std::filesystem::is_directory(folder))
            return Failure("cannot make the folder " + folder + (code ? ": " + code.message() : std::string()));
        m_folder = folder;
    }
    m_folder = std::filesystem::absolute(m_folder, code).string();
    return {};
}

Result<void> StepWriter::write(const std::string& name, const std::string& notes)
{
    char number[16];
    std::snprintf(number, sizeof number, "%02d-", ++m_count);
    const std::string base = m_folder + "/" + number + name;
    if (!writeScreenPNG(base + ".png"))
        return Failure("cannot write " + base + ".png");
    std::ofstream dump(base + ".txt", std::ios::binary | std::ios::trunc);
    dump << describeScreen() << notes << takeTimings(number + name);
    dump.close();
    if (!dump)
        return Failure("cannot write " + base + ".txt");
    m_pictures.push_back(base + ".png");
    return {};
}

namespace {

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * double(values.size())));
    return values[std::min(values.size(), std::max<std::size_t>(rank, 1)) - 1];
}

std::string milliseconds(double seconds)
{
    std::ostringstream text;
    text << std::fixed << std::setprecision(1) << seconds * 1000 << " ms";
    return text.str();
}

std::string touchesText(const std::vector<double>& times)
{
    if (times.empty())
        return "no touches";
    return std::to_string(times.size()) + (times.size() == 1 ? " touch" : " touches") + ": touch to frame 99th percentile "
        + milliseconds(percentile(times, 0.99)) + ", longest " + milliseconds(*std::max_element(times.begin(), times.end()));
}

} // namespace

std::string StepWriter::takeTimings(const std::string& step)
{
    const auto turns = NSRunLoop::mainRunLoop()->takeTurnTimes();
    const auto touches = FrameTiming::takeTouchToFrameTimes();
    // The first step holds the launch, which is measured on its own.
    if (m_count > 1 && turns.longest > m_longestTurn) {
        m_longestTurn = turns.longest;
        m_longestTurnStep = step;
    }
    m_touchToFrame.insert(m_touchToFrame.end(), touches.begin(), touches.end());
    return "\nlongest main-thread turn " + milliseconds(turns.longest) + " of " + std::to_string(turns.turns) + " turns; "
        + touchesText(touches) + "\n";
}

double StepWriter::touchToFramePercentile(double fraction) const { return percentile(m_touchToFrame, fraction); }

std::string StepWriter::summary() const
{
    std::string text = "longest main-thread turn ";
    text += m_longestTurnStep.empty() ? std::string("none after the first step") : milliseconds(m_longestTurn) + " (" + m_longestTurnStep + ")";
    return text + ", " + touchesText(m_touchToFrame);
}

} // namespace dv::sim
