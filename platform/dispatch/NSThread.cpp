#include "platform/dispatch/NSThread.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSString.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/base/NSDate.h"
#include "platform/dispatch/internal/Waiting.h"

#include <pthread.h>
#include <thread>

DV_DEFINE_CLASS(NSThread)

namespace {

// The NSThread of a thread started by NSThread.
thread_local Ref<NSThread> t_current;
// The NSThread of any other thread (a pool thread, a transport thread), made when first asked
// for. It belongs to that thread rather than to the work that happened to ask, and goes with it.
thread_local dv::Uncounted<NSThread> t_adopted;

void setSystemThreadName(const Ref<NSString>& name)
{
    // The system keeps at most 15 bytes; enough to tell threads apart in a debugger.
    std::string text = name ? name->utf8().substr(0, 15) : std::string();
    pthread_setname_np(pthread_self(), text.c_str());
}

} // namespace

NSThread::NSThread() : m_runLoop(alloc<NSRunLoop>()) { }

NSThread::~NSThread() = default;

Ref<NSThread> NSThread::initWithBlock(std::function<void()> block)
{
    m_block = std::move(block);
    return self<NSThread>();
}

Ref<NSThread> NSThread::initWithTarget(const id& target, SEL selector, const id& argument)
{
    m_target = target;
    m_selector = selector;
    m_argument = argument;
    return self<NSThread>();
}

void NSThread::detachNewThreadWithBlock(std::function<void()> block)
{
    alloc<NSThread>()->initWithBlock(std::move(block))->start();
}

void NSThread::detachNewThreadSelector(SEL selector, const id& target, const id& argument)
{
    alloc<NSThread>()->initWithTarget(target, selector, argument)->start();
}

Ref<NSThread> NSThread::mainThread()
{
    // Never destroyed: threads may still reach the main loop while the process exits.
    static auto* main = new Ref<NSThread>(dv::keepingForever([] {
        auto thread = alloc<NSThread>();
        thread->m_runLoop->markMain();
        thread->setName(NSString::fromUTF8("main"));
        thread->m_started = true;
        thread->m_executing = true;
        return thread;
    }));
    return *main;
}

Ref<NSThread> NSThread::currentThread()
{
    if (dv::isMainThread())
        return mainThread();
    if (t_current)
        return t_current;
    if (!t_adopted.get())
        t_adopted.make([] { return alloc<NSThread>(); });
    return t_adopted.get();
}

bool NSThread::isMainThread() { return dv::isMainThread(); }

void NSThread::sleepForTimeInterval(NSTimeInterval seconds)
{
    sleepUntilDate(NSDate::dateWithTimeIntervalSinceNow(seconds));
}

void NSThread::sleepUntilDate(const Ref<NSDate>& date)
{
    if (!date)
        return;
    dv::Mutex lock;
    dv::ConditionVariable never;
    dv::MutexLocker guard(lock);
    dv::internal::dispatch::waitUntilClock(never, guard, date->timeIntervalSinceReferenceDate(), [] { return false; });
}

bool NSThread::isMain() const { return this == mainThread().get(); }

void NSThread::bindToCurrentThread()
{
    t_current = self<NSThread>();
    setSystemThreadName(name());
}

void NSThread::start()
{
    if (m_started.exchange(true))
        return;
    m_executing = true;
    // The running thread keeps its NSThread (and so its run loop) alive until it ends.
    std::thread([self = self<NSThread>()] {
        self->bindToCurrentThread();
        self->main();
        self->m_executing = false;
        self->m_finished = true;
        dv::MutexLocker lock(self->m_lock);
        self->m_block = nullptr;
        self->m_target = nil;
        self->m_argument = nil;
        t_current = nil;
    }).detach();
}

void NSThread::main()
{
    std::function<void()> block;
    id target, argument;
    SEL selector;
    {
        dv::MutexLocker lock(m_lock);
        block = m_block;
        target = m_target;
        selector = m_selector;
        argument = m_argument;
    }
    if (block) {
        block();
    } else if (target && selector) {
        id args[] = {argument};
        target->performSelector(selector, args);
    }
}

Ref<NSString> NSThread::name() const
{
    dv::MutexLocker lock(m_lock);
    return m_name;
}

void NSThread::setName(const Ref<NSString>& name)
{
    {
        dv::MutexLocker lock(m_lock);
        m_name = name;
    }
    if (t_current.get() == this || t_adopted.get().get() == this)
        setSystemThreadName(name);
}

void performBlockOnThread(const Ref<NSThread>& thread, std::function<void()> block, WaitUntilDone wait,
                          const std::vector<std::string>& modes)
{
    if (!thread || !block)
        return;
    if (wait == WaitUntilDone::yes && thread == NSThread::currentThread()) {
        block();
        return;
    }
    auto loop = thread->runLoop();
    if (wait == WaitUntilDone::no) {
        loop->performInModes(modes, std::move(block));
        return;
    }
    struct Done {
        dv::Mutex lock;
        dv::ConditionVariable cv;
        bool done = false;
    };
    auto done = std::make_shared<Done>();
    loop->performInModes(modes, [block = std::move(block), done] {
        block();
        {
            dv::MutexLocker guard(done->lock);
            done->done = true;
        }
        done->cv.notifyAll();
    });
    dv::internal::dispatch::BlockingScope blocking;
    dv::MutexLocker guard(done->lock);
    done->cv.wait(guard, [&] { return done->done; });
}

void performBlockOnMainThread(std::function<void()> block, WaitUntilDone wait)
{
    performBlockOnThread(NSThread::mainThread(), std::move(block), wait);
}

void performSelectorOnThread(const id& target, SEL selector, const Ref<NSThread>& thread, const id& argument, WaitUntilDone wait)
{
    if (!target || !selector)
        return;
    // Target and argument are kept until the call has been made, as on the platform.
    performBlockOnThread(thread, [target, selector, argument] {
        id args[] = {argument};
        target->performSelector(selector, args);
    }, wait);
}

void performSelectorOnMainThread(const id& target, SEL selector, const id& argument, WaitUntilDone wait)
{
    performSelectorOnThread(target, selector, NSThread::mainThread(), argument, wait);
}

void performSelectorInBackground(const id& target, SEL selector, const id& argument)
{
    if (target && selector)
        NSThread::detachNewThreadSelector(selector, target, argument);
}
