// The JSON reader behind NSJSONSerialization: a recursive-descent parser over UTF-8 that builds
// our object tree directly (no intermediate document). Depth is bounded by the caller's limit.
#pragma once

#include "platform/base/Forward.h"

#include <string>

namespace dv::internal {

struct JSONReadResult {
    id object;
    std::string error;         // empty on success
    std::size_t errorIndex = 0; // byte offset of the fault
};

// `options` are NSJSONReadingOptions. The bytes may be UTF-8, UTF-16 or UTF-32 (with or without
// a byte-order mark).
JSONReadResult readJSON(const unsigned char* bytes, std::size_t length, NSUInteger options, int maxDepth);

} // namespace dv::internal
