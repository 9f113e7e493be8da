// What a download task knows about going on from where it stopped: the resume data it was made
// from (the offset and validator of a partial file), the range it asks for then, and what each
// response says about resuming later (its validator, whether the server serves ranges), from
// which the resume data of a cancelled or failed download is made.
//
// A member of its task's driver: set up while the task is made, then used on the session's
// delegate queue (and by the thread that starts the task's first transfer).
#pragma once

#include "platform/base/Forward.h"
#include "platform/base/Result.h"
#include "platform/net/internal/HeaderFields.h"

#include <cstdint>
#include <optional>
#include <string>

class NSHTTPURLResponse;

namespace dv::internal::net {

class DownloadFile;

class DownloadResume {
public:
    // Resume data given to the task's factory. The partial file it names is handed to `file`;
    // data that cannot be used is remembered, and the task fails with its reason when it starts.
    void adopt(const Ref<NSData>& data, DownloadFile& file);
    // Whether the task can start: a failure when its resume data could not be used.
    Result<void> usable() const;
    // Whether the task goes on from resume data.
    bool resumes() const { return m_offset > 0; }

    // A resumed download asks for the bytes after the partial file, if the file is still the one
    // they came from.
    void addRangeHeaders(HeaderFields& headers) const;
    // Reads the final response's validator and range support; answers how many bytes of the
    // partial file the response goes on from (0: the body is the whole file).
    std::int64_t learn(const Ref<NSHTTPURLResponse>& response);
    // Data from which a new task can go on with what `file` holds; nil when it cannot (no bytes
    // yet, no validator, a server without ranges).
    Ref<NSData> resumeData(const Ref<NSURL>& url, const DownloadFile& file) const;

private:
    std::int64_t m_offset = 0;
    std::string m_offsetValidator; // the validator the partial file was fetched under
    std::optional<Failure> m_unusable;
    std::string m_validator;
    bool m_acceptsRanges = false;
};

} // namespace dv::internal::net
