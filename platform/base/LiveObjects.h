// A record of the objects alive in the process, for tests that find a leak and must say what
// leaked. Off until a test turns it on; from then every object made is noted with the order it
// was made in, until it goes. What the process keeps on purpose (KeptObjects.h) is noted as kept
// and never named.
//
//   const auto mark = dv::recordLiveObjects();
//   ... work ...
//   for (const auto& [name, count] : dv::liveObjectClassesMadeSince(mark)) ...
//
// Thread-safe. Recording costs a short lock on every object made and destroyed, so the product
// never turns it on.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace dv {

// Turns the record on (for the rest of the process) and answers a mark: the objects made from
// now on are later than it.
std::uint64_t recordLiveObjects();

// The classes of the objects made since `mark` and still alive (less those kept on purpose),
// each with how many, the most numerous first.
std::vector<std::pair<std::string, int>> liveObjectClassesMadeSince(std::uint64_t mark);

} // namespace dv
