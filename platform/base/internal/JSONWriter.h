// The JSON writer behind NSJSONSerialization: our object tree to UTF-8 text, compact or pretty.
#pragma once

#include "platform/base/Forward.h"

#include <string>

namespace dv::internal::base {

struct JSONWriteResult {
    std::string text;
    std::string error; // empty on success
};

// `options` are NSJSONWritingOptions. Containers nested deeper than maxDepth (a cycle through a
// mutable container among them) are an error.
JSONWriteResult writeJSON(const NSObject* object, NSUInteger options, int maxDepth);

// The shortest text that reads back as the same double ("0.1", "1e+20"); integral values have
// no decimal point. Shared with the property-list writer.
void appendShortestDouble(std::string& out, double value);
void appendShortestFloat(std::string& out, float value);

} // namespace dv::internal::base
