// A picture of at most 256 colours as an indexed PNG keeps it: a palette of straight RGBA colours
// and one palette index per pixel. Made from any picture by quantising it (exactly when it has no
// more colours than that), written and read as an indexed PNG, so that reference pictures of
// tests stay small files whose pixels read back as they were written. A value; any thread.
//
//   auto picture = dv::testing::IndexedPicture::fromRGBA(width, height, rgba);
//   DV_TRY(picture.writePNG("home.png"));
//   DV_TRY_ASSIGN(auto again, dv::testing::IndexedPicture::readPNG("home.png"));
#pragma once

#include "platform/base/Result.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace dv::testing {

using Colour = std::array<std::uint8_t, 4>; // straight RGBA

class IndexedPicture {
public:
    // `rgba` holds width x height straight RGBA pixels, row after row. Each pixel takes the palette
    // entry nearest to its colour (see nearestIndex): its own colour when the picture has at most
    // 256; else the colours that cover many pixels are kept exactly (flat grounds, the ink of
    // texts) and the rest share the other entries, the more of them the more pixels they cover
    // (a gradient keeps its steps; the edges of letters share a few).
    static IndexedPicture fromRGBA(std::size_t width, std::size_t height, std::span<const std::uint8_t> rgba);

    // An indexed PNG as writePNG leaves it (another PNG is read as well, by libpng's own palette);
    // a failure when the file is missing or damaged.
    static Result<IndexedPicture> readPNG(const std::filesystem::path& path);
    // As an indexed PNG of as few bits per pixel as its palette needs, with transparency only when
    // a colour has some.
    Result<void> writePNG(const std::filesystem::path& path) const;

    std::size_t width() const { return m_width; }
    std::size_t height() const { return m_height; }
    const std::vector<Colour>& palette() const { return m_palette; }
    Colour at(std::size_t x, std::size_t y) const { return m_palette[m_indices[y * m_width + x]]; }
    std::vector<std::uint8_t> rgba() const;

    // The entry of the palette nearest to `colour` (the least sum of squared channel differences,
    // the first such entry on a tie): the one fromRGBA gives a pixel of that colour.
    std::uint8_t nearestIndex(const Colour& colour) const;
    // The largest channel difference between `rgba` and this picture (of the same size): how
    // far quantising moved any pixel.
    int largestDifferenceFrom(std::span<const std::uint8_t> rgba) const;

private:
    std::size_t m_width = 0, m_height = 0;
    std::vector<Colour> m_palette;
    std::vector<std::uint8_t> m_indices;
};

} // namespace dv::testing
