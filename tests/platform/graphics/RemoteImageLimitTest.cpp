// The extent of a remote picture read from its header and a GIF's frame records: headers too large
// for the decoders to take are still measured, and a reader following a download answers at every
// length what the data so far would.
#include "GraphicsTestSupport.h"
#include "HostileImages.h"

#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/RemoteImageLimit.h"
#include "platform/graphics/UIImage.h"
#include "platform/graphics/internal/ImageLimits.h"

#include <gtest/gtest.h>
#include <webp/demux.h>
#include <webp/encode.h>

#include <cstring>

using namespace dv::test;

namespace {

Ref<NSData> losslessWebP(int side)
{
    auto rgba = dv::imagePixelsRGBA8(makeRGBAImage(std::size_t(side), std::size_t(side), [](std::size_t x, std::size_t y) {
        return Pixel {std::uint8_t(x * 9), std::uint8_t(y * 5), 90, 255};
    }));
    std::uint8_t* out = nullptr;
    const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), side, side, side * 4, &out);
    auto data = NSData::dataWithBytes(out, size);
    WebPFree(out);
    return data;
}

// A small lossless WebP whose header says `side` x `side` pixels.
Ref<NSData> webpClaiming(std::uint32_t side)
{
    auto data = NSMutableData::dataWithData(losslessWebP(16));
    std::uint8_t* b = data->mutableBytes();
    EXPECT_EQ(std::memcmp(b + 12, "VP8L", 4), 0);
    // After the signature byte: width - 1 and height - 1 in 14 bits each, little-endian.
    std::uint32_t bits = 0;
    std::memcpy(&bits, b + 21, 4);
    bits = (bits & 0xF0000000u) | (side - 1) | ((side - 1) << 14);
    std::memcpy(b + 21, &bits, 4);
    return data;
}

Ref<NSData> gifOfFrames(int frames, int side)
{
    std::vector<GifFrame> list(static_cast<std::size_t>(frames));
    for (auto& frame : list) {
        frame.width = frame.height = side;
        frame.indices.assign(std::size_t(side) * std::size_t(side), 1);
    }
    return writeGif(side, side, {{0, 0, 0}, {255, 255, 255}}, list);
}

TEST(RemoteImageLimitTest, HeadersTooLargeForTheDecodersAreStillMeasured)
{
    // Screens and canvases past what a decoder allocates at all: the decoders refuse them as
    // damaged, and the limit still sees their size.
    auto gif = writeGif(20000, 20000, {{0, 0, 0}, {255, 0, 0}}, {{0, 0, 1, 1, 10, DISPOSAL_UNSPECIFIED, -1, {}, {1}}});
    auto webp = webpClaiming(16000);
    for (const auto& data : {gif, webp}) {
        auto extent = dv::imageExtent(data);
        ASSERT_TRUE(extent);
        EXPECT_GT(extent->width, 15000u);
        EXPECT_EQ(extent->width, extent->height);
        EXPECT_TRUE(dv::exceedsRemoteImageLimit(data));
        EXPECT_FALSE(UIImage::imageWithData(data));
    }
    // Within the limit: measured alike, and decoded.
    auto small = losslessWebP(16);
    ASSERT_TRUE(dv::imageExtent(small));
    EXPECT_EQ(dv::imageExtent(small)->width, 16u);
    EXPECT_FALSE(dv::exceedsRemoteImageLimit(small));
    EXPECT_TRUE(UIImage::imageWithData(small));
    EXPECT_TRUE(dv::exceedsRemoteImageLimit(gifWithHugeScreen(2)));
    // A GIF's signature before bytes that go on as no GIF does is no picture, whatever its
    // screen would say.
    EXPECT_FALSE(dv::imageExtent(NSData::fromString("GIF89a but not really a picture")));
}

TEST(RemoteImageLimitTest, AnAnimatedWebpIsMeasuredByAllItsFramesFromItsChunks)
{
    // Frames of 16 x 16 at the corner of a 4096 x 4096 canvas: what the limit counts is the canvas
    // of every frame, as decoding composes each frame on the whole canvas.
    for (int frames : {2, 6, 100}) {
        auto data = webpAnimationOfPlainFrames(4096, 16, frames);
        auto extent = dv::imageExtent(data);
        ASSERT_TRUE(extent) << frames;
        EXPECT_EQ(extent->width, 4096u);
        EXPECT_EQ(extent->frames, std::uint64_t(frames));
        EXPECT_TRUE(dv::exceedsRemoteImageLimit(data)) << frames;
    }
    auto one = webpAnimationOfPlainFrames(4096, 16, 1);
    EXPECT_EQ(dv::imageExtent(one)->frames, 1u);
    EXPECT_FALSE(dv::exceedsRemoteImageLimit(one));
    auto edge = webpAnimationOfPlainFrames(2048, 16, 4);
    EXPECT_EQ(dv::imageExtent(edge)->decodedPixels(), dv::kRemoteImageMaximumPixels);
    EXPECT_FALSE(dv::exceedsRemoteImageLimit(edge));
    // Only the chunks within the size the RIFF header gives are frames; a still WebP has one.
    auto trailing = NSMutableData::dataWithData(webpAnimationOfPlainFrames(2048, 16, 4));
    trailing->appendData(prefix(webpAnimationOfPlainFrames(2048, 16, 4), 200)); // no part of the file
    EXPECT_EQ(dv::imageExtent(trailing)->frames, 4u);
    EXPECT_EQ(dv::imageExtent(losslessWebP(16))->frames, 1u);
}

