// The remote-image decoding helpers and the image cache's disk read path on any bytes: the input
// is taken as a downloaded body and as a cache file found on disk, and every helper that reads
// such bytes is asked about it. The same bytes are read as Base64 text as well.
#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/internal/ImageLimits.h"
#include "ui/images/NSDataBase64Additions.h"
#include "ui/images/NSDataImageContentType.h"
#include "ui/images/RIImageCache.h"
#include "ui/images/RIImageScaleFromKey.h"
#include "ui/images/UIImageForceDecode.h"
#include "ui/images/UIImageGIF.h"
#include "ui/images/UIImageMultiFormat.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

Ref<RIImageCache> scratchCache()
{
    static const Ref<RIImageCache> cache = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "dv-fuzz-cache-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        return alloc<RIImageCache>()->initWithNamespace("fuzz"_ns, NSString::fromUTF8(pattern));
    }();
    return cache;
}

void exerciseImage(const Ref<UIImage>& image)
{
    if (!image)
        return;
    (void)decodedImageWithImage(image);
    (void)RIImageCache::memoryCostOf(image);
    // Small targets keep each input fast; both a crop and a stretch.
    (void)ri_animatedImageByScalingAndCroppingToSize(image, CGSizeMake(8, 4));
    (void)ri_animatedImageByScalingAndCroppingToSize(image, CGSizeMake(3, 9));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    static const bool limited = (dv::internal::graphics::setPixelLimits(4'000'000, 16'000'000), true);
    (void)limited;
    auto data = NSData::dataWithBytes(bytes, size);

    // As a download.
    (void)ri_contentTypeForImageData(data);
    (void)ri_imageOrientationFromImageData(data);
    auto image = ri_imageWithData(data);
    exerciseImage(image);
    exerciseImage(RIImageScaleFromKey("http://host/a@3x.png"_ns, image));
    if (auto source = CGImageSourceCreateWithData(data, nil))
        for (std::size_t i = 0; i < std::min<std::size_t>(CGImageSourceGetCount(source), 4); ++i)
            (void)ri_frameDurationAtIndex(i, source);
    exerciseImage(ri_animatedGIFWithData(data));

    // As a cache file, under a key whose scale and extension vary with the input.
    static const char* const keys[] = {"http://host/a.png", "http://host/b@2x.gif", "http://host/c@3x.jpg", "http://host/d"};
    auto cache = scratchCache();
    auto key = NSString::stringWithUTF8String(keys[size % 4]);
    const std::string path = dv::str(cache->defaultCachePathForKey(key));
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes), std::streamsize(size));
    cache->clearMemory();
    exerciseImage(cache->imageFromDiskCacheForKey(key));
    (void)cache->diskImageExistsWithKey(key);

    // As Base64 text.
    auto text = NSString::fromUTF8(std::string_view(reinterpret_cast<const char*>(bytes), size));
    (void)dataWithBase64EncodedString(text);
    (void)base64EncodingWithLineLength(data, std::uint32_t(size % 80));
    return 0;
}
