// Writes the seed corpora of the image fuzz targets: small files of every kind each decoder reads,
// made by the codec libraries and our own encoders, with the damaged, cut-short and hostile cases
// the decoders must refuse. Files found elsewhere that a decoder once read wrongly (the
// four-component JPEGs of 64 x 64 and the malformed ones) are kept beside what it writes, which
// it leaves alone. Run it again after changing what it writes:
//   cmake --build build-fuzz --target dv_image_corpus && build-fuzz/fuzz/graphics/dv_image_corpus fuzz/corpus
#include "tests/platform/graphics/HostileImages.h"

#include "platform/graphics/UIImage.h"

#include <turbojpeg.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <filesystem>
#include <fstream>
#include <iostream>

using namespace dv::test;

namespace {

std::filesystem::path s_root;

void save(const char* target, const std::string& name, const Ref<NSData>& data)
{
    const auto folder = s_root / target;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(data->bytes()), std::streamsize(data->length()));
}

Ref<NSData> cut(const Ref<NSData>& data, double share) { return prefix(data, std::size_t(double(data->length()) * share)); }

Ref<NSData> webp(const CGImageRef& image, bool lossless)
{
    auto rgba = dv::imagePixelsRGBA8(image);
    const int w = int(image->width()), h = int(image->height());
    std::uint8_t* out = nullptr;
    const std::size_t size = lossless ? WebPEncodeLosslessRGBA(rgba.data(), w, h, w * 4, &out) : WebPEncodeRGBA(rgba.data(), w, h, w * 4, 70, &out);
    auto data = NSData::dataWithBytes(out, size);
    WebPFree(out);
    return data;
}

Ref<NSData> animatedWebp()
{
    WebPAnimEncoderOptions options;
    WebPAnimEncoderOptionsInit(&options);
    options.anim_params.loop_count = 2;
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(12, 12, &options);
    WebPConfig config;
    WebPConfigInit(&config);
    for (int i = 0; i < 3; ++i) {
        config.lossless = i % 2;
        auto rgba = dv::imagePixelsRGBA8(photoLike(12, 12, std::uint32_t(i + 1), i == 2));
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = picture.height = 12;
        WebPPictureImportRGBA(&picture, rgba.data(), 48);
        WebPAnimEncoderAdd(encoder, &picture, i * 80, &config);
        WebPPictureFree(&picture);
    }
    WebPAnimEncoderAdd(encoder, nullptr, 240, nullptr);
    WebPData assembled;
    WebPDataInit(&assembled);
    WebPAnimEncoderAssemble(encoder, &assembled);
    auto data = NSData::dataWithBytes(assembled.bytes, assembled.size);
    WebPDataClear(&assembled);
    WebPAnimEncoderDelete(encoder);
    return data;
}

void pngs()
{
    const char* t = "fuzz_image_png";
    auto rgba = UIImagePNGRepresentation(UIImage::imageWithCGImage(photoLike(16, 12, 1, true)));
    save(t, "rgba-16x12.png", rgba);
    save(t, "rgb-20x10.png", UIImagePNGRepresentation(UIImage::imageWithCGImage(photoLike(20, 10))));
    PngLayout grey;
    grey.width = 9, grey.height = 5, grey.bitDepth = 1, grey.colourType = PNG_COLOR_TYPE_GRAY;
    grey.rows.assign(2 * 5, 0xA5);
    save(t, "grey-1bit-9x5.png", writePng(grey));
    PngLayout palette;
    palette.width = 6, palette.height = 4, palette.bitDepth = 4, palette.colourType = PNG_COLOR_TYPE_PALETTE;
    palette.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 9, 9}};
    palette.paletteAlpha = {0, 128};
    palette.rows = {0x01, 0x23, 0x10, 0x32, 0x01, 0x23, 0x10, 0x32, 0x01, 0x23, 0x10, 0x32};
    save(t, "palette-trns-6x4.png", writePng(palette));
    PngLayout deep;
    deep.width = 3, deep.height = 2, deep.bitDepth = 16, deep.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    deep.rows.assign(3 * 2 * 8, 0x7F);
    save(t, "rgba-16bit-3x2.png", writePng(deep));
    PngLayout interlaced;
    interlaced.width = 13, interlaced.height = 11, interlaced.colourType = PNG_COLOR_TYPE_GRAY_ALPHA, interlaced.interlaced = true;
    for (int i = 0; i < 13 * 11; ++i)
        interlaced.rows.insert(interlaced.rows.end(), {std::uint8_t(i * 3), std::uint8_t(255 - i)});
    save(t, "grey-alpha-interlaced-13x11.png", writePng(interlaced));
    save(t, "claims-10000x10000.png", pngClaimingHugeSize());
    save(t, "cut-short.png", cut(UIImagePNGRepresentation(UIImage::imageWithCGImage(photoLike(40, 40))), 0.6));
    auto damaged = NSMutableData::dataWithData(rgba);
    damaged->mutableBytes()[pngChunkAt(rgba, "IDAT") + 12] ^= 0x40;
    save(t, "bad-checksum.png", damaged);
}

