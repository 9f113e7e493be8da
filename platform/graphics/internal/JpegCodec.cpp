#include "platform/graphics/internal/JpegCodec.h"

#include "platform/graphics/internal/ImageLimits.h"
#include "platform/graphics/internal/JpegMarkers.h"
#include "platform/graphics/internal/PixelBuffer.h"

#include <turbojpeg.h>

#include <array>
#include <cstdio>
#include <csetjmp>
#include <cstring>
#include <jpeglib.h>
#include <jerror.h>

namespace dv::internal::graphics {

namespace {

// One compressor per thread: creating one costs more than encoding a small image. A handle that
// has failed can keep stale state, so it is replaced after any failure.
struct TurboCompressor {
    tjhandle handle = tjInitCompress();
    ~TurboCompressor()
    {
        if (handle)
            tjDestroy(handle);
    }
    void renew()
    {
        if (handle)
            tjDestroy(handle);
        handle = tjInitCompress();
    }
};

TurboCompressor& compressor()
{
    thread_local TurboCompressor h;
    return h;
}

// CMYK samples to the drawing layout (B, G, R, unused). Adobe files store the inks inverted;
// others store them plainly.
void cmykToBGRX(std::uint8_t* px, std::size_t count, bool inverted)
{
    for (std::size_t i = 0; i < count; ++i, px += 4) {
        unsigned c = px[0], m = px[1], y = px[2], k = px[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        px[0] = std::uint8_t((y * k + 127) / 255);
        px[1] = std::uint8_t((m * k + 127) / 255);
        px[2] = std::uint8_t((c * k + 127) / 255);
        px[3] = 255;
    }
}

// Rows asked of libjpeg in one call.
constexpr JDIMENSION kRowsAtOnce = 16;

// The work of a multi-scan file is bounded by its blocks, scan by scan as each one starts, so that
// a small file cannot make the decoder pass over a large image again and again. Encoders write a
// few scans per component (libjpeg's own progressive scripts: 6 for grey, 10 for YCbCr, 18 for
// four components); more than this many per component is refused.
constexpr int kMaxScansPerComponent = 16;
// Work is counted in coefficient steps: each block a scan covers costs a visit, worth this many
// steps; a refinement scan also steps through every coefficient of its band in every block, even
// one whose data is a single end-of-band run; a restart marker costs about as much as a visit.
constexpr std::uint64_t kStepsPerVisit = 16;
constexpr std::uint64_t kStepsPerRestart = 32;
// What all scans together may cost, per block of the image (libjpeg's progressive scripts cost
// about 220: two refinements over 63 coefficients and six visits, and up to 410 with a restart
// marker after every MCU), beside the cost of a few blocks for any image, so that tiny ones, whose
// interleaved scans cover as many padding blocks as real ones, are not refused for it.
constexpr std::uint64_t kStepsPerImageBlock = 512;
constexpr std::uint64_t kStepsForAnyImage = 16 * kStepsPerImageBlock;

// The entropy-coded data is work too, counted as it arrives. libjpeg decodes a progressive file's
// bit by bit, at up to 30 ns a byte here (40 steps); a sequential file's at about 5 ns a byte, but
// the image source's status decodes a single-scan file's data once more (without the pixels) before
// its image, and a byte of it counts for both (24 steps).
constexpr std::uint64_t kStepsPerProgressiveByte = 40;
constexpr std::uint64_t kStepsPerSequentialByte = 24;
// What the scans and their data together may cost, per block: libjpeg's progressive script with 32
// bytes of data per block (4 bits per sample; photographs at quality 100 without subsampling take 2
// to 3, noise at quality 100 more than 5), a single-scan file 62. But an image of up to 4096 x 4096
// pixels may cost no more in all than 50 steps per pixel of 4096 x 4096 (about 0.8 s of decoding
// here), and a larger one no more per pixel. That leaves a 4096 x 4096 CMYK file without
// subsampling (a million blocks) 800 steps per block: libjpeg's progressive script with 14.5 bytes
// of data per block, a single-scan file 33; YCbCr without subsampling 1067 steps per block, 21
// bytes and 44. Progressive photographs that large at quality 100 are refused: libjpeg cannot
// decode them within a second.
constexpr std::uint64_t kWorkPerImageBlock = 1500;
constexpr std::uint64_t kWorkPerPixel = 50;
constexpr std::uint64_t kPixelsOfFullWork = 4096 * 4096;
constexpr std::uint64_t kWorkForAnyImage = 16 * kWorkPerImageBlock;

} // namespace

JpegWork& jpegWork()
{
    thread_local JpegWork work;
    return work;
}

std::uint64_t jpegWorkLimit(std::uint64_t blocks, std::uint64_t pixels)
{
    return std::min(kWorkPerImageBlock * blocks, kWorkPerPixel * std::max(pixels, kPixelsOfFullWork)) + kWorkForAnyImage;
}

std::uint64_t jpegScanDataWork(std::uint64_t bytes, bool progressive)
{
    return bytes * (progressive ? kStepsPerProgressiveByte : kStepsPerSequentialByte);
}

// libjpeg's decompressor and everything it is fed. All C++ state lives here, outside the frames
// that call setjmp, so that a longjmp out of libjpeg skips no destructor.
struct JpegStream::Decoder {
    struct Error {
        jpeg_error_mgr manager;
        std::jmp_buf jump;
        Decoder* owner;
    };
    struct Source {
        jpeg_source_mgr manager;
        Decoder* owner;
        bool endsAtData = false; // the data is all there: past it comes an end marker
        bool ended = false;      // and libjpeg asked for more: the data stopped short
    };

