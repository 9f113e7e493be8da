// ICU's converter alias table, behind one function so that only this file sees ICU headers.
#pragma once

#include <string>

namespace dv::internal::base {

// ICU's canonical converter name for any name it knows as IANA, MIME or its own alias; empty
// when unknown.
std::string canonicalConverterName(const std::string& name);

} // namespace dv::internal::base
