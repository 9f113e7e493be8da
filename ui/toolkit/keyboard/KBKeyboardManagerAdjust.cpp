// The keyboard manager's frame adjustment: how far the edited field is covered, and the scroll
// views, constraint or controller view that move to uncover it; and putting them back.
//
// Orientation o: 1 portrait, 2 upside down, 3 landscape right, 4 landscape left. Current systems
// always work in portrait; the other cases serve older ones, which rotate the window's contents.
#include "ui/toolkit/keyboard/KBKeyboardManager.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/ui/NSLayoutConstraint.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UINavigationBar.h"
#include "platform/ui/UINavigationController.h"
#include "platform/ui/UIScrollView.h"
#include "platform/ui/UITextView.h"
#include "platform/ui/UIViewController.h"
#include "platform/ui/UIWindow.h"
#include "ui/toolkit/keyboard/UIViewAdditions.h"
#include "ui/toolkit/keyboard/UIViewKBHierarchy.h"
#include "ui/toolkit/keyboard/internal/KeyboardSupport.h"

#include <algorithm>

using dv::internal::toolkit::isKeyboardNewSystem;
using dv::internal::toolkit::windowRectOfView;

namespace {

enum class GuidePosition { None, Top, Bottom };

// Where the controller's layout-guide constraint ties its view: to the top guide, the bottom one,
// or neither.
GuidePosition guidePosition(const Ref<UIViewController>& controller, const Ref<NSLayoutConstraint>& constraint)
{
    if (!controller || !constraint)
        return GuidePosition::None;
    auto first = constraint->firstItem();
    auto second = constraint->secondItem();
    auto top = controller->topLayoutGuide();
    if (first == top || second == top)
        return GuidePosition::Top;
    auto bottom = controller->bottomLayoutGuide();
    if (first == bottom || second == bottom)
        return GuidePosition::Bottom;
    return GuidePosition::None;
}

// The value for orientation o among the four; `otherwise` for an orientation that is none of them.
CGFloat pick(NSInteger o, CGFloat portrait, CGFloat upsideDown, CGFloat landscapeRight, CGFloat landscapeLeft,
    CGFloat otherwise = 0)
{
    switch (o) {
    case 1:
        return portrait;
    case 2:
        return upsideDown;
    case 3:
        return landscapeRight;
    case 4:
        return landscapeLeft;
    default:
        return otherwise;
    }
}

Ref<UIScrollView> scrollViewAncestor(const Ref<UIView>& view)
{
    return dv::as<UIScrollView>(superviewOfClassType(view, UIScrollView::class_()));
}

} // namespace

Ref<UIViewController> KBKeyboardManager::handleRootController()
{
    auto field = m_textFieldView.lock();
    auto controller = field ? topMostController(field) : nil;
    return controller ? controller : topMostController(keyWindow());
}

bool KBKeyboardManager::handleMayAdjust(const Ref<UIView>& field) const
{
    if (!field || isAlertViewTextField(field))
        return false;
    auto controller = viewController(field);
    if (!controller)
        return true;
    return std::none_of(
        m_disabledClasses.begin(), m_disabledClasses.end(), [&](Class cls) { return controller->isKindOfClass(cls); });
}

void KBKeyboardManager::handleAnimate(
    const std::function<void()>& animations, const std::function<void(bool)>& completion) const
{
    UIView::animateWithDuration(m_animationDuration, 0,
        NSUInteger(m_animationCurve) | UIViewAnimationOptionBeginFromCurrentState, animations, completion);
}

void KBKeyboardManager::handleTakeDuration(const Ref<NSNotification>& notification)
{
    auto info = notification ? notification->userInfo() : nil;
    auto number = info ? dv::as<NSNumber>(info->objectForKey(UIKeyboardAnimationDurationUserInfoKey)) : nil;
    // Read in single precision, as the keyboard hands it; 0 or none keeps the last duration.
    const float duration = number ? number->floatValue() : 0;
    if (duration != 0)
        m_animationDuration = duration;
}

