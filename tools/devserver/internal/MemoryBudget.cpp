#include "tools/devserver/internal/MemoryBudget.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <utility>

namespace dv::internal::devserver {

MemoryBudget::MemoryBudget(std::size_t bytes)
    : m_bytes(bytes)
{
}

std::size_t MemoryBudget::limitFor(std::size_t held, std::size_t extra) const
{
    return held + extra <= kSmallShare ? m_bytes : m_bytes - m_bytes / 4;
}

bool MemoryBudget::hasRoom(std::size_t held, std::size_t extra) const
{
    const std::size_t limit = limitFor(held, extra);
    return extra <= limit && m_used.load() <= limit - extra;
}

bool MemoryBudget::take(std::size_t held, std::size_t extra)
{
    const std::size_t limit = limitFor(held, extra);
    std::size_t used = m_used.load();
    do {
        if (extra > limit || used > limit - extra)
            return false;
    } while (!m_used.compare_exchange_weak(used, used + extra));
    return true;
}

void MemoryBudget::giveBack(std::size_t bytes)
{
    m_used -= bytes;
}

MemoryShare::MemoryShare(MemoryShare&& other) noexcept
    : m_budget(other.m_budget)
    , m_held(std::exchange(other.m_held, 0))
{
}

MemoryShare& MemoryShare::operator=(MemoryShare&& other) noexcept
{
    if (this != &other) {
        release();
        m_budget = other.m_budget;
        m_held = std::exchange(other.m_held, 0);
    }
    return *this;
}

bool MemoryShare::grow(std::size_t bytes)
{
    if (bytes && !m_budget->take(m_held, bytes))
        return false;
    m_held += bytes;
    return true;
}

void MemoryShare::shrink(std::size_t bytes)
{
    bytes = std::min(bytes, m_held);
    if (bytes)
        m_budget->giveBack(bytes);
    m_held -= bytes;
}

bool MemoryShare::resize(std::size_t bytes)
{
    if (bytes >= m_held)
        return grow(bytes - m_held);
    shrink(m_held - bytes);
    return true;
}

bool appendCounted(std::string& to, std::string_view data, MemoryShare& share, std::size_t atLeast)
{
    if (to.size() + data.size() > to.capacity()) {
        // A short string lives inside the object and took nothing from the budget.
        static const std::size_t inside = std::string().capacity();
        const std::size_t old = to.capacity() > inside ? to.capacity() : 0;
        const std::size_t wanted = std::max({ to.size() + data.size(), 2 * to.capacity(), atLeast });
        if (!share.grow(wanted))
            return false;
        to.reserve(wanted);
        share.shrink(old); // the old buffer is gone
    }
    to.append(data);
    return true;
}

std::size_t releaseConsumedPages(std::string& bytes, std::size_t consumed, std::size_t* givenBack)
{
    static const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    assert(consumed <= bytes.size());
    const auto start = reinterpret_cast<std::uintptr_t>(bytes.data());
    // Whole pages only: the first and last may hold the allocator's own words.
    const std::uintptr_t from = (start + *givenBack + page - 1) & ~(page - 1);
    const std::uintptr_t to = (start + consumed) & ~(page - 1);
    if (to <= from)
        return 0;
    if (madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED) != 0)
        return 0;
    *givenBack = to - start;
    return to - from;
}

} // namespace dv::internal::devserver
