#include "tools/devserver/internal/MemoryBudget.h"

#include <utility>

namespace dv::internal::devserver {

MemoryBudget::MemoryBudget(std::size_t bytes)
    : m_bytes(bytes)
{
}

bool MemoryBudget::take(std::size_t held, std::size_t extra)
{
    const std::size_t limit = held + extra <= kSmallShare ? m_bytes : m_bytes - m_bytes / 4;
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
    if (m_budget && !m_budget->take(m_held, bytes))
        return false;
    m_held += bytes;
    return true;
}

void MemoryShare::release()
{
    if (m_budget && m_held)
        m_budget->giveBack(m_held);
    m_held = 0;
}

} // namespace dv::internal::devserver
