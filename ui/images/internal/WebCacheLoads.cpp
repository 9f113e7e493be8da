#include "ui/images/internal/WebCacheLoads.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/ui/UIView.h"
#include "ui/images/internal/MainThreadHandOff.h"

namespace dv::internal::images {

Ref<RIWebImageCombinedOperation> loadIntoSlot(const Ref<UIView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options,
    RIWebImageDownloaderProgressBlock progress, RIWebImageCompletionBlock completed, WebCacheSlot slot)
{
    Weak<UIView> weak = view;
    return RIWebImageManager::sharedManager()->downloadImageWithURL(url, options, std::move(progress),
        [weak, url, options, completed = std::move(completed), slot = std::move(slot)](const Ref<UIImage>& image,
            const Ref<NSError>& error, RIImageCacheType cacheType, bool finished, const Ref<NSURL>&) {
            if (weak.expired())
                return;
            runOnMainThreadSync([&] {
                auto view = weak.lock();
                if (!view)
                    return;
                if (image) {
                    if ((options & RIWebImageLoadManualImageSet) && completed) {
                        completed(image, error, cacheType, url);
                        return;
                    }
                    slot(*view, image);
                }
                if (completed && finished)
                    completed(image, error, cacheType, url);
            });
        });
}

Ref<NSError> nilURLError()
{
    return NSError::errorWithDomain(RIWebImageErrorDomain, -1,
        NSDictionary::dictionaryWithObjectForKey("Trying to load a nil url"_ns, NSLocalizedDescriptionKey));
}

void answerNilURL(RIWebImageCompletionBlock completed)
{
    if (!completed)
        return;
    runOnMainThreadAsync([completed = std::move(completed)] { completed(nil, nilURLError(), RIImageCacheTypeNone, nil); });
}

} // namespace dv::internal::images
