// The overlay's life: creation, the class operations over a host's subviews, showing and hiding
// with their timers, and the task variants. Looks (subviews, layout, drawing, observation) are in
// PHProgressHUDLooks.cpp.
#include "ui/toolkit/overlay/PHProgressHUD.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSNumber.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSThread.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/graphics/UIColor.h"
#include "platform/graphics/UIFont.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UIWindow.h"

DV_DEFINE_CLASS_WITH(PHProgressHUD, b)
{
    b.property<float>("progress", "Tf,N", [](const PHProgressHUD& h) { return h.progress(); },
        [](PHProgressHUD& h, float p) { h.setProgress(p); });
    b.property<NSInteger>("mode", "Tq,N", [](const PHProgressHUD& h) { return NSInteger(h.mode()); },
        [](PHProgressHUD& h, NSInteger m) { h.setMode(PHProgressHUDMode(m)); });
    b.property<Ref<NSString>>("labelText", "T@\"NSString\",C", [](const PHProgressHUD& h) { return h.labelText(); },
        [](PHProgressHUD& h, Ref<NSString> t) { h.setLabelText(t); });
    b.property<Ref<NSString>>("detailsLabelText", "T@\"NSString\",C", [](const PHProgressHUD& h) { return h.detailsLabelText(); },
        [](PHProgressHUD& h, Ref<NSString> t) { h.setDetailsLabelText(t); });
    b.property<Ref<UIView>>("customView", "T@\"UIView\",&", [](const PHProgressHUD& h) { return h.customView(); },
        [](PHProgressHUD& h, Ref<UIView> v) { h.setCustomView(v); });
    b.property<Ref<UIFont>>("labelFont", "T@\"UIFont\",&", [](const PHProgressHUD& h) { return h.labelFont(); },
        [](PHProgressHUD& h, Ref<UIFont> f) { h.setLabelFont(f); });
    b.property<Ref<UIColor>>("labelColor", "T@\"UIColor\",&", [](const PHProgressHUD& h) { return h.labelColor(); },
        [](PHProgressHUD& h, Ref<UIColor> c) { h.setLabelColor(c); });
    b.property<Ref<UIFont>>("detailsLabelFont", "T@\"UIFont\",&", [](const PHProgressHUD& h) { return h.detailsLabelFont(); },
        [](PHProgressHUD& h, Ref<UIFont> f) { h.setDetailsLabelFont(f); });
    b.property<Ref<UIColor>>("detailsLabelColor", "T@\"UIColor\",&", [](const PHProgressHUD& h) { return h.detailsLabelColor(); },
        [](PHProgressHUD& h, Ref<UIColor> c) { h.setDetailsLabelColor(c); });
    b.property<Ref<UIColor>>("activityIndicatorColor", "T@\"UIColor\",&", [](const PHProgressHUD& h) { return h.activityIndicatorColor(); },
        [](PHProgressHUD& h, Ref<UIColor> c) { h.setActivityIndicatorColor(c); });
}

namespace {

constexpr NSTimeInterval kAnimationDuration = 0.3;
// Identifies the delayed hide among the overlay's delayed requests.
constexpr int kHideDelayedTag = 0;

NSTimeInterval now() { return dv::Clock::current().now(); }

} // namespace

// MARK: - Class operations

Ref<PHProgressHUD> PHProgressHUD::showHUDAddedTo(const Ref<UIView>& view, bool animated)
{
    auto hud = alloc<PHProgressHUD>()->initWithView(view);
    hud->setRemoveFromSuperViewOnHide(true);
    if (view)
        view->addSubview(hud);
    hud->show(animated);
    return hud;
}

bool PHProgressHUD::hideHUDForView(const Ref<UIView>& view, bool animated)
{
    auto hud = HUDForView(view);
    if (!hud)
        return false;
    hud->setRemoveFromSuperViewOnHide(true);
    hud->hide(animated);
    return true;
}

NSUInteger PHProgressHUD::hideAllHUDsForView(const Ref<UIView>& view, bool animated)
{
    auto huds = allHUDsForView(view);
    for (const id& object : *huds) {
        auto hud = dv::as<PHProgressHUD>(object);
        hud->setRemoveFromSuperViewOnHide(true);
        hud->hide(animated);
    }
    return huds->count();
}

Ref<PHProgressHUD> PHProgressHUD::HUDForView(const Ref<UIView>& view)
{
    if (!view)
        return nil;
    auto subviews = view->subviews();
    for (NSUInteger i = subviews->count(); i-- > 0;)
        if (auto hud = dv::as<PHProgressHUD>(subviews->objectAtIndex(i)))
            return hud;
    return nil;
}

