// Decoded pixels against an independent account of what the file holds: for PNG, the samples we
// wrote, widened as the format defines; for JPEG and WebP, the codec library's own one-call
// decoding. Every file is decoded at once and in many small updates.
#include "GraphicsTestSupport.h"

#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/UIImage.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <webp/decode.h>
#include <webp/encode.h>

using namespace dv::test;

namespace {

struct PngCase {
    int colourType;
    int depth;
    bool transparency; // a tRNS chunk
    bool interlaced;
};

// The samples a file of `c` holds at pixel i, as written (before packing).
std::vector<unsigned> writtenSamples(const PngCase& c, std::size_t i)
{
    const unsigned max = (1u << c.depth) - 1;
    const unsigned v = unsigned(i * 2654435761u >> 7);
    switch (c.colourType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
        return {v % (max + 1)};
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return {v % (max + 1), (v >> 3) % (max + 1)};
    case PNG_COLOR_TYPE_RGB:
        return {v % (max + 1), (v >> 2) % (max + 1), (v >> 5) % (max + 1)};
    default:
        return {v % (max + 1), (v >> 2) % (max + 1), (v >> 5) % (max + 1), (v >> 9) % (max + 1)};
    }
}

// The decoded samples the format defines for them: palette entries looked up, small grey depths
// widened to 8 bits, an alpha sample added by transparency, 16 bits kept.
std::vector<unsigned> expectedSamples(const PngCase& c, std::vector<unsigned> s, const std::vector<png_color>& palette,
    const std::vector<png_byte>& paletteAlpha, unsigned transparent)
{
    const unsigned top = c.depth == 16 ? 65535 : 255;
    switch (c.colourType) {
    case PNG_COLOR_TYPE_PALETTE: {
        const png_color& e = palette[s[0]];
        std::vector<unsigned> out = {e.red, e.green, e.blue};
        if (c.transparency)
            out.push_back(s[0] < paletteAlpha.size() ? paletteAlpha[s[0]] : 255);
        return out;
    }
    case PNG_COLOR_TYPE_GRAY: {
        const unsigned widened = c.depth < 8 ? s[0] * 255 / ((1u << c.depth) - 1) : s[0];
        std::vector<unsigned> out = {widened};
        if (c.transparency)
            out.push_back(s[0] == transparent ? 0 : top);
        return out;
    }
    case PNG_COLOR_TYPE_RGB: {
        const bool clear = c.transparency && s[0] == transparent && s[1] == transparent && s[2] == transparent;
        return c.transparency ? std::vector<unsigned> {s[0], s[1], s[2], clear ? 0 : top} : std::vector<unsigned> {s[0], s[1], s[2]};
    }
    default:
        return s;
    }
}

} // namespace

