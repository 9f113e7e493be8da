#include "HTTPTestSupport.h"

#include "foundation/http/PNImageResponseSerializer.h"
#include "foundation/http/internal/DirectImageDecoder.h"
#include "platform/graphics/CGContext.h"
#include "platform/system/UIScreen.h"
#include "platform/testing/LargePictures.h"

#include <turbojpeg.h>

#include <chrono>
#include <thread>
#include <vector>

using dv::test::HTTPTestFixture;

namespace {

class ImageResponseSerializerTest : public HTTPTestFixture {
protected:
    void SetUp() override
    {
        HTTPTestFixture::SetUp();
        UIScreen::mainScreen()->setScale(3);
    }
    void TearDown() override
    {
        UIScreen::mainScreen()->reset();
        HTTPTestFixture::TearDown();
    }
};

Ref<NSData> pngOfSize(std::size_t width, std::size_t height)
{
    auto context = CGBitmapContextCreate(nullptr, width, height, 8, width * 4, CGColorSpaceCreateDeviceRGB(),
        kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    CGContextSetRGBFillColor(context, 0, 0.5, 1, 1);
    CGContextFillRect(context, CGRectMake(0, 0, CGFloat(width), CGFloat(height)));
    return UIImagePNGRepresentation(UIImage::imageWithCGImage(CGBitmapContextCreateImage(context)));
}

Ref<NSData> jpegWithPixelFormat(int pixelFormat, int components)
{
    std::vector<unsigned char> pixels(16 * 16 * std::size_t(components), 200);
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int result = tjCompress2(tj, pixels.data(), 16, 16 * components, 16, pixelFormat, &out, &size, TJSAMP_444, 90, 0);
    Ref<NSData> data = result == 0 ? NSData::dataWithBytes(out, size) : nil;
    tjFree(out);
    tjDestroy(tj);
    return data;
}

bool isInflatedLayout(const CGImageRef& image)
{
    auto alpha = CGImageGetAlphaInfo(image);
    return alpha == kCGImageAlphaPremultipliedFirst || alpha == kCGImageAlphaNoneSkipFirst;
}

} // namespace

TEST_F(ImageResponseSerializerTest, SmallImageIsInflatedAtTheScreenScale)
{
    auto serializer = PNImageResponseSerializer::serializer();
    EXPECT_EQ(serializer->imageScale(), 3);
    Ref<NSError> error;
    auto image = dv::as<UIImage>(serializer->responseObjectForResponse(reply(200, "image/png"), pngOfSize(512, 512), &error));
    ASSERT_TRUE(image);
    EXPECT_FALSE(error);
    EXPECT_EQ(image->scale(), 3);
    EXPECT_EQ(CGImageGetWidth(image->CGImage()), 512u);
    EXPECT_NEAR(image->size().width, 512.0 / 3, 1e-9);
    EXPECT_TRUE(isInflatedLayout(image->CGImage()));
    // The pixels survive the redraw.
    auto rgba = dv::imagePixelsRGBA8(image->CGImage());
    EXPECT_EQ(rgba[2], 255);
    EXPECT_EQ(rgba[3], 255);
}

TEST_F(ImageResponseSerializerTest, LargeImageIsLeftAsDecoded)
{
    auto data = pngOfSize(2048, 2048);
    auto decoded = UIImage::imageWithData(data);
    ASSERT_FALSE(isInflatedLayout(decoded->CGImage()));
    auto image = PNInflateImageFromResponse(reply(200, "image/png"), data, 2);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(CGImageGetWidth(image->CGImage()), 2048u);
    EXPECT_EQ(CGImageGetBitmapInfo(image->CGImage()), CGImageGetBitmapInfo(decoded->CGImage()));
}

TEST_F(ImageResponseSerializerTest, WithoutInflationTheImageIsOnlyRescaled)
{
    auto serializer = PNImageResponseSerializer::serializer();
    serializer->setAutomaticallyInflatesResponseImage(false);
    auto image = dv::as<UIImage>(serializer->responseObjectForResponse(reply(200, "image/png"), pngOfSize(8, 8), nullptr));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 3);
    EXPECT_FALSE(isInflatedLayout(image->CGImage()));
}

