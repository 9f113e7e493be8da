// A web page in a UIWebView against the bare web engine, in the same run, on the local server's
// help page (data/qryLearn.do?type=2, served by the local server started here).
//
// Load: from loadRequest to didFinishLoad with the page's first rendering shown (the window
// rendered with the page in it), against a bare engine view in an offscreen window of the same
// size and scale loading the same page until the engine says it has loaded and has drawn it (its
// widget drawn into an image). The bare view has an ephemeral web context of its own with the
// document-viewer cache model. Both views load the page again and again, one load each per round;
// LoadRatio reports the median per-round ratio (target at most 1.2).
//
// Memory: what each further web view with the page loaded costs, in the application's own
// resident memory and in the memory of the engine's processes it adds: resident, and their
// proportional share (the engine's libraries, mapped by every one of its processes, counted once)
// (counters, in KiB per view).
#include "bench/support/BenchSupport.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/net/NSURLRequest.h"
#include "platform/system/UIScreen.h"
#include "platform/testing/ProcessTree.h"
#include "platform/testing/UIDriver.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIWebView.h"
#include "platform/ui/UIWindow.h"
#include "platform/ui/internal/web/WebEngine.h"
#include "tools/devserver/Server.h"

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr double kWait = 30; // seconds a load may take at most

struct LocalServer {
    std::unique_ptr<dv::devserver::Server> server;
    std::string helpPage;
    LocalServer()
    {
        const auto folder = std::filesystem::temp_directory_path() / ("dv-bench-web-" + std::to_string(::getpid()));
        auto started = dv::devserver::Server::start({ .dataFolder = folder.string() });
        if (started)
            server = std::move(started).value();
        else
            std::fprintf(stderr, "the local server did not start: %s\n", started.reason().c_str());
        helpPage = server ? server->baseURL() + "data/qryLearn.do?type=2" : "";
    }
};

LocalServer& localServer()
{
    static LocalServer s_server;
    return s_server;
}

class FinishCounter : public NSObject, public UIWebViewDelegate {
public:
    int finished = 0;
    int failed = 0;
    bool webViewDidFinishLoad(const Ref<UIWebView>&) override
    {
        ++finished;
        return true;
    }
    bool webViewDidFailLoadWithError(const Ref<UIWebView>&, const Ref<NSError>&) override
    {
        ++failed;
        return true;
    }
};

// The application's side: a window of the screen's size with a web view below the bars.
struct Application {
    Ref<UIWindow> window;
    Ref<UIWebView> web;
    std::shared_ptr<FinishCounter> delegate = std::make_shared<FinishCounter>();
    Application()
    {
        window = alloc<UIWindow>()->initWithFrame(UIScreen::mainScreen()->bounds());
        window->makeKeyAndVisible();
        web = makeView();
        web->setDelegate(delegate);
    }
    Ref<UIWebView> makeView() const
    {
        auto view = alloc<UIWebView>()->initWithFrame(CGRectMake(0, 64, 375, 603));
        window->addSubview(view);
        return view;
    }
    // One load, until it has finished and the window shows it.
    bool load()
    {
        const int before = delegate->finished;
        web->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(localServer().helpPage))));
        if (!NSRunLoop::mainRunLoop()->runUntil([&] { return delegate->finished > before || delegate->failed > 0; }, kWait))
            return false;
        return dv::testing::UIDriver(window).screenshot(2) != nil;
    }
};

Application& application()
{
    static Application s_application;
    return s_application;
}

