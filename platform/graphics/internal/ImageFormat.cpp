#include "platform/graphics/internal/ImageFormat.h"

#include <cstring>

namespace dv::internal::graphics {

ImageFormat sniffImageFormat(std::span<const std::uint8_t> b)
{
    auto starts = [&](const char* magic, std::size_t n) { return b.size() >= n && std::memcmp(b.data(), magic, n) == 0; };
    if (starts("\x89PNG\r\n\x1a\n", 8))
        return ImageFormat::PNG;
    if (starts("\xFF\xD8\xFF", 3))
        return ImageFormat::JPEG;
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return ImageFormat::GIF;
    if (b.size() >= 12 && std::memcmp(b.data(), "RIFF", 4) == 0 && std::memcmp(b.data() + 8, "WEBP", 4) == 0)
        return ImageFormat::WebP;
    if (starts("II*\0", 4) || starts("MM\0*", 4))
        return ImageFormat::TIFF;
    if (starts("BM", 2) && b.size() >= 14)
        return ImageFormat::BMP;
    if (starts("\0\0\1\0", 4) && b.size() >= 6 && (b[4] | b[5]) != 0)
        return ImageFormat::ICO;
    return ImageFormat::Unknown;
}

const char* uniformTypeIdentifier(ImageFormat format)
{
    switch (format) {
    case ImageFormat::PNG:
        return "public.png";
    case ImageFormat::JPEG:
        return "public.jpeg";
    case ImageFormat::GIF:
        return "com.compuserve.gif";
    case ImageFormat::WebP:
        return "org.webmproject.webp";
    case ImageFormat::TIFF:
        return "public.tiff";
    case ImageFormat::BMP:
        return "com.microsoft.bmp";
    case ImageFormat::ICO:
        return "com.microsoft.ico";
    case ImageFormat::Unknown:
        break;
    }
    return nullptr;
}

} // namespace dv::internal::graphics
