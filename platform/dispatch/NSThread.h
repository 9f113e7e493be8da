// NSThread: a thread of execution with a name and a run loop. Detached threads are
// std::threads that keep their NSThread alive while they run; pool threads and the main thread
// get an NSThread the first time they ask for currentThread().
//
//   NSThread::detachNewThreadWithBlock([] { NSRunLoop::currentRunLoop()->run(); });
//   performBlockOnThread(thread, [] { ... }, WaitUntilDone::no);
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

class NSRunLoop;

class NSThread : public NSObject {
    DV_CLASS(NSThread, NSObject)

    NSThread();
    ~NSThread() override;

    Ref<NSThread> initWithBlock(std::function<void()> block);
    Ref<NSThread> initWithTarget(const id& target, SEL selector, const id& argument);
    static void detachNewThreadWithBlock(std::function<void()> block);
    static void detachNewThreadSelector(SEL selector, const id& target, const id& argument);

    static Ref<NSThread> currentThread();
    static Ref<NSThread> mainThread();
    static bool isMainThread();
    bool isMain() const;

    // Blocks the calling thread for clock time (a manual clock in tests: until it is advanced).
    static void sleepForTimeInterval(NSTimeInterval seconds);
    static void sleepUntilDate(const Ref<NSDate>& date);

    // Starts the thread; a second start is ignored.
    void start();
    // What the thread runs: the block or the target's selector. Subclasses may override.
    virtual void main();
    void cancel() { m_cancelled = true; }
    bool isCancelled() const { return m_cancelled; }
    bool isExecuting() const { return m_executing; }
    bool isFinished() const { return m_finished; }

    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);

    // The thread's run loop; it exists from the thread's creation, so blocks can be queued on
    // it before the thread starts running it.
    Ref<NSRunLoop> runLoop() const { return m_runLoop; }

private:
    friend struct NSThreadAccess;
    void bindToCurrentThread();

    mutable dv::Mutex m_lock;
    Ref<NSString> m_name DV_GUARDED_BY(m_lock);
    Ref<NSRunLoop> m_runLoop;
    std::function<void()> m_block;
    id m_target;
    SEL m_selector;
    id m_argument;
    std::atomic<bool> m_started { false };
    std::atomic<bool> m_cancelled { false };
    std::atomic<bool> m_executing { false };
    std::atomic<bool> m_finished { false };
};

enum class WaitUntilDone { no, yes };

// Runs `block` on `thread`'s run loop in the common modes (or `modes`). When waiting, the caller
// blocks until the block has run; a wait on the calling thread itself runs the block at once.
void performBlockOnThread(const Ref<NSThread>& thread, std::function<void()> block, WaitUntilDone wait,
                          const std::vector<std::string>& modes = {});
void performBlockOnMainThread(std::function<void()> block, WaitUntilDone wait);

// The platform's performing on threads, as functions on the receiver.
void performSelectorOnThread(const id& target, SEL selector, const Ref<NSThread>& thread, const id& argument, WaitUntilDone wait);
void performSelectorOnMainThread(const id& target, SEL selector, const id& argument, WaitUntilDone wait);
void performSelectorInBackground(const id& target, SEL selector, const id& argument);
