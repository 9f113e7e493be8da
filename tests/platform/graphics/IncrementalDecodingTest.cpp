// Decoding as the data arrives: the decoder's state is kept between updates, partial images grow
// and never change once given, and the end result is the one-pass decoding.
#include "GraphicsTestSupport.h"

#include "platform/base/NSString.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/UIImage.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <webp/decode.h>
#include <webp/encode.h>

#include <set>

using namespace dv::test;

namespace {

Ref<NSData> webpOf(const CGImageRef& image, bool lossless)
{
    auto rgba = dv::imagePixelsRGBA8(image);
    const int w = int(image->width()), h = int(image->height());
    std::uint8_t* out = nullptr;
    const std::size_t size = lossless ? WebPEncodeLosslessRGBA(rgba.data(), w, h, w * 4, &out) : WebPEncodeRGBA(rgba.data(), w, h, w * 4, 90, &out);
    auto data = NSData::dataWithBytes(out, size);
    WebPFree(out);
    return data;
}

// Every image given along the way is a top part of the final one, unchanged since it was given.
void expectGrowingRows(const std::vector<UpdateStep>& steps)
{
    const auto& last = steps.back();
    ASSERT_TRUE(last.image);
    const std::size_t rowBytes = last.rows.size() / last.image->height();
    std::size_t height = 0;
    for (const auto& step : steps) {
        if (!step.image)
            continue;
        EXPECT_EQ(step.image->width(), last.image->width());
        EXPECT_GE(step.image->height(), height);
        height = step.image->height();
        EXPECT_EQ(storedRows(step.image), step.rows) << "an image given earlier changed";
        EXPECT_TRUE(std::equal(step.rows.begin(), step.rows.end(), last.rows.begin())) << "rows differ from the final ones";
        EXPECT_EQ(step.rows.size(), height * rowBytes);
    }
}

} // namespace

TEST(IncrementalDecodingTest, StillImagesShowTheirRowsAsTheyArrive)
{
    auto photo = photoLike(96, 160, 3, true);
    const std::pair<const char*, Ref<NSData>> files[] = {
        {"png", UIImagePNGRepresentation(UIImage::imageWithCGImage(photo))},
        {"jpeg", writeJpeg(photo, {.quality = 92})},
        {"jpeg 4:4:4", writeJpeg(photo, {.fullChroma = true})},
        {"grey jpeg", writeJpeg(photo, {.grey = true})},
        {"lossy webp", webpOf(photoLike(96, 160), false)},
        {"lossy webp with alpha", webpOf(photo, false)},
        {"lossless webp", webpOf(photo, true)},
    };
    for (const auto& [name, data] : files) {
        SCOPED_TRACE(name);
        auto steps = feedInParts(data, 24);
        expectGrowingRows(steps);
        std::size_t partial = 0;
        for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
            // Until the header is in, the source is reading it; then the image is incomplete.
            if (steps[i].status != kCGImageStatusReadingHeader || i > 2) {
                EXPECT_EQ(steps[i].status, kCGImageStatusIncomplete) << i;
            }
            if (steps[i].image && steps[i].image->height() < steps.back().image->height())
                ++partial;
        }
        EXPECT_GE(partial, 6u) << "rows should show while the data arrives";
        EXPECT_EQ(steps.back().status, kCGImageStatusComplete);
        // The same image as decoding the whole file at once.
        auto once = UIImage::imageWithData(data);
        ASSERT_TRUE(once);
        EXPECT_EQ(storedRows(once->CGImage()), steps.back().rows);
        EXPECT_EQ(CGImageGetBitmapInfo(once->CGImage()), CGImageGetBitmapInfo(steps.back().image));
    }
}

TEST(IncrementalDecodingTest, InterlacedPngShowsNothingUntilItsLastPass)
{
    PngLayout layout;
    layout.width = 40;
    layout.height = 30;
    layout.interlaced = true;
    for (std::uint32_t i = 0; i < layout.width * layout.height; ++i)
        layout.rows.insert(layout.rows.end(), {std::uint8_t(i * 7), std::uint8_t(i * 13), std::uint8_t(i)});
    auto steps = feedInParts(writePng(layout), 10);
    for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
        EXPECT_FALSE(steps[i].image) << i;
        EXPECT_EQ(steps[i].status, kCGImageStatusIncomplete);
    }
    ASSERT_TRUE(steps.back().image);
    EXPECT_EQ(steps.back().rows, layout.rows);
}

