// WebP through libwebp as a stream. A still image is decoded by libwebp's incremental decoder
// straight into a RowCanvas when its pixels or its state are asked for, carrying on from where it
// was, so its rows show as the data arrives (or into a single pixel, when its pixels are not
// kept). An animation is counted once the whole file is there, its canvas refused when far larger
// than its frames, and frames past the animation memory limit left out and counted; its frames
// are decoded in order as far as the one asked for, and no further.
#pragma once

#include "platform/graphics/CGImage.h"
#include "platform/graphics/internal/ImageStream.h"

#include <memory>
#include <span>
#include <vector>

struct WebPAnimDecoder;
struct WebPIDecoder;
struct WebPDecoderConfig;

namespace dv::internal::graphics {

class WebpStream final : public ImageStream {
public:
    explicit WebpStream(PixelUse use = PixelUse::Keep);
    ~WebpStream() override;

    bool keepsInput() const override { return true; }
    void update(std::span<const std::uint8_t> bytes, bool final) override;
    StreamState state() override;
    std::size_t count() const override;
    std::optional<ImageHeader> header() const override;
    CGImageRef image(std::size_t index) override;
    bool imageComplete(std::size_t index) override;
    bool animated() const override { return m_animated; }
    double delaySeconds(std::size_t index) const override;
    std::optional<int> loopCount() const override;
    std::size_t framesOmitted() const override { return m_omitted; }

private:
    void decodeStill();
    void readAnimation();
    void decodeFramesUpTo(std::size_t index);
    void releaseFrameDecoder();

    std::span<const std::uint8_t> m_bytes;
    bool m_final = false;
    std::optional<ImageHeader> m_header;
    bool m_animated = false;
    bool m_damaged = false;
    bool m_done = false; // the still image decoded whole, or the animation's file all there

    WebPIDecoder* m_decoder = nullptr;
    RowCanvas m_canvas;
    // Pixels dropped: libwebp scales the image down to one pixel as it decodes, which still reads
    // every byte of the data. The decoder writes into the configuration's output, which lives
    // as long as it does.
    bool m_discard = false;
    std::unique_ptr<WebPDecoderConfig> m_scaledConfig;

    int m_loopCount = 0;
    std::vector<int> m_durations; // milliseconds, one per frame kept
    std::size_t m_omitted = 0;
    std::vector<CGImageRef> m_frames; // decoded so far, from the first on
    bool m_framesEnded = false;       // no frame after m_frames will be decoded
    // Kept between requests, so that each frame is decoded once; it reads the bytes it was made
    // over, and goes when the last frame is decoded.
    WebPAnimDecoder* m_frameDecoder = nullptr;
    const std::uint8_t* m_frameDecoderBytes = nullptr;
    std::size_t m_framesPassed = 0; // frames the decoder has given
};

// An animated WebP's frames counted from its chunks as the bytes arrive (one ANMF chunk per
// frame), without decoding any: each update reads only the chunk headers it has not read before.
// The chunks are walked as libwebp's demuxer walks them, into each frame chunk and on after the
// chunks of its frame, so that every frame the demuxer (and so the decoder) finds is counted, on
// partial data as soon as its chunk header has come. A still WebP (no animation flag in its VP8X
// chunk) has none.
class WebpFrameCounter {
public:
    // `bytes` is everything received so far; it begins with what the previous call had. The frames
    // whose chunk header has arrived, within the size the RIFF header gives.
    std::uint64_t update(std::span<const std::uint8_t> bytes);

private:
    enum class Kind { Unknown, Still, Animated };
    Kind m_kind = Kind::Unknown;
    std::uint64_t m_next = 12; // where the next chunk starts
    std::uint64_t m_frames = 0;
};

// The canvas's size and alpha from the first bytes, whatever the size; nil before they are in and
// for data that is no WebP.
std::optional<ImageHeader> webpReadHeader(std::span<const std::uint8_t> bytes);

} // namespace dv::internal::graphics
