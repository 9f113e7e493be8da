#include "platform/dispatch/NSOperation.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/internal/WorkerPool.h"

#include <algorithm>

DV_DEFINE_CLASS(NSOperation)

NSOperation::NSOperation()
{
    // The operation follows its own "isFinished" so that subclasses which report the end by
    // hand (asynchronous operations) get the same completion handling as the base.
    m_selfObservation = observe("isFinished", 0, [this](const id&, const dv::KeyValueChange&) { finishedChanged(); });
}

NSOperation::~NSOperation()
{
    for (auto& dependency : m_dependencies)
        dependency.operation->removeObservation(dependency.token);
}

void NSOperation::start()
{
    if (isFinished() || isExecuting())
        return;
    if (isCancelled()) {
        setFinished(true);
        return;
    }
    setExecuting(true);
    main();
    setExecuting(false);
    setFinished(true);
}

void NSOperation::main() { }

void NSOperation::cancel()
{
    if (m_cancelled)
        return;
    bool wasReady = isReady();
    willChangeValueForKey("isCancelled");
    m_cancelled = true;
    didChangeValueForKey("isCancelled");
    // A cancelled operation no longer waits for its dependencies.
    if (!wasReady) {
        willChangeValueForKey("isReady");
        didChangeValueForKey("isReady");
    }
}

bool NSOperation::isReady() const
{
    if (m_cancelled)
        return true;
    dv::MutexLocker lock(m_lock);
    return std::all_of(m_dependencies.begin(), m_dependencies.end(), [](auto& d) { return d.operation->isFinished(); });
}

void NSOperation::setExecuting(bool executing)
{
    if (m_executing == executing)
        return;
    willChangeValueForKey("isExecuting");
    m_executing = executing;
    didChangeValueForKey("isExecuting");
}

void NSOperation::setFinished(bool finished)
{
    if (m_finished == finished)
        return;
    willChangeValueForKey("isFinished");
    m_finished = finished;
    didChangeValueForKey("isFinished");
}

void NSOperation::finishedChanged()
{
    if (!isFinished() || m_completed.exchange(true))
        return;
    std::function<void()> completion;
    {
        dv::MutexLocker lock(m_lock);
        completion = std::exchange(m_completionBlock, {});
    }
    m_finishedCondition.notifyAll();
    if (completion)
        completion();
}

void NSOperation::addDependency(const Ref<NSOperation>& operation)
{
    if (!operation || operation.get() == this)
        return;
    {
        dv::MutexLocker lock(m_lock);
        for (auto& d : m_dependencies)
            if (d.operation == operation)
                return;
    }
    bool wasReady = isReady();
    Weak<NSOperation> weakSelf = std::static_pointer_cast<NSOperation>(weak_from_this().lock());
    auto token = operation->observe("isFinished", 0, [weakSelf](const id&, const dv::KeyValueChange&) {
        if (auto self = weakSelf.lock())
            self->dependencyFinished();
    });
    {
        dv::MutexLocker lock(m_lock);
        m_dependencies.push_back({operation, token});
    }
    if (wasReady && !isReady()) {
        willChangeValueForKey("isReady");
        didChangeValueForKey("isReady");
    }
}

void NSOperation::removeDependency(const Ref<NSOperation>& operation)
{
    bool wasReady = isReady();
    Dependency removed;
    {
        dv::MutexLocker lock(m_lock);
        auto it = std::find_if(m_dependencies.begin(), m_dependencies.end(), [&](auto& d) { return d.operation == operation; });
        if (it == m_dependencies.end())
            return;
        removed = std::move(*it);
        m_dependencies.erase(it);
    }
    removed.operation->removeObservation(removed.token);
    if (!wasReady && isReady()) {
        willChangeValueForKey("isReady");
        didChangeValueForKey("isReady");
    }
}

void NSOperation::dependencyFinished()
{
    if (isReady()) {
        willChangeValueForKey("isReady");
        didChangeValueForKey("isReady");
    }
}

std::vector<Ref<NSOperation>> NSOperation::dependencies() const
{
    dv::MutexLocker lock(m_lock);
    std::vector<Ref<NSOperation>> result;
    for (auto& d : m_dependencies)
        result.push_back(d.operation);
    return result;
}

void NSOperation::setQueuePriority(NSInteger priority)
{
    NSOperationQueuePriority level = NSOperationQueuePriorityVeryLow;
    for (auto candidate : {NSOperationQueuePriorityLow, NSOperationQueuePriorityNormal, NSOperationQueuePriorityHigh, NSOperationQueuePriorityVeryHigh})
        if (priority >= candidate)
            level = candidate;
    m_priority = level;
}

std::function<void()> NSOperation::completionBlock() const
{
    dv::MutexLocker lock(m_lock);
    return m_completionBlock;
}

void NSOperation::setCompletionBlock(std::function<void()> block)
{
    dv::MutexLocker lock(m_lock);
    m_completionBlock = std::move(block);
}

void NSOperation::waitUntilFinished()
{
    dv::internal::dispatch::BlockingScope blocking;
    dv::MutexLocker lock(m_lock);
    m_finishedCondition.wait(lock, [&] { return isFinished() && m_completed; });
}

Ref<NSString> NSOperation::name() const
{
    dv::MutexLocker lock(m_lock);
    return m_name;
}

void NSOperation::setName(const Ref<NSString>& name)
{
    dv::MutexLocker lock(m_lock);
    m_name = name;
}

id NSOperation::observedValueForKeyPath(std::string_view keyPath) const
{
    if (keyPath == "isFinished" || keyPath == "finished")
        return NSNumber::numberWithBool(isFinished());
    if (keyPath == "isExecuting" || keyPath == "executing")
        return NSNumber::numberWithBool(isExecuting());
    if (keyPath == "isCancelled" || keyPath == "cancelled")
        return NSNumber::numberWithBool(isCancelled());
    if (keyPath == "isReady" || keyPath == "ready")
        return NSNumber::numberWithBool(isReady());
    return dv::Observable::observedValueForKeyPath(keyPath);
}
