#include "ui/images/UIImageViewWebCache.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/ui/NSLayoutConstraint.h"
#include "ui/images/UIViewWebCacheOperation.h"
#include "ui/images/internal/MainThreadHandOff.h"
#include "ui/images/internal/WebCacheLoads.h"
#include "ui/images/internal/WebCacheViewState.h"

using dv::internal::images::runOnMainThreadAsync;
using dv::internal::images::runOnMainThreadSync;
using dv::internal::images::WebCacheViewState;

const Ref<NSString> RIImageViewImageLoadKey = "UIImageViewImageLoad"_ns;
const Ref<NSString> RIImageViewAnimationImagesLoadKey = "UIImageViewAnimationImages"_ns;

namespace {

void setImageAndLayout(UIImageView& view, const Ref<UIImage>& image)
{
    view.setImage(image);
    view.setNeedsLayout();
}

// What a load's answer does to the view, on the main thread.
void applyAnswer(UIImageView& view, const Ref<UIImage>& image, const Ref<NSError>& error, RIImageCacheType cacheType, bool finished,
    const Ref<NSURL>& imageURL, RIWebImageLoadOptions options, const Ref<UIImage>& placeholder, const RIWebImageCompletionBlock& completed)
{
    if (image && (options & RIWebImageLoadManualImageSet) && completed) {
        completed(image, error, cacheType, imageURL);
        return;
    }
    if (image)
        setImageAndLayout(view, image);
    else if (options & RIWebImageLoadDeferPlaceholder)
        setImageAndLayout(view, placeholder);
    if (completed && finished)
        completed(image, error, cacheType, imageURL);
}

} // namespace

// Loading --------------------------------------------------------------------------------------------

void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url)
{
    ri_setImageWithURL(view, url, nil, 0, nil, nil);
}

void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder)
{
    ri_setImageWithURL(view, url, placeholder, 0, nil, nil);
}

void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options)
{
    ri_setImageWithURL(view, url, placeholder, options, nil, nil);
}

void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageCompletionBlock completed)
{
    ri_setImageWithURL(view, url, nil, 0, nil, std::move(completed));
}

void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageCompletionBlock completed)
{
    ri_setImageWithURL(view, url, placeholder, 0, nil, std::move(completed));
}

void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options, RIWebImageCompletionBlock completed)
{
    ri_setImageWithURL(view, url, placeholder, options, nil, std::move(completed));
}

void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options, RIWebImageDownloaderProgressBlock progress, RIWebImageCompletionBlock completed)
{
    if (!view)
        return;
    auto state = WebCacheViewState::of(*view, true);
    if (id running = state->takeOperationForKey(RIImageViewImageLoadKey))
        dv::internal::images::cancelLoadOperation(running);
    state->imageURL = url;

    // A picture the memory level holds is set now, as the load would set it before returning.
    static const Ref<RIWebImageManager> manager = RIWebImageManager::sharedManager();
    const Ref<UIImage> memoryHit = url && dv::isMainThread() ? manager->imageAnsweredFromMemory(url, options) : nil;
    // Nothing can see the placeholder before such a picture replaces it.
    const bool hitReplacesPlaceholder = memoryHit && !((options & RIWebImageLoadManualImageSet) && completed);

    if (!(options & RIWebImageLoadDeferPlaceholder) && !hitReplacesPlaceholder) {
        if (dv::isMainThread())
            view->setImage(placeholder);
        else
            dispatch_async(dispatch_get_main_queue(), [weak = Weak<UIImageView>(view), placeholder] {
                if (auto view = weak.lock())
                    view->setImage(placeholder);
            });
    }

    if (!url) {
        // The view is kept until the main thread has taken its spinner off and answered.
        runOnMainThreadAsync([view, completed = std::move(completed)] {
            removeActivityIndicator(view);
            if (completed)
                completed(nil, dv::internal::images::nilURLError(), RIImageCacheTypeNone, nil);
        });
        return;
    }

    if (memoryHit) {
        // Nothing is left running, so nothing is kept to cancel; a spinner left by a cancelled
        // load goes, as the load's answer would take it.
        if (state->activityIndicator)
            removeActivityIndicator(view);
        applyAnswer(*view, memoryHit, nil, RIImageCacheTypeMemory, true, url, options, placeholder, completed);
        return;
    }

    if (state->showActivityIndicatorView)
        addActivityIndicator(view);
    Weak<UIImageView> weak = view;
    auto load = manager->downloadImageWithURL(url, options, std::move(progress),
        [weak, options, placeholder, completed = std::move(completed)](const Ref<UIImage>& image, const Ref<NSError>& error,
            RIImageCacheType cacheType, bool finished, const Ref<NSURL>& imageURL) {
            {
                auto view = weak.lock();
                if (!view)
                    return;
                removeActivityIndicator(view);
            }
            runOnMainThreadSync([&] {
                if (auto view = weak.lock())
                    applyAnswer(*view, image, error, cacheType, finished, imageURL, options, placeholder, completed);
            });
        });
    state->setOperationForKey(load, RIImageViewImageLoadKey);
}

