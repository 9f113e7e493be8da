// How the runner finds what a person looks for on the screen: a text, or a picture by its name,
// where a finger would touch it, and how it brings what lies out of sight into view: the scroll
// views around a view scrolled to it, and, for what no view shows yet (rows, headers and footers
// of a list that are made only when they come into sight), the scroll views on the screen
// scrolled through page by page. Main thread.
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Result.h"
#include "platform/testing/UIDriver.h"

#include <optional>
#include <string>
#include <vector>

class UIScrollView;

namespace dv::internal::sim {

// What to look for: a view whose text, title or placeholder is (or contains) the text; or a
// button or image view whose picture has the resource name, or was loaded from a URL containing it.
struct Target {
    enum class Kind { Text, Picture };
    Kind kind;
    std::string value;

    // For messages: "\"加粉\"", "the picture \"fatiezi\"".
    std::string describe() const;
};

enum class Sight { OnScreen, AlsoScrolledAway };

// Visible views showing the target, those showing it exactly first.
std::vector<Ref<UIView>> viewsShowing(const dv::testing::UIDriver& ui, const Target& target, Sight sight = Sight::OnScreen);

// Where a person would put a finger to touch the target now: the view's own tap point, or, when
// a view beside it lies on top of it there (a button over a tile's label), the middle of its part
// on screen, so that what is on top takes the touch. Nothing while it is out of sight or an
// overlay, an alert or the keyboard covers it.
std::optional<CGPoint> touchPointFor(const dv::testing::UIDriver& ui, const Target& target);

// Drags the scroll views around a view out of sight until it shows. False when it cannot.
bool scrollIntoSight(dv::testing::UIDriver& ui, const Ref<UIView>& view);

// Scrolls each scroll view of the screen (the largest first) through its content, a page at a
// time, down to its end and back to its start, until a view showing the target comes into sight.
// True when one did (it is then on screen).
bool searchByScrolling(dv::testing::UIDriver& ui, const Target& target);

// Finds the target and brings it on screen as a person would, waiting up to `limit` real seconds
// for it to show: a point to touch, or a failure that says why there is none.
Result<CGPoint> reachTarget(dv::testing::UIDriver& ui, const Target& target, double limit);

// The scroll view a stroke on the screen would move: the visible one that takes up most of it.
Ref<UIScrollView> mainScrollView(const dv::testing::UIDriver& ui);

// Nothing moves or loads on the screen: no navigation transition, no view animation, no scroll
// view gliding or bouncing back, no web page loading, and, with Pictures::Included, no picture
// downloading.
enum class Pictures { Ignored, Included };
bool screenAtRest(const dv::testing::UIDriver& ui, Pictures pictures);
// Some loading overlay or toast is in the window, shown or still fading in or out.
bool overlayShown(const dv::testing::UIDriver& ui);

// "2 s", "0.5 s".
std::string seconds(double value);

} // namespace dv::internal::sim
