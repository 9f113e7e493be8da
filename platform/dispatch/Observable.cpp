#include "platform/dispatch/Observable.h"

#include "platform/base/Mutex.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSException.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/SideTable.h"

#include <algorithm>
#include <atomic>

const char* const NSKeyValueChangeKindKey = "kind";
const char* const NSKeyValueChangeNewKey = "new";
const char* const NSKeyValueChangeOldKey = "old";
const char* const NSKeyValueChangeIndexesKey = "indexes";
const char* const NSKeyValueChangeNotificationIsPriorKey = "notificationIsPrior";

namespace dv {

namespace internal::dispatch {

struct Observation {
    std::string keyPath;
    std::string firstKey; // the key of this object a dotted key path goes through
    NSKeyValueObservingOptions options = 0;
    void* context = nullptr;
    const NSObject* observerIdentity = nullptr;
    Weak<NSObject> observer;
    Observable::ObservationBlock block;
    std::atomic<bool> removed { false };
};

} // namespace internal::dispatch

namespace {

using internal::dispatch::Observation;

// The registrations on one observable, in the side table.
struct Registrations {
    dv::Mutex lock;
    std::vector<std::shared_ptr<Observation>> observations DV_GUARDED_BY(lock);
};

std::shared_ptr<Registrations> registrationsOf(const Observable* owner, bool create)
{
    return create ? sidetable::findOrCreate<Registrations>(owner, SideSlot::Observations)
                  : sidetable::find<Registrations>(owner, SideSlot::Observations);
}

// Changes announced by willChange and not yet completed by didChange, per thread (changes may
// nest, and the same object may be changed on two threads at once).
struct PendingChange {
    const Observable* owner;
    std::string key;
    std::vector<std::pair<std::shared_ptr<Observation>, id>> observations; // with old values
};
thread_local std::vector<PendingChange> t_pending;

std::string firstKeyOf(std::string_view keyPath)
{
    auto dot = keyPath.find('.');
    return std::string(dot == std::string_view::npos ? keyPath : keyPath.substr(0, dot));
}

} // namespace

Observable::Observable() = default;

Observable::~Observable()
{
    if (sidetable::mayHaveEntries(this))
        sidetable::erase(this);
}

NSObject* Observable::asObject() const { return dynamic_cast<NSObject*>(const_cast<Observable*>(this)); }

bool Observable::automaticallyNotifiesObserversForKey(std::string_view) const { return true; }

std::vector<std::string> Observable::keyPathsForValuesAffectingValueForKey(std::string_view) const { return {}; }

id Observable::observedValueForKeyPath(std::string_view keyPath) const
{
    auto* object = asObject();
    return object ? object->valueForKeyPath(NSString::fromUTF8(keyPath)) : nil;
}

bool Observable::hasObservers() const { return observationCount() != 0; }

std::size_t Observable::observationCount() const
{
    auto registrations = registrationsOf(this, false);
    if (!registrations)
        return 0;
    dv::MutexLocker lock(registrations->lock);
    return registrations->observations.size();
}

void Observable::addObserver(const id& observer, const Ref<NSString>& keyPath, NSKeyValueObservingOptions options, void* context)
{
    if (keyPath)
        addObserver(observer, std::string_view(keyPath->utf8()), options, context);
}

void Observable::addObserver(const id& observer, std::string_view keyPath, NSKeyValueObservingOptions options, void* context)
{
    if (!observer)
        return;
    auto observation = std::make_shared<Observation>();
    observation->keyPath = std::string(keyPath);
    observation->firstKey = firstKeyOf(keyPath);
    observation->options = options;
    observation->context = context;
    observation->observerIdentity = observer.get();
    observation->observer = observer;
    {
        auto registrations = registrationsOf(this, true);
        dv::MutexLocker lock(registrations->lock);
        registrations->observations.push_back(observation);
    }
    if (options & NSKeyValueObservingOptionInitial) {
        KeyValueChange change;
        change.isInitial = true;
        if (options & NSKeyValueObservingOptionNew)
            change.newValue = observedValueForKeyPath(keyPath);
        deliver(observation, change);
    }
}

ObservationToken Observable::observe(std::string_view keyPath, NSKeyValueObservingOptions options, ObservationBlock block)
{
    auto observation = std::make_shared<Observation>();
    observation->keyPath = std::string(keyPath);
    observation->firstKey = firstKeyOf(keyPath);
    observation->options = options;
    observation->block = std::move(block);
    {
        auto registrations = registrationsOf(this, true);
        dv::MutexLocker lock(registrations->lock);
        registrations->observations.push_back(observation);
    }
    if (options & NSKeyValueObservingOptionInitial) {
        KeyValueChange change;
        change.isInitial = true;
        if (options & NSKeyValueObservingOptionNew)
            change.newValue = observedValueForKeyPath(keyPath);
        deliver(observation, change);
    }
    return observation;
}

void Observable::removeObservation(const ObservationToken& token)
{
    if (!token)
        return;
    token->removed = true;
    auto registrations = registrationsOf(this, false);
    if (!registrations)
        return;
    dv::MutexLocker lock(registrations->lock);
    std::erase(registrations->observations, token);
}

void Observable::removeMatching(const NSObject* observer, std::string_view keyPath, bool anyContext, void* context)
{
    if (!observer)
        return;
    if (auto registrations = registrationsOf(this, false)) {
        dv::MutexLocker lock(registrations->lock);
        auto& observations = registrations->observations;
        for (auto it = observations.rbegin(); it != observations.rend(); ++it) {
            auto& o = **it;
            if (o.observerIdentity == observer && o.keyPath == keyPath && (anyContext || o.context == context)) {
                o.removed = true;
                observations.erase(std::next(it).base());
                return;
            }
        }
    }
    NSException::raise(NSRangeException, "Cannot remove an observer for the key path \"" + std::string(keyPath)
                                             + "\" because it is not registered as an observer.");
}

void Observable::removeObserver(const NSObject* observer, const Ref<NSString>& keyPath, void* context)
{
    removeMatching(observer, keyPath ? std::string_view(keyPath->utf8()) : std::string_view(), false, context);
}

void Observable::removeObserver(const NSObject* observer, const Ref<NSString>& keyPath)
{
    removeMatching(observer, keyPath ? std::string_view(keyPath->utf8()) : std::string_view(), true, nullptr);
}

void Observable::removeObserver(const NSObject* observer, std::string_view keyPath, void* context)
{
    removeMatching(observer, keyPath, false, context);
}

void Observable::removeObserver(const NSObject* observer, std::string_view keyPath)
{
    removeMatching(observer, keyPath, true, nullptr);
}

std::vector<std::shared_ptr<Observation>> Observable::affectedBy(std::string_view key) const
{
    std::vector<std::shared_ptr<Observation>> all;
    if (auto registrations = registrationsOf(this, false)) {
        dv::MutexLocker lock(registrations->lock);
        all = registrations->observations;
    }
    std::vector<std::shared_ptr<Observation>> affected;
    for (auto& o : all) {
        if (o->removed)
            continue;
        if (o->keyPath == key || o->firstKey == key) {
            affected.push_back(o);
            continue;
        }
        auto sources = keyPathsForValuesAffectingValueForKey(o->keyPath);
        if (std::find(sources.begin(), sources.end(), key) != sources.end())
            affected.push_back(o);
    }
    return affected;
}

void Observable::willChangeValueForKey(std::string_view key)
{
    PendingChange pending {this, std::string(key), {}};
    for (auto& o : affectedBy(key)) {
        id old;
        if (o->options & NSKeyValueObservingOptionOld)
            old = observedValueForKeyPath(o->keyPath);
        if (o->options & NSKeyValueObservingOptionPrior) {
            KeyValueChange prior;
            prior.oldValue = old;
            prior.isPrior = true;
            deliver(o, prior);
        }
        pending.observations.emplace_back(o, std::move(old));
    }
    t_pending.push_back(std::move(pending));
}

void Observable::didChangeValueForKey(std::string_view key)
{
    std::vector<std::pair<std::shared_ptr<Observation>, id>> observations;
    auto it = std::find_if(t_pending.rbegin(), t_pending.rend(), [&](auto& p) { return p.owner == this && p.key == key; });
    if (it != t_pending.rend()) {
        observations = std::move(it->observations);
        t_pending.erase(std::next(it).base());
    } else {
        // A did without its will: report the change without old values.
        for (auto& o : affectedBy(key))
            observations.emplace_back(o, nil);
    }
    for (auto& [o, old] : observations) {
        KeyValueChange change;
        change.oldValue = old;
        if (o->options & NSKeyValueObservingOptionNew)
            change.newValue = observedValueForKeyPath(o->keyPath);
        deliver(o, change);
    }
}

void Observable::deliver(const std::shared_ptr<Observation>& observation, const KeyValueChange& change)
{
    if (observation->removed)
        return;
    auto* self = asObject();
    id object = self ? self->weak_from_this().lock() : nil;
    if (observation->block) {
        observation->block(object, change);
        return;
    }
    auto observer = observation->observer.lock();
    if (!observer)
        return; // gone: never called
    auto* receiver = dynamic_cast<NSKeyValueObserving*>(observer.get());
    if (!receiver)
        return;
    auto dictionary = NSMutableDictionary::dictionary();
    dictionary->setObjectForKey(NSNumber::numberWithUnsignedLongLong(change.kind), NSString::fromUTF8(NSKeyValueChangeKindKey));
    auto orNull = [](const id& value) -> id { return value ? value : id(NSNull::null()); };
    if (change.isPrior) {
        dictionary->setObjectForKey(NSNumber::numberWithBool(true), NSString::fromUTF8(NSKeyValueChangeNotificationIsPriorKey));
    } else if (observation->options & NSKeyValueObservingOptionNew) {
        dictionary->setObjectForKey(orNull(change.newValue), NSString::fromUTF8(NSKeyValueChangeNewKey));
    }
    if (observation->options & NSKeyValueObservingOptionOld && !change.isInitial)
        dictionary->setObjectForKey(orNull(change.oldValue), NSString::fromUTF8(NSKeyValueChangeOldKey));
    receiver->observeValueForKeyPath(NSString::fromUTF8(observation->keyPath), object, dictionary, observation->context);
}

} // namespace dv
