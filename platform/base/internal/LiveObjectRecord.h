// The hooks of the live-object record (LiveObjects.h) that NSObject and the kept-object helpers
// call, only once recordingLiveObjects() answers true: while the record is off, an object made
// or destroyed costs one load of a flag.
#pragma once

#include <atomic>

class NSObject;

namespace dv::internal::base {

extern std::atomic<bool> g_recordingLiveObjects;

inline bool recordingLiveObjects() { return g_recordingLiveObjects.load(std::memory_order_relaxed); }

// An object made / about to go.
void noteObjectMade(const NSObject* object);
void noteObjectGone(const NSObject* object);
// An object the process keeps on purpose, left out of what the record names.
void noteObjectKept(const NSObject* object);

} // namespace dv::internal::base
