#include "ui/toolkit/keyboard/KBKeyboardManager.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSValue.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/ui/NSLayoutConstraint.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UICollectionView.h"
#include "platform/ui/UIControl.h"
#include "platform/ui/UIKeyboard.h"
#include "platform/ui/UINavigationBar.h"
#include "platform/ui/UITableView.h"
#include "platform/ui/UITapGestureRecognizer.h"
#include "platform/ui/UITextField.h"
#include "platform/ui/UITextView.h"
#include "platform/ui/UITouch.h"
#include "platform/ui/UIViewController.h"
#include "platform/ui/UIWindow.h"
#include "ui/toolkit/keyboard/KBBarButtonItem.h"
#include "ui/toolkit/keyboard/KBToolbar.h"
#include "ui/toolkit/keyboard/UIViewAdditions.h"
#include "ui/toolkit/keyboard/UIViewKBHierarchy.h"
#include "ui/toolkit/keyboard/internal/KeyboardSupport.h"

#include <algorithm>
#include <cfloat>
#include <mutex>

DV_DEFINE_CLASS_WITH(KBKeyboardManager, b)
{
    b.method("tapRecognized:", "v24@0:8@16", [](KBKeyboardManager& manager, std::span<const id> args) {
        manager.tapRecognized(args.empty() ? nil : dv::as<UIGestureRecognizer>(args[0]));
        return nil;
    });
    b.method("previousAction:", "v24@0:8@16", [](KBKeyboardManager& manager, std::span<const id> args) {
        manager.previousAction(args.empty() ? nil : args[0]);
        return nil;
    });
    b.method("nextAction:", "v24@0:8@16", [](KBKeyboardManager& manager, std::span<const id> args) {
        manager.nextAction(args.empty() ? nil : args[0]);
        return nil;
    });
    b.method("doneAction:", "v24@0:8@16", [](KBKeyboardManager& manager, std::span<const id> args) {
        manager.doneAction(args.empty() ? nil : args[0]);
        return nil;
    });
}

namespace {

// The key window last seen, for the moments when the application has none (a window going away).
// Held weakly: a window nobody else keeps shows nothing to adjust, and holding it would keep its
// whole screen alive after the application let it go.
Weak<UIWindow>& cachedKeyWindow()
{
    static Weak<UIWindow> window;
    return window;
}

void addClass(std::vector<Class>& classes, Class cls)
{
    if (cls != Nil && std::find(classes.begin(), classes.end(), cls) == classes.end())
        classes.push_back(cls);
}

void removeClass(std::vector<Class>& classes, Class cls)
{
    std::erase(classes, cls);
}

} // namespace

// MARK: - Life

Ref<KBKeyboardManager> KBKeyboardManager::sharedManager()
{
    // Made once and never destroyed: it serves until the process ends, and tearing it down among
    // the other statics at exit would touch views that are already gone.
    static const Ref<KBKeyboardManager>* shared = new Ref<KBKeyboardManager>(dv::keepingForever([] { return alloc<KBKeyboardManager>()->init(); }));
    return *shared;
}

void KBKeyboardManager::load()
{
    sharedManager()->setEnable(true);
}

Ref<KBKeyboardManager> KBKeyboardManager::init()
{
    NSObject::init();
    // Only the first manager ever initialised listens and gets its settings; sharedManager makes
    // that one the shared manager.
    static std::once_flag setUp;
    std::call_once(setUp, [this] {
        auto me = self<KBKeyboardManager>();
        auto center = NSNotificationCenter::defaultCenter();
        center->addObserver(me, &KBKeyboardManager::keyboardWillShow, UIKeyboardWillShowNotification, nil);
        center->addObserver(me, &KBKeyboardManager::keyboardWillHide, UIKeyboardWillHideNotification, nil);
        center->addObserver(me, &KBKeyboardManager::keyboardDidHide, UIKeyboardDidHideNotification, nil);
        center->addObserver(
            me, &KBKeyboardManager::textFieldViewDidBeginEditing, UITextFieldTextDidBeginEditingNotification, nil);
        center->addObserver(
            me, &KBKeyboardManager::textFieldViewDidBeginEditing, UITextViewTextDidBeginEditingNotification, nil);
        center->addObserver(
            me, &KBKeyboardManager::textFieldViewDidEndEditing, UITextFieldTextDidEndEditingNotification, nil);
        center->addObserver(
            me, &KBKeyboardManager::textFieldViewDidEndEditing, UITextViewTextDidEndEditingNotification, nil);
        center->addObserver(me, &KBKeyboardManager::textFieldViewDidChange, UITextViewTextDidChangeNotification, nil);
        center->addObserver(me, &KBKeyboardManager::willChangeStatusBarOrientation,
            UIApplicationWillChangeStatusBarOrientationNotification, nil);

        m_tapGesture = alloc<UITapGestureRecognizer>();
        m_tapGesture->initWithTarget(me, "tapRecognized:");
        m_tapGesture->setCancelsTouchesInView(false);
        m_tapGesture->setDelegate(me);
        m_tapGesture->setEnabled(false);
        handleSetDefaults();
    });
    return self<KBKeyboardManager>();
}

