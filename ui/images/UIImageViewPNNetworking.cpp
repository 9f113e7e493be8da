#include "ui/images/UIImageViewPNNetworking.h"

#include "platform/base/Associations.h"
#include "platform/base/NSString.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/ui/UIImageView.h"
#include "ui/images/PNImageDownloadReceipt.h"
#include "ui/images/internal/NetworkImageLoads.h"

namespace {

const char kActiveReceiptKey = 0;

Ref<PNImageDownloadReceipt> receiptOf(const UIView& view)
{
    return dv::as<PNImageDownloadReceipt>(objc_getAssociatedObject(&view, &kActiveReceiptKey));
}

const dv::internal::images::NetworkImageSlot& imageSlot()
{
    static const dv::internal::images::NetworkImageSlot slot {
        .receipt = [](const UIView& view) { return receiptOf(view); },
        .setReceipt = [](const UIView& view, const Ref<PNImageDownloadReceipt>& receipt) {
            objc_setAssociatedObject(&view, &kActiveReceiptKey, receipt, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        },
        .show = [](UIView& view, const Ref<UIImage>& image) { static_cast<UIImageView&>(view).setImage(image); },
    };
    return slot;
}

} // namespace

void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url) { setImageWithURL(view, url, Ref<UIImage>()); }

void setImageWithURL(const Ref<UIImageView>& view, const Ref<NSURL>& url, const Ref<UIImage>& placeholder)
{
    auto request = NSMutableURLRequest::requestWithURL(url);
    request->addValueForHTTPHeaderField("image/*"_ns, "Accept"_ns);
    setImageWithURLRequest(view, request, placeholder, nullptr, nullptr);
}

void setImageWithURLRequest(const Ref<UIImageView>& view, const Ref<NSURLRequest>& request, const Ref<UIImage>& placeholder,
    PNImageDownloadSuccessBlock success, PNImageDownloadFailureBlock failure)
{
    dv::internal::images::loadNetworkImage(view, request, placeholder, std::move(success), std::move(failure), imageSlot());
}

void cancelImageDownloadTask(const Ref<UIImageView>& view) { dv::internal::images::cancelNetworkImageLoad(view, imageSlot()); }

void clearActiveDownloadInformation(const Ref<UIImageView>& view) { pn_setActiveImageDownloadReceipt(view, nil); }

bool isActiveTaskURLEqualToURLRequest(const Ref<UIImageView>& view, const Ref<NSURLRequest>& request)
{
    return view && dv::internal::images::isReceiptForRequest(receiptOf(*view), request);
}

Ref<PNImageDownloadReceipt> pn_activeImageDownloadReceipt(const Ref<UIImageView>& view) { return view ? receiptOf(*view) : nil; }

void pn_setActiveImageDownloadReceipt(const Ref<UIImageView>& view, const Ref<PNImageDownloadReceipt>& receipt)
{
    if (view)
        imageSlot().setReceipt(*view, receipt);
}
