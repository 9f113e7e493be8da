#include "platform/system/NSOutputStream.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"

#include <cerrno>
#include <cstring>

DV_DEFINE_CLASS(NSOutputStream)

namespace {

Ref<NSError> posixError(int code)
{
    return NSError::errorWithDomain(NSPOSIXErrorDomain, code,
        NSDictionary::of({ { NSLocalizedDescriptionKey, NSString::stringWithUTF8String(std::strerror(code)) } }));
}

} // namespace

NSOutputStream::~NSOutputStream()
{
    if (m_file)
        std::fclose(m_file);
}

Ref<NSOutputStream> NSOutputStream::initToMemory()
{
    m_toMemory = true;
    m_memory = NSMutableData::data();
    return self<NSOutputStream>();
}

Ref<NSOutputStream> NSOutputStream::initToFileAtPath(const Ref<NSString>& path, bool append)
{
    if (!path)
        return nil;
    m_path = path->utf8();
    m_append = append;
    return self<NSOutputStream>();
}

Ref<NSOutputStream> NSOutputStream::outputStreamToMemory() { return alloc<NSOutputStream>()->initToMemory(); }
Ref<NSOutputStream> NSOutputStream::outputStreamToFileAtPath(const Ref<NSString>& path, bool append)
{
    return alloc<NSOutputStream>()->initToFileAtPath(path, append);
}

void NSOutputStream::open()
{
    if (m_status != NSStreamStatusNotOpen)
        return;
    if (!m_toMemory) {
        m_file = std::fopen(m_path.c_str(), m_append ? "ab" : "wb");
        if (!m_file) {
            failWith(posixError(errno));
            return;
        }
    }
    m_status = NSStreamStatusOpen;
}

void NSOutputStream::close()
{
    if (m_file) {
        if (std::fclose(m_file) != 0)
            failWith(posixError(errno));
        m_file = nullptr;
    }
    NSStream::close();
}

NSInteger NSOutputStream::write(const std::uint8_t* buffer, NSUInteger length)
{
    if (m_status != NSStreamStatusOpen || (!buffer && length))
        return -1;
    if (m_toMemory) {
        m_memory->appendBytes(buffer, length);
        return static_cast<NSInteger>(length);
    }
    std::size_t n = std::fwrite(buffer, 1, length, m_file);
    if (n < length || std::fflush(m_file) != 0) {
        failWith(posixError(errno ? errno : EIO));
        return -1;
    }
    return static_cast<NSInteger>(n);
}

bool NSOutputStream::hasSpaceAvailable() const { return m_status == NSStreamStatusOpen; }

id NSOutputStream::propertyForKey(const Ref<NSString>& key) const
{
    if (key && m_toMemory && key->isEqualToString(NSStreamDataWrittenToMemoryStreamKey))
        return NSData::dataWithData(m_memory);
    if (key && key->isEqualToString(NSStreamFileCurrentOffsetKey) && m_file)
        return NSNumber::numberWithLongLong(std::ftell(m_file));
    return nil;
}
