// Helpers the benchmark binaries share: timing, medians of per-round ratios, and a helper thread
// that runs a piece of work on request (the baseline for clients that answer on another thread).
#pragma once

#include "platform/base/Mutex.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace dv::bench {

inline double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Ratios of `numerator` to `denominator` taken round by round (the machine's load drifts between
// rounds), and their median.
inline double medianRatio(const std::vector<double>& numerator, const std::vector<double>& denominator)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < numerator.size() && i < denominator.size(); ++i)
        ratios.push_back(numerator[i] / denominator[i]);
    return median(ratios);
}

// Runs `work` on its own thread once per request, one request at a time.
class HelperThread {
public:
    explicit HelperThread(std::function<void()> work)
        : m_work(std::move(work))
        , m_thread([this] { run(); })
    {
    }

    ~HelperThread()
    {
        {
            dv::MutexLocker lock(m_mutex);
            m_quit = true;
        }
        m_changed.notifyAll();
        m_thread.join();
    }

    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    // Asks for one more run and answers its number (from 1).
    int request()
    {
        int number = 0;
        {
            dv::MutexLocker lock(m_mutex);
            number = ++m_requested;
        }
        m_changed.notifyAll();
        return number;
    }

    void waitUntilServed(int number)
    {
        dv::MutexLocker lock(m_mutex);
        m_changed.wait(lock, [&]() DV_REQUIRES(m_mutex) { return m_served >= number; });
    }

private:
    void run()
    {
        dv::MutexLocker lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&]() DV_REQUIRES(m_mutex) { return m_requested > m_served || m_quit; });
            if (m_quit)
                return;
            lock.unlock();
            m_work();
            lock.lock();
            ++m_served;
            m_changed.notifyAll();
        }
    }

    std::function<void()> m_work;
    dv::Mutex m_mutex;
    dv::ConditionVariable m_changed;
    int m_requested DV_GUARDED_BY(m_mutex) = 0;
    int m_served DV_GUARDED_BY(m_mutex) = 0;
    bool m_quit DV_GUARDED_BY(m_mutex) = false;
    std::thread m_thread; // last: starts once the rest is ready
};

} // namespace dv::bench
