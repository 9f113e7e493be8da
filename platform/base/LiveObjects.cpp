#include "platform/base/LiveObjects.h"

#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"
#include "platform/base/internal/LiveObjectRecord.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <unordered_map>

namespace dv::internal::base {

std::atomic<bool> g_recordingLiveObjects { false };

namespace {

struct Entry {
    std::uint64_t serial = 0;
    bool kept = false;
};

// Spread over shards by address, so that threads making objects at once seldom wait on each
// other.
struct Shard {
    dv::Mutex lock;
    std::unordered_map<const NSObject*, Entry> objects DV_GUARDED_BY(lock);
};

constexpr std::size_t kShards = 64;

struct Record {
    std::atomic<std::uint64_t> serial { 0 };
    std::array<Shard, kShards> shards;

    Shard& shardOf(const NSObject* object)
    {
        // Objects are at least 16 bytes apart: the low bits say nothing.
        return shards[(reinterpret_cast<std::uintptr_t>(object) >> 4) % kShards];
    }
};

// Made when the record is turned on and never destroyed: objects go until the process's very end.
Record& record()
{
    static Record* const s_record = new Record;
    return *s_record;
}

thread_local int t_keeping = 0;

} // namespace

void noteObjectMade(const NSObject* object)
{
    auto& r = record();
    const Entry entry { r.serial.fetch_add(1, std::memory_order_relaxed), t_keeping > 0 };
    auto& shard = r.shardOf(object);
    dv::MutexLocker locker(shard.lock);
    shard.objects[object] = entry;
}

void noteObjectGone(const NSObject* object)
{
    auto& shard = record().shardOf(object);
    dv::MutexLocker locker(shard.lock);
    shard.objects.erase(object);
}

void noteObjectKept(const NSObject* object)
{
    auto& shard = record().shardOf(object);
    dv::MutexLocker locker(shard.lock);
    if (auto found = shard.objects.find(object); found != shard.objects.end())
        found->second.kept = true;
}

KeepingScope::KeepingScope() { ++t_keeping; }
KeepingScope::~KeepingScope() { --t_keeping; }

} // namespace dv::internal::base

namespace dv {

std::uint64_t recordLiveObjects()
{
    auto& r = internal::base::record();
    internal::base::g_recordingLiveObjects.store(true);
    return r.serial.load();
}

std::vector<std::pair<std::string, int>> liveObjectClassesMadeSince(std::uint64_t mark)
{
    // Weak references are taken under the shards' locks and made strong only outside them: the
    // last strong reference may go here, and its object's destruction takes a shard's lock. An
    // object whose destruction has begun is still listed (it leaves the record last) but can no
    // longer be held; it is counted without a name.
    std::vector<std::weak_ptr<const NSObject>> found;
    int unowned = 0;
    for (auto& shard : internal::base::record().shards) {
        dv::MutexLocker locker(shard.lock);
        for (const auto& [object, entry] : shard.objects) {
            if (entry.serial < mark || entry.kept)
                continue;
            auto weak = object->weak_from_this();
            if (weak.expired())
                ++unowned;
            else
                found.push_back(std::move(weak));
        }
    }
    std::map<std::string, int> counts;
    for (const auto& weak : found) {
        if (auto object = weak.lock()) {
            const char* name = object->getClass() ? object->getClass()->name() : nullptr;
            ++counts[name ? name : "(a class without a name)"];
        }
    }
    if (unowned > 0)
        counts["(not held by a reference)"] += unowned;
    std::vector<std::pair<std::string, int>> classes(counts.begin(), counts.end());
    std::stable_sort(classes.begin(), classes.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return classes;
}

} // namespace dv
