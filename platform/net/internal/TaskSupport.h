// Small rules the task machinery applies: error codes of transport failures, which URLs it
// loads, where downloads go and how their resume data reads, and the limits it keeps to.
#pragma once

#include "platform/base/Forward.h"
#include "platform/base/Result.h"
#include "platform/net/internal/CurlTransport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dv::internal::net {

// Bodies of redirects and refused authentications are kept (for delivery if they end up final)
// up to this size.
inline constexpr std::size_t kHeldBodyLimit = 1 << 20;
inline constexpr char kResumeMagic[] = "DVRESUME1";

std::string lowercased(std::string s);
NSInteger URLErrorCodeFor(TransportError error);
// http and https URLs with a host; everything else is an unsupported URL.
bool isLoadableURL(const Ref<NSURL>& url);
// A fresh name in the temporary directory (created when missing).
std::string temporaryDownloadPath();
// A download's resume data: the URL, the validator the partial file was fetched under, the
// bytes it holds and where it is. `path` names a partial download, which is truncated to the
// offset, appended to and finally removed, so it must be one of ours: a regular file (not a link)
// directly in the temporary directory, under a download's name.
struct ResumeData {
    std::string url;
    std::string validator;
    std::int64_t offset = 0;
    std::string path;
};
std::string encodeResumeData(const ResumeData& resume);
// A failure, with what is wrong, for bytes that are not resume data of ours, or whose file is
// gone, too short or anywhere but where downloads are kept.
Result<ResumeData> decodeResumeData(std::string_view bytes);
bool isDownloadFilePath(const std::string& path);
// An error the task decided on for a failure of its own (a file it could not open or write),
// with the failure's reason as the error's NSLocalizedFailureReasonErrorKey.
Ref<NSError> URLErrorWithReason(NSInteger code, const Ref<NSURL>& failingURL, const Failure& failure);

} // namespace dv::internal::net
