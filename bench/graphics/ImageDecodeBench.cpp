// Decoding a 1000 x 1000 JPEG and PNG through UIImage against the codec libraries called directly
// into a buffer, in the same run. The *Ratio benchmarks alternate the two in each iteration and
// report ours / direct as the "ratio" counter (the target is at most 1.15).
#include "platform/base/NSData.h"
#include "platform/graphics/UIImage.h"

#include <benchmark/benchmark.h>
#include <png.h>
#include <turbojpeg.h>

#include <chrono>
#include <cmath>
#include <vector>

namespace {

constexpr int kSize = 1000;

CGImageRef photoLikeImage()
{
    std::vector<std::uint8_t> px(std::size_t(kSize) * kSize * 4);
    std::uint32_t seed = 12345;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28) - 8;
            std::uint8_t* p = &px[(std::size_t(y) * kSize + std::size_t(x)) * 4];
            p[0] = std::uint8_t(std::clamp(int(128 + 100 * std::sin(x / 60.0)) + noise, 0, 255));
            p[1] = std::uint8_t(std::clamp(int(128 + 100 * std::cos(y / 45.0)) + noise, 0, 255));
            p[2] = std::uint8_t(std::clamp((x + y) / 8 + noise, 0, 255));
            p[3] = 255;
        }
    return dv::makeImage(kSize, kSize, 8, 32, kSize * 4, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNoneSkipLast, std::move(px));
}

const Ref<NSData>& jpegData()
{
    static const Ref<NSData> data = UIImageJPEGRepresentation(UIImage::imageWithCGImage(photoLikeImage()), 0.85);
    return data;
}

const Ref<NSData>& pngData()
{
    static const Ref<NSData> data = UIImagePNGRepresentation(UIImage::imageWithCGImage(photoLikeImage()));
    return data;
}

void decodeThroughUIImage(const Ref<NSData>& data)
{
    auto image = UIImage::imageWithData(data);
    if (!image || CGImageGetWidth(image->CGImage()) != kSize)
        std::abort();
    benchmark::DoNotOptimize(image->CGImage()->bytes());
}

void decodeTurboJpeg(tjhandle tj, const Ref<NSData>& data)
{
    int w = 0, h = 0, sub = 0, cs = 0;
    auto* bytes = const_cast<unsigned char*>(data->bytes());
    if (tjDecompressHeader3(tj, bytes, data->length(), &w, &h, &sub, &cs) != 0)
        std::abort();
    std::vector<std::uint8_t> pixels(std::size_t(w) * std::size_t(h) * 4);
    if (tjDecompress2(tj, bytes, data->length(), pixels.data(), w, w * 4, h, TJPF_RGBX, 0) != 0)
        std::abort();
    benchmark::DoNotOptimize(pixels.data());
}

void decodeLibpng(const Ref<NSData>& data)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data->bytes(), data->length()))
        std::abort();
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        std::abort();
    benchmark::DoNotOptimize(pixels.data());
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

template <class Ours, class Direct>
void compare(benchmark::State& state, Ours ours, Direct direct)
{
    double oursTotal = 0, directTotal = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        direct();
        auto t1 = std::chrono::steady_clock::now();
        ours();
        auto t2 = std::chrono::steady_clock::now();
        directTotal += seconds(t1 - t0);
        oursTotal += seconds(t2 - t1);
    }
    state.counters["ratio"] = oursTotal / directTotal;
}

void BM_JpegUIImage(benchmark::State& state)
{
    for (auto _ : state)
        decodeThroughUIImage(jpegData());
}

void BM_JpegTurboDirect(benchmark::State& state)
{
    tjhandle tj = tjInitDecompress();
    for (auto _ : state)
        decodeTurboJpeg(tj, jpegData());
    tjDestroy(tj);
}

void BM_JpegRatio(benchmark::State& state)
{
    tjhandle tj = tjInitDecompress();
    compare(state, [] { decodeThroughUIImage(jpegData()); }, [&] { decodeTurboJpeg(tj, jpegData()); });
    tjDestroy(tj);
}

void BM_PngUIImage(benchmark::State& state)
{
    for (auto _ : state)
        decodeThroughUIImage(pngData());
}

void BM_PngLibpngDirect(benchmark::State& state)
{
    for (auto _ : state)
        decodeLibpng(pngData());
}

void BM_PngRatio(benchmark::State& state)
{
    compare(state, [] { decodeThroughUIImage(pngData()); }, [] { decodeLibpng(pngData()); });
}

} // namespace

BENCHMARK(BM_JpegUIImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegTurboDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegRatio)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngUIImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngLibpngDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngRatio)->Unit(benchmark::kMillisecond);
