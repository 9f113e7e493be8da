// Recognising an image format from its first bytes.
#pragma once

#include <cstdint>
#include <span>

namespace dv::internal::graphics {

enum class ImageFormat { Unknown, PNG, JPEG, GIF, WebP, TIFF, BMP, ICO };

ImageFormat sniffImageFormat(std::span<const std::uint8_t> bytes);
// The uniform type identifier of the format ("public.png"), or nullptr for Unknown.
const char* uniformTypeIdentifier(ImageFormat format);

// Header facts an image source answers without decoding pixels.
struct ImageHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int depth = 8;         // bits per sample
    bool hasAlpha = false;
    bool grey = false;
    int exifOrientation = 0; // 0: none recorded
    bool progressive = false; // progressive JPEG / interlaced PNG
};

} // namespace dv::internal::graphics
