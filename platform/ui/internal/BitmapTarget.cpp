#include "platform/ui/internal/BitmapTarget.h"

#include "platform/graphics/CGImage.h"
#include "platform/graphics/ScreenScale.h"
#include "platform/graphics/UIImage.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace dv::internal::uikit {

namespace {
constexpr CGBitmapInfo kLayout = kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little;
}

BitmapTarget::BitmapTarget(CGSize size, CGFloat scale)
{
    m_scale = scale > 0 ? scale : mainScreenScale();
    if (!(size.width > 0) || !(size.height > 0) || size.width * m_scale > 32767 || size.height * m_scale > 32767)
        return;
    m_width = std::size_t(std::ceil(size.width * m_scale));
    m_height = std::size_t(std::ceil(size.height * m_scale));
    // Pixels of the context's own, in the layout it draws in without a conversion, that become
    // the image without a copy.
    m_context = CGBitmapContextCreate(nullptr, m_width, m_height, 8, m_width * 4, CGColorSpaceCreateDeviceRGB(), kLayout);
    if (!m_context)
        return;
    CGContextTranslateCTM(m_context, 0, CGFloat(m_height));
    CGContextScaleCTM(m_context, m_scale, -m_scale);
}

bool BitmapTarget::drawnInto() const { return m_context && m_context->drawingMarks() > 0; }

bool BitmapTarget::isBlank() const
{
    if (!m_context)
        return true;
    // Premultiplied pixels: a transparent one is zero in every byte. Bytes that all equal the one
    // before them, the first being zero, are all zero.
    const auto* bytes = static_cast<const std::uint8_t*>(CGBitmapContextGetData(m_context));
    const std::size_t size = m_width * m_height * 4;
    return !bytes || size == 0 || (bytes[0] == 0 && std::memcmp(bytes, bytes + 1, size - 1) == 0);
}

Ref<UIImage> BitmapTarget::finish()
{
    if (!m_context)
        return nil;
    auto image = dv::takeBitmapContextImage(std::exchange(m_context, nil));
    return UIImage::imageWithCGImage(image, m_scale, UIImageOrientationUp);
}

} // namespace dv::internal::uikit