    jpeg_decompress_struct info {};
    Error error {};
    Source source {};
    bool alive = false;
    static constexpr int kFailed = 1, kCutShort = 2;

    std::vector<std::uint8_t> pending; // handed to libjpeg and not consumed yet
    std::size_t received = 0;          // bytes of input seen
    std::size_t skip = 0;              // bytes libjpeg skips that have not arrived yet
    std::vector<std::uint8_t> head;    // the first bytes, kept until the frame header is read
    std::optional<JpegMarkers> markers;
    JpegScanDataCounter scanData; // counted as the bytes arrive
    bool final = false;

    enum class Phase { Header, Start, Rows, Finish, Scans, Done };
    Phase phase = Phase::Header;
    bool damaged = false;
    bool truncated = false; // the data ended before the file did
    bool cmyk = false;
    bool multiScan = false;
    RowCanvas canvas; // single-scan files
    RowCanvas::Layout layout;

    // Multi-scan files: each scan is admitted (admitScan) before its data is decoded.
    int scansAdmitted = 0;
    std::uint64_t steps = 0;
    // Per component and coefficient, the last successive-approximation bit sent; -1 before its first
    // scan. A sequential file's components are each sent once.
    std::array<std::array<int, DCTSIZE2>, 4> coefficientBits = [] {
        std::array<std::array<int, DCTSIZE2>, 4> bits;
        for (auto& component : bits)
            component.fill(-1);
        return bits;
    }();
    unsigned sequentialSent = 0;

    // Multi-scan files: scans are absorbed as they arrive; output passes run on request.
    int scansDone = 0;
    bool inputDone = false;
    bool outputOpen = false;
    int shownScan = 0;
    std::size_t receivedAtShown = 0;
    CGImageRef shown;
    std::shared_ptr<PixelBuffer> output; // under `shown`
    std::shared_ptr<PixelBuffer> spare;  // under the refinement before, reused once no image shows it

