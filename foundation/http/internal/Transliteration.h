// ICU transliteration behind one function, so that nothing else of the HTTP layer includes ICU.
#pragma once

#include <optional>
#include <string>

namespace dv::internal::http {

// The UTF-8 text passed forward through the ICU transform with the given identifier (for instance
// "Any-Latin; Latin-ASCII; [:^ASCII:] Remove"); nothing when the transform cannot be made.
std::optional<std::string> transliterate(const std::string& utf8, const char* transformID);

} // namespace dv::internal::http
