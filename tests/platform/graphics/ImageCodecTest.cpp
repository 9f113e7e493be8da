#include "GraphicsTestSupport.h"

#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGDataProvider.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/UIImage.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <jpeglib.h>

#include <webp/encode.h>

using namespace dv::test;

namespace {

CGImageRef gradientImage(std::size_t w, std::size_t h, bool alpha)
{
    return makeRGBAImage(w, h, [&](std::size_t x, std::size_t y) {
        return Pixel {std::uint8_t(x * 255 / (w - 1)), std::uint8_t(y * 255 / (h - 1)), std::uint8_t((x + y) % 256),
            std::uint8_t(alpha ? (x * 7 + 30) % 256 : 255)};
    }, alpha ? kCGImageAlphaLast : kCGImageAlphaNoneSkipLast);
}

} // namespace

TEST(ImageCodecTest, PngRoundTripKeepsEveryPixelAndTheAlpha)
{
    auto original = gradientImage(37, 23, true);
    auto png = UIImagePNGRepresentation(UIImage::imageWithCGImage(original));
    ASSERT_TRUE(png);
    auto decoded = UIImage::imageWithData(png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(CGImageGetWidth(decoded->CGImage()), 37u);
    EXPECT_EQ(CGImageGetHeight(decoded->CGImage()), 23u);
    EXPECT_TRUE(dv::imageHasAlpha(decoded->CGImage()));
    EXPECT_EQ(dv::imagePixelsRGBA8(decoded->CGImage()), dv::imagePixelsRGBA8(original));
}

TEST(ImageCodecTest, OpaquePngDecodesWithoutAlpha)
{
    auto original = gradientImage(16, 9, false);
    auto decoded = UIImage::imageWithData(UIImagePNGRepresentation(UIImage::imageWithCGImage(original)));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(CGImageGetAlphaInfo(decoded->CGImage()), kCGImageAlphaNone);
    EXPECT_EQ(CGImageGetBitsPerPixel(decoded->CGImage()), 24u);
    EXPECT_EQ(dv::imagePixelsRGBA8(decoded->CGImage()), dv::imagePixelsRGBA8(original));
}

TEST(ImageCodecTest, SixteenBitPngKeepsItsDepth)
{
    PngLayout layout;
    layout.width = 2;
    layout.height = 1;
    layout.bitDepth = 16;
    layout.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    // Big-endian samples: (65535, 0, 32896, 65535), (0, 65535, 0, 0)
    layout.rows = {0xFF, 0xFF, 0, 0, 0x80, 0x80, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0};
    auto image = UIImage::imageWithData(writePng(layout));
    ASSERT_TRUE(image);
    EXPECT_EQ(CGImageGetBitsPerComponent(image->CGImage()), 16u);
    EXPECT_EQ(CGImageGetBitsPerPixel(image->CGImage()), 64u);
    EXPECT_EQ(pixelAt(image->CGImage(), 0, 0), (Pixel {255, 0, 128, 255}));
    EXPECT_EQ(pixelAt(image->CGImage(), 1, 0)[3], 0);
}

TEST(ImageCodecTest, PalettePngWithTransparencyGetsAnAlphaChannel)
{
    PngLayout layout;
    layout.width = 3;
    layout.height = 1;
    layout.colourType = PNG_COLOR_TYPE_PALETTE;
    layout.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    layout.paletteAlpha = {255, 0, 128};
    layout.rows = {0, 1, 2};
    auto data = writePng(layout);
    auto image = UIImage::imageWithData(data);
    ASSERT_TRUE(image);
    EXPECT_TRUE(dv::imageHasAlpha(image->CGImage()));
    EXPECT_EQ(pixelAt(image->CGImage(), 0, 0), (Pixel {255, 0, 0, 255}));
    EXPECT_EQ(pixelAt(image->CGImage(), 1, 0)[3], 0);
    EXPECT_EQ(pixelAt(image->CGImage(), 2, 0), (Pixel {0, 0, 255, 128}));
    auto props = CGImageSourceCopyPropertiesAtIndex(CGImageSourceCreateWithData(data, nil), 0, nil);
    EXPECT_TRUE(dv::as<NSNumber>(props->objectForKey(kCGImagePropertyHasAlpha))->boolValue());
}

TEST(ImageCodecTest, GreyPngsDecodeInTheGreySpaceAndHonourTransparentGrey)
{
    PngLayout layout;
    layout.width = 4;
    layout.height = 1;
    layout.bitDepth = 2;
    layout.colourType = PNG_COLOR_TYPE_GRAY;
    layout.rows = {0b00011011}; // 0, 1, 2, 3
    auto image = UIImage::imageWithData(writePng(layout));
    ASSERT_TRUE(image);
    EXPECT_EQ(CGColorSpaceGetModel(CGImageGetColorSpace(image->CGImage())), kCGColorSpaceModelMonochrome);
    EXPECT_EQ(pixelAt(image->CGImage(), 0, 0), (Pixel {0, 0, 0, 255}));
    EXPECT_EQ(pixelAt(image->CGImage(), 2, 0), (Pixel {170, 170, 170, 255}));
    EXPECT_EQ(pixelAt(image->CGImage(), 3, 0), (Pixel {255, 255, 255, 255}));

    layout.greyTransparent = true;
    layout.transparentGrey = 1;
    auto transparent = UIImage::imageWithData(writePng(layout));
    ASSERT_TRUE(transparent);
    EXPECT_EQ(pixelAt(transparent->CGImage(), 1, 0)[3], 0);
    EXPECT_EQ(pixelAt(transparent->CGImage(), 3, 0)[3], 255);
}

TEST(ImageCodecTest, InterlacedPngDecodesCompletely)
{
    PngLayout layout;
    layout.width = 9;
    layout.height = 9;
    layout.colourType = PNG_COLOR_TYPE_GRAY;
    layout.interlaced = true;
    for (int i = 0; i < 81; ++i)
        layout.rows.push_back(std::uint8_t(i * 3));
    auto image = UIImage::imageWithData(writePng(layout));
    ASSERT_TRUE(image);
    for (int i = 0; i < 81; ++i)
        ASSERT_EQ(pixelAt(image->CGImage(), std::size_t(i % 9), std::size_t(i / 9))[0], i * 3);
}

TEST(ImageCodecTest, JpegRoundTripStaysCloseToTheOriginal)
{
    auto original = makeRGBAImage(64, 48, [](std::size_t x, std::size_t y) {
        return x < 32 ? Pixel {200, 30, 40, 255} : (y < 24 ? Pixel {20, 180, 60, 255} : Pixel {30, 40, 210, 255});
    });
    auto jpeg = UIImageJPEGRepresentation(UIImage::imageWithCGImage(original), 0.9);
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(NSData::dataWithBytes(jpeg->bytes(), 2)->vector(), (std::vector<std::uint8_t> {0xFF, 0xD8}));
    auto decoded = UIImage::imageWithData(jpeg);
    ASSERT_TRUE(decoded);
    // Decoded straight into the drawing layout, so that drawing needs no copy.
    EXPECT_EQ(CGImageGetBitmapInfo(decoded->CGImage()), kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder32Little);
    EXPECT_EQ(decoded->imageOrientation(), UIImageOrientationUp);
    for (auto [x, y] : {std::pair {5, 5}, {50, 10}, {50, 40}, {10, 40}})
        EXPECT_TRUE(near(pixelAt(decoded->CGImage(), x, y), pixelAt(original, x, y), 12))
            << x << "," << y << " " << show(pixelAt(decoded->CGImage(), x, y));
}

TEST(ImageCodecTest, JpegQualityMapsTinyValuesToTheLowestQuality)
{
    EXPECT_EQ(dv::jpegQualityFor(0.0001), 1);
    EXPECT_EQ(dv::jpegQualityFor(0), 1);
    EXPECT_EQ(dv::jpegQualityFor(1), 100);
    EXPECT_EQ(dv::jpegQualityFor(0.5), 50);
    auto image = UIImage::imageWithCGImage(gradientImage(96, 96, false));
    auto lowest = UIImageJPEGRepresentation(image, 0.0001);
    auto best = UIImageJPEGRepresentation(image, 1.0);
    ASSERT_TRUE(lowest && best);
    EXPECT_LT(lowest->length() * 2, best->length());
    EXPECT_TRUE(UIImage::imageWithData(lowest));
}

TEST(ImageCodecTest, JpegRecordsAndRestoresTheOrientation)
{
    auto image = UIImage::imageWithCGImage(gradientImage(40, 20, false), 1, UIImageOrientationRight);
    EXPECT_EQ(image->size(), CGSizeMake(20, 40));
    auto decoded = UIImage::imageWithData(UIImageJPEGRepresentation(image, 0.8));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->imageOrientation(), UIImageOrientationRight);
    EXPECT_EQ(CGImageGetWidth(decoded->CGImage()), 40u); // the bitmap stays unrotated
    EXPECT_EQ(decoded->size(), CGSizeMake(20, 40));
}

