#include "foundation/http/PNImageResponseSerializer.h"

#include "foundation/http/internal/DirectImageDecoder.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSSet.h"
#include "platform/graphics/CGColorSpace.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/RemoteImageLimit.h"
#include "platform/net/NSURLResponse.h"
#include "platform/system/UIScreen.h"

DV_DEFINE_CLASS(PNImageResponseSerializer)

Ref<UIImage> pn_safeImageWithData(const Ref<NSData>& data)
{
    // Made on first use and kept for the process, like the platform's own lock would be.
    static dv::Mutex* const s_imageLock = new dv::Mutex;
    dv::MutexLocker lock(*s_imageLock);
    return UIImage::imageWithData(data);
}

Ref<UIImage> PNImageFromDataAtScale(const Ref<NSData>& data, CGFloat scale)
{
    // A picture of more pixels than any screen shows is refused before it is decoded.
    if (dv::exceedsRemoteImageLimit(data))
        return nil;
    auto image = pn_safeImageWithData(data);
    if (!image || image->images())
        return image;
    return UIImage::imageWithCGImage(image->CGImage(), scale, image->imageOrientation());
}

Ref<UIImage> PNInflateImageFromResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, CGFloat scale)
{
    if (!data || data->length() == 0 || dv::exceedsRemoteImageLimit(data))
        return nil;

    CGImageRef imageRef;
    auto mimeType = response ? response->MIMEType() : nil;
    if (mimeType && mimeType->isEqualToString("image/png"))
        imageRef = dv::internal::http::decodePNGBitmap(data);
    else if (mimeType && mimeType->isEqualToString("image/jpeg"))
        imageRef = dv::internal::http::decodeJPEGBitmap(data); // nil for CMYK: the general decoder takes it

    auto image = PNImageFromDataAtScale(data, scale);
    if (!imageRef) {
        if (!image || image->images())
            return image;
        imageRef = CGImageCreateCopy(image->CGImage());
        if (!imageRef)
            return nil;
    }

    const std::size_t width = CGImageGetWidth(imageRef);
    const std::size_t height = CGImageGetHeight(imageRef);
    const std::size_t bitsPerComponent = CGImageGetBitsPerComponent(imageRef);
    if (width * height > 1024 * 1024 || bitsPerComponent > 8)
        return image;

    auto colorSpace = CGColorSpaceCreateDeviceRGB();
    CGBitmapInfo bitmapInfo = CGImageGetBitmapInfo(imageRef);
    if (CGColorSpaceGetModel(colorSpace) == kCGColorSpaceModelRGB) {
        const CGImageAlphaInfo alpha = CGImageAlphaInfo(bitmapInfo & kCGBitmapAlphaInfoMask);
        CGImageAlphaInfo drawn = alpha;
        if (alpha == kCGImageAlphaNone)
            drawn = kCGImageAlphaNoneSkipFirst;
        else if (alpha != kCGImageAlphaNoneSkipFirst && alpha != kCGImageAlphaNoneSkipLast)
            drawn = kCGImageAlphaPremultipliedFirst;
        bitmapInfo = (bitmapInfo & ~kCGBitmapAlphaInfoMask) | drawn;
    }
    auto context = CGBitmapContextCreate(nullptr, width, height, bitsPerComponent, 0, colorSpace, bitmapInfo);
    if (!context)
        return image;
    CGContextDrawImage(context, CGRectMake(0, 0, CGFloat(width), CGFloat(height)), imageRef);
    auto inflated = CGBitmapContextCreateImage(context);
    if (!inflated)
        return image;
    return UIImage::imageWithCGImage(inflated, scale, image ? image->imageOrientation() : UIImageOrientationUp);
}

Ref<PNImageResponseSerializer> PNImageResponseSerializer::init()
{
    PNHTTPResponseSerializer::init();
    return self<PNImageResponseSerializer>();
}

Ref<PNImageResponseSerializer> PNImageResponseSerializer::serializer() { return alloc<PNImageResponseSerializer>()->init(); }

void PNImageResponseSerializer::applyDefaults()
{
    PNHTTPResponseSerializer::applyDefaults();
    m_acceptableContentTypes = NSSet::of({"image/tiff"_ns, "image/jpeg"_ns, "image/gif"_ns, "image/png"_ns, "image/ico"_ns,
        "image/x-icon"_ns, "image/bmp"_ns, "image/x-bmp"_ns, "image/x-xbitmap"_ns, "image/x-win-bitmap"_ns});
    m_imageScale = UIScreen::mainScreen()->scale();
    m_automaticallyInflatesResponseImage = true;
}

id PNImageResponseSerializer::responseObjectForResponse(const Ref<NSURLResponse>& response, const Ref<NSData>& data, Ref<NSError>* error)
{
    if (!dv::internal::http::responseSerializerGate(*this, response, data, error))
        return nil;
    if (m_automaticallyInflatesResponseImage)
        return PNInflateImageFromResponse(response, data, m_imageScale);
    return PNImageFromDataAtScale(data, m_imageScale);
}

void PNImageResponseSerializer::encodeWithCoder(NSCoder& coder) const
{
    PNHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(NSNumber::numberWithDouble(m_imageScale), "imageScale"_ns);
    coder.encodeBool(m_automaticallyInflatesResponseImage, "automaticallyInflatesResponseImage"_ns);
}

id PNImageResponseSerializer::initWithCoder(NSCoder& coder)
{
    PNHTTPResponseSerializer::initWithCoder(coder);
    // An archive without the entries leaves 0 and NO, as the platform's decoding would.
    auto scale = coder.decodeObjectOfClass<NSNumber>("imageScale"_ns);
    m_imageScale = scale ? scale->doubleValue() : 0;
    m_automaticallyInflatesResponseImage = coder.decodeBoolForKey("automaticallyInflatesResponseImage"_ns);
    return self();
}

id PNImageResponseSerializer::copyWithZone(NSZone*) const
{
    auto copy = makeInitialisedInstance<PNImageResponseSerializer>();
    copy->m_imageScale = m_imageScale;
    copy->m_automaticallyInflatesResponseImage = m_automaticallyInflatesResponseImage;
    return copy;
}
