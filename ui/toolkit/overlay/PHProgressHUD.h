// PHProgressHUD: the progress overlay. It covers its host view (a screen's view or the window),
// optionally dims it, and draws in the middle a translucent rounded box holding an indicator (a
// spinner, a round, ring or bar progress view, or any view), a one-line text and a details text
// of any number of lines. It fades (or zooms) in and out, can wait a grace time before it appears
// while a task runs, stays at least a minimum time once shown, and says that it was hidden
// through its completion block, then its delegate.
//
// The host owns the overlay (it is a subview); the overlay owns its labels, indicator, timers and
// completion block, and holds its delegate weakly. It observes its own properties: a change of
// the texts, fonts, colours, mode, custom view or progress shows at once, also when made on
// another thread (the update then follows on the main thread). Everything else runs on the main
// thread.
//
//   auto hud = PHProgressHUD::showHUDAddedTo(view, true);
//   hud->setLabelText("正在加载"_ns);
//   ...
//   PHProgressHUD::hideHUDForView(view, true);
//
// Timers and delayed hides belong to one showing: showing again or hiding drops every timer and
// delayed request left from before, and a fade-out that a new show interrupted never ends that
// show. The completion block and the delegate are told once per hide that completes.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/Observable.h"
#include "platform/ui/UIView.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

class NSTimer;
class NSNotification;
class UILabel;
class PHProgressHUD;

// What the box shows above its texts.
enum PHProgressHUDMode : NSInteger {
    PHProgressHUDModeIndeterminate = 0,           // a large white activity indicator, animating
    PHProgressHUDModeDeterminate = 1,             // a round progress view, pie style
    PHProgressHUDModeDeterminateHorizontalBar = 2, // a bar progress view
    PHProgressHUDModeAnnularDeterminate = 3,      // a round progress view, ring style
    PHProgressHUDModeCustomView = 4,              // the customView
    PHProgressHUDModeText = 5,                    // nothing: texts only
};

// How the overlay appears and goes. Both zooms also fade.
enum PHProgressHUDAnimation : NSInteger {
    PHProgressHUDAnimationFade = 0,
    PHProgressHUDAnimationZoomOut = 1, // appears shrinking from 1.5 times, goes shrinking to 0.5
    PHProgressHUDAnimationZoomIn = 2,  // appears growing from 0.5 times, goes growing to 1.5
};

class PHProgressHUDDelegate {
public:
    virtual ~PHProgressHUDDelegate() = default;
    // After the overlay was hidden (and removed, when it removes itself), after its completion
    // block. Optional: the default answers false, "not implemented".
    virtual bool hudWasHidden(const Ref<PHProgressHUD>& hud)
    {
        (void)hud;
        return false;
    }
};

class PHProgressHUD : public UIView, public dv::Observable {
    DV_CLASS(PHProgressHUD, UIView)

    using CompletionBlock = std::function<void()>;
    using ExecutionBlock = std::function<void()>;

    PHProgressHUD() = default;
    ~PHProgressHUD() override;

    // A new overlay over `view`, made to remove itself when hidden, added as the view's topmost
    // subview and shown.
    static Ref<PHProgressHUD> showHUDAddedTo(const Ref<UIView>& view, bool animated);
    // Hides the view's topmost overlay (a toast too) and has it removed; NO when there is none.
    static bool hideHUDForView(const Ref<UIView>& view, bool animated);
    // Hides every overlay of the view, each removed when hidden; answers how many.
    static NSUInteger hideAllHUDsForView(const Ref<UIView>& view, bool animated);
    // The topmost overlay among the view's direct subviews, nil when none.
    static Ref<PHProgressHUD> HUDForView(const Ref<UIView>& view);
    // Every overlay among the view's direct subviews, bottom to top.
    static Ref<NSArray> allHUDsForView(const Ref<UIView>& view);

    // Toasts and the loading overlay every screen uses (PHProgressHUDAdd.cpp). A nil view means
    // the application's key window; with no key window the overlay has no host and nothing shows.
    // Icons are looked up as "PHProgressHUD.bundle/<icon>" among the application's images.
    // An icon toast: the text under the icon; it hides itself 0.7 s after it appears (then fades
    // for 0.3 s) and is removed.
    static void show(const Ref<NSString>& text, const Ref<NSString>& icon, const Ref<UIView>& view);
    static void showError(const Ref<NSString>& text, const Ref<UIView>& view);   // "error.png"
    static void showSuccess(const Ref<NSString>& text, const Ref<UIView>& view); // "success.png"
    // A dimmed loading overlay with a spinner and the text, until the caller hides it
    // (hideHUDForView); removed when hidden.
    static Ref<PHProgressHUD> showMessag(const Ref<NSString>& text, const Ref<UIView>& view);

