#include "ImagesTestSupport.h"

#include "platform/graphics/CGImageSource.h"
#include "platform/system/NSBundle.h"
#include "platform/testing/LargePictures.h"
#include "ui/images/NSDataImageContentType.h"
#include "ui/images/RIImageScaleFromKey.h"
#include "ui/images/UIImageForceDecode.h"
#include "ui/images/UIImageGIF.h"
#include "ui/images/UIImageMultiFormat.h"

#include <cmath>

namespace {

using dv::test::ImagesTest;
using dv::test::Pixel;
using namespace std::literals;

class DecodingHelpersTest : public ImagesTest { };

Ref<NSData> bytes(std::initializer_list<std::uint8_t> list) { return NSData::dataWithVector(std::vector<std::uint8_t>(list)); }

std::string typeOf(const Ref<NSData>& data) { return dv::str(ri_contentTypeForImageData(data)); }

TEST_F(DecodingHelpersTest, ContentTypeComesFromTheFirstBytes)
{
    EXPECT_EQ(typeOf(jpeg(4, 4)), "image/jpeg");
    EXPECT_EQ(typeOf(png(4, 4)), "image/png");
    EXPECT_EQ(typeOf(bytes({0x89, 0x50})), "image/png");
    EXPECT_EQ(typeOf(gif(4, {10})), "image/gif");
    EXPECT_EQ(typeOf(bytes({0x49, 0x49, 0x2A, 0x00})), "image/tiff");
    EXPECT_EQ(typeOf(bytes({0x4D, 0x4D, 0x00, 0x2A})), "image/tiff");
    EXPECT_EQ(typeOf(NSData::fromString("RIFF\x10\0\0\0WEBPVP8 "sv)), "image/webp");
    // A RIFF file of another form, or one too short to say, is no image.
    EXPECT_EQ(ri_contentTypeForImageData(NSData::fromString("RIFF\x10\0\0\0WAVE"sv)), nil);
    EXPECT_EQ(ri_contentTypeForImageData(NSData::fromString("RIFF\x10\0\0\0WEB"sv)), nil);
    EXPECT_EQ(ri_contentTypeForImageData(NSData::fromString("<html>")), nil);
    EXPECT_EQ(ri_contentTypeForImageData(NSData::data()), nil);
    EXPECT_EQ(ri_contentTypeForImageData(nil), nil);
    EXPECT_EQ(dv::str(contentTypeForImageData(png(1, 1))), "image/png");
}

TEST_F(DecodingHelpersTest, ExifOrientationsMapOntoImageOrientations)
{
    const UIImageOrientation expected[] = {UIImageOrientationUp, UIImageOrientationUp, UIImageOrientationUpMirrored,
        UIImageOrientationDown, UIImageOrientationDownMirrored, UIImageOrientationLeftMirrored, UIImageOrientationRight,
        UIImageOrientationRightMirrored, UIImageOrientationLeft, UIImageOrientationUp};
    for (int exif = 0; exif <= 9; ++exif)
        EXPECT_EQ(ri_exifOrientationToiOSOrientation(exif), expected[exif]) << exif;
    EXPECT_EQ(ri_exifOrientationToiOSOrientation(-1), UIImageOrientationUp);
}

TEST_F(DecodingHelpersTest, StillImagesDecodeWithTheirRecordedOrientation)
{
    auto rotated = jpeg(6, 4, UIImageOrientationRight);
    EXPECT_EQ(ri_imageOrientationFromImageData(rotated), UIImageOrientationRight);
    auto image = ri_imageWithData(rotated);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->imageOrientation(), UIImageOrientationRight);
    // The bitmap stays as stored; only the displayed size turns.
    EXPECT_EQ(image->CGImage()->width(), 6u);
    EXPECT_EQ(image->CGImage()->height(), 4u);
    EXPECT_EQ(image->size().width, 4);

    auto plain = ri_imageWithData(png(3, 2, true));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->imageOrientation(), UIImageOrientationUp);
    EXPECT_EQ(ri_imageOrientationFromImageData(png(3, 2)), UIImageOrientationUp);
    EXPECT_EQ(ri_imageOrientationFromImageData(NSData::fromString("nothing")), UIImageOrientationUp);
    EXPECT_EQ(ri_imageOrientationFromImageData(nil), UIImageOrientationUp);
    EXPECT_FALSE(plain->images());
}

