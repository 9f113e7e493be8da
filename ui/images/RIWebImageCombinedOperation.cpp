#include "ui/images/RIWebImageCombinedOperation.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "ui/images/RIWebImageManager.h"

DV_DEFINE_CLASS(RIWebImageCombinedOperation)

RIWebImageCombinedOperation::~RIWebImageCombinedOperation() = default;

void RIWebImageCombinedOperation::setCancelBlock(RIWebImageNoParamsBlock cancelBlock)
{
    {
        dv::MutexLocker lock(m_lock);
        // Checked under the lock: a cancel sets the flag before it takes the block, so the block
        // runs exactly once, here or there.
        if (!isCancelled()) {
            m_cancelBlock = std::move(cancelBlock);
            return;
        }
    }
    if (cancelBlock)
        cancelBlock();
}

void RIWebImageCombinedOperation::cancel()
{
    m_cancelled.store(true, std::memory_order_release);
    Ref<NSOperation> query;
    RIWebImageNoParamsBlock block;
    {
        dv::MutexLocker lock(m_lock);
        query = std::exchange(m_cacheOperation, nil);
        block = std::exchange(m_cancelBlock, {});
    }
    if (query)
        query->cancel();
    if (block)
        block();
    // A load whose cache query had not answered yet has no cancel block, and a cancelled query
    // never answers: the load leaves the running list here in every case.
    if (auto manager = m_manager.lock())
        manager->removeRunning(this);
}

RIWebImageNoParamsBlock RIWebImageCombinedOperation::cancelBlock() const
{
    dv::MutexLocker lock(m_lock);
    return m_cancelBlock;
}

Ref<NSOperation> RIWebImageCombinedOperation::cacheOperation() const
{
    dv::MutexLocker lock(m_lock);
    return m_cacheOperation;
}

void RIWebImageCombinedOperation::setCacheOperation(const Ref<NSOperation>& operation)
{
    {
        dv::MutexLocker lock(m_lock);
        if (!isCancelled()) {
            m_cacheOperation = operation;
            return;
        }
    }
    if (operation)
        operation->cancel();
}
