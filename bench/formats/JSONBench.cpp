// JSON reading and writing of a server reply (5,000 QR-code list records of 13 string fields,
// about 1 MB) into our object tree, against nlohmann::json's own document in the same run.
// The *Ratio benchmarks time both alternately and report ours / theirs as the "ratio" counter.
#include "platform/base/Base.h"
#include "platform/base/NSJSONSerialization.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <chrono>
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

} // namespace
