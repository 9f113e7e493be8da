// Sequential form POSTs on loopback through the HTTP session manager, compared in the same run
// with raw libcurl form POSTs of the same body: once with a new manager per request (as the
// application's server client does), once with one shared manager. The libcurl baseline reuses
// one easy handle (one kept-alive connection); a second baseline makes a new handle, and so a
// new connection, per request, which is what a new manager's new session has to do. A third
// baseline posts the same body through a bare URL session whose completion hops to the main
// queue, which shows what the manager adds on top of the platform's URL loading. A fourth drives
// the reused handle from a helper thread that answers on the main queue: the floor for any
// client whose replies arrive there; a fifth adds two queue hops on the way, as many as the
// manager's replies make before the main queue (delegate queue, processing queue). libcurl asks
// for compressed replies as the URL session does, so that the server does the same work for
// both. Ratios are medians of per-round ratios.
#include "bench/support/BenchSupport.h"
#include "foundation/http/PNHTTPSessionManager.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "push/PSDictionaryCategories.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

using dv::testing::LoopbackServer;
using dv::testing::ScriptedReply;
using dv::bench::median;
using dv::bench::medianRatio;
using dv::bench::secondsSince;

namespace {

constexpr int kRequests = 1000;
const char* const kFormBody = "clientId=3F2504E0-4F89-11D3-9A0C-0305E82C3301&page=1&type=2";

LoopbackServer& server()
{
    static LoopbackServer* s = [] {
        auto* created = new LoopbackServer();
        created->route("/form", ScriptedReply { .body = R"({"code":0,"data":{"list":[1,2,3]}})", .contentType = "application/json" });
        return created;
    }();
    return *s;
}

Ref<NSDictionary> formParameters()
{
    return NSDictionary::of({ { "clientId"_ns, "3F2504E0-4F89-11D3-9A0C-0305E82C3301"_ns }, { "page"_ns, "1"_ns }, { "type"_ns, "2"_ns } });
}

std::size_t collect(char* data, std::size_t size, std::size_t count, void* out)
{
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

void setUpFormPost(CURL* easy, const std::string& url, std::string* reply)
{
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, kFormBody);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, reply);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
}

double curlReusedHandle(int count, int* failures)
{
    CURL* easy = curl_easy_init();
    std::string reply;
    setUpFormPost(easy, server().url("/form"), &reply);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        reply.clear();
        if (curl_easy_perform(easy) != CURLE_OK || reply.empty())
            ++*failures;
    }
    double elapsed = secondsSince(start);
    curl_easy_cleanup(easy);
    return elapsed;
}

double curlNewHandleEach(int count, int* failures)
{
    const std::string url = server().url("/form");
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        CURL* easy = curl_easy_init();
        std::string reply;
        setUpFormPost(easy, url, &reply);
        if (curl_easy_perform(easy) != CURLE_OK || reply.empty())
            ++*failures;
        curl_easy_cleanup(easy);
    }
    return secondsSince(start);
}

// One POST through `manager`, waited for on the main run loop where its blocks arrive.
bool postThrough(const Ref<PNHTTPSessionManager>& manager, const Ref<NSString>& url, const Ref<NSDictionary>& parameters)
{
    bool done = false;
    bool ok = false;
    manager->POST(url, parameters,
        [&](const Ref<NSURLSessionDataTask>&, const id& object) {
            ok = object != nil;
            done = true;
        },
        [&](const Ref<NSURLSessionDataTask>&, const Ref<NSError>&) { done = true; });
    NSRunLoop::mainRunLoop()->runUntil([&] { return done; }, 10);
    return ok;
}

double managerPerRequest(int count, int* failures)
{
    auto url = NSString::fromUTF8(server().url("/form"));
    auto parameters = formParameters();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        auto manager = PNHTTPSessionManager::manager();
        manager->requestSerializer()->setTimeoutInterval(10);
        if (!postThrough(manager, url, parameters))
            ++*failures;
    }
    return secondsSince(start);
}

double bareSession(const Ref<NSURLSession>& session, int count, int* failures)
{
    auto url = NSURL::URLWithString(NSString::fromUTF8(server().url("/form")));
    auto body = NSData::fromString(kFormBody);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        auto request = NSMutableURLRequest::requestWithURL(url);
        request->setHTTPMethod("POST"_ns);
        request->setValueForHTTPHeaderField("application/x-www-form-urlencoded"_ns, "Content-Type"_ns);
        request->setHTTPBody(body);
        bool done = false;
        bool ok = false;
        session->dataTaskWithRequest(request, [&](const Ref<NSData>& data, const Ref<NSURLResponse>&, const Ref<NSError>& error) {
            const bool good = !error && data && data->length() > 0;
            dispatch_async(dispatch_get_main_queue(), [&, good] {
                ok = good;
                done = true;
            });
        })->resume();
        NSRunLoop::mainRunLoop()->runUntil([&] { return done; }, 10);
        if (!ok)
            ++*failures;
    }
    return secondsSince(start);
}

