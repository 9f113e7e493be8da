// UIButton(PNNetworking): a button's image or background image for a state from a URL request,
// through the network image downloader set for the button's class (sharedImageDownloader in
// PNImageDownloader.h). Each kind has four slots: highlighted, selected and disabled have their
// own, the normal state and every other state value (combinations included) share one. A slot has
// at most one load and behaves as an image view's (UIImageViewPNNetworking.h), a request without
// URL included: the load is withdrawn and the placeholder shown. The receipts are kept on the
// button (UIButton(_PNNetworking)). Main thread only.
//
//   setImageForState(button, UIControlStateNormal, NSURL::URLWithString(address), placeholder);
#pragma once

#include "platform/ui/UIControl.h"
#include "ui/images/PNImageDownloaderResponseHandler.h"

class NSURL;
class NSURLRequest;
class PNImageDownloadReceipt;
class UIButton;

// The request for the URL with the header "Accept: image/*", no blocks.
void setImageForState(const Ref<UIButton>& button, UIControlState state, const Ref<NSURL>& url);
void setImageForState(const Ref<UIButton>& button, UIControlState state, const Ref<NSURL>& url, const Ref<UIImage>& placeholder);
void setImageForState(const Ref<UIButton>& button, UIControlState state, const Ref<NSURLRequest>& request,
    const Ref<UIImage>& placeholder, PNImageDownloadSuccessBlock success, PNImageDownloadFailureBlock failure);
void setBackgroundImageForState(const Ref<UIButton>& button, UIControlState state, const Ref<NSURL>& url);
void setBackgroundImageForState(const Ref<UIButton>& button, UIControlState state, const Ref<NSURL>& url,
    const Ref<UIImage>& placeholder);
void setBackgroundImageForState(const Ref<UIButton>& button, UIControlState state, const Ref<NSURLRequest>& request,
    const Ref<UIImage>& placeholder, PNImageDownloadSuccessBlock success, PNImageDownloadFailureBlock failure);
// Withdraw the slot's load (its blocks are not called) and forget it.
void cancelImageDownloadTaskForState(const Ref<UIButton>& button, UIControlState state);
void cancelBackgroundImageDownloadTaskForState(const Ref<UIButton>& button, UIControlState state);
// Whether the slot's load was made for the request's URL; NO without a load.
bool isActiveTaskURLEqualToURLRequest(const Ref<UIButton>& button, const Ref<NSURLRequest>& request, UIControlState state);
bool isActiveBackgroundTaskURLEqualToURLRequest(const Ref<UIButton>& button, const Ref<NSURLRequest>& request, UIControlState state);

// UIButton(_PNNetworking): the receipts of the slots.
Ref<PNImageDownloadReceipt> pn_imageDownloadReceiptForState(const Ref<UIButton>& button, UIControlState state);
void pn_setImageDownloadReceipt(const Ref<UIButton>& button, const Ref<PNImageDownloadReceipt>& receipt, UIControlState state);
Ref<PNImageDownloadReceipt> pn_backgroundImageDownloadReceiptForState(const Ref<UIButton>& button, UIControlState state);
void pn_setBackgroundImageDownloadReceipt(const Ref<UIButton>& button, const Ref<PNImageDownloadReceipt>& receipt,
    UIControlState state);