TEST(ImageConformanceTest, PngEveryColourTypeDepthAndInterlacing)
{
    std::vector<PngCase> cases;
    for (bool interlaced : {false, true}) {
        for (int depth : {1, 2, 4, 8, 16})
            for (bool trns : {false, true})
                cases.push_back({PNG_COLOR_TYPE_GRAY, depth, trns, interlaced});
        for (int depth : {1, 2, 4, 8})
            for (bool trns : {false, true})
                cases.push_back({PNG_COLOR_TYPE_PALETTE, depth, trns, interlaced});
        for (int depth : {8, 16}) {
            cases.push_back({PNG_COLOR_TYPE_RGB, depth, false, interlaced});
            cases.push_back({PNG_COLOR_TYPE_RGB, depth, true, interlaced});
            cases.push_back({PNG_COLOR_TYPE_GRAY_ALPHA, depth, false, interlaced});
            cases.push_back({PNG_COLOR_TYPE_RGB_ALPHA, depth, false, interlaced});
        }
    }
    for (const auto& c : cases) {
        for (auto [w, h] : {std::pair<std::uint32_t, std::uint32_t> {13, 11}, {1, 1}, {3, 9}}) {
            SCOPED_TRACE(testing::Message() << "type " << c.colourType << " depth " << c.depth << " tRNS " << c.transparency
                                            << " interlaced " << c.interlaced << " " << w << "x" << h);
            PngLayout layout;
            layout.width = w;
            layout.height = h;
            layout.bitDepth = c.depth;
            layout.colourType = c.colourType;
            layout.interlaced = c.interlaced;
            const unsigned transparent = 1;
            if (c.colourType == PNG_COLOR_TYPE_PALETTE) {
                for (int i = 0; i < (1 << c.depth); ++i)
                    layout.palette.push_back({png_byte(i * 37), png_byte(255 - i * 11), png_byte(i * 5)});
                if (c.transparency) {
                    layout.paletteAlpha = {0, 128, 77}; // entries past these are opaque
                    layout.paletteAlpha.resize(std::min<std::size_t>(3, layout.palette.size()));
                }
            } else if (c.transparency && c.colourType == PNG_COLOR_TYPE_GRAY) {
                layout.greyTransparent = true; // the writer's tRNS for grey; RGB below
                layout.transparentGrey = transparent;
            }
            // Pack the samples into rows as the file stores them.
            const int samples = int(writtenSamples(c, 0).size());
            const std::size_t rowBits = std::size_t(w) * std::size_t(samples * c.depth);
            const std::size_t rowBytes = (rowBits + 7) / 8;
            layout.rows.assign(rowBytes * h, 0);
            std::vector<unsigned> expected;
            for (std::size_t y = 0; y < h; ++y) {
                for (std::size_t x = 0; x < w; ++x) {
                    auto s = writtenSamples(c, y * w + x);
                    for (int k = 0; k < samples; ++k) {
                        const std::size_t bit = x * std::size_t(samples * c.depth) + std::size_t(k * c.depth);
                        std::uint8_t* row = layout.rows.data() + y * rowBytes;
                        if (c.depth == 16) {
                            row[bit / 8] = std::uint8_t(s[std::size_t(k)] >> 8);
                            row[bit / 8 + 1] = std::uint8_t(s[std::size_t(k)]);
                        } else {
                            row[bit / 8] |= std::uint8_t(s[std::size_t(k)] << (8 - c.depth - int(bit % 8)));
                        }
                    }
                    auto e = expectedSamples(c, s, layout.palette, layout.paletteAlpha, transparent);
                    expected.insert(expected.end(), e.begin(), e.end());
                }
            }
            auto data = writePng(layout);
            if (c.colourType == PNG_COLOR_TYPE_RGB && c.transparency) {
                // An RGB tRNS chunk (transparent colour 1, 1, 1) inserted before the image data.
                const std::size_t idat = pngChunkAt(data, "IDAT");
                const std::uint8_t v = transparent;
                std::vector<std::uint8_t> chunk = {0, 0, 0, 6, 't', 'R', 'N', 'S', 0, v, 0, v, 0, v, 0, 0, 0, 0};
                auto patched = NSMutableData::dataWithData(prefix(data, idat));
                patched->appendBytes(chunk.data(), chunk.size());
                patched->appendBytes(data->bytes() + idat, data->length() - idat);
                fixPngChunkCrc(patched, idat);
                data = patched;
            }

            auto once = UIImage::imageWithData(data);
            ASSERT_TRUE(once);
            auto image = once->CGImage();
            const std::size_t bytesPerSample = image->bitsPerComponent() / 8;
            auto rows = storedRows(image);
            ASSERT_EQ(rows.size(), expected.size() * bytesPerSample);
            for (std::size_t i = 0; i < expected.size(); ++i) {
                const unsigned got = bytesPerSample == 2 ? unsigned(rows[i * 2] << 8 | rows[i * 2 + 1]) : rows[i];
                ASSERT_EQ(got, expected[i]) << "sample " << i;
            }
            auto steps = feedInParts(data, std::max<std::size_t>(2, data->length() / 7));
            EXPECT_EQ(steps.back().status, kCGImageStatusComplete);
            EXPECT_EQ(steps.back().rows, rows);
        }
    }
}

