// KBKeyboardManager: keeps the text field or text view being edited visible above the keyboard,
// with no code in the screens. One object for the process (sharedManager), switched on by
// dv::installKeyboardManager at start. It listens to the keyboard's, the fields' editing and the
// status bar's notifications; when the keyboard comes up or the focus moves, it works out how far
// the field is covered and removes the overlap by scrolling the enclosing scroll views (and
// enlarging the nearest one's bottom inset), by changing the constant of the controller's
// layout-guide constraint, or by moving the top-most controller's view up; when the keyboard goes
// it puts everything back. A tap outside the field (not on a control or a navigation bar) ends
// editing when shouldResignOnTouchOutside is set, and the previous/next/done toolbar over the
// keyboard is its doing too (see KBToolbar.h).
//
// It holds the field, the moved controller and the scroll view weakly: one that goes away is
// simply not restored. Main thread only.
//
//   dv::installKeyboardManager();                  // once, at start
//   auto manager = KBKeyboardManager::sharedManager();
//   manager->setShouldResignOnTouchOutside(true);
//   manager->setEnableAutoToolbar(false);
#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/NSObject.h"
#include "platform/ui/UIGeometry.h"
#include "platform/ui/UIGestureRecognizer.h"
#include "platform/ui/UITextInputTraits.h"

#include <functional>
#include <optional>
#include <vector>

class NSArray;
class NSLayoutConstraint;
class NSNotification;
class UIColor;
class UIFont;
class UIScrollView;
class UITapGestureRecognizer;
class UITouch;
class UIView;
class UIViewController;
class UIWindow;

namespace dv::internal::toolkit {
struct KeyboardScene;
}

class KBKeyboardManager : public NSObject, public UIGestureRecognizerDelegate {
    DV_CLASS(KBKeyboardManager, NSObject)

    // Every setting starts zero, NO or nil; init sets up (observers, recogniser, defaults) only
    // the first manager ever initialised, which sharedManager makes sure is the shared one.
    KBKeyboardManager() = default;
    ~KBKeyboardManager() override;
    Ref<KBKeyboardManager> init();

    static Ref<KBKeyboardManager> sharedManager();
    // What the class does when it loads: the shared manager, enabled.
    static void load();
    // The shared manager as a new process finds it once the class has loaded, for a process that
    // starts the application again (the runner's relaunch): settings at their defaults, enabled,
    // and nothing known of a keyboard, a field or what it moved.
    static void resetSharedManager();

    // The master switch. Switching off while the keyboard is up restores everything at once;
    // switching on again applies the keyboard's last will-show notification.
    bool isEnabled() const { return m_enable; }
    void setEnable(bool enable);
    // The gap kept between the field's bottom and the keyboard's top (10); never below 0. A
    // field's own distance (UIViewAdditions.h) comes first.
    double keyboardDistanceFromTextField() const { return m_keyboardDistanceFromTextField; }
    void setKeyboardDistanceFromTextField(double distance);
    // The controller's view is not moved so far up that blank space shows under it (YES).
    bool preventShowingBottomBlankSpace() const { return m_preventShowingBottomBlankSpace; }
    void setPreventShowingBottomBlankSpace(bool prevent) { m_preventShowingBottomBlankSpace = prevent; }
    // The previous/next/done toolbar on every field that begins editing (YES). Setting it adds or
    // removes the toolbar of the current field's group at once.
    bool isEnableAutoToolbar() const { return m_enableAutoToolbar; }
    void setEnableAutoToolbar(bool enable);
    // The order of previous and next: 0 subview order, 1 by tag, 2 by position.
    NSInteger toolbarManageBehaviour() const { return m_toolbarManageBehaviour; }
    void setToolbarManageBehaviour(NSInteger behaviour) { m_toolbarManageBehaviour = behaviour; }
    // The toolbar takes the field's tint (NO), else toolbarTintColor, else black.
    bool shouldToolbarUsesTextFieldTintColor() const { return m_shouldToolbarUsesTextFieldTintColor; }
    void setShouldToolbarUsesTextFieldTintColor(bool uses) { m_shouldToolbarUsesTextFieldTintColor = uses; }
    Ref<UIColor> toolbarTintColor() const { return m_toolbarTintColor; }
    void setToolbarTintColor(const Ref<UIColor>& color) { m_toolbarTintColor = color; }
    // The toolbar's title is the field's placeholder (YES), in placeholderFont when set.
    bool shouldShowTextFieldPlaceholder() const { return m_shouldShowTextFieldPlaceholder; }
    void setShouldShowTextFieldPlaceholder(bool show) { m_shouldShowTextFieldPlaceholder = show; }
    Ref<UIFont> placeholderFont() const { return m_placeholderFont; }
    void setPlaceholderFont(const Ref<UIFont>& font) { m_placeholderFont = font; }
    // A text view outside any scroll view may be made shorter to fit above the keyboard (NO).
    bool canAdjustTextView() const { return m_canAdjustTextView; }
    void setCanAdjustTextView(bool can) { m_canAdjustTextView = can; }
    // While typing in a text view, the caret line is scrolled into sight (YES).
    bool shouldFixTextViewClip() const { return m_shouldFixTextViewClip; }
    void setShouldFixTextViewClip(bool fix) { m_shouldFixTextViewClip = fix; }
    // Every field that begins editing gets keyboardAppearance (NO).
    bool overrideKeyboardAppearance() const { return m_overrideKeyboardAppearance; }
    void setOverrideKeyboardAppearance(bool override) { m_overrideKeyboardAppearance = override; }
    UIKeyboardAppearance keyboardAppearance() const { return m_keyboardAppearance; }
    void setKeyboardAppearance(UIKeyboardAppearance appearance) { m_keyboardAppearance = appearance; }
    // A tap outside the field ends editing (NO).
    bool shouldResignOnTouchOutside() const { return m_shouldResignOnTouchOutside; }
    void setShouldResignOnTouchOutside(bool resign);
    // The keyboard's click sounds on previous, next and done (NO).
    bool shouldPlayInputClicks() const { return m_shouldPlayInputClicks; }
    void setShouldPlayInputClicks(bool play) { m_shouldPlayInputClicks = play; }
    // Moves follow the keyboard's own animation curve (YES), else ease out.
    bool shouldAdoptDefaultKeyboardAnimation() const { return m_shouldAdoptDefaultKeyboardAnimation; }
    void setShouldAdoptDefaultKeyboardAnimation(bool adopt) { m_shouldAdoptDefaultKeyboardAnimation = adopt; }
    // The moved view is laid out again after each move (NO).
    bool layoutIfNeededOnUpdate() const { return m_layoutIfNeededOnUpdate; }
    void setLayoutIfNeededOnUpdate(bool layout) { m_layoutIfNeededOnUpdate = layout; }
    // Kept only: each scroll view's own setting (UIViewAdditions.h) decides.
    bool shouldRestoreScrollViewContentOffset() const { return m_shouldRestoreScrollViewContentOffset; }
    void setShouldRestoreScrollViewContentOffset(bool restore) { m_shouldRestoreScrollViewContentOffset = restore; }

