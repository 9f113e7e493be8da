// A 100 MB file sent as a multipart body, read the way the transport reads it (64 KB at a time),
// against reading the same file in plain 64 KB chunks in the same run.
//
// BM_MultipartRatio times both alternately and reports:
//   ratio            multipart throughput / plain throughput (1.0 = as fast as plain reads)
//   peak_growth_MB   largest growth of resident memory sampled every 4 MB while the body is streamed
//   control_16MB_growth_MB  the same measurement around touching 16 MB, to show it sees growth
#include "foundation/http/PNMultipartBodyStream.h"
#include "foundation/http/PNStreamingMultipartFormData.h"
#include "platform/base/Base.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSMutableURLRequest.h"
#include "push/PSDictionaryCategories.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

namespace {

constexpr std::size_t kFileSize = 100ull * 1024 * 1024;
constexpr std::size_t kChunk = 64 * 1024;

struct TemporaryFile {
    std::filesystem::path directory;
    std::filesystem::path file;
    TemporaryFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "dv-bench-http-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        directory = pattern;
        file = directory / "upload.bin";
        std::ofstream out(file, std::ios::binary);
        std::vector<char> block(1 << 20);
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = char(i * 131 + 7);
        for (std::size_t written = 0; written < kFileSize; written += block.size())
            out.write(block.data(), std::streamsize(block.size()));
    }
    ~TemporaryFile()
    {
        std::error_code ec;
        std::filesystem::remove_all(directory, ec);
    }
};

const TemporaryFile& bigFile()
{
    static TemporaryFile file;
    return file;
}

// Kilobytes of a /proc/self/status field.
long statusKB(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.starts_with(prefix))
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    return 0;
}

std::size_t readPlain(std::vector<std::uint8_t>& buffer)
{
    int fd = ::open(bigFile().file.c_str(), O_RDONLY);
    std::size_t total = 0;
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        total += std::size_t(n);
    }
    ::close(fd);
    return total;
}

// `sample` runs every 64 reads (every 4 MB) while the body is streamed.
std::size_t readMultipart(std::vector<std::uint8_t>& buffer, const std::function<void()>& sample = {})
{
    auto request = NSMutableURLRequest::requestWithURL(NSURL::URLWithString("http://127.0.0.1/upload"));
    request->setHTTPMethod("POST"_ns);
    auto form = alloc<PNStreamingMultipartFormData>()->initWithURLRequest(request, NSUTF8StringEncoding);
    form->appendPartWithFormData(NSData::fromString("12345"), "clientId"_ns);
    Ref<NSError> error;
    if (!form->appendPartWithFileURL(NSURL::fileURLWithPath(NSString::fromUTF8(bigFile().file.string())), "file"_ns, &error))
        std::abort();
    auto stream = form->requestByFinalizingMultipartFormData()->HTTPBodyStream();
    stream->open();
    std::size_t total = 0;
    std::size_t reads = 0;
    for (;;) {
        NSInteger n = stream->read(buffer.data(), buffer.size());
        if (n <= 0)
            break;
        total += std::size_t(n);
        if (sample && ++reads % 64 == 0)
            sample();
    }
    stream->close();
    return total;
}

void BM_PlainRead64K(benchmark::State& state)
{
    std::vector<std::uint8_t> buffer(kChunk);
    for (auto _ : state)
        benchmark::DoNotOptimize(readPlain(buffer));
    state.SetBytesProcessed(std::int64_t(state.iterations() * kFileSize));
}
BENCHMARK(BM_PlainRead64K)->Unit(benchmark::kMillisecond);

void BM_MultipartBody64K(benchmark::State& state)
{
    PSInstallDictionaryCategories();
    std::vector<std::uint8_t> buffer(kChunk);
    for (auto _ : state)
        benchmark::DoNotOptimize(readMultipart(buffer));
    state.SetBytesProcessed(std::int64_t(state.iterations() * kFileSize));
}
BENCHMARK(BM_MultipartBody64K)->Unit(benchmark::kMillisecond);

void BM_MultipartRatio(benchmark::State& state)
{
    PSInstallDictionaryCategories();
    using Clock = std::chrono::steady_clock;
    std::vector<std::uint8_t> buffer(kChunk);
    readPlain(buffer); // the file in the page cache for both
    double plain = 0, multipart = 0;
    long peakGrowthKB = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        benchmark::DoNotOptimize(readPlain(buffer));
        plain += std::chrono::duration<double>(Clock::now() - start).count();

        // Memory freed earlier goes back to the system first, so that reusing it cannot hide growth.
        ::malloc_trim(0);
        const long before = statusKB("VmRSS");
        long peak = before;
        // Resident memory is sampled while streaming (the sampling is outside the timed share:
        // its cost is measured and taken off).
        double sampling = 0;
        auto sample = [&] {
            auto at = Clock::now();
            peak = std::max(peak, statusKB("VmRSS"));
            sampling += std::chrono::duration<double>(Clock::now() - at).count();
        };
        start = Clock::now();
        benchmark::DoNotOptimize(readMultipart(buffer, sample));
        multipart += std::chrono::duration<double>(Clock::now() - start).count() - sampling;
        peak = std::max(peak, statusKB("VmRSS"));
        peakGrowthKB = std::max(peakGrowthKB, peak - before);
    }
    // Control: the same measurement around touching 16 MB shows that growth is seen at all.
    ::malloc_trim(0);
    const long before = statusKB("VmRSS");
    long controlPeak = before;
    {
        std::vector<std::uint8_t> touched(16u << 20, 1);
        benchmark::DoNotOptimize(touched.data());
        controlPeak = std::max(controlPeak, statusKB("VmRSS"));
    }
    state.counters["control_16MB_growth_MB"] = double(controlPeak - before) / 1024.0;
    state.counters["ratio"] = multipart > 0 ? plain / multipart : 0;
    state.counters["plain_MBps"] = double(kFileSize) * double(state.iterations()) / plain / 1e6;
    state.counters["multipart_MBps"] = double(kFileSize) * double(state.iterations()) / multipart / 1e6;
    state.counters["peak_growth_MB"] = double(peakGrowthKB) / 1024.0;
}
BENCHMARK(BM_MultipartRatio)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace
