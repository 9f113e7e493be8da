// The engine's input events for an EnginePage: the touches and typing of a UIWebView turned into
// the pointer, wheel and key events of the engine's view, in the view's pixels. The view gets an
// input method of its own that takes typed text as an input method hands it over (never the
// system's input method: its windows would show on the desktop). Main thread only.
#pragma once

#include <string>

typedef struct _WebKitWebView WebKitWebView;

namespace dv::internal::uikit {

// Gives the view its input method; once, before it is shown.
void installInput(WebKitWebView* view);
// A press and release of the first button at a point; `time` in seconds of the clock.
void sendClick(WebKitWebView* view, double x, double y, double time);
// Moves the content under the point by the finger's movement (a drag of `dx`, `dy`).
void sendScroll(WebKitWebView* view, double x, double y, double dx, double dy);
void sendKey(WebKitWebView* view, unsigned keyval, double time);
// Text typed into the focused field of the page.
void commitText(WebKitWebView* view, const std::string& text);

} // namespace dv::internal::uikit