TEST(IncrementalDecodingTest, ProgressiveJpegRefinesTheWholePictureAFewTimes)
{
    auto photo = photoLike(160, 120, 5);
    auto data = writeJpeg(photo, {.quality = 90, .progressive = true});
    auto steps = feedInParts(data, 32);
    std::set<const CGImage*> refinements;
    std::size_t firstShown = steps.size();
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const auto& step = steps[i];
        if (!step.image)
            continue;
        firstShown = std::min(firstShown, i);
        EXPECT_EQ(step.image->width(), 160u);
        EXPECT_EQ(step.image->height(), 120u) << "a refinement covers the whole picture";
        EXPECT_EQ(storedRows(step.image), step.rows) << "an image given earlier changed";
        refinements.insert(step.image.get());
    }
    EXPECT_LT(firstShown, steps.size() / 2) << "a first picture comes early";
    // One refinement for every doubling of the data, not one for every update.
    EXPECT_GE(refinements.size(), 3u);
    EXPECT_LE(refinements.size(), 7u);
    EXPECT_EQ(steps.back().status, kCGImageStatusComplete);

    // The final picture is the library's own decoding of the whole file.
    tjhandle tj = tjInitDecompress();
    std::vector<std::uint8_t> expected(160 * 120 * 4);
    ASSERT_EQ(tjDecompress2(tj, data->bytes(), data->length(), expected.data(), 160, 160 * 4, 120, TJPF_BGRX, 0), 0);
    tjDestroy(tj);
    for (std::size_t i = 0; i < expected.size(); i += 4)
        expected[i + 3] = 0xFF;
    EXPECT_EQ(steps.back().rows, expected);
    EXPECT_EQ(storedRows(UIImage::imageWithData(data)->CGImage()), expected);

    // Asking again with no new data gives the same picture, without decoding anything.
    auto source = CGImageSourceCreateIncremental(nil);
    CGImageSourceUpdateData(source, prefix(data, data->length() / 2), false);
    auto first = CGImageSourceCreateImageAtIndex(source, 0, nil);
    ASSERT_TRUE(first);
    EXPECT_EQ(CGImageSourceCreateImageAtIndex(source, 0, nil), first);
}

TEST(IncrementalDecodingTest, DataThatDoesNotContinueStartsTheSourceOver)
{
    auto png = UIImagePNGRepresentation(UIImage::imageWithCGImage(photoLike(30, 30)));
    auto jpeg = writeJpeg(photoLike(20, 10));
    auto source = CGImageSourceCreateIncremental(nil);
    CGImageSourceUpdateData(source, prefix(png, png->length() / 2), false);
    EXPECT_EQ(dv::str(CGImageSourceGetType(source)), "public.png");
    CGImageSourceUpdateData(source, jpeg, true);
    EXPECT_EQ(dv::str(CGImageSourceGetType(source)), "public.jpeg");
    EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);
    EXPECT_EQ(storedRows(CGImageSourceCreateImageAtIndex(source, 0, nil)), storedRows(UIImage::imageWithData(jpeg)->CGImage()));

    // The same length with other bytes where the last data ended is other data too.
    auto other = NSMutableData::dataWithData(jpeg);
    other->mutableBytes()[other->length() - 3] ^= 0xFF;
    CGImageSourceUpdateData(source, other, true);
    EXPECT_NE(storedRows(CGImageSourceCreateImageAtIndex(source, 0, nil)), storedRows(UIImage::imageWithData(jpeg)->CGImage()));
}

TEST(IncrementalDecodingTest, BytesKeptForLaterFramesAreTheSourcesOwn)
{
    // The download buffer grows (and moves) between updates; the GIF's frames are composed later
    // from the bytes the source kept.
    const std::vector<GifColorType> palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}};
    auto gif = writeGif(8, 8, palette,
        {{0, 0, 8, 8, 4, 0, -1, {}, std::vector<GifByteType>(64, 1)}, {0, 0, 8, 8, 4, 0, -1, {}, std::vector<GifByteType>(64, 2)}});
    auto buffer = NSMutableData::data();
    auto source = CGImageSourceCreateIncremental(nil);
    for (std::size_t at = 0; at < gif->length(); at += 5) {
        buffer->appendBytes(gif->bytes() + at, std::min<std::size_t>(5, gif->length() - at));
        CGImageSourceUpdateData(source, buffer, buffer->length() == gif->length());
    }
    buffer->setLength(0);
    ASSERT_EQ(CGImageSourceGetCount(source), 2u);
    EXPECT_EQ(pixelAt(CGImageSourceCreateImageAtIndex(source, 1, nil), 3, 3), (Pixel {0, 255, 0, 255}));
    EXPECT_EQ(pixelAt(CGImageSourceCreateImageAtIndex(source, 0, nil), 3, 3), (Pixel {255, 0, 0, 255}));
}
