#include "platform/ui/internal/web/EnginePage.h"

#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/graphics/CGColorSpace.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/ScreenScale.h"
#include "platform/graphics/UIFont.h"
#include "platform/graphics/UIImage.h"
#include "platform/net/NSURLError.h"
#include "platform/ui/internal/web/EngineErrors.h"
#include "platform/ui/internal/web/EngineInput.h"
#include "platform/ui/internal/web/WebEngine.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dv::internal::uikit {

namespace {

constexpr const char* kMessageHandler = "dovrelta";
constexpr const char* kTimeLimitMessage = "dovrelta.time-limit";
// A page (or frame) document larger than this is refused: it would keep its web process busy for
// as long as a person would wait for anything.
constexpr gint64 kDocumentLimit = 8 * 1024 * 1024;
// A web process that does not answer the engine for this long is ended (its page goes blank).
constexpr double kUnresponsiveLimit = 10;

std::string text(const char* value) { return value ? value : ""; }

// An engine callback's way back to a page that may be gone by then.
template <class T>
struct Pending {
    std::weak_ptr<EnginePage*> alive;
    T payload;
};

} // namespace

struct EnginePage::Engine {
    GtkWidget* window = nullptr;
    WebKitWebView* view = nullptr;
    WebKitUserContentManager* scripts = nullptr;
    std::string bootstrap;
    double timeLimit = WebEngine::kDefaultTimeLimit;
    CGSize size {};
    CGFloat scale = 0;
    int width = 0, height = 0; // the size in pixels asked for
    bool allocated = false;    // the view has been given that size (it can be drawn)
    bool failed = false;     // the running load failed: its end is not a finish
    bool tooLarge = false;   // the running load's document was refused for its size
    bool processEnded = false; // the page is gone until the next load commits
    std::vector<guint> timeouts;
    // A navigation the page asked to open in a window of its own, loaded here instead; it has been
    // asked about already.
    std::string approvedURL;
};

namespace {

EnginePage* pageOf(gpointer data) { return static_cast<EnginePage*>(data); }

} // namespace

