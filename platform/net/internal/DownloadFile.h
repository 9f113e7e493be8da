// The file a download task writes: its path in the temporary directory (named when first needed,
// or taken over from resume data) and, while bytes arrive, the open handle, which the object owns
// and closes however the task ends. Removing the file is a separate, explicit step: a failed
// download that can be resumed keeps its partial file for the resume data that names it.
//
// A member of its task's driver, used on the session's delegate queue only. Not copyable.
//
//   DV_TRY(file.open(resumeOffset));
//   DV_TRY(file.write(bytes));
//   DV_TRY(file.close());
#pragma once

#include "platform/base/Result.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace dv::internal::net {

class DownloadFile {
public:
    DownloadFile() = default;
    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;

    // A partial download to go on with: its first `offset` bytes are kept, the rest cut off.
    void adopt(std::string path, std::int64_t offset);

    bool hasPath() const { return !m_path.empty(); }
    const std::string& path() const { return m_path; }
    // Bytes in the file so far (those kept from an earlier attempt included), once it was opened.
    std::int64_t written() const { return m_written; }

    // Opens the file for this response's body: `keep` bytes already in it stay (a resumed
    // download), else it starts empty. A path is chosen when there is none.
    Result<void> open(std::int64_t keep);
    bool isOpen() const { return m_handle != nullptr; }
    Result<void> write(std::string_view bytes);
    // Closes the file; a failure means the last bytes written never reached it.
    Result<void> close();
    // The finished file, made empty when no body was ever opened.
    void createIfMissing();
    // Closes and deletes the file; the download has none afterwards.
    void remove();

private:
    struct Closer {
        void operator()(std::FILE* handle) const { std::fclose(handle); }
    };
    std::string m_path;
    std::unique_ptr<std::FILE, Closer> m_handle;
    std::int64_t m_written = 0;
};

} // namespace dv::internal::net
