#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSException.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/SideTable.h"
#include "platform/dispatch/Observable.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// An object with observed properties: a counter published by hand, a title through key-value
// coding, and a derived "summary" that depends on both.
class ObservedTask : public NSObject, public dv::Observable {
    DV_CLASS(ObservedTask, NSObject)

    ObservedTask() = default;
    void setCount(std::int64_t count)
    {
        changeValueForKey("count", [&] { m_count = count; });
    }
    void setTitle(const Ref<NSString>& title)
    {
        changeValueForKey("title", [&] { m_title = title; });
    }
    std::vector<std::string> keyPathsForValuesAffectingValueForKey(std::string_view key) const override
    {
        if (key == "summary")
            return {"count", "title"};
        return {};
    }
    std::int64_t m_count = 0;
    Ref<NSString> m_title;
};

DV_DEFINE_CLASS_WITH(ObservedTask, b)
{
    b.property("count", &ObservedTask::m_count, "Tq,N,V_count");
    b.property("title", &ObservedTask::m_title, "T@\"NSString\",C,N,V_title");
    b.property<Ref<NSString>>("summary", "T@\"NSString\",R,N", [](const ObservedTask& t) {
        return NSString::stringWithFormat("%@:%lld", t.m_title, static_cast<long long>(t.m_count));
    });
}

class ChangeRecorder : public NSObject, public NSKeyValueObserving {
    DV_CLASS(ChangeRecorder, NSObject)

    ChangeRecorder() = default;
    struct Call {
        std::string keyPath;
        id object;
        Ref<NSDictionary> change;
        void* context;
    };
    void observeValueForKeyPath(const Ref<NSString>& keyPath, const id& object, const Ref<NSDictionary>& change, void* context) override
    {
        calls.push_back({keyPath->utf8(), object, change, context});
        if (onCall)
            onCall();
    }
    std::vector<Call> calls;
    std::function<void()> onCall;
};

DV_DEFINE_CLASS(ChangeRecorder)

// Safe to call from several threads at once.
class CountingObserver : public NSObject, public NSKeyValueObserving {
    DV_CLASS(CountingObserver, NSObject)

    CountingObserver() = default;
    void observeValueForKeyPath(const Ref<NSString>&, const id&, const Ref<NSDictionary>&, void*) override { ++calls; }
    std::atomic<int> calls = 0;
};

DV_DEFINE_CLASS(CountingObserver)

