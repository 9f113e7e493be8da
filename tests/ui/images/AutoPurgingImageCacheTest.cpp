// The network downloader's memory cache: what an image costs, replacing, purging the least
// recently looked-up images down to the preferred usage (and the preferred usage held to the
// capacity), removal answers, memory warnings, request keys, and lookups racing additions.
#include "ImagesTestSupport.h"

#include "platform/base/NSDate.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/net/NSURLRequest.h"
#include "platform/ui/UIApplication.h"
#include "ui/images/PNAutoPurgingImageCache.h"
#include "ui/images/PNCachedImage.h"

#include <atomic>
#include <thread>
#include <vector>

namespace dv::test {
namespace {

class AutoPurgingImageCacheTest : public ImagesTest {
protected:
    // 10 x 10 pixels at scale 1: 400 bytes.
    static Ref<UIImage> small() { return image(10, 10); }
    // Adds and waits for the addition (made on the cache's queue, where the entry is dated), then
    // moves the clock on, so that every entry has a date of its own.
    void addThenTick(const Ref<PNAutoPurgingImageCache>& cache, const Ref<NSString>& identifier)
    {
        cache->addImage(small(), identifier);
        (void)cache->memoryUsage();
        clock().advance(1);
    }
    static Ref<NSURLRequest> request(const char* url) { return NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(url))); }
};

TEST_F(AutoPurgingImageCacheTest, AnImageCostsFourBytesPerPixelAtItsScale)
{
    auto picture = image(200, 100, false, 2); // 100 x 50 points at scale 2
    EXPECT_EQ(PNCachedImage::costOfImage(picture), 80000u);
    auto entry = alloc<PNCachedImage>()->initWithImage(picture, "a"_ns);
    EXPECT_EQ(entry->totalBytes(), 80000u);
    EXPECT_EQ(entry->lastAccessDate()->timeIntervalSinceReferenceDate(), clock().now());
    clock().advance(5);
    EXPECT_EQ(entry->accessImage(), picture);
    EXPECT_EQ(entry->lastAccessDate()->timeIntervalSinceReferenceDate(), clock().now());
    EXPECT_EQ(str(entry->description()), "Idenfitier: a  lastAccessDate: " + str(entry->lastAccessDate()->description()) + " ");
}

TEST_F(AutoPurgingImageCacheTest, DefaultsAndAPreferredUsageHeldToTheCapacity)
{
    auto cache = alloc<PNAutoPurgingImageCache>()->init();
    EXPECT_EQ(cache->memoryCapacity(), 104857600u);
    EXPECT_EQ(cache->preferredMemoryUsageAfterPurge(), 62914560u);
    EXPECT_EQ(cache->memoryUsage(), 0u);

    // A preferred usage above the capacity would purge everything (or nothing): it is taken as
    // the capacity, so an addition past it removes only the oldest image.
    auto clamped = alloc<PNAutoPurgingImageCache>()->initWithMemoryCapacity(1000, 5000);
    EXPECT_EQ(clamped->preferredMemoryUsageAfterPurge(), 1000u);
    for (auto id : {"a", "b", "c"})
        addThenTick(clamped, NSString::fromUTF8(id));
    EXPECT_EQ(clamped->memoryUsage(), 800u);
    EXPECT_FALSE(clamped->imageWithIdentifier("a"_ns));
    EXPECT_TRUE(clamped->imageWithIdentifier("b"_ns));
    EXPECT_TRUE(clamped->imageWithIdentifier("c"_ns));

    clamped->setPreferredMemoryUsageAfterPurge(9000);
    EXPECT_EQ(clamped->preferredMemoryUsageAfterPurge(), 1000u);
    clamped->setMemoryCapacity(600);
    EXPECT_EQ(clamped->preferredMemoryUsageAfterPurge(), 600u);
}

TEST_F(AutoPurgingImageCacheTest, ReachingTheCapacityKeepsEverythingPassingItPurgesTheLeastRecentlyUsed)
{
    auto cache = alloc<PNAutoPurgingImageCache>()->initWithMemoryCapacity(1200, 900);
    for (auto id : {"a", "b", "c"})
        addThenTick(cache, NSString::fromUTF8(id));
    EXPECT_EQ(cache->memoryUsage(), 1200u); // equal to the capacity: nothing goes
    ASSERT_TRUE(cache->imageWithIdentifier("a"_ns)); // "a" is now the most recently used
    clock().advance(1);

    cache->addImage(small(), "d"_ns); // 1600: at least 700 must go, oldest access first
    EXPECT_EQ(cache->memoryUsage(), 800u);
    EXPECT_FALSE(cache->imageWithIdentifier("b"_ns));
    EXPECT_FALSE(cache->imageWithIdentifier("c"_ns));
    EXPECT_TRUE(cache->imageWithIdentifier("a"_ns));
    EXPECT_TRUE(cache->imageWithIdentifier("d"_ns));
}

