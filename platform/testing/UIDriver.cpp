#include "platform/testing/UIDriver.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Clock.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIBarButtonItem.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UIMenuController.h"
#include "platform/ui/ViewSnapshot.h"

#include <algorithm>
#include <cmath>

namespace dv::testing {

namespace {

void collect(const Ref<UIView>& view, std::vector<Ref<UIView>>& out, bool includeHidden)
{
    if (!includeHidden && (view->isHidden() || view->alpha() < 0.01))
        return;
    out.push_back(view);
    const auto subviews = view->subviews();
    for (auto& sub : subviews->items())
        collect(std::static_pointer_cast<UIView>(sub), out, includeHidden);
}

bool fieldEquals(const DescriptionFields& fields, std::string_view key, const std::optional<std::string>& wanted)
{
    if (!wanted)
        return true;
    auto* value = descriptionField(fields, key);
    return value && *value == *wanted;
}

} // namespace

Ref<UIWindow> UIDriver::window() const { return m_window ? m_window : UIApplication::sharedApplication()->keyWindow(); }

namespace {

std::function<bool()>& otherThreadsIgnoredWhile()
{
    static std::function<bool()> condition;
    return condition;
}

} // namespace

void UIDriver::setOtherThreadsIgnoredWhile(std::function<bool()> condition) { otherThreadsIgnoredWhile() = std::move(condition); }

bool UIDriver::runUntilIdle()
{
    if (auto* manual = dynamic_cast<ManualClock*>(&Clock::current()))
        return manual->runUntilIdle(defaultWaitLimit);
    const auto& ignoring = otherThreadsIgnoredWhile();
    return runMainLoopUntil([&ignoring] {
        return !dispatch_get_main_queue()->hasPendingMain() && (internal::dispatch::WorkTracker::outstanding() == 0 || (ignoring && ignoring()));
    }, defaultWaitLimit);
}

void UIDriver::advance(NSTimeInterval seconds)
{
    if (auto* manual = dynamic_cast<ManualClock*>(&Clock::current())) {
        manual->advance(seconds);
    } else {
        const NSTimeInterval until = Clock::current().now() + seconds;
        runMainLoopUntil([until] { return Clock::current().now() >= until; }, seconds + defaultWaitLimit);
    }
    runUntilIdle();
}

std::vector<Ref<UIView>> UIDriver::findAll(const ViewQuery& query) const
{
    std::vector<Ref<UIView>> views;
    auto root = window();
    if (!root)
        return views;
    collect(root, views, query.includeHidden);
    // Then what the keyboard shows above the window (its accessory view, its keys).
    if (auto keyboard = keyboardWindow(); keyboard && keyboard != root)
        collect(keyboard, views, query.includeHidden);
    std::erase_if(views, [&](const Ref<UIView>& view) {
        if (query.kindOf && !view->isKindOfClass(query.kindOf))
            return true;
        if (query.tag && view->tag() != *query.tag)
            return true;
        if (!query.text && !query.title && !query.placeholder)
            return false;
        DescriptionFields fields;
        view->appendDescriptionFields(fields);
        return !fieldEquals(fields, "text", query.text) || !fieldEquals(fields, "title", query.title)
            || !fieldEquals(fields, "placeholder", query.placeholder);
    });
    return views;
}

Ref<UIView> UIDriver::find(const ViewQuery& query) const
{
    auto views = findAll(query);
    return views.empty() ? nil : views.front();
}

Ref<UIView> UIDriver::viewOfClass(std::string_view className) const
{
    Class cls = objc_getClass(std::string(className).c_str());
    return cls ? find(ViewQuery().ofClass(cls)) : nil;
}

Ref<UIView> UIDriver::viewWithTag(NSInteger tag) const { return find(ViewQuery().withTag(tag)); }
Ref<UIView> UIDriver::viewWithText(std::string_view text) const { return find(ViewQuery().withText(std::string(text))); }
Ref<UIView> UIDriver::viewWithTitle(std::string_view title) const { return find(ViewQuery().withTitle(std::string(title))); }

Ref<UIView> UIDriver::viewWithPlaceholder(std::string_view placeholder) const
{
    return find(ViewQuery().withPlaceholder(std::string(placeholder)));
}

std::string UIDriver::textOf(const Ref<UIView>& view) const
{
    if (!view)
        return {};
    DescriptionFields fields;
    view->appendDescriptionFields(fields);
    for (auto key : {"text", "title", "placeholder"})
        if (auto* value = descriptionField(fields, key))
            return *value;
    return {};
}

bool UIDriver::isVisible(const Ref<UIView>& view) const
{
    auto root = window();
    if (!view || !root)
        return false;
    // The keyboard's window (its accessory view and keys) is on screen above the application's.
    if (view->window() != root && (!view->window() || view->window() != keyboardWindow()))
        return false;
    for (auto v = view; v; v = v->superview())
        if (v->isHidden() || v->alpha() < 0.01)
            return false;
    return true;
}

CGRect UIDriver::frameInWindow(const Ref<UIView>& view) const
{
    return view ? view->convertRectToView(view->bounds(), nil) : CGRectNull;
}

std::optional<CGPoint> UIDriver::tapPoint(const Ref<UIView>& view) const
{
    if (!isVisible(view))
        return std::nullopt;
    const auto keyboard = keyboardWindow();
    const bool onKeyboard = keyboard && view->window() == keyboard;
    auto root = onKeyboard ? keyboard : window();
    CGRect visible = CGRectIntersection(frameInWindow(view), root->bounds());
    for (auto ancestor = view->superview(); ancestor && !CGRectIsNull(visible); ancestor = ancestor->superview())
        if (ancestor->clipsToBounds())
            visible = CGRectIntersection(visible, frameInWindow(ancestor));
    if (CGRectIsNull(visible) || CGRectIsEmpty(visible))
        return std::nullopt;
    const CGPoint point = CGPointMake(CGRectGetMidX(visible), CGRectGetMidY(visible));
    // The keyboard covers what is under it.
    if (!onKeyboard && keyboard && CGRectContainsPoint(dv::keyboardFrame(), point))
        return std::nullopt;
    // The finger lands on whatever is on top there: the view itself, something inside it, or a
    // container that takes touches for it; anything else covers it.
    auto hit = root->hitTest(point, nil);
    if (!hit || !(hit->isDescendantOfView(view) || view->isDescendantOfView(hit)))
        return std::nullopt;
    return point;
}

bool UIDriver::tap(CGPoint windowPoint)
{
    auto touch = touchDown(windowPoint);
    if (!touch)
        return false;
    touchUp(touch, windowPoint);
    runUntilIdle();
    return true;
}

bool UIDriver::tap(const Ref<UIView>& view)
{
    auto point = tapPoint(view);
    return point && tap(*point);
}

bool UIDriver::tap(CGPoint windowPoint, NSUInteger taps)
{
    for (NSUInteger i = 0; i < taps; ++i) {
        if (i > 0)
            advance(0.1);
        if (!tap(windowPoint))
            return false;
    }
    return true;
}

bool UIDriver::tap(const Ref<UIView>& view, NSUInteger taps)
{
    auto point = tapPoint(view);
    return point && tap(*point, taps);
}

bool UIDriver::tap(const Ref<UIBarButtonItem>& item) { return item && tap(item->representedView()); }

bool UIDriver::isMenuVisible() const { return UIMenuController::sharedMenuController()->isMenuVisible(); }

std::vector<std::string> UIDriver::menuItemTitles() const { return UIMenuController::sharedMenuController()->visibleTitles(); }

CGRect UIDriver::menuFrame() const { return UIMenuController::sharedMenuController()->menuFrame(); }

std::optional<CGPoint> UIDriver::menuArrowTip() const { return UIMenuController::sharedMenuController()->menuArrowTip(); }

bool UIDriver::chooseMenuItem(std::string_view title)
{
    auto menu = UIMenuController::sharedMenuController()->menuView();
    if (!menu)
        return false;
    const auto subviews = menu->subviews();
    for (auto& view : subviews->items())
        if (auto button = dv::as<UIButton>(view); button && dv::str(button->currentTitle()) == title)
            return tap(button);
    return false;
}

bool UIDriver::longPress(CGPoint windowPoint, NSTimeInterval duration)
{
    auto touch = touchDown(windowPoint);
    if (!touch)
        return false;
    advance(duration);
    touchUp(touch, windowPoint);
    runUntilIdle();
    return true;
}

bool UIDriver::longPress(const Ref<UIView>& view, NSTimeInterval duration)
{
    auto point = tapPoint(view);
    return point && longPress(*point, duration);
}

bool UIDriver::pan(CGPoint from, CGPoint translation, const PanOptions& options)
{
    auto touch = touchDown(from);
    if (!touch)
        return false;
    const int steps = std::max(options.steps, 1);
    CGPoint at = from;
    for (int i = 1; i <= steps; ++i) {
        advance(options.stepInterval);
        at = CGPointMake(from.x + translation.x * i / steps, from.y + translation.y * i / steps);
        touchMove(touch, at);
    }
    if (options.holdBeforeLift > 0)
        advance(options.holdBeforeLift);
    touchUp(touch, at);
    runUntilIdle();
    return true;
}

bool UIDriver::pan(const Ref<UIView>& view, CGPoint translation, const PanOptions& options)
{
    auto point = tapPoint(view);
    return point && pan(*point, translation, options);
}

TouchID UIDriver::touchDown(CGPoint windowPoint)
{
    // A finger on the keyboard touches the keyboard's window, not the application's.
    if (auto keyboard = keyboardWindow(); keyboard && CGRectContainsPoint(dv::keyboardFrame(), windowPoint))
        return beginTouch(keyboard, windowPoint);
    return beginTouch(window(), windowPoint);
}
bool UIDriver::touchMove(TouchID touch, CGPoint windowPoint) { return moveTouch(touch, windowPoint); }
bool UIDriver::touchUp(TouchID touch, CGPoint windowPoint) { return endTouch(touch, windowPoint); }

std::string UIDriver::dump() const
{
    std::string text = dumpViewTree(window());
    if (auto keyboard = keyboardWindow())
        text += dumpViewTree(keyboard);
    return text;
}
Ref<UIImage> UIDriver::screenshot(CGFloat scale) const { return snapshotView(window(), scale); }
Ref<UIImage> UIDriver::screenImage(CGFloat scale) const { return snapshotScreen(scale); }
bool UIDriver::writeScreenshot(const std::string& path, CGFloat scale) const { return writeSnapshotPNG(window(), path, scale); }

} // namespace dv::testing
