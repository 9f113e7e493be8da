// The load that the button and highlighted-image categories share: through the shared image
// manager into one slot of a view, held weakly, on the main thread.
#pragma once

#include "ui/images/RIWebImageManager.h"

#include <functional>

class UIView;

namespace dv::internal::images {

// Puts a loaded image into its place on the view (main thread).
using WebCacheSlot = std::function<void(UIView& view, const Ref<UIImage>& image)>;

// Loads `url` and, on the main thread while the view lives: with RIWebImageLoadManualImageSet and
// a block, hands the image to the block only; otherwise puts an image into the slot, then calls
// the block when the load finished. Nothing happens once the view is gone.
Ref<RIWebImageCombinedOperation> loadIntoSlot(const Ref<UIView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options,
    RIWebImageDownloaderProgressBlock progress, RIWebImageCompletionBlock completed, WebCacheSlot slot);

// RIWebImageErrorDomain, -1, "Trying to load a nil url".
Ref<NSError> nilURLError();
// The block (when given) gets (nil, nilURLError(), none, nil) on the main thread: at once when
// already there, else queued.
void answerNilURL(RIWebImageCompletionBlock completed);

} // namespace dv::internal::images
