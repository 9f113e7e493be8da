#include "ui/images/UIButtonWebCache.h"

#include "platform/base/Associations.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "ui/images/UIViewWebCacheOperation.h"
#include "ui/images/internal/WebCacheLoads.h"

using dv::internal::images::WebCacheSlot;

namespace {

const char kImageURLStorageKey = 0;

Ref<NSString> imageOperationKey(UIControlState state) { return NSString::stringWithFormat("UIButtonImageOperation%lu", state); }

Ref<NSString> backgroundOperationKey(UIControlState state)
{
    return NSString::stringWithFormat("UIButtonBackgroundImageOperation%lu", state);
}

enum class Layer { image, background };

void loadInto(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options, RIWebImageCompletionBlock completed, Layer layer)
{
    if (!button)
        return;
    if (layer == Layer::image) {
        button->setImage(placeholder, state);
        ri_cancelImageLoadForState(button, state);
    } else {
        ri_cancelBackgroundImageLoadForState(button, state);
        button->setBackgroundImage(placeholder, state);
    }
    if (!url) {
        if (layer == Layer::image)
            imageURLStorage(button)->removeObjectForKey(NSNumber::numberWithUnsignedInteger(state));
        dv::internal::images::answerNilURL(std::move(completed));
        return;
    }
    if (layer == Layer::image)
        imageURLStorage(button)->setObjectForKey(url, NSNumber::numberWithUnsignedInteger(state));
    WebCacheSlot slot = [state, layer](UIView& view, const Ref<UIImage>& image) {
        auto& button = static_cast<UIButton&>(view);
        if (layer == Layer::image)
            button.setImage(image, state);
        else
            button.setBackgroundImage(image, state);
    };
    auto load = dv::internal::images::loadIntoSlot(button, url, options, nil, std::move(completed), std::move(slot));
    if (layer == Layer::image)
        ri_setImageLoadOperation(button, load, state);
    else
        ri_setBackgroundImageLoadOperation(button, load, state);
}

RIWebImageCompletionBlock withoutURL(RIWebImageCompletedBlock completed)
{
    // Always a block, as the image view's older forms pass one: the manual image set hands the
    // image to it even when it calls nothing.
    return [completed = std::move(completed)](const Ref<UIImage>& image, const Ref<NSError>& error, RIImageCacheType cacheType,
               const Ref<NSURL>&) {
        if (completed)
            completed(image, error, cacheType);
    };
}

} // namespace

// URLs ------------------------------------------------------------------------------------------------

Ref<NSMutableDictionary> imageURLStorage(const Ref<UIButton>& button)
{
    if (!button)
        return nil;
    if (auto storage = dv::as<NSMutableDictionary>(objc_getAssociatedObject(button, &kImageURLStorageKey)))
        return storage;
    auto storage = NSMutableDictionary::dictionary();
    objc_setAssociatedObject(button, &kImageURLStorageKey, storage, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    return storage;
}

Ref<NSURL> ri_imageURLForState(const Ref<UIButton>& button, UIControlState state)
{
    auto storage = imageURLStorage(button);
    return storage ? dv::as<NSURL>(storage->objectForKey(NSNumber::numberWithUnsignedInteger(state))) : nil;
}

Ref<NSURL> ri_currentImageURL(const Ref<UIButton>& button)
{
    if (!button)
        return nil;
    if (auto url = ri_imageURLForState(button, button->state()))
        return url;
    return ri_imageURLForState(button, UIControlStateNormal);
}

// Images ---------------------------------------------------------------------------------------------

void ri_setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state)
{
    loadInto(button, url, state, nil, 0, nil, Layer::image);
}

void ri_setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder)
{
    loadInto(button, url, state, placeholder, 0, nil, Layer::image);
}

void ri_setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options)
{
    loadInto(button, url, state, placeholder, options, nil, Layer::image);
}

void ri_setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, RIWebImageCompletionBlock completed)
{
    loadInto(button, url, state, nil, 0, std::move(completed), Layer::image);
}

void ri_setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder,
    RIWebImageCompletionBlock completed)
{
    loadInto(button, url, state, placeholder, 0, std::move(completed), Layer::image);
}

