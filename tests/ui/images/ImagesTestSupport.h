// Shared set-up of the remote-image tests: a private DOVRELTA_HOME, a manual clock, a screen of
// scale 2, and small builders of image files.
#pragma once

#include "platform/base/Base.h"
#include "platform/dispatch/Clock.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/UIScreen.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "tests/platform/graphics/GraphicsTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace dv::test {

class ImagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("DOVRELTA_HOME"))
            m_previousHome = old;
        std::string pattern = (std::filesystem::temp_directory_path() / "dv-images-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_home = pattern;
        ::setenv("DOVRELTA_HOME", m_home.c_str(), 1);
        UIScreen::mainScreen()->setScale(2);
        m_clock.emplace();
    }
    void TearDown() override
    {
        // Whatever the test left queued runs before the clock and the folder go.
        dv::testing::runUntilIdle();
        m_clock.reset();
        UIScreen::mainScreen()->reset();
        std::error_code ec;
        std::filesystem::remove_all(m_home, ec);
        if (m_previousHome.empty())
            ::unsetenv("DOVRELTA_HOME");
        else
            ::setenv("DOVRELTA_HOME", m_previousHome.c_str(), 1);
    }

    const std::string& home() const { return m_home; }
    dv::ManualClock& clock() { return **m_clock; }

    // An opaque w x h picture, or one with alpha; a solid colour unless `photo`.
    static CGImageRef bitmap(std::size_t w, std::size_t h, bool alpha = false, Pixel colour = {200, 40, 40, 255})
    {
        if (alpha)
            colour[3] = 128;
        return makeRGBAImage(w, h, [&](std::size_t, std::size_t) { return colour; }, alpha ? kCGImageAlphaLast : kCGImageAlphaNoneSkipLast);
    }
    static Ref<UIImage> image(std::size_t w, std::size_t h, bool alpha = false, CGFloat scale = 1)
    {
        return UIImage::imageWithCGImage(bitmap(w, h, alpha), scale, UIImageOrientationUp);
    }
    static Ref<NSData> png(std::size_t w, std::size_t h, bool alpha = false) { return UIImagePNGRepresentation(image(w, h, alpha)); }
    static Ref<NSData> jpeg(std::size_t w, std::size_t h, UIImageOrientation orientation = UIImageOrientationUp)
    {
        return UIImageJPEGRepresentation(UIImage::imageWithCGImage(bitmap(w, h), 1, orientation), 0.9);
    }
    // A GIF of frames of one colour each with the given delays (hundredths of a second).
    static Ref<NSData> gif(int side, const std::vector<int>& delays)
    {
        static const std::vector<GifColorType> palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
        std::vector<GifFrame> frames;
        for (std::size_t i = 0; i < delays.size(); ++i)
            frames.push_back({0, 0, side, side, delays[i], DISPOSAL_UNSPECIFIED, NO_TRANSPARENT_COLOR, {},
                std::vector<GifByteType>(std::size_t(side * side), GifByteType(1 + i % 3))});
        return writeGif(side, side, palette, frames, 0);
    }

private:
    std::string m_home;
    std::string m_previousHome;
    std::optional<dv::ManualClockScope> m_clock;
};

} // namespace dv::test