Ref<NSArray> PHProgressHUD::allHUDsForView(const Ref<UIView>& view)
{
    std::vector<id> huds;
    if (!view)
        return NSArray::array();
    const auto subviews = view->subviews();
    for (const id& subview : *subviews)
        if (dv::as<PHProgressHUD>(subview))
            huds.push_back(subview);
    return NSArray::fromVector(std::move(huds));
}

// MARK: - Creation

PHProgressHUD::~PHProgressHUD()
{
    invalidateTimers();
    unregisterFromNotifications();
    unregisterFromKVO();
}

Ref<PHProgressHUD> PHProgressHUD::init() { return initWithFrame(CGRectZero); }

Ref<PHProgressHUD> PHProgressHUD::initWithFrame(CGRect frame)
{
    UIView::initWithFrame(frame);
    // The plain settings have their defaults where they are declared; the fonts and colours are
    // objects, made here.
    {
        dv::MutexLocker lock(m_propertyLock);
        m_labelFont = UIFont::boldSystemFontOfSize(16);
        m_labelColor = UIColor::whiteColor();
        m_detailsLabelFont = UIFont::boldSystemFontOfSize(12);
        m_detailsLabelColor = UIColor::whiteColor();
        m_activityIndicatorColor = UIColor::whiteColor();
    }
    setContentMode(UIViewContentModeCenter);
    setAutoresizingMask(UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin
        | UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin);
    setOpaque(false);
    setBackgroundColor(UIColor::clearColor());
    // Invisible, and so passed over by touches, until shown.
    setAlpha(0);
    setupLabels();
    updateIndicators();
    registerForKVO();
    registerForNotifications();
    return self<PHProgressHUD>();
}

Ref<PHProgressHUD> PHProgressHUD::initWithView(const Ref<UIView>& view)
{
    return initWithFrame(view ? view->bounds() : CGRectZero);
}

Ref<PHProgressHUD> PHProgressHUD::initWithWindow(const Ref<UIWindow>& window) { return initWithView(window); }

// MARK: - Showing and hiding

void PHProgressHUD::show(bool animated)
{
    // Whatever an earlier showing or hiding left scheduled belongs to it, not to this showing.
    invalidateTimers();
    m_useAnimation = animated;
    if (m_graceTime > 0.0f) {
        Weak<PHProgressHUD> weak = self<PHProgressHUD>();
        m_graceTimer = NSTimer::timerWithTimeInterval(m_graceTime, false, [weak](const Ref<NSTimer>& timer) {
            if (auto hud = weak.lock())
                hud->handleGraceTimer(timer);
        });
        NSRunLoop::currentRunLoop()->addTimer(m_graceTimer, NSRunLoopCommonModes);
        return;
    }
    showUsingAnimation(m_useAnimation);
}

void PHProgressHUD::hide(bool animated)
{
    // A grace timer still running would show the overlay after this hide; a minimum-show timer
    // from an earlier hide would end it twice.
    invalidateTimers();
    m_useAnimation = animated;
    if (m_minShowTime > 0.0f && m_showStarted) {
        const NSTimeInterval shown = now() - *m_showStarted;
        if (shown < m_minShowTime) {
            Weak<PHProgressHUD> weak = self<PHProgressHUD>();
            m_minShowTimer = NSTimer::scheduledTimerWithTimeInterval(m_minShowTime - shown, false, [weak](const Ref<NSTimer>& timer) {
                if (auto hud = weak.lock())
                    hud->handleMinShowTimer(timer);
            });
            return;
        }
    }
    hideUsingAnimation(m_useAnimation);
}

void PHProgressHUD::hide(bool animated, NSTimeInterval delay)
{
    Weak<PHProgressHUD> weak = self<PHProgressHUD>();
    auto flag = NSNumber::numberWithBool(animated);
    performBlockAfterDelay(self(), delay, [weak, flag] {
        if (auto hud = weak.lock())
            hud->hideDelayed(flag);
    }, &kHideDelayedTag);
}

void PHProgressHUD::hideDelayed(const Ref<NSNumber>& animated) { hide(animated && animated->boolValue()); }

void PHProgressHUD::handleGraceTimer(const Ref<NSTimer>& timer)
{
    if (timer != m_graceTimer)
        return;
    m_graceTimer = nil;
    // Shown only for a task that is still running: a plain show with a grace time never appears.
    if (m_taskInProgress)
        showUsingAnimation(m_useAnimation);
}

