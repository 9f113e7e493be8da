// The image downloader against what it stands in for, in the same run: 200 distinct pictures of
// about 50 KB from a loopback server, through the downloader (its queue of six, a worker thread
// with its run loop per download, decoding and forced decoding there), against fetching the same
// pictures with a libcurl multi handle six at a time and decoding them the same way. The Ratio
// benchmark alternates the two in each iteration and reports ours / baseline as "ratio" (target:
// at most 1.5). Both report the peak growth of the heap while they run, against what the
// pictures in flight take (six files and their decoded bitmaps): the downloader keeps no more.
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/graphics/UIImage.h"
#include "platform/testing/LoopbackServer.h"
#include "ui/images/RIWebImageDownloader.h"
#include "ui/images/UIImageForceDecode.h"
#include "ui/images/UIImageMultiFormat.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kPictures = 200;
constexpr int kInFlight = 6;
constexpr int kWidth = 320, kHeight = 240;

// A photograph-like picture, different for every seed, encoded as a JPEG of about 50 KB.
Ref<NSData> picture(std::uint32_t seed)
{
    std::vector<std::uint8_t> px(std::size_t(kWidth) * kHeight * 4);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 26) - 32;
            std::uint8_t* p = &px[(std::size_t(y) * kWidth + std::size_t(x)) * 4];
            p[0] = std::uint8_t(std::clamp(int(128 + 100 * std::sin(x / 23.0 + seed % 7)) + noise, 0, 255));
            p[1] = std::uint8_t(std::clamp(int(128 + 100 * std::cos(y / 17.0)) + noise, 0, 255));
            p[2] = std::uint8_t(std::clamp((x + y) / 3 + noise, 0, 255));
            p[3] = 255;
        }
    auto image = dv::makeImage(kWidth, kHeight, 8, 32, std::size_t(kWidth) * 4, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNoneSkipLast,
        std::move(px));
    return UIImageJPEGRepresentation(UIImage::imageWithCGImage(image), 0.9);
}

struct Fixture {
    dv::testing::LoopbackServer server;
    std::vector<std::string> urls;
    std::size_t totalBytes = 0;