class EnginePageSignals {
public:
    static gboolean decidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer data)
    {
        auto* page = pageOf(data);
        if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
            auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
            // What the engine cannot show (an archive, a program) would be downloaded: refused, so
            // that the load fails instead.
            if (!webkit_response_policy_decision_is_mime_type_supported(response)) {
                webkit_policy_decision_ignore(decision);
                return TRUE;
            }
            const gint64 length = static_cast<gint64>(webkit_uri_response_get_content_length(webkit_response_policy_decision_get_response(response)));
            if (length > kDocumentLimit) {
                if (webkit_response_policy_decision_is_main_frame_main_resource(response))
                    page->m_engine->tooLarge = true;
                webkit_policy_decision_ignore(decision);
                return TRUE;
            }
            return FALSE;
        }
        auto* action = webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        WebKitURIRequest* request = webkit_navigation_action_get_request(action);
        PageNavigation navigation;
        navigation.url = text(webkit_uri_request_get_uri(request));
        navigation.type = static_cast<NSInteger>(webkit_navigation_action_get_navigation_type(action));
        navigation.redirect = webkit_navigation_action_is_redirect(action);
        navigation.newWindow = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION;
        auto& engine = *page->m_engine;
        if (!navigation.newWindow && !engine.approvedURL.empty() && engine.approvedURL == navigation.url) {
            engine.approvedURL.clear();
            webkit_policy_decision_use(decision);
            return TRUE;
        }
        // The client may let the page go while it answers.
        g_object_ref(decision);
        g_object_ref(request);
        std::weak_ptr<EnginePage*> alive = page->m_alive;
        const bool allowed = page->m_client.pageShouldNavigate(navigation);
        if (alive.expired() || !allowed) {
            webkit_policy_decision_ignore(decision);
        } else if (navigation.newWindow) {
            // No second window: the page opens here, once this report is over (a load given
            // inside it would be lost).
            webkit_policy_decision_ignore(decision);
            page->m_engine->approvedURL = navigation.url;
            std::shared_ptr<WebKitURIRequest> held(WEBKIT_URI_REQUEST(g_object_ref(request)), [](WebKitURIRequest* r) { g_object_unref(r); });
            page->afterDelay(0, [page, held] { webkit_web_view_load_request(page->m_engine->view, held.get()); });
        } else {
            webkit_policy_decision_use(decision);
        }
        g_object_unref(request);
        g_object_unref(decision);
        return TRUE;
    }

    static void loadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data)
    {
        auto* page = pageOf(data);
        auto& engine = *page->m_engine;
        switch (event) {
        case WEBKIT_LOAD_STARTED:
            engine.failed = false;
            engine.tooLarge = false;
            if (engine.timeLimit != WebEngine::kDefaultTimeLimit)
                page->setTimeLimit(engine.timeLimit);
            page->m_client.pageDidStartLoad();
            break;
        case WEBKIT_LOAD_REDIRECTED:
            page->m_client.pageDidMakeProgress();
            break;
        case WEBKIT_LOAD_COMMITTED:
            engine.processEnded = false;
            page->m_client.pageDidCommitLoad();
            break;
        case WEBKIT_LOAD_FINISHED:
            if (!std::exchange(engine.failed, false))
                page->m_client.pageDidFinishLoad();
            break;
        }
    }

    static gboolean loadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer data)
    {
        auto* page = pageOf(data);
        page->m_engine->failed = true;
        if (std::exchange(page->m_engine->tooLarge, false))
            page->m_client.pageDidFailLoad(makeURLError(NSURLErrorDataLengthExceedsMaximum, NSURL::URLWithString(NSString::fromUTF8(text(uri)))));
        else
            page->m_client.pageDidFailLoad(errorForFailedLoad(error, text(uri)));
        // The view keeps what it showed: no error page of the engine's.
        return TRUE;
    }

    static void progressChanged(GObject*, GParamSpec*, gpointer data) { pageOf(data)->m_client.pageDidMakeProgress(); }
    static void titleChanged(GObject*, GParamSpec*, gpointer data) { pageOf(data)->m_client.pageDidChangeTitle(); }

    static void sizeAllocated(GtkWidget*, GdkRectangle* allocation, gpointer data)
    {
        auto* page = pageOf(data);
        auto& engine = *page->m_engine;
        engine.allocated = allocation->width == engine.width && allocation->height == engine.height;
        page->m_renderingStale = true;
    }

    static void responsivenessChanged(GObject*, GParamSpec*, gpointer data)
    {
        auto* page = pageOf(data);
        if (page->isResponsive())
            return;
        page->afterDelay(kUnresponsiveLimit, [page] {
            if (!page->isResponsive())
                webkit_web_view_terminate_web_process(page->m_engine->view);
        });
    }

    static void processTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer data)
    {
        auto* page = pageOf(data);
        if (reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT)
            NSLog("The web page %@ took more memory than its process may hold: the process was ended", page->url().c_str());
        page->m_engine->processEnded = true;
        page->m_renderingStale = true;
        page->m_client.pageProcessDidEnd();
    }

    static gboolean damaged(GtkWidget*, GdkEvent*, gpointer data)
    {
        auto* page = pageOf(data);
        page->m_renderingStale = true;
        page->m_client.pageDidPaint();
        return FALSE;
    }

    static void messageReceived(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data)
    {
        JSCValue* value = webkit_javascript_result_get_js_value(result);
        char* json = value ? jsc_value_to_json(value, 0) : nullptr;
        if (!json)
            return;
        const std::string message = json;
        g_free(json);
        pageOf(data)->m_client.pageDidPostMessage(message);
    }

    // What would open a window of the toolkit is answered without one.
    static GtkWidget* createView(WebKitWebView*, WebKitNavigationAction*, gpointer) { return nullptr; }
    static gboolean handled(GObject*, gpointer) { return TRUE; }
    static gboolean scriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer)
    {
        if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_CONFIRM
            || webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM)
            webkit_script_dialog_confirm_set_confirmed(dialog, webkit_script_dialog_get_dialog_type(dialog) != WEBKIT_SCRIPT_DIALOG_CONFIRM);
        return TRUE;
    }
    static gboolean permission(WebKitWebView*, WebKitPermissionRequest* request, gpointer)
    {
        webkit_permission_request_deny(request);
        return TRUE;
    }
    static gboolean fileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer)
    {
        webkit_file_chooser_request_cancel(request);
        return TRUE;
    }
    static gboolean authenticate(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer)
    {
        webkit_authentication_request_cancel(request);
        return TRUE;
    }
    static gboolean noTooltip(GtkWidget* widget, gint, gint, gboolean, GtkTooltip*, gpointer)
    {
        g_signal_stop_emission_by_name(widget, "query-tooltip");
        return FALSE;
    }
    static void evaluated(GObject* source, GAsyncResult* result, gpointer data)
    {
        std::unique_ptr<Pending<std::function<void(PageAnswer)>>> pending(static_cast<Pending<std::function<void(PageAnswer)>>*>(data));
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
        PageAnswer answer;
        if (value) {
            answer.kind = PageAnswer::Kind::Value;
            if (!jsc_value_is_undefined(value)) {
                char* json = jsc_value_to_json(value, 0);
                answer.json = text(json);
                g_free(json);
            }
            g_object_unref(value);
        } else {
            answer = answerForError(error);
            g_clear_error(&error);
        }
        if (pending->alive.expired() || !pending->payload)
            return;
        pending->payload(std::move(answer));
    }

