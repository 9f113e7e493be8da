// Small files whose headers claim far more than their data holds, as a hostile upload would: the
// decoders must refuse them without allocating what they claim. Shared by the tests and by the
// program that writes the fuzz corpora.
#pragma once

#include "GraphicsTestSupport.h"

#include "platform/graphics/UIImage.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

namespace dv::test {

constexpr std::uint16_t kHugeSide = 10000;

// A JPEG of an 8x8 picture whose frame header says 10000 x 10000 pixels.
inline Ref<NSData> jpegClaimingHugeSize(bool progressive)
{
    auto data = NSMutableData::dataWithData(writeJpeg(photoLike(8, 8), {.quality = 75, .progressive = progressive}));
    std::uint8_t* b = data->mutableBytes();
    for (std::size_t at = 2; at + 9 < data->length(); ++at) {
        if (b[at] == 0xFF && (b[at + 1] == 0xC0 || b[at + 1] == 0xC2)) {
            b[at + 5] = b[at + 7] = std::uint8_t(kHugeSide >> 8);
            b[at + 6] = b[at + 8] = std::uint8_t(kHugeSide & 0xFF);
            break;
        }
    }
    return data;
}

// A scan of a progressive JPEG as libjpeg's scan scripts give it: a DC scan (Ss = Se = 0) covers
// every component, interleaved; an AC scan covers `component`. Ah and Al are the bits refined
// from and to.
struct JpegScan {
    int component = 0;
    int Ss = 0, Se = 0, Ah = 0, Al = 0;
};

// A JPEG taken apart: its marker segments before the first scan's tables, then each scan's
// Huffman tables (the segments between the scan before and it), and the scan's header with its
// data.
struct JpegParts {
    struct Scan {
        std::vector<std::uint8_t> tables, scan;
    };
    std::vector<std::uint8_t> head; // without the start marker
    std::vector<Scan> scans;
};

inline JpegParts jpegParts(const Ref<NSData>& jpeg)
{
    const auto bytes = jpeg->span();
    JpegParts parts;
    std::vector<std::uint8_t> between;
    auto part = [&](std::size_t from, std::size_t to) { return std::vector<std::uint8_t>(bytes.begin() + std::ptrdiff_t(from), bytes.begin() + std::ptrdiff_t(to)); };
    for (std::size_t at = 2; at + 4 <= bytes.size() && bytes[at + 1] != 0xD9;) {
        std::size_t end = at + 2 + (std::size_t(bytes[at + 2]) << 8 | bytes[at + 3]);
        if (bytes[at + 1] == 0xDA) {
            // The data goes on to the next marker that is not a restart marker.
            while (end + 1 < bytes.size() && !(bytes[end] == 0xFF && bytes[end + 1] != 0 && (bytes[end + 1] & 0xF8) != 0xD0))
                ++end;
            parts.scans.push_back({std::exchange(between, {}), part(at, end)});
        } else if (parts.scans.empty() && bytes[at + 1] != 0xC4) {
            auto segment = part(at, end);
            parts.head.insert(parts.head.end(), segment.begin(), segment.end());
        } else {
            auto segment = part(at, end);
            between.insert(between.end(), segment.begin(), segment.end());
        }
        at = end;
    }
    return parts;
}

struct FlatJpegLayout {
    std::size_t side = 64;
    int components = 1; // grey, YCbCr (from RGB) or CMYK
    std::array<std::pair<int, int>, 4> sampling = {{{1, 1}, {1, 1}, {1, 1}, {1, 1}}};
    unsigned restartInterval = 0; // in MCUs
};

inline Ref<NSData> assembleScans(const JpegParts& parts, int components, const std::vector<JpegScan>& scans);

// A progressive JPEG of a flat picture (every sample 128) with any scans at all, libjpeg's own
// scripts or sequences no encoder writes: libjpeg writes one scan of each kind (DC first and
// refining, every component interleaved; AC first and refining for each component), and the file
// is put together from those, with the band and bits in each scan header changed. In a flat
// picture every coefficient is zero, so a kind's data is the same whatever its band and bits: one
// code per block, or end-of-band runs. Huffman tables are written again when the kind changes.
inline Ref<NSData> flatJpegWithScans(const FlatJpegLayout& layout, const std::vector<JpegScan>& scans)
{
    const int n = layout.components;
    std::vector<jpeg_scan_info> script;
    auto add = [&](int component, int Ss, int Se, int Ah, int Al) {
        jpeg_scan_info scan {};
        scan.comps_in_scan = component < 0 ? n : 1;
        for (int i = 0; i < scan.comps_in_scan; ++i)
            scan.component_index[i] = component < 0 ? i : component;
        scan.Ss = Ss, scan.Se = Se, scan.Ah = Ah, scan.Al = Al;
        script.push_back(scan);
    };
    add(-1, 0, 0, 0, 1);
    add(-1, 0, 0, 1, 0);
    for (int c = 0; c < n; ++c)
        add(c, 1, 63, 0, 1);
    for (int c = 0; c < n; ++c)
        add(c, 1, 63, 1, 0);
    // The model depends on the layout alone: it is written once per layout.
    static std::map<std::tuple<std::size_t, int, std::array<std::pair<int, int>, 4>, unsigned>, JpegParts> s_models;
    JpegParts& parts = s_models[{layout.side, n, layout.sampling, layout.restartInterval}];
    if (!parts.scans.empty())
        return assembleScans(parts, n, scans);
    auto model = compressJpeg(
        layout.side, layout.side, n, n == 1 ? JCS_GRAYSCALE : n == 3 ? JCS_RGB : JCS_CMYK,
        [&](jpeg_compress_struct& info) {
            jpeg_set_quality(&info, 90, TRUE);
            for (int c = 0; c < n; ++c) {
                info.comp_info[c].h_samp_factor = layout.sampling[std::size_t(c)].first;
                info.comp_info[c].v_samp_factor = layout.sampling[std::size_t(c)].second;
            }
            info.restart_interval = layout.restartInterval;
            info.optimize_coding = TRUE;
            info.scan_info = script.data();
            info.num_scans = int(script.size());
        },
        [&](std::size_t, std::uint8_t* row) { std::memset(row, 128, layout.side * std::size_t(n)); });

    parts = jpegParts(model);
    return assembleScans(parts, n, scans);
}

// The file of flatJpegWithScans, from its model's parts.
inline Ref<NSData> assembleScans(const JpegParts& parts, int n, const std::vector<JpegScan>& scans)
{
    std::vector<std::uint8_t> out = {0xFF, 0xD8};
    out.insert(out.end(), parts.head.begin(), parts.head.end());
    std::size_t lastKind = SIZE_MAX;
    for (const JpegScan& scan : scans) {
        const std::size_t kind = scan.Ss == 0 ? std::size_t(scan.Ah > 0 ? 1 : 0)
                                              : 2 + std::size_t(scan.component) + (scan.Ah > 0 ? std::size_t(n) : 0);
        if (kind != lastKind)
            out.insert(out.end(), parts.scans[kind].tables.begin(), parts.scans[kind].tables.end());
        lastKind = kind;
        std::vector<std::uint8_t> segment = parts.scans[kind].scan;
        const std::size_t bits = 2 + (std::size_t(segment[2]) << 8 | segment[3]) - 1; // Ss, Se, then Ah and Al
        segment[bits - 2] = std::uint8_t(scan.Ss);
        segment[bits - 1] = std::uint8_t(scan.Se);
        segment[bits] = std::uint8_t(scan.Ah << 4 | scan.Al);
        out.insert(out.end(), segment.begin(), segment.end());
    }
    out.insert(out.end(), {0xFF, 0xD9});
    return NSData::dataWithVector(std::move(out));
}

// The progressive grey 4096 x 4096 JPEG of about 50 KB that once took seconds to decode: a DC
// scan, then `refinements` identical refinements of AC coefficients 1...63 that were never sent,
// each nine end-of-band runs. With four components (CMYK) the DC scan covers them all, and the
// refinements refine the first.
inline Ref<NSData> jpegRefiningNothingAgainAndAgain(int components = 1, std::size_t side = 4096, int refinements = 499)
{
    std::vector<JpegScan> scans = {{0, 0, 0, 0, 0}};
    scans.insert(scans.end(), std::size_t(refinements), JpegScan {0, 1, 63, 1, 0});
    return flatJpegWithScans({.side = side, .components = components}, scans);
}

// Progressive: libjpeg's own scripts. Refinements: the slowest progression the decoder takes
// (each component's AC coefficients sent at bit 6 and refined six times; with a restart marker
// after every MCU, at bit 3 and refined three times).
enum class JpegCoding { StandardTables, OptimisedTables, Progressive, Refinements };

// Noise at quality 100, as heavy in data as a picture gets: every sample within `amplitude` of
// mid-grey (128 covers every value), grey, YCbCr 4:4:4 (three components) or CMYK.
inline Ref<NSData> noiseJpeg(std::size_t width, std::size_t height, int components, JpegCoding coding, unsigned restartInterval, double amplitude)
{
    std::vector<jpeg_scan_info> script;
    if (coding == JpegCoding::Refinements) {
        const int from = restartInterval ? 3 : 6;
        script = {jpeg_scan_info {components, {0, 1, 2, 3}, 0, 0, 0, 0}};
        for (int c = 0; c < components; ++c) {
            script.push_back({1, {c}, 1, 63, 0, from});
            for (int bit = from; bit > 0; --bit)
                script.push_back({1, {c}, 1, 63, bit, bit - 1});
        }
    }
    return compressJpeg(
        width, height, components, components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK,
        [&](jpeg_compress_struct& info) {
            jpeg_set_quality(&info, 100, TRUE);
            info.comp_info[0].h_samp_factor = info.comp_info[0].v_samp_factor = 1;
            info.optimize_coding = coding == JpegCoding::OptimisedTables;
            if (coding == JpegCoding::Progressive)
                jpeg_simple_progression(&info);
            if (!script.empty()) {
                info.scan_info = script.data();
                info.num_scans = int(script.size());
            }
            info.restart_interval = restartInterval;
        },
        [&, seed = 12345u](std::size_t, std::uint8_t* row) mutable {
            for (std::size_t i = 0; i < width * std::size_t(components); ++i) {
                seed = seed * 1664525u + 1013904223u;
                const double u = double(seed >> 8) / double(1u << 24) - 0.5;
                row[i] = std::uint8_t(std::clamp(128 + int(std::lround(u * 2 * amplitude)), 0, 255));
            }
        });
}

// A 1x1 PNG whose header says 10000 x 10000 pixels, with a correct checksum.
inline Ref<NSData> pngClaimingHugeSize()
{
    PngLayout layout;
    layout.width = 1;
    layout.height = 1;
    layout.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    layout.rows = {10, 20, 30, 255};
    auto data = NSMutableData::dataWithData(writePng(layout));
    const std::size_t ihdr = pngChunkAt(data, "IHDR");
    std::uint8_t* b = data->mutableBytes() + ihdr + 8;
    b[2] = b[6] = std::uint8_t(kHugeSide >> 8);
    b[3] = b[7] = std::uint8_t(kHugeSide & 0xFF);
    fixPngChunkCrc(data, ihdr);
    return data;
}

// A GIF whose screen is 10000 x 10000 pixels, with a colour table of `colours` entries and one
// frame of 1 x 1 pixel.
inline Ref<NSData> gifWithHugeScreen(int colours)
{
    std::vector<GifColorType> table(std::size_t(colours), GifColorType {0, 0, 0});
    table[1] = {255, 0, 0};
    return writeGif(kHugeSide, kHugeSide, table, {{0, 0, 1, 1, 10, DISPOSAL_UNSPECIFIED, -1, {}, {1}}});
}

// An animated WebP on a canvasSide x canvasSide canvas: `frames` frames, frame i of frameSide x
// frameSide pixels of one colour (grey i * 20) at the top left, put together with libwebpmux from
// one lossless bitstream each, so that even large frames cost little to write.
inline Ref<NSData> webpAnimationOfPlainFrames(int canvasSide, int frameSide, int frames)
{
    WebPMux* mux = WebPMuxNew();
    WebPMuxSetCanvasSize(mux, canvasSide, canvasSide);
    WebPMuxAnimParams params {0xFFFFFFFFu, 0};
    WebPMuxSetAnimationParams(mux, &params);
    std::vector<std::uint8_t> rgba(std::size_t(frameSide) * std::size_t(frameSide) * 4);
    for (int i = 0; i < frames; ++i) {
        for (std::size_t p = 0; p < rgba.size(); p += 4)
            rgba[p] = rgba[p + 1] = rgba[p + 2] = std::uint8_t(i * 20), rgba[p + 3] = 255;
        std::uint8_t* out = nullptr;
        const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), frameSide, frameSide, frameSide * 4, &out);
        WebPMuxFrameInfo frame {};
        frame.bitstream = {out, size};
        frame.duration = 100;
        frame.id = WEBP_CHUNK_ANMF;
        frame.dispose_method = WEBP_MUX_DISPOSE_NONE;
        frame.blend_method = WEBP_MUX_NO_BLEND;
        WebPMuxPushFrame(mux, &frame, 1);
        WebPFree(out);
    }
    WebPData assembled;
    WebPDataInit(&assembled);
    WebPMuxAssemble(mux, &assembled);
    auto data = NSData::dataWithBytes(assembled.bytes, assembled.size);
    WebPDataClear(&assembled);
    WebPMuxDelete(mux);
    return data;
}

