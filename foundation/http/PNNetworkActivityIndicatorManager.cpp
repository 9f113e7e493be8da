#include "foundation/http/PNNetworkActivityIndicatorManager.h"

#include "foundation/http/PNURLSessionManager.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/ui/UIApplication.h"

DV_DEFINE_CLASS(PNNetworkActivityIndicatorManager)

namespace {

// The request of a notification's object, when the object has one.
Ref<NSURLRequest> requestFromNotification(const Ref<NSNotification>& notification)
{
    auto task = notification ? dv::as<NSURLSessionTask>(notification->object()) : nil;
    return task ? task->originalRequest() : nil;
}

} // namespace

PNNetworkActivityIndicatorManager::~PNNetworkActivityIndicatorManager()
{
    NSNotificationCenter::defaultCenter()->removeObserver(static_cast<const NSObject*>(this));
    if (m_activationDelayTimer)
        m_activationDelayTimer->invalidate();
    if (m_completionDelayTimer)
        m_completionDelayTimer->invalidate();
}

Ref<PNNetworkActivityIndicatorManager> PNNetworkActivityIndicatorManager::init()
{
    {
        dv::MutexLocker lock(m_lock);
        m_currentState = PNActivityIndicatorStateNotActive;
    }
    auto manager = self<PNNetworkActivityIndicatorManager>();
    auto center = NSNotificationCenter::defaultCenter();
    center->addObserver(manager, &PNNetworkActivityIndicatorManager::networkRequestDidStart, PNTaskResumeNotificationName, nil);
    center->addObserver(manager, &PNNetworkActivityIndicatorManager::networkRequestDidFinish, PNTaskSuspendNotificationName, nil);
    center->addObserver(manager, &PNNetworkActivityIndicatorManager::networkRequestDidFinish, PNTaskCompleteNotificationName, nil);
    dv::MutexLocker lock(m_lock);
    m_activationDelay = 1.0;
    m_completionDelay = 0.17;
    return manager;
}

Ref<PNNetworkActivityIndicatorManager> PNNetworkActivityIndicatorManager::sharedManager()
{
    static const Ref<PNNetworkActivityIndicatorManager> shared = dv::keepingForever([] { return alloc<PNNetworkActivityIndicatorManager>()->init(); });
    return shared;
}

bool PNNetworkActivityIndicatorManager::isEnabled() const
{
    dv::MutexLocker lock(m_lock);
    return m_enabled;
}

void PNNetworkActivityIndicatorManager::setEnabled(bool enabled)
{
    {
        dv::MutexLocker lock(m_lock);
        m_enabled = enabled;
    }
    if (!enabled)
        setCurrentState(PNActivityIndicatorStateNotActive);
}

void PNNetworkActivityIndicatorManager::setNetworkingActivityActionWithBlock(ActionBlock block)
{
    dv::MutexLocker lock(m_lock);
    m_networkActivityActionBlock = std::move(block);
}

NSInteger PNNetworkActivityIndicatorManager::activityCount() const
{
    dv::MutexLocker lock(m_lock);
    return m_activityCount;
}

void PNNetworkActivityIndicatorManager::setActivityCount(NSInteger count)
{
    {
        dv::MutexLocker lock(m_lock);
        m_activityCount = count;
    }
    scheduleUpdate();
}

void PNNetworkActivityIndicatorManager::incrementActivityCount()
{
    willChangeValueForKey("activityCount");
    {
        dv::MutexLocker lock(m_lock);
        ++m_activityCount;
    }
    didChangeValueForKey("activityCount");
    scheduleUpdate();
}

void PNNetworkActivityIndicatorManager::decrementActivityCount()
{
    willChangeValueForKey("activityCount");
    {
        dv::MutexLocker lock(m_lock);
        m_activityCount = std::max<NSInteger>(m_activityCount - 1, 0);
    }
    didChangeValueForKey("activityCount");
    scheduleUpdate();
}

bool PNNetworkActivityIndicatorManager::isNetworkActivityOccurring() const
{
    dv::MutexLocker lock(m_lock);
    return m_activityCount > 0;
}

void PNNetworkActivityIndicatorManager::scheduleUpdate()
{
    Weak<PNNetworkActivityIndicatorManager> weakSelf = self<PNNetworkActivityIndicatorManager>();
    dispatch_async(dispatch_get_main_queue(), [weakSelf] {
        if (auto strongSelf = weakSelf.lock())
            strongSelf->updateCurrentStateForNetworkActivityChange();
    });
}

bool PNNetworkActivityIndicatorManager::isNetworkActivityIndicatorVisible() const
{
    dv::MutexLocker lock(m_lock);
    return m_networkActivityIndicatorVisible;
}

void PNNetworkActivityIndicatorManager::setNetworkActivityIndicatorVisible(bool visible)
{
    if (visible == isNetworkActivityIndicatorVisible())
        return;
    willChangeValueForKey("networkActivityIndicatorVisible");
    ActionBlock action;
    {
        dv::MutexLocker lock(m_lock);
        m_networkActivityIndicatorVisible = visible;
        action = m_networkActivityActionBlock;
    }
    didChangeValueForKey("networkActivityIndicatorVisible");
    if (action)
        action(visible);
    else
        UIApplication::sharedApplication()->setNetworkActivityIndicatorVisible(visible);
}

PNActivityIndicatorState PNNetworkActivityIndicatorManager::currentState() const
{
    dv::MutexLocker lock(m_lock);
    return m_currentState;
}

