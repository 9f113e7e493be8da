// What the decoders answer for data that ends early, is damaged, or claims more than it holds.
#include "GraphicsTestSupport.h"
#include "HostileImages.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/UIImage.h"
#include "platform/graphics/internal/ImageLimits.h"

#include <gtest/gtest.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <filesystem>

using namespace dv::test;

namespace {

Ref<NSData> webpOf(const CGImageRef& image, bool lossless)
{
    auto rgba = dv::imagePixelsRGBA8(image);
    const int w = int(image->width()), h = int(image->height());
    std::uint8_t* out = nullptr;
    const std::size_t size = lossless ? WebPEncodeLosslessRGBA(rgba.data(), w, h, w * 4, &out) : WebPEncodeRGBA(rgba.data(), w, h, w * 4, 80, &out);
    auto data = NSData::dataWithBytes(out, size);
    WebPFree(out);
    return data;
}

Ref<NSData> animatedWebp(int frames, int side)
{
    WebPAnimEncoderOptions options;
    WebPAnimEncoderOptionsInit(&options);
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(side, side, &options);
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = 1;
    for (int i = 0; i < frames; ++i) {
        auto rgba = dv::imagePixelsRGBA8(makeRGBAImage(std::size_t(side), std::size_t(side), [&](std::size_t x, std::size_t) {
            return Pixel {std::uint8_t(i * 40), std::uint8_t(x), 0, 255};
        }));
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = side;
        picture.height = side;
        WebPPictureImportRGBA(&picture, rgba.data(), side * 4);
        WebPAnimEncoderAdd(encoder, &picture, i * 100, &config);
        WebPPictureFree(&picture);
    }
    WebPAnimEncoderAdd(encoder, nullptr, frames * 100, nullptr);
    WebPData assembled;
    WebPDataInit(&assembled);
    WebPAnimEncoderAssemble(encoder, &assembled);
    auto data = NSData::dataWithBytes(assembled.bytes, assembled.size);
    WebPDataClear(&assembled);
    WebPAnimEncoderDelete(encoder);
    return data;
}

Ref<NSData> threeFrameGif()
{
    const std::vector<GifColorType> palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    std::vector<GifFrame> frames;
    for (int i = 0; i < 3; ++i)
        frames.push_back({0, 0, 16, 16, 5, DISPOSAL_UNSPECIFIED, -1, {}, std::vector<GifByteType>(256, GifByteType(i + 1))});
    return writeGif(16, 16, palette, frames, 0);
}

struct Sample {
    const char* name;
    Ref<NSData> data;
};

std::vector<Sample> samples()
{
    auto photo = photoLike(48, 40);
    return {
        {"png", UIImagePNGRepresentation(UIImage::imageWithCGImage(photo))},
        {"jpeg", writeJpeg(photo)},
        {"progressive jpeg", writeJpeg(photo, {.progressive = true})},
        {"gif", threeFrameGif()},
        {"lossy webp", webpOf(photo, false)},
        {"lossless webp", webpOf(photoLike(48, 40, 7, true), true)},
        {"animated webp", animatedWebp(2, 16)},
    };
}

} // namespace

