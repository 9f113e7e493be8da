// Shared body of the decoder fuzz targets: the bytes go through an image source at once and as a
// download in several updates, and through UIImage; every answer is asked for and every image
// drawn. Each target makes its input look like its format (a signature in front, or a container
// around it) so that the fuzzer explores that decoder rather than the format sniffing.
#pragma once

#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/UIImage.h"
#include "platform/graphics/internal/DrawingCopies.h"
#include "platform/graphics/internal/ImageLimits.h"

#include <cstring>
#include <span>
#include <string_view>
#include <vector>

namespace dv::fuzz {

inline void exerciseSource(const CGImageSourceRef& source, std::size_t most)
{
    (void)CGImageSourceGetType(source);
    (void)CGImageSourceGetStatus(source);
    (void)CGImageSourceCopyProperties(source, nil);
    const std::size_t count = std::min<std::size_t>(CGImageSourceGetCount(source), most);
    for (std::size_t i = 0; i < count; ++i) {
        (void)CGImageSourceCopyPropertiesAtIndex(source, i, nil);
        if (auto image = CGImageSourceCreateImageAtIndex(source, i, nil))
            (void)dv::internal::graphics::DrawingCopies::pixelsFor(*image);
    }
}

inline void exerciseBytes(const std::vector<std::uint8_t>& bytes)
{
    // Small limits: the limit checks are exercised all the same, and each input stays fast.
    static const bool limited = (dv::internal::graphics::setPixelLimits(4'000'000, 16'000'000), true);
    (void)limited;
    auto all = NSData::dataWithVector(bytes);
    exerciseSource(CGImageSourceCreateWithData(all, nil), 8);
    if (auto image = UIImage::imageWithData(all))
        (void)dv::internal::graphics::DrawingCopies::pixelsFor(*image->CGImage());

    // As a download: a quarter, then two thirds, then everything, asking for the image each time.
    auto incremental = CGImageSourceCreateIncremental(nil);
    for (std::size_t part : {bytes.size() / 4, bytes.size() * 2 / 3}) {
        CGImageSourceUpdateData(incremental, NSData::dataWithBytes(bytes.data(), part), false);
        exerciseSource(incremental, 2);
    }
    CGImageSourceUpdateData(incremental, all, true);
    exerciseSource(incremental, 2);
}

// The input with `magic` in front unless it already starts with it.
inline void exerciseImageSource(const std::uint8_t* data, std::size_t size, std::string_view magic)
{
    std::vector<std::uint8_t> bytes;
    if (size < magic.size() || std::memcmp(data, magic.data(), magic.size()) != 0)
        bytes.assign(magic.begin(), magic.end());
    bytes.insert(bytes.end(), data, data + size);
    exerciseBytes(bytes);
}

} // namespace dv::fuzz