void PHProgressHUD::handleMinShowTimer(const Ref<NSTimer>& timer)
{
    if (timer != m_minShowTimer)
        return;
    m_minShowTimer = nil;
    hideUsingAnimation(m_useAnimation);
}

void PHProgressHUD::invalidateTimers()
{
    if (auto timer = std::exchange(m_graceTimer, nil))
        timer->invalidate();
    if (auto timer = std::exchange(m_minShowTimer, nil))
        timer->invalidate();
}

void PHProgressHUD::showUsingAnimation(bool animated)
{
    // A fade-out still running belongs to the hide before this show: it must not end this one.
    ++m_generation;
    cancelPreviousPerformRequestsWithTarget(self());
    setNeedsDisplay();
    if (animated && m_animationType == PHProgressHUDAnimationZoomIn)
        setTransform(CGAffineTransformConcat(m_rotationTransform, CGAffineTransformMakeScale(0.5, 0.5)));
    else if (animated && m_animationType == PHProgressHUDAnimationZoomOut)
        setTransform(CGAffineTransformConcat(m_rotationTransform, CGAffineTransformMakeScale(1.5, 1.5)));
    m_showStarted = now();
    if (animated) {
        UIView::beginAnimations(nil, nullptr);
        UIView::setAnimationDuration(kAnimationDuration);
        setAlpha(1);
        if (m_animationType == PHProgressHUDAnimationZoomIn || m_animationType == PHProgressHUDAnimationZoomOut)
            setTransform(m_rotationTransform);
        UIView::commitAnimations();
    } else {
        setAlpha(1);
    }
}

void PHProgressHUD::hideUsingAnimation(bool animated)
{
    auto keep = self<PHProgressHUD>(); // done may remove the last reference to the overlay
    const std::uint64_t generation = ++m_generation;
    const bool wasShown = m_showStarted.has_value();
    m_showStarted.reset();
    if (animated && wasShown) {
        Weak<PHProgressHUD> weak = keep;
        UIView::animateWithDuration(kAnimationDuration, [&] {
            if (m_animationType == PHProgressHUDAnimationZoomOut)
                setTransform(CGAffineTransformConcat(m_rotationTransform, CGAffineTransformMakeScale(0.5, 0.5)));
            else if (m_animationType == PHProgressHUDAnimationZoomIn)
                setTransform(CGAffineTransformConcat(m_rotationTransform, CGAffineTransformMakeScale(1.5, 1.5)));
            // Not quite 0: the overlay still takes touches while it fades.
            setAlpha(0.02);
        }, [weak, generation](bool finished) {
            if (auto hud = weak.lock())
                hud->animationFinished(finished, generation);
        });
        return;
    }
    // Never shown (or asked not to animate): hidden at once, even when asked to animate.
    setAlpha(0);
    done();
}

void PHProgressHUD::animationFinished(bool, std::uint64_t generation)
{
    // Shown or hidden again since this fade began: that later step decides how it ends.
    if (generation != m_generation)
        return;
    done();
}

void PHProgressHUD::done()
{
    auto keep = self<PHProgressHUD>();
    cancelPreviousPerformRequestsWithTarget(keep);
    invalidateTimers();
    setAlpha(0);
    if (m_removeFromSuperViewOnHide)
        removeFromSuperview();
    CompletionBlock completion;
    {
        dv::MutexLocker lock(m_propertyLock);
        completion = std::exchange(m_completionBlock, {});
    }
    if (completion)
        completion();
    if (auto delegate = this->delegate())
        delegate->hudWasHidden(keep);
}

// MARK: - Tasks

void PHProgressHUD::showWhileExecuting(SEL method, const id& target, const id& object, bool animated)
{
    m_useAnimation = animated;
    m_taskInProgress = true;
    // The thread keeps the overlay until it hands it, with the clean-up, to the main thread: the
    // last reference never goes away on the task's thread.
    NSThread::detachNewThreadWithBlock([hud = self<PHProgressHUD>(), method, target = id(target), object = id(object)]() mutable {
        hud->launchExecution(method, target, object);
        target = nil;
        object = nil;
        NSRunLoop::mainRunLoop()->performBlock([hud = std::move(hud)] { hud->cleanUp(); });
    });
    show(animated);
}

void PHProgressHUD::launchExecution(SEL method, const id& target, const id& object)
{
    if (!target)
        return;
    const id args[] = {object};
    target->performSelector(method, args);
}

