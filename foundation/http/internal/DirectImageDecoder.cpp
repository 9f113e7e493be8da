#include "foundation/http/internal/DirectImageDecoder.h"

#include "platform/base/NSData.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGImageSource.h"

namespace dv::internal::http {

namespace {

CGImageRef decodeOfType(const Ref<NSData>& data, std::string_view type)
{
    if (!data || data->length() == 0)
        return nil;
    auto source = CGImageSourceCreateWithData(data, nil);
    auto found = CGImageSourceGetType(source);
    if (!found || !found->isEqualToString(type) || CGImageSourceGetCount(source) == 0)
        return nil;
    return CGImageSourceCreateImageAtIndex(source, 0, nil);
}

} // namespace

CGImageRef decodePNGBitmap(const Ref<NSData>& data) { return decodeOfType(data, "public.png"); }

CGImageRef decodeJPEGBitmap(const Ref<NSData>& data)
{
    if (jpegFrameComponents(data) == 4)
        return nil;
    return decodeOfType(data, "public.jpeg");
}

int jpegFrameComponents(const Ref<NSData>& data)
{
    if (!data || data->length() < 4)
        return 0;
    const std::uint8_t* p = data->bytes();
    const std::size_t n = data->length();
    if (p[0] != 0xFF || p[1] != 0xD8)
        return 0;
    std::size_t at = 2;
    while (at + 4 <= n) {
        if (p[at] != 0xFF)
            return 0;
        const std::uint8_t marker = p[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        const std::size_t length = (std::size_t(p[at + 2]) << 8) | p[at + 3];
        if (length < 2)
            return 0;
        // Start-of-frame markers: C0–CF except DHT (C4), JPG (C8) and DAC (CC).
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (at + 10 > n)
                return 0;
            return p[at + 9];
        }
        if (marker == 0xDA || marker == 0xD9)
            return 0;
        at += 2 + length;
    }
    return 0;
}

} // namespace dv::internal::http
