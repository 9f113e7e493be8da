#include "foundation/http/internal/DataBodyInputStream.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"

#include <algorithm>
#include <cstring>

namespace dv::internal::http {

DV_DEFINE_CLASS(DataBodyInputStream)

Ref<DataBodyInputStream> DataBodyInputStream::initWithBodyData(const Ref<NSData>& data)
{
    NSObject::init();
    m_bodyData = data ? dv::copyAs<NSData>(data) : NSData::data();
    return self<DataBodyInputStream>();
}

void DataBodyInputStream::open()
{
    if (m_status == NSStreamStatusNotOpen)
        setStatus(NSStreamStatusOpen);
}

void DataBodyInputStream::close() { setStatus(NSStreamStatusClosed); }

NSInteger DataBodyInputStream::read(std::uint8_t* buffer, NSUInteger maxLength)
{
    if (m_status == NSStreamStatusAtEnd)
        return 0;
    if (m_status != NSStreamStatusOpen || !buffer)
        return -1;
    const std::size_t count = std::min<std::size_t>(maxLength, m_bodyData->length() - m_offset);
    if (count > 0) {
        std::memcpy(buffer, m_bodyData->bytes() + m_offset, count);
        m_offset += count;
    } else if (maxLength > 0) {
        setStatus(NSStreamStatusAtEnd);
    }
    return NSInteger(count);
}

bool DataBodyInputStream::hasBytesAvailable() const { return m_status == NSStreamStatusOpen; }

} // namespace dv::internal::http
