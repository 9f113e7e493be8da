// Decoding an image file as its bytes arrive. A stream is handed everything received so far each
// time more arrives, keeps its decoder's state between calls (so each byte is decoded once), and
// answers what it knows: the header, the images it can give now, whole or partial, and how far
// the data went. The image source owns one per data; UIImage runs one over complete data. Not
// thread-safe: the owner serialises calls.
#pragma once

#include "platform/graphics/CGImage.h"
#include "platform/graphics/internal/ImageFormat.h"

#include <memory>
#include <optional>
#include <span>

namespace dv::internal::graphics {

class PixelBuffer;

// What a stream does with the pixels it decodes: keeps them for the images it gives, or drops
// each row once decoded, when only the verdict on the data is wanted (the image source's status).
enum class PixelUse { Keep, Discard };

enum class StreamState {
    Header,    // not enough bytes for the header yet
    Partial,   // header known, more data expected
    Complete,  // everything decoded and the file ended where it should
    Truncated, // the data ended before the file did
    Damaged,   // corrupt data, or data that cannot fill what its header claims
};

class ImageStream {
public:
    virtual ~ImageStream() = default;
    // nil for formats that are recognised only. A stream that discards its pixels answers state()
    // as one that keeps them would and gives no images; a format whose decoder cannot work row by
    // row (BMP, icons) decodes whole for its state and lets the pixels go with the stream.
    static std::unique_ptr<ImageStream> make(ImageFormat format, PixelUse use = PixelUse::Keep);

    // True when the stream reads earlier bytes again later, so that its owner must keep every
    // byte and pass the same bytes again; such a stream reads only the structure in update() and
    // decodes pixels when they are asked for. Otherwise the stream decodes in update() and keeps
    // only what it still needs, and the bytes may go once update() returns.
    virtual bool keepsInput() const { return false; }
    // `bytes` is everything received so far; it begins with what the previous call had. `final`
    // says that nothing more will come.
    virtual void update(std::span<const std::uint8_t> bytes, bool final) = 0;

    // How far the data went; a stream that decodes on request decodes what it has to tell.
    virtual StreamState state() = 0;
    // Images that can be asked for: the frames fully received of an animation; 1 for a still
    // image once its header has arrived, unless the data has been found damaged.
    virtual std::size_t count() const = 0;
    virtual std::optional<ImageHeader> header() const = 0;
    // A still image's rows decoded so far (an image only as high as they are, over the decoder's
    // own rows), a progressive image's latest refinement, or a composed frame. nil when nothing
    // can be shown yet.
    virtual CGImageRef image(std::size_t index) = 0;
    // Whether image(index) is whole: every row decoded from data that arrived undamaged.
    virtual bool imageComplete(std::size_t index) = 0;

    virtual bool animated() const { return false; }
    virtual double delaySeconds(std::size_t) const { return 0; }
    virtual std::optional<int> loopCount() const { return std::nullopt; }
    // Frames left out because the animation would need more memory than allowed.
    virtual std::size_t framesOmitted() const { return 0; }
    // Whether a stream made to discard its pixels has kept all the same what its image is made of
    // (a progressive or multi-scan JPEG keeps every scan's coefficients, and only the output pass
    // makes pixels): its owner may then ask it for the image as it would a stream that keeps them.
    virtual bool keptImageAnyway() const { return false; }
};

// The rows of a still image as a decoder fills them top to bottom. The storage is reserved for the
// whole image but takes memory only as rows are written; image() answers an image over the rows
// finished so far, sharing them, and nothing ever shows the rows below. A finished row is never
// written again, so those images stay unchanged while decoding goes on below them.
class RowCanvas {
public:
    struct Layout {
        std::size_t width = 0, height = 0;
        std::size_t bitsPerComponent = 8, bitsPerPixel = 32, bytesPerRow = 0;
        CGColorSpaceRef space;
        CGBitmapInfo bitmapInfo = 0;
    };

    // Rows are written into the same few rows of memory, over and over, and no image is ever made
    // of them: for a decoder that only checks its data. Set before reserve().
    void discardRows() { m_discard = true; }
    bool discardsRows() const { return m_discard; }
    // `rowsAtOnce` is the most rows the decoder asks for in one call of rows(): a canvas that
    // discards its rows holds that many (or the whole image, if fewer). False when the memory
    // cannot be had.
    [[nodiscard]] bool reserve(Layout layout, std::size_t rowsAtOnce = 1);
    bool reserved() const { return m_buffer != nullptr; }
    const Layout& layout() const { return m_layout; }
    // `count` rows from `y` on, one after another in memory (bytesPerRow apart), count at most
    // rowsAtOnce and y + count at most the height. A canvas that discards its rows answers the
    // same memory for every y.
    std::uint8_t* rows(std::size_t y, std::size_t count);
    std::uint8_t* row(std::size_t y) { return rows(y, 1); }
    void setRowsDone(std::size_t rows);
    std::size_t rowsDone() const { return m_rowsDone; }
    CGImageRef image();

private:
    Layout m_layout;
    std::shared_ptr<PixelBuffer> m_buffer;
    std::size_t m_rowsAtOnce = 1;
    std::size_t m_rowsDone = 0;
    CGImageRef m_image; // over m_rowsDone rows
    bool m_discard = false;
};

// Whether a canvas of `canvasPixels` is backed by frames of which the largest has `framePixels`:
// an animation's frames may leave a margin of their screen empty, but a screen far larger than
// anything its data draws is refused rather than allocated.
bool canvasFilledByFrames(std::uint64_t canvasPixels, std::uint64_t framePixels);

} // namespace dv::internal::graphics