void KBKeyboardManager::handleSaveScrollView(const Ref<UIScrollView>& scrollView)
{
    m_lastScrollView = scrollView;
    m_startingContentInsets = scrollView->contentInset();
    m_startingContentOffset = scrollView->contentOffset();
    m_startingScrollIndicatorInsets = scrollView->scrollIndicatorInsets();
}

void KBKeyboardManager::handleRestoreLastScrollView()
{
    auto scrollView = m_lastScrollView.lock();
    if (!scrollView)
        return;
    handleAnimate([this, scrollView] {
        scrollView->setContentInset(m_startingContentInsets);
        scrollView->setScrollIndicatorInsets(m_startingScrollIndicatorInsets);
    });
    if (::shouldRestoreScrollViewContentOffset(scrollView))
        scrollView->setContentOffset(m_startingContentOffset, true);
}

void KBKeyboardManager::handleRestoreRootView()
{
    auto controller = m_rootViewController.lock();
    if (!controller)
        return;
    auto field = m_textFieldView.lock();
    auto fieldController = field ? viewController(field) : m_layoutGuideController.lock();
    auto constraint = KBLayoutGuideConstraint(fieldController);
    if (guidePosition(fieldController, constraint) != GuidePosition::None) {
        constraint->setConstant(m_layoutGuideConstraintInitialConstant);
        controller->view()->setNeedsLayout();
        controller->view()->layoutIfNeeded();
        return;
    }
    controller->view()->setFrame(m_topViewBeginRect);
    if (m_layoutIfNeededOnUpdate) {
        controller->view()->setNeedsLayout();
        controller->view()->layoutIfNeeded();
    }
}

void KBKeyboardManager::handleRestoreTextViewFrame()
{
    m_isTextFieldViewFrameChanged = false;
    if (auto field = m_textFieldView.lock())
        field->setFrame(m_textFieldViewIntialFrame);
}

void KBKeyboardManager::setRootViewFrame(CGRect frame)
{
    auto controller = handleRootController();
    if (!controller)
        return; // no root controller in the window: nothing to move
    auto view = controller->view();
    if (isKeyboardNewSystem())
        frame.size = view->frame().size;
    handleAnimate([this, view, frame] {
        view->setFrame(frame);
        if (m_layoutIfNeededOnUpdate) {
            view->setNeedsLayout();
            view->layoutIfNeeded();
        }
    });
}

