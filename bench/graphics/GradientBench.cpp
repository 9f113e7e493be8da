// The loading overlay's dimmed backdrop: a radial gradient from its middle over a whole 375 x 667
// screen at scale 2, drawn into a fresh bitmap, against filling the same fresh bitmap with one
// colour (what a plain dimmed backdrop would cost). BM_ScreenGradientRatio alternates the two and
// reports gradient / fill as "ratio".
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGGradient.h"

#include "../support/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

constexpr CGFloat kWidth = 375, kHeight = 667, kScale = 2;

// A fresh premultiplied bitmap the size of the screen, flipped and scaled as a view's is.
CGContextRef screenContext(std::vector<std::uint8_t>& pixels)
{
    const auto w = std::size_t(kWidth * kScale), h = std::size_t(kHeight * kScale);
    pixels.assign(w * h * 4, 0);
    auto context = CGBitmapContextCreate(pixels.data(), w, h, 8, w * 4, CGColorSpaceCreateDeviceRGB(),
        kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    CGContextTranslateCTM(context, 0, CGFloat(h));
    CGContextScaleCTM(context, kScale, -kScale);
    return context;
}

void drawGradient()
{
    std::vector<std::uint8_t> pixels;
    auto context = screenContext(pixels);
    const CGFloat locations[] = { 0, 1 };
    const CGFloat components[] = { 0, 0, 0, 0, 0, 0, 0, 0.75 };
    auto gradient = CGGradientCreateWithColorComponents(CGColorSpaceCreateDeviceRGB(), components, locations, 2);
    const CGPoint centre = CGPointMake(kWidth / 2, kHeight / 2);
    CGContextDrawRadialGradient(context, gradient, centre, 0, centre, std::min(kWidth, kHeight), kCGGradientDrawsAfterEndLocation);
    benchmark::DoNotOptimize(pixels.data());
}

void fillOneColour()
{
    std::vector<std::uint8_t> pixels;
    auto context = screenContext(pixels);
    CGContextSetRGBFillColor(context, 0, 0, 0, 0.5);
    CGContextFillRect(context, CGRectMake(0, 0, kWidth, kHeight));
    benchmark::DoNotOptimize(pixels.data());
}

double timed(void (*draw)())
{
    const auto start = std::chrono::steady_clock::now();
    draw();
    return dv::bench::secondsSince(start);
}

void BM_ScreenGradient(benchmark::State& state)
{
    for (auto _ : state)
        drawGradient();
}

void BM_ScreenFill(benchmark::State& state)
{
    for (auto _ : state)
        fillOneColour();
}

void BM_ScreenGradientRatio(benchmark::State& state)
{
    std::vector<double> ours, baseline;
    for (auto _ : state) {
        ours.push_back(timed(drawGradient));
        baseline.push_back(timed(fillOneColour));
    }
    state.counters["gradient_ms"] = dv::bench::median(ours) * 1000;
    state.counters["fill_ms"] = dv::bench::median(baseline) * 1000;
    state.counters["ratio"] = dv::bench::medianRatio(ours, baseline);
}

BENCHMARK(BM_ScreenGradient)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenFill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenGradientRatio)->Unit(benchmark::kMillisecond)->Iterations(200);

} // namespace
