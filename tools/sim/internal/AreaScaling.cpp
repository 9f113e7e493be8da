#include "tools/sim/internal/AreaScaling.h"

#include "platform/base/Check.h"

#include <algorithm>
#include <cmath>

namespace dv::internal::sim {

namespace {

// Weights are fixed-point fractions of kOne: what share of a target pixel a source pixel covers.
constexpr std::uint32_t kOne = 1u << 16;

// What a target pixel covers along an axis: `count` source pixels from `first`, their shares in
// `weights` from `at`, which add up to kOne.
struct Span {
    int first = 0;
    int count = 0;
    std::size_t at = 0;
};

struct Coverage {
    std::vector<Span> spans;
    std::vector<std::uint32_t> weights;
};

// For each of `to` target pixels along an axis of `from` source pixels: the source pixels it
// covers and their shares.
Coverage coverage(int from, int to)
{
    Coverage coverage;
    coverage.spans.resize(static_cast<std::size_t>(to));
    const double step = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double begin = i * step, end = (i + 1) * step;
        Span& span = coverage.spans[static_cast<std::size_t>(i)];
        span.first = static_cast<int>(std::floor(begin));
        span.at = coverage.weights.size();
        std::uint32_t given = 0;
        for (int s = span.first; s < std::min(from, static_cast<int>(std::ceil(end))); ++s) {
            const double covered = std::min<double>(end, s + 1) - std::max<double>(begin, s);
            const auto weight = static_cast<std::uint32_t>(std::lround(covered / step * kOne));
            coverage.weights.push_back(weight);
            given += weight;
            ++span.count;
        }
        // Rounding leaves the sum a little off: the largest share takes the difference.
        auto shares = coverage.weights.begin() + static_cast<std::ptrdiff_t>(span.at);
        *std::max_element(shares, coverage.weights.end()) += kOne - given;
    }
    return coverage;
}

} // namespace

std::vector<std::uint8_t> shrinkByArea(const std::uint8_t* pixels, int width, int height, int toWidth, int toHeight)
{
    DV_CHECK(toWidth > 0 && toHeight > 0 && toWidth <= width && toHeight <= height);
    const Coverage across = coverage(width, toWidth), down = coverage(height, toHeight);
    const std::size_t rowLength = static_cast<std::size_t>(toWidth) * 4;
    // A source row shrunk across, its values kept with 8 more bits; a row shared by two target
    // rows is shrunk once.
    std::vector<std::uint32_t> acrossRow(rowLength);
    int shrunkRow = -1;
    auto shrinkRow = [&](int y) {
        if (y == shrunkRow)
            return;
        shrunkRow = y;
        const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * width * 4;
        std::uint32_t* out = acrossRow.data();
        for (const Span& span : across.spans) {
            std::uint32_t sum[4] = {};
            const std::uint8_t* source = row + static_cast<std::size_t>(span.first) * 4;
            const std::uint32_t* weight = across.weights.data() + span.at;
            for (int i = 0; i < span.count; ++i, source += 4, ++weight)
                for (int c = 0; c < 4; ++c)
                    sum[c] += source[c] * *weight;
            for (int c = 0; c < 4; ++c)
                *out++ = sum[c] >> 8; // 255 * kOne takes 24 bits: 16 of them kept
        }
    };
    std::vector<std::uint8_t> shrunk(static_cast<std::size_t>(toHeight) * rowLength);
    // 255 << 8 times shares adding up to kOne stays below 2^32.
    std::vector<std::uint32_t> sums(rowLength);
    for (int y = 0; y < toHeight; ++y) {
        const Span& span = down.spans[static_cast<std::size_t>(y)];
        std::fill(sums.begin(), sums.end(), 0);
        for (int i = 0; i < span.count; ++i) {
            shrinkRow(span.first + i);
            const std::uint32_t weight = down.weights[span.at + static_cast<std::size_t>(i)];
            for (std::size_t x = 0; x < rowLength; ++x)
                sums[x] += acrossRow[x] * weight;
        }
        // Each sum is the value times 2^8 * kOne: back to 8 bits, rounded.
        std::uint8_t* out = shrunk.data() + static_cast<std::size_t>(y) * rowLength;
        for (std::size_t x = 0; x < rowLength; ++x)
            out[x] = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (sums[x] + (1u << 23)) >> 24));
    }
    return shrunk;
}

} // namespace dv::internal::sim