TEST_F(DecodingHelpersTest, UndecodableBytesGiveNil)
{
    EXPECT_EQ(ri_imageWithData(nil), nil);
    EXPECT_EQ(ri_imageWithData(NSData::data()), nil);
    EXPECT_EQ(ri_imageWithData(NSData::fromString("<html><body>not found</body></html>")), nil);
    // Cut short, each format: the signature makes it look like an image, the rest is missing.
    for (const auto& whole : {png(20, 20), jpeg(20, 20), gif(20, {5, 5})})
        EXPECT_EQ(ri_imageWithData(dv::test::prefix(whole, 12)), nil) << typeOf(whole);
    EXPECT_EQ(ri_animatedGIFWithData(nil), nil);
    EXPECT_EQ(ri_animatedGIFWithData(NSData::fromString("GIF89a")), nil);
}

TEST_F(DecodingHelpersTest, PicturesOfMorePixelsThanAScreenShowsAreRefusedUndecoded)
{
    // 100 million pixels in some 12 KB.
    auto huge = NSData::fromString(dv::testing::blackPng(10000, 10000));
    auto growth = dv::test::peakMemoryGrowth([&] { EXPECT_FALSE(ri_imageWithData(huge)); });
    if (growth) {
        EXPECT_LT(*growth, 8u << 20) << "decoded, at least in part";
    }
    EXPECT_FALSE(ri_imageWithData(NSData::fromString(dv::testing::blackPng(4097, 4096))));
    auto edge = ri_imageWithData(NSData::fromString(dv::testing::blackPng(4096, 1024)));
    ASSERT_TRUE(edge);
    EXPECT_EQ(CGImageGetWidth(edge->CGImage()), 4096u);

    // An animation counts all its frames: each is a canvas of its own once shown.
    auto animation = [](int frames) {
        std::vector<dv::test::GifFrame> list(static_cast<std::size_t>(frames), dv::test::GifFrame {});
        for (auto& frame : list) {
            frame.width = frame.height = 1500;
            frame.indices.assign(1500 * 1500, 1);
        }
        return dv::test::writeGif(1500, 1500, {{0, 0, 0}, {255, 255, 255}}, list);
    };
    EXPECT_FALSE(ri_imageWithData(animation(8))) << "18 million pixels in eight frames";
    auto fits = ri_imageWithData(animation(7));
    ASSERT_TRUE(fits);
    EXPECT_EQ(fits->images()->count(), 7u);

    // So does a WebP animation, whose frames are counted from its chunks: six canvases of 4096 x
    // 4096 in a few hundred bytes.
    auto webp = NSData::fromString(dv::testing::blackWebp(4096, 4096, 6));
    ASSERT_LT(webp->length(), 1000u);
    auto webpGrowth = dv::test::peakMemoryGrowth([&] { EXPECT_FALSE(ri_imageWithData(webp)); });
    if (webpGrowth) {
        EXPECT_LT(*webpGrowth, 8u << 20) << "decoded, at least in part";
    }
    EXPECT_FALSE(ri_imageWithData(NSData::fromString(dv::testing::blackWebp(2048, 2048, 24))));
    EXPECT_FALSE(ri_imageWithData(NSData::fromString(dv::testing::blackWebp(1024, 1024, 1000))));
    EXPECT_FALSE(ri_imageWithData(NSData::fromString(dv::testing::blackWebp(1500, 1500, 8))));
    // Within the limit it shows as its first frame.
    auto webpFits = ri_imageWithData(NSData::fromString(dv::testing::blackWebp(1500, 1500, 7)));
    ASSERT_TRUE(webpFits);
    EXPECT_EQ(CGImageGetWidth(webpFits->CGImage()), 1500u);
    EXPECT_EQ(dv::test::pixelAt(webpFits->CGImage(), 1499, 1499), (Pixel {0, 0, 0, 255}));
}

