// GIF through giflib as a stream: the frame structure (sizes, delays, disposal, loop count) is
// read as the records arrive, without decoding pixels, and frames are composed on request, in
// order, on the logical screen (disposal, transparency, sub-rectangles, local colour tables,
// interlacing). Only frames whose data has fully arrived are counted. Refused as damaged: a
// screen far larger than any frame drawn on it, and a frame larger than its compressed data could
// fill. Frames past the animation memory limit are left out and counted.
#pragma once

#include "platform/graphics/CGImage.h"
#include "platform/graphics/internal/ImageStream.h"

#include <optional>
#include <span>
#include <vector>

namespace dv::internal::graphics {

class GifDecoder final : public ImageStream {
public:
    struct Frame {
        int left = 0, top = 0, width = 0, height = 0;
        bool interlaced = false;
        int delayCentiseconds = 0;
        int disposal = 0;
        int transparentIndex = -1;
        std::size_t offset = 0; // of the image descriptor record
    };

    bool keepsInput() const override { return true; }
    void update(std::span<const std::uint8_t> bytes, bool final) override;
    StreamState state() override;
    std::size_t count() const override { return m_frames.size(); }
    std::optional<ImageHeader> header() const override;
    // Native-endian premultiplied ARGB, fully transparent or opaque pixels only.
    CGImageRef image(std::size_t index) override;
    bool imageComplete(std::size_t index) override { return index < m_frames.size(); }
    bool animated() const override { return true; }
    double delaySeconds(std::size_t index) const override;
    std::optional<int> loopCount() const override { return m_loopCount; }
    std::size_t framesOmitted() const override { return m_omitted; }

    const Frame& frame(std::size_t index) const { return m_frames[index]; }

private:
    void readRecords();
    bool composeUpTo(std::size_t index);

    std::span<const std::uint8_t> m_bytes;
    bool m_final = false;
    bool m_haveScreen = false;
    bool m_ended = false;
    bool m_damaged = false;
    std::uint32_t m_width = 0, m_height = 0;
    std::size_t m_resume = 0;   // where the first record not yet read starts
    Frame m_pending;            // delay and disposal read for the next frame
    std::uint64_t m_area = 0;   // pixels of the frames kept
    std::uint64_t m_largestFrame = 0;
    std::size_t m_omitted = 0;
    std::vector<Frame> m_frames;
    std::optional<int> m_loopCount;
    std::vector<CGImageRef> m_composed;
    bool m_composeFailed = false;
};

// The logical screen's size read by itself, whatever the size, once the screen's records (and its
// colour table) are in and a GIF record follows them; nil before, and for bytes that go on as no
// GIF does.
std::optional<ImageHeader> gifReadScreen(std::span<const std::uint8_t> bytes);

} // namespace dv::internal::graphics