namespace {

int contextA;
int contextB;

long long number(const id& value) { return dv::as<NSNumber>(value) ? dv::as<NSNumber>(value)->longLongValue() : -1; }

class ObservableTest : public ::testing::Test {
protected:
    Ref<ObservedTask> task = alloc<ObservedTask>();
    Ref<ChangeRecorder> recorder = alloc<ChangeRecorder>();
};

TEST_F(ObservableTest, ObserverReceivesOldAndNewValuesWithItsContext)
{
    task->setCount(1);
    task->addObserver(recorder, "count", NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld, &contextA);
    task->setCount(5);
    ASSERT_EQ(recorder->calls.size(), 1u);
    auto& call = recorder->calls[0];
    EXPECT_EQ(call.keyPath, "count");
    EXPECT_EQ(call.object, task);
    EXPECT_EQ(call.context, &contextA);
    EXPECT_EQ(number(call.change->objectForKey(NSKeyValueChangeOldKey)), 1);
    EXPECT_EQ(number(call.change->objectForKey(NSKeyValueChangeNewKey)), 5);
    EXPECT_EQ(number(call.change->objectForKey(NSKeyValueChangeKindKey)), NSKeyValueChangeSetting);
    task->removeObserver(recorder.get(), "count", &contextA);
}

TEST_F(ObservableTest, NilValuesArriveAsNullAndUnrequestedValuesAreAbsent)
{
    task->addObserver(recorder, "title", NSKeyValueObservingOptionOld, nullptr);
    task->setTitle(NSString::fromUTF8("a"));
    ASSERT_EQ(recorder->calls.size(), 1u);
    EXPECT_EQ(recorder->calls[0].change->objectForKey(NSKeyValueChangeOldKey), NSNull::null());
    EXPECT_EQ(recorder->calls[0].change->objectForKey(NSKeyValueChangeNewKey), nil);
    task->removeObserver(recorder.get(), "title");
}

TEST_F(ObservableTest, InitialAndPriorNotifications)
{
    task->setCount(3);
    task->addObserver(recorder, "count", NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionPrior | NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld, nullptr);
    ASSERT_EQ(recorder->calls.size(), 1u);
    EXPECT_EQ(number(recorder->calls[0].change->objectForKey(NSKeyValueChangeNewKey)), 3);
    EXPECT_EQ(recorder->calls[0].change->objectForKey(NSKeyValueChangeOldKey), nil);

    task->setCount(4);
    ASSERT_EQ(recorder->calls.size(), 3u);
    auto& prior = recorder->calls[1].change;
    EXPECT_TRUE(dv::as<NSNumber>(prior->objectForKey(NSKeyValueChangeNotificationIsPriorKey))->boolValue());
    EXPECT_EQ(number(prior->objectForKey(NSKeyValueChangeOldKey)), 3);
    EXPECT_EQ(prior->objectForKey(NSKeyValueChangeNewKey), nil);
    auto& after = recorder->calls[2].change;
    EXPECT_EQ(after->objectForKey(NSKeyValueChangeNotificationIsPriorKey), nil);
    EXPECT_EQ(number(after->objectForKey(NSKeyValueChangeNewKey)), 4);
    task->removeObserver(recorder.get(), "count");
}

TEST_F(ObservableTest, DependentKeyIsNotifiedWhenASourceChanges)
{
    task->addObserver(recorder, "summary", NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld, nullptr);
    task->setTitle(NSString::fromUTF8("job"));
    task->setCount(2);
    ASSERT_EQ(recorder->calls.size(), 2u);
    EXPECT_EQ(dv::str(recorder->calls[0].change->objectForKey(NSKeyValueChangeOldKey)), "(null):0");
    EXPECT_EQ(dv::str(recorder->calls[1].change->objectForKey(NSKeyValueChangeNewKey)), "job:2");
    task->removeObserver(recorder.get(), "summary");
}

TEST_F(ObservableTest, RemovalPicksTheRegistrationWithTheGivenContext)
{
    task->addObserver(recorder, "count", 0, &contextA);
    task->addObserver(recorder, "count", 0, &contextB);
    task->removeObserver(recorder.get(), "count", &contextA);
    task->setCount(1);
    ASSERT_EQ(recorder->calls.size(), 1u);
    EXPECT_EQ(recorder->calls[0].context, &contextB);
    task->removeObserver(recorder.get(), "count", &contextB);
    task->setCount(2);
    EXPECT_EQ(recorder->calls.size(), 1u);
    EXPECT_FALSE(task->hasObservers());
}

TEST_F(ObservableTest, RemovingAnObserverThatIsNotRegisteredRaises)
{
    EXPECT_THROW(task->removeObserver(recorder.get(), "count"), dv::RaisedException);
}

TEST_F(ObservableTest, DestroyedObserverIsNeverCalled)
{
    auto gone = alloc<ChangeRecorder>();
    bool called = false;
    gone->onCall = [&] { called = true; };
    task->addObserver(gone, "count", NSKeyValueObservingOptionNew, nullptr);
    gone = nil;
    task->setCount(9);
    EXPECT_FALSE(called);
}

TEST_F(ObservableTest, ObserverMayRemoveItselfFromItsCallback)
{
    recorder->onCall = [&] { task->removeObserver(recorder.get(), "count"); };
    task->addObserver(recorder, "count", NSKeyValueObservingOptionNew, nullptr);
    auto second = alloc<ChangeRecorder>();
    task->addObserver(second, "count", NSKeyValueObservingOptionNew, nullptr);
    task->setCount(1);
    task->setCount(2);
    EXPECT_EQ(recorder->calls.size(), 1u);
    EXPECT_EQ(second->calls.size(), 2u);
    task->removeObserver(second.get(), "count");
}

TEST_F(ObservableTest, ObserverRemovedByAnEarlierCallbackOfTheSameChangeIsSkipped)
{
    auto second = alloc<ChangeRecorder>();
    recorder->onCall = [&] { task->removeObserver(second.get(), "count"); };
    task->addObserver(recorder, "count", 0, nullptr);
    task->addObserver(second, "count", 0, nullptr);
    task->setCount(1);
    EXPECT_EQ(second->calls.size(), 0u);
    task->removeObserver(recorder.get(), "count");
}

TEST_F(ObservableTest, BlockObservationsEndWithTheirToken)
{
    std::vector<std::pair<long long, long long>> seen;
    auto token = task->observe("count", NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld, [&](const id& object, const dv::KeyValueChange& change) {
        EXPECT_EQ(object, task);
        seen.emplace_back(number(change.oldValue), number(change.newValue));
    });
    task->setCount(7);
    task->removeObservation(token);
    task->removeObservation(token); // twice is harmless
    task->setCount(8);
    EXPECT_EQ(seen, (std::vector<std::pair<long long, long long>> {{0, 7}}));
}

TEST_F(ObservableTest, ClassesThatNotifyByHandAreNotNotifiedAutomatically)
{
    class Manual : public ObservedTask {
    public:
        bool automaticallyNotifiesObserversForKey(std::string_view key) const override { return key != "count"; }
    };
    auto manual = std::make_shared<Manual>();
    int calls = 0;
    auto token = manual->observe("count", 0, [&](const id&, const dv::KeyValueChange&) { ++calls; });
    manual->setCount(1);
    EXPECT_EQ(calls, 0);
    manual->willChangeValueForKey("count");
    manual->m_count = 2;
    manual->didChangeValueForKey("count");
    EXPECT_EQ(calls, 1);
    manual->removeObservation(token);
}

TEST_F(ObservableTest, ChangesAndRemovalsRaceSafelyAcrossThreads)
{
    std::atomic<int> calls = 0;
    std::atomic<bool> stop = false;
    // Changes announced on two threads while observations come and go on a third.
    auto changer = [task = task, &stop] {
        while (!stop) {
            task->willChangeValueForKey("count");
            task->didChangeValueForKey("count");
        }
    };
    std::thread a(changer), b(changer);
    for (int round = 0; round < 200; ++round) {
        auto token = task->observe("count", NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld, [&](const id&, const dv::KeyValueChange&) { ++calls; });
        auto observer = alloc<CountingObserver>();
        task->addObserver(observer, "count", 0, nullptr);
        task->removeObservation(token);
        task->removeObserver(observer.get(), "count");
    }
    stop = true;
    a.join();
    b.join();
    EXPECT_FALSE(task->hasObservers());
}

} // namespace