void PHProgressHUD::cleanUp()
{
    m_taskInProgress = false;
    hide(m_useAnimation);
}

void PHProgressHUD::showAnimated(bool animated, ExecutionBlock block)
{
    showAnimated(animated, std::move(block), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), nullptr);
}

void PHProgressHUD::showAnimated(bool animated, ExecutionBlock block, CompletionBlock completion)
{
    showAnimated(animated, std::move(block), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), std::move(completion));
}

void PHProgressHUD::showAnimated(bool animated, ExecutionBlock block, const dispatch_queue_t& queue)
{
    showAnimated(animated, std::move(block), queue, nullptr);
}

void PHProgressHUD::showAnimated(bool animated, ExecutionBlock block, const dispatch_queue_t& queue, CompletionBlock completion)
{
    m_taskInProgress = true;
    setCompletionBlock(std::move(completion));
    dispatch_async(queue, [hud = self<PHProgressHUD>(), block = std::move(block)]() mutable {
        if (block)
            block();
        // As with a thread: the overlay goes back to the main thread with its clean-up.
        dispatch_async(dispatch_get_main_queue(), [hud = std::move(hud)] { hud->cleanUp(); });
    });
    show(animated);
}

// MARK: - Properties

void PHProgressHUD::setMode(PHProgressHUDMode mode)
{
    changeValueForKey("mode", [&] { m_mode = mode; });
}

Ref<UIView> PHProgressHUD::customView() const
{
    dv::MutexLocker lock(m_propertyLock);
    return m_customView;
}

void PHProgressHUD::setCustomView(const Ref<UIView>& view)
{
    changeValueForKey("customView", [&] {
        dv::MutexLocker lock(m_propertyLock);
        m_customView = view;
    });
}

Ref<PHProgressHUDDelegate> PHProgressHUD::delegate() const
{
    dv::MutexLocker lock(m_propertyLock);
    return m_delegate.lock();
}

void PHProgressHUD::setDelegate(const Ref<PHProgressHUDDelegate>& delegate)
{
    dv::MutexLocker lock(m_propertyLock);
    m_delegate = delegate;
}

#define DV_HUD_OBJECT_PROPERTY(Type, getter, setter, member, copies)     \
    Ref<Type> PHProgressHUD::getter() const                             \
    {                                                                   \
        dv::MutexLocker lock(m_propertyLock);                           \
        return member;                                                  \
    }                                                                   \
    void PHProgressHUD::setter(const Ref<Type>& value)                  \
    {                                                                   \
        changeValueForKey(#getter, [&] {                                \
            auto stored = copies ? dv::copyAs<Type>(value) : value;     \
            dv::MutexLocker lock(m_propertyLock);                       \
            member = stored;                                            \
        });                                                             \
    }

DV_HUD_OBJECT_PROPERTY(NSString, labelText, setLabelText, m_labelText, true)
DV_HUD_OBJECT_PROPERTY(NSString, detailsLabelText, setDetailsLabelText, m_detailsLabelText, true)
DV_HUD_OBJECT_PROPERTY(UIFont, labelFont, setLabelFont, m_labelFont, false)
DV_HUD_OBJECT_PROPERTY(UIColor, labelColor, setLabelColor, m_labelColor, false)
DV_HUD_OBJECT_PROPERTY(UIFont, detailsLabelFont, setDetailsLabelFont, m_detailsLabelFont, false)
DV_HUD_OBJECT_PROPERTY(UIColor, detailsLabelColor, setDetailsLabelColor, m_detailsLabelColor, false)
DV_HUD_OBJECT_PROPERTY(UIColor, activityIndicatorColor, setActivityIndicatorColor, m_activityIndicatorColor, false)

#undef DV_HUD_OBJECT_PROPERTY

// Not observed: the box takes its colour at the next drawing.
Ref<UIColor> PHProgressHUD::color() const
{
    dv::MutexLocker lock(m_propertyLock);
    return m_color;
}

void PHProgressHUD::setColor(const Ref<UIColor>& color)
{
    dv::MutexLocker lock(m_propertyLock);
    m_color = color;
}

void PHProgressHUD::setProgress(float progress)
{
    changeValueForKey("progress", [&] { m_progress = progress; });
}

PHProgressHUD::CompletionBlock PHProgressHUD::completionBlock() const
{
    dv::MutexLocker lock(m_propertyLock);
    return m_completionBlock;
}

void PHProgressHUD::setCompletionBlock(CompletionBlock block)
{
    dv::MutexLocker lock(m_propertyLock);
    m_completionBlock = std::move(block);
}
