// Running the dovrelta-sim program from a test: a private home and picture folder per test, the
// program's exit status and output, and reading back the pictures and dumps it wrote.
#pragma once

#include "platform/testing/ChildProcess.h"
#include "platform/testing/Pixels.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace dv::sim::testing {

struct SimRun {
    int status = -1;
    std::string output;
    std::string errors;
};

// Which home a run of the program uses: this test's, or the fresh one the runner makes itself
// when given none (under this test's folder).
enum class RunHome { Test, Fresh };

class SimProgramTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the program headless with this test's home and picture folder (and a script with
    // `scriptText`, when given), waiting at most `limit` seconds for its end.
    SimRun runHeadless(std::vector<std::string> arguments, const std::optional<std::string>& scriptText = std::nullopt,
        double limit = 120, RunHome home = RunHome::Test);

    // The dump of the step whose picture is "NN-<name>.png" (empty when there is none).
    std::string dumpOf(const std::string& name) const;
    // Its picture's pixels, read at the runner's default scale of 2 so that points address it
    // (nothing when there is none).
    std::optional<dv::testing::Pixels> picture(const std::string& name) const;
    // The names of the steps, in order ("launch", "home", ...).
    std::vector<std::string> stepNames() const;
    // Compares the picture of each step with its reference, `folder`/STEP.png, within the
    // tolerance of reference pictures (see platform/testing/ReferencePicture.h); with
    // DV_UPDATE_REFERENCES=1 in the environment the pictures become the references instead, and
    // references of steps no longer taken go (scripts/update-references).
    void expectReferencePictures(const std::vector<std::string>& steps, const std::filesystem::path& folder) const;

    std::filesystem::path m_root;   // removed after the test
    std::filesystem::path m_home;
    std::filesystem::path m_out;
};

// A PNG written by the runner at `scale` pixels per point, addressed in points.
std::optional<dv::testing::Pixels> readPicture(const std::filesystem::path& path, double scale = 2);

// The bytes of a small PNG picture of one colour.
std::string pngOfColour(int red, int green, int blue);

// Lines of a dump that mention `text` (for messages of failed checks).
bool dumpShows(const std::string& dump, const std::string& text);

// Where the view of the first dump line that mentions `text` lies on the screen: its frame moved
// by its ancestors' origins (less their scroll offsets), up to its window's line.
std::optional<CGRect> screenFrameInDump(const std::string& dump, const std::string& text);
// The content offset the first dump line that mentions `text` shows (zero when it shows none).
std::optional<CGPoint> offsetInDump(const std::string& dump, const std::string& text);

} // namespace dv::sim::testing
