// URL loading against a loopback server: sequential small GETs through data tasks compared with a
// reused libcurl easy handle in the same run (ratio) and with that handle driven from a helper
// thread (the floor for any client that answers on another thread), a batch of concurrent
// requests compared with one libcurl multi handle, and a large download to a file with its peak
// memory growth; and a response head of many lines against one of few (cost per line).
#include "bench/support/BenchSupport.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSData.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSession.h"
#include "platform/testing/LoopbackServer.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>
#include <unistd.h>

using dv::testing::LoopbackServer;
using dv::testing::ScriptedReply;
using dv::bench::median;
using dv::bench::medianRatio;
using dv::bench::secondsSince;

namespace {

LoopbackServer& server()
{
    static LoopbackServer* s = [] {
        auto* created = new LoopbackServer(LoopbackServer::Scheme::Http, 160);
        created->route("/1k", ScriptedReply { .body = std::string(1024, 'k'), .contentType = "application/octet-stream" });
        created->route("/200m", ScriptedReply { .contentType = "application/octet-stream", .generatedLength = 200ll << 20 });
        return created;
    }();
    return *s;
}

struct Waiter {
    dv::Mutex mutex;
    dv::ConditionVariable changed;
    int pending DV_GUARDED_BY(mutex) = 0;
    int failures DV_GUARDED_BY(mutex) = 0;
    void add(int n) { dv::MutexLocker lock(mutex); pending += n; }
    void done(bool ok)
    {
        dv::MutexLocker lock(mutex);
        --pending;
        if (!ok)
            ++failures;
        changed.notifyAll();
    }
    void wait()
    {
        dv::MutexLocker lock(mutex);
        changed.wait(lock, [&]() DV_REQUIRES(mutex) { return pending == 0; });
    }
    int failureCount()
    {
        dv::MutexLocker lock(mutex);
        return failures;
    }
};

size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

// An easy handle for GETs of the 1 KB reply, kept for reuse across requests.
CURL* oneKilobyteGet()
{
    CURL* easy = curl_easy_init();
    auto url = server().url("/1k");
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    return easy;
}

double curlSequential(int count)
{
    CURL* easy = oneKilobyteGet();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i)
        curl_easy_perform(easy);
    double elapsed = secondsSince(start);
    curl_easy_cleanup(easy);
    return elapsed;
}

double sessionSequential(const Ref<NSURLSession>& session, int count, int* failures)
{
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(server().url("/1k"))));
    Waiter waiter;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        waiter.add(1);
        session->dataTaskWithRequest(request, [&](const Ref<NSData>& data, const Ref<NSURLResponse>&, const Ref<NSError>& error) {
            waiter.done(!error && data && data->length() == 1024);
        })->resume();
        waiter.wait();
    }
    *failures += waiter.failureCount();
    return secondsSince(start);
}

// The asynchronous way to send requests one after another: each completion starts the next.
double sessionChained(const Ref<NSURLSession>& session, int count, int* failures)
{
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(server().url("/1k"))));
    Waiter waiter;
    waiter.add(1);
    int left = count;
    std::function<void()> next = [&] {
        session->dataTaskWithRequest(request, [&](const Ref<NSData>& data, const Ref<NSURLResponse>&, const Ref<NSError>& error) {
            if (error || !data || data->length() != 1024)
                ++*failures;
            if (--left > 0)
                next();
            else
                waiter.done(true);
        })->resume();
    };
    auto start = std::chrono::steady_clock::now();
    next();
    waiter.wait();
    return secondsSince(start);
}

// The least any client that answers on another thread can cost: the same reused easy handle,
// driven by one helper thread, the caller waiting for each reply. What this costs above the
// caller's own loop is the price of two thread wake-ups per request.
double helperThreadSequential(int count)
{
    CURL* easy = oneKilobyteGet();
    double elapsed = 0;
    {
        dv::bench::HelperThread helper([easy] { curl_easy_perform(easy); });
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < count; ++i)
            helper.waitUntilServed(helper.request());
        elapsed = secondsSince(start);
    }
    curl_easy_cleanup(easy);
    return elapsed;
}

// Each iteration is one round of the four loops, and every ratio is the median of the rounds'.
void BM_SequentialGets(benchmark::State& state)
{
    constexpr int kRequests = 1000;
    auto configuration = NSURLSessionConfiguration::ephemeralSessionConfiguration();
    configuration->setURLCache(nil);
    auto session = NSURLSession::sessionWithConfiguration(configuration);
    int failures = 0;
    sessionSequential(session, 50, &failures); // warm the connection and the queues
    sessionChained(session, 50, &failures);
    curlSequential(50);
    helperThreadSequential(50);
    std::vector<double> waited, chained, curl, helper;
    for (auto _ : state) {
        double s = sessionSequential(session, kRequests, &failures);
        state.PauseTiming();
        curl.push_back(curlSequential(kRequests));
        chained.push_back(sessionChained(session, kRequests, &failures));
        helper.push_back(helperThreadSequential(kRequests));
        state.ResumeTiming();
        waited.push_back(s);
        state.SetIterationTime(s);
    }
    state.counters["us_per_request"] = median(waited) / kRequests * 1e6;
    state.counters["chained_us_per_request"] = median(chained) / kRequests * 1e6;
    state.counters["curl_us_per_request"] = median(curl) / kRequests * 1e6;
    state.counters["ratio_vs_curl"] = medianRatio(waited, curl);
    state.counters["chained_ratio_vs_curl"] = medianRatio(chained, curl);
    state.counters["helper_thread_ratio_vs_curl"] = medianRatio(helper, curl);
    state.counters["ratio_vs_helper_thread"] = medianRatio(waited, helper);
    state.counters["failures"] = failures;
    session->invalidateAndCancel();
}
BENCHMARK(BM_SequentialGets)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(7);

