#include "platform/base/ClassBuilder.h"
#include "platform/graphics/UIImage.h"

#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSString.h"
#include "platform/graphics/ImageResources.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/graphics/internal/CairoCanvas.h"
#include "platform/graphics/internal/DrawingCopies.h"
#include "platform/graphics/internal/ImageDecoding.h"
#include "platform/graphics/internal/JpegCodec.h"
#include "platform/graphics/internal/PngCodec.h"

#include <cmath>
#include <unordered_map>

DV_DEFINE_CLASS(UIImage)

namespace {

dv::Mutex s_namedMutex;
std::unordered_map<std::string, dv::Uncounted<UIImage>> s_named DV_GUARDED_BY(s_namedMutex); // kept, not counted, until cleared

bool swapsSides(UIImageOrientation o)
{
    return o == UIImageOrientationLeft || o == UIImageOrientationRight || o == UIImageOrientationLeftMirrored
        || o == UIImageOrientationRightMirrored;
}

} // namespace

namespace dv {

void clearNamedImageCache()
{
    dv::MutexLocker lock(s_namedMutex);
    s_named.clear();
}

UIImageOrientation imageOrientationFromEXIF(int exif)
{
    switch (exif) {
    case 2:
        return UIImageOrientationUpMirrored;
    case 3:
        return UIImageOrientationDown;
    case 4:
        return UIImageOrientationDownMirrored;
    case 5:
        return UIImageOrientationLeftMirrored;
    case 6:
        return UIImageOrientationRight;
    case 7:
        return UIImageOrientationRightMirrored;
    case 8:
        return UIImageOrientationLeft;
    default:
        return UIImageOrientationUp;
    }
}

int exifFromImageOrientation(UIImageOrientation orientation)
{
    static const int table[] = {1, 3, 8, 6, 2, 4, 5, 7};
    return orientation >= 0 && orientation <= 7 ? table[orientation] : 1;
}

CGAffineTransform orientationTransform(UIImageOrientation o, CGFloat w, CGFloat h)
{
    switch (o) {
    case UIImageOrientationDown:
        return CGAffineTransformMake(-1, 0, 0, -1, w, h);
    case UIImageOrientationLeft:
        return CGAffineTransformMake(0, -1, 1, 0, 0, w);
    case UIImageOrientationRight:
        return CGAffineTransformMake(0, 1, -1, 0, h, 0);
    case UIImageOrientationUpMirrored:
        return CGAffineTransformMake(-1, 0, 0, 1, w, 0);
    case UIImageOrientationDownMirrored:
        return CGAffineTransformMake(1, 0, 0, -1, 0, h);
    case UIImageOrientationLeftMirrored:
        return CGAffineTransformMake(0, 1, 1, 0, 0, 0);
    case UIImageOrientationRightMirrored:
        return CGAffineTransformMake(0, -1, -1, 0, h, w);
    default:
        return CGAffineTransformIdentity;
    }
}

int jpegQualityFor(CGFloat q)
{
    if (!(q > 0))
        return 1;
    return int(std::clamp(std::lround(q * 100), 1L, 100L));
}

} // namespace dv

Ref<UIImage> UIImage::initWithCGImage(const CGImageRef& image) { return initWithCGImage(image, 1, UIImageOrientationUp); }

Ref<UIImage> UIImage::initWithCGImage(const CGImageRef& image, CGFloat scale, UIImageOrientation orientation)
{
    if (!image)
        return nil;
    m_cgImage = image;
    m_scale = scale > 0 ? scale : 1;
    m_orientation = orientation >= 0 && orientation <= 7 ? orientation : UIImageOrientationUp;
    return self<UIImage>();
}

Ref<UIImage> UIImage::initWithData(const Ref<NSData>& data) { return initWithData(data, 1); }

Ref<UIImage> UIImage::initWithData(const Ref<NSData>& data, CGFloat scale)
{
    if (!data || data->length() == 0)
        return nil;
    auto decoded = dv::internal::graphics::decodeFirstImage(data->span());
    if (!decoded.image)
        return nil;
    return initWithCGImage(decoded.image, scale, dv::imageOrientationFromEXIF(decoded.exifOrientation));
}

Ref<UIImage> UIImage::initWithContentsOfFile(const Ref<NSString>& path)
{
    if (!path)
        return nil;
    auto data = NSData::dataWithContentsOfFile(path);
    return initWithData(data, dv::scaleFromFileName(path->utf8()));
}

Ref<UIImage> UIImage::imageWithData(const Ref<NSData>& data) { return alloc<UIImage>()->initWithData(data); }
Ref<UIImage> UIImage::imageWithData(const Ref<NSData>& data, CGFloat scale) { return alloc<UIImage>()->initWithData(data, scale); }
Ref<UIImage> UIImage::imageWithContentsOfFile(const Ref<NSString>& path) { return alloc<UIImage>()->initWithContentsOfFile(path); }
Ref<UIImage> UIImage::imageWithCGImage(const CGImageRef& image) { return alloc<UIImage>()->initWithCGImage(image); }

Ref<UIImage> UIImage::imageWithCGImage(const CGImageRef& image, CGFloat scale, UIImageOrientation orientation)
{
    return alloc<UIImage>()->initWithCGImage(image, scale, orientation);
}