    Decoder()
    {
        info.err = jpeg_std_error(&error.manager);
        error.owner = this;
        error.manager.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<Error*>(c->err)->jump, kFailed); };
        // The scan data ran into a marker before it covered the image: the rest would be made up.
        // A single-scan decoder stops there, so that memory follows the data, not the header; a
        // multi-scan one finishes the scan as libjpeg does (its buffers are sized already). A
        // restart marker met early is damage that libjpeg recovers from, with more data behind.
        // A scan that refines bits its coefficients do not have yet, or have had refined already,
        // adds nothing to the picture (libjpeg would decode it all the same): the file is damaged.
        // Libjpeg's other warnings leave work bounded by the data or by the blocks of the scan
        // (bad codes decode as zeros, a missing restart marker is resynchronised at the next) and
        // are tolerated as decoders do.
        error.manager.emit_message = [](j_common_ptr c, int level) {
            auto* e = reinterpret_cast<Error*>(c->err);
            if (level < 0 && c->err->msg_code == JWRN_BOGUS_PROGRESSION)
                std::longjmp(e->jump, kFailed);
            const int marker = reinterpret_cast<j_decompress_ptr>(c)->unread_marker;
            const bool restart = marker >= 0xD0 && marker <= 0xD7;
            if (level < 0 && c->err->msg_code == JWRN_HIT_MARKER && !restart) {
                e->owner->truncated = true;
                if (!e->owner->multiScan)
                    std::longjmp(e->jump, kCutShort);
            }
        };
        jpeg_create_decompress(&info);
        alive = true;
        source.owner = this;
        source.manager.init_source = [](j_decompress_ptr) { };
        source.manager.term_source = [](j_decompress_ptr) { };
        // Out of data: suspend; the next update brings more. Where libjpeg cannot suspend, the data
        // ends as a file does, which libjpeg takes for data cut short (a whole file ends in a marker
        // that libjpeg reads only once it is done with the rows).
        source.manager.fill_input_buffer = [](j_decompress_ptr c) -> boolean {
            auto* s = reinterpret_cast<Source*>(c->src);
            if (!s->endsAtData)
                return FALSE;
            s->ended = true;
            s->owner->truncated = true;
            static const std::uint8_t kEnd[] = {0xFF, 0xD9};
            s->manager.next_input_byte = kEnd;
            s->manager.bytes_in_buffer = sizeof kEnd;
            return TRUE;
        };
        source.manager.skip_input_data = [](j_decompress_ptr c, long count) {
            auto* s = reinterpret_cast<Source*>(c->src);
            if (count <= 0)
                return;
            if (std::size_t(count) > s->manager.bytes_in_buffer) {
                s->owner->skip += std::size_t(count) - s->manager.bytes_in_buffer;
                s->manager.next_input_byte += s->manager.bytes_in_buffer;
                s->manager.bytes_in_buffer = 0;
                return;
            }
            s->manager.next_input_byte += count;
            s->manager.bytes_in_buffer -= std::size_t(count);
        };
        source.manager.resync_to_restart = jpeg_resync_to_restart;
        info.src = &source.manager;
    }
    ~Decoder() { release(); }

    // Frees libjpeg's buffers once the image is whole or the data damaged.
    void release()
    {
        if (alive)
            jpeg_destroy_decompress(&info);
        alive = false;
        pending = {};
        spare = nullptr;
    }

    std::size_t totalBlocks() const
    {
        std::size_t n = 0;
        for (int i = 0; i < info.num_components; ++i)
            n += std::size_t(info.comp_info[i].width_in_blocks) * info.comp_info[i].height_in_blocks;
        return n;
    }
    std::size_t fewestBlocks() const
    {
        std::size_t n = SIZE_MAX;
        for (int i = 0; i < info.num_components; ++i)
            n = std::min(n, std::size_t(info.comp_info[i].width_in_blocks) * info.comp_info[i].height_in_blocks);
        return n;
    }

    // The steps of the scans admitted so far and the data counted so far, against the image's limit.
    std::uint64_t work() const { return steps + jpegScanDataWork(scanData.bytes(), scanData.progressive()); }
    bool workAllowed() const { return work() <= jpegWorkLimit(scanData.blocks(), scanData.pixels()); }

    void readHeader();
    bool admitScan();
    void start();
    void readRows();
    void absorbScans();
    bool outputPass(int scan);
    void advance();

