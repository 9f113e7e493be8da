// An image view given the URL of a picture the memory cache holds, against a direct memory-cache
// look-up of the same key, in the same run (target: at most 3). The *Ratio benchmark alternates
// the two over batches and reports ours / baseline as the "ratio" counter. On the main thread, as
// a table's cells are filled.
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIImage.h"
#include "platform/ui/UIImageView.h"
#include "ui/images/RIWebImageManager.h"
#include "ui/images/UIImageViewWebCache.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

struct Fixture {
    Ref<RIImageCache> cache;
    Ref<NSURL> url = NSURL::URLWithString("http://127.0.0.1:8092/DV/pic/qrcode/1042-1.jpg"_ns);
    Ref<NSString> key;
    Ref<UIImageView> view;

    Fixture()
    {
        auto folder = std::filesystem::temp_directory_path().string();
        cache = alloc<RIImageCache>()->initWithNamespace("bench-view"_ns, NSString::fromUTF8(folder));
        auto manager = RIWebImageManager::sharedManager();
        manager->setImageCache(cache);
        key = manager->cacheKeyForURL(url);
        std::vector<std::uint8_t> pixels(4 * 4 * 4, 200);
        auto picture = UIImage::imageWithCGImage(
            dv::makeImage(4, 4, 8, 32, 16, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNoneSkipLast, std::move(pixels)));
        // A realistic number of pictures in memory.
        for (int i = 0; i < 200; ++i)
            cache->storeImage(picture, NSString::stringWithFormat("http://127.0.0.1:8092/DV/pic/qrcode/%d-1.jpg", 1000 + i), false);
        view = alloc<UIImageView>()->initWithFrame(CGRectMake(0, 0, 60, 60));
        ri_setImageWithURL(view, url);
        if (view->image() != cache->imageFromMemoryCacheForKey(key))
            std::abort(); // not a memory hit
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

constexpr int kBatch = 1000;

void setImages()
{
    auto& f = fixture();
    for (int i = 0; i < kBatch; ++i)
        ri_setImageWithURL(f.view, f.url);
    benchmark::DoNotOptimize(f.view->image().get());
}

void lookUps()
{
    auto& f = fixture();
    for (int i = 0; i < kBatch; ++i) {
        auto image = f.cache->imageFromMemoryCacheForKey(f.key);
        benchmark::DoNotOptimize(image.get());
    }
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_SetImageWithCachedURL1000(benchmark::State& state)
{
    for (auto _ : state)
        setImages();
}

void BM_MemoryLookUpSameKey1000(benchmark::State& state)
{
    for (auto _ : state)
        lookUps();
}

void BM_SetImageWithCachedURLRatio(benchmark::State& state)
{
    double ours = 0, baseline = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        lookUps();
        auto t1 = std::chrono::steady_clock::now();
        setImages();
        auto t2 = std::chrono::steady_clock::now();
        baseline += seconds(t1 - t0);
        ours += seconds(t2 - t1);
    }
    state.counters["ratio"] = ours / baseline;
}

} // namespace

BENCHMARK(BM_SetImageWithCachedURL1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemoryLookUpSameKey1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SetImageWithCachedURLRatio)->Unit(benchmark::kMicrosecond);
