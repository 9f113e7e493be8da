// What the prospect lists do to the address book: write one new contact per listed number, or
// remove every contact. Each is one save of one handle, so the book ends either as it was or
// with the whole change, never with part of it, even when the process dies in the middle.
//
// The user's permission is the system's: the home screen asks for it at start, and a list asks
// again only when nobody has answered yet (the prompt shows, the list carries on with the answer).
//
//   dv::app::whenAddressBookAccessKnown([](bool granted) {
//       auto result = granted ? dv::app::addProspects(phones, NSDate::date()) : AddressBookResult::NotAllowed;
//   });
//
// Main thread.
#pragma once

#include "platform/base/Forward.h"

#include <functional>
#include <vector>

namespace dv::app {

enum class AddressBookResult {
    Saved,      // the whole change is in the book
    NotAllowed, // the user has not allowed access; nothing changed
    Failed,     // the book could not be read or written; nothing changed
};

// Runs `then` with whether the application may use the address book: at once when the user has
// answered before, else once the permission prompt has been answered, on the main queue.
void whenAddressBookAccessKnown(std::function<void(bool granted)> then);

// One new person per number, in order: empty first and last names, `importTime` as birthday, and
// two phone values, the number labelled "iphone" and an empty one labelled "home". A nil or empty
// number makes no person. Nothing to add still counts as saved.
[[nodiscard]] AddressBookResult addProspects(const std::vector<Ref<NSString>>& phones, const Ref<NSDate>& importTime);

// Every person of the address book removed, not only those the lists added.
[[nodiscard]] AddressBookResult removeAllPeople();

} // namespace dv::app
