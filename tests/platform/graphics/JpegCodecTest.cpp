// What a JPEG's scans may make the decoder do: a scan that adds nothing, more scans than encoders
// write, or scans that would step through the coefficients far more often than a progressive
// script does make the file damaged as soon as that scan starts, and entropy-coded data that takes
// the work past the image's limit as soon as it arrives; libjpeg's own progressive scripts,
// restart markers and sequential files of several scans still decode. An image source's status
// followed by its image decodes each scan once.
#include "GraphicsTestSupport.h"
#include "HostileImages.h"

#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/UIImage.h"
#include "platform/graphics/internal/JpegCodec.h"
#include "platform/graphics/internal/JpegMarkers.h"

#include <gtest/gtest.h>

using namespace dv::test;

namespace {

// Where the header of scan `index` (from 0) ends: each scan starts with its marker, which the
// entropy-coded data never holds.
std::size_t endOfScanHeader(const Ref<NSData>& jpeg, std::size_t index)
{
    const auto bytes = jpeg->span();
    for (std::size_t at = 0; at + 4 <= bytes.size(); ++at) {
        if (bytes[at] == 0xFF && bytes[at + 1] == 0xDA && index-- == 0)
            return at + 2 + (std::size_t(bytes[at + 2]) << 8 | bytes[at + 3]);
    }
    return bytes.size();
}

CGImageSourceStatus statusOfPrefix(const Ref<NSData>& jpeg, std::size_t length)
{
    auto source = CGImageSourceCreateIncremental(nil);
    CGImageSourceUpdateData(source, prefix(jpeg, length), false);
    return CGImageSourceGetStatus(source);
}

void expectRefused(const Ref<NSData>& jpeg)
{
    EXPECT_FALSE(UIImage::imageWithData(jpeg));
    EXPECT_EQ(CGImageSourceGetStatus(CGImageSourceCreateWithData(jpeg, nil)), kCGImageStatusInvalidData);
}

// Refused once the header of scan `index` (after the first) has come, and not before: nothing
// after that scan's start is decoded.
void expectRefusedAtScan(const Ref<NSData>& jpeg, std::size_t index)
{
    const std::size_t header = endOfScanHeader(jpeg, index);
    ASSERT_LT(header, jpeg->length());
    EXPECT_EQ(statusOfPrefix(jpeg, header - 1), kCGImageStatusIncomplete);
    EXPECT_EQ(statusOfPrefix(jpeg, header), kCGImageStatusInvalidData);
    expectRefused(jpeg);
}

void expectDecoded(const Ref<NSData>& jpeg, std::size_t side)
{
    auto image = UIImage::imageWithData(jpeg);
    ASSERT_TRUE(image);
    EXPECT_EQ(CGImageGetWidth(image->CGImage()), side);
    EXPECT_EQ(CGImageSourceGetStatus(CGImageSourceCreateWithData(jpeg, nil)), kCGImageStatusComplete);
}

std::vector<JpegScan> refinementChain(int component, int Ss, int Se, int from)
{
    std::vector<JpegScan> scans = {{component, Ss, Se, 0, from}};
    for (int bit = from; bit > 0; --bit)
        scans.push_back({component, Ss, Se, bit, bit - 1});
    return scans;
}

std::vector<JpegScan> operator+(std::vector<JpegScan> a, const std::vector<JpegScan>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<JpegScan> kDc = {{0, 0, 0, 0, 0}};

// A sequential YCbCr JPEG that sends each component in a scan of its own.
Ref<NSData> sequentialJpegOfAScanPerComponent(std::size_t w, std::size_t h)
{
    return compressJpeg(
        w, h, 3, JCS_RGB,
        [](jpeg_compress_struct& info) {
            static jpeg_scan_info scans[3] = {};
            for (int c = 0; c < 3; ++c) {
                scans[c].comps_in_scan = 1;
                scans[c].component_index[0] = c;
                scans[c].Se = 63;
            }
            info.scan_info = scans;
            info.num_scans = 3;
        },
        [w](std::size_t y, std::uint8_t* row) {
            for (std::size_t i = 0; i < w * 3; ++i)
                row[i] = std::uint8_t(i * 5 + y * 3);
        });
}

using dv::internal::graphics::jpegWork;
using dv::internal::graphics::JpegScanDataCounter;

// The entropy-coded data of a file written by libjpeg, from its parts: each scan's bytes after its
// header, less the restart markers (every one of them is one the restart interval calls for).
std::uint64_t scanDataOfParts(const Ref<NSData>& jpeg)
{
    std::uint64_t total = 0;
    for (const auto& part : jpegParts(jpeg).scans) {
        const auto& scan = part.scan;
        const std::size_t header = 2 + (std::size_t(scan[2]) << 8 | scan[3]);
        total += scan.size() - header;
        for (std::size_t at = header; at + 1 < scan.size(); ++at)
            if (scan[at] == 0xFF && scan[at + 1] >= 0xD0 && scan[at + 1] <= 0xD7)
                total -= 2;
    }
    return total;
}

JpegScanDataCounter countedInPieces(const Ref<NSData>& jpeg, std::size_t piece)
{
    JpegScanDataCounter counter;
    for (std::size_t at = 0; at < jpeg->length(); at += piece)
        counter.update(jpeg->span().subspan(at, std::min(piece, jpeg->length() - at)));
    return counter;
}

// How much of the decoder's limit the file's data takes, counted as the decoder counts it (a
// single-scan file's scans cost no steps besides).
double shareOfWorkLimit(const Ref<NSData>& jpeg)
{
    JpegScanDataCounter counter;
    counter.update(jpeg->span());
    return double(dv::internal::graphics::jpegScanDataWork(counter.bytes(), counter.progressive()))
        / double(dv::internal::graphics::jpegWorkLimit(counter.blocks(), counter.pixels()));
}

// The length of the shortest prefix whose data takes the work past the decoder's limit.
std::size_t bytePastTheLimit(const Ref<NSData>& jpeg)
{
    JpegScanDataCounter counter;
    for (std::size_t at = 0; at < jpeg->length(); ++at) {
        counter.update(jpeg->span().subspan(at, 1));
        if (dv::internal::graphics::jpegScanDataWork(counter.bytes(), counter.progressive())
            > dv::internal::graphics::jpegWorkLimit(counter.blocks(), counter.pixels()))
            return at + 1;
    }
    return 0;
}

} // namespace

TEST(JpegCodecTest, RefinementsOfBitsNeverSentAreRefusedAsTheFirstStarts)
{
    // The 4096 x 4096 grey file of about 50 KB that took seconds, and its twin of four components
    // (smaller here, to keep the test fast): nothing after the first refinement is decoded.
    auto grey = jpegRefiningNothingAgainAndAgain();
    EXPECT_LT(grey->length(), 60'000u);
    expectRefusedAtScan(grey, 1);
    expectRefusedAtScan(jpegRefiningNothingAgainAndAgain(4, 1024), 1);
    // Refining a band whose bits were sent once is fine; refining it again from the same bit is not.
    const FlatJpegLayout layout {.side = 256};
    expectDecoded(flatJpegWithScans(layout, kDc + refinementChain(0, 1, 63, 1)), 256);
    expectRefusedAtScan(flatJpegWithScans(layout, kDc + refinementChain(0, 1, 63, 1) + std::vector<JpegScan> {{0, 1, 63, 1, 0}}), 3);
    // A refinement of the DC coefficient that skips a bit, and AC coefficients before any DC.
    expectRefusedAtScan(flatJpegWithScans(layout, {{0, 0, 0, 0, 2}, {0, 0, 0, 1, 0}}), 1);
    expectRefused(flatJpegWithScans(layout, {{0, 1, 63, 0, 0}, {0, 0, 0, 0, 0}}));
}

TEST(JpegCodecTest, ABandSentAgainIsRefusedThoughLibjpegTakesIt)
{
    const FlatJpegLayout layout {.side = 256, .components = 3};
    const std::vector<JpegScan> once = kDc + std::vector<JpegScan> {{0, 1, 63, 0, 0}, {1, 1, 63, 0, 0}, {2, 1, 63, 0, 0}};
    expectDecoded(flatJpegWithScans(layout, once), 256);
    expectRefusedAtScan(flatJpegWithScans(layout, once + std::vector<JpegScan> {{1, 5, 9, 0, 0}}), 4);
    expectRefusedAtScan(flatJpegWithScans(layout, kDc + kDc), 1);
    // A sequential file may send its components in separate scans, each once.
    auto sequential = sequentialJpegOfAScanPerComponent(48, 40);
    expectDecoded(sequential, 48);
    const JpegParts parts = jpegParts(sequential);
    ASSERT_EQ(parts.scans.size(), 3u);
    std::vector<std::uint8_t> twice = {0xFF, 0xD8};
    twice.insert(twice.end(), parts.head.begin(), parts.head.end());
    for (std::size_t i : {0, 1, 1, 2})
        for (const auto* part : {&parts.scans[i].tables, &parts.scans[i].scan})
            twice.insert(twice.end(), part->begin(), part->end());
    twice.insert(twice.end(), {0xFF, 0xD9});
    expectRefusedAtScan(NSData::dataWithVector(twice), 2);
}

TEST(JpegCodecTest, ScansPastWhatEncodersWriteOrPastTheWorkBudgetAreRefused)
{
    // Sixteen scans per component at most: a DC scan and fifteen of one coefficient each pass
    // for grey, one more does not; four components may have four times as many.
    std::vector<JpegScan> single = kDc;
    for (int k = 1; k <= 16; ++k)
        single.push_back({0, k, k, 0, 0});
    expectRefusedAtScan(flatJpegWithScans({.side = 256}, single), 16);
    single.pop_back();
    expectDecoded(flatJpegWithScans({.side = 256}, single), 256);
    std::vector<JpegScan> four = kDc;
    for (int c = 0; c < 4; ++c)
        for (int k = 1; k <= 16; ++k)
            four.push_back({c, k, k, 0, 0});
    expectRefusedAtScan(flatJpegWithScans({.side = 256, .components = 4}, four), 64);
    four.pop_back();
    expectDecoded(flatJpegWithScans({.side = 256, .components = 4}, four), 256);

    // A legal chain of successive approximation: each refinement steps through the 63 AC
    // coefficients of every block. Six refinements are within the budget, the seventh is past it;
    // with a restart marker after every block, the fourth is.
    expectDecoded(flatJpegWithScans({.side = 256}, kDc + refinementChain(0, 1, 63, 6)), 256);
    expectRefusedAtScan(flatJpegWithScans({.side = 256}, kDc + refinementChain(0, 1, 63, 7)), 8);
    expectDecoded(flatJpegWithScans({.side = 256, .restartInterval = 1}, kDc + refinementChain(0, 1, 63, 3)), 256);
    expectRefusedAtScan(flatJpegWithScans({.side = 256, .restartInterval = 1}, kDc + refinementChain(0, 1, 63, 4)), 5);
    // Chains of one coefficient cost little each: the scan count bounds them.
    expectDecoded(flatJpegWithScans({.side = 256}, refinementChain(0, 0, 0, 13) + refinementChain(0, 1, 1, 1)), 256);
}

TEST(JpegCodecTest, ArithmeticCodedFilesAreRefused)
{
    auto photo = photoLike(40, 32, 5);
    for (const bool progressive : {false, true}) {
        auto write = [&](bool arithmetic) {
            return compressJpeg(
                40, 32, 3, JCS_RGB,
                [&](jpeg_compress_struct& info) {
                    info.arith_code = arithmetic;
                    if (progressive)
                        jpeg_simple_progression(&info);
                },
                [&](std::size_t y, std::uint8_t* row) {
                    const auto rgba = dv::imagePixelsRGBA8(photo);
                    for (std::size_t x = 0; x < 40; ++x)
                        std::memcpy(row + x * 3, rgba.data() + (y * 40 + x) * 4, 3);
                });
        };
        expectDecoded(write(false), 40);
        EXPECT_FALSE(UIImage::imageWithData(write(true))) << progressive;
    }
}

// libjpeg's own progressive script for four components (18 scans), CMYK and YCCK, with and
// without a restart marker after every MCU, decodes to the pixels libjpeg itself makes of it. (Its
// scripts for grey and YCbCr are checked with the other JPEG layouts in ImageConformanceTest.)
TEST(JpegCodecTest, LibjpegsProgressiveScriptForFourComponentsDecodesAsLibjpegDoes)
{
    for (const unsigned restart : {0u, 1u})
        for (const bool ycck : {false, true}) {
            SCOPED_TRACE(testing::Message() << (ycck ? "YCCK" : "CMYK") << " restart " << restart);
            auto data = writeFourComponentJpeg(75, 61, ycck, {{{2, 2}, {1, 1}, {1, 1}, {1, 2}}}, true, restart);
            const auto expected = libjpegPictureOfInvertedCmyk(data);
            ASSERT_FALSE(expected.empty());
            auto once = UIImage::imageWithData(data);
            ASSERT_TRUE(once);
            EXPECT_EQ(dv::imagePixelsRGBA8(once->CGImage()), expected);
            auto steps = feedInParts(data, 30);
            EXPECT_EQ(steps.back().status, kCGImageStatusComplete);
            EXPECT_EQ(dv::imagePixelsRGBA8(steps.back().image), expected);
        }
}

TEST(JpegCodecTest, ScanDataIsCountedAsItArrives)
{
    const std::array<std::pair<int, int>, 4> sampled = {{{2, 2}, {1, 1}, {1, 2}, {1, 1}}};
    const std::vector<std::pair<const char*, Ref<NSData>>> files = {
        {"grey, restart every MCU", noiseJpeg(40, 40, 1, JpegCoding::StandardTables, 1, 20)},
        {"YCbCr 4:2:0, restart every 3 rows", writeJpeg(photoLike(75, 61), {.restartRows = 3})},
        {"YCbCr 4:2:0 progressive, restart every MCU", writeJpeg(photoLike(75, 61), {.progressive = true, .restartInterval = 1})},
        {"CMYK sampled unevenly, progressive, restart every 2 MCUs", writeFourComponentJpeg(75, 61, false, sampled, true, 2)},
        {"CMYK noise refined 6 times", noiseJpeg(64, 64, 4, JpegCoding::Refinements, 0, 128)},
    };
    for (const auto& [name, jpeg] : files) {
        SCOPED_TRACE(name);
        const std::uint64_t expected = scanDataOfParts(jpeg);
        ASSERT_GT(expected, 0u);
        for (const std::size_t piece : {std::size_t(1), std::size_t(7), jpeg->length()}) {
            const auto counter = countedInPieces(jpeg, piece);
            EXPECT_EQ(counter.bytes(), expected) << piece;
        }
    }
    // Blocks of each component as sampled, as libjpeg pads them: 75 x 61 pixels.
    EXPECT_EQ(countedInPieces(files[1].second, 64).blocks(), 10u * 8 + 2 * 5u * 4);
    EXPECT_EQ(countedInPieces(files[3].second, 64).blocks(), 10u * 8 + 5u * 4 + 5u * 8 + 5u * 4);
    EXPECT_EQ(countedInPieces(files[3].second, 64).pixels(), 75u * 61);
    // A restart marker beyond those the interval calls for is data; nothing after the end marker is.
    auto bytes = files[0].second->span();
    std::vector<std::uint8_t> more(bytes.begin(), bytes.end() - 2);
    more.insert(more.end(), {0xFF, 0xD0, 0xFF, 0xD9, 1, 2, 3});
    EXPECT_EQ(countedInPieces(NSData::dataWithVector(more), 5).bytes(), scanDataOfParts(files[0].second) + 2);
}

TEST(JpegCodecTest, DataPastTheWorkLimitIsRefusedAtTheByteThatPassesIt)
{
    // Grey noise at quality 100 with the standard tables: about 100 bytes per block, where a
    // sequential file may have about 60.
    auto heavy = noiseJpeg(256, 256, 1, JpegCoding::StandardTables, 0, 128);
    ASSERT_GT(shareOfWorkLimit(heavy), 1.2);
    const std::size_t past = bytePastTheLimit(heavy);
    ASSERT_GT(past, 0u);
    EXPECT_EQ(statusOfPrefix(heavy, past - 1), kCGImageStatusIncomplete);
    EXPECT_EQ(statusOfPrefix(heavy, past), kCGImageStatusInvalidData);
    // Whole, the file is refused before a row is decoded.
    const auto before = jpegWork();
    EXPECT_FALSE(UIImage::imageWithData(heavy));
    EXPECT_EQ(CGImageSourceGetStatus(CGImageSourceCreateWithData(heavy, nil)), kCGImageStatusInvalidData);
    EXPECT_EQ(jpegWork().rowsMade + jpegWork().rowsSkipped, before.rowsMade + before.rowsSkipped);
    // As a download, decoding stops there: the rows decoded are those of the data before it.
    auto source = CGImageSourceCreateIncremental(nil);
    CGImageSourceUpdateData(source, prefix(heavy, past - 1), false);
    ASSERT_TRUE(CGImageSourceCreateImageAtIndex(source, 0, nil));
    const std::uint64_t rowsBefore = jpegWork().rowsMade;
    for (std::size_t length = past; length < heavy->length(); length += 4096)
        CGImageSourceUpdateData(source, prefix(heavy, length), false);
    CGImageSourceUpdateData(source, heavy, true);
    EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusInvalidData);
    EXPECT_LE(jpegWork().rowsMade - rowsBefore, 16u);

    // The same noise a little fainter, just within the limit, decodes.
    double low = 0, high = 128;
    for (int i = 0; i < 12; ++i) {
        const double mid = (low + high) / 2;
        (shareOfWorkLimit(noiseJpeg(256, 256, 1, JpegCoding::StandardTables, 0, mid)) <= 1 ? low : high) = mid;
    }
    auto within = noiseJpeg(256, 256, 1, JpegCoding::StandardTables, 0, low);
    EXPECT_GT(shareOfWorkLimit(within), 0.97);
    expectDecoded(within, 256);
    EXPECT_FALSE(UIImage::imageWithData(noiseJpeg(256, 256, 1, JpegCoding::StandardTables, 0, high)));

    // Progressive data costs more a byte: CMYK noise refined six times is refused whole before any
    // scan is decoded, and as a download before its last scan.
    auto progressive = noiseJpeg(128, 128, 4, JpegCoding::Refinements, 0, 128);
    const std::uint64_t scansBefore = jpegWork().scansAbsorbed;
    EXPECT_FALSE(UIImage::imageWithData(progressive));
    EXPECT_EQ(jpegWork().scansAbsorbed, scansBefore);
    auto steps = feedInParts(progressive, 40);
    EXPECT_EQ(steps.back().status, kCGImageStatusInvalidData);
    EXPECT_LT(jpegWork().scansAbsorbed - scansBefore, jpegParts(progressive).scans.size() - 1);
}

TEST(JpegCodecTest, AnImageSourcesStatusThenImageDecodeEachScanOnce)
{
    const std::vector<std::pair<const char*, Ref<NSData>>> multiScan = {
        {"libjpeg's progressive script", writeJpeg(photoLike(300, 200), {.progressive = true})},
        {"four components, progressive, restart every MCU", writeFourComponentJpeg(75, 61, true, {{{2, 2}, {1, 1}, {1, 1}, {2, 2}}}, true, 1)},
        {"sequential, a scan per component", sequentialJpegOfAScanPerComponent(64, 48)},
    };
    for (const auto& [name, jpeg] : multiScan) {
        SCOPED_TRACE(name);
        const std::size_t scans = jpegParts(jpeg).scans.size();
        const std::size_t height = CGImageGetHeight(UIImage::imageWithData(jpeg)->CGImage());
        const auto before = jpegWork();
        auto source = CGImageSourceCreateWithData(jpeg, nil);
        EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);
        EXPECT_EQ(jpegWork().scansAbsorbed - before.scansAbsorbed, scans);
        EXPECT_EQ(jpegWork().rowsMade, before.rowsMade) << "the status made pixels";
        auto image = CGImageSourceCreateImageAtIndex(source, 0, nil);
        ASSERT_TRUE(image);
        EXPECT_EQ(jpegWork().scansAbsorbed - before.scansAbsorbed, scans);
        EXPECT_EQ(jpegWork().rowsMade - before.rowsMade, height);
        EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);
        EXPECT_EQ(dv::imagePixelsRGBA8(image), dv::imagePixelsRGBA8(UIImage::imageWithData(jpeg)->CGImage()));
    }
    // A single-scan file's status decodes its data without the pixels of any row but the last;
    // its image then makes every row, once.
    auto baseline = writeJpeg(photoLike(120, 90), {.restartInterval = 2});
    const auto before = jpegWork();
    auto source = CGImageSourceCreateWithData(baseline, nil);
    EXPECT_EQ(CGImageSourceGetStatus(source), kCGImageStatusComplete);
    EXPECT_EQ(jpegWork().rowsSkipped - before.rowsSkipped, 89u);
    EXPECT_EQ(jpegWork().rowsMade - before.rowsMade, 1u);
    ASSERT_TRUE(CGImageSourceCreateImageAtIndex(source, 0, nil));
    EXPECT_EQ(jpegWork().rowsMade - before.rowsMade, 91u);
}

