#include "platform/net/internal/StreamBody.h"

#include "platform/system/NSInputStream.h"

namespace dv::internal::net {

void openBodyStream(const Ref<NSInputStream>& stream)
{
    if (stream && stream->streamStatus() == NSStreamStatusNotOpen)
        stream->open();
}

long readBodyStream(const Ref<NSInputStream>& stream, char* buffer, std::size_t capacity)
{
    if (!stream)
        return -1;
    auto n = stream->read(reinterpret_cast<std::uint8_t*>(buffer), capacity);
    return n < 0 ? -1 : static_cast<long>(n);
}

void closeBodyStream(const Ref<NSInputStream>& stream)
{
    if (stream)
        stream->close();
}

} // namespace dv::internal::net
