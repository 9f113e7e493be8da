// Objects left out of the live-object count (dv::liveObjectCount), which tests use to find what a
// piece of work made and never let go of. Some objects are made on first use and then belong to
// something that outlives any piece of work: the process (a shared instance, the entries of a
// class-level cache that is never emptied) or a thread (its NSThread and run loop). Counted, they
// would pass for a leak of whatever first asked for them; so they are taken out where they are
// made, which also says in the code that they are meant to stay.
//
//   static const Ref<UIScreen> screen = dv::keepingForever([] { return alloc<UIScreen>()->init(); });
//
// Thread-safe; what is taken out is what the calling thread made.
#pragma once

#include "platform/base/NSObject.h"

#include <cstdint>
#include <type_traits>
#include <utility>

namespace dv {

namespace internal::base {
// Objects made less objects destroyed on the calling thread so far.
std::int64_t objectsMadeOnThisThread();
// Takes out what the calling thread made and still holds since `mark`; answers how many.
std::int64_t keepMadeSince(std::int64_t mark);
// Counts again objects taken out, just before they go.
void countAgain(std::int64_t objects);
// While one lives, what the calling thread makes is made to be kept: the live-object record
// (LiveObjects.h) never names it.
class KeepingScope {
public:
    KeepingScope();
    ~KeepingScope();
    KeepingScope(const KeepingScope&) = delete;
    KeepingScope& operator=(const KeepingScope&) = delete;
};
} // namespace internal::base

// One object that is kept until the process ends; it must never be destroyed.
void keepForever(const NSObject* object);

// Everything `make` makes on this thread and still holds when it returns (the object it answers
// and what that object made for itself), kept until the process ends and never destroyed. Later
// changes inside it count as usual: a kept cache that fills holds what it was given.
template <class Make>
decltype(auto) keepingForever(Make&& make)
{
    const std::int64_t mark = internal::base::objectsMadeOnThisThread();
    const internal::base::KeepingScope keeping;
    if constexpr (std::is_void_v<std::invoke_result_t<Make>>) {
        std::forward<Make>(make)();
        internal::base::keepMadeSince(mark);
    } else {
        auto made = std::forward<Make>(make)();
        internal::base::keepMadeSince(mark);
        return made;
    }
}

// An object that lives as long as something that ends, though later than any piece of work (a
// thread's own NSThread, which ends with the thread; an entry of a cache that is emptied now and
// then): what `make` made for it is out of the count from then until this holder lets it go.
template <class T>
class Uncounted {
public:
    Uncounted() = default;
    ~Uncounted() { reset(); }
    Uncounted(const Uncounted&) = delete;
    Uncounted& operator=(const Uncounted&) = delete;
    Uncounted(Uncounted&& other) noexcept
        : m_object(std::exchange(other.m_object, nullptr))
        , m_uncounted(std::exchange(other.m_uncounted, 0))
    {
    }
    Uncounted& operator=(Uncounted&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_object = std::exchange(other.m_object, nullptr);
            m_uncounted = std::exchange(other.m_uncounted, 0);
        }
        return *this;
    }

    template <class Make>
    const Ref<T>& make(Make&& make)
    {
        reset();
        const std::int64_t mark = internal::base::objectsMadeOnThisThread();
        const internal::base::KeepingScope keeping;
        m_object = std::forward<Make>(make)();
        m_uncounted = internal::base::keepMadeSince(mark);
        return m_object;
    }
    const Ref<T>& get() const { return m_object; }
    void reset()
    {
        Ref<T> object = std::exchange(m_object, nullptr);
        internal::base::countAgain(std::exchange(m_uncounted, 0));
    }

private:
    Ref<T> m_object;
    std::int64_t m_uncounted = 0;
};

} // namespace dv