TEST_F(ObservableTest, RegistrationsLiveBesideTheObjectAndGoWithIt)
{
    const auto before = dv::sidetable::size();
    auto unobserved = alloc<ObservedTask>();
    unobserved->setCount(3); // changes of an object nobody observes make no entry
    EXPECT_FALSE(unobserved->hasObservers());
    EXPECT_EQ(dv::sidetable::size(), before);

    Weak<dv::internal::dispatch::Observation> record;
    int calls = 0;
    {
        auto observed = alloc<ObservedTask>();
        auto token = observed->observe("count", 0, [&](const id&, const dv::KeyValueChange&) { ++calls; });
        record = token;
        observed->addObserver(recorder, "title", NSKeyValueObservingOptionNew, nullptr);
        EXPECT_EQ(observed->observationCount(), 2u);
        EXPECT_EQ(dv::sidetable::size(), before + 1);
        observed->setCount(1);
        EXPECT_EQ(calls, 1);
        // The caller's token is the only other holder: once the object goes, so does the record.
    }
    EXPECT_TRUE(record.expired()) << "the observable's registrations died with it";
    EXPECT_EQ(dv::sidetable::size(), before);
}

TEST_F(ObservableTest, ObservablesMadeAndObservedOnManyThreadsLeaveNoRegistrations)
{
    const auto before = dv::sidetable::size();
    std::atomic<int> calls = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                auto object = alloc<ObservedTask>();
                auto token = object->observe("count", 0, [&](const id&, const dv::KeyValueChange&) { ++calls; });
                object->setCount(i);
                if (i % 2)
                    object->removeObservation(token); // the others go with their object
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(calls, 1200);
    EXPECT_EQ(dv::sidetable::size(), before);
}
