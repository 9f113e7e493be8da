// Shared body of the frame count fuzz targets: the limit on remote pictures (imageExtent, and an
// ImageExtentReader following a download) must never count fewer frames x canvas pixels than a
// decoder will decode from the same bytes, for the whole input and for every prefix a download in
// pieces shows it. The input's first byte chooses the pieces; the rest is the file. A count below
// the decoder's aborts with both numbers.
#pragma once

#include "platform/base/NSData.h"
#include "platform/graphics/RemoteImageLimit.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace dv::fuzz {

// What a decoder makes of bytes, in pixels of frames (frames x canvas): of the whole file, and of
// each prefix in turn as a download shows it (`final` for the last, the whole file again).
struct FrameDecoder {
    std::function<std::uint64_t(std::span<const std::uint8_t> bytes)> whole;
    std::function<std::uint64_t(std::span<const std::uint8_t> bytes, bool final)> piece;
};

inline void requireCounted(std::uint64_t counted, std::uint64_t decoded, const char* what, std::size_t length)
{
    if (counted >= decoded)
        return;
    std::fprintf(stderr, "%s, %zu bytes: the limit counts %llu pixels of frames, the decoder %llu\n", what, length,
        static_cast<unsigned long long>(counted), static_cast<unsigned long long>(decoded));
    std::abort();
}

inline void compareFrameCounts(std::uint8_t choice, const std::vector<std::uint8_t>& file, const FrameDecoder& decoder)
{
    auto counted = [](const std::optional<ImageExtent>& extent) { return extent ? extent->decodedPixels() : 0; };
    auto all = NSData::dataWithVector(file);
    requireCounted(counted(imageExtent(all)), decoder.whole(file), "whole", file.size());

    // Pieces of 1 to about an eighth of the file, from a generator seeded by the choice byte.
    ImageExtentReader reader;
    std::uint32_t state = 0x9E3779B9u ^ choice;
    const std::size_t longest = std::max<std::size_t>(1, file.size() / 8);
    for (std::size_t at = 0; at < file.size();) {
        state = state * 1664525u + 1013904223u;
        at = std::min(file.size(), at + 1 + (state >> 8) % longest);
        const std::span<const std::uint8_t> received(file.data(), at);
        const auto extent = reader.update(NSData::dataWithBytes(received.data(), received.size()));
        requireCounted(counted(extent), decoder.piece(received, at == file.size()), "in pieces", at);
        requireCounted(counted(extent), counted(imageExtent(NSData::dataWithBytes(received.data(), received.size()))), "reader against the whole", at);
    }
}

} // namespace dv::fuzz
