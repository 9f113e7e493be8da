// The keyboard manager's frame adjustment: how far the edited field is covered, and the scroll
// views, constraint or controller view that move to uncover it; and putting them back.
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

namespace dv::internal::toolkit {

// The screen as the adjustment sees it. Current systems always work in portrait; the other
// orientations serve older ones, which rotate the window's contents, so that the top of the
// screen as the user holds it is at minimum y in portrait, maximum y upside down, maximum x in
// landscape right and minimum x in landscape left.
struct KeyboardScene {
    UIInterfaceOrientation orientation = UIInterfaceOrientationUnknown;
    Ref<UIWindow> window;
    CGSize windowSize {};
    // The keyboard's size, with the field's distance from it added along the way it comes in.
    CGSize keyboard {};
    CGFloat distance = 0;
    // The status bar's thickness along the way the keyboard comes in.
    CGFloat statusBar = 0;

    bool isUpright() const
    {
        return orientation == UIInterfaceOrientationPortrait || orientation == UIInterfaceOrientationPortraitUpsideDown;
    }
    bool isSideways() const
    {
        return orientation == UIInterfaceOrientationLandscapeRight || orientation == UIInterfaceOrientationLandscapeLeft;
    }

    // The value for this orientation among the four; `otherwise` for an unknown one.
    CGFloat byOrientation(CGFloat portrait, CGFloat upsideDown, CGFloat landscapeRight, CGFloat landscapeLeft,
        CGFloat otherwise = 0) const
    {
        switch (orientation) {
        case UIInterfaceOrientationPortrait:
            return portrait;
        case UIInterfaceOrientationPortraitUpsideDown:
            return upsideDown;
        case UIInterfaceOrientationLandscapeRight:
            return landscapeRight;
        case UIInterfaceOrientationLandscapeLeft:
            return landscapeLeft;
        default:
            return otherwise;
        }
    }

    // How far `rect` (in the window) reaches under the keyboard and the distance kept above it.
    CGFloat overlapWithKeyboard(CGRect rect) const
    {
        const CGFloat width = windowSize.width, height = windowSize.height;
        return byOrientation(CGRectGetMaxY(rect) - (height - keyboard.height), keyboard.height - CGRectGetMinY(rect),
            keyboard.width - CGRectGetMinX(rect), CGRectGetMaxX(rect) - (width - keyboard.width));
    }

    // The room between the top of the screen and `rect`, less `margin`.
    CGFloat roomAbove(CGRect rect, CGFloat margin, CGFloat otherwise = 0) const
    {
        const CGFloat width = windowSize.width, height = windowSize.height;
        return byOrientation(CGRectGetMinY(rect) - margin, height - CGRectGetMaxY(rect) - margin,
            width - CGRectGetMaxX(rect) - margin, CGRectGetMinX(rect) - margin, otherwise);
    }
};

} // namespace dv::internal::toolkit

using dv::internal::toolkit::KeyboardScene;

