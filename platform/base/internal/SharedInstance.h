// The process's shared immutable values (the booleans, small numbers, the empty string, the empty
// collections): one instance each, made on first use, kept for the whole process and not counted
// among live objects (dv::liveObjectCount measures what code makes and drops).
#pragma once

#include "platform/base/KeptObjects.h"

#include <utility>

namespace dv::internal::base {

// The shared instance made from `object`, held by a reference that is never released.
template <class T>
const Ref<T>& sharedInstance(Ref<T> object)
{
    auto* kept = new Ref<T>(std::move(object));
    dv::keepForever(kept->get());
    return *kept;
}

} // namespace dv::internal::base
