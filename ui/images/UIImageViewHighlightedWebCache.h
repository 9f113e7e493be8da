// UIImageView(HighlightedWebCache): an image view's highlighted image from a URL, through the
// shared image manager. The load is kept in the view's operation table under "highlightedImage",
// so a new request cancels the old one; no placeholder is shown and the current highlighted image
// stays until the new one arrives. Main thread for set-up; the image and the block always reach
// the view on the main thread.
//
//   ri_setHighlightedImageWithURL(icon, url);
#pragma once

#include "platform/ui/UIImageView.h"
#include "ui/images/RIWebImageManager.h"

extern const Ref<NSString> RIImageViewHighlightedImageLoadKey; // "highlightedImage"

void ri_setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url);
void ri_setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options);
void ri_setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageCompletionBlock completed);
void ri_setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options,
    RIWebImageCompletionBlock completed);
// The full form; without a URL the block gets RIWebImageErrorDomain -1 "Trying to load a nil url".
void ri_setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options,
    RIWebImageDownloaderProgressBlock progress, RIWebImageCompletionBlock completed);
void ri_cancelCurrentHighlightedImageLoad(const Ref<UIImageView>& view);

// UIImageView(HighlightedWebCacheDeprecated): the older names; their blocks get no URL.
void setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url);
void setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options);
void setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageCompletedBlock completed);
void setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options,
    RIWebImageCompletedBlock completed);
void setHighlightedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageLoadOptions options,
    RIWebImageDownloaderProgressBlock progress, RIWebImageCompletedBlock completed);
void cancelCurrentHighlightedImageLoad(const Ref<UIImageView>& view);
