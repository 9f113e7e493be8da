#include "platform/system/NSFileHandle.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/system/internal/FileOps.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

DV_DEFINE_CLASS(NSFileHandle)

NSFileHandle::~NSFileHandle()
{
    if (m_owns && m_fd >= 0)
        ::close(m_fd);
}

Ref<NSFileHandle> NSFileHandle::openAt(const Ref<NSString>& path, int flags, int* error)
{
    if (!path) {
        if (error)
            *error = ENOENT;
        return nil;
    }
    int fd = ::open(path->UTF8String(), flags | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = errno;
        return nil;
    }
    return alloc<NSFileHandle>()->initWithFileDescriptor(fd, true);
}

Ref<NSFileHandle> NSFileHandle::fileHandleForReadingAtPath(const Ref<NSString>& path) { return openAt(path, O_RDONLY, nullptr); }
Ref<NSFileHandle> NSFileHandle::fileHandleForWritingAtPath(const Ref<NSString>& path) { return openAt(path, O_WRONLY, nullptr); }
Ref<NSFileHandle> NSFileHandle::fileHandleForUpdatingAtPath(const Ref<NSString>& path) { return openAt(path, O_RDWR, nullptr); }

Ref<NSFileHandle> NSFileHandle::fileHandleForReadingFromURL(const Ref<NSURL>& url, Ref<NSError>* error)
{
    int err = ENOENT;
    auto handle = url && url->isFileURL() ? openAt(url->path(), O_RDONLY, &err) : nil;
    if (!handle && error)
        *error = dv::internal::system::fileError(err, dv::str(url ? url->path() : nil), false);
    return handle;
}

Ref<NSFileHandle> NSFileHandle::initWithFileDescriptor(int fd, bool closeOnDealloc)
{
    m_fd = fd;
    m_owns = closeOnDealloc;
    return self<NSFileHandle>();
}

Ref<NSData> NSFileHandle::readDataOfLength(NSUInteger length)
{
    auto data = NSMutableData::data();
    if (m_fd < 0)
        return data;
    std::uint8_t buffer[65536];
    while (data->length() < length) {
        std::size_t want = std::min<std::size_t>(sizeof buffer, length - data->length());
        ssize_t n = ::read(m_fd, buffer, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        data->appendBytes(buffer, static_cast<NSUInteger>(n));
    }
    return data;
}

Ref<NSData> NSFileHandle::readDataToEndOfFile() { return readDataOfLength(NSUIntegerMax); }

Ref<NSData> NSFileHandle::availableData()
{
    auto data = NSMutableData::data();
    if (m_fd < 0)
        return data;
    std::uint8_t buffer[65536];
    ssize_t n;
    do
        n = ::read(m_fd, buffer, sizeof buffer);
    while (n < 0 && errno == EINTR);
    if (n > 0)
        data->appendBytes(buffer, static_cast<NSUInteger>(n));
    return data;
}

bool NSFileHandle::writeDataError(const Ref<NSData>& data, Ref<NSError>* error)
{
    if (!data)
        return true;
    std::size_t written = 0;
    int err = m_fd < 0 ? EBADF : 0;
    while (!err && written < data->length()) {
        ssize_t n = ::write(m_fd, data->bytes() + written, data->length() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            err = errno;
        else
            written += static_cast<std::size_t>(n);
    }
    if (err) {
        if (error)
            *error = dv::internal::system::fileError(err, "", true);
        return false;
    }
    return true;
}

void NSFileHandle::writeData(const Ref<NSData>& data)
{
    Ref<NSError> error;
    if (!writeDataError(data, &error))
        NSLog("NSFileHandle: write failed: %@", error);
}

std::uint64_t NSFileHandle::offsetInFile() const
{
    off_t at = m_fd < 0 ? -1 : ::lseek(m_fd, 0, SEEK_CUR);
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

std::uint64_t NSFileHandle::seekToEndOfFile()
{
    off_t at = m_fd < 0 ? -1 : ::lseek(m_fd, 0, SEEK_END);
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

void NSFileHandle::seekToFileOffset(std::uint64_t offset)
{
    if (m_fd >= 0)
        ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET);
}

void NSFileHandle::truncateFileAtOffset(std::uint64_t offset)
{
    if (m_fd >= 0 && ::ftruncate(m_fd, static_cast<off_t>(offset)) == 0)
        ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET);
}

void NSFileHandle::synchronizeFile()
{
    if (m_fd >= 0)
        ::fsync(m_fd);
}

void NSFileHandle::closeFile()
{
    if (m_fd >= 0 && m_owns)
        ::close(m_fd);
    m_fd = -1;
}