void jpegs()
{
    const char* t = "fuzz_image_jpeg";
    auto photo = photoLike(24, 16, 3);
    save(t, "baseline-24x16.jpg", writeJpeg(photo));
    save(t, "progressive-444-24x16.jpg", writeJpeg(photo, {.progressive = true, .fullChroma = true}));
    save(t, "grey-16x16.jpg", writeJpeg(photoLike(16, 16), {.grey = true}));
    save(t, "progressive-grey-16x16.jpg", writeJpeg(photoLike(16, 16), {.progressive = true, .grey = true}));
    save(t, "exif-orientation-6.jpg", UIImageJPEGRepresentation(UIImage::imageWithCGImage(photo, 1, UIImageOrientationRight), 0.5));
    // Adobe CMYK, written by TurboJPEG.
    std::vector<unsigned char> cmyk(8 * 8 * 4);
    for (std::size_t i = 0; i < cmyk.size(); ++i)
        cmyk[i] = std::uint8_t(i * 37);
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, cmyk.data(), 8, 32, 8, TJPF_CMYK, &out, &size, TJSAMP_444, 80, 0);
    save(t, "cmyk-8x8.jpg", NSData::dataWithBytes(out, size));
    tjFree(out);
    tjDestroy(tj);
    // Four components, one sampled more than once vertically: libjpeg hands back several rows at once.
    save(t, "ycck-sampled-1x4-and-2x2-21x13.jpg", writeFourComponentJpeg(21, 13, true, {{{1, 4}, {1, 1}, {1, 1}, {2, 2}}}));
    save(t, "cmyk-sampled-1x3-19x11.jpg", writeFourComponentJpeg(19, 11, false, {{{1, 3}, {1, 1}, {1, 1}, {1, 1}}}));
    save(t, "claims-10000x10000.jpg", jpegClaimingHugeSize(false));
    save(t, "progressive-claims-10000x10000.jpg", jpegClaimingHugeSize(true));
    save(t, "progressive-cut-short.jpg", cut(writeJpeg(photoLike(40, 32), {.progressive = true}), 0.6));
    save(t, "baseline-cut-short.jpg", cut(writeJpeg(photoLike(40, 32)), 0.7));
    // Scans a decoder must refuse as they start ("refused-"), and shapes it must still take.
    save(t, "refused-refining-nothing-again-and-again-256x256.jpg", jpegRefiningNothingAgainAndAgain(1, 256, 40));
    save(t, "refused-cmyk-refining-nothing-again-and-again-64x64.jpg", jpegRefiningNothingAgainAndAgain(4, 64, 40));
    std::vector<JpegScan> chains = {{0, 0, 0, 0, 13}};
    for (int bit = 13; bit > 0; --bit)
        chains.push_back({0, 0, 0, bit, bit - 1});
    chains.push_back({1, 1, 63, 0, 1});
    chains.push_back({1, 1, 63, 1, 0});
    chains.push_back({0, 1, 63, 0, 0});
    save(t, "dc-chain-to-bit-13-restart-every-mcu-48x48.jpg", flatJpegWithScans({.side = 48, .components = 3, .sampling = {{{2, 2}, {1, 1}, {1, 1}, {1, 1}}}, .restartInterval = 1}, chains));
    save(t, "refused-band-sent-again-64x64.jpg", flatJpegWithScans({.side = 64}, {{0, 0, 0, 0, 0}, {0, 1, 63, 0, 0}, {0, 1, 63, 0, 0}}));
    // Noise at quality 100: more data than the image's blocks may carry, sequential and progressive;
    // and fainter noise within the limit.
    save(t, "refused-noise-past-the-data-limit-64x32.jpg", noiseJpeg(64, 32, 1, JpegCoding::StandardTables, 0, 128));
    save(t, "refused-cmyk-noise-refined-past-the-data-limit-32x32.jpg", noiseJpeg(32, 32, 4, JpegCoding::Refinements, 0, 128));
    save(t, "noise-within-the-data-limit-restart-every-mcu-48x48.jpg", noiseJpeg(48, 48, 3, JpegCoding::Progressive, 1, 6));
}

void gifs()
{
    const char* t = "fuzz_image_gif";
    const std::vector<GifColorType> palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    const std::vector<GifByteType> patch = {0, 2, 2, 2};
    auto frames = writeGif(4, 4, palette,
        {
            {0, 0, 4, 4, 10, DISPOSE_DO_NOT, -1, {}, std::vector<GifByteType>(16, 1)},
            {1, 1, 2, 2, 10, DISPOSE_BACKGROUND, 0, {}, patch},
            {3, 3, 1, 1, 10, DISPOSE_PREVIOUS, -1, {{0, 0, 0}, {255, 255, 255}}, {1}},
            {0, 0, 1, 1, 10, DISPOSE_DO_NOT, -1, {}, {3}, true},
        },
        0);
    save(t, "disposal-transparency-local-table.gif", frames);
    std::vector<GifByteType> rows;
    for (int i = 0; i < 30; ++i)
        rows.push_back(GifByteType(i % 4));
    save(t, "interlaced-3x10.gif", writeGif(3, 10, palette, {{0, 0, 3, 10, 0, 0, -1, {}, rows, true}}));
    save(t, "screen-10000x10000-256-colours.gif", gifWithHugeScreen(256));
    save(t, "screen-10000x10000-2-colours.gif", gifWithHugeScreen(2));
    save(t, "cut-short.gif", cut(frames, 0.7));
}

