// Observation of properties: the one mechanism through which objects publish changes of their
// properties (byte counters of tasks, a progress's fractionCompleted, scroll offsets, ...).
// A class derives from dv::Observable beside its NSObject base and brackets each change of an
// observed property with willChangeValueForKey / didChangeValueForKey (or changeValueForKey).
// Observers are NSObjects that implement NSKeyValueObserving, held weakly: one that has been
// destroyed is never called. C++ code may observe with a block instead and remove it by token.
//
//   task->addObserver(self(), "countOfBytesReceived"_ns, NSKeyValueObservingOptionNew, &kContext);
//   void setCount(int64_t n) { changeValueForKey("countOfBytesReceived", [&] { m_count = n; }); }
//
// Thread-safe: observers may be added and removed on any thread, also from inside a callback or
// while another thread delivers one; a callback runs on the thread that made the change. After
// a removal returns on a thread, that thread sees no further call for the removed observation.
#pragma once

#include "platform/base/NSObject.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

using NSKeyValueObservingOptions = NSUInteger;
enum : NSKeyValueObservingOptions {
    NSKeyValueObservingOptionNew = 0x01,
    NSKeyValueObservingOptionOld = 0x02,
    NSKeyValueObservingOptionInitial = 0x04,
    NSKeyValueObservingOptionPrior = 0x08,
};

enum NSKeyValueChange : NSUInteger {
    NSKeyValueChangeSetting = 1,
    NSKeyValueChangeInsertion = 2,
    NSKeyValueChangeRemoval = 3,
    NSKeyValueChangeReplacement = 4,
};

// Keys of the change dictionary.
extern const char* const NSKeyValueChangeKindKey;                // "kind"
extern const char* const NSKeyValueChangeNewKey;                 // "new"
extern const char* const NSKeyValueChangeOldKey;                 // "old"
extern const char* const NSKeyValueChangeIndexesKey;             // "indexes"
extern const char* const NSKeyValueChangeNotificationIsPriorKey; // "notificationIsPrior"

// What an observer implements (the platform's observeValueForKeyPath:ofObject:change:context:).
class NSKeyValueObserving {
public:
    virtual ~NSKeyValueObserving() = default;
    virtual void observeValueForKeyPath(const Ref<NSString>& keyPath, const id& object, const Ref<NSDictionary>& change, void* context) = 0;
};

namespace dv {

// A change as block observers receive it. Values are nil where the observer did not ask for
// them or the property was nil.
struct KeyValueChange {
    NSKeyValueChange kind = NSKeyValueChangeSetting;
    id oldValue;
    id newValue;
    bool isPrior = false;
    bool isInitial = false; // the notification sent at registration (option Initial)
};

namespace internal::dispatch {
struct Observation;
}

// Identifies one block observation, for removal.
using ObservationToken = std::shared_ptr<internal::dispatch::Observation>;

class Observable {
public:
    Observable();
    virtual ~Observable();
    Observable(const Observable&) = delete;
    Observable& operator=(const Observable&) = delete;

    void addObserver(const id& observer, const Ref<NSString>& keyPath, NSKeyValueObservingOptions options, void* context);
    void addObserver(const id& observer, std::string_view keyPath, NSKeyValueObservingOptions options, void* context);
    // Removes the latest matching registration. Removing one that is not registered raises
    // NSRangeException, as the platform does. An observer may remove itself from its own
    // destructor, hence the plain pointer.
    void removeObserver(const NSObject* observer, const Ref<NSString>& keyPath, void* context);
    void removeObserver(const NSObject* observer, const Ref<NSString>& keyPath);
    void removeObserver(const NSObject* observer, std::string_view keyPath, void* context);
    void removeObserver(const NSObject* observer, std::string_view keyPath);

    using ObservationBlock = std::function<void(const id& object, const KeyValueChange& change)>;
    [[nodiscard]] ObservationToken observe(std::string_view keyPath, NSKeyValueObservingOptions options, ObservationBlock block);
    // Ends a block observation; a token already removed is ignored.
    void removeObservation(const ObservationToken& token);

    void willChangeValueForKey(std::string_view key);
    void didChangeValueForKey(std::string_view key);
    // will/did around `apply`, when the class notifies automatically for `key`.
    template <class F>
    void changeValueForKey(std::string_view key, F&& apply)
    {
        if (!automaticallyNotifiesObserversForKey(key)) {
            apply();
            return;
        }
        willChangeValueForKey(key);
        apply();
        didChangeValueForKey(key);
    }

    // Whether changeValueForKey notifies for `key`; a class that notifies by hand answers false.
    virtual bool automaticallyNotifiesObserversForKey(std::string_view key) const;
    // Keys whose change is also a change of `key` (dependent properties).
    virtual std::vector<std::string> keyPathsForValuesAffectingValueForKey(std::string_view key) const;
    // The value observers are given; by default key-value coding on the object.
    virtual id observedValueForKeyPath(std::string_view keyPath) const;

    bool hasObservers() const;
    // Observations still registered (dead observers included until they are removed).
    std::size_t observationCount() const;

private:
    NSObject* asObject() const;
    std::vector<std::shared_ptr<internal::dispatch::Observation>> affectedBy(std::string_view key) const;
    void deliver(const std::shared_ptr<internal::dispatch::Observation>& observation, const KeyValueChange& change);
    void removeMatching(const NSObject* observer, std::string_view keyPath, bool anyContext, void* context);
    // The registrations live in the side table under this part's address, made by the first one
    // (most observable objects are never observed).
};

} // namespace dv
