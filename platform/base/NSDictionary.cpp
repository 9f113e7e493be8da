#include "platform/base/NSDictionary.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSException.h"
#include "platform/base/NSString.h"
#include "platform/base/internal/Describe.h"
#include "platform/base/internal/SharedInstance.h"

#include <algorithm>
#include <atomic>

DV_DEFINE_CLASS(NSDictionary)
DV_DEFINE_CLASS(NSMutableDictionary)

namespace {

// Linear scans beat hashing for the small dictionaries JSON replies are made of.
constexpr std::size_t s_indexThreshold = 32;

std::atomic<const dv::DictionaryBehaviour*> s_behaviour { nullptr };

id copyKey(const id& key)
{
    if (auto* string = dynamic_cast<const NSString*>(key.get()); string && string->isMemberOfClass(NSString::class_()))
        return key; // immutable strings are their own copies
    if (!key->conformsToCopying())
        NSException::raise(NSInvalidArgumentException, std::string("-[") + key->getClass()->name() + " copyWithZone:]: unrecognized selector sent to instance");
    return key->copy();
}

} // namespace

namespace dv {

void setDictionaryBehaviour(DictionaryBehaviour behaviour)
{
    // Installed once or twice per process; earlier tables stay valid for readers in flight.
    auto* table = new DictionaryBehaviour(std::move(behaviour));
    s_behaviour.store(table, std::memory_order_release);
}

bool defaultDictionaryIsEqual(const NSDictionary& self, const NSObject* other)
{
    auto* dictionary = dynamic_cast<const NSDictionary*>(other);
    return dictionary && self.isEqualToDictionary(dictionary);
}

NSUInteger defaultDictionaryHash(const NSDictionary& self) { return self.count(); }

} // namespace dv

std::size_t NSDictionary::KeyHash::operator()(const NSObject* key) const { return key->hash(); }
bool NSDictionary::KeyEqual::operator()(const NSObject* a, const NSObject* b) const { return a == b || a->isEqual(b); }

NSDictionary::~NSDictionary() = default;

Ref<NSDictionary> NSDictionary::dictionary()
{
    // The empty immutable dictionary is one shared instance, as on the platform.
    static const Ref<NSDictionary>& empty = dv::internal::base::sharedInstance(alloc<NSDictionary>());
    return empty;
}

Ref<NSDictionary> NSDictionary::dictionaryWithObjectForKey(const id& object, const id& key)
{
    if (!object || !key)
        NSException::raise(NSInvalidArgumentException, "*** -[NSDictionary initWithObjects:forKeys:count:]: attempt to insert nil object");
    auto d = alloc<NSDictionary>();
    d->put(key, object);
    return d;
}

Ref<NSDictionary> NSDictionary::dictionaryWithDictionary(const Ref<NSDictionary>& other) { return alloc<NSDictionary>()->initWithDictionary(other); }

Ref<NSDictionary> NSDictionary::dictionaryWithObjectsForKeys(const Ref<NSArray>& objects, const Ref<NSArray>& keys)
{
    NSUInteger n = objects ? objects->count() : 0;
    if (n != (keys ? keys->count() : 0))
        NSException::raise(NSInvalidArgumentException, "*** -[NSDictionary initWithObjects:forKeys:]: count of objects differs from count of keys");
    auto d = alloc<NSDictionary>();
    for (NSUInteger i = 0; i < n; ++i)
        d->put(keys->items()[i], objects->items()[i]);
    return d;
}

Ref<NSDictionary> NSDictionary::of(std::initializer_list<Entry> entries)
{
    auto d = alloc<NSDictionary>();
    d->m_entries.reserve(entries.size());
    for (auto& [key, value] : entries)
        if (key && value)
            d->put(key, value);
    return d;
}

Ref<NSDictionary> NSDictionary::fromEntries(const std::vector<Entry>& entries)
{
    if (entries.empty())
        return dictionary();
    auto d = alloc<NSDictionary>();
    d->m_entries.reserve(entries.size());
    for (auto& [key, value] : entries)
        d->put(key, value);
    return d;
}

Ref<NSDictionary> NSDictionary::initWithDictionary(const Ref<NSDictionary>& other) { return initWithDictionary(other, false); }

Ref<NSDictionary> NSDictionary::initWithDictionary(const Ref<NSDictionary>& other, bool copyItems)
{
    if (other) {
        m_entries = other->m_entries;
        if (copyItems)
            for (auto& entry : m_entries)
                entry.second = entry.second->copy();
        rebuildIndex();
    }
    return self<NSDictionary>();
}

std::size_t NSDictionary::find(const NSObject* key) const
{
    if (!key)
        return npos;
    if (m_index) {
        auto it = m_index->find(key);
        return it == m_index->end() ? npos : it->second;
    }
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const NSObject* candidate = m_entries[i].first.get();
        if (candidate == key || candidate->isEqual(key))
            return i;
    }
    return npos;
}

