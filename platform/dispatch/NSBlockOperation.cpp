#include "platform/dispatch/NSBlockOperation.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSException.h"

DV_DEFINE_CLASS(NSBlockOperation)

Ref<NSBlockOperation> NSBlockOperation::blockOperationWithBlock(std::function<void()> block)
{
    auto operation = alloc<NSBlockOperation>();
    operation->addExecutionBlock(std::move(block));
    return operation;
}

void NSBlockOperation::addExecutionBlock(std::function<void()> block)
{
    if (isExecuting() || isFinished())
        NSException::raise(NSInvalidArgumentException, "*** -[NSBlockOperation addExecutionBlock:]: blocks cannot be added after the operation has started executing or finished");
    if (!block)
        NSException::raise(NSInvalidArgumentException, "*** -[NSBlockOperation addExecutionBlock:]: block is nil");
    dv::MutexLocker lock(m_blocksLock);
    m_blocks.push_back(std::move(block));
}

std::vector<std::function<void()>> NSBlockOperation::executionBlocks() const
{
    dv::MutexLocker lock(m_blocksLock);
    return m_blocks;
}

void NSBlockOperation::main()
{
    std::vector<std::function<void()>> blocks;
    {
        dv::MutexLocker lock(m_blocksLock);
        blocks.swap(m_blocks); // what the blocks captured is let go once they have run
    }
    for (auto& block : blocks)
        block();
}
