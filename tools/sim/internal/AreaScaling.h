// Shrinking the screen's picture to the runner's window when the display is too small for it: each
// pixel of the window averages the part of the picture it covers, pixels covered in part counted
// by their share, so that a line one pixel wide (a 0.5 point hairline at scale 2) stays visible at
// any ratio, fainter as it shares its pixel, where picking the nearest pixel would drop it.
#pragma once

#include <cstdint>
#include <vector>

namespace dv::internal::sim {

// `pixels` holds `width` x `height` pixels of four 8-bit channels, rows one after another; the
// answer holds `toWidth` x `toHeight` such pixels. Each channel is averaged alone (the picture is
// opaque, so straight and premultiplied colours are one). Sizes not above the source's.
std::vector<std::uint8_t> shrinkByArea(const std::uint8_t* pixels, int width, int height, int toWidth, int toHeight);

} // namespace dv::internal::sim
