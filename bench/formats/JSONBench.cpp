// JSON reading and writing of a server reply (5,000 QR-code list records of 13 string fields,
// about 1 MB) into our object tree, against nlohmann::json's own document in the same run.
// The *Ratio benchmarks time both alternately and report ours / theirs as the "ratio" counter.
// BM_LargeDocumentMemory parses a document of 5 million numbers with each parser in a fresh child
// process and compares the peak memory the parse adds and the time it takes.
#include "bench/support/BenchSupport.h"
#include "platform/base/Base.h"
#include "platform/base/NSJSONSerialization.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>

namespace {

const std::string& replyText()
{
    static const std::string text = [] {
        static const char* fields[] = {"account", "addTime", "areaId", "descriptions", "equipId", "nickName", "qrcodeId",
                                       "qrcodeImg", "status", "title", "type", "position", "areaName"};
        std::string out = "{\"status\":1,\"msg\":\"成功\",\"listItems\":[";
        for (int i = 0; i < 5000; ++i) {
            if (i)
                out += ',';
            out += '{';
            for (int f = 0; f < 13; ++f) {
                if (f)
                    out += ',';
                out += '"';
                out += fields[f];
                out += "\":\"";
                switch (f) {
                case 3: out += "分享本地美食信息 " + std::to_string(i); break;
                case 5: out += "卖家" + std::to_string(i % 97); break;
                case 7: out += "http:\\/\\/img.example.cn\\/qrcode\\/2016\\/" + std::to_string(100000 + i) + ".jpg"; break;
                case 9: out += "杭州美食群 No." + std::to_string(i); break;
                case 12: out += "浙江省杭州市"; break;
                case 1: out += "2016-08-0" + std::to_string(1 + i % 9) + " 12:3" + std::to_string(i % 10) + ":00"; break;
                default: out += std::to_string(1000 + i * 7 + f); break;
                }
                out += '"';
            }
            out += '}';
        }
        out += "]}";
        return out;
    }();
    return text;
}

using Clock = std::chrono::steady_clock;

template <class F>
double seconds(F&& f)
{
    auto start = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_ParseOurs(benchmark::State& state)
{
    auto data = NSData::fromString(replyText());
    for (auto _ : state)
        benchmark::DoNotOptimize(NSJSONSerialization::JSONObjectWithData(data, 0, nullptr));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * replyText().size()));
}
BENCHMARK(BM_ParseOurs)->Unit(benchmark::kMillisecond);