// The status of a single-scan file decodes its data up to the last row without making pixels, with
// the data ending as a file does: cut short anywhere, its end marker damaged, or damaged inside.
TEST(JpegCodecTest, TheStatusOfDataCutShortOrDamagedIsWhatDecodingTheImageFinds)
{
    auto photo = photoLike(97, 75);
    auto small = photoLike(24, 16); // one row of MCUs
    const std::vector<Ref<NSData>> files = {writeJpeg(photo, {.restartInterval = 3}), writeJpeg(photo, {.grey = true}),
        writeJpeg(photo, {.progressive = true}), writeJpeg(small), writeJpeg(small, {.restartInterval = 1})};
    for (const auto& jpeg : files) {
        std::vector<std::vector<std::uint8_t>> variants;
        for (std::size_t length = 400; length < jpeg->length() + 1; length += 97) {
            variants.emplace_back(jpeg->bytes(), jpeg->bytes() + std::min(length, jpeg->length()));
            if (length % 3 == 0)
                variants.back()[variants.back().size() * 2 / 3] ^= 0x5A; // damaged as well
        }
        variants.emplace_back(jpeg->bytes(), jpeg->bytes() + jpeg->length());
        variants.back()[jpeg->length() - 2] = 0; // no end marker
        for (const auto& bytes : variants) {
            auto data = NSData::dataWithVector(bytes);
            SCOPED_TRACE(testing::Message() << jpeg->length() << " bytes, cut at " << bytes.size());
            auto decoded = CGImageSourceCreateWithData(data, nil);
            (void)CGImageSourceCreateImageAtIndex(decoded, 0, nil);
            EXPECT_EQ(CGImageSourceGetStatus(CGImageSourceCreateWithData(data, nil)), CGImageSourceGetStatus(decoded));
        }
    }
}
