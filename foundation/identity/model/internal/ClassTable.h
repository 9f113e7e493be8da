// A process-wide map from class to a record that lives for the process, read without locks.
//
// Readers probe an open-addressed table whose slots are written once (value first, then key,
// with release ordering), so a reader that sees a key also sees its value. Writers serialise on a
// mutex; the first record stored for a class wins and later ones are handed back the winner, so a
// record that a reader holds is never replaced or freed. A full table is copied into one twice
// its size and published atomically; the old tables are kept (readers may still be in them).
#pragma once

#include "platform/base/Forward.h"
#include "platform/base/Mutex.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace dv::internal::model {

template <class T>
class ClassTable {
public:
    ClassTable() { m_table.store(newTable(64), std::memory_order_release); }
    ClassTable(const ClassTable&) = delete;
    ClassTable& operator=(const ClassTable&) = delete;

    T* find(Class cls) const
    {
        const Table* table = m_table.load(std::memory_order_acquire);
        std::size_t mask = table->capacity - 1;
        for (std::size_t i = slotOf(cls) & mask;; i = (i + 1) & mask) {
            Class key = table->slots[i].key.load(std::memory_order_acquire);
            if (key == cls)
                return table->slots[i].value.load(std::memory_order_relaxed);
            if (!key)
                return nullptr;
        }
    }

    // Stores `value` unless the class already has a record; answers the record that stays.
    T* insertIfAbsent(Class cls, T* value)
    {
        dv::MutexLocker lock(m_mutex);
        if (T* existing = find(cls))
            return existing;
        Table* table = m_table.load(std::memory_order_relaxed);
        if ((m_count + 1) * 2 > table->capacity) {
            Table* bigger = newTable(table->capacity * 2);
            for (std::size_t i = 0; i < table->capacity; ++i)
                if (Class key = table->slots[i].key.load(std::memory_order_relaxed))
                    place(bigger, key, table->slots[i].value.load(std::memory_order_relaxed));
            m_table.store(bigger, std::memory_order_release);
            table = bigger;
        }
        place(table, cls, value);
        ++m_count;
        return value;
    }

private:
    struct Slot {
        std::atomic<Class> key { nullptr };
        std::atomic<T*> value { nullptr };
    };
    struct Table {
        std::size_t capacity = 0;
        std::unique_ptr<Slot[]> slots;
    };

    static std::size_t slotOf(Class cls) { return std::hash<const void*>()(cls) * 0x9E3779B97F4A7C15ull >> 7; }

    Table* newTable(std::size_t capacity) DV_REQUIRES(m_mutex)
    {
        auto table = std::make_unique<Table>();
        table->capacity = capacity;
        table->slots = std::make_unique<Slot[]>(capacity);
        m_tables.push_back(std::move(table));
        return m_tables.back().get();
    }

    static void place(Table* table, Class cls, T* value)
    {
        std::size_t mask = table->capacity - 1;
        std::size_t i = slotOf(cls) & mask;
        while (table->slots[i].key.load(std::memory_order_relaxed))
            i = (i + 1) & mask;
        table->slots[i].value.store(value, std::memory_order_relaxed);
        table->slots[i].key.store(cls, std::memory_order_release);
    }

    std::atomic<Table*> m_table { nullptr };
    dv::Mutex m_mutex;
    std::size_t m_count DV_GUARDED_BY(m_mutex) = 0;
    std::vector<std::unique_ptr<Table>> m_tables DV_GUARDED_BY(m_mutex); // every table ever published, for late readers
};

} // namespace dv::internal::model