    Ref<PHProgressHUD> init();
    Ref<PHProgressHUD> initWithFrame(CGRect frame);
    // The view's bounds as frame; the overlay is not added to the view.
    Ref<PHProgressHUD> initWithView(const Ref<UIView>& view);
    Ref<PHProgressHUD> initWithWindow(const Ref<UIWindow>& window);

    // Shows at once, or, with a grace time, only if a task is still in progress when it ends.
    void show(bool animated);
    // Hides, after the rest of the minimum show time when one is set.
    void hide(bool animated);
    // hide(animated) after `delay` seconds, unless the overlay is shown again or hidden before.
    void hide(bool animated, NSTimeInterval delay);

    // Runs the method on a new thread while the overlay shows; hides when it returns. The target
    // and object are kept until then.
    void showWhileExecuting(SEL method, const id& target, const id& object, bool animated);
    // Runs the block on a queue (the default global queue unless given) while the overlay shows;
    // hides when it returns, then runs `completion` (the completion block) on the main thread.
    void showAnimated(bool animated, ExecutionBlock block);
    void showAnimated(bool animated, ExecutionBlock block, CompletionBlock completion);
    void showAnimated(bool animated, ExecutionBlock block, const dispatch_queue_t& queue);
    void showAnimated(bool animated, ExecutionBlock block, const dispatch_queue_t& queue, CompletionBlock completion);

    // Properties. Changes of mode, customView, the texts, fonts and colours, progress and the
    // indicator colour show at once; the others at the next layout, drawing or show.
    PHProgressHUDMode mode() const { return m_mode.load(); }
    void setMode(PHProgressHUDMode mode);
    PHProgressHUDAnimation animationType() const { return m_animationType; }
    void setAnimationType(PHProgressHUDAnimation type) { m_animationType = type; }
    Ref<UIView> customView() const;
    void setCustomView(const Ref<UIView>& view);
    Ref<PHProgressHUDDelegate> delegate() const;
    void setDelegate(const Ref<PHProgressHUDDelegate>& delegate);
    Ref<NSString> labelText() const;
    void setLabelText(const Ref<NSString>& text);
    Ref<NSString> detailsLabelText() const;
    void setDetailsLabelText(const Ref<NSString>& text);
    // The box's alpha while no colour is set.
    float opacity() const { return m_opacity; }
    void setOpacity(float opacity) { m_opacity = opacity; }
    // The box's fill; when set, opacity is not used.
    Ref<UIColor> color() const;
    void setColor(const Ref<UIColor>& color);
    Ref<UIFont> labelFont() const;
    void setLabelFont(const Ref<UIFont>& font);
    Ref<UIColor> labelColor() const;
    void setLabelColor(const Ref<UIColor>& color);
    Ref<UIFont> detailsLabelFont() const;
    void setDetailsLabelFont(const Ref<UIFont>& font);
    Ref<UIColor> detailsLabelColor() const;
    void setDetailsLabelColor(const Ref<UIColor>& color);
    // The spinner's and the round progress view's colour.
    Ref<UIColor> activityIndicatorColor() const;
    void setActivityIndicatorColor(const Ref<UIColor>& color);
    // The box's displacement from the middle.
    float xOffset() const { return m_xOffset; }
    void setXOffset(float offset) { m_xOffset = offset; }
    float yOffset() const { return m_yOffset; }
    void setYOffset(float offset) { m_yOffset = offset; }
    // Between the box's edge and its contents.
    float margin() const { return m_margin; }
    void setMargin(float margin) { m_margin = margin; }
    float cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(float radius) { m_cornerRadius = radius; }
    // A radial shade over the whole host, darker towards the edges.
    bool dimBackground() const { return m_dimBackground; }
    void setDimBackground(bool dim) { m_dimBackground = dim; }
    float graceTime() const { return m_graceTime; }
    void setGraceTime(float seconds) { m_graceTime = seconds; }
    float minShowTime() const { return m_minShowTime; }
    void setMinShowTime(float seconds) { m_minShowTime = seconds; }
    bool taskInProgress() const { return m_taskInProgress.load(); }
    void setTaskInProgress(bool inProgress) { m_taskInProgress = inProgress; }
    bool removeFromSuperViewOnHide() const { return m_removeFromSuperViewOnHide; }
    void setRemoveFromSuperViewOnHide(bool remove) { m_removeFromSuperViewOnHide = remove; }
    // 0 to 1, handed to a determinate indicator.
    float progress() const { return m_progress.load(); }
    void setProgress(float progress);
    CGSize minSize() const { return m_minSize; }
    void setMinSize(CGSize size) { m_minSize = size; }
    // The box's size, from the last layout.
    CGSize size() const { return m_size; }
    // The box square where it fits.
    bool isSquare() const { return m_square; }
    void setSquare(bool square) { m_square = square; }
    // Run once, after the overlay has been hidden.
    CompletionBlock completionBlock() const;
    void setCompletionBlock(CompletionBlock block);