void KBKeyboardManager::adjustFrame()
{
    auto field = m_textFieldView.lock();
    if (!field)
        return;
    m_isKeyboardShowing = true;
    auto controller = handleRootController();
    const NSInteger o = isKeyboardNewSystem() ? 1 : (controller ? NSInteger(controller->interfaceOrientation()) : 0);
    const bool upright = o == 1 || o == 2;
    const bool sideways = o == 3 || o == 4;

    auto window = keyWindow();
    const CGRect R = windowRectOfView(field, window);
    const CGRect W = window ? window->frame() : CGRectZero;
    const CGRect V = controller ? controller->view()->frame() : CGRectZero;
    const double ownDistance = ::keyboardDistanceFromTextField(field);
    const CGFloat D = ownDistance == kKBUseManagerDistance ? m_keyboardDistanceFromTextField : ownDistance;
    const CGFloat H = W.size.height;
    const CGFloat Wd = W.size.width;

    CGFloat kW = m_kbSize.width;
    CGFloat kH = m_kbSize.height;
    const CGRect S = UIApplication::sharedApplication()->statusBarFrame();
    CGFloat s = 0;
    if (upright) {
        s = S.size.height;
        kH += D;
    } else if (sideways) {
        s = S.size.width;
        kW += D;
    }

    auto fieldController = viewController(field);
    auto constraint = KBLayoutGuideConstraint(fieldController);
    const GuidePosition guide = guidePosition(fieldController, constraint);

    // m > 0: the field must go up by m; m < 0: it could come down by -m. Without a bottom guide,
    // the smaller of the room above the field and its overlap with the keyboard.
    const CGFloat overlap = pick(
        o, CGRectGetMaxY(R) - (H - kH), kH - CGRectGetMinY(R), kW - CGRectGetMinX(R), CGRectGetMaxX(R) - (Wd - kW));
    const CGFloat roomAbove = pick(o, CGRectGetMinY(R) - (s + 5), H - CGRectGetMaxY(R) - (s + 5),
        Wd - CGRectGetMaxX(R) - (s + 5), CGRectGetMinX(R) - (s + 5));
    CGFloat m = guide == GuidePosition::Bottom ? overlap : std::min(roomAbove, overlap);

    // Which scroll view's insets are ours now.
    auto superScrollView = scrollViewAncestor(field);
    auto lastScrollView = m_lastScrollView.lock();
    if (!lastScrollView && superScrollView) {
        handleSaveScrollView(superScrollView);
    } else if (lastScrollView && superScrollView && superScrollView != lastScrollView) {
        handleRestoreLastScrollView();
        handleSaveScrollView(superScrollView);
    } else if (lastScrollView && !superScrollView) {
        handleRestoreLastScrollView();
        m_startingContentInsets = UIEdgeInsetsZero;
        m_startingScrollIndicatorInsets = UIEdgeInsetsZero;
        m_startingContentOffset = CGPointZero;
        m_lastScrollView.reset();
    }

    if (auto scrollView = m_lastScrollView.lock()) {
        // Scroll the field's scroll views, nearest first, as far as each can take the move.
        Ref<UIView> lastView = field;
        for (auto q = scrollView;
             q && (m > 0 ? m > -q->contentOffset().y - q->contentInset().top : q->contentOffset().y > 0);) {
            const CGRect L = lastView->superview()->convertRectToView(lastView->frame(), q);
            const CGFloat y0 = q->contentOffset().y;
            CGFloat t = y0 - std::min(y0, -m);
            t = std::min(t, CGRectGetMinY(L));
            if (dv::as<UITextView>(field) && !scrollViewAncestor(q) && t >= 0) {
                // A text view is scrolled only up to just under the navigation bar; the view it is
                // in is then not moved.
                auto navigation = fieldController ? fieldController->navigationController() : nil;
                const CGFloat N = navigation ? CGRectGetMaxY(navigation->navigationBar()->frame()) : 0;
                const CGRect now = windowRectOfView(field, window);
                const CGFloat e = pick(o, CGRectGetMinY(now) - (N + 10), H - CGRectGetMaxY(now) - (N + 10),
                    Wd - CGRectGetMaxX(now) - (N + 10), CGRectGetMinX(now) - (N + 10), t);
                t = std::min(t, y0 + e);
                m = 0;
            } else {
                m -= t - y0;
            }
            handleAnimate([q, t] { q->setContentOffset(CGPointMake(q->contentOffset().x, t)); });
            lastView = q;
            q = scrollViewAncestor(q);
        }

        // Room under the content for the keyboard.
        const CGRect R2 = windowRectOfView(scrollView, window);
        const CGFloat b = pick(o, kH - (H - CGRectGetMaxY(R2)), kH - CGRectGetMinY(R2), kW - CGRectGetMinX(R2),
            kW - (Wd - CGRectGetMaxX(R2)));
        UIEdgeInsets insets = scrollView->contentInset();
        insets.bottom = std::max(m_startingContentInsets.bottom, b);
        handleAnimate([scrollView, insets] {
            scrollView->setContentInset(insets);
            UIEdgeInsets indicator = scrollView->scrollIndicatorInsets();
            indicator.bottom = insets.bottom - 10;
            scrollView->setScrollIndicatorInsets(indicator);
        });
        const CGSize content = scrollView->contentSize();
        if (content.height < scrollView->frame().size.height)
            scrollView->setContentSize(CGSizeMake(content.width, scrollView->frame().size.height));
    }

    if (guide != GuidePosition::None) {
        const CGFloat constant = guide == GuidePosition::Top
            ? std::min(m_layoutGuideConstraintInitialConstant, constraint->constant() - m)
            : std::max(m_layoutGuideConstraintInitialConstant, constraint->constant() + m);
        m_layoutGuideController = fieldController;
        auto root = m_rootViewController.lock();
        auto rootView = root ? root->view() : nil;
        UIView::animateWithDuration(m_animationDuration, 0, (7 << 16) | UIViewAnimationOptionBeginFromCurrentState,
            [constraint, constant, rootView] {
                constraint->setConstant(constant);
                if (rootView) {
                    rootView->setNeedsLayout();
                    rootView->layoutIfNeeded();
                }
            },
            {});
        return;
    }

    // A text view outside any scroll view may be made shorter to fit above the keyboard.
    if (m_canAdjustTextView && !m_lastScrollView.lock() && dv::as<UITextView>(field)
        && !m_isTextFieldViewFrameChanged) {
        CGFloat h = field->frame().size.height;
        if (upright)
            h = std::min(h, H - kH - (s + 5));
        else if (sideways)
            h = std::min(h, Wd - kW - (s + 5));
        handleAnimate([field, h] {
            CGRect frame = field->frame();
            frame.size.height = h;
            field->setFrame(frame);
        });
        m_isTextFieldViewFrameChanged = true;
    }

    const CGRect B = m_topViewBeginRect;
    const UIModalPresentationStyle style
        = controller ? controller->modalPresentationStyle() : UIModalPresentationFullScreen;
    if (style == UIModalPresentationFormSheet || style == UIModalPresentationPageSheet) {
        // A sheet sits in the middle of the screen: it may go up until it reaches the keyboard.
        if (m >= 0) {
            CGFloat y = CGRectGetMinY(V) - m;
            if (m_preventShowingBottomBlankSpace) {
                CGFloat minimumY = 0;
                if (upright)
                    minimumY = (H - V.size.height - s) * 0.5 - (kH - D);
                else if (sideways)
                    minimumY = Wd - V.size.height - s - (kW - D);
                y = std::max(y, minimumY);
            }
            setRootViewFrame(CGRectMake(CGRectGetMinX(V), y, V.size.width, V.size.height));
        } else if (const CGFloat d = CGRectGetMinY(V) - CGRectGetMinY(B); d < 0) {
            setRootViewFrame(
                CGRectMake(CGRectGetMinX(V), CGRectGetMinY(V) - std::max(m, d), V.size.width, V.size.height));
        }
        return;
    }

    // The view moves along y (upright) or x (sideways); towards the top of the screen as the
    // user holds it is minus in portrait and landscape left, plus in the other two.
    CGRect frame = V;
    CGFloat& position = sideways ? frame.origin.x : frame.origin.y;
    const CGFloat start = position;
    const CGFloat up = pick(o, -1, 1, 1, -1);
    if (m >= 0) {
        position = start + up * m;
        if (m_preventShowingBottomBlankSpace) {
            // Never further than the keyboard's own height.
            if (o == 1 || o == 4)
                position = std::max(position, std::min<CGFloat>(0, D - (o == 1 ? kH : kW)));
            else if (o == 2 || o == 3)
                position = std::min(position, (o == 2 ? kH : kW) - D);
        }
        setRootViewFrame(frame);
        return;
    }
    // The field is higher than it needs to be: the view comes back down, never below where it
    // began.
    if (!upright && !sideways)
        return;
    const CGFloat d = pick(o, CGRectGetMinY(V) - CGRectGetMinY(B), CGRectGetMinY(B) - CGRectGetMinY(V),
        CGRectGetMinX(B) - CGRectGetMinX(V), CGRectGetMinX(V) - CGRectGetMinX(B));
    if (d >= 0)
        return;
    position = start + up * std::max(m, d);
    setRootViewFrame(frame);
}