void PNNetworkActivityIndicatorManager::setCurrentState(PNActivityIndicatorState state)
{
    // State changes are made on the main thread only, so the state read here is still the state
    // when it changes below; observers are told before and after with the lock let go.
    if (currentState() == state)
        return;
    willChangeValueForKey("currentState");
    {
        dv::MutexLocker lock(m_lock);
        m_currentState = state;
    }
    switch (state) {
    case PNActivityIndicatorStateNotActive:
        cancelActivationDelayTimer();
        cancelCompletionDelayTimer();
        setNetworkActivityIndicatorVisible(false);
        break;
    case PNActivityIndicatorStateDelayingStart:
        startActivationDelayTimer();
        break;
    case PNActivityIndicatorStateActive:
        cancelCompletionDelayTimer();
        setNetworkActivityIndicatorVisible(true);
        break;
    case PNActivityIndicatorStateDelayingEnd:
        startCompletionDelayTimer();
        break;
    }
    didChangeValueForKey("currentState");
}

void PNNetworkActivityIndicatorManager::updateCurrentStateForNetworkActivityChange()
{
    if (!isEnabled())
        return;
    const bool occurring = isNetworkActivityOccurring();
    switch (currentState()) {
    case PNActivityIndicatorStateNotActive:
        if (occurring)
            setCurrentState(PNActivityIndicatorStateDelayingStart);
        break;
    case PNActivityIndicatorStateDelayingStart:
        // The activation timer decides.
        break;
    case PNActivityIndicatorStateActive:
        if (!occurring)
            setCurrentState(PNActivityIndicatorStateDelayingEnd);
        break;
    case PNActivityIndicatorStateDelayingEnd:
        if (occurring)
            setCurrentState(PNActivityIndicatorStateActive);
        break;
    }
}

NSTimeInterval PNNetworkActivityIndicatorManager::activationDelay() const
{
    dv::MutexLocker lock(m_lock);
    return m_activationDelay;
}

void PNNetworkActivityIndicatorManager::setActivationDelay(NSTimeInterval seconds)
{
    dv::MutexLocker lock(m_lock);
    m_activationDelay = seconds;
}

NSTimeInterval PNNetworkActivityIndicatorManager::completionDelay() const
{
    dv::MutexLocker lock(m_lock);
    return m_completionDelay;
}

void PNNetworkActivityIndicatorManager::setCompletionDelay(NSTimeInterval seconds)
{
    dv::MutexLocker lock(m_lock);
    m_completionDelay = seconds;
}

Ref<NSTimer> PNNetworkActivityIndicatorManager::activationDelayTimer() const
{
    dv::MutexLocker lock(m_lock);
    return m_activationDelayTimer;
}

Ref<NSTimer> PNNetworkActivityIndicatorManager::completionDelayTimer() const
{
    dv::MutexLocker lock(m_lock);
    return m_completionDelayTimer;
}

void PNNetworkActivityIndicatorManager::startActivationDelayTimer()
{
    Weak<PNNetworkActivityIndicatorManager> weakSelf = self<PNNetworkActivityIndicatorManager>();
    auto timer = NSTimer::timerWithTimeInterval(activationDelay(), false, [weakSelf](const Ref<NSTimer>&) {
        if (auto strongSelf = weakSelf.lock())
            strongSelf->activationDelayTimerFired();
    });
    {
        dv::MutexLocker lock(m_lock);
        m_activationDelayTimer = timer;
    }
    // Common modes: the indicator also changes while the user scrolls.
    NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
}

void PNNetworkActivityIndicatorManager::activationDelayTimerFired()
{
    setCurrentState(isNetworkActivityOccurring() ? PNActivityIndicatorStateActive : PNActivityIndicatorStateNotActive);
}

void PNNetworkActivityIndicatorManager::startCompletionDelayTimer()
{
    Weak<PNNetworkActivityIndicatorManager> weakSelf = self<PNNetworkActivityIndicatorManager>();
    auto timer = NSTimer::timerWithTimeInterval(completionDelay(), false, [weakSelf](const Ref<NSTimer>&) {
        if (auto strongSelf = weakSelf.lock())
            strongSelf->completionDelayTimerFired();
    });
    Ref<NSTimer> previous;
    {
        dv::MutexLocker lock(m_lock);
        previous = std::exchange(m_completionDelayTimer, timer);
    }
    if (previous)
        previous->invalidate();
    NSRunLoop::mainRunLoop()->addTimer(timer, NSRunLoopCommonModes);
}

void PNNetworkActivityIndicatorManager::completionDelayTimerFired()
{
    setCurrentState(PNActivityIndicatorStateNotActive);
}

void PNNetworkActivityIndicatorManager::cancelActivationDelayTimer()
{
    if (auto timer = activationDelayTimer())
        timer->invalidate();
}

void PNNetworkActivityIndicatorManager::cancelCompletionDelayTimer()
{
    if (auto timer = completionDelayTimer())
        timer->invalidate();
}

void PNNetworkActivityIndicatorManager::networkRequestDidStart(const Ref<NSNotification>& notification)
{
    auto request = requestFromNotification(notification);
    if (request && request->URL())
        incrementActivityCount();
}

void PNNetworkActivityIndicatorManager::networkRequestDidFinish(const Ref<NSNotification>& notification)
{
    auto request = requestFromNotification(notification);
    if (request && request->URL())
        decrementActivityCount();
}

id PNNetworkActivityIndicatorManager::observedValueForKeyPath(std::string_view keyPath) const
{
    if (keyPath == "activityCount")
        return NSNumber::numberWithInteger(activityCount());
    if (keyPath == "currentState")
        return NSNumber::numberWithInteger(currentState());
    if (keyPath == "networkActivityIndicatorVisible")
        return NSNumber::numberWithBool(isNetworkActivityIndicatorVisible());
    return dv::Observable::observedValueForKeyPath(keyPath);
}
