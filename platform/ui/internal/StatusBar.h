// The status area at the top of the screen, as the phone draws it over whatever the application
// shows there: signal and Wi-Fi on the left (with the network activity indicator while the
// application turns it on), the time in the middle, the battery on the right; in light content
// over a dark ground (a dark navigation bar) and dark content over a light one. The time is the
// process clock's (a manual clock in tests), in hours and minutes of the default time zone, so
// that a picture of the screen is the same for the same clock. Without a network (as the
// reachability of the network in general says, offline switch included) the signal dots are
// empty rings and the Wi-Fi fan is not drawn, as on a phone without service. Drawn by the
// screen's picture (dv::snapshotScreen); it takes no touches. Main thread only.
#pragma once

#include "platform/base/Geometry.h"

#include <optional>
#include <string>

namespace dv::internal::uikit {

struct StatusBarLook {
    std::string time;          // "09:41"
    bool activity = false;     // UIApplication's network activity indicator
    bool lightContent = false; // white content, for a dark ground
    bool service = true;       // full signal and Wi-Fi; false: empty signal rings, no Wi-Fi
};

// What the status area shows now; `groundLuminance` (0 black to 1 white) is the mean brightness
// of what lies under it.
StatusBarLook currentStatusBar(CGFloat groundLuminance);
// The time the status area shows in place of the clock's, with no network activity and service
// unless the network is switched off (dv::setNetworkSimulatedOffline) whatever this machine's own
// network does; nullopt for the live status area (dv::setStillStatusBar).
void setStillStatusBarTime(std::optional<std::string> time);
// Draws it into the current graphics context, in `rect` (the top 20 points of the screen).
void drawStatusBar(const StatusBarLook& look, CGRect rect);

} // namespace dv::internal::uikit
