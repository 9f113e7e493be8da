#include "platform/graphics/internal/ImageStream.h"

#include "platform/base/Check.h"
#include "platform/graphics/internal/BmpCodec.h"
#include "platform/graphics/internal/GifDecoder.h"
#include "platform/graphics/internal/JpegCodec.h"
#include "platform/graphics/internal/PixelBuffer.h"
#include "platform/graphics/internal/PngCodec.h"
#include "platform/graphics/internal/WebpCodec.h"

namespace dv::internal::graphics {

std::unique_ptr<ImageStream> ImageStream::make(ImageFormat format, PixelUse use)
{
    switch (format) {
    case ImageFormat::PNG:
        return std::make_unique<PngStream>(use);
    case ImageFormat::JPEG:
        return std::make_unique<JpegStream>(use);
    case ImageFormat::GIF:
        // Its state comes from the records alone: no pixel is decoded for it.
        return std::make_unique<GifDecoder>();
    case ImageFormat::WebP:
        return std::make_unique<WebpStream>(use);
    case ImageFormat::BMP:
        return makeBmpStream();
    case ImageFormat::ICO:
        return makeIcoStream();
    case ImageFormat::TIFF:
    case ImageFormat::Unknown:
        break;
    }
    return nullptr;
}

bool RowCanvas::reserve(Layout layout, std::size_t rowsAtOnce)
{
    m_layout = std::move(layout);
    m_rowsAtOnce = std::max<std::size_t>(rowsAtOnce, 1);
    const std::size_t rows = m_discard ? std::min(m_rowsAtOnce, m_layout.height) : m_layout.height;
    m_buffer = PixelBuffer::uninitialised(m_layout.bytesPerRow * rows);
    m_rowsDone = 0;
    m_image = nil;
    return m_buffer != nullptr;
}

std::uint8_t* RowCanvas::rows(std::size_t y, std::size_t count)
{
    // A decoder writes past its buffer if it is handed fewer rows than it asks for.
    DV_CHECK(m_buffer && count <= m_rowsAtOnce && y <= m_layout.height && count <= m_layout.height - y);
    return m_buffer->data() + (m_discard ? 0 : y * m_layout.bytesPerRow);
}

void RowCanvas::setRowsDone(std::size_t rows) { m_rowsDone = std::min(rows, m_layout.height); }

CGImageRef RowCanvas::image()
{
    if (!m_buffer || m_rowsDone == 0 || m_discard)
        return nil;
    if (!m_image || m_image->height() != m_rowsDone) {
        m_image = alloc<CGImage>()->initWithStorage(m_layout.width, m_rowsDone, m_layout.bitsPerComponent, m_layout.bitsPerPixel,
            m_layout.bytesPerRow, m_layout.space, m_layout.bitmapInfo, m_buffer);
    }
    return m_image;
}

bool canvasFilledByFrames(std::uint64_t canvasPixels, std::uint64_t framePixels)
{
    constexpr std::uint64_t kAlwaysAllowed = 256 * 256;
    return canvasPixels <= kAlwaysAllowed || canvasPixels <= framePixels * 4;
}

} // namespace dv::internal::graphics
