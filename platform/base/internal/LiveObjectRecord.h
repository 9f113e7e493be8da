// The hooks of the live-object record (LiveObjects.h) that NSObject and the kept-object helpers
// call. Each is a single load of a flag while the record is off.
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
