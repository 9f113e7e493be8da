#include "platform/base/Base.h"
#include "platform/base/NSCache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

Ref<NSString> key(const char* text) { return NSMutableString::fromUTF8(text); } // a new object each time

// Records what leaves the cache; may use the cache from inside the callback.
class EvictionRecorder : public NSCacheDelegate {
public:
    bool cacheWillEvictObject(const Ref<NSCache>& cache, const id& object) override
    {
        evicted.push_back(dv::str(object));
        if (reenter)
            cache->objectForKey("anything"_ns); // must not deadlock
        return true;
    }
    std::vector<std::string> evicted;
    bool reenter = false;
};

Ref<NSCache> makeCache() { return alloc<NSCache>()->init(); }

} // namespace

TEST(Cache, StoresFindsAndRemovesByEqualKeys)
{
    auto cache = makeCache();
    cache->setObjectForKey("image-a"_ns, key("a"));
    EXPECT_TRUE(dv::equal(cache->objectForKey(key("a")), "image-a"_ns)); // an equal key, not the same object
    EXPECT_EQ(cache->objectForKey(key("b")), nil);
    EXPECT_EQ(cache->objectForKey(nil), nil);
    cache->setObjectForKey("x"_ns, nil); // ignored
    EXPECT_EQ(cache->count(), 1u);
    cache->setObjectForKey(nil, key("a")); // removes
    EXPECT_EQ(cache->objectForKey(key("a")), nil);
    cache->setObjectForKey("1"_ns, NSNumber::from(1));
    cache->removeObjectForKey(NSNumber::from(1.0)); // equal by value
    EXPECT_EQ(cache->count(), 0u);
    cache->setName("com.tornavel.RIWebImageCache.default"_ns);
    EXPECT_EQ(dv::str(cache->name()), "com.tornavel.RIWebImageCache.default");
}

TEST(Cache, CountLimitEvictsTheLeastRecentlyUsed)
{
    auto cache = makeCache();
    auto recorder = std::make_shared<EvictionRecorder>();
    cache->setDelegate(recorder);
    cache->setCountLimit(2);
    cache->setObjectForKey("A"_ns, key("a"));
    cache->setObjectForKey("B"_ns, key("b"));
    cache->objectForKey(key("a")); // a is now more recent than b
    cache->setObjectForKey("C"_ns, key("c"));
    EXPECT_EQ(recorder->evicted, std::vector<std::string> {"B"});
    EXPECT_TRUE(cache->objectForKey(key("a")));
    EXPECT_FALSE(cache->objectForKey(key("b")));
    EXPECT_TRUE(cache->objectForKey(key("c")));
    cache->setCountLimit(1); // lowering the limit evicts at once
    EXPECT_EQ(recorder->evicted, (std::vector<std::string> {"B", "A"}));
    EXPECT_EQ(cache->count(), 1u);
}

TEST(Cache, CostLimitEvictsUntilTheTotalFits)
{
    auto cache = makeCache();
    auto recorder = std::make_shared<EvictionRecorder>();
    cache->setDelegate(recorder);
    cache->setTotalCostLimit(100);
    cache->setObjectForKey("A"_ns, key("a"), 40);
    cache->setObjectForKey("B"_ns, key("b"), 40);
    cache->setObjectForKey("C"_ns, key("c"), 10);
    EXPECT_EQ(cache->totalCost(), 90u);
    EXPECT_TRUE(recorder->evicted.empty());
    cache->setObjectForKey("D"_ns, key("d"), 55); // 145: a and b must go (c alone is not enough)
    EXPECT_EQ(recorder->evicted, (std::vector<std::string> {"A", "B"}));
    EXPECT_EQ(cache->totalCost(), 65u);
    // Replacing an entry changes its cost (and the old object leaves).
    auto c2 = "C2"_ns;
    cache->setObjectForKey(c2, key("c"), 5);
    EXPECT_EQ(cache->totalCost(), 60u);
    EXPECT_EQ(recorder->evicted.back(), "C");
    cache->setObjectForKey(c2, key("c"), 5); // the same object again: nothing leaves
    EXPECT_EQ(recorder->evicted.size(), 3u);
    // An object above the whole limit does not stay.
    cache->setObjectForKey("huge"_ns, key("h"), 500);
    EXPECT_FALSE(cache->objectForKey(key("h")));
    EXPECT_EQ(cache->totalCost(), 0u);
    // Least recently used first: d, then c (stored again after d), then the new one itself.
    EXPECT_EQ(recorder->evicted, (std::vector<std::string> {"A", "B", "C", "D", "C2", "huge"}));
    // No limit: nothing is evicted for cost.
    cache->setTotalCostLimit(0);
    for (int i = 0; i < 50; ++i)
        cache->setObjectForKey(NSNumber::from(i), NSNumber::from(i), 1000000);
    EXPECT_EQ(cache->count(), 50u);
}

TEST(Cache, DelegateHearsRemovalsIsHeldWeaklyAndMayUseTheCache)
{
    auto cache = makeCache();
    auto recorder = std::make_shared<EvictionRecorder>();
    recorder->reenter = true;
    cache->setDelegate(recorder);
    cache->setObjectForKey("A"_ns, key("a"));
    cache->setObjectForKey("B"_ns, key("b"));
    cache->removeObjectForKey(key("a"));
    cache->removeObjectForKey(key("missing"));
    EXPECT_EQ(recorder->evicted, std::vector<std::string> {"A"});
    cache->setObjectForKey("C"_ns, key("c"));
    cache->removeAllObjects();
    EXPECT_EQ(recorder->evicted, (std::vector<std::string> {"A", "B", "C"}));
    EXPECT_EQ(cache->count(), 0u);

    Weak<EvictionRecorder> weak = recorder;
    recorder.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(cache->delegate());
    cache->setObjectForKey("D"_ns, key("d"));
    cache->removeAllObjects(); // no delegate left: nothing to tell
}

TEST(Cache, ManyThreadsKeepTheLimitsAndTheAccounts)
{
    auto cache = makeCache();
    cache->setCountLimit(64);
    cache->setTotalCostLimit(1000);
    std::atomic<int> evictions {0};
    class Counter : public NSCacheDelegate {
    public:
        explicit Counter(std::atomic<int>& n) : m_n(n) { }
        bool cacheWillEvictObject(const Ref<NSCache>&, const id&) override
        {
            ++m_n;
            return true;
        }
        std::atomic<int>& m_n;
    };
    auto counter = std::make_shared<Counter>(evictions);
    cache->setDelegate(counter);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([cache, t] {
            for (int i = 0; i < 2000; ++i) {
                auto k = NSNumber::from((t * 7919 + i * 31) % 300);
                switch (i % 4) {
                case 0:
                case 1: cache->setObjectForKey(NSNumber::from(i), k, static_cast<NSUInteger>(i % 40)); break;
                case 2: cache->objectForKey(k); break;
                default: cache->removeObjectForKey(k); break;
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_LE(cache->count(), 64u);
    EXPECT_LE(cache->totalCost(), 1000u);
    EXPECT_GT(evictions.load(), 0);
    // The running total matches the entries held: removing each key brings it back to 0.
    for (int k = 0; k < 300; ++k)
        cache->removeObjectForKey(NSNumber::from(k));
    EXPECT_EQ(cache->count(), 0u);
    EXPECT_EQ(cache->totalCost(), 0u);
}
