#include "ui/images/UIImageViewHighlightedWebCache.h"

#include "ui/images/UIViewWebCacheOperation.h"
#include "ui/images/internal/WebCacheLoads.h"

const Ref<NSString> RIImageViewHighlightedImageLoadKey = "highlightedImage"_ns;

void ri_setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url)
{
    ri_setHighlightedImageWithURL(view, url, 0, nil, nil);
}

void ri_setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options)
{
    ri_setHighlightedImageWithURL(view, url, options, nil, nil);
}

void ri_setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageCompletionBlock completed)
{
    ri_setHighlightedImageWithURL(view, url, 0, nil, std::move(completed));
}

void ri_setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options,
    RIWebImageCompletionBlock completed)
{
    ri_setHighlightedImageWithURL(view, url, options, nil, std::move(completed));
}

void ri_setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options,
    RIWebImageDownloaderProgressBlock progress, RIWebImageCompletionBlock completed)
{
    if (!view)
        return;
    ri_cancelCurrentHighlightedImageLoad(view);
    if (!url) {
        dv::internal::images::answerNilURL(std::move(completed));
        return;
    }
    auto load = dv::internal::images::loadIntoSlot(view, url, options, std::move(progress), std::move(completed),
        [](UIView& target, const Ref<UIImage>& image) {
            auto& imageView = static_cast<UIImageView&>(target);
            imageView.setHighlightedImage(image);
            imageView.setNeedsLayout();
        });
    ri_setImageLoadOperation(view, load, RIImageViewHighlightedImageLoadKey);
}

void ri_cancelCurrentHighlightedImageLoad(const Ref<UIImageView>& view)
{
    ri_cancelImageLoadOperationWithKey(view, RIImageViewHighlightedImageLoadKey);
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

void setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url)
{
    ri_setHighlightedImageWithURL(view, url, 0, nil, nil);
}

void setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options)
{
    ri_setHighlightedImageWithURL(view, url, options, nil, nil);
}

void setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageCompletedBlock completed)
{
    ri_setHighlightedImageWithURL(view, url, 0, nil, withoutURL(std::move(completed)));
}

void setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options,
    RIWebImageCompletedBlock completed)
{
    ri_setHighlightedImageWithURL(view, url, options, nil, withoutURL(std::move(completed)));
}

void setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options,
    RIWebImageDownloaderProgressBlock progress, RIWebImageCompletedBlock completed)
{
    ri_setHighlightedImageWithURL(view, url, options, std::move(progress), withoutURL(std::move(completed)));
}

void cancelCurrentHighlightedImageLoad(const Ref<UIImageView>& view) { ri_cancelCurrentHighlightedImageLoad(view); }
