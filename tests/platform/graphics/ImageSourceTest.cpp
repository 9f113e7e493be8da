#include "GraphicsTestSupport.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/UIImage.h"

#include <gtest/gtest.h>
#include <webp/encode.h>
#include <webp/mux.h>

using namespace dv::test;

namespace {

const std::vector<GifColorType> kPalette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

std::vector<GifByteType> filled(int w, int h, GifByteType index) { return std::vector<GifByteType>(std::size_t(w * h), index); }

double number(const Ref<NSDictionary>& dict, const Ref<NSString>& key)
{
    auto n = dict ? dv::as<NSNumber>(dict->objectForKey(key)) : nil;
    return n ? n->doubleValue() : -1;
}

Ref<NSDictionary> gifDictionary(const CGImageSourceRef& source, std::size_t index)
{
    auto props = CGImageSourceCopyPropertiesAtIndex(source, index, nil);
    return props ? dv::as<NSDictionary>(props->objectForKey(kCGImagePropertyGIFDictionary)) : nil;
}

// Top half red, bottom half blue.
CGImageRef twoBands(std::size_t w, std::size_t h)
{
    return makeRGBAImage(w, h, [h](std::size_t, std::size_t y) { return y < h / 2 ? Pixel {255, 0, 0, 255} : Pixel {0, 0, 255, 255}; });
}

} // namespace

TEST(ImageSourceTest, GifFramesDelaysAndLoopCount)
{
    auto data = writeGif(4, 4, kPalette,
        {{0, 0, 4, 4, 0, DISPOSAL_UNSPECIFIED, -1, {}, filled(4, 4, 1)}, {0, 0, 4, 4, 5, DISPOSAL_UNSPECIFIED, -1, {}, filled(4, 4, 2)},
            {0, 0, 4, 4, 20, DISPOSAL_UNSPECIFIED, -1, {}, filled(4, 4, 3)}},
        0);
    auto source = CGImageSourceCreateWithData(data, nil);
    EXPECT_EQ(dv::str(CGImageSourceGetType(source)), "com.compuserve.gif");
    ASSERT_EQ(CGImageSourceGetCount(source), 3u);
    EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);

    // A zero delay is shown as 0.1 s; the unclamped value keeps what the file says.
    EXPECT_DOUBLE_EQ(number(gifDictionary(source, 0), kCGImagePropertyGIFDelayTime), 0.1);
    EXPECT_DOUBLE_EQ(number(gifDictionary(source, 0), kCGImagePropertyGIFUnclampedDelayTime), 0.0);
    EXPECT_DOUBLE_EQ(number(gifDictionary(source, 1), kCGImagePropertyGIFUnclampedDelayTime), 0.05);
    EXPECT_DOUBLE_EQ(number(gifDictionary(source, 1), kCGImagePropertyGIFDelayTime), 0.05);
    EXPECT_DOUBLE_EQ(number(gifDictionary(source, 2), kCGImagePropertyGIFDelayTime), 0.2);
    auto fileGif = dv::as<NSDictionary>(CGImageSourceCopyProperties(source, nil)->objectForKey(kCGImagePropertyGIFDictionary));
    EXPECT_DOUBLE_EQ(number(fileGif, kCGImagePropertyGIFLoopCount), 0);

    auto props = CGImageSourceCopyPropertiesAtIndex(source, 2, nil);
    EXPECT_EQ(number(props, kCGImagePropertyPixelWidth), 4);
    EXPECT_EQ(pixelAt(CGImageSourceCreateImageAtIndex(source, 0, nil), 1, 1), (Pixel {255, 0, 0, 255}));
    EXPECT_EQ(pixelAt(CGImageSourceCreateImageAtIndex(source, 2, nil), 1, 1), (Pixel {0, 0, 255, 255}));
    EXPECT_EQ(pixelAt(CGImageSourceCreateImageAtIndex(source, 1, nil), 3, 3), (Pixel {0, 255, 0, 255}));
    EXPECT_FALSE(CGImageSourceCreateImageAtIndex(source, 3, nil));

    // Without the application extension there is no loop count.
    auto once = writeGif(2, 2, kPalette, {{0, 0, 2, 2, 3, 0, -1, {}, filled(2, 2, 1)}});
    auto onceProps = CGImageSourceCopyProperties(CGImageSourceCreateWithData(once, nil), nil);
    EXPECT_FALSE(onceProps->objectForKey(kCGImagePropertyGIFDictionary));
}

