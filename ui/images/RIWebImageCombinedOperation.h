// RIWebImageCombinedOperation: the handle of one image-manager load. It stands for the cache query
// first and for the download after it; cancelling it stops whichever is under way and takes the
// load off its manager's list of running loads. The manager and the caller (a view's operation
// table) hold it; every block the load leaves behind refers to it weakly.
//
// Threads: cancel from any thread. The cancelled flag is read on the main thread just before each
// delivery, so a load cancelled on the main thread delivers nothing afterwards.
//
//   auto load = RIWebImageManager::sharedManager()->downloadImageWithURL(url, 0, nil, completed);
//   load->cancel();
#pragma once

#include "platform/base/Mutex.h"
#include "platform/dispatch/NSOperation.h"
#include "ui/images/RIWebImageOperation.h"

#include <atomic>

class RIWebImageManager;

class RIWebImageCombinedOperation : public NSObject, public RIWebImageOperation {
    DV_CLASS(RIWebImageCombinedOperation, NSObject)

    RIWebImageCombinedOperation() = default;
    ~RIWebImageCombinedOperation() override;

    // Already cancelled: the block runs at once (when given) and none is kept.
    void setCancelBlock(RIWebImageNoParamsBlock cancelBlock);
    // Sets the flag, cancels and drops the cache query, runs and drops the cancel block, and takes
    // the load off its manager's running list (even before its cache query has answered).
    void cancel() override;

    bool isCancelled() const { return m_cancelled.load(std::memory_order_acquire); }
    void setCancelled(bool cancelled) { m_cancelled.store(cancelled, std::memory_order_release); }
    RIWebImageNoParamsBlock cancelBlock() const;
    Ref<NSOperation> cacheOperation() const;
    // Already cancelled: the query is cancelled at once and not kept.
    void setCacheOperation(const Ref<NSOperation>& operation);

private:
    friend class RIWebImageManager;

    std::atomic<bool> m_cancelled { false };
    mutable dv::Mutex m_lock;
    RIWebImageNoParamsBlock m_cancelBlock DV_GUARDED_BY(m_lock);
    Ref<NSOperation> m_cacheOperation DV_GUARDED_BY(m_lock);
    // The manager whose running list holds this load; none for a load that never ran. Set once,
    // before the load is shared with any other thread.
    Weak<RIWebImageManager> m_manager;
};