    // Controllers of these classes (or subclasses) are never adjusted.
    void disableDistanceHandlingInViewControllerClass(Class cls);
    void removeDisableDistanceHandlingInViewControllerClass(Class cls);
    void disableInViewControllerClass(Class cls) { disableDistanceHandlingInViewControllerClass(cls); }
    void removeDisableInViewControllerClass(Class cls) { removeDisableDistanceHandlingInViewControllerClass(cls); }
    std::vector<Class> disabledInViewControllerClasses() const { return m_disabledClasses; }
    // Controllers of these classes get no automatic toolbar.
    void disableToolbarInViewControllerClass(Class cls);
    void removeDisableToolbarInViewControllerClass(Class cls);
    std::vector<Class> disabledToolbarInViewControllerClasses() const { return m_disabledToolbarClasses; }
    // Containers whose whole subtree is one previous/next chain (table and collection views).
    void considerToolbarPreviousNextInViewClass(Class cls);
    void removeConsiderToolbarPreviousNextInViewClass(Class cls);
    std::vector<Class> consideredToolbarPreviousNextViewClasses() const { return m_toolbarPreviousNextConsideredClass; }

    // The field's window, else the application's key window (remembered for when there is none).
    Ref<UIWindow> keyWindow();
    // Moves the top-most controller's view to `frame` (its origin only, on current systems).
    void setRootViewFrame(CGRect frame);
    // Removes the overlap of the edited field and the keyboard.
    void adjustFrame();

    // Focus and toolbar (KBKeyboardManagerToolbar.cpp).
    // The edited field resigns; one that refuses is given the focus back and NO is answered.
    bool resignFirstResponder();
    bool canGoPrevious();
    bool canGoNext();
    // The field before (after) the edited one takes the focus; when it refuses the edited one
    // keeps it and NO is answered.
    bool goPrevious();
    bool goNext();
    // The fields previous and next walk through: the whole table or collection view the field is
    // in (by position), else the field and its siblings in toolbarManageBehaviour's order.
    Ref<NSArray> responderViews();
    void addToolbarIfRequired();
    void removeToolbarIfRequired();
    // The toolbar's buttons (target-action).
    void previousAction(const id& sender);
    void nextAction(const id& sender);
    void doneAction(const id& sender);

    // The tap outside the field (target-action): ends editing once recognised.
    void tapRecognized(const Ref<UIGestureRecognizer>& gesture);
    // UIGestureRecognizerDelegate: the tap outside shares no touch and leaves controls and
    // navigation bars alone.
    std::optional<bool> gestureRecognizerShouldRecognizeSimultaneouslyWithGestureRecognizer(
        const Ref<UIGestureRecognizer>&, const Ref<UIGestureRecognizer>& other) override;
    std::optional<bool> gestureRecognizerShouldReceiveTouch(
        const Ref<UIGestureRecognizer>&, const Ref<UITouch>& touch) override;

private:
    // Notification handlers.
    void keyboardWillShow(const Ref<NSNotification>& notification);
    void keyboardWillHide(const Ref<NSNotification>& notification);
    void keyboardDidHide(const Ref<NSNotification>& notification);
    void textFieldViewDidBeginEditing(const Ref<NSNotification>& notification);
    void textFieldViewDidEndEditing(const Ref<NSNotification>& notification);
    void textFieldViewDidChange(const Ref<NSNotification>& notification);
    void willChangeStatusBarOrientation(const Ref<NSNotification>& notification);