namespace {

// Room kept between the field and the status bar above it.
constexpr CGFloat kStatusBarMargin = 5;
// Room kept between a text view and the navigation bar above it.
constexpr CGFloat kNavigationBarMargin = 10;
// How much less than the content's bottom inset the scroll indicator's is.
constexpr CGFloat kIndicatorInsetShortfall = 10;
// Animation options hold the curve from bit 16 on; the keyboard's own curve has no name there.
constexpr UIViewAnimationOptions kKeyboardCurveOption = UIViewAnimationOptions(dv::keyboardAnimationCurve) << 16;

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

// Whether a scroll view takes a part of the move: for a move up, unless it is pulled down past
// the top of its content by more than the move; for a move down, while it is scrolled.
bool takesPartOfMove(const UIScrollView& scrollView, CGFloat move)
{
    const CGFloat offset = scrollView.contentOffset().y;
    return move > 0 ? move > -offset - scrollView.contentInset().top : offset > 0;
}

KeyboardScene makeScene(UIInterfaceOrientation orientation, const Ref<UIWindow>& window, CGSize keyboardSize, CGFloat distance)
{
    KeyboardScene scene;
    scene.orientation = orientation;
    scene.window = window;
    scene.windowSize = window ? window->frame().size : CGSizeZero;
    scene.keyboard = keyboardSize;
    scene.distance = distance;
    const CGRect statusBar = UIApplication::sharedApplication()->statusBarFrame();
    if (scene.isUpright()) {
        scene.statusBar = statusBar.size.height;
        scene.keyboard.height += distance;
    } else if (scene.isSideways()) {
        scene.statusBar = statusBar.size.width;
        scene.keyboard.width += distance;
    }
    return scene;
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
    UIInterfaceOrientation orientation = UIInterfaceOrientationPortrait;
    if (!isKeyboardNewSystem())
        orientation = controller ? controller->interfaceOrientation() : UIInterfaceOrientationUnknown;
    const double ownDistance = ::keyboardDistanceFromTextField(field);
    const CGFloat distance = ownDistance == kKBUseManagerDistance ? m_keyboardDistanceFromTextField : ownDistance;
    const KeyboardScene scene = makeScene(orientation, keyWindow(), m_kbSize, distance);
    const CGRect fieldRect = windowRectOfView(field, scene.window);
    const CGRect viewFrame = controller ? controller->view()->frame() : CGRectZero;

    auto fieldController = viewController(field);
    auto constraint = KBLayoutGuideConstraint(fieldController);
    const GuidePosition guide = guidePosition(fieldController, constraint);

    // move > 0: the field must go up by move; move < 0: it could come down by -move. Without a
    // bottom guide, the smaller of the room above the field and its overlap with the keyboard.
    const CGFloat overlap = scene.overlapWithKeyboard(fieldRect);
    CGFloat move = guide == GuidePosition::Bottom
        ? overlap
        : std::min(scene.roomAbove(fieldRect, scene.statusBar + kStatusBarMargin), overlap);

    handleTakeScrollView(scrollViewAncestor(field));
    if (auto scrollView = m_lastScrollView.lock()) {
        move = handleScrollToField(field, fieldController, scrollView, scene, move);
        handleMakeRoomUnderContent(scrollView, scene);
    }

    if (guide != GuidePosition::None) {
        // The constraint moves instead of the view, never past its first constant.
        const CGFloat constant = guide == GuidePosition::Top
            ? std::min(m_layoutGuideConstraintInitialConstant, constraint->constant() - move)
            : std::max(m_layoutGuideConstraintInitialConstant, constraint->constant() + move);
        handleMoveLayoutGuide(constraint, constant, fieldController);
        return;
    }

    if (m_canAdjustTextView && !m_lastScrollView.lock() && dv::as<UITextView>(field)
        && !m_isTextFieldViewFrameChanged)
        handleShortenTextView(field, scene);

    const UIModalPresentationStyle style
        = controller ? controller->modalPresentationStyle() : UIModalPresentationFullScreen;
    if (style == UIModalPresentationFormSheet || style == UIModalPresentationPageSheet)
        handleMoveSheet(viewFrame, scene, move);
    else
        handleMoveRootView(viewFrame, scene, move);
}

void KBKeyboardManager::handleTakeScrollView(const Ref<UIScrollView>& superScrollView)
{
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
}

CGFloat KBKeyboardManager::handleScrollToField(const Ref<UIView>& field, const Ref<UIViewController>& fieldController,
    const Ref<UIScrollView>& scrollView, const KeyboardScene& scene, CGFloat move)
{
    // Nearest first, each as far as it can take the move (never past the top of its content, nor
    // past the view that holds the field); the rest is left to the next one out.
    Ref<UIView> lastView = field;
    for (auto current = scrollView; current && takesPartOfMove(*current, move); current = scrollViewAncestor(current)) {
        const CGRect lastViewRect = lastView->superview()->convertRectToView(lastView->frame(), current);
        const CGFloat offset = current->contentOffset().y;
        CGFloat target = offset - std::min(offset, -move);
        target = std::min(target, CGRectGetMinY(lastViewRect));
        if (dv::as<UITextView>(field) && !scrollViewAncestor(current) && target >= 0) {
            // A text view is scrolled only up to just under the navigation bar; the view it is
            // in is then not moved.
            auto navigation = fieldController ? fieldController->navigationController() : nil;
            const CGFloat navigationBarBottom = navigation ? CGRectGetMaxY(navigation->navigationBar()->frame()) : 0;
            const CGRect fieldNow = windowRectOfView(field, scene.window);
            target = std::min(target, offset + scene.roomAbove(fieldNow, navigationBarBottom + kNavigationBarMargin, target));
            move = 0;
        } else {
            move -= target - offset;
        }
        handleAnimate([current, target] { current->setContentOffset(CGPointMake(current->contentOffset().x, target)); });
        lastView = current;
    }
    return move;
}

void KBKeyboardManager::handleMakeRoomUnderContent(const Ref<UIScrollView>& scrollView, const KeyboardScene& scene)
{
    const CGRect scrollViewRect = windowRectOfView(scrollView, scene.window);
    UIEdgeInsets insets = scrollView->contentInset();
    insets.bottom = std::max(m_startingContentInsets.bottom, scene.overlapWithKeyboard(scrollViewRect));
    handleAnimate([scrollView, insets] {
        scrollView->setContentInset(insets);
        UIEdgeInsets indicator = scrollView->scrollIndicatorInsets();
        indicator.bottom = insets.bottom - kIndicatorInsetShortfall;
        scrollView->setScrollIndicatorInsets(indicator);
    });
    // Content shorter than the view is made as tall, so that it can scroll.
    const CGSize content = scrollView->contentSize();
    if (content.height < scrollView->frame().size.height)
        scrollView->setContentSize(CGSizeMake(content.width, scrollView->frame().size.height));
}

void KBKeyboardManager::handleMoveLayoutGuide(
    const Ref<NSLayoutConstraint>& constraint, CGFloat constant, const Ref<UIViewController>& fieldController)
{
    m_layoutGuideController = fieldController;
    auto root = m_rootViewController.lock();
    auto rootView = root ? root->view() : nil;
    UIView::animateWithDuration(m_animationDuration, 0, kKeyboardCurveOption | UIViewAnimationOptionBeginFromCurrentState,
        [constraint, constant, rootView] {
            constraint->setConstant(constant);
            if (rootView) {
                rootView->setNeedsLayout();
                rootView->layoutIfNeeded();
            }
        },
        {});
}

void KBKeyboardManager::handleShortenTextView(const Ref<UIView>& field, const KeyboardScene& scene)
{
    // A text view outside any scroll view is made short enough to fit above the keyboard.
    const CGFloat margin = scene.statusBar + kStatusBarMargin;
    CGFloat height = field->frame().size.height;
    if (scene.isUpright())
        height = std::min(height, scene.windowSize.height - scene.keyboard.height - margin);
    else if (scene.isSideways())
        height = std::min(height, scene.windowSize.width - scene.keyboard.width - margin);
    handleAnimate([field, height] {
        CGRect frame = field->frame();
        frame.size.height = height;
        field->setFrame(frame);
    });
    m_isTextFieldViewFrameChanged = true;
}

void KBKeyboardManager::handleMoveSheet(CGRect viewFrame, const KeyboardScene& scene, CGFloat move)
{
    // A sheet sits in the middle of the screen: it may go up until it reaches the keyboard.
    const CGFloat width = viewFrame.size.width, height = viewFrame.size.height;
    if (move >= 0) {
        CGFloat top = CGRectGetMinY(viewFrame) - move;
        if (m_preventShowingBottomBlankSpace) {
            CGFloat highestTop = 0;
            if (scene.isUpright())
                highestTop = (scene.windowSize.height - height - scene.statusBar) * 0.5 - (scene.keyboard.height - scene.distance);
            else if (scene.isSideways())
                highestTop = scene.windowSize.width - height - scene.statusBar - (scene.keyboard.width - scene.distance);
            top = std::max(top, highestTop);
        }
        setRootViewFrame(CGRectMake(CGRectGetMinX(viewFrame), top, width, height));
        return;
    }
    // Higher than it needs to be: it comes back down, never below where it began.
    const CGFloat belowBegin = CGRectGetMinY(viewFrame) - CGRectGetMinY(m_topViewBeginRect);
    if (belowBegin < 0)
        setRootViewFrame(CGRectMake(CGRectGetMinX(viewFrame), CGRectGetMinY(viewFrame) - std::max(move, belowBegin), width, height));
}

void KBKeyboardManager::handleMoveRootView(CGRect viewFrame, const KeyboardScene& scene, CGFloat move)
{
    // The view moves along y (upright) or x (sideways), `up` being the sign of a move towards the
    // top of the screen as the user holds it (0 for an unknown orientation).
    const bool sideways = scene.isSideways();
    CGRect frame = viewFrame;
    CGFloat& position = sideways ? frame.origin.x : frame.origin.y;
    const CGFloat start = position;
    const CGFloat up = scene.byOrientation(-1, 1, 1, -1);
    if (move >= 0) {
        position = start + up * move;
        if (m_preventShowingBottomBlankSpace) {
            // Never further than the keyboard's own height.
            const CGFloat keyboard = sideways ? scene.keyboard.width : scene.keyboard.height;
            if (up < 0)
                position = std::max(position, std::min<CGFloat>(0, scene.distance - keyboard));
            else if (up > 0)
                position = std::min(position, keyboard - scene.distance);
        }
        setRootViewFrame(frame);
        return;
    }
    // Higher than it needs to be: the view comes back down, never below where it began.
    if (up == 0)
        return;
    const CGFloat begin = sideways ? CGRectGetMinX(m_topViewBeginRect) : CGRectGetMinY(m_topViewBeginRect);
    const CGFloat now = sideways ? CGRectGetMinX(viewFrame) : CGRectGetMinY(viewFrame);
    const CGFloat belowBegin = up * (begin - now);
    if (belowBegin >= 0)
        return;
    position = start + up * std::max(move, belowBegin);
    setRootViewFrame(frame);
}
