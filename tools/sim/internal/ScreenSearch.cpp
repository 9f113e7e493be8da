#include "tools/sim/internal/ScreenSearch.h"

#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/graphics/UIImage.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/ui/UIButton.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIPickerView.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UIWebView.h"
#include "platform/ui/ViewAnimation.h"
#include "ui/images/RIWebImageManager.h"
#include "ui/images/UIImageViewWebCache.h"
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace dv::internal::sim {

using dv::testing::UIDriver;
using dv::testing::ViewQuery;

std::string seconds(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g s", value);
    return text;
}

std::string Target::describe() const
{
    return kind == Kind::Text ? "\"" + value + "\"" : "the picture \"" + value + "\"";
}

namespace {

enum class Match { None, Partial, Exact };

Match textMatch(const Ref<UIView>& view, const std::string& text)
{
    DescriptionFields fields;
    view->appendDescriptionFields(fields);
    Match best = Match::None;
    for (auto key : { "text", "title", "placeholder" })
        if (auto* value = descriptionField(fields, key)) {
            if (*value == text)
                return Match::Exact;
            if (value->find(text) != std::string::npos)
                best = Match::Partial;
        }
    return best;
}

Match pictureMatch(const Ref<UIView>& view, const std::string& name)
{
    Ref<UIImage> image;
    if (auto button = dv::as<UIButton>(view)) {
        image = button->currentImage() ? button->currentImage() : button->currentBackgroundImage();
    } else if (auto imageView = dv::as<UIImageView>(view)) {
        // An image view inside a button shows the button's picture: the button is what is touched.
        if (dv::as<UIButton>(imageView->superview()))
            return Match::None;
        image = imageView->image();
        if (auto url = ri_imageURL(imageView); url && dv::str(url->absoluteString()).find(name) != std::string::npos)
            return Match::Partial;
    }
    return image && image->resourceName() == name ? Match::Exact : Match::None;
}

// Whether a finger at the point touches what lies on the view as part of the same thing (a button
// over a tile's label takes the tile's touches); not an overlay, a toast or an alert's backdrop
// over the screen, which a person waits for or answers first.
bool touchedWith(const UIDriver& ui, const Ref<UIView>& view, CGPoint point)
{
    auto root = ui.window();
    auto hit = root ? root->hitTest(point, nil) : nil;
    auto part = view->superview();
    for (auto ancestor = hit; ancestor && part; ancestor = ancestor->superview()) {
        if (dv::as<PHProgressHUD>(ancestor))
            return false;
        if (ancestor == part)
            return true;
    }
    return false;
}

// Whether the keyboard lies over a view of the application's window at the point.
bool keyboardCovers(const Ref<UIView>& view, CGPoint point)
{
    auto keyboard = dv::keyboardWindow();
    return keyboard && view->window() != keyboard && CGRectContainsPoint(dv::keyboardFrame(), point);
}

CGRect visiblePart(const UIDriver& ui, const Ref<UIView>& view)
{
    auto root = ui.window();
    return root ? CGRectIntersection(ui.frameInWindow(view), root->bounds()) : CGRectNull;
}

bool insidePicker(const Ref<UIView>& view)
{
    for (auto ancestor = view->superview(); ancestor; ancestor = ancestor->superview())
        if (dv::as<UIPickerView>(ancestor))
            return true;
    return false;
}

// How far the content of a scroll view can move from where it is, each way.
struct Room {
    CGFloat up, down, left, right;
};

Room roomOf(const Ref<UIScrollView>& scroll)
{
    const CGPoint offset = scroll->contentOffset();
    const UIEdgeInsets inset = scroll->contentInset();
    const CGFloat maxY = std::max<CGFloat>(-inset.top, scroll->contentSize().height + inset.bottom - scroll->bounds().size.height);
    const CGFloat maxX = std::max<CGFloat>(-inset.left, scroll->contentSize().width + inset.right - scroll->bounds().size.width);
    return { std::max<CGFloat>(0, offset.y + inset.top), std::max<CGFloat>(0, maxY - offset.y), std::max<CGFloat>(0, offset.x + inset.left),
        std::max<CGFloat>(0, maxX - offset.x) };
}

// The scroll views a person could scroll through, the largest on screen first.
std::vector<Ref<UIScrollView>> scrollableViews(const UIDriver& ui)
{
    std::vector<std::pair<CGFloat, Ref<UIScrollView>>> found;
    for (const auto& scroll : ui.findAll<UIScrollView>()) {
        if (!scroll->isScrollEnabled() || !scroll->isUserInteractionEnabled() || dv::as<UIWebView>(scroll) || insidePicker(scroll))
            continue;
        const CGRect visible = visiblePart(ui, scroll);
        const Room room = roomOf(scroll);
        if (CGRectIsEmpty(visible) || room.up + room.down + room.left + room.right < 1)
            continue;
        found.emplace_back(visible.size.width * visible.size.height, scroll);
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<Ref<UIScrollView>> views;
    for (auto& [area, scroll] : found)
        views.push_back(scroll);
    return views;
}

} // namespace

std::vector<Ref<UIView>> viewsShowing(const UIDriver& ui, const Target& target, Sight sight)
{
    std::vector<Ref<UIView>> exact, partial;
    if (!ui.window())
        return {};
    for (const auto& view : ui.findAll(ViewQuery())) {
        if (!ui.isVisible(view))
            continue;
        if (sight == Sight::OnScreen && CGRectIsEmpty(visiblePart(ui, view)))
            continue;
        switch (target.kind == Target::Kind::Text ? textMatch(view, target.value) : pictureMatch(view, target.value)) {
        case Match::Exact: exact.push_back(view); break;
        case Match::Partial: partial.push_back(view); break;
        case Match::None: break;
        }
    }
    exact.insert(exact.end(), partial.begin(), partial.end());
    return exact;
}

std::optional<CGPoint> touchPointFor(const UIDriver& ui, const Target& target)
{
    auto views = viewsShowing(ui, target);
    for (const auto& view : views)
        if (auto point = ui.tapPoint(view))
            return point;
    for (const auto& view : views) {
        const CGRect visible = visiblePart(ui, view);
        if (CGRectIsEmpty(visible))
            continue;
        const CGPoint point = CGPointMake(CGRectGetMidX(visible), CGRectGetMidY(visible));
        if (!touchedWith(ui, view, point) || keyboardCovers(view, point))
            continue;
        return point;
    }
    return std::nullopt;
}

bool scrollIntoSight(UIDriver& ui, const Ref<UIView>& view)
{
    auto root = ui.window();
    for (auto ancestor = view->superview(); ancestor && root; ancestor = ancestor->superview()) {
        auto scroll = dv::as<UIScrollView>(ancestor);
        if (!scroll || !scroll->isScrollEnabled() || !ui.isVisible(scroll))
            continue;
        const CGRect visible = visiblePart(ui, scroll);
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
        const Room room = roomOf(scroll);
        dy = std::clamp(dy, -room.up, room.down);
        dx = std::clamp(dx, -room.left, room.right);
        if (std::abs(dx) >= 1 || std::abs(dy) >= 1)
            ui.dragScrollView(scroll, CGPointMake(dx, dy));
        if (!CGRectIsEmpty(visiblePart(ui, view)))
            return true;
    }
    return !CGRectIsEmpty(visiblePart(ui, view));
}

bool searchByScrolling(UIDriver& ui, const Target& target)
{
    auto found = [&] {
        auto views = viewsShowing(ui, target, Sight::AlsoScrolledAway);
        return !views.empty() && scrollIntoSight(ui, views.front());
    };
    for (const auto& scroll : scrollableViews(ui)) {
        // Down (or along) to the end, then back to the start: a page at a time, as a person reads.
        const Room start = roomOf(scroll);
        const bool vertical = start.up + start.down >= 1;
        const CGFloat page = std::max<CGFloat>(40, (vertical ? scroll->bounds().size.height : scroll->bounds().size.width) * 0.75);
        for (int direction : { 1, -1 }) {
            for (int pages = 0; pages < 200; ++pages) {
                const Room room = roomOf(scroll);
                const CGFloat left = vertical ? (direction > 0 ? room.down : room.up) : (direction > 0 ? room.right : room.left);
                if (left < 1 || !ui.isVisible(scroll))
                    break;
                const CGFloat step = direction * std::min(page, left);
                const CGPoint before = scroll->contentOffset();
                if (!ui.dragScrollView(scroll, vertical ? CGPointMake(0, step) : CGPointMake(step, 0)))
                    break;
                if (found())
                    return true;
                if (CGPointEqualToPoint(before, scroll->contentOffset()))
                    break;
            }
        }
    }
    return false;
}

Result<CGPoint> reachTarget(UIDriver& ui, const Target& target, double limit)
{
    using Clock = std::chrono::steady_clock;
    std::optional<CGPoint> point;
    std::optional<Clock::time_point> lastSearch;
    dv::testing::runMainLoopUntil([&] {
        if ((point = touchPointFor(ui, target)))
            return true;
        // Shown further down a list or a page: scrolled to.
        if (auto hidden = viewsShowing(ui, target, Sight::AlsoScrolledAway); !hidden.empty())
            return scrollIntoSight(ui, hidden.front()) && (point = touchPointFor(ui, target)).has_value();
        // Shown by nothing yet: a list makes its rows, headers and footers only in sight. Looked
        // for once the screen rests, and again now and then while its content may still change.
        if ((!lastSearch || Clock::now() - *lastSearch > std::chrono::seconds(2)) && screenAtRest(ui, Pictures::Ignored) && !overlayShown(ui)) {
            lastSearch = Clock::now();
            return searchByScrolling(ui, target) && (point = touchPointFor(ui, target)).has_value();
        }
        return false;
    }, limit);
    if (point)
        return *point;
    const std::string waited = " (waited " + seconds(limit) + ")";
    if (!viewsShowing(ui, target).empty())
        return Failure("an overlay or the keyboard covers " + target.describe() + waited);
    if (target.kind == Target::Kind::Text)
        return Failure("no view on the screen shows " + target.describe() + waited);
    return Failure("no button or image view on the screen shows " + target.describe() + waited);
}

Ref<UIScrollView> mainScrollView(const UIDriver& ui)
{
    Ref<UIScrollView> best;
    CGFloat bestArea = 0;
    for (const auto& scroll : ui.findAll<UIScrollView>()) {
        if (!scroll->isUserInteractionEnabled())
            continue;
        const CGRect visible = visiblePart(ui, scroll);
        const CGFloat area = CGRectIsNull(visible) ? 0 : visible.size.width * visible.size.height;
        if (area >= bestArea && area > 0) {
            best = scroll;
            bestArea = area;
        }
    }
    return best;
}

bool screenAtRest(const UIDriver& ui, Pictures pictures)
{
    auto navigation = ui.navigationController();
    if (navigation && navigation->isTransitioning())
        return false;
    if (ui.isAnyScrollViewMoving())
        return false;
    if (pictures == Pictures::Included && RIWebImageManager::sharedManager()->isRunning())
        return false;
    // Fades and slides (an overlay going away, a toast) end first.
    if (!dv::runningAnimations().empty())
        return false;
    for (const auto& web : ui.findAll<UIWebView>())
        if (web->isLoading())
            return false;
    return true;
}

bool overlayShown(const UIDriver& ui) { return !ui.findAll<PHProgressHUD>(true).empty(); }

} // namespace dv::internal::sim
