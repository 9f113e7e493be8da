// PNNetworkActivityIndicatorManager: drives the status bar's network activity indicator from the
// session managers' task notifications. It counts the requests in flight, shows the indicator
// only once requests have run for activationDelay (1.0 s) and hides it completionDelay (0.17 s)
// after the last one ended, so short requests do not make it flicker and a chain of requests
// keeps it on. Off until enabled; an owner may replace the indicator by a block.
//
// One shared instance. Counts may change on any thread; every state change and every indicator
// update happens on the main thread (re-evaluations are queued to the main queue, the timers fire
// on the main run loop in the common modes).
//
//   PNNetworkActivityIndicatorManager::sharedManager()->setEnabled(true);
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"
#include "platform/dispatch/Observable.h"

#include <functional>

class NSNotification;
class NSTimer;

enum PNActivityIndicatorState : NSInteger {
    PNActivityIndicatorStateNotActive = 0,
    PNActivityIndicatorStateDelayingStart = 1,
    PNActivityIndicatorStateActive = 2,
    PNActivityIndicatorStateDelayingEnd = 3,
};

class PNNetworkActivityIndicatorManager : public NSObject, public dv::Observable {
    DV_CLASS(PNNetworkActivityIndicatorManager, NSObject)

public:
    using ActionBlock = std::function<void(bool networkActivityIndicatorVisible)>;

    PNNetworkActivityIndicatorManager() = default;
    ~PNNetworkActivityIndicatorManager() override;
    // Observes the resume, suspend and complete notifications of every session manager.
    Ref<PNNetworkActivityIndicatorManager> init();
    static Ref<PNNetworkActivityIndicatorManager> sharedManager();

    bool isEnabled() const;
    // NO also hides the indicator at once.
    void setEnabled(bool enabled);
    // Called instead of the status bar's indicator when set.
    void setNetworkingActivityActionWithBlock(ActionBlock block);

    NSInteger activityCount() const;
    // Stores the count (without a change notice) and re-evaluates on the main queue.
    void setActivityCount(NSInteger count);
    void incrementActivityCount();
    // Never below zero.
    void decrementActivityCount();
    bool isNetworkActivityOccurring() const;

    bool isNetworkActivityIndicatorVisible() const;
    void setNetworkActivityIndicatorVisible(bool visible);
    PNActivityIndicatorState currentState() const;
    void setCurrentState(PNActivityIndicatorState state);

    NSTimeInterval activationDelay() const;
    void setActivationDelay(NSTimeInterval seconds);
    NSTimeInterval completionDelay() const;
    void setCompletionDelay(NSTimeInterval seconds);
    Ref<NSTimer> activationDelayTimer() const;
    Ref<NSTimer> completionDelayTimer() const;

    void networkRequestDidStart(const Ref<NSNotification>& notification);
    void networkRequestDidFinish(const Ref<NSNotification>& notification);

    void updateCurrentStateForNetworkActivityChange();

    id observedValueForKeyPath(std::string_view keyPath) const override;

private:
    void scheduleUpdate();
    void startActivationDelayTimer();
    void activationDelayTimerFired();
    void startCompletionDelayTimer();
    void completionDelayTimerFired();
    void cancelActivationDelayTimer();
    void cancelCompletionDelayTimer();

    // Guards the fields only: observers, timers, the action block and the application are called
    // with it let go, since they may call back into the manager.
    mutable dv::Mutex m_lock;
    NSInteger m_activityCount DV_GUARDED_BY(m_lock) = 0;
    Ref<NSTimer> m_activationDelayTimer DV_GUARDED_BY(m_lock);
    Ref<NSTimer> m_completionDelayTimer DV_GUARDED_BY(m_lock);
    ActionBlock m_networkActivityActionBlock DV_GUARDED_BY(m_lock);
    PNActivityIndicatorState m_currentState DV_GUARDED_BY(m_lock) = PNActivityIndicatorStateNotActive;
    bool m_networkActivityIndicatorVisible DV_GUARDED_BY(m_lock) = false;
    bool m_enabled DV_GUARDED_BY(m_lock) = false;
    NSTimeInterval m_activationDelay DV_GUARDED_BY(m_lock) = 1.0;
    NSTimeInterval m_completionDelay DV_GUARDED_BY(m_lock) = 0.17;
};
