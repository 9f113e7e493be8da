// What the server's connections may hold in memory at once, all of them together: the requests
// being read or handled (heads and bodies) and the answers being written. Bytes are counted into
// a share before they are held (a declared body before a byte of it is read) and leave the budget
// with the share; a share that would pass the budget does not grow, and the front answers 503
// instead of holding the bytes. Small shares (a head, a form, a JSON answer: at most kSmallShare
// bytes) may use the whole budget, larger ones all but a quarter of it, so that uploads and
// pictures for clients that do not read them can never leave ordinary requests without room.
//
//   MemoryBudget budget(64 << 20);
//   MemoryShare share(&budget);
//   if (!share.grow(declaredLength)) refuse(503);
//
// Shares grow on one thread each and may be given back on any.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

namespace dv::internal::devserver {

class MemoryBudget {
public:
    static constexpr std::size_t kSmallShare = 64 * 1024;

    explicit MemoryBudget(std::size_t bytes);
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    // Bytes in shares now.
    std::size_t used() const { return m_used.load(); }

private:
    friend class MemoryShare;
    // Takes `extra` bytes for a share of `held` bytes so far; false when they do not fit.
    bool take(std::size_t held, std::size_t extra);
    void giveBack(std::size_t bytes);

    const std::size_t m_bytes;
    std::atomic<std::size_t> m_used { 0 };
};

// Bytes counted against a budget, given back when the share is destroyed or replaced. A share of
// no budget grows without bound (a reader used on its own).
class MemoryShare {
public:
    MemoryShare() = default;
    explicit MemoryShare(MemoryBudget* budget)
        : m_budget(budget)
    {
    }
    ~MemoryShare() { release(); }
    MemoryShare(MemoryShare&& other) noexcept;
    MemoryShare& operator=(MemoryShare&& other) noexcept;

    // Adds `bytes` if the budget has room for them; false, and nothing added, when it has not.
    [[nodiscard]] bool grow(std::size_t bytes);
    std::size_t bytes() const { return m_held; }
    // Gives every byte back; the share stays with its budget, empty.
    void release();

private:
    MemoryBudget* m_budget = nullptr;
    std::size_t m_held = 0;
};

// Empties `bytes` and gives their memory back: assigning an empty string would keep the buffer.
inline void releaseBytes(std::string& bytes)
{
    std::string().swap(bytes);
}

} // namespace dv::internal::devserver
