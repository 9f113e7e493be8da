// NSRunLoop: the event loop of one thread. The main thread's loop drains the main queue, fires
// timers and delayed performs by mode, runs blocks other threads hand it, and at the end of each
// turn calls the end-of-turn observers (the UI's layout and display pass). Other threads get a
// loop on demand; it runs only while the thread runs it.
//
//   NSRunLoop::currentRunLoop()->addTimer(timer, NSRunLoopCommonModes);
//   NSRunLoop::mainRunLoop()->performBlock([] { ... });       // from any thread
//   NSRunLoop::currentRunLoop()->runUntil([&] { return done; }, 5);  // tests: bounded pump
//
// A loop's own methods (run…, addTimer, addExternalSource) are called on its thread; performBlock,
// wakeUp and stop may be called from any thread. With an external event source added (see
// ExternalEventSource.h), a turn waits in poll(2) for the source's descriptors and for a wake-up,
// instead of on a condition variable; either way a loop with nothing due sleeps.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class NSPort;
class NSTimer;
class NSThread;

namespace dv {
class ExternalEventSource;
}

extern const char* const NSDefaultRunLoopMode;  // "kCFRunLoopDefaultMode"
extern const char* const NSRunLoopCommonModes;  // "kCFRunLoopCommonModes": default and tracking
extern const char* const UITrackingRunLoopMode; // "UITrackingRunLoopMode"

class NSRunLoop : public NSObject {
    DV_CLASS(NSRunLoop, NSObject)

    NSRunLoop() = default;
    ~NSRunLoop() override;

    static Ref<NSRunLoop> currentRunLoop();
    static Ref<NSRunLoop> mainRunLoop();

    // The mode the loop is running in, nil when it is not running.
    Ref<NSString> currentMode() const;

    void addTimer(const Ref<NSTimer>& timer, std::string_view mode);
    // A port is a source: while one is added, the loop has something to wait for.
    void addPort(const Ref<NSPort>& port, std::string_view mode);
    void removePort(const Ref<NSPort>& port, std::string_view mode);
    // Runs until stop(); returns at once when the loop has nothing to wait for (no timer, no
    // queued block, not the main loop), as the platform's does.
    void run();
    void runUntilDate(const Ref<NSDate>& limitDate);
    // One turn in `mode`: handles what is ready, or waits for the first thing to handle or for
    // the limit date. False when the loop has nothing to wait for.
    bool runModeBeforeDate(std::string_view mode, const Ref<NSDate>& limitDate);
    // The fire date of the next timer in `mode`, nil when there is none.
    Ref<NSDate> limitDateForMode(std::string_view mode);

    // Queues a block for the loop's next turn in the common modes (or in `modes`), from any thread.
    void performBlock(std::function<void()> block);
    void performInModes(const std::vector<std::string>& modes, std::function<void()> block);

    // Makes the innermost run… call return after its current turn; run() stops looping.
    void stop();
    void wakeUp();

    // Runs turns in the default mode until `condition` holds or `realTimeout` seconds of real
    // time pass (the bound protects tests from hanging; it does not read the process clock).
    // Answers the condition's last value.
    bool runUntil(const std::function<bool()>& condition, double realTimeout);

    // Sources of events outside the dispatch layer, served in every turn of every mode.
    void addExternalSource(const std::shared_ptr<dv::ExternalEventSource>& source);
    void removeExternalSource(const std::shared_ptr<dv::ExternalEventSource>& source);

    // Called at the end of every turn, on the loop's thread, in the order added.
    std::uint64_t addEndOfTurnObserver(std::function<void()> observer);
    void removeEndOfTurnObserver(std::uint64_t token);

    // Delayed performs on this loop (see NSObject+performing functions below).
    void cancelPerforms(const NSObject* target, SEL selector, const NSObject* argument, bool anySelector);

