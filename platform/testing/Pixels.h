// Reading what a picture shows, for tests that check drawing: the straight RGBA of a pixel at a
// point (in points, scaled by the image's scale), and a closeness test.
//
//   const dv::testing::Pixels shot(ui.screenshot(1));
//   EXPECT_TRUE(dv::testing::near(shot.at(20, 30), {255, 0, 0, 255}));
#pragma once

#include "platform/base/Geometry.h"

#include <array>
#include <cstdint>
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

private:
    std::vector<std::uint8_t> m_pixels;
    std::size_t m_width = 0, m_height = 0;
    CGFloat m_scale = 1;
};

// Each channel within `tolerance`.
bool near(const Pixel& a, const Pixel& b, int tolerance = 3);
std::string show(const Pixel& p); // "(r,g,b,a)"

} // namespace dv::testing