TEST(ImageConformanceTest, JpegMatchesTheLibrarysOwnDecoding)
{
    auto photo = photoLike(75, 61, 9); // sizes that are not whole blocks
    const std::pair<const char*, JpegOptions> variants[] = {
        {"baseline", {}},
        {"baseline 4:4:4", {.fullChroma = true}},
        {"progressive", {.progressive = true}},
        {"progressive 4:4:4", {.quality = 95, .progressive = true, .fullChroma = true}},
        {"grey", {.grey = true}},
        {"progressive grey", {.progressive = true, .grey = true}},
        {"low quality", {.quality = 5}},
        // libjpeg's progressive scripts with a restart marker after every MCU: the most work per
        // block the decoder sees from a usual encoder.
        {"progressive grey, restart every MCU", {.progressive = true, .grey = true, .restartInterval = 1}},
        {"progressive, restart every MCU", {.progressive = true, .restartInterval = 1}},
        {"progressive 4:4:4, restart every MCU", {.progressive = true, .fullChroma = true, .restartInterval = 1}},
    };
    tjhandle tj = tjInitDecompress();
    for (const auto& [name, options] : variants) {
        SCOPED_TRACE(name);
        auto data = writeJpeg(photo, options);
        const int format = options.grey ? TJPF_GRAY : TJPF_BGRX;
        const std::size_t pixelBytes = options.grey ? 1 : 4;
        std::vector<std::uint8_t> expected(75 * 61 * pixelBytes);
        ASSERT_EQ(tjDecompress2(tj, data->bytes(), data->length(), expected.data(), 75, int(75 * pixelBytes), 61, format, 0), 0);
        if (!options.grey)
            for (std::size_t i = 3; i < expected.size(); i += 4)
                expected[i] = 0xFF;
        auto once = UIImage::imageWithData(data);
        ASSERT_TRUE(once);
        EXPECT_EQ(storedRows(once->CGImage()), expected);
        auto steps = feedInParts(data, data->length() / 50);
        EXPECT_EQ(steps.back().status, kCGImageStatusComplete);
        EXPECT_EQ(steps.back().rows, expected);
    }
    tjDestroy(tj);
}

TEST(ImageConformanceTest, WebpMatchesTheLibrarysOwnDecoding)
{
    for (bool lossless : {false, true}) {
        for (bool alpha : {false, true}) {
            SCOPED_TRACE(testing::Message() << "lossless " << lossless << " alpha " << alpha);
            auto rgba = dv::imagePixelsRGBA8(photoLike(57, 43, 11, alpha));
            std::uint8_t* out = nullptr;
            const std::size_t size = lossless ? WebPEncodeLosslessRGBA(rgba.data(), 57, 43, 57 * 4, &out)
                                              : WebPEncodeRGBA(rgba.data(), 57, 43, 57 * 4, 75, &out);
            auto data = NSData::dataWithBytes(out, size);
            WebPFree(out);
            const std::size_t pixelBytes = alpha ? 4 : 3;
            std::vector<std::uint8_t> expected(57 * 43 * pixelBytes);
            ASSERT_TRUE(alpha ? WebPDecodeRGBAInto(data->bytes(), data->length(), expected.data(), expected.size(), 57 * 4)
                              : WebPDecodeRGBInto(data->bytes(), data->length(), expected.data(), expected.size(), 57 * 3));
            auto once = UIImage::imageWithData(data);
            ASSERT_TRUE(once);
            EXPECT_EQ(storedRows(once->CGImage()), expected);
            auto steps = feedInParts(data, data->length() / 40);
            EXPECT_EQ(steps.back().status, kCGImageStatusComplete);
            EXPECT_EQ(steps.back().rows, expected);
        }
    }
}