void ri_setImageWithPreviousCachedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url,
    const Ref<UIImage>& placeholder, RIWebImageLoadOptions options, RIWebImageDownloaderProgressBlock progress,
    RIWebImageCompletionBlock completed)
{
    auto manager = RIWebImageManager::sharedManager();
    auto key = manager->cacheKeyForURL(url);
    auto cached = key ? manager->imageCache()->imageFromDiskCacheForKey(key) : nil;
    ri_setImageWithURL(view, url, cached ? cached : placeholder, options, std::move(progress), std::move(completed));
}

Ref<NSURL> ri_imageURL(const Ref<UIImageView>& view)
{
    auto state = view ? WebCacheViewState::of(*view, false) : nil;
    return state ? state->imageURL : nil;
}

// Animation frames -----------------------------------------------------------------------------------

void ri_setAnimationImagesWithURLs(const Ref<UIImageView>& view, const Ref<NSArray>& urls)
{
    if (!view)
        return;
    ri_cancelCurrentAnimationImagesLoad(view);
    Weak<UIImageView> weak = view;
    auto loads = NSMutableArray::array();
    for (NSUInteger i = 0; urls && i < urls->count(); ++i) {
        auto load = RIWebImageManager::sharedManager()->downloadImageWithURL(urls->objectAtIndex(i), 0, nil,
            [weak](const Ref<UIImage>& image, const Ref<NSError>&, RIImageCacheType, bool, const Ref<NSURL>&) {
                runOnMainThreadSync([&] {
                    auto view = weak.lock();
                    if (!view)
                        return;
                    view->stopAnimating();
                    if (image) {
                        auto frames = view->animationImages() ? dv::as<NSMutableArray>(view->animationImages()->mutableCopy())
                                                              : NSMutableArray::array();
                        frames->addObject(image);
                        view->setAnimationImages(frames);
                        view->setNeedsLayout();
                    }
                    view->startAnimating();
                });
            });
        loads->addObject(load);
    }
    ri_setImageLoadOperation(view, loads, RIImageViewAnimationImagesLoadKey);
}

void ri_cancelCurrentImageLoad(const Ref<UIImageView>& view) { ri_cancelImageLoadOperationWithKey(view, RIImageViewImageLoadKey); }

void ri_cancelCurrentAnimationImagesLoad(const Ref<UIImageView>& view)
{
    ri_cancelImageLoadOperationWithKey(view, RIImageViewAnimationImagesLoadKey);
}

// Spinner ----------------------------------------------------------------------------------------------

void setShowActivityIndicatorView(const Ref<UIImageView>& view, bool show)
{
    if (view)
        WebCacheViewState::of(*view, true)->showActivityIndicatorView = show;
}

bool showActivityIndicatorView(const Ref<UIImageView>& view)
{
    auto state = view ? WebCacheViewState::of(*view, false) : nil;
    return state && state->showActivityIndicatorView;
}

void setIndicatorStyle(const Ref<UIImageView>& view, UIActivityIndicatorViewStyle style)
{
    if (view)
        WebCacheViewState::of(*view, true)->indicatorStyle = style;
}