    // Runs `step` on the unconsumed bytes (the caller's own when nothing is pending), then keeps
    // what libjpeg left unconsumed. False when libjpeg failed.
    template <class Step>
    bool run(std::span<const std::uint8_t> fresh, Step step);
};

void JpegStream::Decoder::readHeader()
{
    const int result = jpeg_read_header(&info, TRUE);
    if (result == JPEG_SUSPENDED)
        return;
    // Arithmetic-coded files are refused: no camera or common encoder writes them, and their
    // decoding costs about ten times what Huffman-coded data of the same size does (a 12 MB grey
    // 4096 x 4096 file takes seconds), while a scan of a few bytes can still make the decoder
    // step through every coefficient of every block. More than four components never convert.
    if (result != JPEG_HEADER_OK || !pixelCountAllowed(info.image_width, info.image_height) || info.arith_code
        || info.num_components > int(coefficientBits.size())) {
        damaged = true;
        return;
    }
    cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGRX;
    multiScan = jpeg_has_multiple_scans(&info);
    info.buffered_image = multiScan;
    phase = Phase::Start;
}

// Called once the header of a scan is read and before its data is decoded (libjpeg reads a scan's
// header in the call after the previous scan's data, or while it finishes an output pass). False
// for a scan that sends a band of coefficients again, a component of a sequential file again, one
// scan too many, or work past the image's budget.
bool JpegStream::Decoder::admitScan()
{
    if (info.input_scan_number <= scansAdmitted)
        return true;
    scansAdmitted = info.input_scan_number;
    if (scansAdmitted > kMaxScansPerComponent * info.num_components)
        return false;
    for (int i = 0; i < info.comps_in_scan; ++i) {
        const int component = info.cur_comp_info[i]->component_index;
        if (!info.progressive_mode) {
            if (sequentialSent & (1u << component))
                return false;
            sequentialSent |= 1u << component;
            continue;
        }
        // libjpeg has refused a refinement of bits not sent (a bogus progression); a first scan
        // of a band already sent it takes without a word.
        auto& bits = coefficientBits[std::size_t(component)];
        for (int k = std::max(info.Ss, 0); k <= std::min(info.Se, DCTSIZE2 - 1); ++k) {
            if (info.Ah == 0 && bits[std::size_t(k)] >= 0)
                return false;
            bits[std::size_t(k)] = info.Al;
        }
    }
    const std::uint64_t stepsBefore = steps;
    const std::uint64_t mcus = std::uint64_t(info.MCUs_per_row) * info.MCU_rows_in_scan;
    std::uint64_t perBlock = kStepsPerVisit;
    if (!info.progressive_mode)
        perBlock += DCTSIZE2;
    else if (info.Ss > 0 && info.Ah > 0)
        perBlock += std::uint64_t(info.Se - info.Ss + 1);
    steps += mcus * std::uint64_t(info.blocks_in_MCU) * perBlock;
    if (info.restart_interval > 0)
        steps += (mcus + info.restart_interval - 1) / info.restart_interval * kStepsPerRestart;
    jpegWork().stepsCounted += steps - stepsBefore;
    return steps <= kStepsPerImageBlock * totalBlocks() + kStepsForAnyImage && workAllowed();
}

void JpegStream::Decoder::start()
{
    // Every block takes at least one bit of the first scan that covers it.
    const std::size_t available = source.manager.bytes_in_buffer;
    if (final && available * 8 < totalBlocks()) {
        damaged = true;
        return;
    }
    // A multi-scan file's coefficient buffer is made for the whole image at once: wait until the
    // data could fill at least the first scan of one component.
    if (!final && info.buffered_image && available * 8 < fewestBlocks())
        return;
    if (!jpeg_start_decompress(&info))
        return;
    const bool grey = info.out_color_space == JCS_GRAYSCALE;
    if (info.output_components != (grey ? 1 : 4)) {
        damaged = true;
        return;
    }
    layout.width = info.output_width;
    layout.height = info.output_height;
    layout.bitsPerComponent = 8;
    layout.bitsPerPixel = grey ? 8 : 32;
    layout.bytesPerRow = layout.width * (grey ? 1 : 4);
    layout.space = grey ? CGColorSpaceCreateDeviceGray() : CGColorSpaceCreateDeviceRGB();
    layout.bitmapInfo = grey ? CGBitmapInfo(kCGImageAlphaNone) : kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder32Little;
    phase = multiScan ? Phase::Scans : Phase::Rows;
}

