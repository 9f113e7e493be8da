// Decoding as a download arrives against decoding the whole file once, in the same run: a 6 MB
// PNG and a 1 MB progressive JPEG fed to an incremental image source in 32 updates (through one
// growing buffer, as the download operation does), the image asked for after each. The *Ratio
// benchmarks alternate the two in each iteration and report incremental / once as "ratio" (the
// target is at most 2). The *Memory benchmarks report the growth of the peak resident memory
// while decoding, over the bytes of the decoded pixels, as "peak_ratio" (target at most 1.25),
// beside the same for the codec library called directly into one buffer.
#include "platform/base/NSData.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/UIImage.h"

#include <benchmark/benchmark.h>
#include <png.h>
#include <turbojpeg.h>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kUpdates = 32;

std::vector<std::uint8_t> photoPixels(int w, int h, std::uint32_t seed)
{
    std::vector<std::uint8_t> px(std::size_t(w) * std::size_t(h) * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 27) - 16;
            std::uint8_t* p = &px[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 3];
            p[0] = std::uint8_t(std::clamp(int(128 + 100 * std::sin(x / 60.0)) + noise, 0, 255));
            p[1] = std::uint8_t(std::clamp(int(128 + 100 * std::cos(y / 45.0)) + noise, 0, 255));
            p[2] = std::uint8_t(std::clamp((x + y) / 16 + noise, 0, 255));
        }
    return px;
}

// About 6 MB: a photograph-like picture of 2100 x 1700 pixels.
const Ref<NSData>& pngData()
{
    static const Ref<NSData> data = [] {
        auto rgb = photoPixels(2100, 1700, 12345);
        std::vector<std::uint8_t> rgba;
        rgba.reserve(rgb.size() / 3 * 4);
        for (std::size_t i = 0; i < rgb.size(); i += 3)
            rgba.insert(rgba.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 255});
        auto image = dv::makeImage(2100, 1700, 8, 32, 2100 * 4, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNoneSkipLast, std::move(rgba));
        return UIImagePNGRepresentation(UIImage::imageWithCGImage(image));
    }();
    return data;
}

// About 1 MB: a progressive JPEG (libjpeg's usual ten scans) of 2000 x 1500 pixels.
const Ref<NSData>& jpegData()
{
    static const Ref<NSData> data = [] {
        const int w = 2000, h = 1500;
        auto rgb = photoPixels(w, h, 777);
        jpeg_compress_struct info {};
        jpeg_error_mgr error {};
        info.err = jpeg_std_error(&error);
        jpeg_create_compress(&info);
        unsigned char* out = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&info, &out, &size);
        info.image_width = w;
        info.image_height = h;
        info.input_components = 3;
        info.in_color_space = JCS_RGB;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, 90, TRUE);
        jpeg_simple_progression(&info);
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            JSAMPROW row = rgb.data() + std::size_t(info.next_scanline) * w * 3;
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
        auto bytes = NSData::dataWithBytes(out, size);
        std::free(out);
        return bytes;
    }();
    return data;
}

std::size_t decodedBytes(const CGImageRef& image) { return image ? image->bytesPerRow() * image->height() : 0; }

CGImageRef decodeOnce(const Ref<NSData>& data)
{
    auto source = CGImageSourceCreateWithData(data, nil);
    auto image = CGImageSourceCreateImageAtIndex(source, 0, nil);
    if (!image || CGImageSourceGetStatus(source) != kCGImageStatusComplete)
        std::abort();
    return image;
}

// The download's buffer: its pages are already in memory, as the received bytes would be.
Ref<NSMutableData> downloadBuffer(const Ref<NSData>& data)
{
    auto buffer = NSMutableData::dataWithData(data);
    buffer->setLength(0);
    return buffer;
}

CGImageRef decodeIncrementally(const Ref<NSData>& data, const Ref<NSMutableData>& buffer)
{
    buffer->setLength(0);
    auto source = CGImageSourceCreateIncremental(nil);
    CGImageRef image;
    std::size_t sent = 0;
    for (int i = 1; i <= kUpdates; ++i) {
        const std::size_t upTo = data->length() * std::size_t(i) / kUpdates;
        buffer->appendBytes(data->bytes() + sent, upTo - sent);
        sent = upTo;
        CGImageSourceUpdateData(source, buffer, i == kUpdates);
        image = CGImageSourceCreateImageAtIndex(source, 0, nil); // the previous partial image goes
        benchmark::DoNotOptimize(image.get());
    }
    if (!image || CGImageSourceGetStatus(source) != kCGImageStatusComplete)
        std::abort();
    return image;
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double peakGrowthHere(const std::function<void()>& work)
{
    auto read = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0)
                return std::stod(line.substr(6)) * 1024;
        return -1.0;
    };
    {
        std::ofstream reset("/proc/self/clear_refs");
        if (!(reset << "5") || !reset.flush())
            return -1;
    }
    const double before = read();
    work();
    return read() - before;
}

