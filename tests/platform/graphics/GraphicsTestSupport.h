// Shared helpers of the graphics tests: images made in memory, feeding a source in updates and
// measuring memory. The files the decoders are tested on come from ImageFileWriters.h.
#pragma once

#include "platform/base/NSData.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGImageSource.h"

#include "ImageFileWriters.h"

#include <malloc.h>

#include <array>
#include <csetjmp>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dv::test {

using Pixel = std::array<std::uint8_t, 4>; // straight RGBA

// Straight RGBA pixels; `info` kCGImageAlphaNoneSkipLast makes an opaque image of the same bytes.
inline CGImageRef makeRGBAImage(std::size_t w, std::size_t h, const std::function<Pixel(std::size_t, std::size_t)>& colour,
    CGBitmapInfo info = kCGImageAlphaLast)
{
    std::vector<std::uint8_t> px(w * h * 4);
    for (std::size_t y = 0; y < h; ++y)
        for (std::size_t x = 0; x < w; ++x) {
            Pixel p = colour(x, y);
            std::memcpy(&px[(y * w + x) * 4], p.data(), 4);
        }
    return dv::makeImage(w, h, 8, 32, w * 4, CGColorSpaceCreateDeviceRGB(), info, std::move(px));
}

// (0, 0, 0, 0) for a nil image, so that a failed decode shows as a mismatch, not a crash.
inline Pixel pixelAt(const CGImageRef& image, std::size_t x, std::size_t y)
{
    if (!image || x >= image->width() || y >= image->height())
        return {0, 0, 0, 0};
    auto px = dv::imagePixelsRGBA8(image);
    const std::size_t i = (y * image->width() + x) * 4;
    return {px[i], px[i + 1], px[i + 2], px[i + 3]};
}

inline bool near(const Pixel& a, const Pixel& b, int tolerance)
{
    for (int i = 0; i < 4; ++i)
        if (std::abs(int(a[i]) - int(b[i])) > tolerance)
            return false;
    return true;
}

inline std::string show(const Pixel& p)
{
    return "(" + std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) + "," + std::to_string(p[3]) + ")";
}

inline Ref<NSData> prefix(const Ref<NSData>& data, std::size_t length)
{
    return NSData::dataWithBytes(data->bytes(), std::min<NSUInteger>(length, data->length()));
}

// The rows of an image as stored, without the padding at the end of each row.
inline std::vector<std::uint8_t> storedRows(const CGImageRef& image)
{
    std::vector<std::uint8_t> rows;
    if (!image)
        return rows;
    const std::size_t rowBytes = image->width() * image->bitsPerPixel() / 8;
    for (std::size_t y = 0; y < image->height(); ++y)
        rows.insert(rows.end(), image->bytes() + y * image->bytesPerRow(), image->bytes() + y * image->bytesPerRow() + rowBytes);
    return rows;
}

// What an incremental source gives after each of `parts` updates (the last one final), asked
// for the first image after every update.
struct UpdateStep {
    std::size_t length = 0;
    CGImageSourceStatus status = kCGImageStatusReadingHeader;
    CGImageRef image;
    std::vector<std::uint8_t> rows; // the image's rows when it was given
};

inline std::vector<UpdateStep> feedInParts(const Ref<NSData>& data, std::size_t parts)
{
    std::vector<UpdateStep> steps;
    auto source = CGImageSourceCreateIncremental(nil);
    for (std::size_t i = 1; i <= parts; ++i) {
        UpdateStep step;
        step.length = data->length() * i / parts;
        CGImageSourceUpdateData(source, prefix(data, step.length), i == parts);
        step.status = CGImageSourceGetStatus(source);
        step.image = CGImageSourceCreateImageAtIndex(source, 0, nil);
        step.rows = storedRows(step.image);
        steps.push_back(std::move(step));
    }
    return steps;
}

// A picture with smooth gradients and some noise, as photographs have, so that compressed files
// are of a realistic size. Opaque unless `alpha`.
inline CGImageRef photoLike(std::size_t w, std::size_t h, std::uint32_t seed = 1, bool alpha = false)
{
    return makeRGBAImage(w, h, [&](std::size_t x, std::size_t y) {
        seed = seed * 1664525u + 1013904223u;
        const int noise = int(seed >> 28) - 8;
        auto clamp = [](int v) { return std::uint8_t(std::min(255, std::max(0, v))); };
        return Pixel {clamp(int(128 + 100 * std::sin(double(x) / 17.0)) + noise), clamp(int(128 + 100 * std::cos(double(y) / 13.0)) + noise),
            clamp(int((x + y) % 256) + noise), std::uint8_t(alpha ? (x * 5 + y * 3) % 256 : 255)};
    }, alpha ? kCGImageAlphaLast : kCGImageAlphaNoneSkipLast);
}

// How much the peak resident memory of the process grows while `work` runs; nil where the kernel
// does not let the peak be reset, and under the sanitizers, whose shadow memory grows with the
// blocks reserved and touched, whether the program uses them or not.
inline std::optional<std::size_t> peakMemoryGrowth(const std::function<void()>& work)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    work();
    return std::nullopt;
#endif
    auto readKB = [](const char* field) -> std::optional<std::size_t> {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind(field, 0) == 0)
                return std::size_t(std::stoull(line.substr(std::strlen(field)))) * 1024;
        return std::nullopt;
    };
    // Large blocks straight from the kernel and back, so that memory freed earlier in the process
    // cannot hide new use.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    malloc_trim(0);
    {
        std::ofstream reset("/proc/self/clear_refs");
        if (!(reset << "5") || !reset.flush())
            return std::nullopt;
    }
    const auto before = readKB("VmHWM:");
    work();
    const auto after = readKB("VmHWM:");
    if (!before || !after)
        return std::nullopt;
    return *after > *before ? *after - *before : 0;
}

// The picture libjpeg itself makes of a four-component JPEG, as straight RGBA: its CMYK samples as
// libjpeg decodes them, multiplied out with the inks inverted, as files with the Adobe marker
// store them. Empty when libjpeg cannot decode the bytes. (TurboJPEG's own interface refuses
// sampling factors other than its standard ones.)
struct JumpingError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

inline std::vector<std::uint8_t> libjpegPictureOfInvertedCmyk(const Ref<NSData>& jpeg)
{
    std::vector<std::uint8_t> rgba;
    jpeg_decompress_struct info {};
    JumpingError error {};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<JumpingError*>(c->err)->jump, 1); };
    jpeg_create_decompress(&info);
    if (setjmp(error.jump) == 0) {
        jpeg_mem_src(&info, jpeg->bytes(), jpeg->length());
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_CMYK;
        jpeg_start_decompress(&info);
        std::vector<std::uint8_t> cmyk(std::size_t(info.output_width) * info.output_height * 4);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = cmyk.data() + std::size_t(info.output_scanline) * info.output_width * 4;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        rgba.resize(cmyk.size());
        for (std::size_t i = 0; i < cmyk.size(); i += 4) {
            const unsigned k = cmyk[i + 3];
            for (std::size_t c = 0; c < 3; ++c)
                rgba[i + c] = std::uint8_t((cmyk[i + c] * k + 127) / 255);
            rgba[i + 3] = 255;
        }
    }
    jpeg_destroy_decompress(&info);
    return rgba;
}

} // namespace dv::test