    Fixture()
    {
        for (int i = 0; i < kPictures; ++i) {
            auto data = picture(std::uint32_t(1000 + i));
            totalBytes += data->length();
            std::string path = "/pictures/" + std::to_string(i) + ".jpg";
            server.route(path, dv::testing::ScriptedReply {
                .body = std::string(reinterpret_cast<const char*>(data->bytes()), data->length()), .contentType = "image/jpeg"});
            urls.push_back(server.url(path));
        }
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// The decoding both sides do with a picture once its bytes are in.
bool decode(const Ref<NSData>& data)
{
    auto image = decodedImageWithImage(ri_imageWithData(data));
    return image && CGImageGetWidth(image->CGImage()) == kWidth;
}

// Samples the heap in use on a thread of its own while a phase runs, and keeps the highest value
// above the level it started from.
class HeapPeak {
public:
    HeapPeak() : m_start(inUse()), m_peak(m_start)
    {
        m_sampler = std::thread([this] {
            while (!m_stop) {
                m_peak = std::max(m_peak.load(), inUse());
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
    }
    ~HeapPeak() { stop(); }
    std::size_t stop()
    {
        if (m_sampler.joinable()) {
            m_stop = true;
            m_sampler.join();
        }
        return m_peak > m_start ? m_peak - m_start : 0;
    }

private:
    static std::size_t inUse()
    {
        auto info = mallinfo2();
        return info.uordblks + info.hblkhd;
    }
    std::size_t m_start;
    std::atomic<std::size_t> m_peak;
    std::atomic<bool> m_stop { false };
    std::thread m_sampler;
};

void throughDownloader(const Ref<RIWebImageDownloader>& downloader)
{
    auto& f = fixture();
    std::atomic<int> done { 0 }, failed { 0 };
    for (auto& url : f.urls)
        downloader->downloadImageWithURL(NSURL::URLWithString(NSString::fromUTF8(url)), 0, nil,
            [&](const Ref<UIImage>& image, const Ref<NSData>&, const Ref<NSError>&, bool finished) {
                if (!finished)
                    return;
                if (!image || CGImageGetWidth(image->CGImage()) != kWidth)
                    ++failed;
                ++done;
            });
    // The main loop takes the notifications the downloads post.
    if (!NSRunLoop::mainRunLoop()->runUntil([&] { return done == kPictures; }, 120) || failed)
        std::abort();
    NSRunLoop::mainRunLoop()->runUntil([&] { return downloader->currentDownloadCount() == 0; }, 10);
}

struct Transfer {
    CURL* easy = nullptr;
    Ref<NSMutableData> body;
};

std::size_t collect(char* bytes, std::size_t size, std::size_t count, void* user)
{
    static_cast<Transfer*>(user)->body->appendBytes(bytes, size * count);
    return size * count;
}

struct CurlBaseline {
    CURLM* multi = curl_multi_init();
    CurlBaseline() { curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, long(kInFlight)); }
    ~CurlBaseline() { curl_multi_cleanup(multi); }

    void run()
    {
        auto& f = fixture();
        std::vector<Transfer> transfers(f.urls.size());
        std::size_t next = 0;
        int running = 0, finished = 0;
        auto add = [&] {
            auto& t = transfers[next];
            t.easy = curl_easy_init();
            t.body = NSMutableData::dataWithCapacity(0);
            curl_easy_setopt(t.easy, CURLOPT_URL, f.urls[next].c_str());
            curl_easy_setopt(t.easy, CURLOPT_WRITEFUNCTION, collect);
            curl_easy_setopt(t.easy, CURLOPT_WRITEDATA, &t);
            curl_easy_setopt(t.easy, CURLOPT_PRIVATE, &t);
            curl_easy_setopt(t.easy, CURLOPT_HTTPHEADER, nullptr);
            curl_multi_add_handle(multi, t.easy);
            ++next;
            ++running;
        };
        while (running < kInFlight && next < transfers.size())
            add();
        while (finished < int(transfers.size())) {
            int active = 0;
            curl_multi_perform(multi, &active);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                Transfer* t = nullptr;
                curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &t);
                if (message->data.result != CURLE_OK || !decode(t->body))
                    std::abort();
                curl_multi_remove_handle(multi, t->easy);
                curl_easy_cleanup(t->easy);
                t->easy = nullptr;
                t->body = nil;
                ++finished;
                --running;
                if (next < transfers.size())
                    add();
            }
            if (finished < int(transfers.size()))
                curl_multi_poll(multi, nullptr, 0, 100, nullptr);
        }
    }
};

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// What six pictures in flight take at most: their files and their decoded bitmaps, twice over for
// the forced decoding's copy.
double inFlightBound()
{
    const double file = double(fixture().totalBytes) / kPictures;
    const double bitmap = double(kWidth) * kHeight * 4;
    return kInFlight * (file + 2 * bitmap);
}

void BM_DownloaderFetch200(benchmark::State& state)
{
    auto downloader = alloc<RIWebImageDownloader>()->init();
    throughDownloader(downloader); // threads, sessions and connections made once, outside the count
    std::size_t peak = 0;
    for (auto _ : state) {
        HeapPeak heap;
        throughDownloader(downloader);
        peak = std::max(peak, heap.stop());
    }
    state.counters["peak_heap_MB"] = double(peak) / (1 << 20);
    state.counters["in_flight_bound_MB"] = inFlightBound() / (1 << 20);
}

void BM_CurlMultiFetch200(benchmark::State& state)
{
    CurlBaseline curl;
    curl.run();
    std::size_t peak = 0;
    for (auto _ : state) {
        HeapPeak heap;
        curl.run();
        peak = std::max(peak, heap.stop());
    }
    state.counters["peak_heap_MB"] = double(peak) / (1 << 20);
}

void BM_DownloaderFetch200Ratio(benchmark::State& state)
{
    auto downloader = alloc<RIWebImageDownloader>()->init();
    CurlBaseline curl;
    double oursTotal = 0, baselineTotal = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        curl.run();
        auto t1 = std::chrono::steady_clock::now();
        throughDownloader(downloader);
        auto t2 = std::chrono::steady_clock::now();
        baselineTotal += seconds(t1 - t0);
        oursTotal += seconds(t2 - t1);
    }
    state.counters["ratio"] = oursTotal / baselineTotal;
    state.counters["picture_KB"] = double(fixture().totalBytes) / kPictures / 1024;
}

} // namespace

BENCHMARK(BM_DownloaderFetch200)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlMultiFetch200)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DownloaderFetch200Ratio)->Unit(benchmark::kMillisecond)->UseRealTime();
