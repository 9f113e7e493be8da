// What the files of NSString and NSMutableString share: the making of a string (the empty one is
// shared), the range exception and case mapping.
#pragma once

#include "platform/base/NSString.h"

#include <string>

namespace dv::internal::base {

// Every empty immutable string is the one shared instance, as on the platform.
Ref<NSString> makeString(std::string utf8);

// Raises NSRangeException for `method` ("characterAtIndex:") at `index` of a string of `length`.
[[noreturn]] void raiseStringRange(const char* method, NSUInteger index, NSUInteger length);

enum class CaseMapping { Upper, Lower, Fold };
// Case mapping through ICU (ASCII text directly; folding ASCII lowers it).
std::string mapCase(const std::string& text, CaseMapping mapping);

} // namespace dv::internal::base
