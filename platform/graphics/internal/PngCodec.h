// PNG through libpng: a stream over libpng's progressive reader (8 and 16 bits, palette, grey,
// tRNS, interlacing), header facts, one-pass decoding and encoding.
#pragma once

#include "platform/base/Result.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/internal/ImageStream.h"

#include <optional>
#include <span>

namespace dv::internal::graphics {

// Rows land in a RowCanvas as the compressed data arrives, in the layout the file needs: grey or
// RGB, with alpha when the file has any, 8 or 16 bits. Checksums are verified: a damaged chunk
// makes the whole image damaged. An interlaced image shows nothing until its last pass is done.
class PngStream final : public ImageStream {
public:
    explicit PngStream(PixelUse use = PixelUse::Keep);
    ~PngStream() override;

    void update(std::span<const std::uint8_t> bytes, bool final) override;
    StreamState state() override;
    std::size_t count() const override;
    std::optional<ImageHeader> header() const override;
    CGImageRef image(std::size_t index) override;
    bool imageComplete(std::size_t index) override;

    struct Reader;

private:
    std::unique_ptr<Reader> m_reader;
    std::size_t m_received = 0;
    bool m_final = false;
};

// Header facts from the first bytes: IHDR, checked for a valid size, depth and colour type, and
// whether a tRNS chunk comes before the image data. nil otherwise.
std::optional<ImageHeader> pngReadHeader(std::span<const std::uint8_t> bytes);
// nil unless every row decodes from undamaged data.
CGImageRef pngDecode(std::span<const std::uint8_t> bytes);
// Straight RGBA (or RGB for an opaque image), 8 bits per sample.
Result<std::vector<std::uint8_t>> pngEncode(const CGImageRef& image);

} // namespace dv::internal::graphics
