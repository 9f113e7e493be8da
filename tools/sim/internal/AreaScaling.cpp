#include "tools/sim/internal/AreaScaling.h"

#include "platform/base/Check.h"

#include <algorithm>
#include <cmath>

namespace dv::internal::sim {

namespace {

// Weights are fixed-point fractions of kOne: what share of a target pixel a source pixel covers.
constexpr std::uint32_t kOne = 1u << 16;

struct Tap {
    int source;
    std::uint32_t weight;
};

// For each of `to` target pixels along an axis of `from` source pixels: the source pixels it
// covers and their shares, which add up to kOne.
std::vector<std::vector<Tap>> coverage(int from, int to)
{
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(to));
    const double step = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double begin = i * step, end = (i + 1) * step;
        std::uint32_t given = 0;
        for (int s = static_cast<int>(std::floor(begin)); s < std::min(from, static_cast<int>(std::ceil(end))); ++s) {
            const double covered = std::min<double>(end, s + 1) - std::max<double>(begin, s);
            const auto weight = static_cast<std::uint32_t>(std::lround(covered / step * kOne));
            if (weight == 0)
                continue;
            taps[i].push_back({ s, weight });
            given += weight;
        }
        // Rounding leaves the sum a little off: the largest share takes the difference.
        auto largest = std::max_element(taps[i].begin(), taps[i].end(), [](const Tap& a, const Tap& b) { return a.weight < b.weight; });
        largest->weight += kOne - given;
    }
    return taps;
}

} // namespace

std::vector<std::uint8_t> shrinkByArea(const std::uint8_t* pixels, int width, int height, int toWidth, int toHeight)
{
    DV_CHECK(toWidth > 0 && toHeight > 0 && toWidth <= width && toHeight <= height);
    const auto across = coverage(width, toWidth), down = coverage(height, toHeight);
    // Across first, into rows of toWidth pixels kept at fixed-point precision, then down.
    std::vector<std::uint32_t> rows(static_cast<std::size_t>(height) * toWidth * 4);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * width * 4;
        std::uint32_t* out = rows.data() + static_cast<std::size_t>(y) * toWidth * 4;
        for (int x = 0; x < toWidth; ++x) {
            std::uint32_t sum[4] = {};
            for (const Tap& tap : across[x])
                for (int c = 0; c < 4; ++c)
                    sum[c] += row[tap.source * 4 + c] * tap.weight;
            for (int c = 0; c < 4; ++c)
                out[x * 4 + c] = sum[c] >> 8; // 255 * kOne fits in 24 bits: keep 16 of them
        }
    }
    std::vector<std::uint8_t> shrunk(static_cast<std::size_t>(toHeight) * toWidth * 4);
    for (int y = 0; y < toHeight; ++y) {
        std::uint8_t* out = shrunk.data() + static_cast<std::size_t>(y) * toWidth * 4;
        for (int i = 0; i < toWidth * 4; ++i) {
            std::uint64_t sum = 0;
            for (const Tap& tap : down[y])
                sum += static_cast<std::uint64_t>(rows[static_cast<std::size_t>(tap.source) * toWidth * 4 + i]) * tap.weight;
            // sum is value * 2^8 * kOne: back to 8 bits, rounded.
            out[i] = static_cast<std::uint8_t>(std::min<std::uint64_t>(255, (sum + (std::uint64_t(1) << 23)) >> 24));
        }
    }
    return shrunk;
}

} // namespace dv::internal::sim