void ratio(benchmark::State& state, const Ref<NSData>& data)
{
    auto buffer = downloadBuffer(data);
    double once = 0, incremental = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(decodeOnce(data).get());
        auto t1 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(decodeIncrementally(data, buffer).get());
        auto t2 = std::chrono::steady_clock::now();
        once += seconds(t1 - t0);
        incremental += seconds(t2 - t1);
    }
    state.counters["ratio"] = incremental / once;
    state.counters["file_MB"] = double(data->length()) / 1e6;
}

// Peak resident memory growth while `work` runs, from the kernel's high-water mark after resetting
// it; -1 where it cannot be reset. Measured in a child process whose allocator hands every large
// block straight back to the kernel, so that memory freed by earlier work cannot hide new use.
double peakGrowth(const std::function<void()>& work)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        mallopt(M_MMAP_THRESHOLD, 128 * 1024);
        mallopt(M_TRIM_THRESHOLD, 128 * 1024);
        malloc_trim(0);
        const double growth = peakGrowthHere(work);
        (void)!write(fds[1], &growth, sizeof growth);
        _exit(0);
    }
    close(fds[1]);
    double growth = -1;
    if (child < 0 || read(fds[0], &growth, sizeof growth) != sizeof growth)
        growth = -1;
    close(fds[0]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    return growth;
}

void memory(benchmark::State& state, const Ref<NSData>& data, const std::function<std::size_t()>& direct)
{
    auto buffer = downloadBuffer(data);
    const double pixels = double(decodedBytes(decodeOnce(data)));
    double incremental = 0, once = 0, library = 0;
    for (auto _ : state) {
        incremental = peakGrowth([&] { benchmark::DoNotOptimize(decodeIncrementally(data, buffer).get()); });
        once = peakGrowth([&] { benchmark::DoNotOptimize(decodeOnce(data).get()); });
        library = peakGrowth([&] { benchmark::DoNotOptimize(direct()); });
    }
    state.counters["peak_ratio"] = incremental / pixels;
    state.counters["peak_ratio_once"] = once / pixels;
    state.counters["peak_ratio_library"] = library / pixels;
    state.counters["pixels_MB"] = pixels / 1e6;
}

std::size_t libpngDirect()
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, pngData()->bytes(), pngData()->length()))
        std::abort();
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        std::abort();
    return pixels.size();
}

std::size_t turboDirect()
{
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, cs = 0;
    auto* bytes = const_cast<unsigned char*>(jpegData()->bytes());
    tjDecompressHeader3(tj, bytes, jpegData()->length(), &w, &h, &sub, &cs);
    std::vector<std::uint8_t> pixels(std::size_t(w) * std::size_t(h) * 4);
    if (tjDecompress2(tj, bytes, jpegData()->length(), pixels.data(), w, w * 4, h, TJPF_BGRX, 0) != 0)
        std::abort();
    tjDestroy(tj);
    return pixels.size();
}

void BM_PngOnce(benchmark::State& state)
{
    (void)pngData(); // made before the timing starts
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeOnce(pngData()).get());
}

void BM_PngIncremental32(benchmark::State& state)
{
    auto buffer = downloadBuffer(pngData());
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeIncrementally(pngData(), buffer).get());
}

void BM_PngIncrementalRatio(benchmark::State& state) { ratio(state, pngData()); }
void BM_PngMemory(benchmark::State& state) { memory(state, pngData(), libpngDirect); }

void BM_ProgressiveJpegOnce(benchmark::State& state)
{
    (void)jpegData(); // made before the timing starts
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeOnce(jpegData()).get());
}

void BM_ProgressiveJpegIncremental32(benchmark::State& state)
{
    auto buffer = downloadBuffer(jpegData());
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeIncrementally(jpegData(), buffer).get());
}

void BM_ProgressiveJpegIncrementalRatio(benchmark::State& state) { ratio(state, jpegData()); }
void BM_ProgressiveJpegMemory(benchmark::State& state) { memory(state, jpegData(), turboDirect); }

} // namespace

BENCHMARK(BM_PngOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngIncremental32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngIncrementalRatio)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ProgressiveJpegOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgressiveJpegIncremental32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgressiveJpegIncrementalRatio)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProgressiveJpegMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