void NSDictionary::rebuildIndex()
{
    if (m_entries.size() <= s_indexThreshold) {
        m_index.reset();
        return;
    }
    if (!m_index)
        m_index = std::make_unique<std::unordered_map<const NSObject*, std::size_t, KeyHash, KeyEqual>>();
    m_index->clear();
    m_index->reserve(m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        m_index->emplace(m_entries[i].first.get(), i);
}

void NSDictionary::put(const id& key, const id& value)
{
    std::size_t at = find(key.get());
    if (at != npos) {
        id old = std::exchange(m_entries[at].second, value); // released after the store
        return;
    }
    m_entries.emplace_back(copyKey(key), value);
    if (m_index)
        m_index->emplace(m_entries.back().first.get(), m_entries.size() - 1);
    else if (m_entries.size() > s_indexThreshold)
        rebuildIndex();
}

bool NSDictionary::erase(const id& key)
{
    std::size_t at = find(key.get());
    if (at == npos)
        return false;
    Entry removed = std::move(m_entries[at]); // the value may own this dictionary
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(at));
    rebuildIndex();
    return true;
}

void NSDictionary::clear()
{
    std::vector<Entry> removed;
    removed.swap(m_entries);
    m_index.reset();
}

id NSDictionary::objectForKey(const id& key) const
{
    std::size_t at = find(key.get());
    return at == npos ? nullptr : m_entries[at].second;
}

id NSDictionary::objectForKey(std::string_view key) const
{
    if (m_index)
        return objectForKey(NSString::fromUTF8(key));
    for (auto& [k, v] : m_entries)
        if (auto* string = dynamic_cast<const NSString*>(k.get()); string && string->utf8() == key)
            return v;
    return nullptr;
}

id NSDictionary::valueForKey(const Ref<NSString>& key) const
{
    if (key && key->hasPrefix("@"))
        return NSObject::valueForKey(key->substringFromIndex(1));
    return objectForKey(key);
}

Ref<NSArray> NSDictionary::allKeys() const
{
    std::vector<id> keys;
    keys.reserve(m_entries.size());
    for (auto& entry : m_entries)
        keys.push_back(entry.first);
    return NSArray::fromVector(std::move(keys));
}

Ref<NSArray> NSDictionary::allValues() const
{
    std::vector<id> values;
    values.reserve(m_entries.size());
    for (auto& entry : m_entries)
        values.push_back(entry.second);
    return NSArray::fromVector(std::move(values));
}

Ref<NSArray> NSDictionary::allKeysForObject(const id& object) const
{
    std::vector<id> keys;
    for (auto& [key, value] : m_entries)
        if (dv::equal(value, object))
            keys.push_back(key);
    return NSArray::fromVector(std::move(keys));
}

Ref<NSArray> NSDictionary::keysSortedByValueUsingComparator(const std::function<NSComparisonResult(const id&, const id&)>& cmp) const
{
    auto entries = m_entries;
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) { return cmp(a.second, b.second) == NSOrderedAscending; });
    std::vector<id> keys;
    for (auto& entry : entries)
        keys.push_back(entry.first);
    return NSArray::fromVector(std::move(keys));
}

void NSDictionary::enumerateKeysAndObjectsUsingBlock(const std::function<void(const id&, const id&, bool*)>& block) const
{
    auto entries = m_entries; // the block may mutate the dictionary
    bool stop = false;
    for (auto& [key, value] : entries) {
        block(key, value, &stop);
        if (stop)
            break;
    }
}

bool NSDictionary::isEqualToDictionary(const Ref<NSDictionary>& other) const { return isEqualToDictionary(other.get()); }

bool NSDictionary::isEqualToDictionary(const NSDictionary* other) const
{
    if (!other)
        return false;
    if (other == this)
        return true;
    if (other->count() != count())
        return false;
    for (auto& [key, value] : m_entries) {
        std::size_t at = other->find(key.get());
        if (at == npos || !dv::equal(value, other->m_entries[at].second))
            return false;
    }
    return true;
}

Ref<NSString> NSDictionary::description() const { return descriptionWithLocale(nullptr, 0); }

Ref<NSString> NSDictionary::descriptionWithLocale(const id&, NSUInteger level) const
{
    std::vector<const Entry*> order;
    order.reserve(m_entries.size());
    bool allStrings = true;
    for (auto& entry : m_entries) {
        order.push_back(&entry);
        allStrings = allStrings && dynamic_cast<const NSString*>(entry.first.get());
    }
    if (allStrings)
        std::stable_sort(order.begin(), order.end(), [](const Entry* a, const Entry* b) {
            return static_cast<const NSString&>(*a->first).compare(std::static_pointer_cast<NSString>(b->first)) == NSOrderedAscending;
        });
    std::string out = dv::internal::base::indent(level) + "{\n";
    for (auto* entry : order)
        out += dv::internal::base::indent(level + 1) + dv::internal::base::describeElement(entry->first.get(), level + 1) + " = "
            + dv::internal::base::describeElement(entry->second.get(), level + 1) + ";\n";
    out += dv::internal::base::indent(level) + "}";
    return NSString::fromUTF8(out);
}

