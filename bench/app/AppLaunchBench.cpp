// The application's launch against what it amounts to on the wire, in the same run, with the
// local application server on a loopback port: from the real start (startApplication) until the
// home screen shows its tiles with their server pictures, against the same requests made with a
// raw libcurl handle (the login, home/index.do, each kept tile's picture) with the JSON read and
// the same pictures decoded. Both start with empty picture caches each round. The Ratio benchmark
// alternates the two and reports ours / baseline as "ratio" (target: at most 2).
#include "app/shell/ApplicationEntry.h"
#include "app/shell/home/VQMainButton.h"
#include "app/shell/server/ServerSettings.h"
#include "foundation/identity/DIUUID.h"
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/UIImage.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/system/UIScreen.h"
#include "platform/testing/UIDriver.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UIWindow.h"
#include "push/Lib/Controller/PushService.h"
#include "tools/devserver/Server.h"
#include "ui/images/RIImageCache.h"
#include "ui/images/RIWebImageManager.h"
#include "ui/images/UIImageForceDecode.h"
#include "ui/images/UIImageViewWebCache.h"
#include "ui/images/UIImageMultiFormat.h"

#include "../support/BenchSupport.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>

namespace {

// The names of the home categories the application keeps as tiles.
const std::set<std::string> kKeptNames = { "信聊加粉", "精准加粉", "行业客源" };
constexpr int kTiles = 4; // the kept ones and the fixed "图片" tile

struct Fixture {
    std::string home;
    std::unique_ptr<dv::devserver::Server> server;

    Fixture()
    {
        home = (std::filesystem::temp_directory_path() / ("dv-bench-app-" + std::to_string(::getpid()))).string();
        std::filesystem::create_directories(home);
        setenv("DOVRELTA_HOME", home.c_str(), 1);
        server = dv::devserver::Server::start({}).valueOr(nullptr);
        if (!server || !dv::app::setServerAddress(server->host(), server->port()))
            std::abort();
        dv::app::installApplicationHooks();
    }
    ~Fixture()
    {
        server->stop();
        std::filesystem::remove_all(home);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void emptyPictureCaches()
{
    auto cache = RIImageCache::sharedImageCache();
    cache->clearMemory();
    bool cleared = false;
    cache->clearDiskOnCompletion([&] { cleared = true; });
    if (!dv::testing::runMainLoopUntil([&] { return cleared; }))
        std::abort();
}

// The home screen shows every tile with its picture from the server: the very image the picture
// cache holds for the tile's URL, no longer the placeholder.
bool homeShown(const dv::testing::UIDriver& ui)
{
    auto tiles = ui.findAll<VQMainButton>();
    if (tiles.size() != kTiles)
        return false;
    auto manager = RIWebImageManager::sharedManager();
    for (const auto& tile : tiles) {
        auto url = ri_imageURL(tile->iconView());
        auto image = tile->iconView()->image();
        if (!url || !image || image != RIImageCache::sharedImageCache()->imageFromMemoryCacheForKey(manager->cacheKeyForURL(url)))
            return false;
    }
    return true;
}

// One launch, from the application's start to its home screen with the tiles' pictures.
void launchToHome()
{
    dv::testing::UIDriver ui;
    dv::app::startApplication();
    if (!dv::testing::runMainLoopUntil([&] { return homeShown(ui); }, 30))
        std::abort();
}

void closeApplication()
{
    if (auto window = UIApplication::sharedApplication()->keyWindow())
        window->setHidden(true);
    UIApplication::resetSharedApplication();
    PushService::reset();
    dv::testing::runUntilIdle();
}

std::size_t collect(char* bytes, std::size_t size, std::size_t count, void* user)
{
    static_cast<std::string*>(user)->append(bytes, size * count);
    return size * count;
}

// The same requests on one libcurl handle, the reply read and the pictures decoded.
class CurlBaseline {
public:
    CurlBaseline() : m_easy(curl_easy_init()) { }
    ~CurlBaseline() { curl_easy_cleanup(m_easy); }

    void run()
    {
        const std::string base = dv::str(ServerBaseURL());
        auto login = nlohmann::json::parse(post(base + "client/login.do", "clientId=" + dv::str(DIUUID::uuidForDevice())));
        auto index = nlohmann::json::parse(post(base + "home/index.do", ""));
        if (login["status"] != 1 || index["status"] != 1)
            std::abort();
        int decoded = 0;
        for (const auto& category : index["info"]["listCate"])
            if (kKeptNames.count(category["name"].get<std::string>()))
                decoded += decode(get(category["imgurl"].get<std::string>()));
        decoded += decode(get(base + "pic/static/picture.png"));
        if (decoded != kTiles)
            std::abort();
    }

private:
    std::string post(const std::string& url, const std::string& form)
    {
        curl_easy_reset(m_easy);
        curl_easy_setopt(m_easy, CURLOPT_POST, 1L);
        curl_easy_setopt(m_easy, CURLOPT_POSTFIELDS, form.c_str());
        return perform(url);
    }
    std::string get(const std::string& url)
    {
        curl_easy_reset(m_easy);
        return perform(url);
    }
    std::string perform(const std::string& url)
    {
        std::string body;
        curl_easy_setopt(m_easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, &body);
        if (curl_easy_perform(m_easy) != CURLE_OK)
            std::abort();
        return body;
    }
    static int decode(const std::string& bytes)
    {
        auto image = decodedImageWithImage(ri_imageWithData(NSData::dataWithBytes(bytes.data(), bytes.size())));
        return image && CGImageGetWidth(image->CGImage()) > 0 ? 1 : 0;
    }

    CURL* m_easy;
};

void BM_LaunchToHome(benchmark::State& state)
{
    fixture();
    for (auto _ : state) {
        state.PauseTiming();
        emptyPictureCaches();
        state.ResumeTiming();
        launchToHome();
        state.PauseTiming();
        closeApplication();
        state.ResumeTiming();
    }
}

void BM_CurlRequestsAndDecoding(benchmark::State& state)
{
    fixture();
    CurlBaseline curl;
    for (auto _ : state)
        curl.run();
}

void BM_LaunchToHomeRatio(benchmark::State& state)
{
    fixture();
    CurlBaseline curl;
    // Threads, sessions, fonts and the server's first answers warmed up once, outside the count.
    curl.run();
    launchToHome();
    closeApplication();
    std::vector<double> ours, baseline;
    for (auto _ : state) {
        emptyPictureCaches();
        auto t0 = std::chrono::steady_clock::now();
        curl.run();
        baseline.push_back(dv::bench::secondsSince(t0));
        auto t1 = std::chrono::steady_clock::now();
        launchToHome();
        ours.push_back(dv::bench::secondsSince(t1));
        closeApplication();
    }
    state.counters["ratio"] = dv::bench::medianRatio(ours, baseline);
    state.counters["launch_ms"] = dv::bench::median(ours) * 1000;
    state.counters["baseline_ms"] = dv::bench::median(baseline) * 1000;
}

BENCHMARK(BM_LaunchToHome)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlRequestsAndDecoding)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LaunchToHomeRatio)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);

} // namespace
