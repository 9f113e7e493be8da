#include "ui/images/internal/NetworkImageLoads.h"

#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/base/NSUUID.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/ui/UIView.h"
#include "ui/images/PNImageDownloadReceipt.h"
#include "ui/images/PNImageDownloader.h"

namespace dv::internal::images {

namespace {

bool isActiveReceiptID(const UIView& view, const NetworkImageSlot& slot, const Ref<NSUUID>& receiptID)
{
    auto receipt = slot.receipt(view);
    return receipt && dv::equal(receipt->receiptID(), receiptID);
}

} // namespace

bool isReceiptForRequest(const Ref<PNImageDownloadReceipt>& receipt, const Ref<NSURLRequest>& request)
{
    if (!receipt || !receipt->task() || !request || !request->URL())
        return false;
    auto original = receipt->task()->originalRequest();
    if (!original || !original->URL())
        return false;
    return dv::equal(original->URL()->absoluteString(), request->URL()->absoluteString());
}

void cancelNetworkImageLoad(const Ref<UIView>& view, const NetworkImageSlot& slot)
{
    if (!view)
        return;
    if (auto receipt = slot.receipt(*view)) {
        sharedImageDownloader(view->getClass())->cancelTaskForImageDownloadReceipt(receipt);
        slot.setReceipt(*view, nil);
    }
}

void loadNetworkImage(const Ref<UIView>& view, const Ref<NSURLRequest>& request, const Ref<UIImage>& placeholder,
    PNImageDownloadSuccessBlock success, PNImageDownloadFailureBlock failure, const NetworkImageSlot& slot)
{
    if (!view)
        return;
    if (!request || !request->URL()) {
        cancelNetworkImageLoad(view, slot);
        slot.show(*view, placeholder);
        return;
    }
    if (isReceiptForRequest(slot.receipt(*view), request))
        return;
    cancelNetworkImageLoad(view, slot);

    auto downloader = sharedImageDownloader(view->getClass());
    if (auto cache = downloader->imageCache()) {
        if (auto cached = cache->imageforRequest(request, nil)) {
            slot.setReceipt(*view, nil);
            if (success)
                success(request, nil, cached);
            else
                slot.show(*view, cached);
            return;
        }
    }
    if (placeholder)
        slot.show(*view, placeholder);

    // The slot holds the receipt's identifier before the downloader is asked: when the
    // downloader answers from its cache (filled since the lookup above), the success it queues
    // must still find this load current.
    auto receiptID = NSUUID::UUID();
    slot.setReceipt(*view, alloc<PNImageDownloadReceipt>()->initWithReceiptID(receiptID, nil));
    Weak<UIView> weak = view;
    auto receipt = downloader->downloadImageForURLRequest(request, receiptID,
        [weak, receiptID, slot, success](const Ref<NSURLRequest>& request, const Ref<NSHTTPURLResponse>& response, const Ref<UIImage>& image) {
            auto view = weak.lock();
            if (!view || !isActiveReceiptID(*view, slot, receiptID))
                return;
            // Cleared first: the block may start the next load of this slot.
            slot.setReceipt(*view, nil);
            if (success)
                success(request, response, image);
            else if (image)
                slot.show(*view, image);
        },
        [weak, receiptID, slot, failure](const Ref<NSURLRequest>& request, const Ref<NSHTTPURLResponse>& response, const Ref<NSError>& error) {
            auto view = weak.lock();
            if (!view || !isActiveReceiptID(*view, slot, receiptID))
                return;
            slot.setReceipt(*view, nil);
            if (failure)
                failure(request, response, error);
        });
    if (receipt)
        slot.setReceipt(*view, receipt);
}

} // namespace dv::internal::images
