// Dispatch throughput and latency against plain std::thread baselines, measured in the same run.
//
// SerialQueueAgainstMutexQueue: one million tiny blocks through a serial dispatch queue, and the
// same through a queue made of a mutex, a condition variable and one consumer thread; counters
// give the best time of each and their ratio (serial / baseline).
// MainQueueRoundTrip: a hop from a pool thread to the main queue and back to a pool thread,
// with the main thread turning its run loop; PingPongBaseline is the same two hops between two
// plain threads over condition variables.
#include "platform/base/Mutex.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSRunLoop.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <thread>

namespace {

constexpr int blockCount = 1000000;

class MutexConditionQueue {
public:
    MutexConditionQueue()
        : m_thread([this] { run(); })
    {
    }
    ~MutexConditionQueue()
    {
        post({});
        m_thread.join();
    }
    void post(std::function<void()> block)
    {
        {
            dv::MutexLocker lock(m_lock);
            m_items.push_back(std::move(block));
        }
        m_ready.notifyOne();
    }

private:
    void run()
    {
        for (;;) {
            std::function<void()> block;
            {
                dv::MutexLocker lock(m_lock);
                m_ready.wait(lock, [&]() DV_REQUIRES(m_lock) { return !m_items.empty(); });
                block = std::move(m_items.front());
                m_items.pop_front();
            }
            if (!block)
                return;
            block();
        }
    }

    dv::Mutex m_lock;
    dv::ConditionVariable m_ready;
    std::deque<std::function<void()>> m_items DV_GUARDED_BY(m_lock);
    std::thread m_thread;
};

double secondsFor(const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double runSerialQueue()
{
    auto queue = dispatch_queue_create("bench.serial", DISPATCH_QUEUE_SERIAL);
    auto done = dispatch_semaphore_create(0);
    std::uint64_t counter = 0;
    return secondsFor([&] {
        for (int i = 0; i < blockCount; ++i)
            dispatch_async(queue, [&counter] { ++counter; });
        dispatch_async(queue, [done] { dispatch_semaphore_signal(done); });
        dispatch_semaphore_wait(done, DISPATCH_TIME_FOREVER);
        benchmark::DoNotOptimize(counter);
    });
}

double runMutexQueue()
{
    MutexConditionQueue queue;
    dv::Mutex doneLock;
    dv::ConditionVariable doneCondition;
    bool done = false;
    std::uint64_t counter = 0;
    return secondsFor([&] {
        for (int i = 0; i < blockCount; ++i)
            queue.post([&counter] { ++counter; });
        queue.post([&] {
            dv::MutexLocker lock(doneLock);
            done = true;
            doneCondition.notifyOne();
        });
        dv::MutexLocker lock(doneLock);
        doneCondition.wait(lock, [&] { return done; });
        benchmark::DoNotOptimize(counter);
    });
}

void SerialQueueAgainstMutexQueue(benchmark::State& state)
{
    // The fastest run of each side is compared: on a loaded machine the slow runs measure the
    // other processes rather than the queues.
    double serial = 1e9, baseline = 1e9;
    for (auto _ : state) {
        baseline = std::min(baseline, runMutexQueue());
        serial = std::min(serial, runSerialQueue());
    }
    state.counters["serial_ms"] = serial * 1000;
    state.counters["mutex_cv_ms"] = baseline * 1000;
    state.counters["ratio"] = serial / baseline;
}
BENCHMARK(SerialQueueAgainstMutexQueue)->Unit(benchmark::kMillisecond)->Iterations(9)->UseRealTime();

void MainQueueRoundTrip(benchmark::State& state)
{
    auto worker = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    auto loop = NSRunLoop::mainRunLoop();
    for (auto _ : state) {
        // Timed on the worker: from leaving it to being back on it.
        std::atomic<bool> back = false;
        std::chrono::steady_clock::time_point start, end;
        dispatch_async(worker, [&] {
            start = std::chrono::steady_clock::now();
            dispatch_async(dispatch_get_main_queue(), [&] {
                dispatch_async(worker, [&] {
                    end = std::chrono::steady_clock::now();
                    back = true;
                });
            });
        });
        loop->runUntil([&] { return back.load(); }, 10);
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}
BENCHMARK(MainQueueRoundTrip)->Unit(benchmark::kMicrosecond)->UseManualTime();

void PingPongBaseline(benchmark::State& state)
{
    dv::Mutex lock;
    dv::ConditionVariable changed;
    int turn = 0; // 0: idle, 1: the other thread's turn, 2: back
    bool stop = false;
    std::thread other([&] {
        dv::MutexLocker guard(lock);
        for (;;) {
            changed.wait(guard, [&] { return turn == 1 || stop; });
            if (stop)
                return;
            turn = 2;
            changed.notifyAll();
        }
    });
    for (auto _ : state) {
        dv::MutexLocker guard(lock);
        turn = 1;
        changed.notifyAll();
        changed.wait(guard, [&] { return turn == 2; });
        turn = 0;
    }
    {
        dv::MutexLocker guard(lock);
        stop = true;
    }
    changed.notifyAll();
    other.join();
}
BENCHMARK(PingPongBaseline)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