TEST(ImageSourceTest, GifFramesAreComposedWithDisposalTransparencyAndLocalColours)
{
    // Frame 0: the whole 4x4 screen red. Frame 1: a 2x2 green patch at (1,1) whose index 0 is
    // transparent in its corner, disposed to background. Frame 2: one pixel from a local table
    // (index 1 = white) at (3,3), restored to previous. Frame 3: blue pixel at (0,0), interlaced 1x1.
    std::vector<GifByteType> patch = {0, 2, 2, 2};
    auto data = writeGif(4, 4, kPalette,
        {
            {0, 0, 4, 4, 10, DISPOSE_DO_NOT, -1, {}, filled(4, 4, 1)},
            {1, 1, 2, 2, 10, DISPOSE_BACKGROUND, 0, {}, patch},
            {3, 3, 1, 1, 10, DISPOSE_PREVIOUS, -1, {{0, 0, 0}, {255, 255, 255}}, {1}},
            {0, 0, 1, 1, 10, DISPOSE_DO_NOT, -1, {}, {3}, true},
        });
    auto source = CGImageSourceCreateWithData(data, nil);
    ASSERT_EQ(CGImageSourceGetCount(source), 4u);
    auto f1 = CGImageSourceCreateImageAtIndex(source, 1, nil);
    EXPECT_EQ(pixelAt(f1, 1, 1), (Pixel {255, 0, 0, 255})) << "transparent index shows the frame below";
    EXPECT_EQ(pixelAt(f1, 2, 2), (Pixel {0, 255, 0, 255}));
    EXPECT_EQ(pixelAt(f1, 0, 0), (Pixel {255, 0, 0, 255}));
    auto f2 = CGImageSourceCreateImageAtIndex(source, 2, nil);
    EXPECT_EQ(pixelAt(f2, 2, 2)[3], 0) << "frame 1's area was cleared to transparent";
    EXPECT_EQ(pixelAt(f2, 3, 3), (Pixel {255, 255, 255, 255}));
    auto f3 = CGImageSourceCreateImageAtIndex(source, 3, nil);
    EXPECT_EQ(pixelAt(f3, 3, 3), (Pixel {255, 0, 0, 255})) << "frame 2 restored what was before it";
    EXPECT_EQ(pixelAt(f3, 0, 0), (Pixel {0, 0, 255, 255}));
    EXPECT_EQ(pixelAt(f3, 2, 2)[3], 0);

    // Asking out of order gives the same frames.
    auto again = CGImageSourceCreateWithData(data, nil);
    EXPECT_EQ(dv::imagePixelsRGBA8(CGImageSourceCreateImageAtIndex(again, 3, nil)), dv::imagePixelsRGBA8(f3));
    EXPECT_EQ(dv::imagePixelsRGBA8(CGImageSourceCreateImageAtIndex(again, 1, nil)), dv::imagePixelsRGBA8(f1));
}

