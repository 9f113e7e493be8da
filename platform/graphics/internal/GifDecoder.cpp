#include "platform/graphics/internal/GifDecoder.h"

#include "platform/graphics/internal/ImageLimits.h"

#include <gif_lib.h>

#include <cstring>

namespace dv::internal {

namespace {

struct Reader {
    std::span<const std::uint8_t> bytes;
    std::size_t position = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int length)
{
    auto* r = static_cast<Reader*>(gif->UserData);
    if (length <= 0)
        return 0;
    const std::size_t n = std::min<std::size_t>(std::size_t(length), r->bytes.size() - r->position);
    std::memcpy(out, r->bytes.data() + r->position, n);
    r->position += n;
    return int(n);
}

struct GifFile {
    Reader reader;
    GifFileType* gif = nullptr;
    explicit GifFile(std::span<const std::uint8_t> bytes)
    {
        reader.bytes = bytes;
        int error = 0;
        gif = DGifOpen(&reader, readFromMemory, &error);
    }
    ~GifFile()
    {
        if (gif) {
            int error = 0;
            DGifCloseFile(gif, &error);
        }
    }
};

bool skipImageData(GifFileType* gif)
{
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR)
        return false;
    while (block) {
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR)
            return false;
    }
    return true;
}

bool skipExtension(GifFileType* gif, GifByteType* block)
{
    while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
            return false;
    }
    return true;
}

// Applies `visit` to every record in order; stops at the end, at an error or when visit says so.
// Image descriptors have been read when the image callback runs; it must consume the image data.
template <class OnImage, class OnExtension>
void walk(GifFileType* gif, OnImage onImage, OnExtension onExtension)
{
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    while (DGifGetRecordType(gif, &type) != GIF_ERROR) {
        if (type == TERMINATE_RECORD_TYPE)
            return;
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR || !onImage())
                return;
        } else if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR || !onExtension(code, block))
                return;
        } else {
            return;
        }
    }
}

} // namespace

std::unique_ptr<GifDecoder> GifDecoder::open(std::span<const std::uint8_t> bytes)
{
    GifFile file(bytes);
    if (!file.gif)
        return nullptr;
    GifFileType* gif = file.gif;
    if (!pixelCountAllowed(std::uint32_t(gif->SWidth), std::uint32_t(gif->SHeight)))
        return nullptr;
    std::unique_ptr<GifDecoder> decoder(new GifDecoder());
    decoder->m_bytes = bytes;
    decoder->m_width = std::uint32_t(gif->SWidth);
    decoder->m_height = std::uint32_t(gif->SHeight);
    Frame pending;
    std::uint64_t area = 0;
    walk(
        gif,
        [&] {
            Frame f = pending;
            pending = Frame();
            f.left = gif->Image.Left;
            f.top = gif->Image.Top;
            f.width = gif->Image.Width;
            f.height = gif->Image.Height;
            f.interlaced = gif->Image.Interlace;
            if (!skipImageData(gif))
                return false;
            area += std::uint64_t(decoder->m_width) * decoder->m_height;
            if (area > maxAnimationPixels() || !pixelCountAllowed(std::uint32_t(std::max(f.width, 1)), std::uint32_t(std::max(f.height, 1))))
                return false;
            decoder->m_frames.push_back(f);
            return true;
        },
        [&](int code, GifByteType* block) {
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock gcb;
                if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
                    pending.delayCentiseconds = gcb.DelayTime;
                    pending.disposal = gcb.DisposalMode;
                    pending.transparentIndex = gcb.TransparentColor;
                }
            } else if (code == APPLICATION_EXT_FUNC_CODE && block && block[0] == 11
                && (std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 || std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0)) {
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                    return false;
                if (block && block[0] >= 3 && block[1] == 1)
                    decoder->m_loopCount = int(block[2] | block[3] << 8);
            }
            return skipExtension(gif, block);
        });
    return decoder;
}

CGImageRef GifDecoder::frameImage(std::size_t index)
{
    if (index >= m_frames.size())
        return nil;
    if (index >= m_composed.size() && !composeUpTo(index))
        return nil;
    return m_composed[index];
}