TEST_F(ImageResponseSerializerTest, CMYKJpegTakesTheGeneralDecoder)
{
    auto cmyk = jpegWithPixelFormat(TJPF_CMYK, 4);
    auto rgb = jpegWithPixelFormat(TJPF_RGB, 3);
    ASSERT_TRUE(cmyk);
    ASSERT_TRUE(rgb);
    EXPECT_EQ(dv::internal::http::jpegFrameComponents(cmyk), 4);
    EXPECT_EQ(dv::internal::http::jpegFrameComponents(rgb), 3);
    EXPECT_FALSE(dv::internal::http::decodeJPEGBitmap(cmyk));
    EXPECT_TRUE(dv::internal::http::decodeJPEGBitmap(rgb));

    auto image = dv::as<UIImage>(PNImageResponseSerializer::serializer()->responseObjectForResponse(reply(200, "image/jpeg"), cmyk, nullptr));
    ASSERT_TRUE(image);
    EXPECT_EQ(CGImageGetWidth(image->CGImage()), 16u);
    EXPECT_EQ(image->scale(), 3);
}

TEST_F(ImageResponseSerializerTest, UndecodableOrEmptyDataGivesNil)
{
    auto serializer = PNImageResponseSerializer::serializer();
    Ref<NSError> error;
    EXPECT_FALSE(serializer->responseObjectForResponse(reply(200, "image/png"), bytes("not an image"), &error));
    EXPECT_FALSE(error);
    EXPECT_FALSE(serializer->responseObjectForResponse(reply(200, "image/png"), NSData::data(), &error));
    EXPECT_FALSE(PNImageFromDataAtScale(nil, 2));
    // A PNG announced as JPEG still decodes, through the general decoder.
    EXPECT_TRUE(serializer->responseObjectForResponse(reply(200, "image/jpeg"), pngOfSize(4, 4), &error));
}

TEST_F(ImageResponseSerializerTest, PicturesOfMorePixelsThanAScreenShowsGiveNilUndecoded)
{
    // 100 million pixels in some 12 KB; one past the limit, and one at it.
    auto huge = NSData::fromString(dv::testing::blackPng(10000, 10000));
    auto wide = NSData::fromString(dv::testing::blackPng(4097, 4096));
    for (bool inflates : { true, false }) {
        auto serializer = PNImageResponseSerializer::serializer();
        serializer->setAutomaticallyInflatesResponseImage(inflates);
        for (const auto& data : { huge, wide }) {
            Ref<NSError> error;
            auto start = std::chrono::steady_clock::now();
            EXPECT_FALSE(serializer->responseObjectForResponse(reply(200, "image/png"), data, &error)) << inflates;
            EXPECT_FALSE(error);
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200)) << "decoded after all";
        }
    }
    auto edge = dv::as<UIImage>(PNImageResponseSerializer::serializer()->responseObjectForResponse(reply(200, "image/png"),
        NSData::fromString(dv::testing::blackPng(4096, 512)), nullptr));
    ASSERT_TRUE(edge);
    EXPECT_EQ(CGImageGetWidth(edge->CGImage()), 4096u);
}

TEST_F(ImageResponseSerializerTest, DecodingFromManyThreadsAtOnce)
{
    auto data = pngOfSize(64, 64);
    auto serializer = PNImageResponseSerializer::serializer();
    std::atomic<int> decoded { 0 };
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] {
            for (int j = 0; j < 10; ++j)
                if (serializer->responseObjectForResponse(reply(200, "image/png"), data, nullptr))
                    ++decoded;
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(decoded.load(), 40);
}
