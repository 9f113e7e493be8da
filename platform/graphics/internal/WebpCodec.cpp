#include "platform/graphics/internal/WebpCodec.h"

#include "platform/graphics/internal/ImageLimits.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>

namespace dv::internal::graphics {

std::optional<ImageHeader> webpReadHeader(std::span<const std::uint8_t> bytes)
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK || features.width <= 0 || features.height <= 0)
        return std::nullopt;
    ImageHeader h;
    h.width = std::uint32_t(features.width);
    h.height = std::uint32_t(features.height);
    h.hasAlpha = features.has_alpha;
    return h;
}

WebpStream::WebpStream(PixelUse use) : m_discard(use == PixelUse::Discard) { }

WebpStream::~WebpStream()
{
    releaseFrameDecoder();
    if (m_decoder)
        WebPIDelete(m_decoder);
    if (m_scaledConfig)
        WebPFreeDecBuffer(&m_scaledConfig->output);
}

void WebpStream::update(std::span<const std::uint8_t> bytes, bool final)
{
    m_bytes = bytes;
    m_final = final;
    if (m_damaged || m_done)
        return;
    if (!m_header) {
        WebPBitstreamFeatures features;
        const VP8StatusCode status = WebPGetFeatures(bytes.data(), bytes.size(), &features);
        if (status == VP8_STATUS_NOT_ENOUGH_DATA)
            return;
        if (status != VP8_STATUS_OK || !pixelCountAllowed(std::uint32_t(features.width), std::uint32_t(features.height))) {
            m_damaged = true;
            return;
        }
        ImageHeader h;
        h.width = std::uint32_t(features.width);
        h.height = std::uint32_t(features.height);
        h.hasAlpha = features.has_alpha;
        m_header = h;
        m_animated = features.has_animation;
    }
    if (m_animated)
        readAnimation();
}

void WebpStream::decodeStill()
{
    if (m_animated || !m_header || m_damaged || m_done)
        return;
    if (!m_decoder && m_discard) {
        if (!m_scaledConfig) {
            m_scaledConfig = std::make_unique<WebPDecoderConfig>();
            if (!WebPInitDecoderConfig(m_scaledConfig.get())) {
                m_damaged = true;
                return;
            }
        }
        WebPDecoderConfig& config = *m_scaledConfig;
        config.options.use_scaling = 1;
        config.options.scaled_width = 1;
        config.options.scaled_height = 1;
        config.output.colorspace = MODE_RGBA;
        m_decoder = WebPIDecode(nullptr, 0, &config);
        if (!m_decoder) {
            m_damaged = true;
            return;
        }
    }
    if (!m_decoder) {
        const bool alpha = m_header->hasAlpha;
        RowCanvas::Layout layout;
        layout.width = m_header->width;
        layout.height = m_header->height;
        layout.bitsPerPixel = alpha ? 32 : 24;
        layout.bytesPerRow = layout.width * (alpha ? 4 : 3);
        layout.space = CGColorSpaceCreateDeviceRGB();
        layout.bitmapInfo = alpha ? kCGImageAlphaLast : kCGImageAlphaNone;
        // Reserved, not filled: memory follows the rows decoded. libwebp is handed every row at once.
        if (!m_canvas.reserve(layout, layout.height)) {
            m_damaged = true;
            return;
        }
        m_decoder = WebPINewRGB(alpha ? MODE_RGBA : MODE_RGB, m_canvas.rows(0, layout.height), layout.bytesPerRow * layout.height,
            int(layout.bytesPerRow));
        if (!m_decoder) {
            m_damaged = true;
            return;
        }
    }
    const VP8StatusCode status = WebPIUpdate(m_decoder, m_bytes.data(), m_bytes.size());
    if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED) {
        m_damaged = true;
        WebPIDelete(m_decoder);
        m_decoder = nullptr;
        return;
    }
    int lastRow = 0;
    if (!m_discard && WebPIDecGetRGB(m_decoder, &lastRow, nullptr, nullptr, nullptr))
        m_canvas.setRowsDone(std::size_t(std::max(lastRow, 0)));
    if (status == VP8_STATUS_OK) {
        if (!m_discard)
            m_canvas.setRowsDone(m_canvas.layout().height);
        m_done = true;
        WebPIDelete(m_decoder);
        m_decoder = nullptr;
    }
}

// Frames are counted and timed from the container alone; their pixels wait for the whole file.
void WebpStream::readAnimation()
{
    WebPData data {m_bytes.data(), m_bytes.size()};
    WebPDemuxState demuxState = WEBP_DEMUX_PARSING_HEADER;
    WebPDemuxer* demux = WebPDemuxPartial(&data, &demuxState);
    if (!demux) {
        if (demuxState == WEBP_DEMUX_PARSE_ERROR)
            m_damaged = true;
        return;
    }
    if (demuxState != WEBP_DEMUX_DONE) {
        WebPDemuxDelete(demux);
        return;
    }
    const std::uint64_t canvas = std::uint64_t(WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH)) * WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT);
    m_loopCount = int(WebPDemuxGetI(demux, WEBP_FF_LOOP_COUNT));
    std::uint64_t largest = 0, area = 0;
    WebPIterator iter;
    if (WebPDemuxGetFrame(demux, 1, &iter)) {
        do {
            largest = std::max(largest, std::uint64_t(iter.width) * std::uint64_t(iter.height));
            if (m_omitted == 0 && area + canvas <= maxAnimationPixels()) {
                area += canvas;
                m_durations.push_back(iter.duration);
            } else {
                ++m_omitted;
            }
        } while (WebPDemuxNextFrame(&iter));
        WebPDemuxReleaseIterator(&iter);
    }
    WebPDemuxDelete(demux);
    // The limit on remote pictures counts frames with WebpFrameCounter, before any decoder runs:
    // a file in which the demuxer finds more frames than that walk is refused, so that no frame is
    // ever decoded that the limit did not count.
    const bool counted = m_durations.size() + m_omitted <= WebpFrameCounter().update(m_bytes);
    if (m_durations.empty() || !counted || !canvasFilledByFrames(canvas, largest)) {
        m_durations.clear();
        m_damaged = true;
        return;
    }
    m_done = true;
}