void JpegStream::Decoder::readRows()
{
    // libjpeg hands back as many rows as a component is sampled vertically (up to four) at once,
    // and every one of them is converted: the canvas holds all the rows asked for, even when it
    // drops them.
    if (!canvas.reserved() && !canvas.reserve(layout, kRowsAtOnce)) {
        damaged = true;
        return;
    }
    // Rows that are dropped, from all the data there is: only their entropy-coded data is decoded
    // (libjpeg skips the rest of the work), up to the last row; damage and data cut short are
    // found as in decoding them.
    if (canvas.discardsRows() && final && info.output_scanline + 1 < info.output_height) {
        source.endsAtData = true;
        const JDIMENSION skipped = jpeg_skip_scanlines(&info, info.output_height - 1 - info.output_scanline);
        source.endsAtData = false;
        jpegWork().rowsSkipped += skipped;
        canvas.setRowsDone(info.output_scanline);
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[kRowsAtOnce];
        const JDIMENSION first = info.output_scanline;
        const JDIMENSION want = std::min<JDIMENSION>(kRowsAtOnce, info.output_height - first);
        std::uint8_t* band = canvas.rows(first, want);
        for (JDIMENSION i = 0; i < want; ++i)
            rows[i] = band + i * layout.bytesPerRow;
        const JDIMENSION got = jpeg_read_scanlines(&info, rows, want);
        if (cmyk)
            cmykToBGRX(band, std::size_t(got) * layout.width, info.saw_Adobe_marker);
        jpegWork().rowsMade += got;
        canvas.setRowsDone(info.output_scanline);
        if (got == 0)
            return; // suspended: the rest has not arrived
    }
    phase = Phase::Finish;
}

void JpegStream::Decoder::absorbScans()
{
    if (outputOpen) {
        if (!jpeg_finish_output(&info))
            return;
        outputOpen = false;
    }
    while (!inputDone) {
        if (!admitScan()) {
            damaged = true;
            return;
        }
        const int result = jpeg_consume_input(&info);
        if (result == JPEG_SUSPENDED)
            return;
        if (result == JPEG_SCAN_COMPLETED || result == JPEG_REACHED_EOI) {
            jpegWork().scansAbsorbed += std::uint64_t(info.input_scan_number - scansDone);
            scansDone = info.input_scan_number;
            inputDone = result == JPEG_REACHED_EOI;
        }
    }
}

bool JpegStream::Decoder::outputPass(int scan)
{
    if (outputOpen) {
        if (!jpeg_finish_output(&info))
            return false;
        outputOpen = false;
    }
    if (!jpeg_start_output(&info, scan))
        return false;
    // Each pass draws a new picture, into pixels that no image shows any more when there are
    // such: the last refinement's when its image has gone, else the one's before it. A caller
    // typically keeps showing one refinement while the next is drawn.
    const bool outputFree = output && shown && shown.use_count() == 1 && output.use_count() == 2;
    shown = nil;
    if (!outputFree) {
        auto before = std::move(output);
        if (spare && spare.use_count() == 1)
            output = std::move(spare);
        else
            output = PixelBuffer::uninitialised(layout.bytesPerRow * layout.height);
        spare = std::move(before);
    }
    if (!output) {
        damaged = true;
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[kRowsAtOnce];
        const JDIMENSION first = info.output_scanline;
        const JDIMENSION want = std::min<JDIMENSION>(kRowsAtOnce, info.output_height - first);
        for (JDIMENSION i = 0; i < want; ++i)
            rows[i] = output->data() + (first + i) * layout.bytesPerRow;
        const JDIMENSION got = jpeg_read_scanlines(&info, rows, want);
        if (cmyk)
            cmykToBGRX(rows[0], std::size_t(got) * layout.width, info.saw_Adobe_marker);
        jpegWork().rowsMade += got;
        if (got == 0)
            break; // only when the scan shown is still arriving, which the callers avoid
    }
    const bool whole = info.output_scanline == info.output_height;
    outputOpen = !jpeg_finish_output(&info);
    if (!whole)
        return false;
    shown = alloc<CGImage>()->initWithStorage(layout.width, layout.height, layout.bitsPerComponent, layout.bitsPerPixel,
        layout.bytesPerRow, layout.space, layout.bitmapInfo, output);
    shownScan = scan;
    receivedAtShown = received;
    return true;
}