private:
    // The engine reports an exception as "source:line:column: text"; a script it ended for its time
    // limit as an error without text.
    static PageAnswer answerForError(const GError* error)
    {
        PageAnswer answer;
        if (!error || error->domain != WEBKIT_JAVASCRIPT_ERROR) {
            answer.kind = PageAnswer::Kind::NoPage;
            return answer;
        }
        std::string message = text(error->message);
        answer.kind = message.empty() ? PageAnswer::Kind::Terminated : PageAnswer::Kind::Exception;
        for (std::size_t at = message.find(':'); at != std::string::npos; at = message.find(':', at + 1)) {
            std::size_t cursor = at + 1;
            auto digits = [&] {
                const std::size_t begin = cursor;
                while (cursor < message.size() && std::isdigit(static_cast<unsigned char>(message[cursor])))
                    ++cursor;
                return cursor > begin;
            };
            if (digits() && cursor < message.size() && message[cursor] == ':' && (++cursor, digits())
                && message.compare(cursor, 2, ": ") == 0) {
                message.erase(0, cursor + 2);
                break;
            }
        }
        answer.exception = message;
        return answer;
    }
};

EnginePage::EnginePage(EnginePageClient& client)
    : m_client(client), m_engine(std::make_unique<Engine>()), m_alive(std::make_shared<EnginePage*>(this))
{
}

std::unique_ptr<EnginePage> EnginePage::create(EnginePageClient& client, CGSize size, const std::string& bootstrap, double timeLimit)
{
    auto* engine = WebEngine::shared();
    if (!engine)
        return nullptr;
    std::unique_ptr<EnginePage> page(new EnginePage(client));
    auto& e = *page->m_engine;
    e.timeLimit = timeLimit;
    e.scripts = webkit_user_content_manager_new();
    webkit_user_content_manager_register_script_message_handler(e.scripts, kMessageHandler);
    // The phone's web view has no scrollbar to draw; the engine's own would show after a load and
    // fade a while later, so that a picture of the page would depend on when it is taken.
    WebKitUserStyleSheet* noScrollbars = webkit_user_style_sheet_new("::-webkit-scrollbar { display: none; }",
        WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
    webkit_user_content_manager_add_style_sheet(e.scripts, noScrollbars);
    webkit_user_style_sheet_unref(noScrollbars);
    // A page's sans-serif text is set in the system font, as the native labels are.
    const std::string systemFamily = dv::str(UIFont::systemFontOfSize(17)->familyName());
    WebKitSettings* settings = webkit_settings_new_with_settings(
        // Drawn by the processor into memory, where the offscreen window can read it.
        "hardware-acceleration-policy", WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER,
        // A drag moves the page by as much as the finger, at once.
        "enable-smooth-scrolling", FALSE,
        "enable-back-forward-navigation-gestures", FALSE,
        "enable-developer-extras", FALSE,
        "javascript-can-open-windows-automatically", FALSE,
        "enable-page-cache", FALSE,
        "sans-serif-font-family", systemFamily.c_str(),
        nullptr);
    e.view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", engine->context(), "user-content-manager", e.scripts,
        "settings", settings, nullptr));
    g_object_ref_sink(e.view);
    g_object_unref(settings);
    installInput(e.view);
    e.window = gtk_offscreen_window_new();
    g_object_ref_sink(e.window);
    gtk_container_add(GTK_CONTAINER(e.window), GTK_WIDGET(e.view));
    page->setBootstrap(bootstrap);
    page->setSize(size);
    page->handleSignals();
    gtk_widget_show_all(e.window);
    return page;
}

