// What a JPEG of at most 4096 x 4096 pixels can cost to decode, against a normal 4096 x 4096
// baseline JPEG decoded in the same run: the progressive file of about 50 KB that refines bits
// never sent 499 times (and its CMYK twin, and one of 501 scans), libjpeg's own progressive
// scripts, and the slowest files the decoder still takes under its scan rules (the most scans,
// successive-approximation chains, interleaved DC scans, restart markers after every MCU, four
// components, subsampling), and files as heavy in data as legal encoders make them: noise at
// quality 100 (grey, YCbCr 4:4:4, CMYK; sequential with the standard Huffman tables and with
// optimised ones, libjpeg's progressive scripts, and the slowest refinements the decoder takes;
// with and without a restart marker after every MCU), each also as noise just within the decoder's
// limit on work. Each goes through UIImage (as the server decodes an upload) and through an image
// source asked for its status and then its image (as the application shows a download). Each
// benchmark reports, per decode: "ms", "baseline_ms", "ratio" (ms / baseline_ms), "refused" (1
// when no image came), "KB" (the file), "scan_B_per_block" (its entropy-coded data per block, as
// the decoder counts it), "work_per_block" (the work the decoder counted, scans' steps and data,
// before it finished or refused the file; the image source counts a single-scan file's data twice).
//   build/bench/graphics/dv_bench_graphics --benchmark_filter=JpegScans
#include "tests/platform/graphics/HostileImages.h"

#include "platform/base/NSString.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/UIImage.h"
#include "platform/graphics/internal/JpegCodec.h"
#include "platform/graphics/internal/JpegMarkers.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

using namespace dv::test;

