#include "ui/images/UIImageGIF.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/graphics/UIGraphics.h"
#include "platform/system/NSBundle.h"
#include "platform/system/UIScreen.h"

#include <vector>

namespace {

// Delays shorter than this are taken as "as fast as possible", which players show at 0.1 s.
constexpr float kShortestDelay = 0.011f;
constexpr float kDefaultDelay = 0.1f;

Ref<UIImage> drawnToFill(const Ref<UIImage>& frame, CGSize size, CGRect target)
{
    UIGraphicsBeginImageContextWithOptions(size, false, 0);
    frame->drawInRect(target);
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return drawn;
}

} // namespace

Ref<UIImage> ri_animatedGIFWithData(const Ref<NSData>& data)
{
    if (!data)
        return nil;
    auto source = CGImageSourceCreateWithData(data, nil);
    const std::size_t count = CGImageSourceGetCount(source);
    if (count <= 1)
        return alloc<UIImage>()->initWithData(data);

    const CGFloat scale = UIScreen::mainScreen()->scale();
    std::vector<id> frames;
    frames.reserve(count);
    double duration = 0;
    for (std::size_t i = 0; i < count; ++i) {
        auto bitmap = CGImageSourceCreateImageAtIndex(source, i, nil);
        if (!bitmap)
            continue;
        duration += ri_frameDurationAtIndex(i, source);
        frames.push_back(UIImage::imageWithCGImage(bitmap, scale, UIImageOrientationUp));
    }
    if (frames.empty())
        return nil;
    return UIImage::animatedImageWithImages(NSArray::fromVector(std::move(frames)), duration);
}

float ri_frameDurationAtIndex(NSUInteger index, const CGImageSourceRef& source)
{
    float duration = kDefaultDelay;
    auto properties = CGImageSourceCopyPropertiesAtIndex(source, index, nil);
    auto gif = properties ? dv::as<NSDictionary>(properties->objectForKey(kCGImagePropertyGIFDictionary)) : nil;
    if (gif) {
        if (auto unclamped = dv::as<NSNumber>(gif->objectForKey(kCGImagePropertyGIFUnclampedDelayTime)))
            duration = unclamped->floatValue();
        else if (auto delay = dv::as<NSNumber>(gif->objectForKey(kCGImagePropertyGIFDelayTime)))
            duration = delay->floatValue();
    }
    // Also catches a NaN that a damaged file could not give but a caller's dictionary could.
    if (!(duration >= kShortestDelay))
        duration = kDefaultDelay;
    return duration;
}

Ref<UIImage> ri_animatedGIFNamed(const Ref<NSString>& name)
{
    if (!name)
        return nil;
    auto bundle = NSBundle::mainBundle();
    auto gif = "gif"_ns;
    if (UIScreen::mainScreen()->scale() > 1.0) {
        auto path = bundle->pathForResource(name->stringByAppendingString("@2x"_ns), gif);
        if (auto data = path ? NSData::dataWithContentsOfFile(path) : nil)
            return ri_animatedGIFWithData(data);
    }
    auto path = bundle->pathForResource(name, gif);
    if (auto data = path ? NSData::dataWithContentsOfFile(path) : nil)
        return ri_animatedGIFWithData(data);
    return UIImage::imageNamed(name);
}

Ref<UIImage> ri_animatedImageByScalingAndCroppingToSize(const Ref<UIImage>& image, CGSize size)
{
    if (!image)
        return nil;
    const CGSize imageSize = image->size();
    if (CGSizeEqualToSize(imageSize, size) || CGSizeEqualToSize(size, CGSizeZero))
        return image;
    // Nothing to scale from (and factors would divide by zero), or nothing to draw into.
    if (imageSize.width <= 0 || imageSize.height <= 0 || size.width <= 0 || size.height <= 0)
        return image;

    const CGFloat widthFactor = size.width / imageSize.width;
    const CGFloat heightFactor = size.height / imageSize.height;
    const CGFloat factor = widthFactor >= heightFactor ? widthFactor : heightFactor;
    const CGSize scaled = CGSizeMake(imageSize.width * factor, imageSize.height * factor);
    CGPoint origin = CGPointMake(0, 0);
    if (widthFactor > heightFactor)
        origin.y = (size.height - scaled.height) * 0.5;
    else if (heightFactor > widthFactor)
        origin.x = (size.width - scaled.width) * 0.5;
    const CGRect target = CGRectMake(origin.x, origin.y, scaled.width, scaled.height);

    auto frames = image->images();
    if (!frames)
        return drawnToFill(image, size, target);
    std::vector<id> drawn;
    drawn.reserve(frames->count());
    for (const id& item : *frames) {
        auto frame = dv::as<UIImage>(item);
        if (auto result = frame ? drawnToFill(frame, size, target) : nil)
            drawn.push_back(result);
    }
    if (drawn.empty())
        return image;
    return UIImage::animatedImageWithImages(NSArray::fromVector(std::move(drawn)), image->duration());
}
