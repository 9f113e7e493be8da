// PNImageDownloaderResponseHandler: one requester waiting on a download of the network image
// downloader: its receipt identifier and its two blocks. Immutable once made.
#pragma once

#include "platform/base/NSObject.h"

#include <functional>

class NSError;
class NSHTTPURLResponse;
class NSURLRequest;
class NSUUID;
class UIImage;

// The request of the first requester, the HTTP response (nil when the image came from the cache)
// and the image. Called on the main queue.
using PNImageDownloadSuccessBlock = std::function<void(const Ref<NSURLRequest>& request, const Ref<NSHTTPURLResponse>& response,
    const Ref<UIImage>& image)>;
// The request, the HTTP response (may be nil) and the error. Called on the main queue.
using PNImageDownloadFailureBlock = std::function<void(const Ref<NSURLRequest>& request, const Ref<NSHTTPURLResponse>& response,
    const Ref<NSError>& error)>;

class PNImageDownloaderResponseHandler : public NSObject {
    DV_CLASS(PNImageDownloaderResponseHandler, NSObject)

    PNImageDownloaderResponseHandler() = default;
    Ref<PNImageDownloaderResponseHandler> initWithUUID(const Ref<NSUUID>& uuid, PNImageDownloadSuccessBlock success,
        PNImageDownloadFailureBlock failure);

    Ref<NSUUID> uuid() const { return m_uuid; }
    const PNImageDownloadSuccessBlock& successBlock() const { return m_successBlock; }
    const PNImageDownloadFailureBlock& failureBlock() const { return m_failureBlock; }

    // "<PNImageDownloaderResponseHandler>UUID: <uuid>".
    Ref<NSString> description() const override;

private:
    Ref<NSUUID> m_uuid;
    PNImageDownloadSuccessBlock m_successBlock;
    PNImageDownloadFailureBlock m_failureBlock;
};
