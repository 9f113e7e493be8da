#include "platform/ui/internal/web/EngineInput.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cmath>
#include <cstdint>

// The view's input method: it asks the system for nothing (the system's input method would show
// its own windows) and lets every key through to the page.
typedef struct {
    WebKitInputMethodContext parent;
} DvTypedInput;
typedef struct {
    WebKitInputMethodContextClass parent;
} DvTypedInputClass;

G_DEFINE_TYPE(DvTypedInput, dv_typed_input, WEBKIT_TYPE_INPUT_METHOD_CONTEXT)

static void dv_typed_input_init(DvTypedInput*) { }

static void dv_typed_input_class_init(DvTypedInputClass* type)
{
    auto* input = WEBKIT_INPUT_METHOD_CONTEXT_CLASS(type);
    input->filter_key_event = [](WebKitInputMethodContext*, GdkEventKey*) -> gboolean { return FALSE; };
}

namespace dv::internal::uikit {

namespace {

guint32 eventTime(double seconds) { return static_cast<guint32>(static_cast<std::uint64_t>(std::llround(seconds * 1000)) & 0xFFFFFFFFu); }

GdkWindow* windowOf(WebKitWebView* view) { return gtk_widget_get_window(GTK_WIDGET(view)); }

GdkDevice* pointer(GdkWindow* window) { return gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_window_get_display(window))); }

void send(GdkEvent* event, GdkDevice* device)
{
    gdk_event_set_device(event, device);
    gdk_event_set_source_device(event, device);
    gtk_main_do_event(event);
    gdk_event_free(event);
}

void sendButton(WebKitWebView* view, GdkEventType type, double x, double y, guint32 time)
{
    GdkWindow* window = windowOf(view);
    if (!window)
        return;
    GdkEvent* event = gdk_event_new(type);
    event->button.window = GDK_WINDOW(g_object_ref(window));
    event->button.send_event = TRUE;
    event->button.time = time;
    event->button.x = x;
    event->button.y = y;
    event->button.x_root = x;
    event->button.y_root = y;
    event->button.button = 1;
    event->button.state = type == GDK_BUTTON_RELEASE ? GDK_BUTTON1_MASK : 0;
    send(event, pointer(window));
}

} // namespace

void installInput(WebKitWebView* view)
{
    auto* input = WEBKIT_INPUT_METHOD_CONTEXT(g_object_new(dv_typed_input_get_type(), nullptr));
    webkit_web_view_set_input_method_context(view, input);
    g_object_unref(input);
}

void sendClick(WebKitWebView* view, double x, double y, double time)
{
    const guint32 at = eventTime(time);
    sendButton(view, GDK_BUTTON_PRESS, x, y, at);
    sendButton(view, GDK_BUTTON_RELEASE, x, y, at);
}

void sendScroll(WebKitWebView* view, double x, double y, double dx, double dy)
{
    GdkWindow* window = windowOf(view);
    if (!window || (dx == 0 && dy == 0))
        return;
    // The engine moves the content by a step that grows with the view's height for each unit of a
    // wheel's movement (the two-thirds power of the height in pixels): the finger's movement in
    // those units moves the content by as much as the finger.
    const int height = std::max(1, gtk_widget_get_allocated_height(GTK_WIDGET(view)));
    const int width = std::max(1, gtk_widget_get_allocated_width(GTK_WIDGET(view)));
    GdkEvent* event = gdk_event_new(GDK_SCROLL);
    event->scroll.window = GDK_WINDOW(g_object_ref(window));
    event->scroll.send_event = TRUE;
    event->scroll.time = GDK_CURRENT_TIME;
    event->scroll.x = x;
    event->scroll.y = y;
    event->scroll.x_root = x;
    event->scroll.y_root = y;
    event->scroll.direction = GDK_SCROLL_SMOOTH;
    event->scroll.delta_x = -dx / std::pow(width, 2.0 / 3.0);
    event->scroll.delta_y = -dy / std::pow(height, 2.0 / 3.0);
    send(event, pointer(window));
}

void sendKey(WebKitWebView* view, unsigned keyval, double time)
{
    GdkWindow* window = windowOf(view);
    if (!window)
        return;
    gtk_widget_grab_focus(GTK_WIDGET(view));
    GdkDisplay* display = gdk_window_get_display(window);
    guint16 keycode = 0;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count) && count > 0)
        keycode = static_cast<guint16>(keys[0].keycode);
    g_free(keys);
    GdkDevice* keyboard = gdk_seat_get_keyboard(gdk_display_get_default_seat(display));
    for (GdkEventType type : { GDK_KEY_PRESS, GDK_KEY_RELEASE }) {
        GdkEvent* event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(window));
        event->key.send_event = TRUE;
        event->key.time = eventTime(time);
        event->key.keyval = keyval;
        event->key.hardware_keycode = keycode;
        send(event, keyboard);
    }
}

void commitText(WebKitWebView* view, const std::string& text)
{
    if (text.empty())
        return;
    // Inserted by the page's editor where its caret is, as typed text is (the page hears its
    // input events); the engine's input method would drop text that comes before it has heard of
    // the field's focus.
    webkit_web_view_execute_editing_command_with_argument(view, "InsertText", text.c_str());
}

} // namespace dv::internal::uikit