void EnginePage::handleSignals()
{
    auto& e = *m_engine;
    g_signal_connect(e.view, "decide-policy", G_CALLBACK(EnginePageSignals::decidePolicy), this);
    g_signal_connect(e.view, "load-changed", G_CALLBACK(EnginePageSignals::loadChanged), this);
    g_signal_connect(e.view, "load-failed", G_CALLBACK(EnginePageSignals::loadFailed), this);
    g_signal_connect(e.view, "notify::estimated-load-progress", G_CALLBACK(EnginePageSignals::progressChanged), this);
    g_signal_connect(e.view, "notify::title", G_CALLBACK(EnginePageSignals::titleChanged), this);
    g_signal_connect(e.view, "size-allocate", G_CALLBACK(EnginePageSignals::sizeAllocated), this);
    g_signal_connect(e.view, "web-process-terminated", G_CALLBACK(EnginePageSignals::processTerminated), this);
    g_signal_connect(e.view, "notify::is-web-process-responsive", G_CALLBACK(EnginePageSignals::responsivenessChanged), this);
    g_signal_connect(e.view, "create", G_CALLBACK(EnginePageSignals::createView), this);
    g_signal_connect(e.view, "script-dialog", G_CALLBACK(EnginePageSignals::scriptDialog), this);
    g_signal_connect(e.view, "permission-request", G_CALLBACK(EnginePageSignals::permission), this);
    g_signal_connect(e.view, "run-file-chooser", G_CALLBACK(EnginePageSignals::fileChooser), this);
    g_signal_connect(e.view, "authenticate", G_CALLBACK(EnginePageSignals::authenticate), this);
    for (const char* name : { "context-menu", "show-option-menu", "print", "enter-fullscreen", "show-notification", "run-color-chooser" })
        g_signal_connect(e.view, name, G_CALLBACK(EnginePageSignals::handled), this);
    g_signal_connect(e.view, "query-tooltip", G_CALLBACK(EnginePageSignals::noTooltip), this);
    g_signal_connect(e.window, "damage-event", G_CALLBACK(EnginePageSignals::damaged), this);
    g_signal_connect(e.scripts, (std::string("script-message-received::") + kMessageHandler).c_str(),
        G_CALLBACK(EnginePageSignals::messageReceived), this);
}

EnginePage::~EnginePage()
{
    auto& e = *m_engine;
    m_alive.reset();
    for (guint source : e.timeouts)
        g_source_remove(source);
    g_signal_handlers_disconnect_by_data(e.view, this);
    g_signal_handlers_disconnect_by_data(e.window, this);
    g_signal_handlers_disconnect_by_data(e.scripts, this);
    webkit_web_view_stop_loading(e.view);
    // This may run inside one of the view's own signals (a delegate letting its screen go): the
    // engine goes once the signal is over.
    g_idle_add(
        [](gpointer window) -> gboolean {
            gtk_widget_destroy(GTK_WIDGET(window));
            g_object_unref(window);
            return G_SOURCE_REMOVE;
        },
        e.window);
    g_object_unref(e.view);
    g_object_unref(e.scripts);
}

void EnginePage::setSize(CGSize size)
{
    auto& e = *m_engine;
    const CGFloat scale = mainScreenScale();
    e.size = size;
    if (scale != e.scale) {
        e.scale = scale;
        webkit_web_view_set_zoom_level(e.view, scale);
    }
    const int width = std::max(1, static_cast<int>(std::ceil(size.width * scale)));
    const int height = std::max(1, static_cast<int>(std::ceil(size.height * scale)));
    if (width == e.width && height == e.height)
        return;
    e.width = width;
    e.height = height;
    // Drawn again once the toolkit has given the view its new size (on its next frame).
    e.allocated = false;
    gtk_widget_set_size_request(GTK_WIDGET(e.view), width, height);
    gtk_window_resize(GTK_WINDOW(e.window), width, height);
    m_renderingStale = true;
}

void EnginePage::loadURL(const std::string& url, const std::vector<std::pair<std::string, std::string>>& headers)
{
    WebKitURIRequest* request = webkit_uri_request_new(url.c_str());
    if (SoupMessageHeaders* fields = webkit_uri_request_get_http_headers(request))
        for (const auto& [name, value] : headers)
            soup_message_headers_replace(fields, name.c_str(), value.c_str());
    webkit_web_view_load_request(m_engine->view, request);
    g_object_unref(request);
}

void EnginePage::loadBytes(const void* bytes, std::size_t length, const std::string& MIMEType, const std::string& encoding,
    const std::string& baseURL)
{
    GBytes* data = g_bytes_new(bytes, length);
    webkit_web_view_load_bytes(m_engine->view, data, MIMEType.empty() ? nullptr : MIMEType.c_str(),
        encoding.empty() ? nullptr : encoding.c_str(), baseURL.empty() ? nullptr : baseURL.c_str());
    g_bytes_unref(data);
}

