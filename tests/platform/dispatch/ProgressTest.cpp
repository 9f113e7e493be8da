#include "platform/base/NSNumber.h"
#include "platform/dispatch/NSProgress.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressTest, FractionFollowsTheCountsAndIsObservable)
{
    auto progress = NSProgress::progressWithTotalUnitCount(-1);
    EXPECT_TRUE(progress->isIndeterminate());
    EXPECT_EQ(progress->fractionCompleted(), 0);
    std::vector<double> fractions;
    auto token = progress->observe("fractionCompleted", NSKeyValueObservingOptionNew, [&](const id&, const dv::KeyValueChange& change) {
        fractions.push_back(dv::as<NSNumber>(change.newValue)->doubleValue());
    });
    progress->setTotalUnitCount(200);
    progress->setCompletedUnitCount(50);
    progress->setCompletedUnitCount(200);
    EXPECT_EQ(fractions, (std::vector<double> {0, 0.25, 1}));
    EXPECT_TRUE(progress->isFinished());
    progress->removeObservation(token);
}

TEST(ProgressTest, CancellationRunsTheHandlerOnce)
{
    auto progress = NSProgress::progressWithTotalUnitCount(10);
    int cancelled = 0;
    progress->setCancellationHandler([&] { ++cancelled; });
    bool observed = false;
    auto token = progress->observe("cancelled", NSKeyValueObservingOptionNew, [&](const id&, const dv::KeyValueChange& change) {
        observed = dv::as<NSNumber>(change.newValue)->boolValue();
    });
    progress->cancel();
    progress->cancel();
    EXPECT_TRUE(progress->isCancelled());
    EXPECT_EQ(cancelled, 1);
    EXPECT_TRUE(observed);
    // A handler set after the fact runs at once.
    int late = 0;
    progress->setCancellationHandler([&] { ++late; });
    EXPECT_EQ(late, 1);
    progress->removeObservation(token);
}

TEST(ProgressTest, PausingNeedsAPausableProgress)
{
    auto progress = NSProgress::progressWithTotalUnitCount(10);
    std::vector<std::string> events;
    progress->setPausingHandler([&] { events.push_back("pause"); });
    progress->setResumingHandler([&] { events.push_back("resume"); });
    progress->pause();
    EXPECT_FALSE(progress->isPaused());
    progress->setPausable(true);
    progress->pause();
    progress->pause();
    EXPECT_TRUE(progress->isPaused());
    progress->resume();
    progress->resume();
    EXPECT_FALSE(progress->isPaused());
    EXPECT_EQ(events, (std::vector<std::string> {"pause", "resume"}));
}

TEST(ProgressTest, HandlersMayReleaseTheProgress)
{
    auto progress = NSProgress::progressWithTotalUnitCount(1);
    Weak<NSProgress> weak = progress;
    auto holder = std::make_shared<Ref<NSProgress>>(progress);
    progress->setCancellationHandler([holder] { *holder = nil; });
    progress = nil;
    weak.lock()->cancel();
    EXPECT_TRUE(weak.expired());
}

} // namespace
