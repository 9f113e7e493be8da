// The UI driver: how tests and the runner act on the interface, as a person would. It reads the
// view tree of a window (the application's key window unless one is given), finds views by class,
// tag or the text they show, taps points and views through the same touch path a finger takes
// (hit test, application, window, recognisers, views), moves time on the clock, and renders and
// dumps the window. A view a person could not reach (hidden, transparent, outside the screen or
// covered by another view) cannot be tapped: tap answers NO. Main thread only.
//
//   dv::ManualClockScope clock;
//   dv::testing::UIDriver ui;
//   ASSERT_TRUE(ui.tap(ui.viewWithTitle("查询")));
//   ui.advance(0.3);                        // animations complete, timers fire
//   EXPECT_NE(ui.dump().find("text=\"加载完成\""), std::string::npos);
//   ui.longPress(ui.find<UIImageView>());    // held 0.6 s on the clock
//   ui.pan(card, CGPointMake(120, 0));       // dragged right in ten steps of 1/60 s
#pragma once

#include "platform/base/Geometry.h"
#include "platform/system/AVCaptureDevice.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UIView.h"
#include "platform/ui/UIWindow.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dv {
class WebLoadRecording;
}

class UIImagePickerController;
class UIWebView;
class UINavigationController;

// Scroll views, lists, picker.
class UICollectionView;
class UIPickerView;
class UIScrollView;
class UITableView;

namespace dv::testing {

// What a view must be to match; unset members match anything.
//   ui.find(ViewQuery().ofClass(UIButton::class_()).withTag(3));
struct ViewQuery {
    Class kindOf = Nil;                      // the class or a subclass
    std::optional<NSInteger> tag;
    std::optional<std::string> text;         // the view's "text" field
    std::optional<std::string> title;        // its "title" field
    std::optional<std::string> placeholder;  // its "placeholder" field
    bool includeHidden = false;              // also views a person cannot see

    ViewQuery& ofClass(Class cls) { kindOf = cls; return *this; }
    ViewQuery& withTag(NSInteger value) { tag = value; return *this; }
    ViewQuery& withText(std::string value) { text = std::move(value); return *this; }
    ViewQuery& withTitle(std::string value) { title = std::move(value); return *this; }
    ViewQuery& withPlaceholder(std::string value) { placeholder = std::move(value); return *this; }
    ViewQuery& hiddenToo() { includeHidden = true; return *this; }
};

// How a drag moves: `steps` equal moves of the finger, each after `stepInterval` seconds of clock
// time, then a wait of `holdBeforeLift` seconds before it lifts where it ended.
struct PanOptions {
    int steps = 10;
    NSTimeInterval stepInterval = 1.0 / 60;
    NSTimeInterval holdBeforeLift = 0;
};

// --- Scroll views, lists, picker -------------------------------------------------------------
// How a scroll view is dragged: the finger moves in `steps` equal moves `stepInterval` apart; when
// `releaseVelocity` is not zero the last 0.1 s of the stroke moves at that speed, so the content
// leaves the finger with it (points per second, positive towards larger offsets); otherwise the
// finger holds still before it lifts. With `settle` the clock then runs until the view rests.
struct DragOptions {
    int steps = 10;
    NSTimeInterval stepInterval = 1.0 / 60;
    CGPoint releaseVelocity {};
    bool settle = true;
};

// The way the finger swipes: left shows the next page of a horizontal scroll view, up the next
// one of a vertical one.
enum class SwipeDirection { Left, Right, Up, Down };
// ----------------------------------------------------------------------------------------------

class UIDriver {
public:
    UIDriver() = default;
    explicit UIDriver(const Ref<UIWindow>& window) : m_window(window) { }

    // The window acted on: the given one, else the application's key window now.
    Ref<UIWindow> window() const;