// How the frame chunks of webpAnimationOfOneBitstream give their sizes: each its own frame's
// (as writers do), the first one all the chunks after it, or each one every chunk after it (the
// frames nested one inside the other).
enum class FrameChunkSizes { Own, FirstCoversTheRest, Nested };

// An animated WebP put together by hand: `frames` frames of frameSide x frameSide at the top left
// of a canvasSide x canvasSide canvas, each the same lossless bitstream of one grey (written once
// per side), with the frame chunk sizes asked for. libwebp's demuxer reads a frame chunk's own
// chunks and goes on after them, so it finds every frame whatever the sizes say.
inline Ref<NSData> webpAnimationOfOneBitstream(int canvasSide, int frameSide, int frames, FrameChunkSizes sizes = FrameChunkSizes::Own)
{
    static std::map<int, std::vector<std::uint8_t>> s_bitstreams;
    auto& vp8l = s_bitstreams[frameSide];
    if (vp8l.empty()) {
        std::vector<std::uint8_t> rgba(std::size_t(frameSide) * std::size_t(frameSide) * 4, 90);
        for (std::size_t p = 3; p < rgba.size(); p += 4)
            rgba[p] = 255;
        std::uint8_t* out = nullptr;
        const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), frameSide, frameSide, frameSide * 4, &out);
        // The encoder's file: the RIFF header, then the one VP8L chunk.
        vp8l.assign(out + 12, out + size);
        WebPFree(out);
    }
    auto put24 = [](std::vector<std::uint8_t>& b, std::uint32_t v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16)}); };
    std::vector<std::uint8_t> b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'X'};
    put32(b, 10);
    b.insert(b.end(), {0x02, 0, 0, 0}); // animated
    put24(b, std::uint32_t(canvasSide - 1)), put24(b, std::uint32_t(canvasSide - 1));
    b.insert(b.end(), {'A', 'N', 'I', 'M'});
    put32(b, 6), put32(b, 0), put16(b, 0);
    const std::uint32_t frameSize = std::uint32_t(16 + vp8l.size()); // what each frame chunk holds of its own
    for (int i = 0; i < frames; ++i) {
        const std::uint32_t after = std::uint32_t(frames - 1 - i) * (8 + frameSize);
        const bool covers = sizes == FrameChunkSizes::Nested || (sizes == FrameChunkSizes::FirstCoversTheRest && i == 0);
        b.insert(b.end(), {'A', 'N', 'M', 'F'});
        put32(b, frameSize + (covers ? after : 0));
        put24(b, 0), put24(b, 0), put24(b, std::uint32_t(frameSide - 1)), put24(b, std::uint32_t(frameSide - 1));
        put24(b, 100), b.push_back(0x02); // 100 ms, not blended
        b.insert(b.end(), vp8l.begin(), vp8l.end());
    }
    const std::uint32_t riff = std::uint32_t(b.size() - 8);
    for (std::size_t k = 0; k < 4; ++k)
        b[4 + k] = std::uint8_t(riff >> (8 * k));
    return NSData::dataWithVector(std::move(b));
}

} // namespace dv::test
