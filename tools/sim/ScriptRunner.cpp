#include "tools/sim/ScriptRunner.h"

#include "tools/devserver/Server.h"
#include "tools/sim/StepWriter.h"

#include "app/shell/navigation/ScreenFactory.h"

#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSIndexPath.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/TestSupport.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/UIImage.h"
#include "platform/net/SCNetworkReachability.h"
#include "platform/system/PrivacyAccess.h"
#include "platform/testing/UIDriver.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UICollectionView.h"
#include "platform/ui/UIImagePickerController.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UINavigationItem.h"
#include "platform/ui/UIPickerView.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UIWebView.h"
#include "platform/ui/ViewAnimation.h"
#include "ui/images/RIWebImageManager.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace dv::sim {

namespace {

using dv::testing::UIDriver;
using dv::testing::ViewQuery;

std::string seconds(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g s", value);
    return text;
}

bool showsText(const Ref<UIView>& view, const std::string& text, bool exact)
{
    DescriptionFields fields;
    view->appendDescriptionFields(fields);
    for (auto key : { "text", "title", "placeholder" })
        if (auto* value = descriptionField(fields, key))
            if (exact ? *value == text : value->find(text) != std::string::npos)
                return true;
    return false;
}

// Visible views on the screen that show `text` (or, with `offScreenToo`, also those scrolled out
// of sight): those showing exactly it first, then those whose text contains it.
std::vector<Ref<UIView>> viewsShowing(const UIDriver& ui, const std::string& text, bool offScreenToo = false)
{
    std::vector<Ref<UIView>> exact, partial;
    auto root = ui.window();
    if (!root)
        return {};
    for (const auto& view : ui.findAll(ViewQuery())) {
        if (!ui.isVisible(view))
            continue;
        CGRect frame = ui.frameInWindow(view);
        if (!offScreenToo && CGRectIsEmpty(CGRectIntersection(frame, root->bounds())))
            continue;
        if (showsText(view, text, true))
            exact.push_back(view);
        else if (showsText(view, text, false))
            partial.push_back(view);
    }
    exact.insert(exact.end(), partial.begin(), partial.end());
    return exact;
}

// Whether a toast or a loading overlay lies on top at the point: a person waits for it to go.
bool overlayAt(const UIDriver& ui, CGPoint point)
{
    auto root = ui.window();
    for (auto hit = root ? root->hitTest(point, nil) : nil; hit; hit = hit->superview())
        if (dv::as<PHProgressHUD>(hit))
            return true;
    return false;
}

// Whether the keyboard lies over a view of the application's window at the point.
bool keyboardCovers(const Ref<UIView>& view, CGPoint point)
{
    auto keyboard = dv::keyboardWindow();
    return keyboard && view->window() != keyboard && CGRectContainsPoint(dv::keyboardFrame(), point);
}

// Where a person would put a finger to touch the text: the view's own tap point, or, when
// something of the screen lies on top of it there (a button covering a tile's label), the middle
// of the part of it that is on screen, so that whatever is on top takes the touch. Nothing while
// an overlay or the keyboard covers it.
std::optional<CGPoint> touchPointForText(const UIDriver& ui, const std::string& text)
{
    auto views = viewsShowing(ui, text);
    for (const auto& view : views)
        if (auto point = ui.tapPoint(view))
            return point;
    for (const auto& view : views) {
        CGRect visible = CGRectIntersection(ui.frameInWindow(view), ui.window()->bounds());
        if (CGRectIsEmpty(visible))
            continue;
        const CGPoint point = CGPointMake(CGRectGetMidX(visible), CGRectGetMidY(visible));
        if (overlayAt(ui, point) || keyboardCovers(view, point))
            continue;
        return point;
    }
    return std::nullopt;
}

// Drags the scroll views around a view that lies out of sight until it shows, as a person scrolls
// to a button below the fold. False when it cannot be brought on screen.
bool scrollIntoSight(UIDriver& ui, const Ref<UIView>& view)
{
    auto root = ui.window();
    for (auto ancestor = view->superview(); ancestor && root; ancestor = ancestor->superview()) {
        auto scroll = dv::as<UIScrollView>(ancestor);
        if (!scroll || !scroll->isScrollEnabled() || !ui.isVisible(scroll))
            continue;
        const CGRect visible = CGRectIntersection(ui.frameInWindow(scroll), root->bounds());
        const CGRect target = ui.frameInWindow(view);
        if (CGRectIsNull(visible))
            return false;
        CGFloat dy = 0;
        if (CGRectGetMaxY(target) > CGRectGetMaxY(visible))
            dy = std::min(CGRectGetMaxY(target) - CGRectGetMaxY(visible) + 10, CGRectGetMinY(target) - CGRectGetMinY(visible));
        else if (CGRectGetMinY(target) < CGRectGetMinY(visible))
            dy = CGRectGetMinY(target) - CGRectGetMinY(visible) - 10;
        CGFloat dx = 0;
        if (CGRectGetMaxX(target) > CGRectGetMaxX(visible))
            dx = CGRectGetMaxX(target) - CGRectGetMaxX(visible) + 10;
        else if (CGRectGetMinX(target) < CGRectGetMinX(visible))
            dx = CGRectGetMinX(target) - CGRectGetMinX(visible) - 10;
        // No further than the content goes.
        const CGPoint offset = scroll->contentOffset();
        const UIEdgeInsets inset = scroll->contentInset();
        const CGFloat maxY = std::max<CGFloat>(0, scroll->contentSize().height + inset.bottom - scroll->bounds().size.height);
        const CGFloat maxX = std::max<CGFloat>(0, scroll->contentSize().width + inset.right - scroll->bounds().size.width);
        dy = std::clamp(dy, -inset.top - offset.y, maxY - offset.y);
        dx = std::clamp(dx, -inset.left - offset.x, maxX - offset.x);
        if (std::abs(dx) >= 1 || std::abs(dy) >= 1)
            ui.dragScrollView(scroll, CGPointMake(dx, dy));
        if (!CGRectIsEmpty(CGRectIntersection(ui.frameInWindow(view), root->bounds())))
            return true;
    }
    return !CGRectIsEmpty(CGRectIntersection(ui.frameInWindow(view), root->bounds()));
}

// The scroll view a stroke on the screen would move: the visible one that takes up most of it.
Ref<UIScrollView> mainScrollView(const UIDriver& ui)
{
    Ref<UIScrollView> best;
    CGFloat bestArea = 0;
    auto root = ui.window();
    for (const auto& scroll : ui.findAll<UIScrollView>()) {
        if (!ui.isVisible(scroll) || !scroll->isUserInteractionEnabled() || !root)
            continue;
        CGRect visible = CGRectIntersection(ui.frameInWindow(scroll), root->bounds());
        CGFloat area = CGRectIsNull(visible) ? 0 : visible.size.width * visible.size.height;
        if (area >= bestArea && area > 0) {
            best = scroll;
            bestArea = area;
        }
    }
    return best;
}

template <class T>
Ref<T> frontmost(const UIDriver& ui)
{
    Ref<T> found;
    for (const auto& view : ui.findAll<T>())
        if (ui.isVisible(view))
            found = view;
    return found;
}

// A picture for the image picker: coloured bands with a white square, drawn here once (the
// album shows it as one picture however often it is picked).
Ref<UIImage> drawSamplePicture()
{
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(300, 300), true, 1);
    const Ref<UIColor> bands[] = { UIColor::colorWithRed(0.16, 0.5, 0.73, 1), UIColor::colorWithRed(0.9, 0.49, 0.13, 1),
        UIColor::colorWithRed(0.15, 0.68, 0.38, 1) };
    for (int i = 0; i < 3; ++i) {
        bands[i]->setFill();
        UIRectFill(CGRectMake(0, i * 100, 300, 100));
    }
    UIColor::whiteColor()->setFill();
    UIRectFill(CGRectMake(100, 100, 100, 100));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

Ref<UIImage> samplePicture()
{
    static const Ref<UIImage> picture = drawSamplePicture();
    return picture;
}

std::optional<dv::PrivacyService> privacyService(const std::string& name)
{
    if (name == "addressbook")
        return dv::PrivacyService::addressBook;
    if (name == "photos")
        return dv::PrivacyService::photos;
    if (name == "camera")
        return dv::PrivacyService::camera;
    return std::nullopt;
}

bool isActing(const std::string& verb)
{
    for (auto acting : { "open", "tap", "tap-at", "tap-row", "long-press", "long-press-at", "tap-bar", "spin", "drag", "scroll", "swipe", "focus", "type", "delete", "return",
             "hide-keyboard", "back", "alert", "pick-image", "push", "state" })
        if (verb == acting)
            return true;
    return false;
}

} // namespace

