// Reading what a picture shows, for tests that check drawing: the straight RGBA of a pixel at a
// point (in points, scaled by the image's scale), and a closeness test.
//
//   const dv::testing::Pixels shot(ui.screenshot(1));
//   EXPECT_TRUE(dv::testing::near(shot.at(20, 30), {255, 0, 0, 255}));
#pragma once

#include "platform/base/Geometry.h"

#include <array>
#include <cstdint>
#include <functional>
#include <functional>
#include <string>
#include <vector>

class UIImage;

namespace dv::testing {

using Pixel = std::array<int, 4>; // straight RGBA; all -1 outside the image

// An image's pixels, read once.
class Pixels {
public:
    explicit Pixels(const Ref<UIImage>& image);
    Pixel at(CGFloat xPoints, CGFloat yPoints) const;
    CGSize sizeInPoints() const;
    // The box (in points) of the pixels within `area` that `matches` picks (the ink of a text, a
    // caret's colour); the null rectangle when none does. Pixels are visited one pixel apart.
    CGRect box(CGRect area, const std::function<bool(const Pixel&)>& matches) const;
    // How many pixels within `area` `matches` picks.
    std::size_t count(CGRect area, const std::function<bool(const Pixel&)>& matches) const;

private:
    std::vector<std::uint8_t> m_pixels;
    std::size_t m_width = 0, m_height = 0;
    CGFloat m_scale = 1;
};

// Dark enough to be the ink of text or a line on a light ground: red, green and blue all below
// `limit`, and not transparent.
bool isInk(const Pixel& p, int limit = 128);

// Each channel within `tolerance`.
bool near(const Pixel& a, const Pixel& b, int tolerance = 3);
// Whether a pixel of `rect` (in points, every half point) passes `test`.
bool anyPixelIn(const Pixels& pixels, CGRect rect, const std::function<bool(const Pixel&)>& test);
std::string show(const Pixel& p); // "(r,g,b,a)"

} // namespace dv::testing
