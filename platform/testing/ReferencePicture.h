// Comparing a picture with a committed reference picture: the same within a small difference
// per pixel, and a few pixels beyond it (the edges of letters and curves that another build of
// the drawing libraries may smooth a shade otherwise). A failed comparison leaves the actual
// picture and a picture of the differences beside the reference:
//   home.png  home.actual.png  home.difference.png
// (the reference's pixels faded to grey, those that differ in red). References are indexed PNGs
// (see IndexedPicture), written on purpose with writeReference; a pixel whose colour the
// reference's palette takes to the reference's own colour counts as the same, whatever the
// palette's rounding. Any thread; files only.
//
//   auto result = dv::testing::compareWithReference(actualRGBA, width, height, "tests/x/reference/home.png");
//   EXPECT_TRUE(result.matches) << result.message;
#pragma once

#include "platform/base/Result.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace dv::testing {

struct PictureTolerance {
    int channel = 8;              // a pixel is the same when no channel differs by more
    std::size_t pixels = 120;     // how many pixels may differ beyond that
};

struct PictureComparison {
    bool matches = false;
    std::size_t differing = 0;    // pixels beyond the tolerance
    int largest = 0;              // the largest channel difference of those
    std::string message;          // what differed, where, and where the pictures went
};

// `rgba`: width x height straight RGBA pixels, row after row. A missing, unreadable or
// differently sized reference never matches.
PictureComparison compareWithReference(std::span<const std::uint8_t> rgba, std::size_t width, std::size_t height,
    const std::filesystem::path& reference, PictureTolerance tolerance = {});

// Writes the picture as the reference at `reference` (an indexed PNG), and removes the actual and
// difference pictures an earlier failure left beside it.
Result<void> writeReference(std::span<const std::uint8_t> rgba, std::size_t width, std::size_t height,
    const std::filesystem::path& reference);

// Where a failed comparison leaves its pictures: "home.actual.png" and "home.difference.png" beside
// "home.png".
std::filesystem::path actualPicturePath(const std::filesystem::path& reference);
std::filesystem::path differencePicturePath(const std::filesystem::path& reference);

} // namespace dv::testing
