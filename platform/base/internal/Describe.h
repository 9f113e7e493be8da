// The text forms of collections as the platform prints them: nested containers indented four
// spaces per level, strings quoted when they hold more than plain word characters, and
// characters outside ASCII written as \Uxxxx.
#pragma once

#include "platform/base/Forward.h"

#include <string>
#include <vector>

namespace dv::internal::base {

std::string indent(NSUInteger level);
// One element inside a collection at `level` (a nested collection renders at that level).
std::string describeElement(const NSObject* object, NSUInteger level);
// A string as it appears inside a collection description.
std::string quoteForDescription(const std::string& utf8);
// "open\n" + items at level+1 joined by `separator` + "\n" + indent(level) + close.
std::string describeList(const std::vector<id>& items, NSUInteger level, const char* open, const char* close);

} // namespace dv::internal::base
