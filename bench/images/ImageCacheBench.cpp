// The image cache against what it stands in for, in the same run. The *Ratio benchmarks alternate
// the two in each iteration and report ours / baseline as the "ratio" counter:
// - a disk-cache hit (file read, decode, scale from the key, forced decoding) against reading the
//   same file and decoding it with UIImage (target: at most 1.2);
// - a memory-cache hit against a look-up of the same key in a hash map behind a mutex (target:
//   at most 2), timed over batches of look-ups since one takes tens of nanoseconds.
#include "platform/base/Mutex.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIImage.h"
#include "ui/images/RIImageCache.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

CGImageRef photoLikeImage(int width, int height)
{
    std::vector<std::uint8_t> px(std::size_t(width) * std::size_t(height) * 4);
    std::uint32_t seed = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28) - 8;
            std::uint8_t* p = &px[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
            p[0] = std::uint8_t(std::clamp(int(128 + 100 * std::sin(x / 60.0)) + noise, 0, 255));
            p[1] = std::uint8_t(std::clamp(int(128 + 100 * std::cos(y / 45.0)) + noise, 0, 255));
            p[2] = std::uint8_t(std::clamp((x + y) / 8 + noise, 0, 255));
            p[3] = 255;
        }
    return dv::makeImage(std::size_t(width), std::size_t(height), 8, 32, std::size_t(width) * 4, CGColorSpaceCreateDeviceRGB(),
        kCGImageAlphaNoneSkipLast, std::move(px));
}

// A cache in a folder of its own, holding a 640 x 480 photograph as a download leaves it.
struct DiskFixture {
    std::filesystem::path folder;
    Ref<RIImageCache> cache;
    Ref<NSString> key = "http://127.0.0.1/pictures/holiday-photo.jpg"_ns;
    Ref<NSString> path;

    DiskFixture()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "dv-bench-images-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        folder = pattern;
        cache = alloc<RIImageCache>()->initWithNamespace("bench"_ns, NSString::fromUTF8(pattern));
        cache->setShouldCacheImagesInMemory(false); // every read goes to the disk
        auto jpeg = UIImageJPEGRepresentation(UIImage::imageWithCGImage(photoLikeImage(640, 480)), 0.85);
        cache->storeImage(UIImage::imageWithData(jpeg), false, jpeg, key, true);
        (void)cache->getSize(); // waits for the write
        path = cache->defaultCachePathForKey(key);
        if (!NSData::dataWithContentsOfFile(path))
            std::abort();
    }
    ~DiskFixture()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

DiskFixture& disk()
{
    static DiskFixture fixture;
    return fixture;
}

void diskCacheHit()
{
    auto image = disk().cache->imageFromDiskCacheForKey(disk().key);
    if (!image || CGImageGetWidth(image->CGImage()) != 640)
        std::abort();
    benchmark::DoNotOptimize(image->CGImage()->bytes());
}

void decodeFromDisk()
{
    auto image = UIImage::imageWithData(NSData::dataWithContentsOfFile(disk().path));
    if (!image || CGImageGetWidth(image->CGImage()) != 640)
        std::abort();
    benchmark::DoNotOptimize(image->CGImage()->bytes());
}

// The memory level with a realistic number of pictures, and the same keys in a plain map.
struct MemoryFixture {
    Ref<RIImageCache> cache = alloc<RIImageCache>()->initWithNamespace("bench-memory"_ns, NSString::fromUTF8(std::filesystem::temp_directory_path().string()));
    dv::Mutex mutex;
    std::unordered_map<std::string, Ref<UIImage>> map DV_GUARDED_BY(mutex);
    std::vector<Ref<NSString>> keys;

    MemoryFixture()
    {
        auto picture = UIImage::imageWithCGImage(photoLikeImage(4, 4));
        for (int i = 0; i < 200; ++i) {
            auto key = NSString::stringWithFormat("http://127.0.0.1:8092/DV/pic/qrcode/%d-1.jpg", 1000 + i);
            cache->storeImage(picture, key, false);
            map.emplace(key->utf8(), picture);
            keys.push_back(key);
        }
    }

    Ref<UIImage> lockedLookup(const Ref<NSString>& key)
    {
        dv::MutexLocker lock(mutex);
        auto found = map.find(key->utf8());
        return found == map.end() ? nil : found->second;
    }
};

MemoryFixture& memory()
{
    static MemoryFixture fixture;
    return fixture;
}

constexpr int kBatch = 1000;

void memoryHits(const std::vector<Ref<NSString>>& keys)
{
    for (int i = 0; i < kBatch; ++i) {
        auto image = memory().cache->imageFromMemoryCacheForKey(keys[std::size_t(i) % keys.size()]);
        benchmark::DoNotOptimize(image.get());
    }
}

void mapHits(const std::vector<Ref<NSString>>& keys)
{
    for (int i = 0; i < kBatch; ++i) {
        auto image = memory().lockedLookup(keys[std::size_t(i) % keys.size()]);
        benchmark::DoNotOptimize(image.get());
    }
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

template <class Ours, class Baseline>
void compare(benchmark::State& state, Ours ours, Baseline baseline)
{
    double oursTotal = 0, baselineTotal = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        baseline();
        auto t1 = std::chrono::steady_clock::now();
        ours();
        auto t2 = std::chrono::steady_clock::now();
        baselineTotal += seconds(t1 - t0);
        oursTotal += seconds(t2 - t1);
    }
    state.counters["ratio"] = oursTotal / baselineTotal;
}

void BM_DiskCacheHit(benchmark::State& state)
{
    for (auto _ : state)
        diskCacheHit();
}

void BM_DecodeFromDisk(benchmark::State& state)
{
    for (auto _ : state)
        decodeFromDisk();
}

void BM_DiskCacheHitRatio(benchmark::State& state) { compare(state, diskCacheHit, decodeFromDisk); }

void BM_MemoryCacheHit1000(benchmark::State& state)
{
    const auto& keys = memory().keys;
    for (auto _ : state)
        memoryHits(keys);
}

void BM_LockedMapHit1000(benchmark::State& state)
{
    const auto& keys = memory().keys;
    for (auto _ : state)
        mapHits(keys);
}

void BM_MemoryCacheHitRatio(benchmark::State& state)
{
    const auto& keys = memory().keys;
    compare(state, [&] { memoryHits(keys); }, [&] { mapHits(keys); });
}

} // namespace

BENCHMARK(BM_DiskCacheHit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeFromDisk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DiskCacheHitRatio)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemoryCacheHit1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LockedMapHit1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemoryCacheHitRatio)->Unit(benchmark::kMicrosecond);