    // Runs the main run loop until nothing is left to do now: queued blocks, due timers, the
    // layout and display passes, and work on other threads that will post back. True when it
    // became idle.
    bool runUntilIdle();
    // While `condition` holds, runUntilIdle on the system clock does not wait for work on other
    // threads, only for what the main thread has queued (the runner: a step does not wait for the
    // pictures being downloaded). Process-wide; empty: it always waits.
    static void setOtherThreadsIgnoredWhile(std::function<bool()> condition);
    // Moves the clock forward (the manual clock in tests, stopping at each timer on the way; real
    // time otherwise), then runs until idle.
    void advance(NSTimeInterval seconds);

    // Views in tree order (depth first, subviews in order), the window included.
    std::vector<Ref<UIView>> findAll(const ViewQuery& query) const;
    Ref<UIView> find(const ViewQuery& query) const;
    template <class T>
    std::vector<Ref<T>> findAll(bool includeHidden = false) const
    {
        std::vector<Ref<T>> views;
        ViewQuery query;
        query.includeHidden = includeHidden;
        for (auto& view : findAll(query))
            if (auto typed = std::dynamic_pointer_cast<T>(view))
                views.push_back(typed);
        return views;
    }
    template <class T>
    Ref<T> find(bool includeHidden = false) const
    {
        auto views = findAll<T>(includeHidden);
        return views.empty() ? nil : views.front();
    }
    Ref<UIView> viewOfClass(std::string_view className) const;
    Ref<UIView> viewWithTag(NSInteger tag) const;
    Ref<UIView> viewWithText(std::string_view text) const;
    Ref<UIView> viewWithTitle(std::string_view title) const;
    Ref<UIView> viewWithPlaceholder(std::string_view placeholder) const;
    // The text the view shows: its "text", else "title", else "placeholder" field; empty if none.
    std::string textOf(const Ref<UIView>& view) const;

    // In this window, and neither it nor an ancestor hidden or with alpha below 0.01.
    bool isVisible(const Ref<UIView>& view) const;
    CGRect frameInWindow(const Ref<UIView>& view) const;
    // Where a tap on the view lands: the centre of its part that is on screen and not clipped
    // away; nothing when a person could not touch it there (invisible, clipped, covered).
    std::optional<CGPoint> tapPoint(const Ref<UIView>& view) const;

    // A tap (touch down and up in place) at a window point; NO when no view takes it. Several
    // taps land 0.1 seconds apart, as a person's double tap does.
    bool tap(CGPoint windowPoint);
    bool tap(const Ref<UIView>& view);
    bool tap(CGPoint windowPoint, NSUInteger taps);
    bool tap(const Ref<UIView>& view, NSUInteger taps);
    // The view a bar button item shows as (in a toolbar or a navigation bar), tapped.
    bool tap(const Ref<UIBarButtonItem>& item);
    // A touch held in place for `duration` seconds of clock time (long enough for a long press by
    // default), then lifted.
    bool longPress(CGPoint windowPoint, NSTimeInterval duration = 0.6);
    bool longPress(const Ref<UIView>& view, NSTimeInterval duration = 0.6);
    // A drag from a point (or where a tap on the view lands) by `translation` (see PanOptions).
    bool pan(CGPoint from, CGPoint translation, const PanOptions& options = {});
    bool pan(const Ref<UIView>& view, CGPoint translation, const PanOptions& options = {});

    // The edit menu (UIMenuController): whether it shows, its commands' titles in order, and a
    // tap on the command with `title` (NO when the menu does not show it). Where it shows, in the
    // window: its strip of commands (the zero rectangle while hidden) and the tip of its arrow.
    bool isMenuVisible() const;
    std::vector<std::string> menuItemTitles() const;
    bool chooseMenuItem(std::string_view title);
    CGRect menuFrame() const;
    std::optional<CGPoint> menuArrowTip() const;

