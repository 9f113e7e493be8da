// NSDictionary and NSMutableDictionary: maps from copied keys to non-nil objects, iterated in
// insertion order. Keyed subscripting follows the process-wide rule: setting nil removes the key
// (nothing happens when it is absent) and reading an absent key gives nil. Equality and hashing go
// through a process-wide hook (see DictionaryBehaviour below), which the push client replaces.
#pragma once

#include "platform/base/NSObject.h"

#include <functional>
#include <initializer_list>
#include <unordered_map>
#include <utility>
#include <vector>

class NSDictionary : public NSObject, public NSCopying, public NSMutableCopying {
    DV_CLASS(NSDictionary, NSObject)

    using Entry = std::pair<id, id>;

    NSDictionary() = default;
    ~NSDictionary() override;

    static Ref<NSDictionary> dictionary();
    static Ref<NSDictionary> dictionaryWithObjectForKey(const id& object, const id& key);
    static Ref<NSDictionary> dictionaryWithDictionary(const Ref<NSDictionary>& other);
    static Ref<NSDictionary> dictionaryWithObjectsForKeys(const Ref<NSArray>& objects, const Ref<NSArray>& keys);
    // {{"key"_ns, value}, ...}: a nil value leaves its entry out.
    static Ref<NSDictionary> of(std::initializer_list<Entry> entries);
    // From entries read in bulk (parsers); a later duplicate key replaces the earlier value.
    static Ref<NSDictionary> fromEntries(const std::vector<Entry>& entries);
    Ref<NSDictionary> initWithDictionary(const Ref<NSDictionary>& other);
    Ref<NSDictionary> initWithDictionary(const Ref<NSDictionary>& other, bool copyItems);

    NSUInteger count() const { return m_entries.size(); }
    id objectForKey(const id& key) const;
    id objectForKey(std::string_view key) const;
    id objectForKeyedSubscript(const id& key) const { return objectForKey(key); }
    id operator[](const id& key) const { return objectForKey(key); }
    id operator[](std::string_view key) const { return objectForKey(key); }
    id valueForKey(const Ref<NSString>& key) const override; // objectForKey:, "@"-keys as on the platform

    const std::vector<Entry>& entries() const { return m_entries; }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }
    Ref<NSArray> allKeys() const;
    Ref<NSArray> allValues() const;
    Ref<NSArray> allKeysForObject(const id& object) const;
    Ref<NSArray> keysSortedByValueUsingComparator(const std::function<NSComparisonResult(const id&, const id&)>& cmp) const;
    void enumerateKeysAndObjectsUsingBlock(const std::function<void(const id& key, const id& object, bool* stop)>& block) const;
    bool isEqualToDictionary(const Ref<NSDictionary>& other) const;
    bool isEqualToDictionary(const NSDictionary* other) const;

    // "{\n    key = value;\n}", keys in ascending order when they are all strings.
    Ref<NSString> description() const override;
    Ref<NSString> descriptionWithLocale(const id& locale, NSUInteger level) const;
    Ref<NSString> descriptionInStringsFileFormat() const;
    bool isEqual(const NSObject* other) const override;
    NSUInteger hash() const override;
    id copyWithZone(NSZone* zone) const override;
    id mutableCopyWithZone(NSZone* zone) const override;

protected:
    // Keys are copied on insertion (immutable keys are shared).
    void put(const id& key, const id& value);
    bool erase(const id& key);
    void clear();
    std::size_t find(const NSObject* key) const; // npos when absent
    void rebuildIndex();

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::vector<Entry> m_entries;

private:
    struct KeyHash {
        std::size_t operator()(const NSObject* key) const;
    };
    struct KeyEqual {
        bool operator()(const NSObject* a, const NSObject* b) const;
    };
    // Built once a dictionary outgrows a linear scan.
    std::unique_ptr<std::unordered_map<const NSObject*, std::size_t, KeyHash, KeyEqual>> m_index;
};

class NSMutableDictionary : public NSDictionary {
    DV_CLASS(NSMutableDictionary, NSDictionary)

    NSMutableDictionary() = default;
    static Ref<NSMutableDictionary> dictionary();
    static Ref<NSMutableDictionary> dictionaryWithCapacity(NSUInteger capacity);
    static Ref<NSMutableDictionary> dictionaryWithDictionary(const Ref<NSDictionary>& other);
    static Ref<NSMutableDictionary> of(std::initializer_list<Entry> entries);
    static Ref<NSMutableDictionary> fromEntries(const std::vector<Entry>& entries);

    // Raises NSInvalidArgumentException for a nil object or key, as the platform does.
    void setObjectForKey(const id& object, const id& key);
    // Keyed subscript: nil removes the key.
    void setObjectForKeyedSubscript(const id& object, const id& key);
    void setValueForKey(const id& value, const Ref<NSString>& key) override; // nil removes
    void removeObjectForKey(const id& key);
    void removeObjectsForKeys(const Ref<NSArray>& keys);
    void removeAllObjects();
    void addEntriesFromDictionary(const Ref<NSDictionary>& other);
    void setDictionary(const Ref<NSDictionary>& other);

    id copyWithZone(NSZone* zone) const override;
};

namespace dv {

// How every dictionary of the process compares and hashes. The default is the platform's:
// equal to another dictionary with equal entries, NO otherwise; the hash is the count.
struct DictionaryBehaviour {
    std::function<bool(const NSDictionary& self, const NSObject* other)> isEqual;
    std::function<NSUInteger(const NSDictionary& self)> hash;
};
void setDictionaryBehaviour(DictionaryBehaviour behaviour); // empty members restore the default
bool defaultDictionaryIsEqual(const NSDictionary& self, const NSObject* other);
NSUInteger defaultDictionaryHash(const NSDictionary& self);

} // namespace dv
