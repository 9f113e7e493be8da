#include "platform/graphics/internal/ImageDecoding.h"

#include "platform/graphics/internal/BmpCodec.h"
#include "platform/graphics/internal/GifDecoder.h"
#include "platform/graphics/internal/JpegCodec.h"
#include "platform/graphics/internal/JpegMarkers.h"
#include "platform/graphics/internal/PngCodec.h"
#include "platform/graphics/internal/WebpCodec.h"

namespace dv::internal {

DecodedImage decodeFirstImage(std::span<const std::uint8_t> bytes)
{
    DecodedImage result;
    switch (sniffImageFormat(bytes)) {
    case ImageFormat::JPEG: {
        if (auto markers = readJpegMarkers(bytes))
            result.exifOrientation = markers->exifOrientation;
        result.image = jpegDecode(bytes);
        break;
    }
    case ImageFormat::PNG:
        result.image = pngDecode(bytes);
        break;
    case ImageFormat::GIF:
        if (auto gif = GifDecoder::open(bytes))
            result.image = gif->frameImage(0);
        break;
    case ImageFormat::WebP:
        result.image = webpDecode(bytes);
        break;
    case ImageFormat::BMP:
        result.image = bmpDecode(bytes);
        break;
    case ImageFormat::ICO:
        result.image = icoDecode(bytes);
        break;
    default:
        break;
    }
    return result;
}

} // namespace dv::internal