void KBKeyboardManager::handleSetDefaults()
{
    m_enable = false;
    m_animationDuration = 0.25;
    m_animationCurve = 0;
    setKeyboardDistanceFromTextField(10.0);
    setCanAdjustTextView(false);
    setShouldPlayInputClicks(false);
    setShouldResignOnTouchOutside(false);
    setOverrideKeyboardAppearance(false);
    setKeyboardAppearance(UIKeyboardAppearanceDefault);
    setEnableAutoToolbar(true);
    setPreventShowingBottomBlankSpace(true);
    setShouldShowTextFieldPlaceholder(true);
    setShouldAdoptDefaultKeyboardAnimation(true);
    setShouldRestoreScrollViewContentOffset(false);
    setToolbarManageBehaviour(0);
    setLayoutIfNeededOnUpdate(false);
    // Table view controllers move their own fields; a platform without the class has none.
    addClass(m_disabledClasses, NSClassFromString("UITableViewController"_ns));
    addClass(m_toolbarPreviousNextConsideredClass, UITableView::class_());
    addClass(m_toolbarPreviousNextConsideredClass, UICollectionView::class_());
    setShouldToolbarUsesTextFieldTintColor(false);
    setShouldFixTextViewClip(true);
}

void KBKeyboardManager::resetSharedManager()
{
    auto manager = sharedManager();
    // Switching off puts back what the manager moved, as far as it is still there.
    manager->setEnable(false);
    if (auto window = manager->m_tapGesture->view())
        window->removeGestureRecognizer(manager->m_tapGesture);
    manager->m_textFieldView.reset();
    manager->m_textFieldViewIntialFrame = {};
    manager->m_topViewBeginRect = {};
    manager->m_rootViewController.reset();
    manager->m_layoutGuideConstraintInitialConstant = 0;
    manager->m_layoutGuideController.reset();
    manager->m_lastScrollView.reset();
    manager->m_startingContentInsets = {};
    manager->m_startingScrollIndicatorInsets = {};
    manager->m_startingContentOffset = {};
    manager->m_kbShowNotification = nil;
    manager->m_kbSize = {};
    manager->m_isTextFieldViewFrameChanged = false;
    manager->m_isKeyboardShowing = false;
    manager->m_toolbarTintColor = nil;
    manager->m_placeholderFont = nil;
    manager->m_disabledClasses.clear();
    manager->m_disabledToolbarClasses.clear();
    manager->m_toolbarPreviousNextConsideredClass.clear();
    manager->handleSetDefaults();
    cachedKeyWindow().reset();
    load();
}

KBKeyboardManager::~KBKeyboardManager()
{
    setEnable(false);
    NSNotificationCenter::defaultCenter()->removeObserver(static_cast<const NSObject*>(this));
}

// MARK: - Settings

void KBKeyboardManager::setEnable(bool enable)
{
    if (enable && !m_enable) {
        m_enable = true;
        if (m_kbShowNotification)
            keyboardWillShow(m_kbShowNotification);
    } else if (!enable && m_enable) {
        keyboardWillHide(nil);
        m_enable = false;
    }
}

void KBKeyboardManager::setKeyboardDistanceFromTextField(double distance)
{
    m_keyboardDistanceFromTextField = std::max(distance, 0.0);
}

void KBKeyboardManager::setShouldResignOnTouchOutside(bool resign)
{
    m_shouldResignOnTouchOutside = resign;
    if (m_tapGesture)
        m_tapGesture->setEnabled(resign);
}

void KBKeyboardManager::setEnableAutoToolbar(bool enable)
{
    m_enableAutoToolbar = enable;
    if (enable)
        addToolbarIfRequired();
    else
        removeToolbarIfRequired();
}

