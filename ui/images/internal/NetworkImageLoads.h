// The load that the image-view and button categories of the network image downloader share:
// one request into one slot of a view (the image view's image, or a button's image or background
// for a state), through the downloader set for the view's class, on the main thread. The slot's
// receipt is kept on the view; completions hold the view weakly and act only while the slot's
// receipt is still the one they were made for.
#pragma once

#include "ui/images/PNImageDownloaderResponseHandler.h"

#include <functional>

class NSURLRequest;
class PNImageDownloadReceipt;
class UIView;

namespace dv::internal::images {

// How a load reaches its slot on a view.
struct NetworkImageSlot {
    std::function<Ref<PNImageDownloadReceipt>(const UIView& view)> receipt;
    std::function<void(const UIView& view, const Ref<PNImageDownloadReceipt>& receipt)> setReceipt;
    std::function<void(UIView& view, const Ref<UIImage>& image)> show;
};

// Without a URL: withdraws the slot's load and shows the placeholder (nil included). A load of
// the same URL already running: nothing. Otherwise withdraws the slot's load, answers from the
// downloader's image cache at once (to the success block when there is one, else by showing the
// image), or shows the placeholder (when given) and asks the downloader.
void loadNetworkImage(const Ref<UIView>& view, const Ref<NSURLRequest>& request, const Ref<UIImage>& placeholder,
    PNImageDownloadSuccessBlock success, PNImageDownloadFailureBlock failure, const NetworkImageSlot& slot);
// Withdraws the slot's load from the downloader, silently, and clears the slot's receipt.
void cancelNetworkImageLoad(const Ref<UIView>& view, const NetworkImageSlot& slot);
// Whether the receipt's task was made for the request's URL (equal absolute texts).
bool isReceiptForRequest(const Ref<PNImageDownloadReceipt>& receipt, const Ref<NSURLRequest>& request);

} // namespace dv::internal::images
