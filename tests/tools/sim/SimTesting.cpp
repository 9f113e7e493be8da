#include "SimTesting.h"

#include "platform/base/NSString.h"
#include "platform/base/NSData.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIImage.h"
#include "platform/testing/ReferencePicture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace dv::sim::testing {

void SimProgramTest::SetUp()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    std::replace(name.begin(), name.end(), '/', '-');
    m_root = std::filesystem::temp_directory_path() / ("dv-sim-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(m_root);
    m_home = m_root / "home";
    m_out = m_root / "out";
    std::filesystem::create_directories(m_home);
}

void SimProgramTest::TearDown()
{
    if (!HasFailure())
        std::filesystem::remove_all(m_root);
    else
        std::printf("kept the run's files in %s\n", m_root.c_str());
}

SimRun SimProgramTest::runHeadless(std::vector<std::string> arguments, const std::optional<std::string>& scriptText, double limit,
    RunHome home)
{
    if (scriptText) {
        auto path = m_root / "script.txt";
        std::ofstream(path) << *scriptText;
        arguments.insert(arguments.begin(), { "--script", path.string() });
    }
    arguments.insert(arguments.begin(), { "--headless", "--out", m_out.string() });
    if (home == RunHome::Test)
        arguments.insert(arguments.begin() + 1, { "--home", m_home.string() });
    dv::testing::ChildProcess program;
    SimRun run;
    if (!program.start(DV_SIM_PROGRAM, arguments, { "DISPLAY=", "WAYLAND_DISPLAY=", "DOVRELTA_HOME=", "TMPDIR=" + m_root.string() }))
        return run;
    run.status = program.waitForExit(limit);
    run.output = program.standardOutput();
    run.errors = program.standardError();
    return run;
}

std::vector<std::string> SimProgramTest::stepNames() const
{
    std::vector<std::string> names;
    if (!std::filesystem::is_directory(m_out))
        return names;
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(m_out))
        if (entry.path().extension() == ".png")
            files.push_back(entry.path().stem().string());
    std::sort(files.begin(), files.end());
    for (const auto& file : files)
        names.push_back(file.substr(file.find('-') + 1));
    return names;
}

static std::optional<std::filesystem::path> stepFile(const std::filesystem::path& folder, const std::string& name, const char* extension)
{
    if (!std::filesystem::is_directory(folder))
        return std::nullopt;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        auto stem = entry.path().stem().string();
        if (entry.path().extension() == extension && stem.substr(stem.find('-') + 1) == name)
            return entry.path();
    }
    return std::nullopt;
}

std::string SimProgramTest::dumpOf(const std::string& name) const
{
    auto path = stepFile(m_out, name, ".txt");
    if (!path)
        return {};
    std::ifstream file(*path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::optional<dv::testing::Pixels> SimProgramTest::picture(const std::string& name) const
{
    auto path = stepFile(m_out, name, ".png");
    if (!path)
        return std::nullopt;
    return readPicture(*path);
}

void SimProgramTest::expectReferencePictures(const std::vector<std::string>& steps, const std::filesystem::path& folder) const
{
    const char* update = std::getenv("DV_UPDATE_REFERENCES");
    const bool updating = update && std::string(update) == "1";
    for (const auto& step : steps) {
        auto path = stepFile(m_out, step, ".png");
        auto image = path ? UIImage::imageWithContentsOfFile(NSString::fromUTF8(path->string())) : nil;
        if (!image || !image->CGImage()) {
            ADD_FAILURE() << "no picture of " << step << " in " << m_out;
            continue;
        }
        const auto rgba = dv::imagePixelsRGBA8(image->CGImage());
        const std::size_t width = CGImageGetWidth(image->CGImage()), height = CGImageGetHeight(image->CGImage());
        const auto reference = folder / (step + ".png");
        if (updating) {
            auto written = dv::testing::writeReference(rgba, width, height, reference);
            EXPECT_TRUE(written.ok()) << written.reason();
            continue;
        }
        const auto result = dv::testing::compareWithReference(rgba, width, height, reference);
        EXPECT_TRUE(result.matches) << step << ": " << result.message
                                    << "\n(a change meant to be seen: scripts/update-references, then look at the new pictures)";
    }
    if (!updating)
        return;
    std::error_code code;
    std::vector<std::filesystem::path> stale;
    for (const auto& entry : std::filesystem::directory_iterator(folder, code))
        if (entry.path().extension() == ".png" && std::find(steps.begin(), steps.end(), entry.path().stem().string()) == steps.end())
            stale.push_back(entry.path());
    for (const auto& path : stale)
        std::filesystem::remove(path, code);
}

std::optional<dv::testing::Pixels> readPicture(const std::filesystem::path& path, double scale)
{
    auto image = UIImage::imageWithContentsOfFile(NSString::fromUTF8(path.string()));
    if (!image)
        return std::nullopt;
    return dv::testing::Pixels(UIImage::imageWithCGImage(image->CGImage(), scale, image->imageOrientation()));
}

std::string pngOfColour(int red, int green, int blue)
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(20, 20), true, 1);
    UIColor::colorWithRed(red / 255.0, green / 255.0, blue / 255.0, 1)->setFill();
    UIRectFill(CGRectMake(0, 0, 20, 20));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    auto png = UIImagePNGRepresentation(image);
    return png ? std::string(png->view()) : std::string();
}

bool dumpShows(const std::string& dump, const std::string& text) { return dump.find(text) != std::string::npos; }

namespace {

struct DumpLine {
    std::size_t indent = 0;
    CGRect frame {};
    CGPoint offset {};
    std::string text;
};

// The view lines of a dump ("  Class (x y; w h) fields"), with their indents.
std::vector<DumpLine> viewLines(const std::string& dump)
{
    std::vector<DumpLine> lines;
    std::istringstream in(dump);
    for (std::string line; std::getline(in, line);) {
        const auto open = line.find(" ("), semicolon = line.find("; "), close = line.find(')');
        if (open == std::string::npos || semicolon == std::string::npos || close == std::string::npos || close < semicolon)
            continue;
        DumpLine view;
        view.indent = line.find_first_not_of(' ');
        double x = 0, y = 0, w = 0, h = 0;
        if (std::sscanf(line.c_str() + open + 2, "%lf %lf; %lf %lf", &x, &y, &w, &h) != 4)
            continue;
        view.frame = CGRectMake(x, y, w, h);
        if (auto at = line.find(" offset="); at != std::string::npos)
            std::sscanf(line.c_str() + at + 8, "%lf,%lf", &view.offset.x, &view.offset.y);
        view.text = line;
        lines.push_back(view);
    }
    return lines;
}

} // namespace

std::optional<CGRect> screenFrameInDump(const std::string& dump, const std::string& text)
{
    const auto lines = viewLines(dump);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].text.find(text) == std::string::npos)
            continue;
        CGRect frame = lines[i].frame;
        std::size_t indent = lines[i].indent;
        for (std::size_t j = i; j-- > 0 && indent > 0;) {
            if (lines[j].indent >= indent)
                continue;
            indent = lines[j].indent;
            frame.origin.x += lines[j].frame.origin.x - lines[j].offset.x;
            frame.origin.y += lines[j].frame.origin.y - lines[j].offset.y;
        }
        return frame;
    }
    return std::nullopt;
}

std::optional<CGPoint> offsetInDump(const std::string& dump, const std::string& text)
{
    for (const auto& line : viewLines(dump))
        if (line.text.find(text) != std::string::npos)
            return line.offset;
    return std::nullopt;
}

} // namespace dv::sim::testing
