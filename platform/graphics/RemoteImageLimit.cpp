#include "platform/graphics/RemoteImageLimit.h"

#include "platform/graphics/internal/ImageStream.h"
#include "platform/graphics/internal/JpegMarkers.h"
#include "platform/graphics/internal/PngCodec.h"

namespace dv {

using namespace dv::internal::graphics;

std::optional<ImageExtent> imageExtent(const Ref<NSData>& data)
{
    if (!data)
        return std::nullopt;
    const auto bytes = data->span();
    const ImageFormat format = sniffImageFormat(bytes);
    ImageExtent extent;
    switch (format) {
    case ImageFormat::PNG:
        // libpng would decode the rows of whatever data came with the header.
        if (auto header = pngReadHeader(bytes)) {
            extent.width = header->width;
            extent.height = header->height;
        }
        break;
    case ImageFormat::JPEG:
        if (auto markers = readJpegMarkers(bytes)) {
            extent.width = markers->width;
            extent.height = markers->height;
            extent.exifOrientation = markers->exifOrientation;
        }
        break;
    default:
        // These streams read structure only when given bytes; pixels wait until asked for.
        if (auto stream = ImageStream::make(format, PixelUse::Discard)) {
            stream->update(bytes, true);
            if (auto header = stream->header()) {
                extent.width = header->width;
                extent.height = header->height;
                if (format == ImageFormat::GIF)
                    extent.frames = std::max<std::uint64_t>(stream->count(), 1);
            }
        }
        break;
    }
    if (extent.width == 0 || extent.height == 0)
        return std::nullopt;
    return extent;
}

bool exceedsRemoteImageLimit(const Ref<NSData>& data)
{
    auto extent = imageExtent(data);
    return extent && extent->decodedPixels() > kRemoteImageMaximumPixels;
}

} // namespace dv
