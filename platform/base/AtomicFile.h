// Writing a file so that a crash leaves either the old or the new content, never a mixture: a
// hidden temporary file beside the target, flushed to disk, renamed over it, the folder flushed.
// Every atomic write of the platform layer goes through here (data, strings and property lists
// written atomically, the file manager, user defaults, the URL cache, the photo album).
//
// A process killed in the middle of a write leaves its temporary behind. Temporaries carry their
// writer's identity (process id and start time) in their names and stay locked while written,
// so that the next process to open the folder can tell a leftover from a write in progress:
// removeStaleTemporaries deletes only those whose writer is gone. The first atomic write into a
// folder in a process does this on its own; folders read at start-up (user defaults, caches)
// call it when they are opened.
//
//   int error = 0;
//   if (!dv::writeFileAtomically(path, bytes, &error)) report(error);
#pragma once

#include <string>
#include <string_view>

namespace dv {

// False on failure, with errno in `error` when given; `path` is then as it was.
[[nodiscard]] bool writeFileAtomically(const std::string& path, std::string_view bytes, int* error = nullptr);

// Deletes the temporaries in `folder` (not below it) left by writers that no longer run.
void removeStaleTemporaries(const std::string& folder);

// Whether a file name is that of an atomic write's temporary.
bool isAtomicWriteTemporary(std::string_view name);

} // namespace dv
