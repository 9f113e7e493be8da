#include "ui/images/PNAutoPurgingImageCache.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/base/NSUUID.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/graphics/UIImage.h"
#include "platform/net/NSURLRequest.h"
#include "platform/ui/UIApplication.h"
#include "ui/images/PNCachedImage.h"

#include <algorithm>
#include <vector>

DV_DEFINE_CLASS(PNAutoPurgingImageCache)

namespace {
constexpr std::uint64_t kMiB = 1024 * 1024;
}

Ref<PNAutoPurgingImageCache> PNAutoPurgingImageCache::init() { return initWithMemoryCapacity(100 * kMiB, 60 * kMiB); }

Ref<PNAutoPurgingImageCache> PNAutoPurgingImageCache::initWithMemoryCapacity(std::uint64_t memoryCapacity,
    std::uint64_t preferredMemoryCapacity)
{
    NSObject::init();
    m_memoryCapacity = memoryCapacity;
    // A preferred usage above the capacity would leave nothing to purge (or, counted without
    // sign, everything): the capacity is the most it can be.
    m_preferredMemoryUsageAfterPurge = std::min(preferredMemoryCapacity, memoryCapacity);
    const auto label = NSString::stringWithFormat("com.pellucor.autopurgingimagecache-%@", NSUUID::UUID()->UUIDString());
    m_synchronizationQueue = dispatch_queue_create(label->UTF8String(), DISPATCH_QUEUE_CONCURRENT);
    auto self = this->self<PNAutoPurgingImageCache>();
    NSNotificationCenter::defaultCenter()->addObserver(self, &PNAutoPurgingImageCache::handleMemoryWarning,
        UIApplicationDidReceiveMemoryWarningNotification, nil);
    return self;
}

PNAutoPurgingImageCache::~PNAutoPurgingImageCache() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

void PNAutoPurgingImageCache::handleMemoryWarning(const Ref<NSNotification>&) { (void)removeAllImages(); }

std::uint64_t PNAutoPurgingImageCache::memoryUsage() const
{
    std::uint64_t usage = 0;
    dispatch_sync(m_synchronizationQueue, [&] { usage = m_currentMemoryUsage; });
    return usage;
}

std::uint64_t PNAutoPurgingImageCache::memoryCapacity() const
{
    std::uint64_t capacity = 0;
    dispatch_sync(m_synchronizationQueue, [&] { capacity = m_memoryCapacity; });
    return capacity;
}

void PNAutoPurgingImageCache::setMemoryCapacity(std::uint64_t capacity)
{
    dispatch_barrier_sync(m_synchronizationQueue, [&] {
        m_memoryCapacity = capacity;
        m_preferredMemoryUsageAfterPurge = std::min(m_preferredMemoryUsageAfterPurge, capacity);
    });
}

std::uint64_t PNAutoPurgingImageCache::preferredMemoryUsageAfterPurge() const
{
    std::uint64_t preferred = 0;
    dispatch_sync(m_synchronizationQueue, [&] { preferred = m_preferredMemoryUsageAfterPurge; });
    return preferred;
}

void PNAutoPurgingImageCache::setPreferredMemoryUsageAfterPurge(std::uint64_t usage)
{
    dispatch_barrier_sync(m_synchronizationQueue, [&] { m_preferredMemoryUsageAfterPurge = std::min(usage, m_memoryCapacity); });
}

void PNAutoPurgingImageCache::addImage(const Ref<UIImage>& image, const Ref<NSString>& identifier)
{
    if (!image || !identifier)
        return;
    auto self = this->self<PNAutoPurgingImageCache>();
    const std::string key = identifier->utf8();
    dispatch_barrier_async(m_synchronizationQueue, [self, image, identifier, key] {
        auto entry = alloc<PNCachedImage>()->initWithImage(image, identifier);
        auto& slot = self->m_cachedImages[key];
        if (slot)
            self->m_currentMemoryUsage -= slot->totalBytes();
        slot = entry;
        self->m_currentMemoryUsage += entry->totalBytes();
    });
    dispatch_barrier_async(m_synchronizationQueue, [self] { self->purgeIfNeededLocked(); });
}