    // For the manual clock: one turn in `mode` without waiting past `realMaxWait` seconds;
    // answers whether anything was handled. And the next timer date in clock seconds.
    bool runTurn(std::string_view mode, NSTimeInterval clockDeadline, double realMaxWait);
    NSTimeInterval nextTimerTime(std::string_view mode);
    // For the manual clock going away: invalidates the one-shot timers and delayed performs
    // still waiting (they would fire into whatever runs next, on another clock) and lets go of
    // every invalidated timer. Repeating timers stay: their owners stop them.
    void discardWaitingTimers();

    // How long the loop's turns took to run, in real seconds: the work of each turn (blocks,
    // timers, the end-of-turn observers), not its wait for work. takeTurnTimes answers what was
    // recorded since the last take and starts again; any thread may call it.
    struct TurnTimes {
        double longest = 0;
        double total = 0;
        std::uint64_t turns = 0;
    };
    TurnTimes takeTurnTimes();

    // The main loop's thread is the main thread; others record their thread here.
    bool isMain() const { return m_isMain; }
    void markMain() { m_isMain = true; }

private:
    struct Perform {
        std::vector<std::string> modes; // empty: common modes
        std::function<void()> block;
    };
    struct TimerEntry {
        Ref<NSTimer> timer;
        std::vector<std::string> modes;
    };

    static bool modeMatches(const std::vector<std::string>& modes, std::string_view mode);
    bool hasSourcesLocked() const DV_REQUIRES(m_lock);
    bool readyLocked(std::string_view mode) const DV_REQUIRES(m_lock);
    bool doWork(std::string_view mode);
    void endTurn();
    // One round of the external sources: what they watch is waited for (with the loop's own work,
    // at most until `clockDeadline` or `realMaxWait` seconds; `waited` says how long), then they
    // handle what came.
    bool serviceExternalSources(std::string_view mode, NSTimeInterval clockDeadline, double realMaxWait, double& waited);

    mutable dv::Mutex m_lock;
    dv::ConditionVariable m_wake;
    std::deque<Perform> m_performs DV_GUARDED_BY(m_lock);
    std::vector<TimerEntry> m_timers DV_GUARDED_BY(m_lock);
    std::vector<std::pair<Ref<NSPort>, std::string>> m_ports DV_GUARDED_BY(m_lock);
    std::vector<std::pair<std::uint64_t, std::function<void()>>> m_endOfTurn DV_GUARDED_BY(m_lock);
    std::uint64_t m_nextToken DV_GUARDED_BY(m_lock) = 1;
    bool m_wakeRequested DV_GUARDED_BY(m_lock) = false;
    bool m_stopRequested DV_GUARDED_BY(m_lock) = false;
    std::vector<std::string> m_modeStack;
    bool m_isMain = false;
    TurnTimes m_turnTimes DV_GUARDED_BY(m_lock);
    std::vector<std::shared_ptr<dv::ExternalEventSource>> m_externalSources;
    int m_wakeFd = -1; // an eventfd that wakeUp writes once external sources are added
};

// The platform's delayed performing, as functions on the receiver: the current thread's loop
// sends `selector` (with `argument`) to `target` after `delay` seconds of clock time, in the
// default mode or in `modes`. Target and argument are kept until the call is made or cancelled.
void performSelectorWithObjectAfterDelay(const id& target, SEL selector, const id& argument, NSTimeInterval delay);
void performSelectorWithObjectAfterDelayInModes(const id& target, SEL selector, const id& argument, NSTimeInterval delay,
                                                const std::vector<std::string>& modes);
// The same with a block in place of a selector; `tag` lets a later cancel pick this call out
// among the target's others (null matches only a cancel of every request of the target).
void performBlockAfterDelay(const id& target, NSTimeInterval delay, std::function<void()> block, const void* tag = nullptr);
// Cancels, on the current thread's loop, every delayed perform for `target`, or those with the
// given selector and an equal argument.
void cancelPreviousPerformRequestsWithTarget(const id& target);
void cancelPreviousPerformRequestsWithTarget(const id& target, SEL selector, const id& argument);
// Cancels the block performs of `target` made with `tag`.
void cancelPreviousPerformBlockRequests(const id& target, const void* tag);
