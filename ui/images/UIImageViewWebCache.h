// UIImageView(WebCache): an image view's picture from a URL, through the shared image manager. A
// new request cancels the view's running one first, so a reused cell's image view never shows the
// late picture of the row it showed before. The placeholder shows at once (unless deferred), an
// optional spinner turns while the load runs, and the loaded image is set on the main thread. The
// view also remembers the URL it asked for last, and can collect animation frames from a list of
// URLs. What is kept per view lives and dies with the view.
//
// Threads: meant for the main thread. From elsewhere the placeholder, the spinner and the answer
// to a request without URL are queued on the main queue; loaded images reach the view on the
// main thread, the manager's thread waiting.
//
//   ri_setImageWithURL(cell->imageView(), NSURL::URLWithString(model->imgurl()), UIImage::imageNamed("default"_ns));
#pragma once

#include "platform/ui/UIActivityIndicatorView.h"
#include "platform/ui/UIImageView.h"
#include "ui/images/RIWebImageManager.h"

// The keys of the view's loads in its operation table (UIViewWebCacheOperation.h).
extern const Ref<NSString> RIImageViewImageLoadKey;           // "UIImageViewImageLoad"
extern const Ref<NSString> RIImageViewAnimationImagesLoadKey; // "UIImageViewAnimationImages"

// The loading forms: each calls the full one with no placeholder, options 0, no progress and no
// completion where they are left out.
void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url);
void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder);
void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options);
void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageCompletionBlock completed);
void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageCompletionBlock completed);
void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options, RIWebImageCompletionBlock completed);
// The full form. Cancels the running load, remembers the URL, shows the placeholder (unless
// RIWebImageLoadDeferPlaceholder), then loads. The completion runs once, on the main thread, when
// the load ends (partial images of a progressive load are shown without it); with
// RIWebImageLoadManualImageSet and a completion the image goes to the completion only. Without a
// URL the completion gets RIWebImageErrorDomain -1 "Trying to load a nil url".
void ri_setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options, RIWebImageDownloaderProgressBlock progress, RIWebImageCompletionBlock completed);
// The full form with the shared cache's image for the URL (memory, else disk, read now) as the
// placeholder when it has one.
void ri_setImageWithPreviousCachedImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url,
    const Ref<UIImage>& placeholder, RIWebImageLoadOptions options, RIWebImageDownloaderProgressBlock progress,
    RIWebImageCompletionBlock completed);

// The URL of the latest request (also while it loads); nil after a request without URL.
Ref<NSURL> ri_imageURL(const Ref<UIImageView>& view);

// Loads each URL and appends its image to the view's animation frames as it arrives, after the
// frames it already has, restarting the animation each time. Cancels the previous list's loads.
void ri_setAnimationImagesWithURLs(const Ref<UIImageView>& view, const Ref<NSArray>& urls);
void ri_cancelCurrentImageLoad(const Ref<UIImageView>& view);
void ri_cancelCurrentAnimationImagesLoad(const Ref<UIImageView>& view);

// The spinner: whether loads show one, its style, and the one showing now (nil when none).
void setShowActivityIndicatorView(const Ref<UIImageView>& view, bool show);
bool showActivityIndicatorView(const Ref<UIImageView>& view);
void setIndicatorStyle(const Ref<UIImageView>& view, UIActivityIndicatorViewStyle style);
UIActivityIndicatorViewStyle getIndicatorStyle(const Ref<UIImageView>& view);
Ref<UIActivityIndicatorView> activityIndicator(const Ref<UIImageView>& view);
void setActivityIndicator(const Ref<UIImageView>& view, const Ref<UIActivityIndicatorView>& indicator);
// Makes the spinner when there is none (centred on the view by two constraints, added on the main
// thread) and starts it turning.
void addActivityIndicator(const Ref<UIImageView>& view);
void removeActivityIndicator(const Ref<UIImageView>& view);

// UIImageView(WebCacheDeprecated): the older names, forwarding to the forms above; their blocks
// get no URL. setImageWithURL(view, url) and setImageWithURL(view, url, placeholder) are left to
// the second downloader's image-view category, which has the same two forms.
Ref<NSURL> imageURL(const Ref<UIImageView>& view);
void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options);
void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, RIWebImageCompletedBlock completed);
void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageCompletedBlock completed);
void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options, RIWebImageCompletedBlock completed);
void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder,
    RIWebImageLoadOptions options, RIWebImageDownloaderProgressBlock progress, RIWebImageCompletedBlock completed);
void cancelCurrentArrayLoad(const Ref<UIImageView>& view);
void cancelCurrentImageLoad(const Ref<UIImageView>& view);
void setAnimationImagesWithURLs(const Ref<UIImageView>& view, const Ref<NSArray>& urls);
