#include "platform/base/SideTable.h"

#include "platform/base/Mutex.h"

#include <array>
#include <atomic>
#include <new>
#include <unordered_map>
#include <utility>

namespace dv::sidetable {

namespace {

// A count of addresses with entries per hash bucket: a destructor whose bucket reads zero has
// nothing to drop and takes no lock.
constexpr std::size_t kFilterBits = 16;
constexpr std::size_t kFilterSize = std::size_t(1) << kFilterBits;
std::atomic<std::uint32_t> s_filter[kFilterSize];

constexpr std::size_t kShardCount = 64;

using Node = std::array<std::shared_ptr<void>, kSideSlotCount>;

struct alignas(64) Shard {
    dv::Mutex lock;
    std::unordered_map<const void*, Node> nodes DV_GUARDED_BY(lock);
};

// Never destroyed: objects still die during the process's exit.
Shard* shards()
{
    static Shard* const all = new Shard[kShardCount];
    return all;
}

std::atomic<std::size_t> s_size { 0 };

std::uint64_t mix(const void* object)
{
    auto x = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(object));
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    return x;
}

std::atomic<std::uint32_t>& filterOf(std::uint64_t hash) { return s_filter[hash & (kFilterSize - 1)]; }
Shard& shardOf(std::uint64_t hash) { return shards()[(hash >> kFilterBits) % kShardCount]; }

} // namespace

bool mayHaveEntries(const void* object) noexcept
{
    return object && filterOf(mix(object)).load(std::memory_order_acquire) != 0;
}

std::shared_ptr<void> find(const void* object, SideSlot slot)
{
    if (!object)
        return nullptr;
    auto hash = mix(object);
    if (filterOf(hash).load(std::memory_order_acquire) == 0)
        return nullptr;
    auto& shard = shardOf(hash);
    dv::MutexLocker guard(shard.lock);
    auto it = shard.nodes.find(object);
    return it == shard.nodes.end() ? nullptr : it->second[static_cast<std::size_t>(slot)];
}

std::shared_ptr<void> findOrCreate(const void* object, SideSlot slot, std::shared_ptr<void> (*make)())
{
    if (!object)
        return nullptr;
    auto hash = mix(object);
    auto& shard = shardOf(hash);
    dv::MutexLocker guard(shard.lock);
    auto [it, inserted] = shard.nodes.try_emplace(object);
    if (inserted) {
        filterOf(hash).fetch_add(1, std::memory_order_acq_rel);
        s_size.fetch_add(1, std::memory_order_relaxed);
    }
    auto& state = it->second[static_cast<std::size_t>(slot)];
    if (!state)
        state = make();
    return state;
}

void erase(const void* object)
{
    if (!object)
        return;
    auto hash = mix(object);
    auto& filter = filterOf(hash);
    auto& shard = shardOf(hash);
    while (filter.load(std::memory_order_acquire) != 0) {
        Node dropped;
        {
            dv::MutexLocker guard(shard.lock);
            auto it = shard.nodes.find(object);
            if (it == shard.nodes.end())
                return;
            dropped = std::move(it->second);
            shard.nodes.erase(it);
            filter.fetch_sub(1, std::memory_order_acq_rel);
            s_size.fetch_sub(1, std::memory_order_relaxed);
        }
        // `dropped` goes here, outside the lock: releasing it may run destructors that use
        // the table, also for this very address.
    }
}

std::size_t size() { return s_size.load(std::memory_order_relaxed); }

} // namespace dv::sidetable
