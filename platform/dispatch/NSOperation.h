// NSOperation: a unit of work with a life cycle (ready → executing → finished, or cancelled),
// dependencies, a queue priority and a completion block. Its state keys "isReady",
// "isExecuting", "isFinished" and "isCancelled" are observable; NSOperationQueue follows them.
//
// An asynchronous operation overrides isAsynchronous() and start(), returns from start() with
// its work still running, and reports the end itself, either with setExecuting/setFinished or by
// overriding isExecuting()/isFinished() and sending will/didChangeValueForKey for those keys.
// A cancelled operation that is started finishes at once without running main().
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"
#include "platform/dispatch/Observable.h"

#include <atomic>
#include <functional>
#include <vector>

class NSOperationQueue;

enum NSOperationQueuePriority : NSInteger {
    NSOperationQueuePriorityVeryLow = -8,
    NSOperationQueuePriorityLow = -4,
    NSOperationQueuePriorityNormal = 0,
    NSOperationQueuePriorityHigh = 4,
    NSOperationQueuePriorityVeryHigh = 8,
};

class NSOperation : public NSObject, public dv::Observable {
    DV_CLASS(NSOperation, NSObject)

    NSOperation();
    ~NSOperation() override;

    // Runs the operation on the calling thread (a queue calls it on one of its threads).
    virtual void start();
    // The work of a synchronous operation; the base does nothing.
    virtual void main();
    virtual void cancel();

    virtual bool isCancelled() const { return m_cancelled; }
    virtual bool isExecuting() const { return m_executing; }
    virtual bool isFinished() const { return m_finished; }
    // Ready when every dependency has finished, or once cancelled.
    virtual bool isReady() const;
    virtual bool isAsynchronous() const { return false; }
    bool isConcurrent() const { return isAsynchronous(); }

    // The operation keeps its dependencies. A dependency on an operation of another queue works.
    void addDependency(const Ref<NSOperation>& operation);
    void removeDependency(const Ref<NSOperation>& operation);
    std::vector<Ref<NSOperation>> dependencies() const;

    NSOperationQueuePriority queuePriority() const { return m_priority; }
    // Values between the named levels snap to the nearest level below, as on the platform.
    void setQueuePriority(NSInteger priority);

    // Called once, after the operation finished (cancelled ones included), on the thread that
    // finished it; it is released after the call.
    std::function<void()> completionBlock() const;
    void setCompletionBlock(std::function<void()> block);

    // Blocks the caller until the operation has finished.
    void waitUntilFinished();

    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);

    id observedValueForKeyPath(std::string_view keyPath) const override;

protected:
    // For asynchronous operations: change the state and notify its observers.
    void setExecuting(bool executing);
    void setFinished(bool finished);

private:
    friend class NSOperationQueue;
    void finishedChanged();
    void dependencyFinished();

    mutable dv::Mutex m_lock;
    dv::ConditionVariable m_finishedCondition;
    std::atomic<bool> m_cancelled { false };
    std::atomic<bool> m_executing { false };
    std::atomic<bool> m_finished { false };
    std::atomic<bool> m_completed { false }; // finish handling done
    std::atomic<NSOperationQueuePriority> m_priority { NSOperationQueuePriorityNormal };
    std::function<void()> m_completionBlock DV_GUARDED_BY(m_lock);
    Ref<NSString> m_name DV_GUARDED_BY(m_lock);
    struct Dependency {
        Ref<NSOperation> operation;
        dv::ObservationToken token;
    };
    std::vector<Dependency> m_dependencies DV_GUARDED_BY(m_lock);
    dv::ObservationToken m_selfObservation;
    Weak<NSOperationQueue> m_queue DV_GUARDED_BY(m_lock);
};
