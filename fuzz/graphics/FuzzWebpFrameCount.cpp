// The limit on remote pictures counts every frame libwebp's demuxer finds (and the decoder would
// decode): for each input the demuxer takes, whole (WebPDemux) or as partial data
// (WebPDemuxPartial on each prefix), and whose features libwebp reads (as the decoder does before
// anything else), frames x canvas from imageExtent is at least the demuxer's.
// The first byte chooses the pieces; the rest is a WebP file, or gets a RIFF header whose size
// matches it, as the WebP decoder's target does.
#include "FrameCountFuzz.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>

namespace {

std::uint64_t demuxedPixels(std::span<const std::uint8_t> bytes, bool whole)
{
    // The decoder reads the file's features first, and decodes nothing until they are in, nor of
    // a file whose features libwebp refuses (a VP8X chunk of more than its 10 bytes, which the
    // demuxer passes over, is one).
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK)
        return 0;
    WebPData data {bytes.data(), bytes.size()};
    WebPDemuxState state = WEBP_DEMUX_PARSING_HEADER;
    WebPDemuxer* demux = whole ? WebPDemux(&data) : WebPDemuxPartial(&data, &state);
    // Before its header is parsed a partial demuxer knows no canvas (it says -1), and no frame
    // can be decoded.
    if (!demux || (!whole && state == WEBP_DEMUX_PARSING_HEADER)) {
        WebPDemuxDelete(demux);
        return 0;
    }
    const std::uint64_t pixels = std::uint64_t(WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT)) * WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH)
        * WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT);
    WebPDemuxDelete(demux);
    return pixels;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t choice = data[0];
    std::vector<std::uint8_t> file;
    if (size < 13 || std::memcmp(data + 1, "RIFF", 4) != 0 || std::memcmp(data + 9, "WEBP", 4) != 0) {
        const std::uint32_t riffSize = std::uint32_t(size - 1 + 4);
        file = {'R', 'I', 'F', 'F', std::uint8_t(riffSize), std::uint8_t(riffSize >> 8), std::uint8_t(riffSize >> 16),
            std::uint8_t(riffSize >> 24), 'W', 'E', 'B', 'P'};
    }
    file.insert(file.end(), data + 1, data + size);
    dv::fuzz::compareFrameCounts(choice, file,
        {
            [](std::span<const std::uint8_t> bytes) { return std::max(demuxedPixels(bytes, true), demuxedPixels(bytes, false)); },
            [](std::span<const std::uint8_t> bytes, bool) { return demuxedPixels(bytes, false); },
        });
    return 0;
}