TEST(ImageSourceTest, InterlacedGifRowsLandInPlace)
{
    std::vector<GifByteType> rows;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 3; ++x)
            rows.push_back(GifByteType(y % 4));
    auto data = writeGif(3, 10, kPalette, {{0, 0, 3, 10, 0, 0, -1, {}, rows, true}});
    auto image = UIImage::imageWithData(data);
    ASSERT_TRUE(image);
    const Pixel colours[] = {{0, 0, 0, 255}, {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(pixelAt(image->CGImage(), 1, std::size_t(y)), colours[y % 4]) << y;
}

TEST(ImageSourceTest, PropertiesComeWithoutDecoding)
{
    auto jpeg = UIImageJPEGRepresentation(UIImage::imageWithCGImage(twoBands(30, 20), 1, UIImageOrientationRight), 0.7);
    // Only the first 300 bytes: the header is there, the scan is not.
    auto source = CGImageSourceCreateWithData(prefix(jpeg, 300), nil);
    EXPECT_EQ(CGImageSourceGetCount(source), 1u);
    auto props = CGImageSourceCopyPropertiesAtIndex(source, 0, nil);
    ASSERT_TRUE(props);
    EXPECT_EQ(number(props, kCGImagePropertyPixelWidth), 30);
    EXPECT_EQ(number(props, kCGImagePropertyPixelHeight), 20);
    EXPECT_EQ(number(props, kCGImagePropertyOrientation), 6);

    auto plain = CGImageSourceCreateWithData(UIImageJPEGRepresentation(UIImage::imageWithCGImage(twoBands(8, 8)), 0.7), nil);
    EXPECT_FALSE(CGImageSourceCopyPropertiesAtIndex(plain, 0, nil)->objectForKey(kCGImagePropertyOrientation));
    EXPECT_FALSE(CGImageSourceCopyPropertiesAtIndex(plain, 1, nil));
}

TEST(ImageSourceTest, PartialBaselineJpegShowsTheRowsReceivedAtTheTop)
{
    // Noisy bands, so that the scan, not the tables, makes up most of the file.
    auto bands = makeRGBAImage(64, 64, [](std::size_t x, std::size_t y) {
        const auto noise = std::uint8_t((x * 131 + y * 71) % 23);
        return y < 32 ? Pixel {std::uint8_t(255 - noise), noise, noise, 255} : Pixel {noise, noise, std::uint8_t(255 - noise), 255};
    });
    auto jpeg = UIImageJPEGRepresentation(UIImage::imageWithCGImage(bands), 0.9);
    auto source = CGImageSourceCreateIncremental(nil);
    EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusReadingHeader);
    // Half of the entropy-coded scan: the tables before it are complete.
    std::size_t scan = 0;
    while (scan + 1 < jpeg->length() && !(jpeg->bytes()[scan] == 0xFF && jpeg->bytes()[scan + 1] == 0xDA))
        ++scan;
    CGImageSourceUpdateData(source, prefix(jpeg, scan + (jpeg->length() - scan) / 2), false);
    EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusIncomplete);
    auto partial = CGImageSourceCreateImageAtIndex(source, 0, nil);
    ASSERT_TRUE(partial);
    // As wide as the image and as high as the rows received: about half of them.
    EXPECT_EQ(CGImageGetWidth(partial), 64u);
    EXPECT_GE(CGImageGetHeight(partial), 16u);
    EXPECT_LE(CGImageGetHeight(partial), 48u);
    EXPECT_TRUE(near(pixelAt(partial, 10, 2), pixelAt(bands, 10, 2), 24)) << show(pixelAt(partial, 10, 2));

    CGImageSourceUpdateData(source, jpeg, true);
    EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);
    auto full = CGImageSourceCreateImageAtIndex(source, 0, nil);
    EXPECT_EQ(CGImageGetHeight(full), 64u);
    EXPECT_TRUE(near(pixelAt(full, 10, 63), pixelAt(bands, 10, 63), 24)) << show(pixelAt(full, 10, 63));

    // A download cut short is drawn as far as it went, and said to have ended unexpectedly;
    // UIImage wants the whole picture.
    auto cutData = prefix(jpeg, scan + (jpeg->length() - scan) / 2);
    auto cut = CGImageSourceCreateWithData(cutData, nil);
    EXPECT_EQ(CGImageSourceGetStatus(cut), kCGImageStatusUnexpectedEOF);
    auto cutImage = CGImageSourceCreateImageAtIndex(cut, 0, nil);
    ASSERT_TRUE(cutImage);
    EXPECT_EQ(CGImageGetHeight(cutImage), CGImageGetHeight(partial));
    EXPECT_FALSE(UIImage::imageWithData(cutData));
}

