// The keyboard manager's frame adjustment: how far the edited field is covered, and the scroll
// views, constraint or controller view that move to uncover it; and putting them back.
//
// Orientation o: 1 portrait, 2 upside down, 3 landscape right, 4 landscape left. Current systems
// always work in portrait; the other cases serve older ones, which rotate the window's contents.
#include "ui/toolkit/keyboard/KBKeyboardManager.h"

#include "platform/dispatch/NSNotification.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
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

using dv::internal::isKeyboardNewSystem;
using dv::internal::windowRectOfView;

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
    return std::none_of(m_disabledClasses.begin(), m_disabledClasses.end(),
        [&](Class cls) { return controller->isKindOfClass(cls); });
}

void KBKeyboardManager::handleAnimate(const std::function<void()>& animations, const std::function<void(bool)>& completion) const
{
    UIView::animateWithDuration(m_animationDuration, 0, NSUInteger(m_animationCurve) | UIViewAnimationOptionBeginFromCurrentState,
        animations, completion);
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
    const CGFloat H = W.size.height;
    const CGFloat Wd = W.size.width;

    auto fieldController = viewController(field);
    auto constraint = KBLayoutGuideConstraint(fieldController);
    const GuidePosition guide = guidePosition(fieldController, constraint);

    // m > 0: the field must go up by m; m < 0: it could come down by -m.
    CGFloat m = 0;
    if (guide == GuidePosition::Bottom) {
        switch (o) {
        case 1: m = CGRectGetMaxY(R) - (H - kH); break;
        case 2: m = kH - CGRectGetMinY(R); break;
        case 3: m = kW - CGRectGetMinX(R); break;
        case 4: m = CGRectGetMaxX(R) - (Wd - kW); break;
        default: break;
        }
    } else {
        // The smaller of the room above the field and the overlap.
        switch (o) {
        case 1: m = std::min(CGRectGetMinY(R) - (s + 5), CGRectGetMaxY(R) - (H - kH)); break;
        case 2: m = std::min(H - CGRectGetMaxY(R) - (s + 5), kH - CGRectGetMinY(R)); break;
        case 3: m = std::min(Wd - CGRectGetMaxX(R) - (s + 5), kW - CGRectGetMinX(R)); break;
        case 4: m = std::min(CGRectGetMinX(R) - (s + 5), CGRectGetMaxX(R) - (Wd - kW)); break;
        default: break;
        }
    }

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
        for (auto q = scrollView; q && (m > 0 ? m > -q->contentOffset().y - q->contentInset().top : q->contentOffset().y > 0);) {
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
                CGFloat e = t;
                switch (o) {
                case 1: e = CGRectGetMinY(now) - (N + 10); break;
                case 2: e = H - CGRectGetMaxY(now) - (N + 10); break;
                case 3: e = Wd - CGRectGetMaxX(now) - (N + 10); break;
                case 4: e = CGRectGetMinX(now) - (N + 10); break;
                default: break;
                }
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
        CGFloat b = 0;
        switch (o) {
        case 1: b = kH - (H - CGRectGetMaxY(R2)); break;
        case 2: b = kH - CGRectGetMinY(R2); break;
        case 3: b = kW - CGRectGetMinX(R2); break;
        case 4: b = kW - (Wd - CGRectGetMaxX(R2)); break;
        default: break;
        }
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
        const CGFloat constant = guide == GuidePosition::Top ? std::min(m_layoutGuideConstraintInitialConstant, constraint->constant() - m)
                                                             : std::max(m_layoutGuideConstraintInitialConstant, constraint->constant() + m);
        m_layoutGuideController = fieldController;
        auto rootView = m_rootViewController.lock() ? m_rootViewController.lock()->view() : nil;
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
    if (m_canAdjustTextView && !m_lastScrollView.lock() && dv::as<UITextView>(field) && !m_isTextFieldViewFrameChanged) {
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
    const UIModalPresentationStyle style = controller ? controller->modalPresentationStyle() : UIModalPresentationFullScreen;
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
        } else {
            const CGFloat d = CGRectGetMinY(V) - CGRectGetMinY(B);
            if (d < 0)
                setRootViewFrame(CGRectMake(CGRectGetMinX(V), CGRectGetMinY(V) - std::max(m, d), V.size.width, V.size.height));
        }
        return;
    }

    CGRect frame = V;
    if (m >= 0) {
        switch (o) {
        case 1: frame.origin.y = CGRectGetMinY(V) - m; break;
        case 2: frame.origin.y = CGRectGetMinY(V) + m; break;
        case 3: frame.origin.x = CGRectGetMinX(V) + m; break;
        case 4: frame.origin.x = CGRectGetMinX(V) - m; break;
        default: break;
        }
        if (m_preventShowingBottomBlankSpace) {
            switch (o) {
            case 1: frame.origin.y = std::max(frame.origin.y, std::min<CGFloat>(0, D - kH)); break;
            case 2: frame.origin.y = std::min(frame.origin.y, kH - D); break;
            case 3: frame.origin.x = std::min(frame.origin.x, kW - D); break;
            case 4: frame.origin.x = std::max(frame.origin.x, std::min<CGFloat>(0, D - kW)); break;
            default: break;
            }
        }
        setRootViewFrame(frame);
        return;
    }
    // The field is higher than it needs to be: the view comes back down, never below where it
    // began.
    CGFloat d = 0;
    switch (o) {
    case 1: d = CGRectGetMinY(V) - CGRectGetMinY(B); break;
    case 2: d = CGRectGetMinY(B) - CGRectGetMinY(V); break;
    case 3: d = CGRectGetMinX(B) - CGRectGetMinX(V); break;
    case 4: d = CGRectGetMinX(V) - CGRectGetMinX(B); break;
    default: return;
    }
    if (d >= 0)
        return;
    const CGFloat back = std::max(m, d);
    switch (o) {
    case 1: frame.origin.y = CGRectGetMinY(V) - back; break;
    case 2: frame.origin.y = CGRectGetMinY(V) + back; break;
    case 3: frame.origin.x = CGRectGetMinX(V) + back; break;
    case 4: frame.origin.x = CGRectGetMinX(V) - back; break;
    default: break;
    }
    setRootViewFrame(frame);
}