    // The settings init gives the first manager.
    void handleSetDefaults();
    // Helpers of the adjustment (KBKeyboardManagerAdjust.cpp).
    Ref<UIViewController> handleRootController();
    bool handleMayAdjust(const Ref<UIView>& field) const;
    void handleAnimate(const std::function<void()>& animations, const std::function<void(bool)>& completion = {}) const;
    void handleTakeDuration(const Ref<NSNotification>& notification);
    void handleSaveScrollView(const Ref<UIScrollView>& scrollView);
    void handleRestoreLastScrollView();
    void handleRestoreRootView();
    void handleRestoreTextViewFrame();
    // The steps of adjustFrame, in order. The scroll view around the field becomes the one whose
    // insets are ours (the last one's are given back). The field's scroll views scroll it up by
    // as much of `move` as they can; the rest is answered. The scroll view gets room under its
    // content for the keyboard. The layout-guide constraint takes `constant`. A text view is made
    // shorter. A sheet, or else the top-most controller's view, moves by `move`.
    void handleTakeScrollView(const Ref<UIScrollView>& superScrollView);
    CGFloat handleScrollToField(const Ref<UIView>& field, const Ref<UIViewController>& fieldController,
        const Ref<UIScrollView>& scrollView, const dv::internal::toolkit::KeyboardScene& scene, CGFloat move);
    void handleMakeRoomUnderContent(const Ref<UIScrollView>& scrollView, const dv::internal::toolkit::KeyboardScene& scene);
    void handleMoveLayoutGuide(const Ref<NSLayoutConstraint>& constraint, CGFloat constant, const Ref<UIViewController>& fieldController);
    void handleShortenTextView(const Ref<UIView>& field, const dv::internal::toolkit::KeyboardScene& scene);
    void handleMoveSheet(CGRect viewFrame, const dv::internal::toolkit::KeyboardScene& scene, CGFloat move);
    void handleMoveRootView(CGRect viewFrame, const dv::internal::toolkit::KeyboardScene& scene, CGFloat move);
    // The toolbar's look for field F (KBKeyboardManagerToolbar.cpp).
    void handleStyleToolbar(const Ref<UIView>& field);

    Weak<UIView> m_textFieldView;
    CGRect m_textFieldViewIntialFrame {};
    CGRect m_topViewBeginRect {};
    Weak<UIViewController> m_rootViewController;
    CGFloat m_layoutGuideConstraintInitialConstant = 0;
    // The controller whose layout-guide constraint was changed: the field (and with it the way to
    // its controller) is gone by the time the keyboard hides.
    Weak<UIViewController> m_layoutGuideController;
    Weak<UIScrollView> m_lastScrollView;
    UIEdgeInsets m_startingContentInsets {};
    UIEdgeInsets m_startingScrollIndicatorInsets {};
    CGPoint m_startingContentOffset {};
    Ref<NSNotification> m_kbShowNotification;
    CGSize m_kbSize {};
    NSTimeInterval m_animationDuration = 0;
    NSInteger m_animationCurve = 0;
    Ref<UITapGestureRecognizer> m_tapGesture;
    std::vector<Class> m_disabledClasses;
    std::vector<Class> m_disabledToolbarClasses;
    std::vector<Class> m_toolbarPreviousNextConsideredClass;
    bool m_isTextFieldViewFrameChanged = false;
    bool m_isKeyboardShowing = false;

    bool m_enable = false;
    double m_keyboardDistanceFromTextField = 0;
    bool m_preventShowingBottomBlankSpace = false;
    bool m_enableAutoToolbar = false;
    NSInteger m_toolbarManageBehaviour = 0;
    bool m_shouldToolbarUsesTextFieldTintColor = false;
    Ref<UIColor> m_toolbarTintColor;
    bool m_shouldShowTextFieldPlaceholder = false;
    Ref<UIFont> m_placeholderFont;
    bool m_canAdjustTextView = false;
    bool m_shouldFixTextViewClip = false;
    bool m_overrideKeyboardAppearance = false;
    UIKeyboardAppearance m_keyboardAppearance = UIKeyboardAppearanceDefault;
    bool m_shouldResignOnTouchOutside = false;
    bool m_shouldPlayInputClicks = false;
    bool m_shouldAdoptDefaultKeyboardAnimation = false;
    bool m_layoutIfNeededOnUpdate = false;
    bool m_shouldRestoreScrollViewContentOffset = false;
};

namespace dv {

// What the keyboard classes do when they load: the shared manager, enabled, and the toolbar's
// appearance rules reset. Once per process (later calls do nothing); the application's entry
// calls it, and tests.
void installKeyboardManager();

} // namespace dv