Ref<NSString> NSDictionary::descriptionInStringsFileFormat() const
{
    std::string out;
    for (auto& [key, value] : m_entries) {
        auto quote = [](const std::string& s) {
            std::string q = dv::internal::base::quoteForDescription(s);
            return q.starts_with("\"") ? q : "\"" + q + "\"";
        };
        out += quote(dv::str(key)) + " = " + quote(dv::str(value)) + ";\n";
    }
    return NSString::fromUTF8(out);
}

bool NSDictionary::isEqual(const NSObject* other) const
{
    if (auto* behaviour = s_behaviour.load(std::memory_order_acquire); behaviour && behaviour->isEqual)
        return behaviour->isEqual(*this, other);
    return dv::defaultDictionaryIsEqual(*this, other);
}

NSUInteger NSDictionary::hash() const
{
    if (auto* behaviour = s_behaviour.load(std::memory_order_acquire); behaviour && behaviour->hash)
        return behaviour->hash(*this);
    return dv::defaultDictionaryHash(*this);
}

id NSDictionary::copyWithZone(NSZone*) const { return std::const_pointer_cast<NSDictionary>(self<NSDictionary>()); }

id NSDictionary::mutableCopyWithZone(NSZone*) const
{
    auto copy = alloc<NSMutableDictionary>();
    copy->m_entries = m_entries;
    copy->rebuildIndex();
    return copy;
}

// NSMutableDictionary -------------------------------------------------------------------------

Ref<NSMutableDictionary> NSMutableDictionary::dictionary() { return alloc<NSMutableDictionary>(); }

Ref<NSMutableDictionary> NSMutableDictionary::dictionaryWithCapacity(NSUInteger capacity)
{
    auto d = alloc<NSMutableDictionary>();
    d->m_entries.reserve(std::min<NSUInteger>(capacity, 1 << 16));
    return d;
}

Ref<NSMutableDictionary> NSMutableDictionary::dictionaryWithDictionary(const Ref<NSDictionary>& other)
{
    auto d = alloc<NSMutableDictionary>();
    d->initWithDictionary(other);
    return d;
}

Ref<NSMutableDictionary> NSMutableDictionary::of(std::initializer_list<Entry> entries)
{
    auto d = alloc<NSMutableDictionary>();
    for (auto& [key, value] : entries)
        if (key && value)
            d->put(key, value);
    return d;
}

Ref<NSMutableDictionary> NSMutableDictionary::fromEntries(const std::vector<Entry>& entries)
{
    auto d = alloc<NSMutableDictionary>();
    d->m_entries.reserve(entries.size());
    for (auto& [key, value] : entries)
        d->put(key, value);
    return d;
}

void NSMutableDictionary::setObjectForKey(const id& object, const id& key)
{
    if (!object)
        NSException::raise(NSInvalidArgumentException, "*** -[NSMutableDictionary setObject:forKey:]: object cannot be nil (key: " + dv::str(key) + ")");
    if (!key)
        NSException::raise(NSInvalidArgumentException, "*** -[NSMutableDictionary setObject:forKey:]: key cannot be nil");
    put(key, object);
}

void NSMutableDictionary::setObjectForKeyedSubscript(const id& object, const id& key)
{
    if (!object) {
        if (key)
            erase(key);
        return;
    }
    setObjectForKey(object, key);
}

void NSMutableDictionary::setValueForKey(const id& value, const Ref<NSString>& key) { setObjectForKeyedSubscript(value, key); }

void NSMutableDictionary::removeObjectForKey(const id& key)
{
    if (!key)
        NSException::raise(NSInvalidArgumentException, "*** -[NSMutableDictionary removeObjectForKey:]: key cannot be nil");
    erase(key);
}

void NSMutableDictionary::removeObjectsForKeys(const Ref<NSArray>& keys)
{
    if (keys)
        for (auto& key : keys->items())
            erase(key);
}

void NSMutableDictionary::removeAllObjects() { clear(); }

void NSMutableDictionary::addEntriesFromDictionary(const Ref<NSDictionary>& other)
{
    if (!other)
        return;
    auto entries = other->entries(); // the other dictionary may be this one
    for (auto& [key, value] : entries)
        put(key, value);
}

void NSMutableDictionary::setDictionary(const Ref<NSDictionary>& other)
{
    auto entries = other ? other->entries() : std::vector<Entry>();
    clear();
    for (auto& [key, value] : entries)
        put(key, value);
}

id NSMutableDictionary::copyWithZone(NSZone*) const
{
    if (m_entries.empty())
        return NSDictionary::dictionary();
    auto copy = alloc<NSDictionary>();
    copy->initWithDictionary(std::const_pointer_cast<NSDictionary>(self<NSDictionary>()));
    return copy;
}
