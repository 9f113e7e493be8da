// Pictures of very many pixels in very few bytes, as a hostile server or uploader sends them: a
// real PNG of one-bit grey pixels, all black, compressed as it is produced (a 10000 x 10000 one
// takes some 12 KB and is never whole in memory here). For tests of what refuses such pictures
// before decoding them.
//
//   std::string png = dv::testing::blackPng(10000, 10000);
#pragma once

#include <cstdint>
#include <string>

namespace dv::testing {

std::string blackPng(std::uint32_t width, std::uint32_t height);

} // namespace dv::testing