namespace {

constexpr std::size_t kSide = 4096;

// A photo-like picture: smooth waves and a little noise in each component.
Ref<NSData> photoJpeg(int components, bool progressive, int quality, bool noise = false)
{
    return compressJpeg(
        kSide, kSide, components, components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK,
        [&](jpeg_compress_struct& info) {
            jpeg_set_quality(&info, quality, TRUE);
            if (progressive)
                jpeg_simple_progression(&info);
        },
        [&, seed = 12345u](std::size_t y, std::uint8_t* row) mutable {
            for (std::size_t x = 0; x < kSide; ++x)
                for (int c = 0; c < components; ++c) {
                    seed = seed * 1664525u + 1013904223u;
                    const double wave = 128 + 100 * std::sin(double(x) / (60.0 + c * 7) + double(y) / (45.0 + c * 11));
                    const int jitter = noise ? int(seed >> 24) - 128 : int(seed >> 28) - 8;
                    row[x * std::size_t(components) + std::size_t(c)] = std::uint8_t(std::clamp(int(wave) + jitter, 0, 255));
                }
        });
}

// The work the decoder counts for a file, per block, or nothing when the decoder refuses it.
std::optional<double> workPerBlock(const Ref<NSData>& jpeg)
{
    auto& work = dv::internal::graphics::jpegWork();
    const std::uint64_t before = work.stepsCounted;
    if (!UIImage::imageWithData(jpeg))
        return std::nullopt;
    dv::internal::graphics::JpegScanDataCounter counter;
    counter.update(jpeg->span());
    return double(work.stepsCounted - before) / double(counter.blocks());
}

// Noise as heavy as the decoder takes at 4096 x 4096: the amplitude is found on a small picture
// (the work per block is the same at any size), aiming a little under the limit per block of the
// large one, and lowered until the large file is taken.
Ref<NSData> noiseJustWithinTheLimit(int components, JpegCoding coding, unsigned restartInterval)
{
    const std::uint64_t blocks = std::uint64_t(components) * (kSide / 8) * (kSide / 8);
    const double limit = double(dv::internal::graphics::jpegWorkLimit(blocks, kSide * kSide)) / double(blocks);
    double low = 0, high = 128;
    for (int i = 0; i < 14; ++i) {
        const double mid = (low + high) / 2;
        const auto work = workPerBlock(noiseJpeg(512, 512, components, coding, restartInterval, mid));
        (work && *work < 0.985 * limit ? low : high) = mid;
    }
    for (double amplitude = low;; amplitude *= 0.98) {
        auto data = noiseJpeg(kSide, kSide, components, coding, restartInterval, amplitude);
        if (UIImage::imageWithData(data))
            return data;
    }
}

std::vector<JpegScan> chain(int component, int Ss, int Se, int from)
{
    std::vector<JpegScan> scans = {{component, Ss, Se, 0, from}};
    for (int bit = from; bit > 0; --bit)
        scans.push_back({component, Ss, Se, bit, bit - 1});
    return scans;
}

std::vector<JpegScan> join(std::initializer_list<std::vector<JpegScan>> parts)
{
    std::vector<JpegScan> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Each component's AC coefficients sent at bit `from` and refined to 0, after `dc`.
std::vector<JpegScan> everyComponentRefined(int components, const std::vector<JpegScan>& dc, int from)
{
    std::vector<JpegScan> scans = dc;
    for (int c = 0; c < components; ++c) {
        auto more = chain(c, 1, 63, from);
        scans.insert(scans.end(), more.begin(), more.end());
    }
    return scans;
}

// The file with the data of every scan after the first taken out, restart markers and all: the
// decoder resynchronises at every MCU of those scans.
Ref<NSData> withEmptyScans(const Ref<NSData>& jpeg)
{
    const JpegParts parts = jpegParts(jpeg);
    std::vector<std::uint8_t> out = {0xFF, 0xD8};
    out.insert(out.end(), parts.head.begin(), parts.head.end());
    for (std::size_t i = 0; i < parts.scans.size(); ++i) {
        const auto& [tables, scan] = parts.scans[i];
        const std::size_t header = 2 + (std::size_t(scan[2]) << 8 | scan[3]);
        out.insert(out.end(), tables.begin(), tables.end());
        out.insert(out.end(), scan.begin(), scan.begin() + std::ptrdiff_t(i == 0 ? scan.size() : header));
    }
    out.insert(out.end(), {0xFF, 0xD9});
    return NSData::dataWithVector(std::move(out));
}

struct Case {
    std::string name;
    std::function<Ref<NSData>()> write;
};

const std::vector<JpegScan> kDc = {{0, 0, 0, 0, 0}};
const std::array<std::pair<int, int>, 4> k420 = {{{2, 2}, {1, 1}, {1, 1}, {1, 1}}};

std::vector<Case> dataHeavyCases()
{
    std::vector<Case> all;
    for (const bool within : {false, true})
        for (const int components : {1, 3, 4})
            for (const JpegCoding coding : {JpegCoding::StandardTables, JpegCoding::OptimisedTables, JpegCoding::Progressive, JpegCoding::Refinements})
                for (const unsigned restart : {0u, 1u}) {
                    std::string name = std::string(within ? "noise just within the limit, " : "noise at quality 100, ")
                        + (components == 1 ? "grey" : components == 3 ? "YCbCr 4:4:4" : "CMYK")
                        + (coding == JpegCoding::StandardTables ? ", sequential, standard tables"
                               : coding == JpegCoding::OptimisedTables ? ", sequential, optimised tables"
                               : coding == JpegCoding::Progressive     ? ", libjpeg progressive script"
                               : restart                           ? ", AC at bit 3, 3 refinements"
                                                                   : ", AC at bit 6, 6 refinements")
                        + (restart ? ", restart every MCU" : "");
                    all.push_back({std::move(name), [=] {
                                       return within ? noiseJustWithinTheLimit(components, coding, restart)
                                                     : noiseJpeg(kSide, kSide, components, coding, restart, 128);
                                   }});
                }
    return all;
}

const std::vector<Case>& cases()
{
    static std::vector<Case> all = {
        {"refining nothing 499 times, grey", [] { return jpegRefiningNothingAgainAndAgain(1, kSide, 499); }},
        {"refining nothing 500 times, grey", [] { return jpegRefiningNothingAgainAndAgain(1, kSide, 500); }},
        {"refining nothing 499 times, CMYK", [] { return jpegRefiningNothingAgainAndAgain(4, kSide, 499); }},
        {"libjpeg progressive script, grey photo", [] { return photoJpeg(1, true, 90); }},
        {"libjpeg progressive script, YCbCr 4:2:0 photo", [] { return photoJpeg(3, true, 90); }},
        {"libjpeg progressive script, CMYK photo", [] { return photoJpeg(4, true, 90); }},
        {"libjpeg progressive script, CMYK noise (data-bound)", [] { return photoJpeg(4, true, 90, true); }},
        {"grey: AC sent at bit 6, 6 refinements", [] { return flatJpegWithScans({.side = kSide}, join({kDc, chain(0, 1, 63, 6)})); }},
        {"grey, restart every MCU: AC at bit 3, 3 refinements",
            [] { return flatJpegWithScans({.side = kSide, .restartInterval = 1}, join({kDc, chain(0, 1, 63, 3)})); }},
        {"grey: DC chain from bit 13, AC at bit 1, 1 refinement (16 scans)",
            [] { return flatJpegWithScans({.side = kSide}, join({chain(0, 0, 0, 13), chain(0, 1, 63, 1)})); }},
        {"grey: DC and 15 scans of one coefficient (16 scans)",
            [] {
                std::vector<JpegScan> scans = kDc;
                for (int k = 1; k <= 15; ++k)
                    scans.push_back({0, k, k, 0, 0});
                return flatJpegWithScans({.side = kSide}, scans);
            }},
        {"CMYK: each component's AC at bit 6, 6 refinements (29 scans)",
            [] { return flatJpegWithScans({.side = kSide, .components = 4}, everyComponentRefined(4, kDc, 6)); }},
        {"CMYK, restart every MCU: AC at bit 3, 3 refinements",
            [] { return flatJpegWithScans({.side = kSide, .components = 4, .restartInterval = 1}, everyComponentRefined(4, kDc, 3)); }},
        {"CMYK: interleaved DC chain from bit 13, AC at bit 2, 2 refinements (26 scans)",
            [] { return flatJpegWithScans({.side = kSide, .components = 4}, everyComponentRefined(4, chain(0, 0, 0, 13), 2)); }},
        {"CMYK: DC and 63 scans of one coefficient (64 scans)",
            [] {
                std::vector<JpegScan> scans = kDc;
                for (int c = 0; c < 4; ++c)
                    for (int k = 1; k <= (c == 3 ? 15 : 16); ++k)
                        scans.push_back({c, k, k, 0, 0});
                return flatJpegWithScans({.side = kSide, .components = 4}, scans);
            }},
        {"YCbCr 4:2:0: each component's AC at bit 6, 6 refinements",
            [] { return flatJpegWithScans({.side = kSide, .components = 3, .sampling = k420}, everyComponentRefined(3, kDc, 6)); }},
        {"grey, restart every MCU, 16 scans without their data",
            [] {
                std::vector<JpegScan> scans = kDc;
                for (int k = 1; k <= 15; ++k)
                    scans.push_back({0, k, k, 0, 0});
                return withEmptyScans(flatJpegWithScans({.side = kSide, .restartInterval = 1}, scans));
            }},
        {"CMYK, restart every MCU, 64 scans without their data",
            [] {
                std::vector<JpegScan> scans = kDc;
                for (int c = 0; c < 4; ++c)
                    for (int k = 1; k <= (c == 3 ? 15 : 16); ++k)
                        scans.push_back({c, k, k, 0, 0});
                return withEmptyScans(flatJpegWithScans({.side = kSide, .components = 4, .restartInterval = 1}, scans));
            }},
    };
    static const bool heavy = [] {
        auto more = dataHeavyCases();
        all.insert(all.end(), more.begin(), more.end());
        return true;
    }();
    (void)heavy;
    return all;
}

// Written when first asked for, and kept for the other way of decoding it.
// Kept in DV_JPEG_BENCH_FILES when set, and read from there when there, so that builds of two
// versions of the decoder can be measured on the same files.
const Ref<NSData>& caseData(std::size_t index)
{
    static std::vector<Ref<NSData>> made(cases().size());
    if (made[index])
        return made[index];
    const char* folder = std::getenv("DV_JPEG_BENCH_FILES");
    const std::string path = folder ? std::string(folder) + "/" + std::to_string(index) + ".jpg" : std::string();
    if (folder)
        made[index] = NSData::dataWithContentsOfFile(NSString::fromUTF8(path));
    if (!made[index]) {
        made[index] = cases()[index].write();
        if (folder) {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(made[index]->bytes()), std::streamsize(made[index]->length()));
        }
    }
    return made[index];
}

const Ref<NSData>& baselineJpeg()
{
    static const Ref<NSData> data = photoJpeg(3, false, 85);
    return data;
}

double seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

bool throughUIImage(const Ref<NSData>& data)
{
    auto image = UIImage::imageWithData(data);
    if (image)
        benchmark::DoNotOptimize(image->CGImage()->bytes());
    return bool(image);
}

bool throughImageSource(const Ref<NSData>& data)
{
    auto source = CGImageSourceCreateWithData(data, nil);
    if (CGImageSourceGetStatus(source) != kCGImageStatusComplete)
        return false;
    auto image = CGImageSourceCreateImageAtIndex(source, 0, nil);
    if (image)
        benchmark::DoNotOptimize(image->bytes());
    return bool(image);
}

void run(benchmark::State& state, bool (*decode)(const Ref<NSData>&))
{
    const std::size_t index = std::size_t(state.range(0));
    const Ref<NSData>& data = caseData(index);
    if (!decode(baselineJpeg()))
        std::abort();
    double ours = 0, baseline = 0;
    bool refused = false;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        decode(baselineJpeg());
        const auto t1 = std::chrono::steady_clock::now();
        refused = !decode(data);
        const auto t2 = std::chrono::steady_clock::now();
        baseline += seconds(t1 - t0);
        ours += seconds(t2 - t1);
    }
    const double n = double(state.iterations());
    state.SetLabel(cases()[index].name);
    state.counters["ms"] = ours / n * 1e3;
    state.counters["baseline_ms"] = baseline / n * 1e3;
    state.counters["ratio"] = ours / baseline;
    state.counters["refused"] = refused;
    state.counters["KB"] = double(data->length()) / 1024;
    const std::uint64_t stepsBefore = dv::internal::graphics::jpegWork().stepsCounted;
    decode(data);
    const std::uint64_t steps = dv::internal::graphics::jpegWork().stepsCounted - stepsBefore;
    dv::internal::graphics::JpegScanDataCounter counter;
    counter.update(data->span());
    const double blocks = double(std::max<std::uint64_t>(counter.blocks(), 1));
    state.counters["scan_B_per_block"] = double(counter.bytes()) / blocks;
    state.counters["work_per_block"] = double(steps) / blocks;
}

void BM_JpegScansUIImage(benchmark::State& state) { run(state, throughUIImage); }
void BM_JpegScansImageSource(benchmark::State& state) { run(state, throughImageSource); }

} // namespace

BENCHMARK(BM_JpegScansUIImage)->DenseRange(0, 65)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegScansImageSource)->DenseRange(0, 65)->Iterations(3)->Unit(benchmark::kMillisecond);
