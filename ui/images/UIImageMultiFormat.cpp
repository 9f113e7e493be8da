#include "ui/images/UIImageMultiFormat.h"

#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/graphics/CGImageSource.h"
#include "ui/images/NSDataImageContentType.h"
#include "ui/images/UIImageGIF.h"

Ref<UIImage> ri_imageWithData(const Ref<NSData>& data)
{
    if (!data)
        return nil;
    auto type = ri_contentTypeForImageData(data);
    if (type && type->isEqualToString("image/gif"))
        return ri_animatedGIFWithData(data);
    auto image = alloc<UIImage>()->initWithData(data);
    if (!image)
        return nil;
    const UIImageOrientation orientation = ri_imageOrientationFromImageData(data);
    if (orientation != UIImageOrientationUp && orientation != image->imageOrientation())
        image = UIImage::imageWithCGImage(image->CGImage(), image->scale(), orientation);
    return image;
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