TEST_F(AutoPurgingImageCacheTest, OneByteOverPurgesDownToThePreferredUsageInOnePass)
{
    const std::uint64_t cost = PNCachedImage::costOfImage(small());
    auto cache = alloc<PNAutoPurgingImageCache>()->initWithMemoryCapacity(10 * cost - 1, 3 * cost);
    for (int i = 0; i < 10; ++i)
        addThenTick(cache, NSString::stringWithFormat("%d", i));
    // Ten images are one byte past the capacity: the seven oldest go, the three newest stay.
    EXPECT_EQ(cache->memoryUsage(), 3 * cost);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(bool(cache->imageWithIdentifier(NSString::stringWithFormat("%d", i))), i >= 7) << i;
}

TEST_F(AutoPurgingImageCacheTest, ReplacingRemovingAndEmptying)
{
    auto cache = alloc<PNAutoPurgingImageCache>()->init();
    auto big = image(20, 20);
    cache->addImage(small(), "x"_ns);
    cache->addImage(big, "x"_ns);
    EXPECT_EQ(cache->memoryUsage(), 1600u);
    EXPECT_EQ(cache->imageWithIdentifier("x"_ns), big);
    cache->addImage(small(), "y"_ns);
    EXPECT_EQ(cache->memoryUsage(), 2000u);

    EXPECT_TRUE(cache->removeImageWithIdentifier("x"_ns));
    EXPECT_FALSE(cache->removeImageWithIdentifier("x"_ns));
    EXPECT_EQ(cache->memoryUsage(), 400u);
    EXPECT_TRUE(cache->removeAllImages());
    EXPECT_EQ(cache->memoryUsage(), 0u);
    EXPECT_FALSE(cache->removeAllImages());
    EXPECT_FALSE(cache->imageWithIdentifier("y"_ns));
}

TEST_F(AutoPurgingImageCacheTest, AMemoryWarningEmptiesTheCache)
{
    auto cache = alloc<PNAutoPurgingImageCache>()->init();
    cache->addImage(small(), "a"_ns);
    cache->addImage(small(), "b"_ns);
    NSNotificationCenter::defaultCenter()->postNotificationName(UIApplicationDidReceiveMemoryWarningNotification, nil);
    EXPECT_EQ(cache->memoryUsage(), 0u);
    EXPECT_FALSE(cache->imageWithIdentifier("a"_ns));

    // A cache that is gone no longer listens.
    const auto before = NSNotificationCenter::defaultCenter()->observerCount();
    cache = nil;
    EXPECT_EQ(NSNotificationCenter::defaultCenter()->observerCount(), before - 1);
}

TEST_F(AutoPurgingImageCacheTest, RequestKeysAppendTheAdditionalIdentifierWithoutSeparator)
{
    auto cache = alloc<PNAutoPurgingImageCache>()->init();
    auto plain = request("http://127.0.0.1/a.png?x=1");
    EXPECT_EQ(str(cache->imageCacheKeyFromURLRequest(plain, nil)), "http://127.0.0.1/a.png?x=1");
    EXPECT_EQ(str(cache->imageCacheKeyFromURLRequest(plain, "round"_ns)), "http://127.0.0.1/a.png?x=1round");

    auto rounded = small();
    cache->addImage(rounded, plain, "round"_ns);
    EXPECT_FALSE(cache->imageforRequest(plain, nil));
    EXPECT_EQ(cache->imageforRequest(plain, "round"_ns), rounded);
    EXPECT_EQ(cache->imageWithIdentifier("http://127.0.0.1/a.png?x=1round"_ns), rounded);
    EXPECT_FALSE(cache->removeImageforRequest(plain, nil));
    EXPECT_TRUE(cache->removeImageforRequest(plain, "round"_ns));

    // A request without URL has no key: nothing is kept for it.
    auto empty = NSURLRequest::requestWithURL(nil);
    cache->addImage(rounded, empty, nil);
    EXPECT_EQ(cache->memoryUsage(), 0u);
    EXPECT_FALSE(cache->imageforRequest(empty, nil));
}

TEST_F(AutoPurgingImageCacheTest, LookupsRacingAdditionsKeepTheUsageEqualToTheSumOfCosts)
{
    auto cache = alloc<PNAutoPurgingImageCache>()->initWithMemoryCapacity(400 * 50, 400 * 30);
    auto picture = small();
    std::atomic<bool> stop { false };
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t)
        readers.emplace_back([&, t] {
            while (!stop.load())
                for (int i = 0; i < 80; ++i)
                    (void)cache->imageWithIdentifier(NSString::stringWithFormat("%d", (i + t) % 80));
        });
    std::vector<std::thread> writers;
    for (int t = 0; t < 2; ++t)
        writers.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round)
                for (int i = t; i < 80; i += 2)
                    cache->addImage(picture, NSString::stringWithFormat("%d", i));
        });
    for (auto& w : writers)
        w.join();
    stop = true;
    for (auto& r : readers)
        r.join();
    std::uint64_t kept = 0;
    for (int i = 0; i < 80; ++i)
        kept += cache->imageWithIdentifier(NSString::stringWithFormat("%d", i)) ? 400 : 0;
    EXPECT_EQ(cache->memoryUsage(), kept);
    EXPECT_LE(kept, 400u * 50);
}

} // namespace
} // namespace dv::test