void WebpStream::releaseFrameDecoder()
{
    if (m_frameDecoder)
        WebPAnimDecoderDelete(m_frameDecoder);
    m_frameDecoder = nullptr;
    m_frameDecoderBytes = nullptr;
    m_framesPassed = 0;
}

// Each frame is composed on the canvas over the ones before it, so reaching a frame decodes every
// frame before it once; the frames after it wait until they are asked for.
void WebpStream::decodeFramesUpTo(std::size_t index)
{
    if (m_framesEnded || index < m_frames.size())
        return;
    // The owner passes the same bytes again, maybe from elsewhere in memory: a decoder made over
    // the old place starts again over the new one, passing the frames it gave already.
    if (m_frameDecoder && m_frameDecoderBytes != m_bytes.data())
        releaseFrameDecoder();
    if (!m_frameDecoder) {
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options)) {
            m_framesEnded = true;
            return;
        }
        options.color_mode = MODE_RGBA;
        options.use_threads = 0;
        WebPData data {m_bytes.data(), m_bytes.size()};
        m_frameDecoder = WebPAnimDecoderNew(&data, &options);
        if (!m_frameDecoder) {
            m_damaged = true;
            m_framesEnded = true;
            return;
        }
        m_frameDecoderBytes = m_bytes.data();
    }
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(m_frameDecoder, &info)) {
        m_framesEnded = true;
        releaseFrameDecoder();
        return;
    }
    const std::size_t w = info.canvas_width, h = info.canvas_height;
    while (m_frames.size() <= index && WebPAnimDecoderHasMoreFrames(m_frameDecoder)) {
        std::uint8_t* buffer = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(m_frameDecoder, &buffer, &timestamp)) {
            m_damaged = true;
            break;
        }
        if (m_framesPassed++ < m_frames.size())
            continue; // given before this decoder was made again
        auto image = dv::makeImage(w, h, 8, 32, w * 4, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaLast,
            std::vector<std::uint8_t>(buffer, buffer + w * h * 4));
        if (!image)
            break;
        m_frames.push_back(image);
    }
    if (m_frames.size() <= index || m_frames.size() >= m_durations.size()) {
        m_framesEnded = true;
        releaseFrameDecoder();
    }
}

namespace {

std::uint32_t le32(std::span<const std::uint8_t> b, std::uint64_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 3]) << 24;
}

} // namespace

std::uint64_t WebpFrameCounter::update(std::span<const std::uint8_t> bytes)
{
    if (m_kind == Kind::Unknown && bytes.size() >= 21) {
        // The animation flag is in the VP8X chunk, which comes first when there is one.
        const bool extended = std::memcmp(bytes.data() + 12, "VP8X", 4) == 0;
        m_kind = extended && (bytes[20] & 0x02) ? Kind::Animated : Kind::Still;
    }
    if (m_kind != Kind::Animated)
        return 0;
    // Chunks are read as libwebp's demuxer reads them. A frame chunk's size is not where the next
    // chunk starts: its 16 bytes of offsets, size and timing are followed by its own chunks (alpha
    // and image), and whatever chunk follows those is read as the next chunk of the file, even
    // one its frame chunk's size covers, a frame chunk too. Every other chunk, in a frame or not,
    // is passed over by its size. Bytes past the RIFF size are no part of the file.
    constexpr std::uint64_t kFrameHeader = 16;
    const std::uint64_t end = std::min<std::uint64_t>(bytes.size(), 8ull + le32(bytes, 4));
    while (m_next + 8 <= end) {
        if (std::memcmp(bytes.data() + m_next, "ANMF", 4) == 0) {
            ++m_frames;
            m_next += 8 + kFrameHeader;
            continue;
        }
        const std::uint64_t size = le32(bytes, m_next + 4);
        m_next += 8 + size + (size & 1);
    }
    return m_frames;
}

StreamState WebpStream::state()
{
    decodeStill();
    if (m_damaged)
        return StreamState::Damaged;
    if (m_done)
        return StreamState::Complete;
    if (m_final)
        return StreamState::Truncated;
    return m_header ? StreamState::Partial : StreamState::Header;
}

std::size_t WebpStream::count() const
{
    // Frames that could not be decoded after all are no longer offered.
    if (m_animated)
        return m_framesEnded ? m_frames.size() : m_durations.size();
    return m_header && !m_damaged ? 1 : 0;
}

std::optional<ImageHeader> WebpStream::header() const { return m_header; }

CGImageRef WebpStream::image(std::size_t index)
{
    if (!m_animated) {
        decodeStill();
        return index == 0 && !m_damaged && !m_discard ? m_canvas.image() : nil;
    }
    if (!m_done)
        return nil;
    if (m_discard || index >= m_durations.size())
        return nil;
    decodeFramesUpTo(index);
    return index < m_frames.size() ? m_frames[index] : nil;
}

bool WebpStream::imageComplete(std::size_t index)
{
    decodeStill();
    if (!m_animated)
        return index == 0 && m_done;
    return m_done && index < count();
}

double WebpStream::delaySeconds(std::size_t index) const
{
    return index < m_durations.size() ? m_durations[index] / 1000.0 : 0;
}

std::optional<int> WebpStream::loopCount() const
{
    if (!m_animated || !m_done)
        return std::nullopt;
    return m_loopCount;
}

} // namespace dv::internal::graphics
