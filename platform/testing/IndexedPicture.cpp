#include "platform/testing/IndexedPicture.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace dv::testing {

namespace {

constexpr std::size_t kPaletteSize = 256;
// Colours that cover at least this share of the pixels (and a few pixels at the least) keep an
// entry of their own, up to half the palette: grounds, bars, the ink of texts.
constexpr std::size_t kFrequentShare = 4000;
constexpr std::size_t kFewestFrequentPixels = 24;
constexpr std::size_t kMostExactEntries = kPaletteSize / 2;

std::uint32_t pack(const std::uint8_t* p) { return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]; }
Colour unpack(std::uint32_t c) { return { std::uint8_t(c >> 24), std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c) }; }
int channelOf(std::uint32_t c, int channel) { return int(c >> (24 - 8 * channel)) & 0xff; }

struct Counted {
    std::uint32_t colour;
    std::uint64_t pixels;
};

struct Box {
    std::size_t begin, end; // in the colour list
    double error = 0;       // the sum of the squared distances of its pixels from their mean
    int channel = 0;        // the channel of the largest spread of its pixels
};

struct Sums {
    std::uint64_t pixels = 0;
    std::uint64_t sum[4] = {};
    std::uint64_t squares[4] = {};

    void add(const Counted& colour)
    {
        pixels += colour.pixels;
        for (int c = 0; c < 4; ++c) {
            const std::uint64_t v = std::uint64_t(channelOf(colour.colour, c));
            sum[c] += v * colour.pixels;
            squares[c] += v * v * colour.pixels;
        }
    }
    double error(int channel) const
    {
        return pixels ? double(squares[channel]) - double(sum[channel]) * double(sum[channel]) / double(pixels) : 0;
    }
    double error() const { return error(0) + error(1) + error(2) + error(3); }
};

void measure(const std::vector<Counted>& colours, Box& box)
{
    Sums sums;
    for (std::size_t i = box.begin; i < box.end; ++i)
        sums.add(colours[i]);
    box.error = sums.error();
    box.channel = 0;
    for (int c = 1; c < 4; ++c)
        if (sums.error(c) > sums.error(box.channel))
            box.channel = c;
}

// Cuts the colours into at most `entries` boxes, each time the box whose pixels lie farthest from
// their mean, across its channel of the largest spread where the two halves lie nearest to
// their own means; each box gives the mean of its pixels. Gradients, which cover many pixels,
// get many entries and show no bands; the few pixels of letters' edges share a few. Total orders
// throughout, so the palette is the same on every machine.
std::vector<Colour> cutPalette(std::vector<Counted> colours, std::size_t entries)
{
    std::vector<Colour> palette;
    if (colours.empty() || entries == 0)
        return palette;
    std::vector<Box> boxes { { 0, colours.size() } };
    measure(colours, boxes[0]);
    while (boxes.size() < entries) {
        auto worst = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
            const bool aCuts = a.end - a.begin > 1, bCuts = b.end - b.begin > 1;
            if (aCuts != bCuts)
                return !aCuts;
            return a.error < b.error;
        });
        if (worst->end - worst->begin < 2 || worst->error <= 0)
            break;
        const Box box = *worst;
        std::sort(colours.begin() + std::ptrdiff_t(box.begin), colours.begin() + std::ptrdiff_t(box.end),
            [channel = box.channel](const Counted& a, const Counted& b) {
                const int ca = channelOf(a.colour, channel), cb = channelOf(b.colour, channel);
                return ca != cb ? ca < cb : a.colour < b.colour;
            });
        Sums whole;
        for (std::size_t i = box.begin; i < box.end; ++i)
            whole.add(colours[i]);
        Sums below;
        std::size_t cut = box.begin + 1;
        double best = -1;
        for (std::size_t i = box.begin; i + 1 < box.end; ++i) {
            below.add(colours[i]);
            // Only between two values of the channel, so that equal values stay together.
            if (channelOf(colours[i].colour, box.channel) == channelOf(colours[i + 1].colour, box.channel))
                continue;
            Sums above;
            above.pixels = whole.pixels - below.pixels;
            for (int c = 0; c < 4; ++c) {
                above.sum[c] = whole.sum[c] - below.sum[c];
                above.squares[c] = whole.squares[c] - below.squares[c];
            }
            const double error = below.error() + above.error();
            if (best < 0 || error < best) {
                best = error;
                cut = i + 1;
            }
        }
        Box first { box.begin, cut }, second { cut, box.end };
        measure(colours, first);
        measure(colours, second);
        *worst = first;
        boxes.push_back(second);
    }
    for (const Box& box : boxes) {
        Sums sums;
        for (std::size_t i = box.begin; i < box.end; ++i)
            sums.add(colours[i]);
        Colour mean {};
        for (int c = 0; c < 4; ++c)
            mean[std::size_t(c)] = std::uint8_t((sums.sum[c] + sums.pixels / 2) / sums.pixels);
        palette.push_back(mean);
    }
    return palette;
}

int distance(const Colour& a, const Colour& b)
{
    int sum = 0;
    for (std::size_t c = 0; c < 4; ++c)
        sum += (int(a[c]) - int(b[c])) * (int(a[c]) - int(b[c]));
    return sum;
}

} // namespace

