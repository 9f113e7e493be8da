#include "platform/base/NSCache.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(NSCache)

Ref<NSCache> NSCache::init()
{
    NSObject::init();
    dv::MutexLocker lock(m_mutex);
    m_name = NSString::string();
    return self<NSCache>();
}

Ref<NSString> NSCache::name() const
{
    dv::MutexLocker lock(m_mutex);
    return m_name;
}

void NSCache::setName(const Ref<NSString>& name)
{
    dv::MutexLocker lock(m_mutex);
    m_name = name ? dv::copyAs<NSString>(name) : NSString::string();
}

Ref<NSCacheDelegate> NSCache::delegate() const
{
    dv::MutexLocker lock(m_mutex);
    return m_delegate.lock();
}

void NSCache::setDelegate(const Ref<NSCacheDelegate>& delegate)
{
    dv::MutexLocker lock(m_mutex);
    m_delegate = delegate;
}

id NSCache::objectForKey(const id& key)
{
    if (!key)
        return nil;
    dv::MutexLocker lock(m_mutex);
    auto found = m_index.find(key.get());
    if (found == m_index.end())
        return nil;
    // Found: now the most recently used.
    m_order.splice(m_order.end(), m_order, found->second);
    return found->second->object;
}

void NSCache::setObjectForKey(const id& object, const id& key) { setObjectForKey(object, key, 0); }

void NSCache::setObjectForKey(const id& object, const id& key, NSUInteger cost)
{
    if (!key)
        return;
    if (!object) {
        removeObjectForKey(key);
        return;
    }
    std::vector<id> gone;
    {
        dv::MutexLocker lock(m_mutex);
        auto found = m_index.find(key.get());
        if (found != m_index.end()) {
            Entry& entry = *found->second;
            if (entry.object != object)
                gone.push_back(entry.object);
            m_totalCost -= entry.cost;
            entry.object = object;
            entry.cost = cost;
            m_totalCost += cost;
            m_order.splice(m_order.end(), m_order, found->second);
        } else {
            m_order.push_back(Entry {key, object, cost});
            m_index.emplace(key.get(), std::prev(m_order.end()));
            m_totalCost += cost;
        }
        trimLocked(gone);
    }
    tellDelegate(gone);
}

void NSCache::removeObjectForKey(const id& key)
{
    if (!key)
        return;
    std::vector<id> gone;
    {
        dv::MutexLocker lock(m_mutex);
        auto found = m_index.find(key.get());
        if (found == m_index.end())
            return;
        eraseLocked(found->second, gone);
    }
    tellDelegate(gone);
}

void NSCache::removeAllObjects()
{
    std::vector<id> gone;
    {
        dv::MutexLocker lock(m_mutex);
        for (auto& entry : m_order)
            gone.push_back(entry.object);
        m_index.clear();
        m_order.clear();
        m_totalCost = 0;
    }
    tellDelegate(gone);
}

void NSCache::eraseLocked(Order::iterator entry, std::vector<id>& gone)
{
    gone.push_back(entry->object);
    m_totalCost -= entry->cost;
    m_index.erase(entry->key.get());
    m_order.erase(entry);
}

void NSCache::trimLocked(std::vector<id>& gone)
{
    while (!m_order.empty()
           && ((m_countLimit > 0 && m_order.size() > m_countLimit) || (m_totalCostLimit > 0 && m_totalCost > m_totalCostLimit)))
        eraseLocked(m_order.begin(), gone);
}

void NSCache::tellDelegate(const std::vector<id>& gone)
{
    if (gone.empty())
        return;
    auto delegate = this->delegate();
    if (!delegate)
        return;
    auto me = self<NSCache>();
    for (const id& object : gone)
        delegate->cacheWillEvictObject(me, object);
}

NSUInteger NSCache::totalCostLimit() const
{
    dv::MutexLocker lock(m_mutex);
    return m_totalCostLimit;
}

void NSCache::setTotalCostLimit(NSUInteger limit)
{
    std::vector<id> gone;
    {
        dv::MutexLocker lock(m_mutex);
        m_totalCostLimit = limit;
        trimLocked(gone);
    }
    tellDelegate(gone);
}

NSUInteger NSCache::countLimit() const
{
    dv::MutexLocker lock(m_mutex);
    return m_countLimit;
}

void NSCache::setCountLimit(NSUInteger limit)
{
    std::vector<id> gone;
    {
        dv::MutexLocker lock(m_mutex);
        m_countLimit = limit;
        trimLocked(gone);
    }
    tellDelegate(gone);
}

bool NSCache::evictsObjectsWithDiscardedContent() const
{
    dv::MutexLocker lock(m_mutex);
    return m_evictsObjectsWithDiscardedContent;
}

void NSCache::setEvictsObjectsWithDiscardedContent(bool evicts)
{
    dv::MutexLocker lock(m_mutex);
    m_evictsObjectsWithDiscardedContent = evicts;
}

NSUInteger NSCache::count() const
{
    dv::MutexLocker lock(m_mutex);
    return m_order.size();
}

NSUInteger NSCache::totalCost() const
{
    dv::MutexLocker lock(m_mutex);
    return m_totalCost;
}