TEST(ImageDataLimitsTest, StatusSaysHowFarTheDataWent)
{
    for (const auto& [name, data] : samples()) {
        SCOPED_TRACE(name);
        auto whole = CGImageSourceCreateWithData(data, nil);
        EXPECT_EQ(CGImageSourceGetStatus(whole), kCGImageStatusComplete);
        EXPECT_GE(CGImageSourceGetCount(whole), 1u);
        EXPECT_TRUE(CGImageSourceCreateImageAtIndex(whole, 0, nil));
        EXPECT_TRUE(UIImage::imageWithData(data));

        // Three quarters of the file, as the last update of a download that broke off.
        auto cut = prefix(data, data->length() * 3 / 4);
        auto cutSource = CGImageSourceCreateWithData(cut, nil);
        EXPECT_EQ(CGImageSourceGetStatus(cutSource), kCGImageStatusUnexpectedEOF);
        // Only a whole picture makes an image; of a GIF, that is its first frame.
        EXPECT_EQ(bool(UIImage::imageWithData(cut)), std::string(name) == "gif");

        auto incremental = CGImageSourceCreateIncremental(nil);
        CGImageSourceUpdateData(incremental, cut, false);
        EXPECT_EQ(CGImageSourceGetStatus(incremental), kCGImageStatusIncomplete);
        CGImageSourceUpdateData(incremental, cut, true);
        EXPECT_EQ(CGImageSourceGetStatus(incremental), kCGImageStatusUnexpectedEOF);
        CGImageSourceUpdateData(incremental, data, true);
        EXPECT_EQ(CGImageSourceGetStatus(incremental), kCGImageStatusComplete);
    }
    // Only the signature: the header has not arrived.
    auto signature = NSData::fromString("\x89PNG\r\n\x1a\n");
    auto incremental = CGImageSourceCreateIncremental(nil);
    CGImageSourceUpdateData(incremental, signature, false);
    EXPECT_EQ(CGImageSourceGetStatus(incremental), kCGImageStatusReadingHeader);
    EXPECT_EQ(CGImageSourceGetStatus(CGImageSourceCreateWithData(signature, nil)), kCGImageStatusUnexpectedEOF);
}

TEST(ImageDataLimitsTest, DamagedDataIsInvalidAndBothEntryPointsRefuseIt)
{
    auto photo = photoLike(40, 40);
    auto png = UIImagePNGRepresentation(UIImage::imageWithCGImage(photo));
    auto badChecksum = NSMutableData::dataWithData(png);
    badChecksum->mutableBytes()[pngChunkAt(png, "IDAT") + 20] ^= 0x01;

    // A colour type and depth that no PNG may have, under a correct checksum.
    auto badHeader = NSMutableData::dataWithData(png);
    badHeader->mutableBytes()[pngChunkAt(png, "IHDR") + 8 + 8] = 3;
    fixPngChunkCrc(badHeader, pngChunkAt(png, "IHDR"));

    auto gif = NSMutableData::dataWithData(threeFrameGif());
    gif->mutableBytes()[gif->length() - 1] = 0x99; // not a record introducer where the trailer was

    auto webp = NSMutableData::dataWithData(webpOf(photo, true));
    for (std::size_t i = 30; i < 60; ++i)
        webp->mutableBytes()[i] ^= 0xA5;

    auto jpeg = NSMutableData::dataWithData(writeJpeg(photo));
    for (std::size_t at = 2; at + 1 < jpeg->length(); ++at) {
        if (jpeg->bytes()[at] == 0xFF && jpeg->bytes()[at + 1] == 0xC4) {
            jpeg->mutableBytes()[at + 4] = 0x7F; // a Huffman table of an impossible class and number
            break;
        }
    }

    for (const auto& [name, data] : std::vector<Sample> {{"png checksum", badChecksum}, {"png header", badHeader}, {"gif", gif},
             {"webp", webp}, {"jpeg", jpeg}}) {
        SCOPED_TRACE(name);
        auto source = CGImageSourceCreateWithData(data, nil);
        EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusInvalidData);
        if (std::string(name) == "gif")
            continue; // below
        EXPECT_FALSE(UIImage::imageWithData(data));
        EXPECT_EQ(CGImageSourceGetCount(source), 0u);
        EXPECT_FALSE(CGImageSourceCreateImageAtIndex(source, 0, nil));
    }
    // The GIF's frames before the damage are whole and stay readable, through both.
    EXPECT_EQ(CGImageSourceGetCount(CGImageSourceCreateWithData(gif, nil)), 3u);
    EXPECT_TRUE(UIImage::imageWithData(gif));
}

