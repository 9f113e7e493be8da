#include "platform/ui/internal/web/WebEngine.h"

#include "platform/base/NSLog.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/ui/internal/web/PrivateDisplay.h"
#include "platform/ui/internal/web/ToolkitEvents.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef DV_WEB_EXTENSION_DIR
#error "DV_WEB_EXTENSION_DIR names the folder of the web-process extension"
#endif

namespace dv::internal {

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

WebEngine* WebEngine::shared()
{
    static WebEngine* s_engine = [] {
        auto* engine = new WebEngine;
        std::string error;
        if (!engine->start(error)) {
            NSLog("Web pages cannot be shown: %@", error.c_str());
            delete engine;
            return static_cast<WebEngine*>(nullptr);
        }
        return engine;
    }();
    return s_engine;
}

bool WebEngine::start(std::string& error)
{
    prepareMainThread();
    // No accessibility bus for offscreen views: without these the toolkit and each web process of
    // the engine (which read the same environment) would look for one and say it is not there.
    ::setenv("NO_AT_BRIDGE", "1", 0);
    ::setenv("WEBKIT_A11Y_BUS_ADDRESS", "", 0);
    gdk_set_allowed_backends("x11");
    bool toolkit = hasDisplay() && gtk_init_check(nullptr, nullptr);
    if (!toolkit) {
        const std::string display = PrivateDisplay::start(error);
        if (display.empty())
            return false;
        // The engine's web processes find the display through the environment they inherit.
        ::setenv("DISPLAY", display.c_str(), 1);
        toolkit = gtk_init_check(nullptr, nullptr);
        if (!toolkit) {
            error = "the toolkit cannot use the display " + display;
            return false;
        }
    }
    NSRunLoop::mainRunLoop()->addExternalSource(std::make_shared<ToolkitEvents>());

    m_context = webkit_web_context_new_ephemeral();
    webkit_web_context_set_cache_model(m_context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
    m_sandboxed = sandboxCanStart();
    if (!m_sandboxed)
        NSLog("Web pages run without the engine's sandbox: this system does not let it start (no user namespaces)");
    webkit_web_context_set_sandbox_enabled(m_context, m_sandboxed);
    webkit_web_context_set_web_extensions_directory(m_context, DV_WEB_EXTENSION_DIR);
    webkit_web_context_set_web_extensions_initialization_user_data(m_context, g_variant_new_double(kDefaultTimeLimit));
    return true;
}

} // namespace dv::internal
