// The two cache protocols of the network image downloader. PNImageCache keeps images under a text
// identifier; PNImageRequestCache adds the forms keyed by a URL request (its URL's absolute text)
// and an optional extra identifier. The downloader talks to its cache through PNImageRequestCache
// alone, so any object adopting it can stand in for PNAutoPurgingImageCache. Implementations are
// called from the downloader's queues and from the main thread, so they must be thread-safe.
#pragma once

#include "platform/base/NSObject.h"

class NSURLRequest;
class UIImage;

class PNImageCache {
public:
    virtual ~PNImageCache() = default;
    virtual void addImage(const Ref<UIImage>& image, const Ref<NSString>& identifier) = 0;
    // Whether there was an image to remove.
    virtual bool removeImageWithIdentifier(const Ref<NSString>& identifier) = 0;
    // Whether there was any image to remove.
    virtual bool removeAllImages() = 0;
    virtual Ref<UIImage> imageWithIdentifier(const Ref<NSString>& identifier) = 0;
};

class PNImageRequestCache : public PNImageCache {
public:
    // A nil additional identifier means none.
    virtual void addImage(const Ref<UIImage>& image, const Ref<NSURLRequest>& request, const Ref<NSString>& additionalIdentifier) = 0;
    virtual bool removeImageforRequest(const Ref<NSURLRequest>& request, const Ref<NSString>& additionalIdentifier) = 0;
    virtual Ref<UIImage> imageforRequest(const Ref<NSURLRequest>& request, const Ref<NSString>& additionalIdentifier) = 0;
    using PNImageCache::addImage;
};
