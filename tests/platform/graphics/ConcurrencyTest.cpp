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