TEST(ImageCodecTest, ExifOrientationTableAndSizes)
{
    const UIImageOrientation expected[] = {UIImageOrientationUp, UIImageOrientationUp, UIImageOrientationUpMirrored,
        UIImageOrientationDown, UIImageOrientationDownMirrored, UIImageOrientationLeftMirrored, UIImageOrientationRight,
        UIImageOrientationRightMirrored, UIImageOrientationLeft, UIImageOrientationUp};
    for (int exif = 0; exif <= 9; ++exif)
        EXPECT_EQ(dv::imageOrientationFromEXIF(exif), expected[exif]) << exif;
    EXPECT_EQ(dv::imageOrientationFromEXIF(-1), UIImageOrientationUp);
    for (int o = 0; o <= 7; ++o)
        EXPECT_EQ(dv::imageOrientationFromEXIF(dv::exifFromImageOrientation(UIImageOrientation(o))), o);

    auto bitmap = gradientImage(30, 10, false);
    for (int o = 0; o <= 7; ++o) {
        auto image = UIImage::imageWithCGImage(bitmap, 2, UIImageOrientation(o));
        const bool sideways = o == 2 || o == 3 || o == 6 || o == 7;
        EXPECT_EQ(image->size(), sideways ? CGSizeMake(5, 15) : CGSizeMake(15, 5)) << o;
    }
}

