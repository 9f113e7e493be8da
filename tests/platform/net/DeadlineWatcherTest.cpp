#include "platform/net/internal/DeadlineWatcher.h"

#include "platform/base/Mutex.h"
#include "platform/dispatch/Clock.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using dv::internal::net::DeadlineWatcher;

namespace {

struct Fired {
    dv::Mutex mutex;
    std::vector<std::string> names DV_GUARDED_BY(mutex);
    std::function<void()> note(std::string name)
    {
        return [this, name] { dv::MutexLocker lock(mutex); names.push_back(name); };
    }
    std::vector<std::string> list() { dv::MutexLocker lock(mutex); return names; }
};

TEST(DeadlineWatcherTest, DeadlinesFireInOrderOnTheClockUnlessRemoved)
{
    dv::ManualClockScope clock;
    auto& watcher = DeadlineWatcher::shared();
    auto baseline = watcher.pendingCount();
    Fired fired;
    double now = clock->now();
    watcher.add(now + 10, fired.note("ten"));
    auto removed = watcher.add(now + 5, fired.note("removed"));
    watcher.add(now + 20, fired.note("twenty"));
    // Added last but due first: the watcher must stop waiting for the earlier ones.
    watcher.add(now + 2, fired.note("two"));
    watcher.remove(removed);
    watcher.remove(removed);
    EXPECT_EQ(watcher.pendingCount(), baseline + 3);

    clock->advance(1);
    EXPECT_TRUE(dv::testing::runUntilIdle());
    EXPECT_TRUE(fired.list().empty());
    clock->advance(10);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return fired.list().size() == 2; }));
    EXPECT_EQ(fired.list(), (std::vector<std::string> { "two", "ten" }));
    clock->advance(10);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return fired.list().size() == 3; }));
    EXPECT_EQ(fired.list().back(), "twenty");
    EXPECT_EQ(watcher.pendingCount(), baseline);
}

TEST(DeadlineWatcherTest, DeadlinesWaitForTheClockTheyWereSetOn)
{
    auto& watcher = DeadlineWatcher::shared();
    Fired fired;
    DeadlineWatcher::Token stranded = 0;
    {
        dv::ManualClockScope clock;
        stranded = watcher.add(clock->now() + 5, fired.note("manual"));
    }
    // The system clock is long past the manual clock's deadline, which is not its own: a
    // deadline of the system clock due now fires alone.
    watcher.add(dv::Clock::current().now(), fired.note("system"));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return !fired.list().empty(); }));
    EXPECT_EQ(fired.list(), (std::vector<std::string> { "system" }));
    watcher.remove(stranded);
}

} // namespace
