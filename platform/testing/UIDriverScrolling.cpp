// The UI driver's gestures on scroll views, lists and the picker (see UIDriver.h).
#include "platform/testing/UIDriver.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSIndexPath.h"
#include "platform/ui/UICollectionView.h"
#include "platform/ui/UIPickerView.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UITableView.h"

#include <algorithm>
#include <cmath>

namespace dv::testing {

namespace {

// The pan recogniser begins past this distance from where the finger landed.
constexpr CGFloat kPanStart = 10;
constexpr NSTimeInterval kFrame = 1.0 / 60;
// The part of a stroke that gives the release its speed (the pan measures the last 0.1 s).
constexpr int kFlingSteps = 6;

CGFloat length(CGPoint p) { return std::hypot(p.x, p.y); }

// The offset change that brings `rect` (content coordinates) to the middle of the view, within
// the range the offset rests in.
CGPoint changeToShow(const UIScrollView& view, CGRect rect)
{
    const CGRect b = view.bounds();
    const UIEdgeInsets inset = view.contentInset();
    const CGSize content = view.contentSize();
    auto axis = [](CGFloat mid, CGFloat length, CGFloat now, CGFloat before, CGFloat after, CGFloat size) {
        const CGFloat low = -before, high = std::max(low, size + after - length);
        return std::clamp(mid - length / 2, low, high) - now;
    };
    return CGPointMake(axis(CGRectGetMidX(rect), b.size.width, b.origin.x, inset.left, inset.right, content.width),
        axis(CGRectGetMidY(rect), b.size.height, b.origin.y, inset.top, inset.bottom, content.height));
}

} // namespace

bool UIDriver::dragScrollView(const Ref<UIScrollView>& scrollView, CGPoint offsetChange, const DragOptions& options)
{
    if (!scrollView)
        return false;
    auto start = tapPoint(scrollView);
    if (!start)
        return false;
    const CGPoint finger = fingerTranslationForOffsetChange(*scrollView, offsetChange);
    const CGPoint velocity = options.releaseVelocity;
    const bool fling = velocity.x != 0 || velocity.y != 0;
    // The fingers move against the content: the last 0.1 s at the release speed.
    const CGPoint tail = fling ? CGPointMake(-velocity.x * kFlingSteps * kFrame, -velocity.y * kFlingSteps * kFrame) : CGPointZero;
    const CGPoint body = CGPointMake(finger.x - tail.x, finger.y - tail.y);

    std::vector<std::pair<NSTimeInterval, CGPoint>> moves; // (wait before, translation)
    // A stroke too short to start the pan first goes out past its threshold and comes back.
    if (length(finger) <= kPanStart && length(tail) <= kPanStart) {
        CGPoint out = length(finger) > 0 ? CGPointMake(finger.x / length(finger), finger.y / length(finger)) : CGPointMake(0, -1);
        moves.emplace_back(options.stepInterval, CGPointMake(out.x * (kPanStart + 2), out.y * (kPanStart + 2)));
    }
    const int steps = std::max(options.steps, 1);
    for (int i = 1; i <= steps; ++i)
        moves.emplace_back(options.stepInterval, CGPointMake(body.x * i / steps, body.y * i / steps));
    if (fling)
        for (int i = 1; i <= kFlingSteps; ++i)
            moves.emplace_back(kFrame, CGPointMake(body.x + tail.x * i / kFlingSteps, body.y + tail.y * i / kFlingSteps));

    auto touch = touchDown(*start);
    if (!touch)
        return false;
    CGPoint at = *start;
    for (auto& [wait, translation] : moves) {
        advance(wait);
        at = CGPointMake(start->x + translation.x, start->y + translation.y);
        touchMove(touch, at);
    }
    if (!fling)
        advance(0.15); // held still: the pan measures no speed
    touchUp(touch, at);
    runUntilIdle();
    if (options.settle)
        settle(scrollView);
    return true;
}

bool UIDriver::swipePage(const Ref<UIScrollView>& scrollView, SwipeDirection direction)
{
    if (!scrollView)
        return false;
    const CGSize page = scrollView->bounds().size;
    CGPoint sign {};
    switch (direction) {
    case SwipeDirection::Left: sign = CGPointMake(1, 0); break;
    case SwipeDirection::Right: sign = CGPointMake(-1, 0); break;
    case SwipeDirection::Up: sign = CGPointMake(0, 1); break;
    case SwipeDirection::Down: sign = CGPointMake(0, -1); break;
    }
    DragOptions options;
    options.steps = 4;
    options.releaseVelocity = CGPointMake(sign.x * 1000, sign.y * 1000);
    return dragScrollView(scrollView, CGPointMake(sign.x * page.width / 3, sign.y * page.height / 3), options);
}

bool UIDriver::settle(const Ref<UIScrollView>& scrollView)
{
    for (int frame = 0; scrollView && isScrollViewMoving(*scrollView); ++frame) {
        if (frame >= 600)
            return false;
        advance(kFrame);
    }
    return true;
}

bool UIDriver::dragIntoView(const Ref<UIView>& view)
{
    if (!view)
        return false;
    Ref<UIScrollView> scrollView;
    for (auto ancestor = view->superview(); ancestor && !scrollView; ancestor = ancestor->superview())
        scrollView = dv::as<UIScrollView>(ancestor);
    if (!scrollView)
        return tapPoint(view).has_value();
    // A view cut by the scroll view's edge is dragged in whole, as a person would before touching it.
    const CGRect rect = view->convertRectToView(view->bounds(), scrollView);
    if (!(CGRectContainsRect(scrollView->bounds(), rect) && tapPoint(view))) {
        const CGPoint change = changeToShow(*scrollView, rect);
        if ((change.x != 0 || change.y != 0) && !dragScrollView(scrollView, change))
            return false;
    }
    return tapPoint(view).has_value();
}

bool UIDriver::isAnyScrollViewMoving() const
{
    for (const auto& scrollView : findAll<UIScrollView>())
        if (scrollView->isDragging() || isScrollViewMoving(*scrollView))
            return true;
    return false;
}

bool UIDriver::tapRow(const Ref<UITableView>& tableView, const Ref<NSIndexPath>& indexPath)
{
    if (!tableView || !indexPath)
        return false;
    runUntilIdle();
    if (indexPath->section() < 0 || indexPath->section() >= tableView->numberOfSections() || indexPath->row() < 0
        || indexPath->row() >= tableView->numberOfRowsInSection(indexPath->section()))
        return false;
    auto cell = tableView->cellForRowAtIndexPath(indexPath);
    if (!cell || !tapPoint(cell)) {
        const CGPoint change = changeToShow(*tableView, tableView->rectForRowAtIndexPath(indexPath));
        if (change.y != 0 && !dragScrollView(tableView, CGPointMake(0, change.y)))
            return false;
        runUntilIdle();
        cell = tableView->cellForRowAtIndexPath(indexPath);
    }
    return cell && tap(cell);
}

bool UIDriver::tapItem(const Ref<UICollectionView>& collectionView, const Ref<NSIndexPath>& indexPath)
{
    if (!collectionView || !indexPath)
        return false;
    runUntilIdle();
    auto attributes = collectionView->layoutAttributesForItemAtIndexPath(indexPath);
    if (!attributes)
        return false;
    auto cell = collectionView->cellForItemAtIndexPath(indexPath);
    if (!cell || !tapPoint(cell)) {
        const CGPoint change = changeToShow(*collectionView, attributes->frame());
        if ((change.x != 0 || change.y != 0) && !dragScrollView(collectionView, change))
            return false;
        runUntilIdle();
        cell = collectionView->cellForItemAtIndexPath(indexPath);
    }
    return cell && tap(cell);
}

bool UIDriver::spinPicker(const Ref<UIPickerView>& picker, NSInteger component, NSInteger row)
{
    if (!picker)
        return false;
    runUntilIdle();
    if (component < 0 || component >= picker->numberOfComponents() || row < 0 || row >= picker->numberOfRowsInComponent(component))
        return false;
    // The wheels are the picker's scroll views, in the order of the components.
    Ref<UIScrollView> wheel;
    NSInteger index = 0;
    const auto subviews = picker->subviews();
    for (auto& view : subviews->items())
        if (auto scroll = dv::as<UIScrollView>(view); scroll && index++ == component)
            wheel = scroll;
    if (!wheel)
        return false;
    settle(wheel);
    const CGFloat rowHeight = picker->rowSizeForComponent(component).height;
    CGFloat change = CGFloat(row) * rowHeight - wheel->contentInset().top - wheel->contentOffset().y;
    // Strokes the finger can make on the wheel. The next one lands before the wheel has settled,
    // and every stroke but the last leaves it half a row off, so only the last one comes to rest
    // on a row (and is reported).
    const CGFloat stroke = std::max(wheel->bounds().size.height * 0.4, rowHeight);
    const CGFloat sign = change < 0 ? -1 : 1;
    std::vector<CGFloat> strokes;
    if (std::abs(change) > stroke) {
        const CGFloat first = (std::max<CGFloat>(std::floor(stroke / rowHeight - 0.5), 0) + 0.5) * rowHeight;
        const CGFloat whole = std::max<CGFloat>(std::floor(stroke / rowHeight), 1) * rowHeight;
        strokes.push_back(sign * first);
        change -= sign * first;
        while (std::abs(change) > stroke) {
            strokes.push_back(sign * whole);
            change -= sign * whole;
        }
    }
    if (std::abs(change) > 1e-6)
        strokes.push_back(change);
    DragOptions options;
    options.steps = 5;
    options.settle = false;
    for (CGFloat step : strokes)
        if (!dragScrollView(wheel, CGPointMake(0, step), options))
            return false;
    return settle(wheel);
}

} // namespace dv::testing
