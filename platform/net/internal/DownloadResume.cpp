#include "platform/net/internal/DownloadResume.h"

#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/internal/DownloadFile.h"
#include "platform/net/internal/TaskSupport.h"

namespace dv::internal::net {

void DownloadResume::adopt(const Ref<NSData>& data, DownloadFile& file)
{
    auto resume = data ? decodeResumeData(data->view()) : Result<ResumeData>(Failure("no resume data"));
    if (!resume) {
        m_unusable = std::move(resume).failure();
        return;
    }
    file.adopt(resume->path, resume->offset);
    m_offset = resume->offset;
    m_offsetValidator = resume->validator;
}

Result<void> DownloadResume::usable() const
{
    if (m_unusable)
        return *m_unusable;
    return {};
}

void DownloadResume::addRangeHeaders(HeaderFields& headers) const
{
    if (m_offset <= 0)
        return;
    setHeader(headers, "Range", "bytes=" + std::to_string(m_offset) + "-");
    if (!m_offsetValidator.empty())
        setHeader(headers, "If-Range", m_offsetValidator);
}

std::int64_t DownloadResume::learn(const Ref<NSHTTPURLResponse>& response)
{
    m_validator.clear();
    if (!response)
        return 0;
    const auto& fields = response->receivedFields();
    auto etag = findHeader(fields, "ETag");
    auto modified = findHeader(fields, "Last-Modified");
    m_validator = etag ? *etag : modified ? *modified : "";
    auto ranges = findHeader(fields, "Accept-Ranges");
    m_acceptsRanges = (ranges && lowercased(*ranges) == "bytes") || response->statusCode() == 206;
    // A server that ignored the range (or whose file changed) sends the whole file with 200.
    return m_offset > 0 && response->statusCode() == 206 ? m_offset : 0;
}

Ref<NSData> DownloadResume::resumeData(const Ref<NSURL>& url, const DownloadFile& file) const
{
    if (!url || !file.hasPath() || file.written() <= 0 || m_validator.empty() || !m_acceptsRanges
        || m_validator.find('\n') != std::string::npos)
        return nullptr;
    return NSData::fromString(encodeResumeData(
        { .url = url->absoluteString()->utf8(), .validator = m_validator, .offset = file.written(), .path = file.path() }));
}

} // namespace dv::internal::net