TEST(ImageDataLimitsTest, ScanDataThatEndsEarlyStopsWhereTheDataEnds)
{
    // Scan data cut off and followed at once by the end marker: the decoder would make up the
    // rest of the picture; the rows from real data are what there is.
    auto jpeg = writeJpeg(photoLike(64, 64), {.quality = 90});
    auto cut = NSMutableData::dataWithData(prefix(jpeg, jpeg->length() * 6 / 10));
    const std::uint8_t end[] = {0xFF, 0xD9};
    cut->appendBytes(end, 2);
    auto source = CGImageSourceCreateWithData(cut, nil);
    EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusUnexpectedEOF);
    auto partial = CGImageSourceCreateImageAtIndex(source, 0, nil);
    ASSERT_TRUE(partial);
    EXPECT_GT(CGImageGetHeight(partial), 8u);
    EXPECT_LT(CGImageGetHeight(partial), 56u);
    EXPECT_FALSE(UIImage::imageWithData(cut));

    // Bytes lost inside a restart interval: the decoder meets the next restart marker early, and
    // recovers there, as libjpeg does, with the data behind it. The picture is whole.
    auto intact = writeJpeg(photoLike(64, 64), {.quality = 90, .restartRows = 1});
    std::size_t second = 0;
    for (std::size_t at = 2, seen = 0; at + 1 < intact->length() && !second; ++at)
        if (intact->bytes()[at] == 0xFF && intact->bytes()[at + 1] >= 0xD0 && intact->bytes()[at + 1] <= 0xD7 && ++seen == 2)
            second = at;
    ASSERT_NE(second, 0u);
    auto restarts = NSMutableData::dataWithData(prefix(intact, second - 20));
    restarts->appendBytes(intact->bytes() + second, intact->length() - second);
    auto recovered = CGImageSourceCreateWithData(restarts, nil);
    EXPECT_EQ(CGImageSourceGetStatus(recovered), kCGImageStatusComplete);
    EXPECT_EQ(CGImageGetHeight(CGImageSourceCreateImageAtIndex(recovered, 0, nil)), 64u);
    EXPECT_TRUE(UIImage::imageWithData(restarts));
}

TEST(ImageDataLimitsTest, HeadersClaimingHugeImagesAreRefusedWithoutTheirMemory)
{
    const std::vector<Sample> hostile = {
        {"jpeg", jpegClaimingHugeSize(false)},
        {"progressive jpeg", jpegClaimingHugeSize(true)},
        {"png", pngClaimingHugeSize()},
        {"gif with a large table", gifWithHugeScreen(256)},
        {"gif with a small table", gifWithHugeScreen(2)},
    };
    for (const auto& [name, bytes] : hostile) {
        SCOPED_TRACE(name);
        const auto& data = bytes;
        EXPECT_LT(data->length(), 1000u);
        auto growth = peakMemoryGrowth([&] {
            EXPECT_FALSE(UIImage::imageWithData(data));
            auto source = CGImageSourceCreateWithData(data, nil);
            EXPECT_FALSE(CGImageSourceCreateImageAtIndex(source, 0, nil));
            EXPECT_NE(CGImageSourceGetStatus(source), kCGImageStatusComplete);
            // Fed as a download, with every partial image asked for.
            auto incremental = CGImageSourceCreateIncremental(nil);
            for (std::size_t n = 16; n < data->length() + 16; n += 16) {
                CGImageSourceUpdateData(incremental, prefix(data, n), n >= data->length());
                (void)CGImageSourceCreateImageAtIndex(incremental, 0, nil);
            }
        });
        if (growth) {
            EXPECT_LT(*growth, 16u << 20) << "the claim is 400 MB";
        }
    }
    // The JPEG and the PNG claim more than their data can fill; the GIFs' screens are nowhere
    // near filled by their frames.
    EXPECT_EQ(CGImageSourceGetStatus(CGImageSourceCreateWithData(hostile[0].data, nil)), kCGImageStatusInvalidData);
    EXPECT_EQ(CGImageSourceGetCount(CGImageSourceCreateWithData(hostile[3].data, nil)), 0u);
    EXPECT_EQ(CGImageSourceGetStatus(CGImageSourceCreateWithData(hostile[3].data, nil)), kCGImageStatusInvalidData);
}