void JpegStream::Decoder::advance()
{
    for (;;) {
        const Phase before = phase;
        switch (phase) {
        case Phase::Header:
            readHeader();
            break;
        case Phase::Start:
            start();
            break;
        case Phase::Rows:
            readRows();
            break;
        case Phase::Finish:
            if (jpeg_finish_decompress(&info))
                phase = Phase::Done;
            break;
        case Phase::Scans:
            absorbScans();
            return; // output passes run when the image is asked for
        case Phase::Done:
            return;
        }
        if (damaged || phase == before)
            return;
    }
}

template <class Step>
bool JpegStream::Decoder::run(std::span<const std::uint8_t> fresh, Step step)
{
    if (!alive)
        return false;
    const bool direct = pending.empty();
    if (!direct)
        pending.insert(pending.end(), fresh.begin(), fresh.end());
    const std::span<const std::uint8_t> input = direct ? fresh : std::span<const std::uint8_t>(pending);
    source.manager.next_input_byte = input.data();
    source.manager.bytes_in_buffer = input.size();
    bool failed = false;
    switch (setjmp(error.jump)) {
    case 0:
        step();
        break;
    case kCutShort:
        // What was decoded stands; the decoder cannot go on from inside a scan.
        phase = Phase::Done;
        release();
        return false;
    default:
        failed = true;
    }
    if (failed || damaged) {
        damaged = true;
        release();
        return false;
    }
    // Data that ended has all been read (libjpeg reads the end put after it).
    const std::size_t consumed = source.ended ? input.size() : std::size_t(source.manager.next_input_byte - input.data());
    if (direct)
        pending.assign(fresh.begin() + std::ptrdiff_t(consumed), fresh.end());
    else
        pending.erase(pending.begin(), pending.begin() + std::ptrdiff_t(consumed));
    return true;
}

JpegStream::JpegStream(PixelUse use) : m_decoder(std::make_unique<Decoder>())
{
    // A multi-scan file needs no output pass for its state; a single-scan one's rows are dropped.
    if (use == PixelUse::Discard)
        m_decoder->canvas.discardRows();
}
JpegStream::~JpegStream() = default;

void JpegStream::update(std::span<const std::uint8_t> bytes, bool final)
{
    Decoder& d = *m_decoder;
    d.final = final;
    std::span<const std::uint8_t> fresh;
    if (bytes.size() > d.received) {
        fresh = bytes.subspan(d.received);
        d.received = bytes.size();
    }
    // Bytes that have not shown a frame header within this much never will.
    constexpr std::size_t kHeadLimit = 1 << 20;
    if (!d.markers && d.head.size() < kHeadLimit) {
        d.head.insert(d.head.end(), fresh.begin(), fresh.end());
        d.markers = readJpegMarkers(d.head);
        if (d.markers)
            d.head = {};
    }
    if (d.damaged || d.phase == Decoder::Phase::Done)
        return;
    // Entropy-coded data that takes the work past the image's limit is damage, found before any of
    // these bytes is decoded.
    const std::uint64_t workBefore = d.work();
    d.scanData.update(fresh);
    jpegWork().stepsCounted += d.work() - workBefore;
    if (!d.workAllowed()) {
        d.damaged = true;
        d.release();
        return;
    }
    const std::size_t skipped = std::min(d.skip, fresh.size());
    d.skip -= skipped;
    fresh = fresh.subspan(skipped);
    if (!d.run(fresh, [&] { d.advance(); }))
        return;
    if (d.phase == Decoder::Phase::Done) {
        d.release();
        return;
    }
    if (!final || d.inputDone)
        return;
    d.truncated = true;
    if (d.phase == Decoder::Phase::Scans && !d.inputDone) {
        // Let the decoder finish the scan it is in with what arrived, as if the file ended here:
        // the picture is then as sharp as the data allows.
        static const std::uint8_t kEnd[] = {0xFF, 0xD9};
        d.run(kEnd, [&] { d.absorbScans(); });
    }
}