TEST(ImageCodecTest, CmykJpegIsConvertedToRgb)
{
    // Adobe-style CMYK stores inverted inks: 255 is no ink. Cyan ink only, then black ink only.
    const unsigned char cmyk[] = {0, 255, 255, 255, 255, 255, 255, 0};
    std::vector<unsigned char> row;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            row.insert(row.end(), cmyk + (x < 8 ? 0 : 4), cmyk + (x < 8 ? 4 : 8));
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    ASSERT_EQ(tjCompress2(tj, row.data(), 16, 16 * 4, 8, TJPF_CMYK, &out, &size, TJSAMP_444, 95, 0), 0);
    auto data = NSData::dataWithBytes(out, size);
    tjFree(out);
    tjDestroy(tj);
    auto image = UIImage::imageWithData(data);
    ASSERT_TRUE(image);
    EXPECT_EQ(CGColorSpaceGetModel(CGImageGetColorSpace(image->CGImage())), kCGColorSpaceModelRGB);
    EXPECT_TRUE(near(pixelAt(image->CGImage(), 2, 2), Pixel {0, 255, 255, 255}, 10)) << show(pixelAt(image->CGImage(), 2, 2));
    EXPECT_TRUE(near(pixelAt(image->CGImage(), 13, 2), Pixel {0, 0, 0, 255}, 10)) << show(pixelAt(image->CGImage(), 13, 2));
}

namespace {

bool hasAdobeMarker(const Ref<NSData>& jpeg)
{
    static const std::uint8_t kAdobe[] = {0xFF, 0xEE, 0, 0, 'A', 'd', 'o', 'b', 'e'};
    const auto bytes = jpeg->span();
    return std::search(bytes.begin(), bytes.end(), std::begin(kAdobe), std::end(kAdobe), [](std::uint8_t a, std::uint8_t b) {
        return a == b || b == 0; // the segment's length, whatever it is
    }) != bytes.end();
}

} // namespace

