// NSOperationQueue: runs operations on threads of the dispatch pool, at most
// maxConcurrentOperationCount at a time, choosing among the ready ones by queue priority and then
// in the order they were added. The main queue runs its operations one at a time on the main
// thread, through the main dispatch queue. A queue keeps its operations until they finish.
//
//   auto queue = alloc<NSOperationQueue>()->init();
//   queue->setMaxConcurrentOperationCount(6);
//   queue->addOperationWithBlock([] { ... });
#pragma once

#include "platform/base/Mutex.h"
#include "platform/dispatch/NSOperation.h"

#include <deque>

inline constexpr NSInteger NSOperationQueueDefaultMaxConcurrentOperationCount = -1;

class NSOperationQueue : public NSObject, public dv::Observable {
    DV_CLASS(NSOperationQueue, NSObject)

    NSOperationQueue() = default;
    ~NSOperationQueue() override;

    Ref<NSOperationQueue> init();
    static Ref<NSOperationQueue> mainQueue();
    // The queue running the calling operation; the main queue on the main thread; else nil.
    static Ref<NSOperationQueue> currentQueue();

    // Adding an operation that is already in a queue, executing or finished raises
    // NSInvalidArgumentException, as on the platform.
    void addOperation(const Ref<NSOperation>& operation);
    void addOperationWithBlock(std::function<void()> block);
    void addOperations(const std::vector<Ref<NSOperation>>& operations, bool waitUntilFinished);

    std::vector<Ref<NSOperation>> operations() const;
    NSUInteger operationCount() const;

    NSInteger maxConcurrentOperationCount() const;
    void setMaxConcurrentOperationCount(NSInteger count);
    bool isSuspended() const;
    void setSuspended(bool suspended);

    void cancelAllOperations();
    // Blocks the caller until every operation has finished. Not on the thread the queue needs.
    void waitUntilAllOperationsAreFinished();

    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);

private:
    struct Entry {
        Ref<NSOperation> operation;
        dv::ObservationToken readyToken;
        dv::ObservationToken finishedToken;
        bool started = false;
        std::uint64_t order = 0;
    };

    void schedule();
    void operationFinished(NSOperation* operation);
    void run(const Ref<NSOperation>& operation);

    mutable dv::Mutex m_lock;
    dv::ConditionVariable m_emptied;
    std::deque<Entry> m_entries DV_GUARDED_BY(m_lock);
    std::uint64_t m_nextOrder DV_GUARDED_BY(m_lock) = 0;
    NSInteger m_maxConcurrent DV_GUARDED_BY(m_lock) = NSOperationQueueDefaultMaxConcurrentOperationCount;
    int m_running DV_GUARDED_BY(m_lock) = 0;
    bool m_suspended DV_GUARDED_BY(m_lock) = false;
    bool m_isMain = false;
    Ref<NSString> m_name DV_GUARDED_BY(m_lock);
};
