// Small files whose headers claim far more than their data holds, as a hostile upload would: the
// decoders must refuse them without allocating what they claim. Shared by the tests and by the
// program that writes the fuzz corpora.
#pragma once

#include "GraphicsTestSupport.h"

#include "platform/graphics/UIImage.h"

#include <webp/encode.h>
#include <webp/mux.h>

namespace dv::test {

constexpr std::uint16_t kHugeSide = 10000;

// A JPEG of an 8x8 picture whose frame header says 10000 x 10000 pixels.
inline Ref<NSData> jpegClaimingHugeSize(bool progressive)
{
    auto data = NSMutableData::dataWithData(writeJpeg(photoLike(8, 8), {.quality = 75, .progressive = progressive}));
    std::uint8_t* b = data->mutableBytes();
    for (std::size_t at = 2; at + 9 < data->length(); ++at) {
        if (b[at] == 0xFF && (b[at + 1] == 0xC0 || b[at + 1] == 0xC2)) {
            b[at + 5] = b[at + 7] = std::uint8_t(kHugeSide >> 8);
            b[at + 6] = b[at + 8] = std::uint8_t(kHugeSide & 0xFF);
            break;
        }
    }
    return data;
}

// A 1x1 PNG whose header says 10000 x 10000 pixels, with a correct checksum.
inline Ref<NSData> pngClaimingHugeSize()
{
    PngLayout layout;
    layout.width = 1;
    layout.height = 1;
    layout.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    layout.rows = {10, 20, 30, 255};
    auto data = NSMutableData::dataWithData(writePng(layout));
    const std::size_t ihdr = pngChunkAt(data, "IHDR");
    std::uint8_t* b = data->mutableBytes() + ihdr + 8;
    b[2] = b[6] = std::uint8_t(kHugeSide >> 8);
    b[3] = b[7] = std::uint8_t(kHugeSide & 0xFF);
    fixPngChunkCrc(data, ihdr);
    return data;
}

// A GIF whose screen is 10000 x 10000 pixels, with a colour table of `colours` entries and one
// frame of 1 x 1 pixel.
inline Ref<NSData> gifWithHugeScreen(int colours)
{
    std::vector<GifColorType> table(std::size_t(colours), GifColorType {0, 0, 0});
    table[1] = {255, 0, 0};
    return writeGif(kHugeSide, kHugeSide, table, {{0, 0, 1, 1, 10, DISPOSAL_UNSPECIFIED, -1, {}, {1}}});
}

// An animated WebP on a canvasSide x canvasSide canvas: `frames` frames, frame i of frameSide x
// frameSide pixels of one colour (grey i * 20) at the top left, put together with libwebpmux from
// one lossless bitstream each, so that even large frames cost little to write.
inline Ref<NSData> webpAnimationOfPlainFrames(int canvasSide, int frameSide, int frames)
{
    WebPMux* mux = WebPMuxNew();
    WebPMuxSetCanvasSize(mux, canvasSide, canvasSide);
    WebPMuxAnimParams params {0xFFFFFFFFu, 0};
    WebPMuxSetAnimationParams(mux, &params);
    std::vector<std::uint8_t> rgba(std::size_t(frameSide) * std::size_t(frameSide) * 4);
    for (int i = 0; i < frames; ++i) {
        for (std::size_t p = 0; p < rgba.size(); p += 4)
            rgba[p] = rgba[p + 1] = rgba[p + 2] = std::uint8_t(i * 20), rgba[p + 3] = 255;
        std::uint8_t* out = nullptr;
        const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), frameSide, frameSide, frameSide * 4, &out);
        WebPMuxFrameInfo frame {};
        frame.bitstream = {out, size};
        frame.duration = 100;
        frame.id = WEBP_CHUNK_ANMF;
        frame.dispose_method = WEBP_MUX_DISPOSE_NONE;
        frame.blend_method = WEBP_MUX_NO_BLEND;
        WebPMuxPushFrame(mux, &frame, 1);
        WebPFree(out);
    }
    WebPData assembled;
    WebPDataInit(&assembled);
    WebPMuxAssemble(mux, &assembled);
    auto data = NSData::dataWithBytes(assembled.bytes, assembled.size);
    WebPDataClear(&assembled);
    WebPMuxDelete(mux);
    return data;
}

} // namespace dv::test
