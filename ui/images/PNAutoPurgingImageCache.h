// PNAutoPurgingImageCache: the network image downloader's memory cache. It keeps decoded images
// by identifier, counts what they cost, and when an addition takes the total past the capacity it
// purges the least recently looked-up images, oldest first, until it is back at the preferred
// usage. A memory warning empties it.
//
// Threads: any. Everything runs on one concurrent queue: lookups and memoryUsage as ordinary
// blocks (they may overlap), changes as barrier blocks (additions asynchronous, removals
// synchronous), so a lookup made after an addition on the same thread sees it.
//
//   auto cache = alloc<PNAutoPurgingImageCache>()->init(); // 100 MiB, purged down to 60 MiB
//   cache->addImage(image, request, nil);
//   auto again = cache->imageforRequest(request, nil);
#pragma once

#include "platform/dispatch/Dispatch.h"
#include "ui/images/PNImageRequestCache.h"

#include <string>
#include <unordered_map>

class NSNotification;
class PNCachedImage;

class PNAutoPurgingImageCache : public NSObject, public PNImageRequestCache {
    DV_CLASS(PNAutoPurgingImageCache, NSObject)

    PNAutoPurgingImageCache() = default;
    ~PNAutoPurgingImageCache() override;
    // 100 MiB, purged down to 60 MiB.
    Ref<PNAutoPurgingImageCache> init();
    // A preferred usage above the capacity is taken as the capacity.
    Ref<PNAutoPurgingImageCache> initWithMemoryCapacity(std::uint64_t memoryCapacity, std::uint64_t preferredMemoryCapacity);

    // The sum of the costs of the images kept.
    std::uint64_t memoryUsage() const;

    void addImage(const Ref<UIImage>& image, const Ref<NSString>& identifier) override;
    bool removeImageWithIdentifier(const Ref<NSString>& identifier) override;
    bool removeAllImages() override;
    Ref<UIImage> imageWithIdentifier(const Ref<NSString>& identifier) override;

    void addImage(const Ref<UIImage>& image, const Ref<NSURLRequest>& request, const Ref<NSString>& additionalIdentifier) override;
    bool removeImageforRequest(const Ref<NSURLRequest>& request, const Ref<NSString>& additionalIdentifier) override;
    Ref<UIImage> imageforRequest(const Ref<NSURLRequest>& request, const Ref<NSString>& additionalIdentifier) override;
    // The URL's absolute text directly followed by the additional identifier, when there is one.
    Ref<NSString> imageCacheKeyFromURLRequest(const Ref<NSURLRequest>& request, const Ref<NSString>& additionalIdentifier) const;

    std::uint64_t memoryCapacity() const;
    void setMemoryCapacity(std::uint64_t capacity);
    std::uint64_t preferredMemoryUsageAfterPurge() const;
    // Taken as at most the capacity.
    void setPreferredMemoryUsageAfterPurge(std::uint64_t usage);
    const dispatch_queue_t& synchronizationQueue() const { return m_synchronizationQueue; }

private:
    void handleMemoryWarning(const Ref<NSNotification>& notification);
    // Barrier blocks only.
    void purgeIfNeededLocked();

    // Written in barrier blocks, read in ordinary ones.
    std::uint64_t m_memoryCapacity = 0;
    std::uint64_t m_preferredMemoryUsageAfterPurge = 0;
    std::uint64_t m_currentMemoryUsage = 0;
    std::unordered_map<std::string, Ref<PNCachedImage>> m_cachedImages;
    dispatch_queue_t m_synchronizationQueue;
};
