// NSProgress: how far a piece of work has come (completed of total units), with cancelling,
// pausing and resuming. "completedUnitCount", "totalUnitCount", "fractionCompleted",
// "cancelled" and "paused" are observable through dv::Observable; a change of either count is
// also a change of fractionCompleted. Safe to update from any thread; observers run on the
// updating thread. Handlers run on the thread that cancels, pauses or resumes; a cancellation
// handler set after the progress was cancelled runs at once.
//
//   auto progress = NSProgress::progressWithTotalUnitCount(-1);
//   auto token = progress->observe("fractionCompleted", NSKeyValueObservingOptionNew, block);
//   progress->setCompletedUnitCount(512);
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"
#include "platform/dispatch/Observable.h"

#include <functional>

class NSProgress : public NSObject, public dv::Observable {
    DV_CLASS(NSProgress, NSObject)

    NSProgress() = default;

    Ref<NSProgress> initWithParent(const Ref<NSProgress>& parent, const Ref<NSDictionary>& userInfo);
    static Ref<NSProgress> progressWithTotalUnitCount(std::int64_t unitCount);
    static Ref<NSProgress> discreteProgressWithTotalUnitCount(std::int64_t unitCount);

    std::int64_t totalUnitCount() const;
    void setTotalUnitCount(std::int64_t count);
    std::int64_t completedUnitCount() const;
    void setCompletedUnitCount(std::int64_t count);
    // completed / total; 0 while the total is unknown (negative) or zero.
    double fractionCompleted() const;
    bool isIndeterminate() const;
    bool isFinished() const;

    bool isCancellable() const;
    void setCancellable(bool cancellable);
    bool isPausable() const;
    void setPausable(bool pausable);
    bool isCancelled() const;
    bool isPaused() const;

    void setCancellationHandler(std::function<void()> handler);
    void setPausingHandler(std::function<void()> handler);
    void setResumingHandler(std::function<void()> handler);

    void cancel();
    void pause();
    void resume();

    Ref<NSDictionary> userInfo() const;
    Ref<NSString> localizedDescription() const;

    std::vector<std::string> keyPathsForValuesAffectingValueForKey(std::string_view key) const override;
    id observedValueForKeyPath(std::string_view keyPath) const override;

private:
    mutable dv::Mutex m_lock;
    std::int64_t m_total DV_GUARDED_BY(m_lock) = 0;
    std::int64_t m_completed DV_GUARDED_BY(m_lock) = 0;
    bool m_cancellable DV_GUARDED_BY(m_lock) = true;
    bool m_pausable DV_GUARDED_BY(m_lock) = false;
    bool m_cancelled DV_GUARDED_BY(m_lock) = false;
    bool m_paused DV_GUARDED_BY(m_lock) = false;
    std::function<void()> m_cancellationHandler DV_GUARDED_BY(m_lock);
    std::function<void()> m_pausingHandler DV_GUARDED_BY(m_lock);
    std::function<void()> m_resumingHandler DV_GUARDED_BY(m_lock);
    Ref<NSDictionary> m_userInfo DV_GUARDED_BY(m_lock);
};
