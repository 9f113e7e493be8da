#include "platform/graphics/internal/WebpCodec.h"

#include "platform/graphics/internal/ImageLimits.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>

namespace dv::internal {

std::optional<WebpInfo> webpReadInfo(std::span<const std::uint8_t> bytes)
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK)
        return std::nullopt;
    WebpInfo info;
    info.header.width = std::uint32_t(features.width);
    info.header.height = std::uint32_t(features.height);
    info.header.hasAlpha = features.has_alpha;
    info.animated = features.has_animation;
    if (info.animated) {
        WebPData data {bytes.data(), bytes.size()};
        WebPDemuxer* demux = WebPDemux(&data);
        if (!demux)
            return std::nullopt;
        info.header.width = WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH);
        info.header.height = WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT);
        info.frameCount = WebPDemuxGetI(demux, WEBP_FF_FRAME_COUNT);
        info.loopCount = int(WebPDemuxGetI(demux, WEBP_FF_LOOP_COUNT));
        WebPIterator iter;
        if (WebPDemuxGetFrame(demux, 1, &iter)) {
            do
                info.durationsMilliseconds.push_back(iter.duration);
            while (WebPDemuxNextFrame(&iter));
            WebPDemuxReleaseIterator(&iter);
        }
        info.frameCount = std::min(info.frameCount, info.durationsMilliseconds.size());
        WebPDemuxDelete(demux);
    }
    if (info.header.width == 0 || info.header.height == 0)
        return std::nullopt;
    return info;
}

CGImageRef webpDecode(std::span<const std::uint8_t> bytes)
{
    auto info = webpReadInfo(bytes);
    if (!info || !pixelCountAllowed(info->header.width, info->header.height))
        return nil;
    if (info->animated) {
        auto frames = webpDecodeAnimation(bytes);
        return frames.empty() ? nil : frames.front().image;
    }
    const std::size_t w = info->header.width, h = info->header.height;
    const bool alpha = info->header.hasAlpha;
    const std::size_t stride = w * (alpha ? 4 : 3);
    std::vector<std::uint8_t> pixels(stride * h);
    const auto* ok = alpha ? WebPDecodeRGBAInto(bytes.data(), bytes.size(), pixels.data(), pixels.size(), int(stride))
                           : WebPDecodeRGBInto(bytes.data(), bytes.size(), pixels.data(), pixels.size(), int(stride));
    if (!ok)
        return nil;
    return dv::makeImage(w, h, 8, alpha ? 32 : 24, stride, CGColorSpaceCreateDeviceRGB(), alpha ? kCGImageAlphaLast : kCGImageAlphaNone,
        std::move(pixels));
}

std::vector<WebpFrame> webpDecodeAnimation(std::span<const std::uint8_t> bytes)
{
    auto info = webpReadInfo(bytes);
    if (!info || !pixelCountAllowed(info->header.width, info->header.height)
        || std::uint64_t(info->header.width) * info->header.height * info->frameCount > maxAnimationPixels())
        return {};
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        return {};
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    WebPData data {bytes.data(), bytes.size()};
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder)
        return {};
    WebPAnimInfo anim;
    std::vector<WebpFrame> frames;
    if (WebPAnimDecoderGetInfo(decoder, &anim)) {
        const std::size_t w = anim.canvas_width, h = anim.canvas_height;
        int previous = 0;
        while (WebPAnimDecoderHasMoreFrames(decoder)) {
            std::uint8_t* buffer = nullptr;
            int timestamp = 0;
            if (!WebPAnimDecoderGetNext(decoder, &buffer, &timestamp))
                break;
            std::vector<std::uint8_t> pixels(buffer, buffer + w * h * 4);
            auto image = dv::makeImage(w, h, 8, 32, w * 4, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaLast, std::move(pixels));
            if (!image)
                break;
            frames.push_back({image, timestamp - previous});
            previous = timestamp;
        }
    }
    WebPAnimDecoderDelete(decoder);
    return frames;
}

} // namespace dv::internal
