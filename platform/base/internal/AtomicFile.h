// Writing a file so that a crash leaves either the old or the new content, never a mixture:
// a temporary file beside the target, flushed to disk, then renamed over it.
#pragma once

#include <string>
#include <string_view>

namespace dv::internal {

[[nodiscard]] bool writeFileAtomically(const std::string& path, std::string_view bytes);

} // namespace dv::internal