TEST_F(DecodingHelpersTest, GIFsOfSeveralFramesBecomeAnimatedImagesWithTheirDelaysAdded)
{
    auto one = ri_imageWithData(gif(4, {20}));
    ASSERT_TRUE(one);
    EXPECT_FALSE(one->images());

    // Delays of 0, 5 and 20 hundredths: the zero counts as 0.1 s.
    auto animated = ri_imageWithData(gif(4, {0, 5, 20}));
    ASSERT_TRUE(animated);
    ASSERT_TRUE(animated->images());
    EXPECT_EQ(animated->images()->count(), 3u);
    EXPECT_NEAR(animated->duration(), 0.35, 1e-6);
    auto frame = dv::as<UIImage>(animated->images()->objectAtIndex(2));
    EXPECT_EQ(frame->scale(), 2); // the screen's
    EXPECT_EQ(frame->imageOrientation(), UIImageOrientationUp);
    EXPECT_TRUE(dv::test::near(dv::test::pixelAt(frame->CGImage(), 1, 1), Pixel {0, 0, 255, 255}, 0));

    auto source = CGImageSourceCreateWithData(gif(4, {0, 1, 2, 7}), nil);
    EXPECT_FLOAT_EQ(ri_frameDurationAtIndex(0, source), 0.1f);
    EXPECT_FLOAT_EQ(ri_frameDurationAtIndex(1, source), 0.1f); // 0.01 s is below the shortest delay
    EXPECT_FLOAT_EQ(ri_frameDurationAtIndex(2, source), 0.02f);
    EXPECT_FLOAT_EQ(ri_frameDurationAtIndex(3, source), 0.07f);
    EXPECT_FLOAT_EQ(ri_frameDurationAtIndex(9, source), 0.1f); // no such frame
}

TEST_F(DecodingHelpersTest, AGIFWhoseLastFrameIsCutShortKeepsTheFramesBeforeIt)
{
    auto whole = gif(16, {10, 10, 10});
    auto cut = dv::test::prefix(whole, whole->length() - 20);
    auto image = ri_animatedGIFWithData(cut);
    ASSERT_TRUE(image);
    ASSERT_TRUE(image->images());
    EXPECT_EQ(image->images()->count(), 2u);
    EXPECT_NEAR(image->duration(), 0.2, 1e-6);
}

TEST_F(DecodingHelpersTest, AGIFWithAGarbledFrameStillGivesEveryFrame)
{
    // The second frame's compressed pixels overwritten: it decodes as far as it can.
    auto damaged = NSMutableData::dataWithData(gif(16, {10, 10, 10}));
    std::vector<std::size_t> controls;
    for (std::size_t i = 0; i + 2 < damaged->length(); ++i)
        if (damaged->bytes()[i] == 0x21 && damaged->bytes()[i + 1] == 0xF9 && damaged->bytes()[i + 2] == 0x04)
            controls.push_back(i);
    ASSERT_EQ(controls.size(), 3u);
    const std::size_t pixels = controls[1] + 8 + 10 + 2; // after its descriptor, code size and block length
    for (std::size_t i = pixels; i < pixels + 6; ++i)
        damaged->mutableBytes()[i] = 0xFF;
    auto image = ri_animatedGIFWithData(damaged);
    ASSERT_TRUE(image);
    ASSERT_TRUE(image->images());
    EXPECT_EQ(image->images()->count(), 3u);
    EXPECT_NEAR(image->duration(), 0.3, 1e-6);
}

TEST_F(DecodingHelpersTest, ForcedDecodingRedrawsOpaqueStillImagesOnly)
{
    auto opaque = UIImage::imageWithCGImage(dv::test::photoLike(30, 20), 2, UIImageOrientationLeft);
    auto decoded = decodedImageWithImage(opaque);
    ASSERT_TRUE(decoded);
    ASSERT_NE(decoded, opaque);
    EXPECT_EQ(decoded->CGImage()->alphaInfo(), kCGImageAlphaPremultipliedFirst);
    EXPECT_EQ(decoded->CGImage()->width(), 30u);
    EXPECT_EQ(decoded->CGImage()->height(), 20u);
    EXPECT_EQ(decoded->scale(), 2);
    EXPECT_EQ(decoded->imageOrientation(), UIImageOrientationLeft);
    for (auto [x, y] : {std::pair {0, 0}, {29, 0}, {0, 19}, {17, 11}})
        EXPECT_TRUE(dv::test::near(dv::test::pixelAt(decoded->CGImage(), x, y), dv::test::pixelAt(opaque->CGImage(), x, y), 0))
            << x << "," << y;

    auto withAlpha = image(4, 4, true);
    EXPECT_EQ(decodedImageWithImage(withAlpha), withAlpha);
    auto animated = ri_imageWithData(gif(4, {10, 10}));
    EXPECT_EQ(decodedImageWithImage(animated), animated);
    EXPECT_EQ(decodedImageWithImage(nil), nil);
}