void KBKeyboardManager::disableDistanceHandlingInViewControllerClass(Class cls)
{
    addClass(m_disabledClasses, cls);
}
void KBKeyboardManager::removeDisableDistanceHandlingInViewControllerClass(Class cls)
{
    removeClass(m_disabledClasses, cls);
}
void KBKeyboardManager::disableToolbarInViewControllerClass(Class cls)
{
    addClass(m_disabledToolbarClasses, cls);
}
void KBKeyboardManager::removeDisableToolbarInViewControllerClass(Class cls)
{
    removeClass(m_disabledToolbarClasses, cls);
}
void KBKeyboardManager::considerToolbarPreviousNextInViewClass(Class cls)
{
    addClass(m_toolbarPreviousNextConsideredClass, cls);
}
void KBKeyboardManager::removeConsiderToolbarPreviousNextInViewClass(Class cls)
{
    removeClass(m_toolbarPreviousNextConsideredClass, cls);
}

Ref<UIWindow> KBKeyboardManager::keyWindow()
{
    if (auto field = m_textFieldView.lock(); field && field->window())
        return field->window();
    auto window = UIApplication::sharedApplication()->keyWindow();
    if (window)
        cachedKeyWindow() = window;
    return window ? window : cachedKeyWindow().lock();
}

// MARK: - Notifications

void KBKeyboardManager::keyboardWillShow(const Ref<NSNotification>& notification)
{
    m_kbShowNotification = notification;
    if (!m_enable)
        return;
    auto field = m_textFieldView.lock();
    if (!m_isTextFieldViewFrameChanged && field)
        m_textFieldViewIntialFrame = field->frame();
    // A begin rectangle without its controller is of no use: switching the manager off while the
    // keyboard showed has restored and let go of the controller, and the keyboard coming back must
    // take it again, or nothing would be put back when the keyboard goes.
    if (CGRectEqualToRect(m_topViewBeginRect, CGRectZero) || !m_rootViewController.lock()) {
        auto controller = handleRootController();
        m_rootViewController = controller;
        m_topViewBeginRect = controller ? controller->view()->frame() : CGRectZero;
    }
    auto info = notification ? notification->userInfo() : nil;
    if (m_shouldAdoptDefaultKeyboardAnimation) {
        auto curve = info ? dv::as<NSNumber>(info->objectForKey(UIKeyboardAnimationCurveUserInfoKey)) : nil;
        m_animationCurve = (curve ? curve->integerValue() : 0) << 16;
    } else {
        m_animationCurve = UIViewAnimationOptionCurveEaseOut;
    }
    handleTakeDuration(notification);
    const CGSize oldSize = m_kbSize;
    auto end = info ? dv::as<NSValue>(info->objectForKey(UIKeyboardFrameEndUserInfoKey)) : nil;
    m_kbSize = end ? end->CGRectValue().size : CGSizeZero;
    if (!CGSizeEqualToSize(oldSize, m_kbSize) && handleMayAdjust(field))
        adjustFrame();
}

void KBKeyboardManager::keyboardWillHide(const Ref<NSNotification>& notification)
{
    if (notification)
        m_kbShowNotification = nil;
    if (!m_enable)
        return;
    m_isKeyboardShowing = false;
    handleTakeDuration(notification);
    if (m_lastScrollView.lock()) {
        handleAnimate([this] {
            auto scrollView = m_lastScrollView.lock();
            if (!scrollView)
                return;
            scrollView->setContentInset(m_startingContentInsets);
            scrollView->setScrollIndicatorInsets(m_startingScrollIndicatorInsets);
            if (::shouldRestoreScrollViewContentOffset(scrollView))
                scrollView->setContentOffset(m_startingContentOffset);
            // Nothing may stay scrolled past the end of its content once the inset is gone.
            for (auto view = scrollView; view;
                 view = dv::as<UIScrollView>(superviewOfClassType(view, UIScrollView::class_()))) {
                const CGFloat height = view->frame().size.height;
                const CGFloat maxY = std::max(view->contentSize().height, height) - height;
                if (maxY < view->contentOffset().y)
                    view->setContentOffset(CGPointMake(view->contentOffset().x, maxY));
            }
        });
    }
    if (!CGRectEqualToRect(m_topViewBeginRect, CGRectZero)) {
        if (auto controller = m_rootViewController.lock()) {
            if (dv::internal::toolkit::isKeyboardNewSystem())
                m_topViewBeginRect.size = controller->view()->frame().size;
            handleAnimate([this] { handleRestoreRootView(); });
            m_rootViewController.reset();
        }
    }
    m_lastScrollView.reset();
    m_layoutGuideController.reset();
    m_kbSize = CGSizeZero;
    m_startingContentInsets = UIEdgeInsetsZero;
    m_startingScrollIndicatorInsets = UIEdgeInsetsZero;
    m_startingContentOffset = CGPointZero;
}

void KBKeyboardManager::keyboardDidHide(const Ref<NSNotification>&)
{
    m_topViewBeginRect = CGRectZero;
}