// The engine alone: its view in an offscreen window of the same size and scale, drawn as the
// application draws its page.
struct BareEngine {
    WebKitWebView* view = nullptr;
    GtkWidget* window = nullptr;
    bool finished = false;
    bool paintedSinceCommit = false;
    BareEngine()
    {
        // The engine's display and toolkit are the application's: its first web view starts them.
        application();
        NSRunLoop::mainRunLoop()->runUntil([] { return dv::internal::uikit::WebEngine::state() == dv::internal::uikit::WebEngine::State::Started
                                                    || dv::internal::uikit::WebEngine::state() == dv::internal::uikit::WebEngine::State::Failed; },
            kWait);
        if (!dv::internal::uikit::WebEngine::shared()) {
            std::fprintf(stderr, "the web engine did not start\n");
            return;
        }
        WebKitWebContext* context = webkit_web_context_new_ephemeral();
        webkit_web_context_set_cache_model(context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
        WebKitSettings* settings = webkit_settings_new_with_settings("hardware-acceleration-policy", WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER, nullptr);
        view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings", settings, nullptr));
        window = gtk_offscreen_window_new();
        gtk_widget_set_size_request(GTK_WIDGET(view), 750, 1206);
        gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
        webkit_web_view_set_zoom_level(view, 2);
        g_signal_connect(view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
            auto* self = static_cast<BareEngine*>(data);
            if (event == WEBKIT_LOAD_COMMITTED)
                self->paintedSinceCommit = false;
            if (event == WEBKIT_LOAD_FINISHED)
                self->finished = true;
        }), this);
        g_signal_connect(window, "damage-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer data) -> gboolean {
            static_cast<BareEngine*>(data)->paintedSinceCommit = true;
            return FALSE;
        }), this);
        gtk_widget_show_all(window);
    }
    bool load()
    {
        if (!view)
            return false;
        finished = false;
        paintedSinceCommit = false;
        webkit_web_view_load_uri(view, localServer().helpPage.c_str());
        const auto start = std::chrono::steady_clock::now();
        while (!(finished && paintedSinceCommit)) {
            if (dv::bench::secondsSince(start) > kWait)
                return false;
            g_main_context_iteration(nullptr, TRUE);
        }
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 750, 1206);
        cairo_t* cr = cairo_create(surface);
        gtk_widget_draw(GTK_WIDGET(view), cr);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        return true;
    }
};

BareEngine& bareEngine()
{
    static BareEngine s_engine;
    return s_engine;
}

// Each after a first load outside the timing (the engine's start, its processes').
void BM_WebViewLoad(benchmark::State& state)
{
    application().load();
    for (auto _ : state)
        if (!application().load())
            state.SkipWithError("the page did not load");
}

void BM_BareEngineLoad(benchmark::State& state)
{
    bareEngine().load();
    for (auto _ : state)
        if (!bareEngine().load())
            state.SkipWithError("the page did not load");
}

void BM_LoadRatio(benchmark::State& state)
{
    std::vector<double> ours, bare;
    application().load();
    bareEngine().load();
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        const bool a = application().load();
        ours.push_back(dv::bench::secondsSince(t0));
        auto t1 = std::chrono::steady_clock::now();
        const bool b = bareEngine().load();
        bare.push_back(dv::bench::secondsSince(t1));
        if (!a || !b)
            state.SkipWithError("a page did not load");
    }
    state.counters["ratio"] = dv::bench::medianRatio(ours, bare);
}

// Memory of the process, and of the engine's processes below it, in bytes.
struct Memory {
    double application = 0;
    double engineResident = 0;
    double engineProportional = 0;
};

Memory memoryNow()
{
    Memory memory;
    memory.application = double(dv::testing::residentBytes(::getpid()));
    for (const auto& process : dv::testing::descendants(::getpid())) {
        if (process.name.rfind("WebKit", 0) != 0)
            continue;
        memory.engineResident += double(dv::testing::residentBytes(process.pid));
        memory.engineProportional += double(dv::testing::proportionalBytes(process.pid));
    }
    return memory;
}

void BM_MemoryPerWebView(benchmark::State& state)
{
    constexpr int kViews = 4;
    application().load();
    for (auto _ : state) {
        const auto before = memoryNow();
        std::vector<Ref<UIWebView>> views;
        auto delegate = std::make_shared<FinishCounter>();
        for (int i = 0; i < kViews; ++i) {
            views.push_back(application().makeView());
            views.back()->setDelegate(delegate);
            views.back()->loadRequest(NSURLRequest::requestWithURL(NSURL::URLWithString(NSString::fromUTF8(localServer().helpPage))));
        }
        NSRunLoop::mainRunLoop()->runUntil([&] { return delegate->finished + delegate->failed == kViews; }, kWait);
        dv::testing::UIDriver(application().window).screenshot(2);
        const auto after = memoryNow();
        state.counters["app_KiB_per_view"] = (after.application - before.application) / kViews / 1024;
        state.counters["engine_resident_KiB_per_view"] = (after.engineResident - before.engineResident) / kViews / 1024;
        state.counters["engine_share_KiB_per_view"] = (after.engineProportional - before.engineProportional) / kViews / 1024;
        for (auto& view : views)
            view->removeFromSuperview();
        views.clear();
        NSRunLoop::mainRunLoop()->runUntil([] { return false; }, 1);
    }
}

} // namespace

BENCHMARK(BM_WebViewLoad)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_BareEngineLoad)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_LoadRatio)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_MemoryPerWebView)->Unit(benchmark::kMillisecond)->Iterations(3);