void PNAutoPurgingImageCache::purgeIfNeededLocked()
{
    if (m_currentMemoryUsage <= m_memoryCapacity)
        return;
    const std::uint64_t target = std::min(m_preferredMemoryUsageAfterPurge, m_memoryCapacity);
    const std::uint64_t bytesToPurge = m_currentMemoryUsage - target;
    std::vector<Ref<PNCachedImage>> entries;
    entries.reserve(m_cachedImages.size());
    for (auto& [key, entry] : m_cachedImages)
        entries.push_back(entry);
    std::stable_sort(entries.begin(), entries.end(), [](const Ref<PNCachedImage>& a, const Ref<PNCachedImage>& b) {
        return a->lastAccessDate()->timeIntervalSinceReferenceDate() < b->lastAccessDate()->timeIntervalSinceReferenceDate();
    });
    std::uint64_t bytesPurged = 0;
    for (auto& entry : entries) {
        m_cachedImages.erase(entry->identifier()->utf8());
        bytesPurged += entry->totalBytes();
        if (bytesPurged >= bytesToPurge)
            break;
    }
    m_currentMemoryUsage -= std::min(bytesPurged, m_currentMemoryUsage);
}

bool PNAutoPurgingImageCache::removeImageWithIdentifier(const Ref<NSString>& identifier)
{
    if (!identifier)
        return false;
    bool removed = false;
    dispatch_barrier_sync(m_synchronizationQueue, [&] {
        auto it = m_cachedImages.find(identifier->utf8());
        if (it == m_cachedImages.end())
            return;
        m_currentMemoryUsage -= it->second->totalBytes();
        m_cachedImages.erase(it);
        removed = true;
    });
    return removed;
}

bool PNAutoPurgingImageCache::removeAllImages()
{
    bool removed = false;
    dispatch_barrier_sync(m_synchronizationQueue, [&] {
        if (m_cachedImages.empty())
            return;
        m_cachedImages.clear();
        m_currentMemoryUsage = 0;
        removed = true;
    });
    return removed;
}

Ref<UIImage> PNAutoPurgingImageCache::imageWithIdentifier(const Ref<NSString>& identifier)
{
    if (!identifier)
        return nil;
    Ref<UIImage> image;
    dispatch_sync(m_synchronizationQueue, [&] {
        auto it = m_cachedImages.find(identifier->utf8());
        if (it != m_cachedImages.end())
            image = it->second->accessImage();
    });
    return image;
}

void PNAutoPurgingImageCache::addImage(const Ref<UIImage>& image, const Ref<NSURLRequest>& request, const Ref<NSString>& additionalIdentifier)
{
    addImage(image, imageCacheKeyFromURLRequest(request, additionalIdentifier));
}

bool PNAutoPurgingImageCache::removeImageforRequest(const Ref<NSURLRequest>& request, const Ref<NSString>& additionalIdentifier)
{
    return removeImageWithIdentifier(imageCacheKeyFromURLRequest(request, additionalIdentifier));
}

Ref<UIImage> PNAutoPurgingImageCache::imageforRequest(const Ref<NSURLRequest>& request, const Ref<NSString>& additionalIdentifier)
{
    return imageWithIdentifier(imageCacheKeyFromURLRequest(request, additionalIdentifier));
}

Ref<NSString> PNAutoPurgingImageCache::imageCacheKeyFromURLRequest(const Ref<NSURLRequest>& request,
    const Ref<NSString>& additionalIdentifier) const
{
    // A request without URL has no key, so nothing is kept or found for it.
    if (!request || !request->URL())
        return nil;
    auto key = request->URL()->absoluteString();
    if (additionalIdentifier)
        key = key->stringByAppendingString(additionalIdentifier);
    return key;
}