TEST(ImageDataLimitsTest, TheStatusKeepsNoPixelsAndAnImageOfTheSameBytesIsTheOnlyCopy)
{
    // 3000 x 3000 pixels: 36 MB decoded, in every format that decodes row by row.
    constexpr std::size_t kSide = 3000, kDecoded = kSide * kSide * 4;
    auto photo = photoLike(kSide, kSide, 3, true);
    const std::vector<Sample> files = {
        {"png", writeLargeRgbaPng(kSide, kSide, [](std::uint32_t y, std::uint8_t* row) {
             for (std::size_t x = 0; x < kSide * 4; ++x)
                 row[x] = std::uint8_t((x * 7 + y * 3) >> 2);
         })},
        {"jpeg", writeJpeg(photo)},
        {"progressive jpeg", writeJpeg(photo, {.progressive = true})},
        {"webp", webpOf(photo, false)},
    };
    photo = nil;
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const auto& data = bytes;
        CGImageSourceRef source;
        auto status = peakMemoryGrowth([&] {
            source = CGImageSourceCreateWithData(data, nil);
            EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);
        });
        source = nil;
        Ref<UIImage> image;
        auto both = peakMemoryGrowth([&] {
            source = CGImageSourceCreateWithData(data, nil);
            EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);
            image = UIImage::imageWithData(data);
        });
        ASSERT_TRUE(image);
        EXPECT_EQ(CGImageGetWidth(image->CGImage()), kSide);
        if (status && both) {
            // A decoder's own buffers come on top: a few rows' worth, but a progressive JPEG's
            // holds the coefficients of every scan (three quarters of the picture here) while
            // it reads them, and the source keeps them after its status, for its image.
            const bool progressive = std::string(name) == "progressive jpeg";
            EXPECT_LT(*status, progressive ? kDecoded : kDecoded / 3) << "the status kept pixels";
            EXPECT_LT(*both, progressive ? kDecoded * 11 / 4 : kDecoded * 3 / 2) << "two copies of the picture";
        }
        // The source still gives the image when asked, once.
        EXPECT_EQ(CGImageGetHeight(CGImageSourceCreateImageAtIndex(source, 0, nil)), kSide);
    }
}

TEST(ImageDataLimitsTest, AnAnimationCutByTheMemoryLimitSaysSo)
{
    // Room for three frames of 16 x 16 in one animation.
    const auto image = dv::internal::graphics::maxImagePixels(), animation = dv::internal::graphics::maxAnimationPixels();
    dv::internal::graphics::setPixelLimits(image, 3 * 16 * 16);
    const std::vector<GifColorType> palette = {{0, 0, 0}, {255, 0, 0}};
    std::vector<GifFrame> frames(5, {0, 0, 16, 16, 5, DISPOSAL_UNSPECIFIED, -1, {}, std::vector<GifByteType>(256, 1)});
    for (const auto& [name, data] : std::vector<Sample> {{"gif", writeGif(16, 16, palette, frames)}, {"webp", animatedWebp(5, 16)}}) {
        SCOPED_TRACE(name);
        auto source = CGImageSourceCreateWithData(data, nil);
        EXPECT_EQ(CGImageSourceGetCount(source), 3u);
        EXPECT_TRUE(CGImageSourceCreateImageAtIndex(source, 2, nil));
        auto omitted = dv::as<NSNumber>(CGImageSourceCopyProperties(source, nil)->objectForKey(kCGImagePropertyFramesOmitted));
        ASSERT_TRUE(omitted);
        EXPECT_EQ(omitted->intValue(), 2);
    }
    dv::internal::graphics::setPixelLimits(image, animation);
    auto whole = CGImageSourceCreateWithData(writeGif(16, 16, palette, frames), nil);
    EXPECT_EQ(CGImageSourceGetCount(whole), 5u);
    EXPECT_FALSE(CGImageSourceCopyProperties(whole, nil)->objectForKey(kCGImagePropertyFramesOmitted));
}

