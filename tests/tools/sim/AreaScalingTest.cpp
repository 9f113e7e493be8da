// Shrinking the screen's picture to a smaller window by area: a plain picture keeps its colour to
// the last row and column, and a line one pixel wide shows wherever it lies, its ink spread over
// the rows it shares but never lost, at the ratios the window uses (half, three quarters).
#include "tools/sim/internal/AreaScaling.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace dv::sim {
namespace {

using dv::internal::sim::shrinkByArea;

std::vector<std::uint8_t> plain(int width, int height, std::uint8_t grey)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4, grey);
    for (std::size_t i = 3; i < pixels.size(); i += 4)
        pixels[i] = 255;
    return pixels;
}

TEST(AreaScalingTest, APlainPictureStaysPlainToItsEdges)
{
    const auto picture = plain(750, 1334, 200);
    for (auto [width, height] : { std::pair { 375, 667 }, std::pair { 563, 1001 }, std::pair { 750, 1334 } }) {
        const auto shrunk = shrinkByArea(picture.data(), 750, 1334, width, height);
        ASSERT_EQ(shrunk.size(), static_cast<std::size_t>(width) * height * 4);
        std::size_t off = 0;
        for (std::size_t i = 0; i < shrunk.size(); ++i)
            off += shrunk[i] != ((i % 4 == 3) ? 255 : 200);
        EXPECT_EQ(off, 0u) << width << "x" << height;
    }
}

TEST(AreaScalingTest, AHairlineShowsWhereverItLiesAndKeepsItsInk)
{
    for (int to : { 8, 6 }) { // half, three quarters of 16 rows
        for (int row = 0; row < 16; ++row) {
            auto picture = plain(4, 16, 255);
            for (int x = 0; x < 4; ++x)
                for (int c = 0; c < 3; ++c)
                    picture[(static_cast<std::size_t>(row) * 4 + x) * 4 + c] = 55;
            const auto shrunk = shrinkByArea(picture.data(), 4, 16, 4, to);
            int ink = 0, darkest = 255;
            for (int y = 0; y < to; ++y) {
                const int value = shrunk[(static_cast<std::size_t>(y) * 4 + 1) * 4];
                ink += 255 - value;
                darkest = std::min(darkest, value);
            }
            // 200 of ink in one row of 16, shrunk to `to` rows: 200 * to / 16 in all.
            EXPECT_NEAR(ink, 200 * to / 16, 1) << "row " << row << " of 16 into " << to;
            EXPECT_LE(darkest, 255 - 200 * to / 16 / 2) << "row " << row << " of 16 into " << to << ": never spread thinner than over two rows";
        }
    }
}

} // namespace
} // namespace dv::sim
