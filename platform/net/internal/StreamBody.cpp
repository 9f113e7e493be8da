#include "platform/net/internal/StreamBody.h"

#if __has_include("platform/system/NSInputStream.h")
#include "platform/system/NSInputStream.h"
#define DV_HAVE_INPUT_STREAM 1
#endif

namespace dv::internal {

#ifdef DV_HAVE_INPUT_STREAM

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

#else

void openBodyStream(const Ref<NSInputStream>&) { }
long readBodyStream(const Ref<NSInputStream>&, char*, std::size_t) { return -1; }
void closeBodyStream(const Ref<NSInputStream>&) { }

#endif

} // namespace dv::internal