// Four-component JPEGs in which a component is sampled more than once vertically, so that libjpeg
// hands back several rows at once: the files of the fuzz corpus that crashed the decoder (the two
// usual layouts), and every vertical sampling, CMYK and YCCK, over heights that end a band of
// rows early. A fresh source asked for its status first (which decodes and drops the rows), then
// for the image, and the one-step decoder each give what libjpeg gives.
TEST(ImageCodecTest, FourComponentJpegsSampledSeveralRowsHighDecodeAsLibjpegDoes)
{
    std::vector<std::pair<std::string, Ref<NSData>>> files;
    for (const char* name : {"ycck-64x64.jpg", "cmyk-k1x2-64x64.jpg"}) {
        auto data = NSData::dataWithContentsOfFile(NSString::fromUTF8(std::string(DV_IMAGE_CORPUS_DIR) + "/fuzz_image_jpeg/" + name));
        ASSERT_TRUE(data) << name;
        files.emplace_back(name, data);
    }
    for (const bool ycck : {false, true})
        for (int v = 1; v <= 4; ++v)
            for (const std::size_t height : {1, 7, 37}) {
                // Y (or C) sampled v times vertically; K twice across and half as often down.
                const std::array<std::pair<int, int>, 4> sampling = {{{1, v}, {1, 1}, {1, 1}, {2, std::max(1, v / 2)}}};
                files.emplace_back((ycck ? "ycck v" : "cmyk v") + std::to_string(v) + " h" + std::to_string(height),
                    writeFourComponentJpeg(29, height, ycck, sampling));
            }
    for (const auto& [name, data] : files) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(hasAdobeMarker(data));
        const auto expected = libjpegPictureOfInvertedCmyk(data);
        ASSERT_FALSE(expected.empty());
        auto source = CGImageSourceCreateWithData(data, nil);
        EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);
        auto image = CGImageSourceCreateImageAtIndex(source, 0, nil);
        ASSERT_TRUE(image);
        EXPECT_EQ(dv::imagePixelsRGBA8(image), expected);
        auto whole = UIImage::imageWithData(data);
        ASSERT_TRUE(whole);
        EXPECT_EQ(dv::imagePixelsRGBA8(whole->CGImage()), expected);
    }
}

TEST(ImageCodecTest, LosslessWebpDecodesExactly)
{
    auto original = gradientImage(21, 13, true);
    auto rgba = dv::imagePixelsRGBA8(original);
    std::uint8_t* out = nullptr;
    const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), 21, 13, 21 * 4, &out);
    ASSERT_GT(size, 0u);
    auto data = NSData::dataWithBytes(out, size);
    WebPFree(out);
    auto image = UIImage::imageWithData(data);
    ASSERT_TRUE(image);
    EXPECT_EQ(dv::imagePixelsRGBA8(image->CGImage()), rgba);
    auto source = CGImageSourceCreateWithData(data, nil);
    EXPECT_EQ(dv::str(CGImageSourceGetType(source)), "org.webmproject.webp");
    EXPECT_EQ(CGImageSourceGetCount(source), 1u);
}

TEST(ImageCodecTest, DataProvidersDecodeOnlyTheirOwnFormat)
{
    auto png = UIImagePNGRepresentation(UIImage::imageWithCGImage(gradientImage(5, 5, true)));
    auto jpeg = UIImageJPEGRepresentation(UIImage::imageWithCGImage(gradientImage(5, 5, false)), 0.9);
    EXPECT_TRUE(CGImageCreateWithPNGDataProvider(CGDataProviderCreateWithCFData(png), nullptr, true, kCGRenderingIntentDefault));
    EXPECT_FALSE(CGImageCreateWithPNGDataProvider(CGDataProviderCreateWithCFData(jpeg), nullptr, true, kCGRenderingIntentDefault));
    auto decoded = CGImageCreateWithJPEGDataProvider(CGDataProviderCreateWithCFData(jpeg), nullptr, true, kCGRenderingIntentDefault);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(CGImageGetWidth(decoded), 5u);
    EXPECT_FALSE(CGImageCreateWithJPEGDataProvider(CGDataProviderCreateWithCFData(png), nullptr, true, kCGRenderingIntentDefault));
    EXPECT_FALSE(CGDataProviderCreateWithCFData(nil));
}

