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
// A file that can always be made again (a cache's copy of a download) may skip the flushes: it is
// still written whole or not at all under its name while the system runs, but a crash of the
// machine may lose it, or leave it short, which its readers must take for a missing or damaged
// entry.
//
// A writer that must not wait for the disk splits the write in two (StagedFile): the bytes go to
// the temporary at once, where a process killed afterwards still leaves them whole, and the flush
// and rename follow later on another thread. The next reader of such a file looks for what a
// dead writer staged (abandonedWritesOf) and puts the newest whole one in place.
//
//   int error = 0;
//   if (!dv::writeFileAtomically(path, bytes, &error)) report(error);
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dv {

enum class FileDurability {
    Flushed,     // on the disk before the call returns, and its name with it
    Replaceable, // only renamed into place: a crash of the machine may lose it
};

// False on failure, with errno in `error` when given; `path` is then as it was.
[[nodiscard]] bool writeFileAtomically(const std::string& path, std::string_view bytes, int* error = nullptr,
    FileDurability durability = FileDurability::Flushed);

// One atomic write in two steps. stage writes the bytes to a new temporary beside `path` (not yet
// flushed; an earlier staged temporary of this object is discarded); commit flushes it, renames
// it over `path` and flushes the folder. Either may be called on any thread, one at a time. The
// temporary stays locked until committed or discarded (and is discarded with the object), so
// that no sweep takes it for a leftover while its writer runs.
class StagedFile {
public:
    StagedFile() = default;
    ~StagedFile();
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // False on failure, with errno in `error` when given; nothing is left behind then.
    [[nodiscard]] bool stage(const std::string& path, std::string_view bytes, int* error = nullptr);
    // False on failure (the temporary is gone and `path` as it was), with errno in `error`.
    [[nodiscard]] bool commit(int* error = nullptr, FileDurability durability = FileDurability::Flushed);
    void discard();
    bool isStaged() const { return m_fd >= 0; }

private:
    std::string m_path;
    std::string m_temporary;
    int m_fd = -1;
};

// The temporaries of writes to `path` whose writers no longer run, newest first: a staged write
// whose commit never came is among them, whole, unless the machine itself went down.
std::vector<std::string> abandonedWritesOf(const std::string& path);
// Puts such a temporary in place of `path`, flushed. False with errno in `error` on failure.
[[nodiscard]] bool adoptAbandonedWrite(const std::string& temporary, const std::string& path, int* error = nullptr);

// Deletes the temporaries in `folder` (not below it) left by writers that no longer run.
void removeStaleTemporaries(const std::string& folder);

// Whether a file name is that of an atomic write's temporary.
bool isAtomicWriteTemporary(std::string_view name);

} // namespace dv
