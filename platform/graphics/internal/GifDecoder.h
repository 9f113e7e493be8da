// GIF through giflib: the frame structure (sizes, delays, disposal, loop count) read without
// decoding pixels, and frames composed in order on the logical screen (disposal, transparency,
// sub-rectangles, local colour tables, interlacing). Not thread-safe: the image source that owns
// one serialises access.
#pragma once

#include "platform/graphics/CGImage.h"

#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace dv::internal {

class GifDecoder {
public:
    struct Frame {
        int left = 0, top = 0, width = 0, height = 0;
        bool interlaced = false;
        int delayCentiseconds = 0;
        int disposal = 0;
        int transparentIndex = -1;
    };

    // Reads the structure of the frames complete in `bytes`; the bytes must outlive the decoder.
    // nil when the header is unreadable or the screen is too large.
    static std::unique_ptr<GifDecoder> open(std::span<const std::uint8_t> bytes);

    std::uint32_t width() const { return m_width; }
    std::uint32_t height() const { return m_height; }
    std::size_t frameCount() const { return m_frames.size(); }
    const Frame& frame(std::size_t index) const { return m_frames[index]; }
    // The NETSCAPE2.0 repetition count (0 = forever); nil when the file has none.
    std::optional<int> loopCount() const { return m_loopCount; }

    // The composed frame at `index` (native-endian premultiplied ARGB, fully transparent or opaque
    // pixels only); nil when it cannot be
    // decoded or the animation would need too many pixels.
    CGImageRef frameImage(std::size_t index);

private:
    GifDecoder() = default;
    bool composeUpTo(std::size_t index);

    std::span<const std::uint8_t> m_bytes;
    std::uint32_t m_width = 0, m_height = 0;
    std::vector<Frame> m_frames;
    std::optional<int> m_loopCount;
    std::vector<CGImageRef> m_composed;
    bool m_failed = false;
};

} // namespace dv::internal
