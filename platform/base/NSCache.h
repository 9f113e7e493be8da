// NSCache: a thread-safe store of objects by key that lets go of entries when it grows past its
// limits: a total cost (the sum of the costs given with the objects) and a count. Keys are kept,
// not copied, and compared by isEqual/hash. When a limit is passed, the least recently used
// entries leave first (an entry is used when it is stored or found by objectForKey) until the
// cache is within both limits again; a limit of 0 is no limit. Lowering a limit evicts at once.
//
// The delegate hears of every object that leaves the cache (evicted for a limit, removed, or
// replaced under its key) on the thread that made the change, just after it left and outside the
// cache's lock, so it may use the cache. Any thread may use a cache.
//
//   auto cache = alloc<NSCache>()->init();
//   cache->setTotalCostLimit(4 * 1024 * 1024);
//   cache->setObjectForKey(image, key, pixelCount);
//   auto hit = cache->objectForKey(key);
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

#include <list>
#include <unordered_map>
#include <vector>

class NSCache;

class NSCacheDelegate {
public:
    virtual ~NSCacheDelegate() = default;
    // cache:willEvictObject:. Answers whether the delegate implements it.
    virtual bool cacheWillEvictObject(const Ref<NSCache>& cache, const id& object)
    {
        (void)cache, (void)object;
        return false;
    }
};

class NSCache : public NSObject {
    DV_CLASS(NSCache, NSObject)

    NSCache() = default;
    Ref<NSCache> init();

    Ref<NSString> name() const;
    void setName(const Ref<NSString>& name);
    Ref<NSCacheDelegate> delegate() const;
    void setDelegate(const Ref<NSCacheDelegate>& delegate);

    id objectForKey(const id& key);
    // A nil object removes the key; a nil key changes nothing.
    void setObjectForKey(const id& object, const id& key);
    void setObjectForKey(const id& object, const id& key, NSUInteger cost);
    void removeObjectForKey(const id& key);
    void removeAllObjects();

    NSUInteger totalCostLimit() const;
    void setTotalCostLimit(NSUInteger limit);
    NSUInteger countLimit() const;
    void setCountLimit(NSUInteger limit);
    // Kept for the platform's interface; objects with discardable content are not tracked here.
    bool evictsObjectsWithDiscardedContent() const;
    void setEvictsObjectsWithDiscardedContent(bool evicts);

    // What the cache holds now, for diagnostics and tests.
    NSUInteger count() const;
    NSUInteger totalCost() const;

private:
    struct Entry {
        id key;
        id object;
        NSUInteger cost = 0;
    };
    struct KeyHash {
        std::size_t operator()(const NSObject* key) const { return static_cast<std::size_t>(key->hash()); }
    };
    struct KeyEqual {
        bool operator()(const NSObject* a, const NSObject* b) const { return a == b || a->isEqual(b); }
    };
    using Order = std::list<Entry>; // least recently used first

    // Removes entries past the limits into `gone`; under the lock.
    void trimLocked(std::vector<id>& gone) DV_REQUIRES(m_mutex);
    void eraseLocked(Order::iterator entry, std::vector<id>& gone) DV_REQUIRES(m_mutex);
    // Tells the delegate of objects that left, outside the lock.
    void tellDelegate(const std::vector<id>& gone);

    mutable dv::Mutex m_mutex;
    Order m_order DV_GUARDED_BY(m_mutex);
    std::unordered_map<const NSObject*, Order::iterator, KeyHash, KeyEqual> m_index DV_GUARDED_BY(m_mutex);
    NSUInteger m_totalCost DV_GUARDED_BY(m_mutex) = 0;
    NSUInteger m_totalCostLimit DV_GUARDED_BY(m_mutex) = 0;
    NSUInteger m_countLimit DV_GUARDED_BY(m_mutex) = 0;
    bool m_evictsObjectsWithDiscardedContent DV_GUARDED_BY(m_mutex) = true;
    Ref<NSString> m_name DV_GUARDED_BY(m_mutex);
    Weak<NSCacheDelegate> m_delegate DV_GUARDED_BY(m_mutex);
};
