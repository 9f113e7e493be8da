#include "platform/system/NSInputStream.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"

#include <cerrno>
#include <cstring>

DV_DEFINE_CLASS(NSInputStream)

namespace {

Ref<NSError> posixError(int code)
{
    return NSError::errorWithDomain(NSPOSIXErrorDomain, code,
        NSDictionary::of({ { NSLocalizedDescriptionKey, NSString::stringWithUTF8String(std::strerror(code)) } }));
}

} // namespace

NSInputStream::~NSInputStream()
{
    if (m_file)
        std::fclose(m_file);
}

Ref<NSInputStream> NSInputStream::initWithData(const Ref<NSData>& data)
{
    m_source = Source::Data;
    m_data = data ? dv::copyAs<NSData>(data) : NSData::data();
    return self<NSInputStream>();
}

Ref<NSInputStream> NSInputStream::initWithFileAtPath(const Ref<NSString>& path)
{
    if (!path)
        return nil;
    m_source = Source::File;
    m_path = path->utf8();
    return self<NSInputStream>();
}

Ref<NSInputStream> NSInputStream::initWithURL(const Ref<NSURL>& url)
{
    if (!url || !url->isFileURL())
        return nil;
    return initWithFileAtPath(url->path());
}

Ref<NSInputStream> NSInputStream::inputStreamWithData(const Ref<NSData>& data) { return alloc<NSInputStream>()->initWithData(data); }
Ref<NSInputStream> NSInputStream::inputStreamWithFileAtPath(const Ref<NSString>& path) { return alloc<NSInputStream>()->initWithFileAtPath(path); }
Ref<NSInputStream> NSInputStream::inputStreamWithURL(const Ref<NSURL>& url) { return alloc<NSInputStream>()->initWithURL(url); }

void NSInputStream::open()
{
    if (m_status != NSStreamStatusNotOpen)
        return;
    if (m_source == Source::File) {
        m_file = std::fopen(m_path.c_str(), "rb");
        if (!m_file) {
            failWith(posixError(errno));
            return;
        }
    }
    m_status = NSStreamStatusOpen;
}

void NSInputStream::close()
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    NSStream::close();
}

NSInteger NSInputStream::read(std::uint8_t* buffer, NSUInteger maxLength)
{
    if (m_status == NSStreamStatusAtEnd)
        return 0;
    if (m_status != NSStreamStatusOpen || !buffer)
        return -1;
    if (maxLength == 0)
        return 0;
    std::size_t n = 0;
    if (m_source == Source::Data) {
        n = std::min<std::size_t>(maxLength, m_data->length() - m_offset);
        if (n > 0) // empty data has no bytes to copy from
            std::memcpy(buffer, m_data->bytes() + m_offset, n);
        m_offset += n;
    } else if (m_source == Source::File) {
        n = std::fread(buffer, 1, maxLength, m_file);
        if (n == 0 && std::ferror(m_file)) {
            failWith(posixError(errno ? errno : EIO));
            return -1;
        }
    }
    if (n == 0)
        m_status = NSStreamStatusAtEnd;
    return static_cast<NSInteger>(n);
}

bool NSInputStream::getBuffer(std::uint8_t**, NSUInteger*) { return false; }

bool NSInputStream::hasBytesAvailable() const
{
    if (m_status != NSStreamStatusOpen)
        return false;
    if (m_source == Source::Data)
        return m_offset < m_data->length();
    // A file may still grow; the platform answers YES until a read meets the end.
    return m_source == Source::File;
}

id NSInputStream::propertyForKey(const Ref<NSString>& key) const
{
    if (key && key->isEqualToString(NSStreamFileCurrentOffsetKey) && m_file)
        return NSNumber::numberWithLongLong(std::ftell(m_file));
    return nil;
}