void BM_ParseNlohmann(benchmark::State& state)
{
    const std::string& text = replyText();
    for (auto _ : state)
        benchmark::DoNotOptimize(nlohmann::json::parse(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseNlohmann)->Unit(benchmark::kMillisecond);

void BM_ParseRatio(benchmark::State& state)
{
    auto data = NSData::fromString(replyText());
    double ours = 0, theirs = 0;
    for (auto _ : state) {
        ours += seconds([&] { benchmark::DoNotOptimize(NSJSONSerialization::JSONObjectWithData(data, 0, nullptr)); });
        theirs += seconds([&] { benchmark::DoNotOptimize(nlohmann::json::parse(replyText())); });
    }
    state.counters["reply_bytes"] = static_cast<double>(replyText().size());
    state.counters["ratio"] = theirs > 0 ? ours / theirs : 0;
    state.counters["ours_ms"] = 1000 * ours / static_cast<double>(state.iterations());
    state.counters["nlohmann_ms"] = 1000 * theirs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ParseRatio)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_WriteOurs(benchmark::State& state)
{
    id tree = NSJSONSerialization::JSONObjectWithData(NSData::fromString(replyText()), 0, nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(NSJSONSerialization::dataWithJSONObject(tree, 0, nullptr));
}
BENCHMARK(BM_WriteOurs)->Unit(benchmark::kMillisecond);

void BM_WriteNlohmann(benchmark::State& state)
{
    auto document = nlohmann::json::parse(replyText());
    for (auto _ : state)
        benchmark::DoNotOptimize(document.dump());
}
BENCHMARK(BM_WriteNlohmann)->Unit(benchmark::kMillisecond);

void BM_WriteRatio(benchmark::State& state)
{
    id tree = NSJSONSerialization::JSONObjectWithData(NSData::fromString(replyText()), 0, nullptr);
    auto document = nlohmann::json::parse(replyText());
    double ours = 0, theirs = 0;
    for (auto _ : state) {
        ours += seconds([&] { benchmark::DoNotOptimize(NSJSONSerialization::dataWithJSONObject(tree, 0, nullptr)); });
        theirs += seconds([&] { benchmark::DoNotOptimize(document.dump()); });
    }
    state.counters["ratio"] = theirs > 0 ? ours / theirs : 0;
    state.counters["ours_ms"] = 1000 * ours / static_cast<double>(state.iterations());
    state.counters["nlohmann_ms"] = 1000 * theirs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_WriteRatio)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// 5 million numbers in one array: three integers of up to seven digits for every decimal with
// two places, none of them small enough to be a shared value.
const std::string& largeDocument()
{
    static const std::string text = [] {
        std::string out = "[";
        out.reserve(45'000'000);
        char buffer[32];
        for (long i = 0; i < 5'000'000; ++i) {
            long value = 1000 + (i * 7919) % 9'999'000;
            int length = i % 4 == 3 ? std::snprintf(buffer, sizeof buffer, "%s%ld.%02ld", i ? "," : "", value / 100, value % 100)
                                    : std::snprintf(buffer, sizeof buffer, "%s%ld", i ? "," : "", value);
            out.append(buffer, static_cast<std::size_t>(length));
        }
        out += ']';
        return out;
    }();
    return text;
}

long statusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return -1;
}

struct ParseCost {
    double peakGrowthMB = 0;
    double seconds = 0;
};

// Runs `parse` in a child process that starts from this process's state: what the parse adds to
// the peak resident memory while its result is alive, and how long it takes.
template <class F>
ParseCost measureInChild(F&& parse)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        std::ofstream("/proc/self/clear_refs") << "5";
        long before = statusKilobytes("VmRSS:");
        auto start = std::chrono::steady_clock::now();
        auto result = parse();
        ParseCost cost;
        cost.seconds = dv::bench::secondsSince(start);
        benchmark::DoNotOptimize(result);
        cost.peakGrowthMB = static_cast<double>(statusKilobytes("VmHWM:") - before) / 1024.0;
        ssize_t written = write(fds[1], &cost, sizeof cost);
        _exit(written == sizeof cost ? 0 : 1); // the result is not torn down: the process ends
    }
    close(fds[1]);
    ParseCost cost;
    ssize_t got = read(fds[0], &cost, sizeof cost);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return got == sizeof cost ? cost : ParseCost {};
}

void BM_LargeDocumentMemory(benchmark::State& state)
{
    const std::string& text = largeDocument();
    auto data = NSData::fromString(text);
    std::vector<double> oursMB, theirsMB, oursSeconds, theirsSeconds;
    for (auto _ : state) {
        for (int round = 0; round < 3; ++round) {
            auto ours = measureInChild([&] { return NSJSONSerialization::JSONObjectWithData(data, 0, nullptr); });
            auto theirs = measureInChild([&] { return nlohmann::json::parse(text); });
            oursMB.push_back(ours.peakGrowthMB);
            theirsMB.push_back(theirs.peakGrowthMB);
            oursSeconds.push_back(ours.seconds);
            theirsSeconds.push_back(theirs.seconds);
        }
    }
    state.counters["document_MB"] = static_cast<double>(text.size()) / (1 << 20);
    state.counters["ours_peak_MB"] = dv::bench::median(oursMB);
    state.counters["nlohmann_peak_MB"] = dv::bench::median(theirsMB);
    state.counters["memory_ratio"] = dv::bench::medianRatio(oursMB, theirsMB);
    state.counters["ours_ms"] = 1000 * dv::bench::median(oursSeconds);
    state.counters["nlohmann_ms"] = 1000 * dv::bench::median(theirsSeconds);
    state.counters["time_ratio"] = dv::bench::medianRatio(oursSeconds, theirsSeconds);
}
BENCHMARK(BM_LargeDocumentMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
