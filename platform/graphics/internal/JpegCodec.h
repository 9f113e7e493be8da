// JPEG through libjpeg's suspending reader: a stream that decodes rows as the data arrives
// (CMYK and YCCK converted to RGB), one-pass decoding, and encoding through TurboJPEG.
#pragma once

#include "platform/base/Result.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/internal/ImageStream.h"

#include <memory>
#include <span>
#include <vector>

namespace dv::internal::graphics {

// RGB images come as 32 bits per pixel in the drawing layout (alpha byte unused), grey ones as
// 8-bit grey. A single-scan JPEG gives the rows decoded so far; a progressive or multi-scan one
// refines the whole picture scan by scan, and a new refinement is drawn when asked for, once a
// scan has completed and the data has grown enough since the last one (so that drawing them
// costs a bounded share of the decoding). Recoverable damage inside the scan data is tolerated,
// as decoders do; a file whose data could not fill one bit per block of what it claims is
// refused before the decoder sizes its buffers for it. A multi-scan file's work is bounded by its
// blocks: a scan that adds nothing (a band sent again, bits refined that were not sent or were
// refined already), more scans than encoders write, or scans that together would step through
// the coefficients far more often than a progressive script does, make the file damaged as soon
// as the scan starts. The entropy-coded data is counted as it arrives and costs work too, so that
// the scans and their data together stay within a limit set by the image's blocks and pixels
// (about 0.8 s of decoding for the heaviest 4096 x 4096 file here); data that takes the work past
// it makes the file damaged before any of it is decoded. Arithmetic-coded files are refused. A
// stream that drops its pixels decodes only the entropy-coded data of a single-scan file's rows
// once all the data is there.
class JpegStream final : public ImageStream {
public:
    explicit JpegStream(PixelUse use = PixelUse::Keep);
    ~JpegStream() override;

    void update(std::span<const std::uint8_t> bytes, bool final) override;
    StreamState state() override;
    std::size_t count() const override;
    std::optional<ImageHeader> header() const override;
    CGImageRef image(std::size_t index) override;
    bool imageComplete(std::size_t index) override;
    bool keptImageAnyway() const override;

    struct Decoder;

private:
    std::unique_ptr<Decoder> m_decoder;
};

// What JPEG decoding has done on the calling thread, for tests and benchmarks that count work
// rather than time.
struct JpegWork {
    std::uint64_t scansAbsorbed = 0; // scans of multi-scan files decoded into their coefficients
    std::uint64_t rowsMade = 0;      // rows made into pixels, by single-scan decoding or output passes
    std::uint64_t rowsSkipped = 0;   // single-scan rows whose data was decoded but made no pixels
    std::uint64_t stepsCounted = 0;  // the work counted against the limits: scans' steps, and data
};
JpegWork& jpegWork();
// The work that a JPEG's scans and their data may cost together, in coefficient steps: `blocks` is
// the frame's blocks of every component as sampled, `pixels` its width times its height.
std::uint64_t jpegWorkLimit(std::uint64_t blocks, std::uint64_t pixels);
// What so many bytes of entropy-coded data count for.
std::uint64_t jpegScanDataWork(std::uint64_t bytes, bool progressive);

// nil unless every row decodes from data that arrived whole.
CGImageRef jpegDecode(std::span<const std::uint8_t> bytes);
// quality 1...100; exifOrientation 0 or 1 writes no EXIF block.
Result<std::vector<std::uint8_t>> jpegEncode(const CGImageRef& image, int quality, int exifOrientation);

} // namespace dv::internal::graphics
