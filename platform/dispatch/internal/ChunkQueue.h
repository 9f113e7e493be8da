// The FIFO under a dispatch queue: elements live in fixed-size chunks on a list, and emptied
// chunks are kept for reuse. A queue in steady use therefore allocates nothing per element
// (std::deque allocates and frees a small node every few elements, and with producer and
// consumer on different threads that malloc traffic dominated the cost of a block), and a
// burst never copies what is already queued. Not synchronised: the owner locks.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

namespace dv::internal::dispatch {

template <class T, std::size_t ChunkSize = 128>
class ChunkQueue {
public:
    ChunkQueue() = default;
    ~ChunkQueue()
    {
        release(m_head, true);
        release(m_spare, false);
    }
    ChunkQueue(const ChunkQueue&) = delete;
    ChunkQueue& operator=(const ChunkQueue&) = delete;

    bool empty() const { return m_size == 0; }
    std::size_t size() const { return m_size; }
    T& front() { return *m_head->slot(m_head->begin); }

    template <class... Args>
    void emplace_back(Args&&... args)
    {
        if (!m_tail || m_tail->end == ChunkSize)
            appendChunk();
        new (m_tail->slot(m_tail->end)) T(std::forward<Args>(args)...);
        ++m_tail->end;
        ++m_size;
    }
    void push_back(T&& value) { emplace_back(std::move(value)); }
    void push_front(T&& value)
    {
        if (!m_head || m_head->begin == 0) {
            Chunk* chunk = newChunk();
            chunk->begin = chunk->end = ChunkSize;
            chunk->next = m_head;
            m_head = chunk;
            if (!m_tail)
                m_tail = chunk;
        }
        new (m_head->slot(m_head->begin - 1)) T(std::move(value));
        --m_head->begin;
        ++m_size;
    }
    T take_front()
    {
        T* slot = m_head->slot(m_head->begin);
        T value(std::move(*slot));
        slot->~T();
        ++m_head->begin;
        --m_size;
        if (m_head->begin == m_head->end) {
            Chunk* emptied = m_head;
            m_head = emptied->next;
            if (!m_head)
                m_tail = nullptr;
            recycle(emptied);
        }
        return value;
    }
    T take_back()
    {
        T* slot = m_tail->slot(m_tail->end - 1);
        T value(std::move(*slot));
        slot->~T();
        --m_tail->end;
        --m_size;
        if (m_tail->begin == m_tail->end) {
            Chunk* emptied = m_tail;
            Chunk* before = nullptr;
            for (Chunk* c = m_head; c != emptied; c = c->next)
                before = c;
            m_tail = before;
            if (before)
                before->next = nullptr;
            else
                m_head = nullptr;
            recycle(emptied);
        }
        return value;
    }
    template <class F>
    void forEach(F&& f)
    {
        for (Chunk* c = m_head; c; c = c->next)
            for (std::size_t i = c->begin; i < c->end; ++i)
                f(*c->slot(i));
    }
    void swap(ChunkQueue& other) noexcept
    {
        std::swap(m_head, other.m_head);
        std::swap(m_tail, other.m_tail);
        std::swap(m_size, other.m_size);
        std::swap(m_spare, other.m_spare);
        std::swap(m_spareCount, other.m_spareCount);
    }

private:
    struct Chunk {
        alignas(T) unsigned char storage[sizeof(T) * ChunkSize];
        std::size_t begin = 0;
        std::size_t end = 0;
        Chunk* next = nullptr;
        T* slot(std::size_t i) { return std::launder(reinterpret_cast<T*>(storage + sizeof(T) * i)); }
    };
    static constexpr std::size_t maxSpare = 32;

    Chunk* newChunk()
    {
        if (!m_spare)
            return new Chunk;
        Chunk* chunk = m_spare;
        m_spare = chunk->next;
        --m_spareCount;
        chunk->next = nullptr;
        return chunk;
    }
    void appendChunk()
    {
        Chunk* chunk = newChunk();
        if (m_tail)
            m_tail->next = chunk;
        else
            m_head = chunk;
        m_tail = chunk;
    }
    void recycle(Chunk* chunk)
    {
        if (m_spareCount >= maxSpare) {
            delete chunk;
            return;
        }
        chunk->begin = chunk->end = 0;
        chunk->next = m_spare;
        m_spare = chunk;
        ++m_spareCount;
    }
    static void release(Chunk* chunk, bool live)
    {
        while (chunk) {
            if (live)
                for (std::size_t i = chunk->begin; i < chunk->end; ++i)
                    chunk->slot(i)->~T();
            Chunk* next = chunk->next;
            delete chunk;
            chunk = next;
        }
    }

    Chunk* m_head = nullptr;
    Chunk* m_tail = nullptr;
    std::size_t m_size = 0;
    Chunk* m_spare = nullptr;
    std::size_t m_spareCount = 0;
};

} // namespace dv::internal::dispatch
