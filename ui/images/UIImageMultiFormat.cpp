#include "ui/images/UIImageMultiFormat.h"

#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/RemoteImageLimit.h"
#include "ui/images/NSDataImageContentType.h"
#include "ui/images/UIImageGIF.h"

Ref<UIImage> ri_imageWithData(const Ref<NSData>& data)
{
    // A picture of more pixels than any screen shows is refused before it is decoded.
    if (!data || dv::exceedsRemoteImageLimit(data))
        return nil;
    auto type = ri_contentTypeForImageData(data);
    if (type && type->isEqualToString("image/gif"))
        return ri_animatedGIFWithData(data);
    // The platform's decoder applies the orientation recorded in the image's properties, the
    // same record ri_imageOrientationFromImageData reads: no second read of the header is needed.
    return alloc<UIImage>()->initWithData(data);
}

UIImageOrientation ri_imageOrientationFromImageData(const Ref<NSData>& data)
{
    auto source = CGImageSourceCreateWithData(data, nil);
    if (!source)
        return UIImageOrientationUp;
    auto properties = CGImageSourceCopyPropertiesAtIndex(source, 0, nil);
    auto value = properties ? dv::as<NSNumber>(properties->objectForKey(kCGImagePropertyOrientation)) : nil;
    if (!value)
        return UIImageOrientationUp;
    return ri_exifOrientationToiOSOrientation(value->intValue());
}

UIImageOrientation ri_exifOrientationToiOSOrientation(std::int32_t exifOrientation)
{
    return dv::imageOrientationFromEXIF(exifOrientation);
}