    // --- Scroll views, lists, picker ---------------------------------------------------------
    // Drags the content of a scroll view so that its offset changes by `offsetChange` (the rubber
    // band past an edge counted), from the middle of its visible part; NO when it cannot be
    // touched there.
    bool dragScrollView(const Ref<UIScrollView>& scrollView, CGPoint offsetChange, const DragOptions& options = {});
    // A quick stroke of a third of a page with a fling, then the clock runs until it rests.
    bool swipePage(const Ref<UIScrollView>& scrollView, SwipeDirection direction);
    // Runs the clock a frame at a time until the view no longer moves by itself (at most 10 s).
    bool settle(const Ref<UIScrollView>& scrollView);
    // Drags the nearest scroll view holding `view` until the view stands in its middle (or as near
    // as the content's edges let it), unless it shows whole already; YES when a tap can then reach it.
    bool dragIntoView(const Ref<UIView>& view);
    // Whether a visible scroll view of the window (or of the keyboard's) is moving: following a
    // finger, decelerating, bouncing back past an edge, gliding to a page or scrolling animated.
    // The screen is not at rest while one is.
    bool isAnyScrollViewMoving() const;
    // A tap on the row's cell (or the item's), after dragging the list until it shows, as a
    // person would; NO when the row does not exist or cannot be reached.
    bool tapRow(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath);
    bool tapItem(const Ref<UICollectionView>& collectionView, const Ref<NSIndexPath>& indexPath);
    // Turns a picker's wheel to `row` with strokes of the finger, then lets it come to rest.
    bool spinPicker(const Ref<UIPickerView>& picker, NSInteger component, NSInteger row);
    // ------------------------------------------------------------------------------------------

    // The steps of a touch, for gestures built from them. touchDown answers 0 when nothing takes
    // the touch. They do not run the loop.
    TouchID touchDown(CGPoint windowPoint);
    bool touchMove(TouchID touch, CGPoint windowPoint);
    bool touchUp(TouchID touch, CGPoint windowPoint);

    // ---- Controllers and navigation (UIDriverControllers.cpp) ----
    // The screen a person sees: the window's root controller followed along what it presents,
    // then down navigation controllers to their top screen.
    Ref<UIViewController> topViewController() const;
    // The navigation controller of that screen (the presented one's when something is presented).
    Ref<UINavigationController> navigationController() const;
    // Its stack, bottom first.
    std::vector<Ref<UIViewController>> navigationStack() const;
    // What its bar shows as the title: the title view's text, else the title ("" when none).
    std::string navigationTitle() const;
    // The bar's back button, tapped.
    bool tapBackButton();
    // The back swipe: a one-finger pan from 5 points in from the left edge, `fraction` of the
    // window's width to the right, then lifted (see PanOptions); NO when nothing took the touch.
    bool swipeBack(CGFloat fraction = 0.6, const PanOptions& options = {});

    // Alerts and action sheets shown in the window, oldest first; the last is the one on top, the
    // one a person can tap. Buttons are listed by their index.
    struct Alert {
        std::string kind; // "alert" or "sheet"
        std::string title;
        std::string message;
        std::vector<std::string> buttons;
        NSInteger cancelButtonIndex = -1;
        NSInteger tag = 0;
    };
    std::vector<Alert> visibleAlerts() const;
    // A tap on the button of the top alert or sheet with that title (or index), after dragging the
    // part that holds it until the button shows whole when that part scrolls; NO when none.
    bool tapAlertButton(std::string_view title);
    bool tapAlertButtonAtIndex(NSInteger index);

    // Permission prompts (see platform/system/PrivacyAccess.h): what the user will answer, the
    // prompt that shows while prompts are held, and how many a service has shown.
    void setPermissionAnswer(PrivacyService service, bool grant);
    bool isPermissionPromptShowing(PrivacyService service) const;
    bool answerPermissionPrompt(PrivacyService service, bool grant);
    int permissionPromptCount(PrivacyService service) const;
    void setCameraPresent(CameraPosition position, bool present);

    // The image picker shown in the window (the top-most one), nil when none.
    Ref<UIImagePickerController> imagePicker() const;
    // Picks `image` as a person would: taps it in the library (putting it there first when it is
    // not), or points the camera at it and takes it; then "选取" when the picker edits. NO when
    // no picker shows or its screen offers nothing to tap (access refused).
    bool pickImage(const Ref<UIImage>& image);
    // Taps the picker's "取消".
    bool cancelImagePicker();

