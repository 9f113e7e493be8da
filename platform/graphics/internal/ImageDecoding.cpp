#include "platform/graphics/internal/ImageDecoding.h"

#include "platform/graphics/internal/ImageStream.h"

namespace dv::internal::graphics {

DecodedImage decodeFirstImage(std::span<const std::uint8_t> bytes)
{
    DecodedImage result;
    auto stream = ImageStream::make(sniffImageFormat(bytes));
    if (!stream)
        return result;
    stream->update(bytes, true);
    if (!stream->imageComplete(0))
        return result;
    result.image = stream->image(0);
    if (auto header = stream->header())
        result.exifOrientation = header->exifOrientation;
    return result;
}

} // namespace dv::internal::graphics