IndexedPicture IndexedPicture::fromRGBA(std::size_t width, std::size_t height, std::span<const std::uint8_t> rgba)
{
    IndexedPicture picture;
    picture.m_width = width;
    picture.m_height = height;
    const std::size_t count = std::min(width * height, rgba.size() / 4);
    std::unordered_map<std::uint32_t, std::uint64_t> histogram;
    for (std::size_t i = 0; i < count; ++i)
        ++histogram[pack(&rgba[i * 4])];
    std::vector<Counted> colours;
    colours.reserve(histogram.size());
    for (const auto& [colour, pixels] : histogram)
        colours.push_back({ colour, pixels });
    // The most frequent first; equal counts in colour order, for a palette that does not depend on
    // the hash table's order.
    std::sort(colours.begin(), colours.end(),
        [](const Counted& a, const Counted& b) { return a.pixels != b.pixels ? a.pixels > b.pixels : a.colour < b.colour; });

    if (colours.size() <= kPaletteSize) {
        for (const auto& colour : colours)
            picture.m_palette.push_back(unpack(colour.colour));
    } else {
        const std::uint64_t frequent = std::max<std::uint64_t>(kFewestFrequentPixels, count / kFrequentShare);
        std::size_t exact = 0;
        while (exact < kMostExactEntries && colours[exact].pixels >= frequent)
            ++exact;
        for (std::size_t i = 0; i < exact; ++i)
            picture.m_palette.push_back(unpack(colours[i].colour));
        auto cut = cutPalette(std::vector<Counted>(colours.begin() + std::ptrdiff_t(exact), colours.end()), kPaletteSize - exact);
        picture.m_palette.insert(picture.m_palette.end(), cut.begin(), cut.end());
    }

    std::unordered_map<std::uint32_t, std::uint8_t> indexOf;
    indexOf.reserve(colours.size());
    for (const auto& colour : colours)
        indexOf.emplace(colour.colour, picture.nearestIndex(unpack(colour.colour)));
    picture.m_indices.resize(width * height);
    for (std::size_t i = 0; i < count; ++i)
        picture.m_indices[i] = indexOf[pack(&rgba[i * 4])];
    if (picture.m_palette.empty())
        picture.m_palette.push_back({ 0, 0, 0, 0 });
    return picture;
}

std::uint8_t IndexedPicture::nearestIndex(const Colour& colour) const
{
    std::size_t best = 0;
    int bestDistance = distance(colour, m_palette.empty() ? Colour {} : m_palette[0]);
    for (std::size_t i = 1; i < m_palette.size() && bestDistance > 0; ++i)
        if (const int d = distance(colour, m_palette[i]); d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    return std::uint8_t(best);
}

std::vector<std::uint8_t> IndexedPicture::rgba() const
{
    std::vector<std::uint8_t> out(m_indices.size() * 4);
    for (std::size_t i = 0; i < m_indices.size(); ++i)
        std::copy_n(m_palette[m_indices[i]].begin(), 4, out.begin() + std::ptrdiff_t(i * 4));
    return out;
}

int IndexedPicture::largestDifferenceFrom(std::span<const std::uint8_t> rgba) const
{
    int largest = 0;
    const std::size_t count = std::min(m_indices.size(), rgba.size() / 4);
    for (std::size_t i = 0; i < count; ++i) {
        const Colour& mine = m_palette[m_indices[i]];
        for (std::size_t c = 0; c < 4; ++c)
            largest = std::max(largest, std::abs(int(mine[c]) - int(rgba[i * 4 + c])));
    }
    return largest;
}

Result<IndexedPicture> IndexedPicture::readPNG(const std::filesystem::path& path)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return Failure(path.string() + ": " + image.message);
    image.format = PNG_FORMAT_RGBA_COLORMAP;
    IndexedPicture picture;
    picture.m_width = image.width;
    picture.m_height = image.height;
    picture.m_indices.resize(PNG_IMAGE_SIZE(image));
    std::vector<std::uint8_t> colours(PNG_IMAGE_COLORMAP_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.m_indices.data(), 0, colours.data())) {
        std::string reason = path.string() + ": " + image.message;
        png_image_free(&image);
        return Failure(std::move(reason));
    }
    for (std::size_t i = 0; i < image.colormap_entries; ++i)
        picture.m_palette.push_back({ colours[i * 4], colours[i * 4 + 1], colours[i * 4 + 2], colours[i * 4 + 3] });
    return picture;
}

Result<void> IndexedPicture::writePNG(const std::filesystem::path& path) const
{
    const bool alpha = std::any_of(m_palette.begin(), m_palette.end(), [](const Colour& c) { return c[3] != 255; });
    const std::size_t channels = alpha ? 4 : 3;
    std::vector<std::uint8_t> colours;
    for (const Colour& colour : m_palette)
        colours.insert(colours.end(), colour.begin(), colour.begin() + std::ptrdiff_t(channels));
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(m_width);
    image.height = png_uint_32(m_height);
    image.format = alpha ? PNG_FORMAT_RGBA_COLORMAP : PNG_FORMAT_RGB_COLORMAP;
    image.colormap_entries = png_uint_32(m_palette.size());
    if (!png_image_write_to_file(&image, path.c_str(), 0, m_indices.data(), 0, colours.data()))
        return Failure(path.string() + ": " + image.message);
    return {};
}

} // namespace dv::testing