void webps()
{
    const char* t = "fuzz_image_webp";
    save(t, "lossy-32x24.webp", webp(photoLike(32, 24), false));
    save(t, "lossy-alpha-20x20.webp", webp(photoLike(20, 20, 2, true), false));
    save(t, "lossless-alpha-20x20.webp", webp(photoLike(20, 20, 3, true), true));
    save(t, "animated-3-frames.webp", animatedWebp());
    save(t, "cut-short.webp", cut(webp(photoLike(40, 40), false), 0.6));
}

// The frame count targets read a choice of pieces first, then the file.
void extents()
{
    auto seed = [](const char* target, const std::string& name, std::uint8_t choice, const Ref<NSData>& file) {
        auto bytes = NSMutableData::data();
        bytes->appendBytes(&choice, 1);
        bytes->appendData(file);
        save(target, name, bytes);
    };
    const char* t = "fuzz_frame_count_webp";
    seed(t, "animated-3-frames.webp", 0, animatedWebp());
    seed(t, "first-frame-chunk-covers-19-more-of-1024x1024.webp", 7, webpAnimationOfOneBitstream(2048, 1024, 20, FrameChunkSizes::FirstCoversTheRest));
    seed(t, "40-frame-chunks-of-4096x4096-nested.webp", 91, webpAnimationOfOneBitstream(4096, 4096, 40, FrameChunkSizes::Nested));
    seed(t, "6-frame-chunks-of-24x24-nested.webp", 200, webpAnimationOfOneBitstream(40, 24, 6, FrameChunkSizes::Nested));
    seed(t, "lossless-alpha-20x20.webp", 3, webp(photoLike(20, 20, 3, true), true));
    seed(t, "animated-cut-short.webp", 1, cut(webpAnimationOfOneBitstream(40, 24, 6), 0.7));

    t = "fuzz_frame_count_gif";
    const std::vector<GifColorType> palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    auto frames = writeGif(4, 4, palette,
        {
            {0, 0, 4, 4, 10, DISPOSE_DO_NOT, -1, {}, std::vector<GifByteType>(16, 1)},
            {1, 1, 2, 2, 10, DISPOSE_BACKGROUND, 0, {}, {0, 2, 2, 2}},
            {3, 3, 1, 1, 10, DISPOSE_PREVIOUS, -1, {{0, 0, 0}, {255, 255, 255}}, {1}},
        },
        0);
    seed(t, "disposal-local-table-loop.gif", 0, frames);
    seed(t, "cut-short.gif", 5, cut(frames, 0.7));
    seed(t, "screen-10000x10000.gif", 9, gifWithHugeScreen(2));
    std::vector<GifFrame> many(12, {0, 0, 8, 8, 2, DISPOSAL_UNSPECIFIED, -1, {}, std::vector<GifByteType>(64, 2)});
    seed(t, "12-frames-8x8.gif", 77, writeGif(8, 8, palette, many));
}

void bitmaps()
{
    auto dib = dibHeader(2, 2, 24, 0, 0);
    dib.insert(dib.end(), {255, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0});
    save("fuzz_image_bmp", "rgb-2x2.bmp", bmpFile(dib, 54));
    auto indexed = dibHeader(3, -1, 8, 0, 2);
    indexed.insert(indexed.end(), {0, 0, 0, 0, 0, 128, 255, 0, 1, 0, 1, 0});
    save("fuzz_image_bmp", "palette-top-down-3x1.bmp", bmpFile(indexed, 14 + 40 + 8));
    auto masks = dibHeader(2, 1, 32, 3, 0);
    for (std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0x11223344u, 0x55667788u})
        put32(masks, mask);
    save("fuzz_image_bmp", "bit-fields-2x1.bmp", bmpFile(masks, 14 + 40 + 12));

    auto png = UIImagePNGRepresentation(UIImage::imageWithCGImage(photoLike(2, 2, 4, true)))->vector();
    auto icon = dibHeader(2, 4, 32, 0, 0);
    for (int i = 0; i < 4; ++i)
        put32(icon, 0x0000FF00);
    icon.insert(icon.end(), {0x80, 0, 0, 0, 0, 0, 0, 0});
    save("fuzz_image_ico", "png-and-bitmap-entries.ico", iconFile({{1, png}, {2, icon}}));
    save("fuzz_image_ico", "bitmap-entry.ico", iconFile({{2, icon}}));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " <corpus folder, e.g. fuzz/corpus>\n";
        return 2;
    }
    s_root = argv[1];
    pngs();
    jpegs();
    gifs();
    webps();
    extents();
    bitmaps();
    return 0;
}
