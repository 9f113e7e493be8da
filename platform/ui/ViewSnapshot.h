// Reading a view tree the way a person sees it, for tests, the UI driver and the runner: a
// picture of a view and its subviews (or of the whole screen), and a text dump of the tree. Both read the views' own
// state; the pending layout and display passes run first, so they show the end of the turn.
// Main thread only.
//
//   dv::writeSnapshotPNG(window, "/tmp/home.png");
//   std::string text = dv::dumpViewTree(window);
//
// The dump has one line per view, two spaces of indent per level, in subview order:
//   UIWindow (0 0; 375 667) bg=#ffffff
//     UIView (10 20; 100 50) tag=3 clips radius=10 bg=#ff0000
//       UILabel (0 0; 100 20) text="你好" interaction=off
// after the class name and the frame come the view's description fields (key text first, then
// tag, hidden, alpha, interaction, clips, transform, radius, border, bg); flags stand alone, and
// texts (and values with quotes or line breaks) are quoted with \" \\ \n escaped. Numbers have at most two
// decimals; colours are #rrggbb, with an alpha byte when not opaque.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/ui/Forward.h"

#include <optional>
#include <string>
#include <vector>

namespace dv {

// The view's bounds at `scale` pixels per point (0: the main screen's), transparent where
// nothing is drawn; nil for an empty view.
Ref<UIImage> snapshotView(const Ref<UIView>& view, CGFloat scale = 0);
bool writeSnapshotPNG(const Ref<UIView>& view, const std::string& path, CGFloat scale = 0);

// The windows a person sees, bottom first: the application's shown windows in the order they
// were made, then the keyboard's.
std::vector<Ref<UIWindow>> screenWindows();
// The whole screen as a person sees it: those windows laid at their frames on black, and the
// status area (signal, time, battery, network activity) drawn over the top 20 points.
Ref<UIImage> snapshotScreen(CGFloat scale = 0);
// A status area that stands still in every picture of the screen, as a phone's screenshot mode
// keeps it: from now on it shows `time` ("09:41"), never the network activity indicator, and
// service unless the network is switched off (dv::setNetworkSimulatedOffline), whatever the
// clock and this machine's own network do, so that pictures of the same screen are the same
// whenever and wherever they are taken. nullopt brings back the live status area.
void setStillStatusBar(std::optional<std::string> time);

std::string dumpViewTree(const Ref<UIView>& view);

} // namespace dv
