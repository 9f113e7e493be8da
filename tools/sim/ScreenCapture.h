// What the phone's screen shows now, for the runner's pictures and its window: every visible
// window of the application in the order they were made, with the keyboard's window on top, on
// a black screen of the main screen's size, the status area drawn over the top
// (dv::snapshotScreen); and the text form of the same (the screen on top,
// its title, the alerts, then each window's view tree). Both run the pending layout and display
// passes first. Main thread only.
#pragma once

#include "platform/base/Geometry.h"

#include <string>

class UIImage;

namespace dv::sim {

// The screen at `scale` pixels per point (0: the main screen's).
Ref<UIImage> captureScreen(CGFloat scale = 0);
bool writeScreenPNG(const std::string& path, CGFloat scale = 0);

// The dump: a few lines about the screen, then the view trees (see platform/ui/ViewSnapshot.h).
//   screen: VQMainViewController
//   title: "Dovrelta"
//   alert: "温馨提示" "请您设置…" buttons: "确定"
//   window 1 of 1 (key):
//   UIWindow (0 0; 375 667) bg=#ffffff
//     ...
std::string describeScreen();
// A text as the dump writes it: in double quotes, with quotes, backslashes and line breaks escaped.
std::string dumpQuoted(const std::string& text);

} // namespace dv::sim