TEST(ImageCodecTest, BitmapFilesDecode)
{
    // 24 bits, bottom-up, rows padded to 4 bytes: bottom row blue, white; top row red, green.
    auto dib = dibHeader(2, 2, 24, 0, 0);
    const std::uint8_t rows24[] = {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0};
    dib.insert(dib.end(), std::begin(rows24), std::end(rows24));
    auto image = UIImage::imageWithData(bmpFile(dib, 54));
    ASSERT_TRUE(image);
    EXPECT_EQ(pixelAt(image->CGImage(), 0, 0), (Pixel {255, 0, 0, 255}));
    EXPECT_EQ(pixelAt(image->CGImage(), 1, 0), (Pixel {0, 255, 0, 255}));
    EXPECT_EQ(pixelAt(image->CGImage(), 0, 1), (Pixel {0, 0, 255, 255}));
    EXPECT_EQ(pixelAt(image->CGImage(), 1, 1), (Pixel {255, 255, 255, 255}));

    // 8 bits with a palette of two colours, top-down (negative height).
    auto pal = dibHeader(3, -1, 8, 0, 2);
    const std::uint8_t palette[] = {0, 0, 0, 0, 0, 128, 255, 0};
    pal.insert(pal.end(), std::begin(palette), std::end(palette));
    const std::uint8_t indices[] = {1, 0, 1, 0};
    pal.insert(pal.end(), std::begin(indices), std::end(indices));
    auto indexed = UIImage::imageWithData(bmpFile(pal, 14 + 40 + 8));
    ASSERT_TRUE(indexed);
    EXPECT_EQ(pixelAt(indexed->CGImage(), 0, 0), (Pixel {255, 128, 0, 255}));
    EXPECT_EQ(pixelAt(indexed->CGImage(), 1, 0), (Pixel {0, 0, 0, 255}));

    // Truncated pixel rows: nil, and the source still knows the size.
    auto cut = bmpFile(std::vector<std::uint8_t>(dib.begin(), dib.end() - 6), 54);
    EXPECT_FALSE(UIImage::imageWithData(cut));
    auto source = CGImageSourceCreateWithData(cut, nil);
    EXPECT_EQ(dv::str(CGImageSourceGetType(source)), "com.microsoft.bmp");
    auto props = CGImageSourceCopyPropertiesAtIndex(source, 0, nil);
    ASSERT_TRUE(props);
    EXPECT_EQ(dv::as<NSNumber>(props->objectForKey(kCGImagePropertyPixelWidth))->intValue(), 2);
}

TEST(ImageCodecTest, IconsDecodeTheirLargestEntryWithItsMask)
{
    // Entry 1: a 1x1 PNG; entry 2: a 2x2 32-bit bitmap without alpha and a mask hiding one pixel.
    auto png = UIImagePNGRepresentation(UIImage::imageWithCGImage(gradientImage(2, 2, true)));
    auto dib = dibHeader(2, 4, 32, 0, 0);
    for (int i = 0; i < 4; ++i)
        put32(dib, 0x0000FF00); // green, alpha byte 0
    const std::uint8_t mask[] = {0x80, 0, 0, 0, 0, 0, 0, 0}; // bottom row: first pixel transparent
    dib.insert(dib.end(), std::begin(mask), std::end(mask));
    auto image = UIImage::imageWithData(iconFile({{1, png->vector()}, {2, dib}}));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), CGSizeMake(2, 2));
    EXPECT_EQ(pixelAt(image->CGImage(), 0, 1)[3], 0);
    EXPECT_EQ(pixelAt(image->CGImage(), 1, 1), (Pixel {0, 255, 0, 255}));
    EXPECT_EQ(pixelAt(image->CGImage(), 0, 0), (Pixel {0, 255, 0, 255}));
}

