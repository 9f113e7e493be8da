// NSBlockOperation: an operation that runs one or more blocks; it finishes when all have run.
// The blocks run one after another on the operation's thread.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/dispatch/NSOperation.h"

class NSBlockOperation : public NSOperation {
    DV_CLASS(NSBlockOperation, NSOperation)

    NSBlockOperation() = default;

    static Ref<NSBlockOperation> blockOperationWithBlock(std::function<void()> block);
    // Adding a block once the operation is executing or finished raises, as on the platform.
    void addExecutionBlock(std::function<void()> block);
    std::vector<std::function<void()>> executionBlocks() const;

    void main() override;

private:
    mutable dv::Mutex m_blocksLock;
    std::vector<std::function<void()>> m_blocks DV_GUARDED_BY(m_blocksLock);
};