// The frames libwebp's demuxer finds in `bytes` (partial data too), 0 when it refuses them.
std::uint64_t demuxedFrames(std::span<const std::uint8_t> bytes)
{
    WebPData data {bytes.data(), bytes.size()};
    WebPDemuxState state = WEBP_DEMUX_PARSING_HEADER;
    WebPDemuxer* demux = WebPDemuxPartial(&data, &state);
    if (!demux)
        return 0;
    const std::uint64_t frames = WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT);
    WebPDemuxDelete(demux);
    return frames;
}

TEST(RemoteImageLimitTest, FramesWhoseChunksAFrameChunkCoversAreCountedAsTheDecoderFindsThem)
{
    // A first frame chunk whose size covers all the others (20 frames of 1024 x 1024 on a 2048 x
    // 2048 canvas, about 2 KB), and frame chunks nested each inside the one before (40 of 4096 x
    // 4096): each was once counted as one frame, and decoded as all of them.
    struct Case {
        Ref<NSData> data;
        std::uint64_t frames;
    };
    const Case cases[] = {
        {webpAnimationOfOneBitstream(2048, 1024, 20, FrameChunkSizes::FirstCoversTheRest), 20},
        {webpAnimationOfOneBitstream(4096, 4096, 40, FrameChunkSizes::Nested), 40},
        {webpAnimationOfOneBitstream(2048, 1024, 4, FrameChunkSizes::Own), 4},
    };
    for (const auto& [data, frames] : cases) {
        SCOPED_TRACE(frames);
        ASSERT_EQ(demuxedFrames(data->span()), frames);
        auto extent = dv::imageExtent(data);
        ASSERT_TRUE(extent);
        EXPECT_EQ(extent->frames, frames);
        EXPECT_EQ(dv::exceedsRemoteImageLimit(data), frames > 4);
        // The image source offers no frame the count left out.
        EXPECT_LE(CGImageSourceGetCount(CGImageSourceCreateWithData(data, nil)), extent->frames);
        // Fed in pieces, the count is never behind the demuxer's on the data so far.
        dv::ImageExtentReader reader;
        for (std::size_t at = 0; at < data->length(); at += 61) {
            auto received = prefix(data, std::min<std::size_t>(at + 61, data->length()));
            auto followed = reader.update(received);
            const std::uint64_t found = demuxedFrames(received->span());
            if (found > 0) {
                ASSERT_TRUE(followed) << at;
                EXPECT_GE(followed->frames, found) << at;
            }
        }
        ASSERT_TRUE(reader.update(data));
        EXPECT_EQ(reader.update(data)->frames, frames);
    }
    EXPECT_LT(cases[0].data->length(), 3000u);
}

TEST(RemoteImageLimitTest, EveryFrameCountsWhateverTheDecodersMemoryLimitKeeps)
{
    // The decoders keep three frames of 16 x 16 here and leave the rest out; the limit on remote
    // pictures counts all five.
    const auto image = dv::internal::graphics::maxImagePixels(), animation = dv::internal::graphics::maxAnimationPixels();
    dv::internal::graphics::setPixelLimits(image, 3 * 16 * 16);
    for (const auto& data : {gifOfFrames(5, 16), webpAnimationOfOneBitstream(16, 16, 5)}) {
        EXPECT_EQ(CGImageSourceGetCount(CGImageSourceCreateWithData(data, nil)), 3u);
        EXPECT_EQ(dv::imageExtent(data)->frames, 5u);
        dv::ImageExtentReader reader;
        EXPECT_EQ(reader.update(data)->frames, 5u);
    }
    dv::internal::graphics::setPixelLimits(image, animation);
}

TEST(RemoteImageLimitTest, AReaderFollowingADownloadAnswersWhatTheDataSoFarWould)
{
    for (const auto& whole : {gifOfFrames(6, 40), pngClaimingHugeSize(), jpegClaimingHugeSize(false), losslessWebP(24),
             webpAnimationOfPlainFrames(40, 40, 6), webpAnimationOfOneBitstream(40, 24, 6, FrameChunkSizes::Nested)}) {
        dv::ImageExtentReader reader;
        auto received = NSMutableData::dataWithCapacity(0);
        std::size_t lastFrames = 0;
        for (std::size_t at = 0; at < whole->length(); at += 7) {
            const std::size_t piece = std::min<std::size_t>(7, whole->length() - at);
            received->appendBytes(whole->span().data() + at, piece);
            auto followed = reader.update(received);
            auto direct = dv::imageExtent(NSData::dataWithData(received));
            ASSERT_EQ(bool(followed), bool(direct)) << at;
            if (!direct)
                continue;
            EXPECT_EQ(followed->width, direct->width) << at;
            EXPECT_EQ(followed->height, direct->height) << at;
            EXPECT_EQ(followed->frames, direct->frames) << at;
            EXPECT_GE(followed->frames, lastFrames) << at;
            lastFrames = followed->frames;
        }
        ASSERT_TRUE(reader.update(received));
        EXPECT_EQ(reader.update(received)->decodedPixels(), dv::imageExtent(whole)->decodedPixels());
    }
}

} // namespace
