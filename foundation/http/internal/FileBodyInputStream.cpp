#include "foundation/http/internal/FileBodyInputStream.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace dv::internal::http {

DV_DEFINE_CLASS(FileBodyInputStream)

namespace {

Ref<NSError> posixError(int code, const std::string& path)
{
    return NSError::errorWithDomain(NSPOSIXErrorDomain, code,
        NSDictionary::of({{NSLocalizedDescriptionKey, NSString::fromUTF8(std::strerror(code))}, {NSFilePathErrorKey, NSString::fromUTF8(path)}}));
}

} // namespace

FileBodyInputStream::~FileBodyInputStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Ref<FileBodyInputStream> FileBodyInputStream::initWithPath(std::string path)
{
    NSObject::init();
    m_path = std::move(path);
    return self<FileBodyInputStream>();
}

void FileBodyInputStream::open()
{
    if (m_status != NSStreamStatusNotOpen)
        return;
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        failWith(posixError(errno, m_path));
        return;
    }
    setStatus(NSStreamStatusOpen);
}

void FileBodyInputStream::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_status != NSStreamStatusError)
        setStatus(NSStreamStatusClosed);
}

NSInteger FileBodyInputStream::read(std::uint8_t* buffer, NSUInteger maxLength)
{
    if (m_status == NSStreamStatusAtEnd)
        return 0;
    if (m_status != NSStreamStatusOpen || !buffer)
        return -1;
    if (maxLength == 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, maxLength);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failWith(posixError(errno, m_path));
            return -1;
        }
        if (n == 0)
            setStatus(NSStreamStatusAtEnd);
        return NSInteger(n);
    }
}

bool FileBodyInputStream::hasBytesAvailable() const { return m_status == NSStreamStatusOpen; }

} // namespace dv::internal::http