TEST_F(DecodingHelpersTest, ADecodedJPEGAlreadyInTheDrawingLayoutSharesItsPixels)
{
    auto decoded = ri_imageWithData(jpeg(9, 7));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->CGImage()->alphaInfo(), kCGImageAlphaNoneSkipFirst);
    auto forced = decodedImageWithImage(decoded);
    ASSERT_NE(forced, decoded);
    EXPECT_EQ(forced->CGImage()->alphaInfo(), kCGImageAlphaPremultipliedFirst);
    EXPECT_EQ(forced->CGImage()->bytes(), decoded->CGImage()->bytes());
    EXPECT_EQ(dv::test::pixelAt(forced->CGImage(), 4, 3), dv::test::pixelAt(decoded->CGImage(), 4, 3));

    // The same layout with an unused byte that is not opaque is redrawn, opaque.
    std::vector<std::uint8_t> bytes(3 * 2 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 4)
        bytes[i] = 10, bytes[i + 1] = 20, bytes[i + 2] = 30, bytes[i + 3] = i == 8 ? 0x00 : 0xFF;
    auto skipped = dv::makeImage(3, 2, 8, 32, 12, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder32Little, bytes);
    ASSERT_TRUE(skipped);
    auto redrawn = decodedImageWithImage(UIImage::imageWithCGImage(skipped, 1, UIImageOrientationUp));
    EXPECT_NE(redrawn->CGImage()->bytes(), skipped->bytes());
    EXPECT_EQ(redrawn->CGImage()->alphaInfo(), kCGImageAlphaPremultipliedFirst);
    EXPECT_EQ(dv::test::pixelAt(redrawn->CGImage(), 2, 0), (Pixel {30, 20, 10, 255}));
}

TEST_F(DecodingHelpersTest, AForcedDecodeThatCannotRedrawKeepsTheOriginal)
{
    // An image without a bitmap, and one in a layout no bitmap context takes (16 bits a sample).
    auto bare = alloc<UIImage>();
    EXPECT_EQ(decodedImageWithImage(bare), bare);
    std::vector<std::uint8_t> wide(4 * 4 * 6, 0x80);
    auto deep = dv::makeImage(4, 4, 16, 48, 4 * 6, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNone, wide);
    ASSERT_TRUE(deep);
    auto image = UIImage::imageWithCGImage(deep, 1, UIImageOrientationUp);
    EXPECT_EQ(decodedImageWithImage(image), image);
}

TEST_F(DecodingHelpersTest, TheKeyChoosesTheScale)
{
    auto still = image(8, 8);
    auto scaleFor = [&](const char* key) { return RIImageScaleFromKey(NSString::stringWithUTF8String(key), still)->scale(); };
    EXPECT_EQ(scaleFor("a@2x.png"), 2);          // exactly 8 characters
    EXPECT_EQ(scaleFor("@3x.png"), 2);           // 7: the screen's
    UIScreen::mainScreen()->setScale(1);
    EXPECT_EQ(scaleFor("@3x.png"), 1);
    EXPECT_EQ(scaleFor("http://host/pic@3x.png"), 3);
    EXPECT_EQ(scaleFor("http://host/pic@2x.png"), 2);
    EXPECT_EQ(scaleFor("http://host/pic@3x.png?from=@2x.jpg"), 3);
    EXPECT_EQ(scaleFor("http://host/pic@2x"), 1); // no dot after it
    EXPECT_EQ(RIImageScaleFromKey(nil, still)->scale(), 1);
    EXPECT_EQ(RIImageScaleFromKey("a@2x.png"_ns, nil), nil);

    // The bitmap is shared and the orientation kept.
    auto turned = UIImage::imageWithCGImage(bitmap(4, 2), 1, UIImageOrientationDown);
    auto scaled = RIImageScaleFromKey("http://host/a@2x.png"_ns, turned);
    EXPECT_EQ(scaled->CGImage(), turned->CGImage());
    EXPECT_EQ(scaled->imageOrientation(), UIImageOrientationDown);
    EXPECT_EQ(scaled->size().width, 2);

    // Every frame of an animation is rescaled; the duration stays.
    auto animated = ri_imageWithData(gif(4, {10, 30}));
    auto rescaled = RIImageScaleFromKey("http://host/a@3x.gif"_ns, animated);
    ASSERT_TRUE(rescaled->images());
    EXPECT_EQ(rescaled->images()->count(), 2u);
    EXPECT_NEAR(rescaled->duration(), 0.4, 1e-6);
    for (const id& frame : *rescaled->images())
        EXPECT_EQ(dv::as<UIImage>(frame)->scale(), 3);
}

