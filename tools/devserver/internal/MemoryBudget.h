// What the server's connections may hold in memory at once, all of them together. A byte is
// counted into a share before it is held and leaves the budget when it is let go; a share that
// would pass the budget does not grow, and its holder refuses the work (503) instead of holding
// the bytes. Small shares (a head, a form, a JSON answer: at most kSmallShare bytes) may use the
// whole budget, larger ones all but a quarter of it, so that uploads and pictures for clients that
// do not read them can never leave ordinary requests without room.
//
// Nothing ever waits for room: a share either grows at once or is refused. So no holder can wait
// on another, and room given back (a refused body, an answer taken by its client) is there for
// the next one to ask.
//
//   MemoryBudget budget(64 << 20);
//   MemoryShare share(budget);
//   if (!share.grow(bytes.size())) refuse(503);
//   held.append(bytes);
//
// Every share belongs to a budget for its whole life. A share grows on one thread at a time and
// may be given back on any; the budget itself is shared by all threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
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
    // Whether a share of `held` bytes could take `extra` more now; nothing is taken.
    bool hasRoom(std::size_t held, std::size_t extra) const;

private:
    friend class MemoryShare;
    // Takes `extra` bytes for a share of `held` bytes so far; false when they do not fit.
    bool take(std::size_t held, std::size_t extra);
    void giveBack(std::size_t bytes);
    std::size_t limitFor(std::size_t held, std::size_t extra) const;

    const std::size_t m_bytes;
    std::atomic<std::size_t> m_used { 0 };
};

// Bytes counted against a budget, given back when the share is destroyed, released or shrunk. A
// share moved from stays with its budget, empty.
class MemoryShare {
public:
    explicit MemoryShare(MemoryBudget& budget)
        : m_budget(&budget)
    {
    }
    ~MemoryShare() { release(); }
    MemoryShare(MemoryShare&& other) noexcept;
    // Gives back what this share held and takes over the other's bytes and budget.
    MemoryShare& operator=(MemoryShare&& other) noexcept;

    // Adds `bytes` if the budget has room for them; false, and nothing added, when it has not.
    [[nodiscard]] bool grow(std::size_t bytes);
    // Whether `bytes` more would fit now; nothing is taken.
    bool hasRoomFor(std::size_t bytes) const { return m_budget->hasRoom(m_held, bytes); }
    // Gives back `bytes` of what the share holds (all of it, if it holds fewer).
    void shrink(std::size_t bytes);
    // Grows or shrinks to exactly `bytes`; false, and unchanged, when growing finds no room.
    [[nodiscard]] bool resize(std::size_t bytes);
    std::size_t bytes() const { return m_held; }
    const MemoryBudget& budget() const { return *m_budget; }
    // Gives every byte back; the share stays with its budget, empty.
    void release() { shrink(m_held); }

private:
    MemoryBudget* m_budget;
    std::size_t m_held = 0;
};

// Bytes that several holders send at once (a stored picture that many answers carry): one copy,
// counted once into its own share (when it has one) for as long as any holder keeps it.
struct SharedBytes {
    std::string bytes;
    std::optional<MemoryShare> share {};
};

// Empties `bytes` and gives their memory back: assigning an empty string would keep the buffer.
inline void releaseBytes(std::string& bytes)
{
    std::string().swap(bytes);
}

// Appends `data` to `to`, counting the memory `to` takes into `share` before it is taken: when
// the buffer must grow, the new buffer (at least `atLeast` bytes, else twice the old) is counted
// before it is made and the old one given back once it is gone. false, and nothing appended, when
// the budget has no room.
[[nodiscard]] bool appendCounted(std::string& to, std::string_view data, MemoryShare& share, std::size_t atLeast = 0);

// Gives the system back the whole pages of `bytes[0, consumed)` that have not been given back yet
// (`*givenBack` bytes from the start, updated), so that a large buffer read from front to back
// stops taking memory behind the reader. Those bytes read as zeros afterwards; the buffer stays
// valid and is freed as usual. Answers the bytes given back now.
std::size_t releaseConsumedPages(std::string& bytes, std::size_t consumed, std::size_t* givenBack);

} // namespace dv::internal::devserver
