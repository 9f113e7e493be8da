#include "ui/images/UIButtonPNNetworking.h"

#include "platform/base/Associations.h"
#include "platform/base/NSString.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/ui/UIButton.h"
#include "ui/images/PNImageDownloadReceipt.h"
#include "ui/images/internal/NetworkImageLoads.h"

namespace {

enum class Kind { image, background };

// One key per kind and slot: normal, highlighted, selected, disabled.
const char kImageReceiptKeys[4] = {};
const char kBackgroundReceiptKeys[4] = {};

const void* receiptKey(Kind kind, UIControlState state)
{
    std::size_t slot = 0;
    switch (state) {
    case UIControlStateHighlighted: slot = 1; break;
    case UIControlStateSelected: slot = 2; break;
    case UIControlStateDisabled: slot = 3; break;
    default: slot = 0; break;
    }
    return kind == Kind::image ? &kImageReceiptKeys[slot] : &kBackgroundReceiptKeys[slot];
}

Ref<PNImageDownloadReceipt> receiptOf(const UIView& view, Kind kind, UIControlState state)
{
    return dv::as<PNImageDownloadReceipt>(objc_getAssociatedObject(&view, receiptKey(kind, state)));
}

void setReceiptOf(const UIView& view, Kind kind, UIControlState state, const Ref<PNImageDownloadReceipt>& receipt)
{
    objc_setAssociatedObject(&view, receiptKey(kind, state), receipt, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

dv::internal::images::NetworkImageSlot slotFor(Kind kind, UIControlState state)
{
    return {
        .receipt = [kind, state](const UIView& view) { return receiptOf(view, kind, state); },
        .setReceipt = [kind, state](const UIView& view, const Ref<PNImageDownloadReceipt>& receipt) { setReceiptOf(view, kind, state, receipt); },
        .show = [kind, state](UIView& view, const Ref<UIImage>& image) {
            auto& button = static_cast<UIButton&>(view);
            if (kind == Kind::image)
                button.setImage(image, state);
            else
                button.setBackgroundImage(image, state);
        },
    };
}

Ref<NSURLRequest> imageRequest(const Ref<NSURL>& url)
{
    auto request = NSMutableURLRequest::requestWithURL(url);
    request->addValueForHTTPHeaderField("image/*"_ns, "Accept"_ns);
    return request;
}

} // namespace

void setImageForState(const Ref<UIButton>& button, UIControlState state, const Ref<NSURL>& url)
{
    setImageForState(button, state, url, Ref<UIImage>());
}

void setImageForState(const Ref<UIButton>& button, UIControlState state, const Ref<NSURL>& url, const Ref<UIImage>& placeholder)
{
    setImageForState(button, state, imageRequest(url), placeholder, nullptr, nullptr);
}

void setImageForState(const Ref<UIButton>& button, UIControlState state, const Ref<NSURLRequest>& request,
    const Ref<UIImage>& placeholder, PNImageDownloadSuccessBlock success, PNImageDownloadFailureBlock failure)
{
    dv::internal::images::loadNetworkImage(button, request, placeholder, std::move(success), std::move(failure), slotFor(Kind::image, state));
}

void setBackgroundImageForState(const Ref<UIButton>& button, UIControlState state, const Ref<NSURL>& url)
{
    setBackgroundImageForState(button, state, url, Ref<UIImage>());
}

void setBackgroundImageForState(const Ref<UIButton>& button, UIControlState state, const Ref<NSURL>& url,
    const Ref<UIImage>& placeholder)
{
    setBackgroundImageForState(button, state, imageRequest(url), placeholder, nullptr, nullptr);
}

void setBackgroundImageForState(const Ref<UIButton>& button, UIControlState state, const Ref<NSURLRequest>& request,
    const Ref<UIImage>& placeholder, PNImageDownloadSuccessBlock success, PNImageDownloadFailureBlock failure)
{
    dv::internal::images::loadNetworkImage(button, request, placeholder, std::move(success), std::move(failure),
        slotFor(Kind::background, state));
}

void cancelImageDownloadTaskForState(const Ref<UIButton>& button, UIControlState state)
{
    dv::internal::images::cancelNetworkImageLoad(button, slotFor(Kind::image, state));
}

void cancelBackgroundImageDownloadTaskForState(const Ref<UIButton>& button, UIControlState state)
{
    dv::internal::images::cancelNetworkImageLoad(button, slotFor(Kind::background, state));
}

bool isActiveTaskURLEqualToURLRequest(const Ref<UIButton>& button, const Ref<NSURLRequest>& request, UIControlState state)
{
    return button && dv::internal::images::isReceiptForRequest(receiptOf(*button, Kind::image, state), request);
}

bool isActiveBackgroundTaskURLEqualToURLRequest(const Ref<UIButton>& button, const Ref<NSURLRequest>& request, UIControlState state)
{
    return button && dv::internal::images::isReceiptForRequest(receiptOf(*button, Kind::background, state), request);
}

Ref<PNImageDownloadReceipt> pn_imageDownloadReceiptForState(const Ref<UIButton>& button, UIControlState state)
{
    return button ? receiptOf(*button, Kind::image, state) : nil;
}

void pn_setImageDownloadReceipt(const Ref<UIButton>& button, const Ref<PNImageDownloadReceipt>& receipt, UIControlState state)
{
    if (button)
        setReceiptOf(*button, Kind::image, state, receipt);
}

Ref<PNImageDownloadReceipt> pn_backgroundImageDownloadReceiptForState(const Ref<UIButton>& button, UIControlState state)
{
    return button ? receiptOf(*button, Kind::background, state) : nil;
}

void pn_setBackgroundImageDownloadReceipt(const Ref<UIButton>& button, const Ref<PNImageDownloadReceipt>& receipt,
    UIControlState state)
{
    if (button)
        setReceiptOf(*button, Kind::background, state, receipt);
}
