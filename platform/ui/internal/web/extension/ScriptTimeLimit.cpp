// Loaded by the web engine into each of its web processes: holds the page's scripts to the time
// limit of the web view's script context, as a standalone context holds its own. A script that
// runs past the limit is ended (its page goes on with the next script), so an endless loop in a
// page neither hangs the page nor the application waiting for it. The limit arrives with the
// process (the engine's start-up data) and again whenever the application changes it (a message
// to the page). The engine's JavaScript library sets the limit on the page's script group; the
// function is exported by that library without a declaration in its public headers. This file is
// built without the sanitizers: the engine's processes are not.
#include <JavaScriptCore/JavaScript.h>
#include <webkit2/webkit-web-extension.h>

extern "C" {
typedef bool (*JSShouldTerminateCallback)(JSContextRef context, void* data);
JS_EXPORT void JSContextGroupSetExecutionTimeLimit(JSContextGroupRef group, double limit, JSShouldTerminateCallback callback, void* data);
JS_EXPORT void JSContextGroupClearExecutionTimeLimit(JSContextGroupRef group);
}

namespace {

// Seconds a script may run; 0 or less: no limit. The engine runs every page of a process on one
// script group, so the latest limit holds for all of them.
double s_limit = 0;

bool endScript(JSContextRef, void*) { return true; }

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
void applyLimit(WebKitFrame* frame)
{
    JSGlobalContextRef context = frame ? webkit_frame_get_javascript_global_context(frame) : nullptr;
    if (!context)
        return;
    JSContextGroupRef group = JSContextGetGroup(context);
    if (s_limit > 0)
        JSContextGroupSetExecutionTimeLimit(group, s_limit, endScript, nullptr);
    else
        JSContextGroupClearExecutionTimeLimit(group);
}
G_GNUC_END_IGNORE_DEPRECATIONS

void windowCleared(WebKitScriptWorld*, WebKitWebPage*, WebKitFrame* frame, gpointer) { applyLimit(frame); }

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
gboolean messageReceived(WebKitWebPage* page, WebKitUserMessage* message, gpointer)
{
    const char* name = webkit_user_message_get_name(message);
    GVariant* parameters = webkit_user_message_get_parameters(message);
    if (!name || g_strcmp0(name, "dovrelta.time-limit") != 0 || !parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE_DOUBLE))
        return FALSE;
    s_limit = g_variant_get_double(parameters);
    applyLimit(webkit_web_page_get_main_frame(page));
    return TRUE;
}
G_GNUC_END_IGNORE_DEPRECATIONS

void pageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer)
{
    g_signal_connect(page, "user-message-received", G_CALLBACK(messageReceived), nullptr);
}

} // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(WebKitWebExtension* extension, const GVariant* data)
{
    if (data && g_variant_is_of_type(const_cast<GVariant*>(data), G_VARIANT_TYPE_DOUBLE))
        s_limit = g_variant_get_double(const_cast<GVariant*>(data));
    g_signal_connect(webkit_script_world_get_default(), "window-object-cleared", G_CALLBACK(windowCleared), nullptr);
    g_signal_connect(extension, "page-created", G_CALLBACK(pageCreated), nullptr);
}
