// The vocabulary every part of the remote-image library shares: the handle of a load or a
// download that its owner cancels (`RIWebImageOperation`), the library's error domain and the
// block without arguments.
//
//   Ref<RIWebImageDownloadToken> token = downloader->downloadImageWithURL(url, 0, nil, completed);
//   RIWebImageOperation& handle = *token;
//   handle.cancel(); // from any thread; nothing is delivered to this caller afterwards
#pragma once

#include "platform/base/NSObject.h"

#include <functional>

using RIWebImageNoParamsBlock = std::function<void()>;

// The image library's errors: code 0 for downloads that bring no image, -1 for loads without URL.
extern const Ref<NSString> RIWebImageErrorDomain;

// A protocol: adopted beside an NSObject base. Cancelling twice, or after the end, does nothing.
class RIWebImageOperation {
public:
    virtual ~RIWebImageOperation() = default;
    virtual void cancel() = 0;
};
