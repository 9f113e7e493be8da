#include "platform/graphics/RemoteImageLimit.h"

#include "platform/graphics/internal/GifDecoder.h"
#include "platform/graphics/internal/ImageStream.h"
#include "platform/graphics/internal/JpegMarkers.h"
#include "platform/graphics/internal/PngCodec.h"
#include "platform/graphics/internal/WebpCodec.h"

#include <algorithm>

namespace dv {

using namespace dv::internal::graphics;

namespace {

// Every frame whose records have arrived, those the decoder keeps and those past its animation
// memory limit alike: the limit on remote pictures is not the decoder's.
std::uint64_t gifFrames(const ImageStream& stream) { return std::max<std::uint64_t>(stream.count() + stream.framesOmitted(), 1); }

} // namespace

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
    case ImageFormat::GIF: {
        // The decoder reads the screen and counts the frames whose records have arrived, decoding
        // no pixel; a screen too large for it to take is read by itself.
        auto stream = ImageStream::make(format);
        stream->update(bytes, true);
        if (auto screen = stream->header() ? stream->header() : gifReadScreen(bytes)) {
            extent.width = screen->width;
            extent.height = screen->height;
            extent.frames = gifFrames(*stream);
        }
        break;
    }
    case ImageFormat::WebP:
        if (auto header = webpReadHeader(bytes)) {
            extent.width = header->width;
            extent.height = header->height;
            extent.frames = std::max<std::uint64_t>(WebpFrameCounter().update(bytes), 1);
        }
        break;
    default:
        // These streams read structure only when given bytes; pixels wait until asked for.
        if (auto stream = ImageStream::make(format, PixelUse::Discard)) {
            stream->update(bytes, true);
            if (auto header = stream->header()) {
                extent.width = header->width;
                extent.height = header->height;
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

ImageExtentReader::ImageExtentReader() = default;
ImageExtentReader::~ImageExtentReader() = default;

std::optional<ImageExtent> ImageExtentReader::update(const Ref<NSData>& data)
{
    if (!data)
        return m_extent;
    const auto bytes = data->span();
    if (!m_gifFrames && !m_webpFrames) {
        // A still picture's extent is all in its header.
        if (m_extent)
            return m_extent;
        switch (sniffImageFormat(bytes)) {
        case ImageFormat::GIF:
            m_gifFrames = ImageStream::make(ImageFormat::GIF);
            break;
        case ImageFormat::WebP: {
            // Its frames are counted once its header is in.
            auto header = webpReadHeader(bytes);
            if (!header)
                return m_extent;
            m_extent = ImageExtent {header->width, header->height};
            m_webpFrames = std::make_unique<WebpFrameCounter>();
            break;
        }
        default:
            m_extent = imageExtent(data);
            return m_extent;
        }
    }
    if (m_webpFrames) {
        m_extent->frames = std::max<std::uint64_t>(m_webpFrames->update(bytes), 1);
        return m_extent;
    }
    m_gifFrames->update(bytes, false);
    if (auto screen = m_gifFrames->header() ? m_gifFrames->header() : gifReadScreen(bytes))
        m_extent = ImageExtent {screen->width, screen->height, gifFrames(*m_gifFrames)};
    return m_extent;
}

} // namespace dv