bool GifDecoder::composeUpTo(std::size_t target)
{
    if (m_failed)
        return false;
    GifFile file(m_bytes);
    if (!file.gif) {
        m_failed = true;
        return false;
    }
    GifFileType* gif = file.gif;
    const std::size_t w = m_width, h = m_height;
    // The canvas holds what the previous frame left, after its disposal.
    std::vector<std::uint32_t> canvas(w * h, 0);
    if (!m_composed.empty()) {
        const auto& last = m_composed.back();
        std::memcpy(canvas.data(), last->bytes(), w * h * 4);
    }
    std::vector<std::uint32_t> saved;
    std::vector<GifByteType> line;
    std::size_t imageIndex = 0;
    bool ok = true;

    auto disposeOf = [&](std::size_t i) {
        const Frame& f = m_frames[i];
        if (f.disposal == DISPOSE_BACKGROUND) {
            for (int y = std::max(0, f.top); y < std::min<int>(int(h), f.top + f.height); ++y)
                for (int x = std::max(0, f.left); x < std::min<int>(int(w), f.left + f.width); ++x)
                    canvas[std::size_t(y) * w + std::size_t(x)] = 0;
        } else if (f.disposal == DISPOSE_PREVIOUS && saved.size() == canvas.size()) {
            canvas = saved;
        }
    };
    // Resuming after frame k: the canvas copy is frame k as shown; apply its disposal first. A
    // restore-to-previous disposal needs the canvas before frame k, which is frame k - 1 undisposed,
    // so start over in that case.
    if (!m_composed.empty() && m_frames[m_composed.size() - 1].disposal == DISPOSE_PREVIOUS) {
        m_composed.clear();
        std::fill(canvas.begin(), canvas.end(), 0);
    }
    if (!m_composed.empty())
        disposeOf(m_composed.size() - 1);

    walk(
        gif,
        [&] {
            const std::size_t i = imageIndex++;
            if (i < m_composed.size() || i > target)
                return skipImageData(gif) && i < target;
            const Frame& f = m_frames[i];
            const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
            if (f.disposal == DISPOSE_PREVIOUS)
                saved = canvas;
            line.assign(std::size_t(std::max(f.width, 1)), 0);
            static const int passStart[] = {0, 4, 2, 1};
            static const int passStep[] = {8, 8, 4, 2};
            int pass = 0, row = 0;
            for (int n = 0; n < f.height; ++n) {
                if (DGifGetLine(gif, line.data(), f.width) == GIF_ERROR)
                    break; // keep the rows decoded so far
                int y = n;
                if (f.interlaced) {
                    while (pass < 4 && row >= f.height) {
                        ++pass;
                        if (pass < 4)
                            row = passStart[pass];
                    }
                    y = row;
                    row += passStep[std::min(pass, 3)];
                }
                const int cy = f.top + y;
                if (cy < 0 || cy >= int(h) || !map)
                    continue;
                for (int x = 0; x < f.width; ++x) {
                    const int cx = f.left + x;
                    if (cx < 0 || cx >= int(w))
                        continue;
                    const int index = line[std::size_t(x)];
                    if (index == f.transparentIndex || index >= map->ColorCount)
                        continue;
                    const GifColorType& c = map->Colors[index];
                    canvas[std::size_t(cy) * w + std::size_t(cx)] = 0xFF000000u | std::uint32_t(c.Red) << 16 | std::uint32_t(c.Green) << 8 | c.Blue;
                }
            }
            std::vector<std::uint8_t> pixels(w * h * 4);
            std::memcpy(pixels.data(), canvas.data(), pixels.size());
            auto image = dv::makeImage(w, h, 8, 32, w * 4, CGColorSpaceCreateDeviceRGB(),
                kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, std::move(pixels));
            if (!image) {
                ok = false;
                return false;
            }
            m_composed.push_back(image);
            if (i == target)
                return false;
            disposeOf(i);
            return true;
        },
        [&](int, GifByteType* block) { return skipExtension(gif, block); });
    if (!ok || m_composed.size() <= target) {
        m_failed = !ok;
        return false;
    }
    return true;
}

} // namespace dv::internal