Ref<UIImage> UIImage::imageNamed(const Ref<NSString>& name)
{
    if (!name || name->length() == 0)
        return nil;
    const std::string key = name->utf8();
    {
        dv::MutexLocker lock(s_namedMutex);
        if (auto it = s_named.find(key); it != s_named.end())
            return it->second.get();
    }
    for (const auto& path : dv::resolveImageResource(key)) {
        dv::Uncounted<UIImage> loaded;
        auto image = loaded.make([&] { return imageWithContentsOfFile(NSString::fromUTF8(path)); });
        if (!image)
            continue;
        // Named before anyone else sees it: images are immutable once shared.
        image->m_resourceName = key;
        dv::MutexLocker lock(s_namedMutex);
        // Another thread may have loaded it meanwhile: the first one stays.
        return s_named.try_emplace(key, std::move(loaded)).first->second.get();
    }
    return nil;
}

Ref<UIImage> UIImage::animatedImageWithImages(const Ref<NSArray>& images, NSTimeInterval duration)
{
    if (!images || images->count() == 0)
        return nil;
    auto first = dv::as<UIImage>(images->objectAtIndex(0));
    if (!first)
        return nil;
    auto image = alloc<UIImage>()->initWithCGImage(first->CGImage(), first->scale(), first->imageOrientation());
    if (!image)
        return nil;
    image->m_images = images;
    image->m_duration = duration;
    return image;
}

CGSize UIImage::size() const
{
    const CGFloat w = CGFloat(CGImageGetWidth(m_cgImage)) / m_scale;
    const CGFloat h = CGFloat(CGImageGetHeight(m_cgImage)) / m_scale;
    return swapsSides(m_orientation) ? CGSizeMake(h, w) : CGSizeMake(w, h);
}

Ref<UIImage> UIImage::imageWithRenderingMode(UIImageRenderingMode mode) const
{
    auto copy = alloc<UIImage>()->initWithCGImage(m_cgImage, m_scale, m_orientation);
    copy->m_images = m_images;
    copy->m_duration = m_duration;
    copy->m_renderingMode = mode;
    copy->m_resourceName = m_resourceName;
    return copy;
}

void UIImage::drawInRect(CGRect rect) const { drawInRect(rect, kCGBlendModeNormal, 1); }

void UIImage::drawInRect(CGRect rect, CGBlendMode blendMode, CGFloat alpha) const
{
    auto context = UIGraphicsGetCurrentContext();
    if (!context || !m_cgImage)
        return;
    rect = CGRectStandardize(rect);
    if (rect.size.width <= 0 || rect.size.height <= 0)
        return;
    const CGFloat pw = CGFloat(m_cgImage->width()), ph = CGFloat(m_cgImage->height());
    const bool swap = swapsSides(m_orientation);
    const CGFloat displayedW = swap ? ph : pw, displayedH = swap ? pw : ph;
    // Pixel grid → oriented image → rectangle, all in the context's (UIKit) user space.
    CGAffineTransform t = dv::orientationTransform(m_orientation, pw, ph);
    t = CGAffineTransformConcat(t, CGAffineTransformMakeScale(rect.size.width / displayedW, rect.size.height / displayedH));
    t = CGAffineTransformConcat(t, CGAffineTransformMakeTranslation(rect.origin.x, rect.origin.y));
    CGContextSaveGState(context);
    CGContextSetBlendMode(context, blendMode);
    const auto& state = context->state();
    const auto pixels = dv::internal::graphics::DrawingCopies::pixelsFor(*m_cgImage);
    context->canvas().paintImage(pixels.rows, pixels.bytesPerRow, pixels.opaque, m_cgImage->width(), m_cgImage->height(), t,
        state.interpolation != kCGInterpolationNone, state.alpha * std::clamp(alpha, 0.0, 1.0));
    CGContextRestoreGState(context);
}

void UIImage::drawAtPoint(CGPoint point) const
{
    const CGSize s = size();
    drawInRect(CGRectMake(point.x, point.y, s.width, s.height));
}

Ref<NSString> UIImage::description() const
{
    const CGSize s = size();
    return NSString::stringWithFormat("<UIImage: %p>, {%g, %g}", static_cast<const void*>(this), s.width, s.height);
}

// The encoded file, or nil with the encoder's reason in the log.
static Ref<NSData> dataOf(dv::Result<std::vector<std::uint8_t>> encoded)
{
    if (!encoded) {
        NSLog("cannot encode an image: %s", encoded.reason());
        return nil;
    }
    return NSData::dataWithVector(std::move(encoded).value());
}

Ref<NSData> UIImagePNGRepresentation(const Ref<UIImage>& image)
{
    if (!image || !image->CGImage())
        return nil;
    return dataOf(dv::internal::graphics::pngEncode(image->CGImage()));
}

Ref<NSData> UIImageJPEGRepresentation(const Ref<UIImage>& image, CGFloat compressionQuality)
{
    if (!image || !image->CGImage())
        return nil;
    return dataOf(dv::internal::graphics::jpegEncode(image->CGImage(), dv::jpegQualityFor(compressionQuality),
        dv::exifFromImageOrientation(image->imageOrientation())));
}