TEST(ImageSourceTest, PartialPngShowsTheRowsReceived)
{
    auto png = UIImagePNGRepresentation(UIImage::imageWithCGImage(makeRGBAImage(50, 50, [](std::size_t x, std::size_t y) {
        return Pixel {std::uint8_t(y * 5), std::uint8_t(x * 5), 7, 255};
    })));
    auto source = CGImageSourceCreateIncremental(nil);
    CGImageSourceUpdateData(source, prefix(png, png->length() / 2), false);
    auto partial = CGImageSourceCreateImageAtIndex(source, 0, nil);
    ASSERT_TRUE(partial);
    EXPECT_EQ(pixelAt(partial, 3, 0), (Pixel {0, 15, 7, 255}));
    EXPECT_GT(CGImageGetHeight(partial), 0u);
    EXPECT_LT(CGImageGetHeight(partial), 50u);
    // Too little for one row: nothing yet.
    CGImageSourceUpdateData(source, prefix(png, 60), false);
    EXPECT_EQ(CGImageSourceGetCount(source), 1u);
    EXPECT_FALSE(CGImageSourceCreateImageAtIndex(source, 0, nil));
}

TEST(ImageSourceTest, GifCountGrowsAsFramesArrive)
{
    auto data = writeGif(8, 8, kPalette,
        {{0, 0, 8, 8, 4, 0, -1, {}, filled(8, 8, 1)}, {0, 0, 8, 8, 4, 0, -1, {}, filled(8, 8, 2)}, {0, 0, 8, 8, 4, 0, -1, {}, filled(8, 8, 3)}});
    auto source = CGImageSourceCreateIncremental(nil);
    std::size_t last = 0;
    for (std::size_t n = 0; n <= data->length(); ++n) {
        CGImageSourceUpdateData(source, prefix(data, n), n == data->length());
        const std::size_t count = CGImageSourceGetCount(source);
        ASSERT_GE(count, last);
        last = count;
        if (count > 0) {
            ASSERT_TRUE(CGImageSourceCreateImageAtIndex(source, count - 1, nil)) << n;
        }
    }
    EXPECT_EQ(last, 3u);
}

TEST(ImageSourceTest, MutableDataIsCopiedWhenTheSourceIsMade)
{
    auto png = UIImagePNGRepresentation(UIImage::imageWithCGImage(twoBands(4, 4)));
    auto buffer = NSMutableData::dataWithData(png);
    auto source = CGImageSourceCreateWithData(buffer, nil);
    buffer->setLength(3);
    EXPECT_TRUE(CGImageSourceCreateImageAtIndex(source, 0, nil));
    EXPECT_FALSE(CGImageSourceCreateWithData(nil, nil));
    EXPECT_EQ(CGImageSourceGetCount(nil), 0u);
}

TEST(ImageSourceTest, AnimatedGifThroughUIImageGivesTheFirstFrame)
{
    auto data = writeGif(2, 2, kPalette, {{0, 0, 2, 2, 4, 0, -1, {}, filled(2, 2, 2)}, {0, 0, 2, 2, 4, 0, -1, {}, filled(2, 2, 3)}});
    auto image = UIImage::imageWithData(data);
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->images());
    EXPECT_EQ(pixelAt(image->CGImage(), 0, 0), (Pixel {0, 255, 0, 255}));
}

