// UIImageView(PNNetworking): an image view's picture from a URL request through the network image
// downloader set for the view's class (sharedImageDownloader in PNImageDownloader.h), with a
// placeholder meanwhile. A view has at most one load: a new one withdraws the previous one, whose
// blocks are then never called, and asking again for the URL already loading changes nothing.
// With a success block the image goes to the block and the view is left to the caller. The load's
// receipt is kept on the view (UIImageView(_PNNetworking)). Main thread only.
//
//   setImageWithURL(avatar, NSURL::URLWithString(address), UIImage::imageNamed("placeholder"_ns));
#pragma once

#include "ui/images/PNImageDownloaderResponseHandler.h"

class NSURL;
class NSURLRequest;
class PNImageDownloadReceipt;
class UIImageView;

// The request for the URL with the header "Accept: image/*", no blocks; no placeholder, or the
// one given.
void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url);
void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder);
// A request without URL withdraws the load and shows the placeholder (nil too). An image of the
// downloader's cache is answered at once (whatever the request's cache policy). On a miss the
// placeholder shows when one is given (else the current image stays) while the downloader works.
void setImageWithURLRequest(const Ref<UIImageView>& view, const Ref<NSURLRequest>& request, const Ref<UIImage>& placeholder,
    PNImageDownloadSuccessBlock success, PNImageDownloadFailureBlock failure);
// Withdraws the view's load (its blocks are not called) and forgets it.
void cancelImageDownloadTask(const Ref<UIImageView>& view);
// Forgets the view's load without withdrawing it.
void clearActiveDownloadInformation(const Ref<UIImageView>& view);
// Whether the view's load was made for the request's URL; NO without a load.
bool isActiveTaskURLEqualToURLRequest(const Ref<UIImageView>& view, const Ref<NSURLRequest>& request);

// UIImageView(_PNNetworking): the receipt of the view's load.
Ref<PNImageDownloadReceipt> pn_activeImageDownloadReceipt(const Ref<UIImageView>& view);
void pn_setActiveImageDownloadReceipt(const Ref<UIImageView>& view, const Ref<PNImageDownloadReceipt>& receipt);
