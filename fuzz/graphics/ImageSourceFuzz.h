// Shared body of the decoder fuzz targets: the bytes go through an image source, complete and
// incremental, and every answer is asked for. Each target keeps its decoder's signature in front
// so that the fuzzer explores that decoder rather than the format sniffing.
#pragma once

#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/UIImage.h"
#include "platform/graphics/internal/DrawingCopies.h"
#include "platform/graphics/internal/ImageLimits.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace dv::fuzz {

inline void exerciseImageSource(const std::uint8_t* data, std::size_t size, std::string_view magic)
{
    // Small limits: the limit checks are exercised all the same, and each input stays fast.
    static const bool limited = (dv::internal::setPixelLimits(4'000'000, 16'000'000), true);
    (void)limited;
    std::vector<std::uint8_t> bytes;
    if (size < magic.size() || std::memcmp(data, magic.data(), magic.size()) != 0)
        bytes.assign(magic.begin(), magic.end());
    bytes.insert(bytes.end(), data, data + size);
    auto all = NSData::dataWithVector(bytes);

    auto source = CGImageSourceCreateWithData(all, nil);
    (void)CGImageSourceGetType(source);
    (void)CGImageSourceGetStatus(source);
    (void)CGImageSourceCopyProperties(source, nil);
    const std::size_t count = std::min<std::size_t>(CGImageSourceGetCount(source), 8);
    for (std::size_t i = 0; i < count; ++i) {
        (void)CGImageSourceCopyPropertiesAtIndex(source, i, nil);
        if (auto image = CGImageSourceCreateImageAtIndex(source, i, nil))
            (void)dv::internal::DrawingCopies::pixelsFor(*image);
    }
    (void)UIImage::imageWithData(all);

    auto incremental = CGImageSourceCreateIncremental(nil);
    CGImageSourceUpdateData(incremental, NSData::dataWithBytes(bytes.data(), bytes.size() / 2), false);
    if (CGImageSourceGetCount(incremental) > 0)
        (void)CGImageSourceCreateImageAtIndex(incremental, 0, nil);
}

} // namespace dv::fuzz
