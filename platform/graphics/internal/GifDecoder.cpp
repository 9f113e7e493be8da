#include "platform/graphics/internal/GifDecoder.h"

#include "platform/graphics/internal/ImageLimits.h"
#include "platform/graphics/internal/PixelBuffer.h"

#include <gif_lib.h>

#include <cstring>

namespace dv::internal::graphics {

namespace {

// The compressed data cannot stand for more than about this many pixels per byte: a code stands
// for at most 4096 of them, and codes for long runs have twelve bits.
constexpr std::uint64_t kMostPixelsPerByte = 8 * 4096 / 12;

struct Reader {
    std::span<const std::uint8_t> bytes;
    std::size_t position = 0;
    bool ranOut = false; // a read asked for more than has arrived
};

int readFromMemory(GifFileType* gif, GifByteType* out, int length)
{
    auto* r = static_cast<Reader*>(gif->UserData);
    if (length <= 0)
        return 0;
    const std::size_t left = r->bytes.size() - std::min(r->position, r->bytes.size());
    const std::size_t n = std::min<std::size_t>(std::size_t(length), left);
    std::memcpy(out, r->bytes.data() + r->position, n);
    r->position += n;
    if (n < std::size_t(length))
        r->ranOut = true;
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

// Reads past a frame's compressed data, counting its bytes.
bool skipImageData(GifFileType* gif, std::uint64_t& bytes)
{
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR)
        return false;
    while (block) {
        bytes += block[0];
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

} // namespace

std::optional<ImageHeader> gifReadScreen(std::span<const std::uint8_t> bytes)
{
    // The signature; the screen's width and height, little-endian, its flags, background and
    // aspect; the global colour table when the flags say so; then an extension, an image or the
    // trailer.
    constexpr std::size_t kScreenEnd = 13;
    if (bytes.size() <= kScreenEnd || (std::memcmp(bytes.data(), "GIF87a", 6) != 0 && std::memcmp(bytes.data(), "GIF89a", 6) != 0))
        return std::nullopt;
    const std::uint8_t flags = bytes[10];
    const std::size_t table = (flags & 0x80) ? 3u << ((flags & 0x07) + 1) : 0;
    if (bytes.size() <= kScreenEnd + table)
        return std::nullopt;
    const std::uint8_t next = bytes[kScreenEnd + table];
    if (next != 0x21 && next != 0x2C && next != 0x3B)
        return std::nullopt;
    ImageHeader h;
    h.width = std::uint32_t(bytes[6] | bytes[7] << 8);
    h.height = std::uint32_t(bytes[8] | bytes[9] << 8);
    h.hasAlpha = true;
    if (h.width == 0 || h.height == 0)
        return std::nullopt;
    return h;
}

void GifDecoder::update(std::span<const std::uint8_t> bytes, bool final)
{
    m_bytes = bytes;
    m_final = final;
    if (!m_damaged && !m_ended)
        readRecords();
}

// Reads the records that have arrived whole since the last call; a record cut off by the end of
// the data is read again from its start next time.
void GifDecoder::readRecords()
{
    GifFile file(m_bytes);
    if (!file.gif) {
        if (!file.reader.ranOut)
            m_damaged = true;
        return;
    }
    GifFileType* gif = file.gif;
    if (!m_haveScreen) {
        if (!pixelCountAllowed(std::uint32_t(gif->SWidth), std::uint32_t(gif->SHeight))) {
            m_damaged = true;
            return;
        }
        m_width = std::uint32_t(gif->SWidth);
        m_height = std::uint32_t(gif->SHeight);
        m_haveScreen = true;
        m_resume = file.reader.position;
    }
    const std::uint64_t screen = std::uint64_t(m_width) * m_height;
    file.reader.position = m_resume;
    // A failure because the data ran out waits for more; any other is damage.
    auto fail = [&] {
        if (!file.reader.ranOut)
            m_damaged = true;
    };
    for (;;) {
        const std::size_t start = file.reader.position;
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return fail();
        if (type == TERMINATE_RECORD_TYPE) {
            m_ended = true;
            return;
        }
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR)
                return fail();
            Frame f = m_pending;
            f.left = gif->Image.Left;
            f.top = gif->Image.Top;
            f.width = gif->Image.Width;
            f.height = gif->Image.Height;
            f.interlaced = gif->Image.Interlace;
            f.offset = start;
            std::uint64_t compressed = 0;
            if (!skipImageData(gif, compressed))
                return fail();
            m_pending = Frame();
            const std::uint64_t area = std::uint64_t(std::max(f.width, 1)) * std::uint64_t(std::max(f.height, 1));
            m_largestFrame = std::max(m_largestFrame, std::min(area, screen));
            if (!pixelCountAllowed(std::uint32_t(std::max(f.width, 1)), std::uint32_t(std::max(f.height, 1)))
                || area > compressed * kMostPixelsPerByte + 4096 || !canvasFilledByFrames(screen, m_largestFrame)) {
                m_damaged = true;
                return;
            }
            if (m_omitted == 0 && m_area + screen <= maxAnimationPixels()) {
                m_area += screen;
                m_frames.push_back(f);
            } else {
                ++m_omitted;
            }
        } else if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
                return fail();
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock gcb;
                if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
                    m_pending.delayCentiseconds = gcb.DelayTime;
                    m_pending.disposal = gcb.DisposalMode;
                    m_pending.transparentIndex = gcb.TransparentColor;
                }
            } else if (code == APPLICATION_EXT_FUNC_CODE && block && block[0] == 11
                && (std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 || std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0)) {
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                    return fail();
                if (block && block[0] >= 3 && block[1] == 1)
                    m_loopCount = int(block[2] | block[3] << 8);
            }
            if (!skipExtension(gif, block))
                return fail();
        } else {
            m_damaged = true;
            return;
        }
        m_resume = file.reader.position;
    }
}