double curlConcurrent(int count)
{
    CURLM* multi = curl_multi_init();
    std::vector<CURL*> handles;
    auto url = server().url("/1k");
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        CURL* easy = curl_easy_init();
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, discard);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_multi_add_handle(multi, easy);
        handles.push_back(easy);
    }
    int running = 0;
    do {
        curl_multi_perform(multi, &running);
        if (running)
            curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    } while (running);
    double elapsed = secondsSince(start);
    for (auto* easy : handles) {
        curl_multi_remove_handle(multi, easy);
        curl_easy_cleanup(easy);
    }
    curl_multi_cleanup(multi);
    return elapsed;
}

void BM_ConcurrentRequests(benchmark::State& state)
{
    constexpr int kRequests = 100;
    auto configuration = NSURLSessionConfiguration::ephemeralSessionConfiguration();
    configuration->setURLCache(nil);
    auto session = NSURLSession::sessionWithConfiguration(configuration);
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(server().url("/1k"))));
    double sessionTotal = 0;
    double curlTotal = 0;
    int failures = 0;
    for (auto _ : state) {
        Waiter waiter;
        waiter.add(kRequests);
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRequests; ++i) {
            session->dataTaskWithRequest(request, [&](const Ref<NSData>& data, const Ref<NSURLResponse>&, const Ref<NSError>& error) {
                waiter.done(!error && data && data->length() == 1024);
            })->resume();
        }
        waiter.wait();
        double s = secondsSince(start);
        failures += waiter.failureCount();
        state.PauseTiming();
        double c = curlConcurrent(kRequests);
        state.ResumeTiming();
        sessionTotal += s;
        curlTotal += c;
        state.SetIterationTime(s);
    }
    state.counters["ms_per_batch"] = sessionTotal / state.iterations() * 1e3;
    state.counters["curl_multi_ms_per_batch"] = curlTotal / state.iterations() * 1e3;
    state.counters["ratio_vs_curl"] = sessionTotal / curlTotal;
    state.counters["failures"] = failures;
    session->invalidateAndCancel();
}
BENCHMARK(BM_ConcurrentRequests)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

long statusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    }
    return -1;
}

void BM_LargeDownloadToFile(benchmark::State& state)
{
    char pattern[] = "/tmp/dvnetbench-XXXXXX";
    std::string home = mkdtemp(pattern);
    setenv("DOVRELTA_HOME", home.c_str(), 1);
    auto configuration = NSURLSessionConfiguration::ephemeralSessionConfiguration();
    auto session = NSURLSession::sessionWithConfiguration(configuration);
    auto request = NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(server().url("/200m"))));
    long worstGrowth = 0;
    std::int64_t size = 0;
    for (auto _ : state) {
        // Reset the peak so that this download's own peak is measured.
        std::ofstream("/proc/self/clear_refs") << "5";
        long before = statusKilobytes("VmRSS:");
        Waiter waiter;
        waiter.add(1);
        auto start = std::chrono::steady_clock::now();
        session->downloadTaskWithRequest(request, [&](const Ref<NSURL>& location, const Ref<NSURLResponse>&, const Ref<NSError>& error) {
            std::error_code ec;
            size = location ? static_cast<std::int64_t>(std::filesystem::file_size(location->path()->utf8(), ec)) : -1;
            waiter.done(!error);
        })->resume();
        waiter.wait();
        state.SetIterationTime(secondsSince(start));
        worstGrowth = std::max(worstGrowth, statusKilobytes("VmHWM:") - before);
    }
    state.counters["peak_growth_MB"] = static_cast<double>(worstGrowth) / 1024.0;
    state.counters["file_MB"] = static_cast<double>(size) / (1 << 20);
    state.counters["MB_per_s"] = benchmark::Counter(200.0 * state.iterations(), benchmark::Counter::kIsRate);
    session->invalidateAndCancel();
    std::filesystem::remove_all(home);
}
BENCHMARK(BM_LargeDownloadToFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

// A response head of 16,000 lines against one of 1,000, both built from the same fields: the
// cost per line must stay flat (ratio near 1) for header processing to be linear.
void BM_ResponseHeadLines(benchmark::State& state)
{
    auto url = NSURL::URLWithString("http://127.0.0.1/head"_ns);
    auto fields = [](int lines) {
        std::vector<std::pair<std::string, std::string>> out;
        for (int i = 0; i < lines; ++i)
            out.emplace_back("X-Field-" + std::to_string(i), "value " + std::to_string(i));
        out.emplace_back("Content-Type", "text/plain; charset=utf-8");
        return out;
    };
    auto few = fields(1000);
    auto many = fields(16000);
    std::vector<double> perLineFew, perLineMany;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        auto small = alloc<NSHTTPURLResponse>()->initWithURL(url, 200, few);
        perLineFew.push_back(secondsSince(start) / 1000);
        start = std::chrono::steady_clock::now();
        auto large = alloc<NSHTTPURLResponse>()->initWithURL(url, 200, many);
        double seconds = secondsSince(start);
        perLineMany.push_back(seconds / 16000);
        benchmark::DoNotOptimize(small);
        benchmark::DoNotOptimize(large);
        state.SetIterationTime(seconds);
    }
    state.counters["ns_per_line_16000"] = median(perLineMany) * 1e9;
    state.counters["ratio_per_line_16000_vs_1000"] = medianRatio(perLineMany, perLineFew);
}
BENCHMARK(BM_ResponseHeadLines)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

} // namespace
