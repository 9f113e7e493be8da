#include "platform/ui/internal/web/WebEngine.h"

#include "platform/base/NSLog.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/ui/internal/web/PrivateDisplay.h"
#include "platform/ui/internal/web/ToolkitEvents.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cerrno>
#include <cstdlib>
#include <pthread.h>
#include <sched.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#ifndef DV_WEB_EXTENSION_DIR
#error "DV_WEB_EXTENSION_DIR names the folder of the web-process extension"
#endif

namespace dv::internal::uikit {

namespace {

constexpr const char* kSandboxHelper = "/usr/bin/bwrap";

// The engine's sandbox runs each web process in namespaces of its own through its helper; some
// systems do not let an unprivileged process make a user namespace (a setting of the kernel, the
// filter of a container). A child process tries it once.
bool sandboxCanStart()
{
    if (::access(kSandboxHelper, X_OK) != 0)
        return false;
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0)
        ::_exit(::unshare(CLONE_NEWUSER) == 0 ? 0 : 1);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// In MiB: DOVRELTA_WEB_MEMORY_LIMIT when it is a number from 16 on, else the default.
unsigned pageMemoryLimit()
{
    const char* text = std::getenv("DOVRELTA_WEB_MEMORY_LIMIT");
    char* end = nullptr;
    const unsigned long limit = text ? std::strtoul(text, &end, 10) : 0;
    if (!text || end == text || *end || limit < 16 || limit > 1u << 20)
        return WebEngine::kPageMemoryLimit;
    return static_cast<unsigned>(limit);
}

bool hasDisplay()
{
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

} // namespace

void WebEngine::prepareMainThread()
{
    static const bool s_prepared = [] {
        g_type_class_unref(g_type_class_ref(WEBKIT_TYPE_WEB_CONTEXT));
        return true;
    }();
    (void)s_prepared;
}

namespace {

// The start's progress and the engine; main thread only.
WebEngine::State s_state = WebEngine::State::NotStarted;
WebEngine* s_engine = nullptr;
std::vector<std::function<void()>> s_waiting;

} // namespace

WebEngine::State WebEngine::state() { return s_state; }

WebEngine* WebEngine::shared() { return s_engine; }

void WebEngine::start(std::function<void()> done)
{
    if (s_state == State::NotStarted) {
        s_state = State::Starting;
        // No accessibility bus for offscreen views: without these the toolkit and each web process
        // of the engine (which read the same environment) would look for one and say it is not
        // there. Set before the start's thread runs, which hands the environment to the display.
        ::setenv("NO_AT_BRIDGE", "1", 0);
        ::setenv("WEBKIT_A11Y_BUS_ADDRESS", "", 0);
        prepare(!hasDisplay());
    }
    if (!done)
        return;
    if (s_state == State::Starting)
        s_waiting.push_back(std::move(done));
    else
        dispatch_async(dispatch_get_main_queue(), std::move(done));
}

// What waits on other processes runs on a thread of its own, which stays while the private
// display runs: the display ends when the thread that started it does.
void WebEngine::prepare(bool privateDisplay)
{
    std::thread([privateDisplay] {
        ::pthread_setname_np(::pthread_self(), "dv.web-engine");
        Preparation preparation;
        preparation.privateDisplay = privateDisplay;
        preparation.sandboxed = sandboxCanStart();
        pid_t server = 0;
        if (privateDisplay) {
            if (auto started = PrivateDisplay::start(); started) {
                preparation.display = started->display;
                server = started->process;
                PrivateDisplay::loadGraphics(preparation.display);
            } else {
                preparation.error = started.reason();
            }
        }
        dispatch_async(dispatch_get_main_queue(), [preparation] { finish(preparation); });
        if (server > 0)
            PrivateDisplay::keepUntilEnd(server);
    }).detach();
}

// The main thread's part, in turns of their own: the toolkit on the display, then the web context
// (which starts the engine's network process).
void WebEngine::finish(const Preparation& preparation)
{
    prepareMainThread();
    gdk_set_allowed_backends("x11");
    std::string error = preparation.error;
    bool toolkit = false;
    if (!preparation.privateDisplay) {
        toolkit = gtk_init_check(nullptr, nullptr);
        if (!toolkit) {
            // The process's display does not take the toolkit: a private one instead.
            prepare(true);
            return;
        }
    } else if (!preparation.display.empty()) {
        // The engine's web processes find the display through the environment they inherit.
        ::setenv("DISPLAY", preparation.display.c_str(), 1);
        toolkit = gtk_init_check(nullptr, nullptr);
        if (!toolkit)
            error = "the toolkit cannot use the display " + preparation.display;
    }
    if (!toolkit) {
        NSLog("Web pages cannot be shown: %@", error.c_str());
        end(State::Failed);
        return;
    }
    const bool sandboxed = preparation.sandboxed;
    dispatch_async(dispatch_get_main_queue(), [sandboxed] {
        NSRunLoop::mainRunLoop()->addExternalSource(std::make_shared<ToolkitEvents>());
        s_engine = new WebEngine;
        s_engine->makeContext(sandboxed);
        end(State::Started);
    });
}

void WebEngine::end(State state)
{
    s_state = state;
    // Each in a turn of its own: a page made for each waiting view, and its load.
    for (auto& done : std::exchange(s_waiting, {}))
        dispatch_async(dispatch_get_main_queue(), std::move(done));
}

void WebEngine::makeContext(bool sandboxed)
{
    // The engine releases what it can at a third and at half of the bound, and ends the process
    // once it is past the bound all the same.
    WebKitMemoryPressureSettings* memory = webkit_memory_pressure_settings_new();
    webkit_memory_pressure_settings_set_memory_limit(memory, pageMemoryLimit());
    webkit_memory_pressure_settings_set_kill_threshold(memory, 1.0);
    webkit_memory_pressure_settings_set_poll_interval(memory, kPageMemoryPoll);
    WebKitWebsiteDataManager* data = webkit_website_data_manager_new_ephemeral();
    m_context = WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager", data, "memory-pressure-settings", memory, nullptr));
    g_object_unref(data);
    webkit_memory_pressure_settings_free(memory);
    webkit_web_context_set_cache_model(m_context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
    if (!sandboxed)
        NSLog("Web pages run without the engine's sandbox: this system does not let it start (no user namespaces)");
    webkit_web_context_set_sandbox_enabled(m_context, sandboxed);
    webkit_web_context_set_web_extensions_directory(m_context, DV_WEB_EXTENSION_DIR);
    webkit_web_context_set_web_extensions_initialization_user_data(m_context, g_variant_new_double(kDefaultTimeLimit));
}

} // namespace dv::internal::uikit
