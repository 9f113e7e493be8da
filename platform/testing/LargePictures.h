// Pictures of very many pixels in very few bytes, as a hostile server or uploader sends them: a
// real PNG of one-bit grey pixels, all black, compressed as it is produced (a 10000 x 10000 one
// takes some 12 KB and is never whole in memory here), and GIF and WebP animations of black
// frames (eight GIF frames of 4096 x 4096 take some 100 KB, a WebP frame of any size 40 bytes).
// For tests of what refuses such pictures before decoding them.
//
//   std::string png = dv::testing::blackPng(10000, 10000);
//   std::string gif = dv::testing::blackGif(4096, 4096, 8);
//   std::string webp = dv::testing::blackWebp(4096, 4096, 6);
#pragma once

#include <cstdint>
#include <string>

namespace dv::testing {

std::string blackPng(std::uint32_t width, std::uint32_t height);
// `frames` frames of width x height (each at most 65535), every pixel black.
std::string blackGif(std::uint16_t width, std::uint16_t height, int frames);
// An animated WebP of `frames` frames, each covering the whole width x height canvas (each side
// at most 16384), every pixel opaque black.
std::string blackWebp(std::uint32_t width, std::uint32_t height, int frames);

} // namespace dv::testing
