// File-system helpers of platform/system: atomic replacement of a file, and errors of failed
// file operations in the platform's form.
#pragma once

#include "platform/base/Forward.h"

#include <string>
#include <string_view>

namespace dv::internal::system {

// Writes `bytes` atomically (see platform/base/AtomicFile.h), so that a reader sees the old file
// or the new one, never a part. On failure answers false with errno in `error` and leaves `path`
// as it was.
[[nodiscard]] bool replaceFileAtomically(const std::string& path, std::string_view bytes, int& error);

// A Cocoa-domain error for a failed file operation, with the path and the POSIX error beneath.
// `writing` picks the write codes (513 no permission, 516 exists, 640 out of space, 512 other)
// over the read codes (260 no such file, 257 no permission, 256 other).
Ref<NSError> fileError(int posixError, const std::string& path, bool writing);

} // namespace dv::internal::system
