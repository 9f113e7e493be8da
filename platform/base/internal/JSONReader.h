// The JSON reader behind NSJSONSerialization: a recursive-descent parser over UTF-8 that builds
// our object tree directly (no intermediate document). Depth is bounded by the caller's limit.
#pragma once

#include "platform/base/Forward.h"

#include <string>

namespace dv::internal::base {

struct JSONReadResult {
    id object;
    std::string error;         // empty on success
    // Where the fault is, in the caller's bytes (byte-order mark and encoding included): the byte
    // offset, the line from 1 and the column from 0, counted in the units of the caller's
    // encoding (bytes of UTF-8, 16-bit units of UTF-16, characters of UTF-32).
    std::size_t errorIndex = 0;
    std::size_t errorLine = 1;
    std::size_t errorColumn = 0;
};

// `options` are NSJSONReadingOptions. The bytes may be UTF-8, UTF-16 or UTF-32 (with or without
// a byte-order mark).
JSONReadResult readJSON(const unsigned char* bytes, std::size_t length, NSUInteger options, int maxDepth);

} // namespace dv::internal::base