TEST(ImageSourceTest, AnimatedWebpFramesDelaysAndLoopCount)
{
    WebPAnimEncoderOptions options;
    ASSERT_TRUE(WebPAnimEncoderOptionsInit(&options));
    options.anim_params.loop_count = 3;
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(4, 4, &options);
    WebPConfig config;
    ASSERT_TRUE(WebPConfigInit(&config));
    config.lossless = 1;
    const Pixel colours[] = {{255, 0, 0, 255}, {0, 0, 255, 255}};
    int timestamp = 0;
    for (int i = 0; i < 2; ++i) {
        auto rgba = dv::imagePixelsRGBA8(makeRGBAImage(4, 4, [&](auto, auto) { return colours[i]; }));
        WebPPicture picture;
        ASSERT_TRUE(WebPPictureInit(&picture));
        picture.use_argb = 1;
        picture.width = 4;
        picture.height = 4;
        ASSERT_TRUE(WebPPictureImportRGBA(&picture, rgba.data(), 16));
        ASSERT_TRUE(WebPAnimEncoderAdd(encoder, &picture, timestamp, &config));
        WebPPictureFree(&picture);
        timestamp += i == 0 ? 50 : 200;
    }
    WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr);
    WebPData assembled;
    WebPDataInit(&assembled);
    ASSERT_TRUE(WebPAnimEncoderAssemble(encoder, &assembled));
    auto data = NSData::dataWithBytes(assembled.bytes, assembled.size);
    WebPDataClear(&assembled);
    WebPAnimEncoderDelete(encoder);

    auto source = CGImageSourceCreateWithData(data, nil);
    ASSERT_EQ(CGImageSourceGetCount(source), 2u);
    auto webp = [&](std::size_t i) {
        return dv::as<NSDictionary>(CGImageSourceCopyPropertiesAtIndex(source, i, nil)->objectForKey(kCGImagePropertyWebPDictionary));
    };
    EXPECT_DOUBLE_EQ(number(webp(0), kCGImagePropertyWebPUnclampedDelayTime), 0.05);
    EXPECT_DOUBLE_EQ(number(webp(1), kCGImagePropertyWebPDelayTime), 0.2);
    auto file = dv::as<NSDictionary>(CGImageSourceCopyProperties(source, nil)->objectForKey(kCGImagePropertyWebPDictionary));
    EXPECT_EQ(number(file, kCGImagePropertyWebPLoopCount), 3);
    EXPECT_EQ(pixelAt(CGImageSourceCreateImageAtIndex(source, 0, nil), 2, 2), colours[0]);
    EXPECT_EQ(pixelAt(CGImageSourceCreateImageAtIndex(source, 1, nil), 2, 2), colours[1]);
    EXPECT_EQ(pixelAt(UIImage::imageWithData(data)->CGImage(), 0, 0), colours[0]);
}

TEST(ImageSourceTest, CountAndPropertiesDecodeNoMoreThanTheHeader)
{
    // 1200 x 900 pixels: 3.2 MB decoded at least.
    const Ref<NSData> files[] = {
        UIImagePNGRepresentation(UIImage::imageWithCGImage(photoLike(1200, 900))),
        writeJpeg(photoLike(1200, 900)),
        writeJpeg(photoLike(1200, 900), {.progressive = true}),
    };
    for (const auto& data : files) {
        CGImageSourceRef source;
        auto growth = peakMemoryGrowth([&] {
            source = CGImageSourceCreateWithData(data, nil);
            EXPECT_EQ(CGImageSourceGetCount(source), 1u);
            EXPECT_EQ(number(CGImageSourceCopyPropertiesAtIndex(source, 0, nil), kCGImagePropertyPixelWidth), 1200);
        });
        if (growth) {
            EXPECT_LT(*growth, 1u << 20);
        }
        // The image is still all there when asked for.
        EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);
        auto image = CGImageSourceCreateImageAtIndex(source, 0, nil);
        ASSERT_TRUE(image);
        EXPECT_EQ(storedRows(image), storedRows(UIImage::imageWithData(data)->CGImage()));
    }
}
