#include "ui/images/NSDataImageContentType.h"

#include "platform/base/NSData.h"
#include "platform/base/NSString.h"

#include <cstring>

Ref<NSString> ri_contentTypeForImageData(const Ref<NSData>& data)
{
    if (!data || data->length() == 0)
        return nil;
    const std::uint8_t* bytes = data->bytes();
    switch (bytes[0]) {
    case 0xFF:
        return "image/jpeg"_ns;
    case 0x89:
        return "image/png"_ns;
    case 0x47:
        return "image/gif"_ns;
    case 0x49:
    case 0x4D:
        return "image/tiff"_ns;
    case 0x52:
        // A RIFF container is WebP only when its form type says so.
        if (data->length() >= 12 && std::memcmp(bytes, "RIFF", 4) == 0 && std::memcmp(bytes + 8, "WEBP", 4) == 0)
            return "image/webp"_ns;
        return nil;
    default:
        return nil;
    }
}

Ref<NSString> contentTypeForImageData(const Ref<NSData>& data) { return ri_contentTypeForImageData(data); }
