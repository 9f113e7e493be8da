// What a JPEG's scans may make the decoder do: a scan that adds nothing, more scans than encoders
// write, or scans that would step through the coefficients far more often than a progressive
// script does make the file damaged as soon as that scan starts; libjpeg's own progressive
// scripts, restart markers and sequential files of several scans still decode.
#include "GraphicsTestSupport.h"
#include "HostileImages.h"

#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/UIImage.h"

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
    auto sequential = compressJpeg(
        48, 40, 3, JCS_RGB,
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
        [](std::size_t y, std::uint8_t* row) {
            for (std::size_t i = 0; i < 48 * 3; ++i)
                row[i] = std::uint8_t(i * 5 + y * 3);
        });
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