void EnginePage::reload() { webkit_web_view_reload(m_engine->view); }

void EnginePage::stopLoading() { webkit_web_view_stop_loading(m_engine->view); }

bool EnginePage::canGoBack() const { return webkit_web_view_can_go_back(m_engine->view); }

bool EnginePage::canGoForward() const { return webkit_web_view_can_go_forward(m_engine->view); }

std::string EnginePage::title() const { return text(webkit_web_view_get_title(m_engine->view)); }

std::string EnginePage::url() const { return text(webkit_web_view_get_uri(m_engine->view)); }

void EnginePage::setBootstrap(const std::string& script)
{
    auto& e = *m_engine;
    e.bootstrap = script;
    webkit_user_content_manager_remove_all_scripts(e.scripts);
    if (script.empty())
        return;
    WebKitUserScript* user = webkit_user_script_new(script.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(e.scripts, user);
    webkit_user_script_unref(user);
}

void EnginePage::runScript(const std::string& script, std::function<void(PageAnswer)> done)
{
    auto* pending = new Pending<std::function<void(PageAnswer)>> { m_alive, std::move(done) };
    webkit_web_view_evaluate_javascript(m_engine->view, script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr, nullptr,
        EnginePageSignals::evaluated, pending);
}

void EnginePage::setTimeLimit(double seconds)
{
    m_engine->timeLimit = seconds;
    WebKitUserMessage* message = webkit_user_message_new(kTimeLimitMessage, g_variant_new_double(seconds));
    webkit_web_view_send_message_to_page(m_engine->view, message, nullptr, nullptr, nullptr);
}

bool EnginePage::isResponsive() const { return webkit_web_view_get_is_web_process_responsive(m_engine->view); }

Ref<UIImage> EnginePage::rendering()
{
    auto& e = *m_engine;
    if (e.processEnded)
        return nil;
    if (!m_renderingStale || !e.allocated)
        return m_rendering;
    m_renderingStale = false;
    GtkWidget* widget = GTK_WIDGET(e.view);
    // A size the toolkit has not given the view yet is given now, so that it draws at it.
    gtk_container_check_resize(GTK_CONTAINER(e.window));
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    if (!gtk_widget_is_drawable(widget))
        return m_rendering;
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
    cairo_surface_t* surface = cairo_image_surface_create_for_data(pixels.data(), CAIRO_FORMAT_ARGB32, width, height, stride);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(widget, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
    auto image = makeImage(static_cast<std::size_t>(width), static_cast<std::size_t>(height), 8, 32, static_cast<std::size_t>(stride),
        CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, std::move(pixels));
    m_rendering = image ? UIImage::imageWithCGImage(image, e.scale, UIImageOrientationUp) : nil;
    return m_rendering;
}

void EnginePage::click(CGPoint point, double time)
{
    auto& e = *m_engine;
    sendClick(e.view, point.x * e.scale, point.y * e.scale, time);
}

void EnginePage::scroll(CGPoint point, CGSize delta)
{
    auto& e = *m_engine;
    sendScroll(e.view, point.x * e.scale, point.y * e.scale, delta.width * e.scale, delta.height * e.scale);
}

void EnginePage::insertText(const std::string& text) { commitText(m_engine->view, text); }

void EnginePage::pressKey(Key key, double time)
{
    sendKey(m_engine->view, key == Key::Return ? GDK_KEY_Return : GDK_KEY_BackSpace, time);
}

void EnginePage::afterDelay(double seconds, std::function<void()> block)
{
    auto* pending = new Pending<std::function<void()>> { m_alive, std::move(block) };
    const guint source = g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(std::max(0.0, seconds) * 1000),
        [](gpointer data) -> gboolean {
            auto* pending = static_cast<Pending<std::function<void()>>*>(data);
            if (auto alive = pending->alive.lock()) {
                auto& timeouts = (*alive)->m_engine->timeouts;
                std::erase(timeouts, g_source_get_id(g_main_current_source()));
                if (auto block = std::exchange(pending->payload, {}))
                    block();
            }
            return G_SOURCE_REMOVE;
        },
        pending, [](gpointer data) { delete static_cast<Pending<std::function<void()>>*>(data); });
    m_engine->timeouts.push_back(source);
}

} // namespace dv::internal::uikit