void ri_setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options, RIWebImageCompletionBlock completed)
{
    loadInto(button, url, state, placeholder, options, std::move(completed), Layer::image);
}

void ri_setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state)
{
    loadInto(button, url, state, nil, 0, nil, Layer::background);
}

void ri_setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder)
{
    loadInto(button, url, state, placeholder, 0, nil, Layer::background);
}

void ri_setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder, RIWebImageLoadOptions options)
{
    loadInto(button, url, state, placeholder, options, nil, Layer::background);
}

void ri_setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    RIWebImageCompletionBlock completed)
{
    loadInto(button, url, state, nil, 0, std::move(completed), Layer::background);
}

void ri_setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder, RIWebImageCompletionBlock completed)
{
    loadInto(button, url, state, placeholder, 0, std::move(completed), Layer::background);
}

void ri_setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder, RIWebImageLoadOptions options, RIWebImageCompletionBlock completed)
{
    loadInto(button, url, state, placeholder, options, std::move(completed), Layer::background);
}

// Operations -------------------------------------------------------------------------------------------

void ri_setImageLoadOperation(const Ref<UIButton>& button, const id& operation, UIControlState state)
{
    ri_setImageLoadOperation(Ref<UIView>(button), operation, imageOperationKey(state));
}

void ri_cancelImageLoadForState(const Ref<UIButton>& button, UIControlState state)
{
    ri_cancelImageLoadOperationWithKey(button, imageOperationKey(state));
}

void ri_setBackgroundImageLoadOperation(const Ref<UIButton>& button, const id& operation, UIControlState state)
{
    ri_setImageLoadOperation(Ref<UIView>(button), operation, backgroundOperationKey(state));
}

void ri_cancelBackgroundImageLoadForState(const Ref<UIButton>& button, UIControlState state)
{
    ri_cancelImageLoadOperationWithKey(button, backgroundOperationKey(state));
}

// Older names ----------------------------------------------------------------------------------------

Ref<NSURL> currentImageURL(const Ref<UIButton>& button) { return ri_currentImageURL(button); }

Ref<NSURL> imageURLForState(const Ref<UIButton>& button, UIControlState state) { return ri_imageURLForState(button, state); }

void setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state)
{
    ri_setImageWithURL(button, url, state);
}

void setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder)
{
    ri_setImageWithURL(button, url, state, placeholder);
}

void setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options)
{
    ri_setImageWithURL(button, url, state, placeholder, options);
}

void setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, RIWebImageCompletedBlock completed)
{
    ri_setImageWithURL(button, url, state, withoutURL(std::move(completed)));
}

void setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder,
    RIWebImageCompletedBlock completed)
{
    ri_setImageWithURL(button, url, state, placeholder, withoutURL(std::move(completed)));
}

void setImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options, RIWebImageCompletedBlock completed)
{
    ri_setImageWithURL(button, url, state, placeholder, options, withoutURL(std::move(completed)));
}

void setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state)
{
    ri_setBackgroundImageWithURL(button, url, state);
}

void setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder)
{
    ri_setBackgroundImageWithURL(button, url, state, placeholder);
}

void setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder, RIWebImageLoadOptions options)
{
    ri_setBackgroundImageWithURL(button, url, state, placeholder, options);
}

void setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    RIWebImageCompletedBlock completed)
{
    ri_setBackgroundImageWithURL(button, url, state, withoutURL(std::move(completed)));
}

void setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder, RIWebImageCompletedBlock completed)
{
    ri_setBackgroundImageWithURL(button, url, state, placeholder, withoutURL(std::move(completed)));
}

void setBackgroundImageWithURL(const Ref<UIButton>& button, const Ref<NSURL>& url, UIControlState state,
    const Ref<UIImage>& placeholder, RIWebImageLoadOptions options, RIWebImageCompletedBlock completed)
{
    ri_setBackgroundImageWithURL(button, url, state, placeholder, options, withoutURL(std::move(completed)));
}

void cancelCurrentImageLoad(const Ref<UIButton>& button)
{
    if (button)
        ri_cancelImageLoadForState(button, button->state());
}

void cancelBackgroundImageLoadForState(const Ref<UIButton>& button, UIControlState state)
{
    ri_cancelBackgroundImageLoadForState(button, state);
}
