#include "platform/graphics/internal/JpegCodec.h"

#include "platform/graphics/internal/ImageLimits.h"
#include "platform/graphics/internal/JpegMarkers.h"

#include <turbojpeg.h>

#include <cstdio>
#include <csetjmp>
#include <cstring>
#include <jpeglib.h>

namespace dv::internal {

namespace {

// One decompressor per thread: creating one costs more than decoding a small image. A handle that
// has seen damaged data can keep stale state, so it is replaced after any failure.
struct TurboHandle {
    tjhandle handle = nullptr;
    bool compressor = false;
    explicit TurboHandle(bool compress) : handle(compress ? tjInitCompress() : tjInitDecompress()), compressor(compress) { }
    ~TurboHandle()
    {
        if (handle)
            tjDestroy(handle);
    }
    void renew()
    {
        if (handle)
            tjDestroy(handle);
        handle = compressor ? tjInitCompress() : tjInitDecompress();
    }
};

TurboHandle& decompressor()
{
    thread_local TurboHandle h(false);
    return h;
}

TurboHandle& compressor()
{
    thread_local TurboHandle h(true);
    return h;
}

// CMYK samples to RGB. Adobe files store the inks inverted; others store them plainly.
void cmykToRGBX(std::uint8_t* px, std::size_t count, bool inverted)
{
    for (std::size_t i = 0; i < count; ++i, px += 4) {
        unsigned c = px[0], m = px[1], y = px[2], k = px[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        px[0] = std::uint8_t((c * k + 127) / 255);
        px[1] = std::uint8_t((m * k + 127) / 255);
        px[2] = std::uint8_t((y * k + 127) / 255);
        px[3] = 255;
    }
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jpegErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void jpegQuietMessage(j_common_ptr, int) { }
void jpegNoOp(j_decompress_ptr) { }
boolean jpegSuspend(j_decompress_ptr) { return FALSE; }
void jpegSkip(j_decompress_ptr info, long count)
{
    auto* src = info->src;
    if (count <= 0)
        return;
    if (std::size_t(count) > src->bytes_in_buffer) {
        // Nothing more will arrive in this pass: consume what there is and let the next read suspend.
        src->next_input_byte += src->bytes_in_buffer;
        src->bytes_in_buffer = 0;
        return;
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= std::size_t(count);
}

struct PartialState {
    jpeg_decompress_struct info {};
    JpegError error {};
    jpeg_source_mgr source {};
    std::vector<std::uint8_t> pixels;
    std::uint32_t width = 0, height = 0;
    std::uint32_t rows = 0;
    bool cmyk = false;
    bool adobe = false;
    bool started = false;
};

void partialBody(PartialState& s, std::span<const std::uint8_t> bytes)
{
    s.source.next_input_byte = bytes.data();
    s.source.bytes_in_buffer = bytes.size();
    s.source.init_source = jpegNoOp;
    s.source.fill_input_buffer = jpegSuspend;
    s.source.skip_input_data = jpegSkip;
    s.source.resync_to_restart = jpeg_resync_to_restart;
    s.source.term_source = jpegNoOp;
    s.info.src = &s.source;
    if (jpeg_read_header(&s.info, TRUE) != JPEG_HEADER_OK)
        return;
    if (s.info.progressive_mode || !pixelCountAllowed(s.info.image_width, s.info.image_height))
        return;
    s.cmyk = s.info.jpeg_color_space == JCS_CMYK || s.info.jpeg_color_space == JCS_YCCK;
    s.info.out_color_space = s.cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    if (!jpeg_start_decompress(&s.info))
        return;
    s.started = true;
    s.width = s.info.output_width;
    s.height = s.info.output_height;
    if (s.info.output_components != 4 || !pixelCountAllowed(s.width, s.height))
        return;
    s.pixels.assign(std::size_t(s.width) * s.height * 4, 0);
    while (s.info.output_scanline < s.info.output_height) {
        JSAMPROW row = s.pixels.data() + std::size_t(s.info.output_scanline) * s.width * 4;
        if (jpeg_read_scanlines(&s.info, &row, 1) == 0)
            break; // suspended: the rest has not arrived
        s.rows = s.info.output_scanline;
    }
}

} // namespace

std::optional<ImageHeader> jpegReadHeader(std::span<const std::uint8_t> bytes)
{
    auto markers = readJpegMarkers(bytes);
    if (!markers || markers->width == 0 || markers->height == 0)
        return std::nullopt;
    ImageHeader h;
    h.width = markers->width;
    h.height = markers->height;
    h.grey = markers->components == 1;
    h.exifOrientation = markers->exifOrientation;
    h.progressive = markers->progressive;
    return h;
}

CGImageRef jpegDecode(std::span<const std::uint8_t> bytes)
{
    TurboHandle& handle = decompressor();
    tjhandle tj = handle.handle;
    if (!tj || bytes.empty() || bytes.size() > 0xFFFFFFFFu)
        return nil;
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    auto* data = const_cast<unsigned char*>(bytes.data());
    if (tjDecompressHeader3(tj, data, static_cast<unsigned long>(bytes.size()), &width, &height, &subsampling, &colourspace) != 0) {
        handle.renew();
        return nil;
    }
    if (width <= 0 || height <= 0 || !pixelCountAllowed(std::uint64_t(width), std::uint64_t(height)))
        return nil;
    const bool grey = colourspace == TJCS_GRAY;
    const bool cmyk = colourspace == TJCS_CMYK || colourspace == TJCS_YCCK;
    const int pixelFormat = grey ? TJPF_GRAY : cmyk ? TJPF_CMYK : TJPF_RGBX;
    const std::size_t pixelBytes = grey ? 1 : 4;
    const std::size_t pitch = std::size_t(width) * pixelBytes;
    std::vector<std::uint8_t> pixels(pitch * std::size_t(height));
    // The scan limit refuses progressive files built of thousands of tiny scans, which would take
    // minutes to decode.
    if (tjDecompress2(tj, data, static_cast<unsigned long>(bytes.size()), pixels.data(), width, int(pitch), height, pixelFormat,
            TJFLAG_LIMITSCANS)
        != 0) {
        const bool warning = tjGetErrorCode(tj) == TJERR_WARNING;
        handle.renew();
        if (!warning)
            return nil;
    }
    if (cmyk) {
        auto markers = readJpegMarkers(bytes);
        cmykToRGBX(pixels.data(), std::size_t(width) * std::size_t(height), markers && markers->adobe);
    }
    if (grey)
        return dv::makeImage(std::size_t(width), std::size_t(height), 8, 8, pitch, CGColorSpaceCreateDeviceGray(), kCGImageAlphaNone,
            std::move(pixels));
    return dv::makeImage(std::size_t(width), std::size_t(height), 8, 32, pitch, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNoneSkipLast,
        std::move(pixels));
}

CGImageRef jpegDecodePartial(std::span<const std::uint8_t> bytes)
{
    auto state = std::make_unique<PartialState>();
    PartialState& s = *state;
    s.info.err = jpeg_std_error(&s.error.manager);
    s.error.manager.error_exit = jpegErrorExit;
    s.error.manager.emit_message = jpegQuietMessage;
    jpeg_create_decompress(&s.info);
    if (setjmp(s.error.jump) == 0)
        partialBody(s, bytes);
    jpeg_destroy_decompress(&s.info);
    if (s.rows == 0)
        return nil;
    if (s.cmyk) {
        auto markers = readJpegMarkers(bytes);
        cmykToRGBX(s.pixels.data(), std::size_t(s.width) * s.rows, markers && markers->adobe);
    }
    return dv::makeImage(s.width, s.height, 8, 32, std::size_t(s.width) * 4, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaLast,
        std::move(s.pixels));
}

std::vector<std::uint8_t> jpegEncode(const CGImageRef& image, int quality, int exifOrientation)
{
    TurboHandle& handle = compressor();
    tjhandle tj = handle.handle;
    if (!tj || !image)
        return {};
    const std::size_t w = image->width(), h = image->height();
    std::vector<std::uint8_t> rgba = dv::imagePixelsRGBA8(image);
    // JPEG has no alpha: transparent parts come out black, as premultiplied pixels would.
    if (dv::imageHasAlpha(image)) {
        for (std::size_t i = 0; i < w * h; ++i) {
            std::uint8_t* p = rgba.data() + i * 4;
            for (int c = 0; c < 3; ++c)
                p[c] = std::uint8_t((unsigned(p[c]) * p[3] + 127) / 255);
        }
    }
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (tjCompress2(tj, rgba.data(), int(w), int(w * 4), int(h), TJPF_RGBX, &out, &size, TJSAMP_420, quality, 0) != 0) {
        tjFree(out);
        handle.renew();
        return {};
    }
    std::vector<std::uint8_t> result;
    result.reserve(size + 40);
    // The EXIF block goes after the JFIF header, which must stay first.
    std::size_t split = 2;
    if (size >= 6 && out[2] == 0xFF && out[3] == 0xE0)
        split = std::min<std::size_t>(size, 4 + (std::size_t(out[4]) << 8 | out[5]));
    result.insert(result.end(), out, out + split);
    if (exifOrientation > 1 && exifOrientation <= 8) {
        auto segment = exifOrientationSegment(exifOrientation);
        result.insert(result.end(), segment.begin(), segment.end());
    }
    result.insert(result.end(), out + split, out + size);
    tjFree(out);
    return result;
}

} // namespace dv::internal