UIActivityIndicatorViewStyle getIndicatorStyle(const Ref<UIImageView>& view)
{
    auto state = view ? WebCacheViewState::of(*view, false) : nil;
    return state ? UIActivityIndicatorViewStyle(state->indicatorStyle) : UIActivityIndicatorViewStyleWhiteLarge;
}

Ref<UIActivityIndicatorView> activityIndicator(const Ref<UIImageView>& view)
{
    auto state = view ? WebCacheViewState::of(*view, false) : nil;
    return state ? state->activityIndicator : nil;
}

void setActivityIndicator(const Ref<UIImageView>& view, const Ref<UIActivityIndicatorView>& indicator)
{
    if (view)
        WebCacheViewState::of(*view, true)->activityIndicator = indicator;
}

void addActivityIndicator(const Ref<UIImageView>& view)
{
    if (!view)
        return;
    auto state = WebCacheViewState::of(*view, true);
    Weak<UIImageView> weak = view;
    if (!state->activityIndicator) {
        auto indicator = alloc<UIActivityIndicatorView>()->initWithActivityIndicatorStyle(
            UIActivityIndicatorViewStyle(state->indicatorStyle));
        state->activityIndicator = indicator;
        indicator->setTranslatesAutoresizingMaskIntoConstraints(false);
        runOnMainThreadAsync([weak, indicator] {
            auto view = weak.lock();
            if (!view)
                return;
            view->addSubview(indicator);
            view->addConstraint(NSLayoutConstraint::constraintWithItem(indicator, NSLayoutAttributeCenterX, NSLayoutRelationEqual,
                view, NSLayoutAttributeCenterX, 1, 0));
            view->addConstraint(NSLayoutConstraint::constraintWithItem(indicator, NSLayoutAttributeCenterY, NSLayoutRelationEqual,
                view, NSLayoutAttributeCenterY, 1, 0));
        });
    }
    runOnMainThreadAsync([indicator = state->activityIndicator] { indicator->startAnimating(); });
}

void removeActivityIndicator(const Ref<UIImageView>& view)
{
    auto state = view ? WebCacheViewState::of(*view, false) : nil;
    if (!state || !state->activityIndicator)
        return;
    auto indicator = std::exchange(state->activityIndicator, nil);
    indicator->removeFromSuperview();
}

// Older names ----------------------------------------------------------------------------------------

namespace {

RIWebImageCompletionBlock withoutURL(RIWebImageCompletedBlock completed)
{
    return [completed = std::move(completed)](const Ref<UIImage>& image, const Ref<NSError>& error, RIImageCacheType cacheType,
               const Ref<NSURL>&) {
        if (completed)
            completed(image, error, cacheType);
    };
}

} // namespace

Ref<NSURL> imageURL(const Ref<UIImageView>& view) { return ri_imageURL(view); }

void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options)
{
    ri_setImageWithURL(view, url, placeholder, options, nil, nil);
}

void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageCompletedBlock completed)
{
    ri_setImageWithURL(view, url, nil, 0, nil, withoutURL(std::move(completed)));
}

void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageCompletedBlock completed)
{
    ri_setImageWithURL(view, url, placeholder, 0, nil, withoutURL(std::move(completed)));
}

void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options, RIWebImageCompletedBlock completed)
{
    ri_setImageWithURL(view, url, placeholder, options, nil, withoutURL(std::move(completed)));
}

void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options, RIWebImageDownloaderProgressBlock progress, RIWebImageCompletedBlock completed)
{
    ri_setImageWithURL(view, url, placeholder, options, std::move(progress), withoutURL(std::move(completed)));
}

void cancelCurrentArrayLoad(const Ref<UIImageView>& view) { ri_cancelCurrentAnimationImagesLoad(view); }

void cancelCurrentImageLoad(const Ref<UIImageView>& view) { ri_cancelCurrentImageLoad(view); }

void setAnimationImagesWithURLs(const Ref<UIImageView>& view, const Ref<NSArray>& urls) { ri_setAnimationImagesWithURLs(view, urls); }