StreamState JpegStream::state()
{
    const Decoder& d = *m_decoder;
    if (d.damaged)
        return StreamState::Damaged;
    if (!d.truncated && (d.phase == Decoder::Phase::Done || (d.phase == Decoder::Phase::Scans && d.inputDone)))
        return StreamState::Complete;
    if (d.final || d.truncated)
        return StreamState::Truncated;
    return d.markers ? StreamState::Partial : StreamState::Header;
}

std::size_t JpegStream::count() const { return !m_decoder->damaged && m_decoder->markers ? 1 : 0; }

std::optional<ImageHeader> JpegStream::header() const
{
    const auto& m = m_decoder->markers;
    if (!m || m->width == 0 || m->height == 0)
        return std::nullopt;
    ImageHeader h;
    h.width = m->width;
    h.height = m->height;
    h.grey = m->components == 1;
    h.exifOrientation = m->exifOrientation;
    h.progressive = m->progressive;
    return h;
}

CGImageRef JpegStream::image(std::size_t index)
{
    Decoder& d = *m_decoder;
    if (index != 0 || d.damaged)
        return nil;
    if (!d.multiScan)
        return d.canvas.image();
    if (d.phase != Decoder::Phase::Scans)
        return d.shown;
    // A new refinement when a scan has completed and the data has doubled since the last one
    // drawn, so that all the refinements together cost about as much as drawing the last.
    const bool whole = d.inputDone;
    const bool refine = d.scansDone > d.shownScan && (whole || d.final || !d.shown || d.received >= 2 * d.receivedAtShown);
    if (refine) {
        d.run({}, [&] { d.outputPass(d.scansDone); });
        if (whole && !d.damaged && d.shownScan == d.scansDone) {
            d.phase = Decoder::Phase::Done;
            d.release();
        }
    }
    return d.shown;
}

bool JpegStream::keptImageAnyway() const { return m_decoder->multiScan && !m_decoder->damaged; }

bool JpegStream::imageComplete(std::size_t index)
{
    const Decoder& d = *m_decoder;
    if (index != 0 || d.damaged)
        return false;
    if (d.multiScan)
        return d.inputDone && !d.truncated;
    // Every row decoded is the whole image, even when the end marker never came.
    return d.layout.height > 0 && d.canvas.rowsDone() == d.layout.height;
}

CGImageRef jpegDecode(std::span<const std::uint8_t> bytes)
{
    JpegStream stream;
    stream.update(bytes, true);
    return stream.imageComplete(0) ? stream.image(0) : nil;
}

Result<std::vector<std::uint8_t>> jpegEncode(const CGImageRef& image, int quality, int exifOrientation)
{
    TurboCompressor& handle = compressor();
    tjhandle tj = handle.handle;
    if (!image)
        return Failure("no image");
    if (!tj)
        return Failure(std::string("JPEG: cannot make a compressor: ") + tjGetErrorStr2(nullptr));
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
        Failure failure(std::string("JPEG: ") + tjGetErrorStr2(tj));
        tjFree(out);
        handle.renew();
        return failure;
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

} // namespace dv::internal::graphics