void KBKeyboardManager::textFieldViewDidBeginEditing(const Ref<NSNotification>& notification)
{
    auto field = dv::as<UIView>(notification->object());
    m_textFieldView = field;
    if (!field)
        return;
    auto* traits = dynamic_cast<UITextInputTraits*>(field.get());
    if (m_overrideKeyboardAppearance && traits && traits->keyboardAppearance() != m_keyboardAppearance) {
        traits->setKeyboardAppearance(m_keyboardAppearance);
        field->reloadInputViews();
    }
    if (!m_isTextFieldViewFrameChanged)
        m_textFieldViewIntialFrame = field->frame();
    if (m_enableAutoToolbar) {
        if (dv::as<UITextView>(field) && !field->inputAccessoryView()) {
            // A text view's keyboard is already announced: it is shown again, with the toolbar,
            // once the toolbar is in place.
            Weak<KBKeyboardManager> weakSelf = self<KBKeyboardManager>();
            Weak<UIView> weakField = field;
            UIView::animateWithDuration(
                0.00001, 0, m_animationCurve | UIViewAnimationOptionBeginFromCurrentState,
                [this] { addToolbarIfRequired(); },
                [weakSelf, weakField](bool) {
                    auto self = weakSelf.lock();
                    auto view = weakField.lock();
                    if (!self || !view)
                        return;
                    if (self->m_isTextFieldViewFrameChanged) {
                        self->m_isTextFieldViewFrameChanged = false;
                        view->setFrame(self->m_textFieldViewIntialFrame);
                    }
                    view->reloadInputViews();
                });
        } else {
            addToolbarIfRequired();
        }
    }
    if (!m_enable)
        return;
    if (auto window = field->window())
        window->addGestureRecognizer(m_tapGesture);
    if (!m_isKeyboardShowing) {
        auto constraint = KBLayoutGuideConstraint(viewController(field));
        m_layoutGuideConstraintInitialConstant = constraint ? constraint->constant() : 0;
        auto controller = handleRootController();
        m_rootViewController = controller;
        m_topViewBeginRect = controller ? controller->view()->frame() : CGRectZero;
    }
    if (handleMayAdjust(field))
        adjustFrame();
}

void KBKeyboardManager::textFieldViewDidEndEditing(const Ref<NSNotification>& notification)
{
    auto field = dv::as<UIView>(notification ? notification->object() : nil);
    if (!field)
        field = m_textFieldView.lock();
    if (auto window = field ? field->window() : nil; window && m_tapGesture)
        window->removeGestureRecognizer(m_tapGesture);
    if (m_isTextFieldViewFrameChanged)
        handleAnimate([this] { handleRestoreTextViewFrame(); });
    m_textFieldView.reset();
}

void KBKeyboardManager::willChangeStatusBarOrientation(const Ref<NSNotification>&)
{
    if (m_isTextFieldViewFrameChanged)
        handleAnimate([this] { handleRestoreTextViewFrame(); });
}

void KBKeyboardManager::textFieldViewDidChange(const Ref<NSNotification>& notification)
{
    auto textView = dv::as<UITextView>(notification ? notification->object() : nil);
    if (!m_shouldFixTextViewClip || !textView)
        return;
    const CGRect caret = textView->caretRectForPosition(textView->selectedTextRange()->start());
    const UIEdgeInsets inset = textView->contentInset();
    const CGFloat offsetY = textView->contentOffset().y;
    const CGFloat overflow
        = CGRectGetMaxY(caret) - (offsetY + textView->bounds().size.height - inset.bottom - inset.top);
    if (overflow > 0 && overflow < FLT_MAX) {
        // A 7-point margin under the caret line.
        handleAnimate([textView, offsetY, overflow] {
            textView->setContentOffset(CGPointMake(textView->contentOffset().x, offsetY + overflow + 7));
        });
    }
}

// MARK: - Touch outside

void KBKeyboardManager::tapRecognized(const Ref<UIGestureRecognizer>& gesture)
{
    if (gesture && gesture->state() == UIGestureRecognizerStateEnded)
        resignFirstResponder();
}

std::optional<bool> KBKeyboardManager::gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
    const Ref<UIGestureRecognizer>&, const Ref<UIGestureRecognizer>&)
{
    return false;
}

std::optional<bool> KBKeyboardManager::gestureRecognizerShouldReceiveTouch(
    const Ref<UIGestureRecognizer>&, const Ref<UITouch>& touch)
{
    auto view = touch ? touch->view() : nil;
    return !dv::as<UIControl>(view) && !dv::as<UINavigationBar>(view);
}

namespace dv {

void installKeyboardManager()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        KBToolbar::load();
        KBBarButtonItem::load();
        KBKeyboardManager::load();
    });
}

} // namespace dv