TEST(ImageDataLimitsTest, AnAnimatedWebpDecodesNoFrameFurtherThanTheOneAskedFor)
{
    // Twelve frames of 1024 x 1024: 4 MB each as decoded, 48 MB together.
    constexpr std::size_t kSide = 1024, kFrame = kSide * kSide * 4;
    auto data = webpAnimationOfPlainFrames(int(kSide), int(kSide), 12);
    ASSERT_LT(data->length(), 100u * 1024);
    Ref<UIImage> still;
    auto first = peakMemoryGrowth([&] { still = UIImage::imageWithData(data); });
    ASSERT_TRUE(still);
    EXPECT_EQ(pixelAt(still->CGImage(), 500, 500), (Pixel {0, 0, 0, 255}));
    CGImageSourceRef source;
    CGImageRef third;
    auto upToThird = peakMemoryGrowth([&] {
        source = CGImageSourceCreateWithData(data, nil);
        EXPECT_EQ(CGImageSourceGetCount(source), 12u);
        third = CGImageSourceCreateImageAtIndex(source, 2, nil);
    });
    EXPECT_EQ(pixelAt(third, 1000, 3), (Pixel {40, 40, 40, 255}));
    if (first && upToThird) {
        // The frame kept, and the decoder's canvas and the one before it.
        EXPECT_LT(*first, 4 * kFrame) << "frames past the first were decoded";
        EXPECT_LT(*upToThird, 6 * kFrame) << "frames past the third were decoded";
    }
    // The frames after it, asked for later, in any order, each as it is.
    EXPECT_EQ(pixelAt(CGImageSourceCreateImageAtIndex(source, 11, nil), 7, 1000), (Pixel {220, 220, 220, 255}));
    EXPECT_EQ(pixelAt(CGImageSourceCreateImageAtIndex(source, 5, nil), 0, 0), (Pixel {100, 100, 100, 255}));
    EXPECT_EQ(pixelAt(CGImageSourceCreateImageAtIndex(source, 0, nil), 0, 0), (Pixel {0, 0, 0, 255}));
    EXPECT_FALSE(CGImageSourceCreateImageAtIndex(source, 12, nil));
    EXPECT_EQ(CGImageSourceGetCount(source), 12u);
    EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);
}

// The fuzz targets' seeds, decoded as the fuzzers decode them: hostile and damaged files are
// refused, cut-short ones said to end unexpectedly, malformed ones judged alike whether their
// pixels are kept or not, and the others decode whole.
TEST(ImageDataLimitsTest, FuzzSeedsDecodeOrAreRefusedAsTheirNamesSay)
{
    std::size_t files = 0;
    for (const auto& folder : std::filesystem::directory_iterator(DV_IMAGE_CORPUS_DIR)) {
        if (folder.path().filename().string().rfind("fuzz_image_", 0) != 0)
            continue;
        for (const auto& file : std::filesystem::directory_iterator(folder.path())) {
            const std::string name = file.path().filename().string();
            SCOPED_TRACE(name);
            auto data = NSData::dataWithContentsOfFile(NSString::fromUTF8(file.path().string()));
            ASSERT_TRUE(data);
            ++files;
            auto source = CGImageSourceCreateWithData(data, nil);
            auto image = UIImage::imageWithData(data);
            if (name.find("claims-") != std::string::npos || name.find("screen-10000") != std::string::npos
                || name.find("bad-checksum") != std::string::npos || name.rfind("refused-", 0) == 0) {
                EXPECT_FALSE(image);
                EXPECT_EQ(CGImageSourceGetCount(source), 0u);
            } else if (name.find("cut-short") != std::string::npos) {
                EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusUnexpectedEOF);
            } else if (name.find("malformed-") != std::string::npos) {
                // Whatever the verdict, a source asked for it before any image (which decodes
                // and drops the rows) gives the one that decoding the image gives.
                auto decoded = CGImageSourceCreateWithData(data, nil);
                (void)CGImageSourceCreateImageAtIndex(decoded, 0, nil);
                const CGImageSourceStatus status = CGImageSourceGetStatus(source);
                EXPECT_EQ(status, CGImageSourceGetStatus(decoded));
                EXPECT_NE(status, kCGImageStatusReadingHeader);
                EXPECT_NE(status, kCGImageStatusIncomplete);
                EXPECT_NE(status, kCGImageStatusUnknownType);
            } else {
                EXPECT_TRUE(image);
                EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);
            }
        }
    }
    EXPECT_GE(files, 30u);
}