// A 100 x 50 picture, red on its left half and blue on its right, as an animation of two frames.
Ref<UIImage> halvesAnimation()
{
    auto halves = dv::test::makeRGBAImage(100, 50, [](std::size_t x, std::size_t) {
        return x < 50 ? Pixel {255, 0, 0, 255} : Pixel {0, 0, 255, 255};
    });
    auto frame = UIImage::imageWithCGImage(halves, 1, UIImageOrientationUp);
    return UIImage::animatedImageWithImages(NSArray::of({frame, frame}), 0.5);
}

TEST_F(DecodingHelpersTest, ScalingAndCroppingFillsTheSizeAndCentres)
{
    UIScreen::mainScreen()->setScale(1);
    auto animated = halvesAnimation();
    EXPECT_EQ(ri_animatedImageByScalingAndCroppingToSize(animated, CGSizeMake(100, 50)), animated);
    EXPECT_EQ(ri_animatedImageByScalingAndCroppingToSize(animated, CGSizeZero), animated);

    // 100 x 50 into 50 x 50: drawn at full size from x = -25, so the middle 50 columns show.
    auto square = ri_animatedImageByScalingAndCroppingToSize(animated, CGSizeMake(50, 50));
    ASSERT_TRUE(square);
    ASSERT_TRUE(square->images());
    EXPECT_EQ(square->images()->count(), 2u);
    EXPECT_EQ(square->duration(), 0.5);
    auto first = dv::as<UIImage>(square->images()->objectAtIndex(0))->CGImage();
    ASSERT_EQ(first->width(), 50u);
    ASSERT_EQ(first->height(), 50u);
    EXPECT_TRUE(dv::test::near(dv::test::pixelAt(first, 5, 25), Pixel {255, 0, 0, 255}, 2));
    EXPECT_TRUE(dv::test::near(dv::test::pixelAt(first, 20, 25), Pixel {255, 0, 0, 255}, 2));
    EXPECT_TRUE(dv::test::near(dv::test::pixelAt(first, 30, 25), Pixel {0, 0, 255, 255}, 2));

    // 100 x 50 into 200 x 50: the width factor wins, scaled to 200 x 100 and cut at the top and
    // bottom; each half keeps its colour.
    auto wide = ri_animatedImageByScalingAndCroppingToSize(animated, CGSizeMake(200, 50));
    auto wideFrame = dv::as<UIImage>(wide->images()->objectAtIndex(1))->CGImage();
    ASSERT_EQ(wideFrame->width(), 200u);
    EXPECT_TRUE(dv::test::near(dv::test::pixelAt(wideFrame, 90, 0), Pixel {255, 0, 0, 255}, 2));
    EXPECT_TRUE(dv::test::near(dv::test::pixelAt(wideFrame, 110, 49), Pixel {0, 0, 255, 255}, 2));

    // Drawn at the screen's scale; a still image is scaled as one frame and stays still.
    UIScreen::mainScreen()->setScale(2);
    auto still = ri_animatedImageByScalingAndCroppingToSize(dv::as<UIImage>(animated->images()->objectAtIndex(0)), CGSizeMake(10, 10));
    ASSERT_TRUE(still);
    EXPECT_FALSE(still->images());
    EXPECT_EQ(still->scale(), 2);
    EXPECT_EQ(still->CGImage()->width(), 20u);
    EXPECT_EQ(ri_animatedImageByScalingAndCroppingToSize(nil, CGSizeMake(1, 1)), nil);
}

TEST_F(DecodingHelpersTest, NamedGIFsPreferTheSharpVariantOnSharpScreens)
{
    auto folder = std::filesystem::path(home()) / "resources";
    std::filesystem::create_directories(folder);
    auto write = [&](const char* name, const Ref<NSData>& data) { ASSERT_TRUE(data->writeToFile(NSString::fromUTF8((folder / name).string()), true)); };
    write("spin.gif", gif(4, {10, 10}));
    write("spin@2x.gif", gif(8, {10, 10, 10}));
    dv::MainBundleOverride::set(folder.string(), nil);

    auto sharp = ri_animatedGIFNamed("spin"_ns);
    UIScreen::mainScreen()->setScale(1);
    auto plain = ri_animatedGIFNamed("spin"_ns);
    auto missing = ri_animatedGIFNamed("nothing-here"_ns);
    dv::MainBundleOverride::reset();

    ASSERT_TRUE(sharp);
    ASSERT_TRUE(sharp->images());
    EXPECT_EQ(sharp->images()->count(), 3u);
    ASSERT_TRUE(plain);
    ASSERT_TRUE(plain->images());
    EXPECT_EQ(plain->images()->count(), 2u);
    EXPECT_EQ(missing, nil);
}

} // namespace