bool goBack(std::string& reason)
{
    UIDriver ui;
    auto navigation = ui.navigationController();
    auto stack = ui.navigationStack();
    if (!navigation || stack.size() < 2) {
        reason = "there is no screen to go back to";
        return false;
    }
    auto top = stack.back();
    auto item = top->navigationItem()->leftBarButtonItem();
    bool tapped = (item && ui.tap(item)) || ui.tapBackButton() || ui.swipeBack();
    dv::testing::runMainLoopUntil([&] { return !navigation->isTransitioning(); }, 5);
    auto after = ui.navigationStack();
    if (tapped && std::find(after.begin(), after.end(), top) == after.end())
        return true;
    reason = "neither the back button nor the back swipe left " + dv::str(top->className());
    return false;
}

bool ScriptRunner::ensureLaunched(std::string& reason)
{
    if (m_launched)
        return true;
    if (!m_environment.launch || !m_environment.launch(reason))
        return false;
    m_launched = true;
    dv::testing::runUntilIdle();
    return true;
}

namespace {

// Nothing moves or loads on the screen: no navigation transition, no view animation, no scroll
// view gliding or bouncing back, no picture or web page loading.
bool atRest(const UIDriver& ui)
{
    auto navigation = ui.navigationController();
    if (navigation && navigation->isTransitioning())
        return false;
    if (ui.isAnyScrollViewMoving())
        return false;
    if (RIWebImageManager::sharedManager()->isRunning())
        return false;
    // Fades and slides (an overlay going away, a toast) end first.
    if (!dv::runningAnimations().empty())
        return false;
    for (const auto& web : ui.findAll<UIWebView>())
        if (web->isLoading())
            return false;
    return true;
}

// Some loading overlay or toast is in the window, shown or still fading in or out.
bool overlayShown(const UIDriver& ui)
{
    return !ui.findAll<PHProgressHUD>(true).empty();
}

} // namespace

