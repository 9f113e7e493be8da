#include "platform/dispatch/Synchronized.h"

#include "platform/base/Mutex.h"
#include "platform/dispatch/internal/WorkerPool.h"

#include <mutex>
#include <unordered_map>

namespace dv {

namespace {

Mutex s_tableLock;

// The lock of one object: a standard recursive mutex, whose try_lock lets a waiter say that it
// blocks before it sleeps.
struct Entry {
    std::recursive_mutex mutex;
    int users DV_GUARDED_BY(s_tableLock) = 0;
};

std::unordered_map<const void*, Entry*>* s_table DV_PT_GUARDED_BY(s_tableLock) = new std::unordered_map<const void*, Entry*>;

} // namespace

Synchronized::Synchronized(const void* object) : m_object(object), m_entry(nullptr)
{
    if (!object)
        return; // @synchronized(nil) takes no lock, as on the platform
    Entry* entry;
    {
        MutexLocker lock(s_tableLock);
        auto& slot = (*s_table)[object];
        if (!slot)
            slot = new Entry;
        entry = slot;
        ++entry->users;
    }
    if (!entry->mutex.try_lock()) {
        internal::dispatch::BlockingScope blocking;
        entry->mutex.lock();
    }
    m_entry = entry;
}

Synchronized::~Synchronized()
{
    if (!m_entry)
        return;
    auto* entry = static_cast<Entry*>(m_entry);
    entry->mutex.unlock();
    MutexLocker lock(s_tableLock);
    if (--entry->users == 0) {
        s_table->erase(m_object);
        delete entry;
    }
}

} // namespace dv
