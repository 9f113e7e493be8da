// State that most objects never use (associated objects, observation records), kept in a
// process-wide table beside the objects instead of a member of each one, so that a small object
// stays small. Entries are keyed by an object's address and die with the object: NSObject's
// destructor drops those under its own address, and a part of an object that keeps state under
// its own address (an observable's records) drops it in its own destructor.
//
//   auto records = dv::sidetable::findOrCreate<Records>(this, dv::SideSlot::Observations);
//   if (auto records = dv::sidetable::find<Records>(this, dv::SideSlot::Observations)) ...
//
// Thread-safe. State is handed out as a shared reference, so that a caller may keep using it
// after the table's lock is released; it is released outside the table's lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace dv {

enum class SideSlot : std::uint8_t {
    Associations,
    Observations,
};
inline constexpr std::size_t kSideSlotCount = 2;

namespace sidetable {

// False when the address has no entry (exact), true when it may have one. Lock-free: this is
// what a destructor asks first, so that objects without entries pay almost nothing.
bool mayHaveEntries(const void* object) noexcept;

std::shared_ptr<void> find(const void* object, SideSlot slot);
std::shared_ptr<void> findOrCreate(const void* object, SideSlot slot, std::shared_ptr<void> (*make)());
// Drops every entry under the address. State that is dropped while another entry is being made
// for the same address (an associated value whose destructor associates again) goes too.
void erase(const void* object);

// Addresses that have entries, for tests and diagnostics.
std::size_t size();

template <class T>
std::shared_ptr<T> find(const void* object, SideSlot slot)
{
    return std::static_pointer_cast<T>(find(object, slot));
}

template <class T>
std::shared_ptr<T> findOrCreate(const void* object, SideSlot slot)
{
    return std::static_pointer_cast<T>(findOrCreate(object, slot, []() -> std::shared_ptr<void> { return std::make_shared<T>(); }));
}

} // namespace sidetable
} // namespace dv
