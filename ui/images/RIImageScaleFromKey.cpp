#include "ui/images/RIImageScaleFromKey.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"
#include "platform/system/UIScreen.h"

#include <vector>

namespace {

CGFloat scaleForKey(const Ref<NSString>& key)
{
    CGFloat scale = UIScreen::mainScreen()->scale();
    if (key && key->length() >= 8) {
        const std::string& text = key->utf8();
        if (text.find("@2x.") != std::string::npos)
            scale = 2.0;
        if (text.find("@3x.") != std::string::npos)
            scale = 3.0;
    }
    return scale;
}

Ref<UIImage> rescaled(const Ref<UIImage>& image, CGFloat scale)
{
    if (!image)
        return nil;
    if (auto frames = image->images()) {
        std::vector<id> scaled;
        scaled.reserve(frames->count());
        for (const id& item : *frames)
            if (auto frame = rescaled(dv::as<UIImage>(item), scale))
                scaled.push_back(frame);
        return UIImage::animatedImageWithImages(NSArray::fromVector(std::move(scaled)), image->duration());
    }
    return UIImage::imageWithCGImage(image->CGImage(), scale, image->imageOrientation());
}

} // namespace

Ref<UIImage> RIImageScaleFromKey(const Ref<NSString>& key, const Ref<UIImage>& image)
{
    return image ? rescaled(image, scaleForKey(key)) : nil;
}
