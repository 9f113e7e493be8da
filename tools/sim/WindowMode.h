// The runner's desktop window (SDL2): it shows the phone's screen at the screen's scale (smaller
// when the display is too small for it), redrawn after the main loop's turns that changed
// something, and turns the person's mouse and keyboard into the application's input:
//   - a press, move and release of the left button are a finger's touch through the platform's
//     touch delivery (so drags scroll and a held press is a long press);
//   - the mouse wheel scrolls what lies under the pointer with a finger of its own, 40 points a
//     notch, a fast spin flying on (internal/WheelFinger.h);
//   - typed text, Backspace and Return go to the first responder's text field or text view, at
//     its caret; Left, Right (without Alt), Home and End (in its line; with Ctrl, in the whole
//     text) move that caret;
//   - Escape or Alt+Left goes back a screen; F12 or Ctrl+S saves a picture and a dump of the
//     screen to the run's folder; F2 asks the runner to switch the home tiles (the window's title
//     says which show);
//   - closing the window (or SIGINT, SIGTERM) ends the run.
// The picture is shown at the window's size, shrunk by area on a display too small for it
// (internal/AreaScaling.h). SDL stays inside WindowMode.cpp. Main thread only.
#pragma once

#include "platform/base/Result.h"

#include <functional>
#include <memory>
#include <string>

namespace dv::sim {

class StepWriter;

struct WindowOptions {
    std::string title = "Dovrelta";
    StepWriter* shots = nullptr; // where F12 pictures go
    // F2: switches the home tiles and answers the window's new title ("" when nothing changed;
    // the runner then says why).
    std::function<std::string()> switchTiles {};
};

class WindowMode {
public:
    // Opens the window (before the application starts). Fails when no window can be opened (no
    // display, or SDL fails).
    Result<void> open(const WindowOptions& options);
    // Shows the application until the window is closed.
    void run();
    void close();
    WindowMode();
    ~WindowMode();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace dv::sim