void ScriptRunner::settle()
{
    UIDriver ui;
    dv::testing::runMainLoopUntil([&] { return atRest(ui); }, 5);
    dv::testing::runUntilIdle();
}

bool ScriptRunner::run(const Script& script, std::string& error)
{
    for (const auto& command : script.commands) {
        std::string reason;
        bool done = (!commandNeedsApplication(command) || ensureLaunched(reason)) && execute(command, reason);
        if (!done) {
            error = script.name + ":" + std::to_string(command.line) + ": " + command.source + ": " + reason;
            if (m_launched && m_environment.steps) {
                std::string ignored;
                settle();
                (void)m_environment.steps->write("failed", ignored);
            }
            return false;
        }
        if (m_launched && m_environment.shots == ShotPolicy::All && m_environment.steps && isActing(command.verb)) {
            settle();
            if (!m_environment.steps->write(command.verb, reason)) {
                error = script.name + ":" + std::to_string(command.line) + ": " + reason;
                return false;
            }
        }
    }
    return true;
}

bool ScriptRunner::execute(const ScriptCommand& command, std::string& reason)
{
    UIDriver ui;
    const auto& verb = command.verb;
    const auto& args = command.arguments;
    const double findTimeout = m_environment.findTimeout;
    auto waitLimit = [&](std::size_t index) { return args.size() > index ? command.number(index) : findTimeout; };

    if (verb == "launch") {
        if (m_launched) {
            reason = "the application runs already";
            return false;
        }
        return ensureLaunched(reason);
    }
    if (verb == "wait") {
        ui.advance(command.number(0));
        return true;
    }
    if (verb == "wait-for" || verb == "wait-gone") {
        const bool present = verb == "wait-for";
        const double limit = waitLimit(1);
        if (dv::testing::runMainLoopUntil([&] { return viewsShowing(ui, args[0]).empty() != present; }, limit))
            return true;
        reason = present ? "no visible view shows \"" + args[0] + "\" after " + seconds(limit)
                         : "\"" + args[0] + "\" still shows after " + seconds(limit);
        return false;
    }
    if (verb == "wait-idle") {
        const double limit = waitLimit(0);
        if (dv::testing::runMainLoopUntil([&] { return !overlayShown(ui) && atRest(ui); }, limit)) {
            dv::testing::runUntilIdle();
            return true;
        }
        reason = overlayShown(ui) ? "an overlay still shows after " + seconds(limit) : "the screen still moves after " + seconds(limit);
        return false;
    }
    if (verb == "expect" || verb == "expect-no") {
        ui.runUntilIdle();
        const bool shown = !viewsShowing(ui, args[0]).empty();
        if (shown == (verb == "expect"))
            return true;
        reason = shown ? "\"" + args[0] + "\" shows" : "no visible view shows \"" + args[0] + "\"";
        return false;
    }
    if (verb == "expect-title") {
        settle();
        if (ui.navigationTitle() == args[0])
            return true;
        reason = "the title is \"" + ui.navigationTitle() + "\"";
        return false;
    }
    if (verb == "expect-screen") {
        settle();
        auto top = ui.topViewController();
        std::string name = top ? dv::str(top->className()) : "(none)";
        if (name == args[0])
            return true;
        reason = "the screen on top is " + name;
        return false;
    }
    if (verb == "expect-opened") {
        ui.runUntilIdle();
        auto opened = UIApplication::sharedApplication()->openedURLs();
        std::string all;
        for (const auto& item : opened ? opened->items() : std::vector<id>()) {
            auto url = dv::str(dv::as<NSURL>(item) ? dv::as<NSURL>(item)->absoluteString() : nil);
            if (url.find(args[0]) != std::string::npos)
                return true;
            all += (all.empty() ? "" : ", ") + url;
        }
        reason = all.empty() ? "no URL was opened" : "the URLs opened were " + all;
        return false;
    }
    if (verb == "tap" || verb == "long-press") {
        std::optional<CGPoint> point;
        dv::testing::runMainLoopUntil([&] {
            if ((point = touchPointForText(ui, args[0])))
                return true;
            // Shown further down a list or a page: scrolled to first.
            auto hidden = viewsShowing(ui, args[0], true);
            return !hidden.empty() && scrollIntoSight(ui, hidden.front()) && (point = touchPointForText(ui, args[0])).has_value();
        }, findTimeout);
        if (!point) {
            reason = viewsShowing(ui, args[0]).empty() ? "no view on the screen shows \"" + args[0] + "\" (waited " + seconds(findTimeout) + ")"
                                                       : "an overlay or the keyboard covers \"" + args[0] + "\" (waited " + seconds(findTimeout) + ")";
            return false;
        }
        if (verb == "tap" ? ui.tap(*point) : ui.longPress(*point))
            return true;
        reason = "nothing takes a touch where \"" + args[0] + "\" shows";
        return false;
    }
    if (verb == "tap-at" || verb == "long-press-at") {
        const CGPoint point = CGPointMake(command.number(0), command.number(1));
        if (verb == "tap-at" ? ui.tap(point) : ui.longPress(point))
            return true;
        reason = "nothing takes a touch there";
        return false;
    }
    if (verb == "tap-row") {
        const auto row = static_cast<NSInteger>(command.number(0));
        const auto section = static_cast<NSInteger>(args.size() > 1 ? command.number(1) : 0);
        Ref<UITableView> table;
        Ref<UICollectionView> collection;
        dv::testing::runMainLoopUntil([&] {
            table = frontmost<UITableView>(ui);
            collection = table ? nil : frontmost<UICollectionView>(ui);
            if (table)
                return section < table->numberOfSections() && row < table->numberOfRowsInSection(section);
            if (collection)
                return section < collection->numberOfSections() && row < collection->numberOfItemsInSection(section);
            return false;
        }, findTimeout);
        if (!table && !collection) {
            reason = "no list shows on the screen";
            return false;
        }
        bool tapped = table ? ui.tapRow(table, NSIndexPath::indexPathForRow(row, section))
                            : ui.tapItem(collection, NSIndexPath::indexPathForItem(row, section));
        if (tapped)
            return true;
        NSInteger rows = table ? (section < table->numberOfSections() ? table->numberOfRowsInSection(section) : 0)
                               : (section < collection->numberOfSections() ? collection->numberOfItemsInSection(section) : 0);
        reason = "the list has " + std::to_string(rows) + " rows in section " + std::to_string(section) + " (waited "
            + seconds(findTimeout) + ")";
        return false;
    }
    if (verb == "drag") {
        if (ui.pan(CGPointMake(command.number(0), command.number(1)), CGPointMake(command.number(2), command.number(3))))
            return true;
        reason = "nothing takes a touch there";
        return false;
    }
    if (verb == "scroll" || verb == "swipe") {
        auto scroll = mainScrollView(ui);
        if (!scroll) {
            reason = "nothing on the screen scrolls";
            return false;
        }
        bool moved = false;
        if (verb == "scroll") {
            moved = ui.dragScrollView(scroll, CGPointMake(command.number(0), command.number(1)));
        } else {
            const auto& way = args[0];
            auto direction = way == "left" ? dv::testing::SwipeDirection::Left
                : way == "right"          ? dv::testing::SwipeDirection::Right
                : way == "up"             ? dv::testing::SwipeDirection::Up
                                          : dv::testing::SwipeDirection::Down;
            moved = ui.swipePage(scroll, direction);
        }
        if (moved)
            return true;
        reason = "the scroll view cannot be touched";
        return false;
    }
    if (verb == "spin") {
        Ref<UIPickerView> picker;
        dv::testing::runMainLoopUntil([&] { return (picker = frontmost<UIPickerView>(ui)) != nil; }, findTimeout);
        if (!picker) {
            reason = "no picker shows (waited " + seconds(findTimeout) + ")";
            return false;
        }
        const auto wheel = static_cast<NSInteger>(command.number(0));
        const auto row = static_cast<NSInteger>(command.number(1));
        if (wheel >= picker->numberOfComponents()) {
            reason = "the picker has " + std::to_string(picker->numberOfComponents()) + " wheels";
            return false;
        }
        // The rows of a wheel may come from the server after the wheel before it turned.
        dv::testing::runMainLoopUntil([&] { return row < picker->numberOfRowsInComponent(wheel); }, findTimeout);
        if (row >= picker->numberOfRowsInComponent(wheel)) {
            reason = "wheel " + std::to_string(wheel) + " has " + std::to_string(picker->numberOfRowsInComponent(wheel)) + " rows";
            return false;
        }
        if (ui.spinPicker(picker, wheel, row) && picker->selectedRowInComponent(wheel) == row) {
            ui.runUntilIdle();
            return true;
        }
        reason = "the wheel did not stop at row " + std::to_string(row);
        return false;
    }
    if (verb == "focus") {
        Ref<UIView> field;
        dv::testing::runMainLoopUntil([&] {
            field = ui.find(ViewQuery().withPlaceholder(args[0]));
            if (!field || !ui.isVisible(field)) {
                auto views = viewsShowing(ui, args[0]);
                field = views.empty() ? nil : views.front();
            }
            return field != nil;
        }, findTimeout);
        if (!field) {
            reason = "no field shows \"" + args[0] + "\"";
            return false;
        }
        if (ui.focus(field))
            return true;
        reason = "the view showing \"" + args[0] + "\" does not take the focus";
        return false;
    }
    if (verb == "type") {
        if (ui.typeText(args[0]))
            return true;
        reason = "no text field or text view has the focus";
        return false;
    }
    if (verb == "delete") {
        if (ui.deleteBackward(args.empty() ? 1 : static_cast<int>(command.number(0))))
            return true;
        reason = "no text field or text view has the focus";
        return false;
    }
    if (verb == "return") {
        if (ui.pressReturn())
            return true;
        reason = "no text field or text view has the focus";
        return false;
    }
    if (verb == "hide-keyboard") {
        ui.resignFocus();
        return true;
    }
    if (verb == "tap-bar") {
        settle();
        auto top = ui.topViewController();
        auto item = top ? (args[0] == "left" ? top->navigationItem()->leftBarButtonItem() : top->navigationItem()->rightBarButtonItem()) : nil;
        if (!item) {
            reason = "the navigation bar has no " + args[0] + " button";
            return false;
        }
        if (ui.tap(item))
            return true;
        reason = "the " + args[0] + " button cannot be touched";
        return false;
    }
    if (verb == "back") {
        settle();
        return goBack(reason);
    }
    if (verb == "open") {
        // The home screen's way of opening a feature: the screen made by its class name, titled,
        // pushed animated on the navigation controller on screen.
        settle();
        auto navigation = ui.navigationController();
        if (!navigation) {
            reason = "no navigation controller shows";
            return false;
        }
        auto screen = dv::app::makeScreen(args[0]);
        if (!screen) {
            reason = "no screen class " + args[0] + " is in the application";
            return false;
        }
        if (args.size() > 1)
            screen->setTitle(NSString::fromUTF8(args[1]));
        navigation->pushViewController(screen, true);
        ui.runUntilIdle();
        return true;
    }
    if (verb == "alert") {
        dv::testing::runMainLoopUntil([&] { return !ui.visibleAlerts().empty(); }, findTimeout);
        auto alerts = ui.visibleAlerts();
        if (alerts.empty()) {
            reason = "no alert shows (waited " + seconds(findTimeout) + ")";
            return false;
        }
        if (ui.tapAlertButton(args[0]))
            return true;
        reason = "the alert \"" + alerts.back().title + "\" has no button \"" + args[0] + "\"";
        return false;
    }
    if (verb == "pick-image") {
        dv::testing::runMainLoopUntil([&] { return ui.imagePicker() != nil; }, findTimeout);
        if (!ui.imagePicker()) {
            reason = "no image picker shows (waited " + seconds(findTimeout) + ")";
            return false;
        }
        // The picker's grid shows pictures once the person has answered whether the application
        // may see them (the camera once it may use it).
        dv::testing::runMainLoopUntil([&] {
            return dv::PrivacyAccess::status(dv::PrivacyService::photos) != dv::PrivacyStatus::notDetermined
                || dv::PrivacyAccess::status(dv::PrivacyService::camera) != dv::PrivacyStatus::notDetermined;
        }, findTimeout);
        // And once what covered the screen (the sheet that offered the album) has faded away.
        settle();
        if (ui.pickImage(samplePicture()))
            return true;
        reason = "the image picker offers nothing to pick";
        return false;
    }
    if (verb == "screenshot") {
        if (!m_environment.steps) {
            reason = "this run keeps no pictures";
            return false;
        }
        // "now" keeps the loop from turning before the picture, so that what the previous command
        // waited for (a toast that shows for 0.7 s) is still there.
        if (args.size() < 2)
            settle();
        return m_environment.steps->write(args[0], reason);
    }
    if (verb == "push") {
        Ref<NSError> error;
        id payload = NSJSONSerialization::JSONObjectWithData(NSData::fromString(args[0]), 0, &error);
        auto dictionary = dv::as<NSDictionary>(payload);
        if (!dictionary) {
            reason = "the payload is not a JSON object";
            return false;
        }
        UIApplication::sharedApplication()->deliverRemoteNotification(dictionary);
        ui.runUntilIdle();
        return true;
    }
    if (verb == "state") {
        auto app = UIApplication::sharedApplication();
        if (args[0] == "background")
            app->enterBackground();
        else if (app->applicationState() != UIApplicationStateActive)
            app->enterForeground();
        ui.runUntilIdle();
        return true;
    }
    if (verb == "fault" || verb == "clear-faults") {
        if (!m_environment.server) {
            reason = "faults are the local server's; this run talks to another server";
            return false;
        }
        if (verb == "clear-faults") {
            if (args.empty())
                m_environment.server->clearFaults();
            else
                m_environment.server->clearFault(args[0]);
            return true;
        }
        std::string error;
        auto fault = dv::devserver::parseFault(args[1], &error);
        if (!fault) {
            reason = error;
            return false;
        }
        m_environment.server->setFault(args[0], *fault);
        return true;
    }
    if (verb == "network") {
        dv::setNetworkSimulatedOffline(args[0] == "off");
        return true;
    }
    if (verb == "permission") {
        auto service = privacyService(args[0]);
        // The answer a prompt will give; a question the user answered before is answered again,
        // as in the settings.
        const bool allow = args[1] == "allow";
        dv::PrivacyAccess::setPromptAnswer(*service, allow);
        if (dv::PrivacyAccess::status(*service) != dv::PrivacyStatus::notDetermined)
            dv::PrivacyAccess::setStatus(*service, allow ? dv::PrivacyStatus::authorized : dv::PrivacyStatus::denied);
        return true;
    }
    reason = "the runner does not know this command";
    return false;
}

} // namespace dv::sim
