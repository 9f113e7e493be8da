// Progressive downloads against plain ones, in the same run: two large pictures from a loopback
// server through the image downloader, with and without partial images, each load ending with the
// decoded image. A 4096 x 4096 JPEG and a lossless WebP of about 3.5 MB, both made here. Each
// *Ratio benchmark alternates the two loads in every iteration and reports progressive / plain as
// "ratio" (target: at most 2), the partial images one progressive load delivered as
// "partial_images", and the file's size.
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/graphics/UIImage.h"
#include "platform/testing/LoopbackServer.h"
#include "ui/images/RIWebImageDownloader.h"

#include <benchmark/benchmark.h>
#include <webp/encode.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A photograph-like picture: smooth gradients under a little noise, straight RGBA.
std::vector<std::uint8_t> photoPixels(int w, int h, int noiseBits, std::uint32_t seed)
{
    std::vector<std::uint8_t> px(std::size_t(w) * std::size_t(h) * 4);
    const int noiseShift = 32 - noiseBits, noiseMiddle = 1 << (noiseBits - 1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> noiseShift) - noiseMiddle;
            std::uint8_t* p = &px[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4];
            p[0] = std::uint8_t(std::clamp(int(128 + 100 * std::sin(x / 160.0)) + noise, 0, 255));
            p[1] = std::uint8_t(std::clamp(int(128 + 100 * std::cos(y / 120.0)) + noise, 0, 255));
            p[2] = std::uint8_t(std::clamp((x + y) / 40 + noise, 0, 255));
            p[3] = 255;
        }
    return px;
}

std::string jpeg4096()
{
    constexpr int side = 4096;
    auto image = dv::makeImage(side, side, 8, 32, side * 4, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNoneSkipLast,
        photoPixels(side, side, 3, 4242));
    auto data = UIImageJPEGRepresentation(UIImage::imageWithCGImage(image), 0.85);
    return std::string(reinterpret_cast<const char*>(data->bytes()), data->length());
}

std::string losslessWebP()
{
    constexpr int side = 2100;
    auto rgba = photoPixels(side, side, 5, 99);
    std::uint8_t* out = nullptr;
    const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), side, side, side * 4, &out);
    if (size == 0)
        std::abort();
    std::string bytes(reinterpret_cast<const char*>(out), size);
    WebPFree(out);
    return bytes;
}

struct Picture {
    std::string path;
    std::size_t bytes = 0;
    std::size_t width = 0;
};

struct Fixture {
    dv::testing::LoopbackServer server;
    Ref<RIWebImageDownloader> downloader = alloc<RIWebImageDownloader>()->init();
    Picture jpeg, webp;

    Fixture()
    {
        auto serve = [&](const std::string& path, std::string body, const char* type, std::size_t width) {
            Picture picture {path, body.size(), width};
            server.route(path, dv::testing::ScriptedReply {.body = std::move(body), .contentType = type});
            return picture;
        };
        jpeg = serve("/photo.jpg", jpeg4096(), "image/jpeg", 4096);
        webp = serve("/lossless.webp", losslessWebP(), "image/webp", 2100);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// One download to its decoded image; answers the partial images it delivered.
int load(const Picture& picture, RIWebImageDownloadOptions options)
{
    auto& f = fixture();
    std::atomic<int> partials { 0 };
    std::atomic<bool> done { false }, failed { false };
    f.downloader->downloadImageWithURL(NSURL::URLWithString(NSString::fromUTF8(f.server.url(picture.path))), options, nil,
        [&](const Ref<UIImage>& image, const Ref<NSData>&, const Ref<NSError>&, bool finished) {
            if (!finished) {
                ++partials;
                return;
            }
            failed = !image || CGImageGetWidth(image->CGImage()) != picture.width;
            done = true;
        });
    // The main loop takes the partial images and the notifications.
    if (!NSRunLoop::mainRunLoop()->runUntil([&] { return done.load(); }, 120) || failed)
        std::abort();
    NSRunLoop::mainRunLoop()->runUntil([&] { return f.downloader->currentDownloadCount() == 0; }, 10);
    return partials;
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void progressiveRatio(benchmark::State& state, const Picture& picture)
{
    load(picture, RIWebImageDownloadProgressive); // connection and threads made outside the count
    double progressive = 0, plain = 0;
    int partials = 0, loads = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        load(picture, 0);
        auto t1 = std::chrono::steady_clock::now();
        partials += load(picture, RIWebImageDownloadProgressive);
        auto t2 = std::chrono::steady_clock::now();
        plain += seconds(t1 - t0);
        progressive += seconds(t2 - t1);
        ++loads;
    }
    state.counters["ratio"] = progressive / plain;
    state.counters["partial_images"] = double(partials) / loads;
    state.counters["file_MB"] = double(picture.bytes) / (1 << 20);
}

void BM_ProgressiveJPEG4096Ratio(benchmark::State& state) { progressiveRatio(state, fixture().jpeg); }
void BM_ProgressiveLosslessWebPRatio(benchmark::State& state) { progressiveRatio(state, fixture().webp); }

} // namespace

BENCHMARK(BM_ProgressiveJPEG4096Ratio)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProgressiveLosslessWebPRatio)->Unit(benchmark::kMillisecond)->UseRealTime();
