#include "GraphicsTestSupport.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/NSStringDrawing.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace dv::test;

// Decoding, drawing and measuring run on worker threads in the application (downloads, caches);
// each thread's image context is its own and shared objects are safe to read together.
TEST(ConcurrencyTest, ThreadsDecodeDrawAndMeasureTogether)
{
    auto bitmap = makeRGBAImage(40, 30, [](std::size_t x, std::size_t y) { return Pixel {std::uint8_t(x * 6), std::uint8_t(y * 8), 9, 255}; });
    auto jpeg = UIImageJPEGRepresentation(UIImage::imageWithCGImage(bitmap), 0.8);
    auto png = UIImagePNGRepresentation(UIImage::imageWithCGImage(bitmap));
    auto shared = UIImage::imageWithCGImage(bitmap, 2, UIImageOrientationLeft);
    auto source = CGImageSourceCreateWithData(jpeg, nil);
    const CGSize expected = sizeWithAttributes("并发测量"_ns, NSDictionary::of({{NSFontAttributeName, UIFont::systemFontOfSize(14)}}));
    std::atomic<int> failures {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                if (!UIImage::imageWithData(t % 2 ? jpeg : png) || !CGImageSourceCreateImageAtIndex(source, 0, nil))
                    ++failures;
                UIGraphicsBeginImageContextWithOptions(CGSizeMake(15, 20), false, 1);
                shared->drawInRect(CGRectMake(0, 0, 15, 20));
                auto drawn = UIGraphicsGetImageFromCurrentImageContext();
                UIGraphicsEndImageContext();
                if (!drawn || drawn->size() != CGSizeMake(15, 20))
                    ++failures;
                auto attrs = NSDictionary::of({{NSFontAttributeName, UIFont::systemFontOfSize(14)}});
                if (sizeWithAttributes("并发测量"_ns, attrs) != expected)
                    ++failures;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_FALSE(UIGraphicsGetCurrentContext());
}

// A download thread feeds a source while the main thread shows its partial images: the rows an
// image shows are never written again, so reading them races with nothing.
TEST(ConcurrencyTest, PartialImagesAreReadWhileDecodingGoesOn)
{
    const Ref<NSData> files[] = {
        UIImagePNGRepresentation(UIImage::imageWithCGImage(photoLike(64, 256, 2, true))),
        writeJpeg(photoLike(64, 256, 4)),
        writeJpeg(photoLike(64, 256, 6), {.progressive = true}),
    };
    for (const auto& data : files) {
        auto source = CGImageSourceCreateIncremental(nil);
        std::atomic<bool> done {false};
        std::thread feeder([&] {
            for (std::size_t n = 64; n < data->length() + 64; n += 64)
                CGImageSourceUpdateData(source, prefix(data, n), n >= data->length());
            done = true;
        });
        std::size_t checksum = 0;
        while (!done.load()) {
            if (auto image = CGImageSourceCreateImageAtIndex(source, 0, nil))
                for (auto byte : storedRows(image))
                    checksum += byte;
        }
        feeder.join();
        EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);
        EXPECT_EQ(storedRows(CGImageSourceCreateImageAtIndex(source, 0, nil)), storedRows(UIImage::imageWithData(data)->CGImage()));
        (void)checksum;
    }
}