    void layoutSubviews() override;
    void drawRect(CGRect rect) override;
    void didMoveToSuperview() override;

private:
    // Timers and delayed requests.
    void hideDelayed(const Ref<NSNumber>& animated);
    void handleGraceTimer(const Ref<NSTimer>& timer);
    void handleMinShowTimer(const Ref<NSTimer>& timer);
    void invalidateTimers();
    // Showing and hiding.
    void showUsingAnimation(bool animated);
    void hideUsingAnimation(bool animated);
    void animationFinished(bool finished, std::uint64_t generation);
    void done();
    // Tasks.
    void launchExecution(SEL method, const id& target, const id& object);
    void cleanUp();
    // Subviews and looks.
    void setupLabels();
    void updateIndicators();
    void registerForKVO();
    void unregisterFromKVO();
    static const std::vector<const char*>& observableKeypaths();
    void updateUIForKeypath(std::string_view keyPath);
    void registerForNotifications();
    void unregisterFromNotifications();
    void statusBarOrientationDidChange(const Ref<NSNotification>& notification);
    void updateForCurrentOrientationAnimated(bool animated);
    Ref<UIView> indicator() const { return m_indicator; }

    // Object-typed properties may be read and set from any thread.
    mutable dv::Mutex m_propertyLock;
    Ref<UIView> m_customView DV_GUARDED_BY(m_propertyLock);
    Weak<PHProgressHUDDelegate> m_delegate DV_GUARDED_BY(m_propertyLock);
    Ref<NSString> m_labelText DV_GUARDED_BY(m_propertyLock);
    Ref<NSString> m_detailsLabelText DV_GUARDED_BY(m_propertyLock);
    Ref<UIColor> m_color DV_GUARDED_BY(m_propertyLock);
    Ref<UIFont> m_labelFont DV_GUARDED_BY(m_propertyLock);
    Ref<UIColor> m_labelColor DV_GUARDED_BY(m_propertyLock);
    Ref<UIFont> m_detailsLabelFont DV_GUARDED_BY(m_propertyLock);
    Ref<UIColor> m_detailsLabelColor DV_GUARDED_BY(m_propertyLock);
    Ref<UIColor> m_activityIndicatorColor DV_GUARDED_BY(m_propertyLock);
    CompletionBlock m_completionBlock DV_GUARDED_BY(m_propertyLock);

    std::atomic<PHProgressHUDMode> m_mode {PHProgressHUDModeIndeterminate};
    std::atomic<float> m_progress {0};
    std::atomic<bool> m_taskInProgress {false};
    PHProgressHUDAnimation m_animationType = PHProgressHUDAnimationFade;
    float m_opacity = 0.8f;
    float m_xOffset = 0;
    float m_yOffset = 0;
    float m_margin = 20;
    float m_cornerRadius = 10;
    float m_graceTime = 0;
    float m_minShowTime = 0;
    bool m_dimBackground = false;
    bool m_removeFromSuperViewOnHide = false;
    bool m_square = false;
    CGSize m_minSize {};
    CGSize m_size {};

    Ref<UIView> m_indicator;
    Ref<UILabel> m_label;
    Ref<UILabel> m_detailsLabel;
    Ref<NSTimer> m_graceTimer;
    Ref<NSTimer> m_minShowTimer;
    std::optional<NSTimeInterval> m_showStarted; // clock time of the last show; unset while hidden
    bool m_useAnimation = false;
    // Counts shows and hides: a fade-out ends the overlay only if nothing came after it.
    std::uint64_t m_generation = 0;
    CGAffineTransform m_rotationTransform = CGAffineTransformIdentity;
    std::vector<dv::ObservationToken> m_observations;
};