double sharedManager(const Ref<PNHTTPSessionManager>& manager, int count, int* failures)
{
    auto url = NSString::fromUTF8(server().url("/form"));
    auto parameters = formParameters();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        if (!postThrough(manager, url, parameters))
            ++*failures;
    }
    return secondsSince(start);
}

// The floor for any client whose answer arrives on the main queue: the same reused easy handle,
// driven by a helper thread that hands each reply to the main queue while the caller runs the
// main run loop, as it does for the manager. With `queueHops`, the reply first passes through
// that many hops over a global queue, as the manager's replies pass through the session's
// delegate queue and the processing queue.
double helperThreadToMainQueue(int count, int* failures, int queueHops = 0)
{
    CURL* easy = curl_easy_init();
    std::string reply;
    setUpFormPost(easy, server().url("/form"), &reply);
    int answered = 0; // main thread only
    double elapsed = 0;
    {
        std::function<void(bool, int)> forward = [&](bool ok, int hopsLeft) {
            if (hopsLeft > 0) {
                dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&forward, ok, hopsLeft] { forward(ok, hopsLeft - 1); });
                return;
            }
            dispatch_async(dispatch_get_main_queue(), [&, ok] {
                if (!ok)
                    ++*failures;
                ++answered;
            });
        };
        dv::bench::HelperThread helper([&] {
            reply.clear();
            forward(curl_easy_perform(easy) == CURLE_OK && !reply.empty(), queueHops);
        });
        auto start = std::chrono::steady_clock::now();
        for (int i = 1; i <= count; ++i) {
            helper.request();
            NSRunLoop::mainRunLoop()->runUntil([&] { return answered == i; }, 10);
        }
        elapsed = secondsSince(start);
    }
    curl_easy_cleanup(easy);
    return elapsed;
}

void BM_FormPostNewManagerEachRequest(benchmark::State& state)
{
    PSInstallDictionaryCategories();
    int failures = 0;
    managerPerRequest(50, &failures); // warm the transport and the queues
    curlReusedHandle(50, &failures);
    std::vector<double> managers, curl, curlFresh;
    for (auto _ : state) {
        double m = managerPerRequest(kRequests, &failures);
        state.PauseTiming();
        curl.push_back(curlReusedHandle(kRequests, &failures));
        curlFresh.push_back(curlNewHandleEach(kRequests, &failures));
        state.ResumeTiming();
        managers.push_back(m);
        state.SetIterationTime(m);
    }
    state.counters["us_per_request"] = median(managers) / kRequests * 1e6;
    state.counters["curl_us_per_request"] = median(curl) / kRequests * 1e6;
    state.counters["ratio_vs_curl"] = medianRatio(managers, curl);
    state.counters["ratio_vs_curl_new_handle_each"] = medianRatio(managers, curlFresh);
    state.counters["failures"] = failures;
}
BENCHMARK(BM_FormPostNewManagerEachRequest)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FormPostSharedManager(benchmark::State& state)
{
    PSInstallDictionaryCategories();
    auto manager = PNHTTPSessionManager::manager();
    auto session = NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::defaultSessionConfiguration());
    int failures = 0;
    sharedManager(manager, 50, &failures);
    curlReusedHandle(50, &failures);
    bareSession(session, 50, &failures);
    helperThreadToMainQueue(50, &failures);
    std::vector<double> managers, curl, sessions, helper, helperHops;
    for (auto _ : state) {
        double m = sharedManager(manager, kRequests, &failures);
        state.PauseTiming();
        curl.push_back(curlReusedHandle(kRequests, &failures));
        sessions.push_back(bareSession(session, kRequests, &failures));
        helper.push_back(helperThreadToMainQueue(kRequests, &failures));
        helperHops.push_back(helperThreadToMainQueue(kRequests, &failures, 2));
        state.ResumeTiming();
        managers.push_back(m);
        state.SetIterationTime(m);
    }
    state.counters["us_per_request"] = median(managers) / kRequests * 1e6;
    state.counters["curl_us_per_request"] = median(curl) / kRequests * 1e6;
    state.counters["ratio_vs_curl"] = medianRatio(managers, curl);
    state.counters["ratio_vs_bare_session"] = medianRatio(managers, sessions);
    state.counters["helper_thread_ratio_vs_curl"] = medianRatio(helper, curl);
    state.counters["helper_thread_two_hops_ratio_vs_curl"] = medianRatio(helperHops, curl);
    state.counters["ratio_vs_helper_thread"] = medianRatio(managers, helper);
    state.counters["failures"] = failures;
    manager->invalidateSessionCancelingTasks(true);
    session->invalidateAndCancel();
}
BENCHMARK(BM_FormPostSharedManager)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