StreamState GifDecoder::state()
{
    if (m_damaged)
        return StreamState::Damaged;
    if (m_ended)
        return StreamState::Complete;
    if (m_final)
        return StreamState::Truncated;
    return m_haveScreen ? StreamState::Partial : StreamState::Header;
}

std::optional<ImageHeader> GifDecoder::header() const
{
    if (!m_haveScreen)
        return std::nullopt;
    ImageHeader h;
    h.width = m_width;
    h.height = m_height;
    h.hasAlpha = true;
    return h;
}

double GifDecoder::delaySeconds(std::size_t index) const
{
    return index < m_frames.size() ? m_frames[index].delayCentiseconds / 100.0 : 0;
}

CGImageRef GifDecoder::image(std::size_t index)
{
    if (index >= m_frames.size())
        return nil;
    if (index >= m_composed.size() && !composeUpTo(index))
        return nil;
    return m_composed[index];
}

bool GifDecoder::composeUpTo(std::size_t target)
{
    if (m_composeFailed)
        return false;
    GifFile file(m_bytes);
    if (!file.gif) {
        m_composeFailed = true;
        return false;
    }
    GifFileType* gif = file.gif;
    const std::size_t w = m_width, h = m_height, size = w * h * 4;
    // What a frame restored to what was before it is not kept: compose that from the start.
    if (!m_composed.empty() && m_frames[m_composed.size() - 1].disposal == DISPOSE_PREVIOUS)
        m_composed.clear();
    std::vector<std::uint32_t> before; // the canvas under a frame that restores it
    std::vector<GifByteType> line;
    for (std::size_t i = m_composed.size(); i <= target; ++i) {
        auto canvas = PixelBuffer::zeroed(size);
        if (!canvas) {
            m_composeFailed = true;
            return false;
        }
        auto* px = reinterpret_cast<std::uint32_t*>(canvas->data());
        if (i > 0) {
            const Frame& previous = m_frames[i - 1];
            if (previous.disposal == DISPOSE_PREVIOUS && before.size() == w * h) {
                std::memcpy(px, before.data(), size);
            } else {
                std::memcpy(px, m_composed[i - 1]->bytes(), size);
                if (previous.disposal == DISPOSE_BACKGROUND) {
                    for (int y = std::max(0, previous.top); y < std::min<int>(int(h), previous.top + previous.height); ++y)
                        for (int x = std::max(0, previous.left); x < std::min<int>(int(w), previous.left + previous.width); ++x)
                            px[std::size_t(y) * w + std::size_t(x)] = 0;
                }
            }
        }
        const Frame& f = m_frames[i];
        if (f.disposal == DISPOSE_PREVIOUS)
            before.assign(px, px + w * h);
        file.reader.position = f.offset;
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR || type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) == GIF_ERROR) {
            m_composeFailed = true;
            return false;
        }
        const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
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
                px[std::size_t(cy) * w + std::size_t(cx)] = 0xFF000000u | std::uint32_t(c.Red) << 16 | std::uint32_t(c.Green) << 8 | c.Blue;
            }
        }
        auto image = alloc<CGImage>()->initWithStorage(w, h, 8, 32, w * 4, CGColorSpaceCreateDeviceRGB(),
            kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, canvas);
        if (!image) {
            m_composeFailed = true;
            return false;
        }
        m_composed.push_back(image);
    }
    return true;
}

} // namespace dv::internal::graphics
