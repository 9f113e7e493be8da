// WebP through libwebp as a stream. A still image is decoded by libwebp's incremental decoder
// straight into a RowCanvas when its pixels or its state are asked for, carrying on from where it
// was, so its rows show as the data arrives (or into a single pixel, when its pixels are not kept); an animation is counted and decoded once the whole
// file is there, its canvas refused when far larger than its frames, and frames past the
// animation memory limit left out and counted.
#pragma once

#include "platform/graphics/CGImage.h"
#include "platform/graphics/internal/ImageStream.h"

#include <memory>
#include <span>
#include <vector>

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
    void decodeFrames();

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
    std::vector<CGImageRef> m_frames;
    bool m_framesDecoded = false;
};

// The canvas's size and alpha from the first bytes, whatever the size; nil before they are in and
// for data that is no WebP.
std::optional<ImageHeader> webpReadHeader(std::span<const std::uint8_t> bytes);

} // namespace dv::internal::graphics