    // ---- Text and keyboard (UIDriverText.cpp) ----
    // The window's first responder (nil when none).
    Ref<UIResponder> firstResponder() const;
    // A tap on a text field or text view, and the caret put at the end of its text (as Ctrl+End
    // does); YES when it then has the focus. A tap alone puts the caret where it lands.
    bool focus(const Ref<UIView>& field);
    // Types into the focused field or text view at its caret (over its selection), one
    // user-perceived character at a time (an emoji with its skin tone is one key), each through the
    // delegate's checks (a refused character is left out, as a person's key press would be) and
    // along the path the keyboard's keys take; a line feed presses the return key. Into a web
    // page's focused field (the web view is first responder) the text goes as typed text; the page
    // takes it in its own time. NO when nothing has the focus.
    bool typeText(std::string_view text);
    // The delete key, `times` times.
    bool deleteBackward(int times = 1);
    // The return key: a field's return (delegate, end-on-exit), a new line in a text view.
    bool pressReturn();
    // A hardware keyboard's arrow, Home or End key on the focused field or text view.
    bool moveCaret(dv::CaretMove move);
    // The focused field's or text view's selection (an empty range is the caret); nullopt when
    // no field or text view has the focus.
    std::optional<NSRange> selectedRange() const;
    // A tap on the clear button of the focused field; NO when it does not show.
    bool tapClearButton();
    // Ends editing in the window (the first responder resigns, forced when `force`).
    bool resignFocus(bool force = false);
    // A key of the keyboard by the title it shows ("q", "Q", "7", "空格", "换行"; shift is "上档键",
    // delete "删除", the page keys "123", "#+=", "ABC", "+*#"), and a finger's tap on it, which
    // types as typeText does; nil or NO while the keyboard does not show that key.
    Ref<UIView> keyboardKey(std::string_view title) const;
    bool tapKey(std::string_view title);
    // The keyboard (see platform/ui/UIKeyboard.h): shown, its frame in screen coordinates, and
    // the accessory view above its keys (nil when none or hidden).
    bool isKeyboardVisible() const;
    CGRect keyboardFrame() const;
    Ref<UIView> keyboardAccessoryView() const;

    // ---- Web views (UIDriverText.cpp) ----
    // From now on the driver keeps every load a web view begins (the latest
    // dv::WebLoadRecording::kLimit), forgetting those it kept before; webLoads() answers them,
    // oldest first. Nothing is kept before the first call, nor once the driver (and every copy of
    // it) is gone.
    void recordWebLoads();
    struct WebLoad {
        std::string url;       // "" for loadData without base URL
        std::string outcome;   // "loading", "finished", "failed", "stopped", "refused"
        long errorCode = 0;
        std::string title;     // the page's title once finished
    };
    std::vector<WebLoad> webLoads() const;
    // Runs the main loop until the web view has no load running (at most `limit` seconds of
    // real time, twice the usual wait of tests: a first load starts the engine's processes, which
    // takes long on a busy machine under a sanitizer); YES when it stopped loading. A finished
    // page has been drawn and read by then.
    bool waitForWebView(const Ref<UIWebView>& webView, double limit = 40);
    // Evaluates a script in the page, as a person would in the page; the result as text ("" when
    // it threw). The loop turns until the page answers.
    std::string evaluateScript(const Ref<UIWebView>& webView, std::string_view script);

    // The window's tree as text (see platform/ui/ViewSnapshot.h) and as a picture.
    std::string dump() const;
    Ref<UIImage> screenshot(CGFloat scale = 0) const;
    // The whole screen as a person sees it: every shown window, the keyboard's on top, and the
    // status area (see platform/ui/ViewSnapshot.h).
    Ref<UIImage> screenImage(CGFloat scale = 0) const;
    bool writeScreenshot(const std::string& path, CGFloat scale = 0) const;

private:
    Ref<UIWindow> m_window;
    std::shared_ptr<WebLoadRecording> m_webLoads;
};

} // namespace dv::testing