TEST(ImageCodecTest, OtherFormatsAreRecognisedButNotDecoded)
{
    const std::pair<std::vector<std::uint8_t>, const char*> cases[] = {
        {{'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0}, "public.tiff"},
        {{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0, 0, 0}, "public.tiff"},
        {{'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0}, "com.microsoft.bmp"},
        {{0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0}, "com.microsoft.ico"},
    };
    for (const auto& [bytes, type] : cases) {
        auto data = NSData::dataWithVector(bytes);
        auto source = CGImageSourceCreateWithData(data, nil);
        EXPECT_EQ(dv::str(CGImageSourceGetType(source)), type);
        EXPECT_EQ(CGImageSourceGetCount(source), 0u);
        EXPECT_FALSE(UIImage::imageWithData(data));
    }
}

TEST(ImageCodecTest, GarbageAndDamagedBytesGiveNil)
{
    EXPECT_FALSE(UIImage::imageWithData(nil));
    EXPECT_FALSE(UIImage::imageWithData(NSData::data()));
    EXPECT_FALSE(UIImage::imageWithData(NSData::fromString("not an image at all")));
    EXPECT_FALSE(UIImage::imageWithData(NSData::fromString("\x89PNG\r\n\x1a\n")));
    EXPECT_FALSE(UIImage::imageWithData(NSData::fromString("\xFF\xD8\xFF")));
    EXPECT_FALSE(UIImage::imageWithData(NSData::fromString("GIF89a")));
    EXPECT_FALSE(UIImage::imageWithData(NSData::fromString("RIFF\0\0\0\0WEBPVP8 ")));

    // Every prefix and a corrupted copy of real files: no crash, an image or nil.
    auto png = UIImagePNGRepresentation(UIImage::imageWithCGImage(gradientImage(12, 12, true)));
    auto jpeg = UIImageJPEGRepresentation(UIImage::imageWithCGImage(gradientImage(12, 12, false)), 0.5);
    for (const auto& data : {png, jpeg}) {
        for (std::size_t n = 0; n < data->length(); n += 3)
            (void)UIImage::imageWithData(prefix(data, n));
        auto damaged = NSMutableData::dataWithData(data);
        for (std::size_t i = 20; i < damaged->length(); i += 7)
            damaged->mutableBytes()[i] ^= 0x5A;
        (void)UIImage::imageWithData(damaged);
    }
}

TEST(ImageCodecTest, HugeDeclaredSizesAreRefusedBeforeAllocating)
{
    PngLayout layout;
    layout.width = 1;
    layout.height = 1;
    layout.colourType = PNG_COLOR_TYPE_GRAY;
    layout.rows = {0};
    auto data = NSMutableData::dataWithData(writePng(layout));
    // Rewrite the header to claim 60000 x 60000 pixels (3.6 gigapixels); the CRC no longer matches
    // either, so libpng must fail; the size check must fail first without allocating.
    std::uint8_t* ihdr = data->mutableBytes() + 16;
    const std::uint8_t big[] = {0, 0, 0xEA, 0x60};
    std::memcpy(ihdr, big, 4);
    std::memcpy(ihdr + 4, big, 4);
    EXPECT_FALSE(UIImage::imageWithData(data));

    auto gif = NSMutableData::dataWithData(writeGif(2, 2, {{0, 0, 0}, {255, 255, 255}}, {{0, 0, 2, 2, 0, 0, -1, {}, {0, 1, 1, 0}}}));
    gif->mutableBytes()[6] = 0xFF, gif->mutableBytes()[7] = 0xFF, gif->mutableBytes()[8] = 0xFF, gif->mutableBytes()[9] = 0xFF;
    EXPECT_FALSE(UIImage::imageWithData(gif));
    EXPECT_EQ(CGImageSourceGetCount(CGImageSourceCreateWithData(gif, nil)), 0u);
}
