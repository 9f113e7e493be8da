// The image cache's disk housekeeping: the clean by age and size, the clean inside a background
// task, and the size and count queries.
#include "ui/images/RIImageCache.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/system/NSDirectoryEnumerator.h"
#include "platform/system/NSFileManager.h"
#include "platform/system/NSURLResourceValues.h"
#include "platform/ui/UIApplication.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

struct KeptFile {
    Ref<NSURL> url;
    NSTimeInterval modified = 0;
    NSUInteger size = 0;
};

NSUInteger unsignedValue(const id& value)
{
    auto number = dv::as<NSNumber>(value);
    return number ? number->unsignedLongLongValue() : 0;
}

} // namespace

void RIImageCache::cleanDisk() { cleanDiskWithCompletionBlock({}); }

void RIImageCache::cleanDiskWithCompletionBlock(RIWebImageNoParamsBlock completion)
{
    dispatch_async(m_ioQueue, [self = self<RIImageCache>(), completion = std::move(completion)] {
        self->cleanOnIOQueue();
        if (completion)
            dispatch_async(dispatch_get_main_queue(), completion);
    });
}

void RIImageCache::cleanOnIOQueue()
{
    auto folder = NSURL::fileURLWithPath(diskCachePath(), true);
    auto keys = NSArray::of({NSURLIsDirectoryKey, NSURLContentModificationDateKey, NSURLTotalFileAllocatedSizeKey});
    auto files = m_fileManager->enumeratorAtURL(folder, keys, NSDirectoryEnumerationSkipsHiddenFiles, nullptr);
    if (!files)
        return;

    const NSTimeInterval expiry = NSDate::date()->timeIntervalSinceReferenceDate() - double(m_maxCacheAge.load());
    std::vector<Ref<NSURL>> expired;
    std::vector<KeptFile> kept;
    NSUInteger currentSize = 0;
    while (id next = files->nextObject()) {
        auto url = dv::as<NSURL>(next);
        auto values = url ? resourceValuesForKeys(url, keys, nullptr) : nil;
        if (!values) // gone since it was listed
            continue;
        auto isDirectory = dv::as<NSNumber>(values->objectForKey(NSURLIsDirectoryKey));
        if (isDirectory && isDirectory->boolValue())
            continue;
        // A file without a date is never taken as expired; for the size rule it counts as newest.
        auto date = dv::as<NSDate>(values->objectForKey(NSURLContentModificationDateKey));
        if (date && date->timeIntervalSinceReferenceDate() <= expiry) {
            expired.push_back(url);
            continue;
        }
        KeptFile file {url, date ? date->timeIntervalSinceReferenceDate() : std::numeric_limits<double>::infinity(),
            unsignedValue(values->objectForKey(NSURLTotalFileAllocatedSizeKey))};
        currentSize += file.size;
        kept.push_back(std::move(file));
    }
    for (const auto& url : expired)
        (void)m_fileManager->removeItemAtURL(url, nullptr); // one that cannot go stays until the next clean

    const NSUInteger maxSize = m_maxCacheSize;
    if (maxSize == 0 || currentSize <= maxSize)
        return;
    // Down to half the limit, so that the next stores do not trigger another clean at once.
    const NSUInteger target = maxSize / 2;
    std::sort(kept.begin(), kept.end(), [](const KeptFile& a, const KeptFile& b) { return a.modified < b.modified; });
    for (const auto& file : kept) {
        if (!m_fileManager->removeItemAtURL(file.url, nullptr))
            continue;
        currentSize -= file.size;
        if (currentSize < target)
            break;
    }
}

void RIImageCache::backgroundCleanDisk()
{
    auto application = UIApplication::sharedApplication();
    if (!application)
        return;
    // Ended by whichever comes first, the clean's end or the system's expiry; both run on the
    // main thread.
    auto task = std::make_shared<UIBackgroundTaskIdentifier>(UIBackgroundTaskInvalid);
    Weak<UIApplication> weakApplication = application;
    auto endTask = [weakApplication, task] {
        if (*task == UIBackgroundTaskInvalid)
            return;
        if (auto app = weakApplication.lock())
            app->endBackgroundTask(*task);
        *task = UIBackgroundTaskInvalid;
    };
    *task = application->beginBackgroundTaskWithExpirationHandler(endTask);
    cleanDiskWithCompletionBlock(endTask);
}

NSUInteger RIImageCache::getSize()
{
    NSUInteger size = 0;
    dispatch_sync(m_ioQueue, [&] {
        auto files = NSFileManager::defaultManager()->enumeratorAtPath(diskCachePath());
        if (!files)
            return;
        while (files->nextObject())
            size += unsignedValue(files->fileAttributes() ? files->fileAttributes()->objectForKey(NSFileSize) : nil);
    });
    return size;
}

NSUInteger RIImageCache::getDiskCount()
{
    NSUInteger count = 0;
    dispatch_sync(m_ioQueue, [&] {
        auto files = NSFileManager::defaultManager()->enumeratorAtPath(diskCachePath());
        if (!files)
            return;
        while (files->nextObject())
            ++count;
    });
    return count;
}

void RIImageCache::calculateSizeWithCompletionBlock(RIWebImageCalculateSizeBlock completion)
{
    dispatch_async(m_ioQueue, [self = self<RIImageCache>(), completion = std::move(completion)] {
        NSUInteger fileCount = 0;
        NSUInteger totalSize = 0;
        auto folder = NSURL::fileURLWithPath(self->diskCachePath(), true);
        auto keys = NSArray::of({NSURLFileSizeKey});
        if (auto files = self->m_fileManager->enumeratorAtURL(folder, keys, NSDirectoryEnumerationSkipsHiddenFiles, nullptr)) {
            while (id next = files->nextObject()) {
                ++fileCount;
                id size;
                if (getResourceValue(dv::as<NSURL>(next), &size, NSURLFileSizeKey, nullptr))
                    totalSize += unsignedValue(size);
            }
        }
        if (completion)
            dispatch_async(dispatch_get_main_queue(), [completion, fileCount, totalSize] { completion(fileCount, totalSize); });
    });
}
