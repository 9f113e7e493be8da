// RIImageCache: the two-level store of decoded pictures behind the image manager. The memory
// level is an AutoPurgeCache of images weighed by their pixel count; the disk level is one file
// per image under the caches directory, named by the MD5 digest of the cache key and the key's
// extension, holding the downloaded bytes (or a PNG or JPEG encoding), kept out of backups and
// removed by the clean once a week old, or oldest first past a size limit.
//
// Threads: the memory level is used on the caller's thread. All writes, removals, clears, cleans
// and queued reads of the disk run one at a time on the serial IO queue, in the order they were
// asked for; their completions run on the main queue. The synchronous reads named below run on
// the caller's thread. One shared instance serves the process; it empties its memory level on a
// memory warning and cleans the disk when the application leaves the foreground or terminates.
//
//   auto cache = RIImageCache::sharedImageCache();
//   cache->storeImage(image, key);
//   cache->queryDiskCacheForKey(key, [](const Ref<UIImage>& image, RIImageCacheType type) { ... });
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSOperation.h"
#include "platform/graphics/UIImage.h"
#include "ui/images/AutoPurgeCache.h"
#include "ui/images/RIWebImageOperation.h"

#include <atomic>
#include <functional>

class NSFileManager;

// Where a delivered image came from.
enum RIImageCacheType : NSInteger {
    RIImageCacheTypeNone = 0,
    RIImageCacheTypeDisk = 1,
    RIImageCacheTypeMemory = 2,
};

using RIWebImageQueryCompletedBlock = std::function<void(const Ref<UIImage>& image, RIImageCacheType cacheType)>;
using RIWebImageCheckCacheCompletionBlock = std::function<void(bool isInCache)>;
using RIWebImageCalculateSizeBlock = std::function<void(NSUInteger fileCount, NSUInteger totalSize)>;

class RIImageCache : public NSObject {
    DV_CLASS(RIImageCache, NSObject)

    RIImageCache() = default;
    ~RIImageCache() override;

    // Made once, with init.
    static Ref<RIImageCache> sharedImageCache();
    // The namespace "default".
    Ref<RIImageCache> init();
    Ref<RIImageCache> initWithNamespace(const Ref<NSString>& ns);
    // The files go to `directory` followed by the full namespace ("com.tornavel.RIWebImageCache."
    // and the namespace); without a directory, to makeDiskCachePath(ns). The folder is made by
    // the first write.
    Ref<RIImageCache> initWithNamespace(const Ref<NSString>& ns, const Ref<NSString>& directory);

    // A further folder searched by the disk reads, never written; added once.
    void addReadOnlyCachePath(const Ref<NSString>& path);
    Ref<NSString> cachePathForKey(const Ref<NSString>& key, const Ref<NSString>& path) const;
    Ref<NSString> defaultCachePathForKey(const Ref<NSString>& key) const;
    // 32 lower-case hexadecimal digits, then "." and the key's path extension when it has one and
    // the name stays within the file system's 255 bytes.
    Ref<NSString> cachedFileNameForKey(const Ref<NSString>& key) const;
    // The user's caches folder followed by `name`.
    Ref<NSString> makeDiskCachePath(const Ref<NSString>& name) const;

    // Keeps the image in memory (when shouldCacheImagesInMemory) at once and, to disk, writes the
    // data (re-encoded from the image when `recalculate` is set or no data is given) on the IO
    // queue. Nothing happens without an image or a key.
    void storeImage(const Ref<UIImage>& image, bool recalculate, const Ref<NSData>& imageData, const Ref<NSString>& key,
        bool toDisk);
    void storeImage(const Ref<UIImage>& image, const Ref<NSString>& key);
    void storeImage(const Ref<UIImage>& image, const Ref<NSString>& key, bool toDisk);

    // Whether the key's file (or its extension-less twin) exists: at once on the caller's thread,
    // or on the IO queue with the answer on the main queue.
    bool diskImageExistsWithKey(const Ref<NSString>& key) const;
    void diskImageExistsWithKey(const Ref<NSString>& key, RIWebImageCheckCacheCompletionBlock completion);

    Ref<UIImage> imageFromMemoryCacheForKey(const Ref<NSString>& key) const;
    // Memory first, then the disk on the caller's thread (the image found is kept in memory).
    Ref<UIImage> imageFromDiskCacheForKey(const Ref<NSString>& key);
    // The key's bytes: its file, the file without extension, then the same in each read-only
    // folder. Caller's thread.
    Ref<NSData> diskImageDataBySearchingAllPathsForKey(const Ref<NSString>& key) const;
    // The bytes decoded, at the key's scale, force-decoded when shouldDecompressImages; nil when
    // there are none or they do not decode. Caller's thread.
    Ref<UIImage> diskImageForKey(const Ref<NSString>& key) const;
    Ref<UIImage> scaledImageForKey(const Ref<NSString>& key, const Ref<UIImage>& image) const;

    // A memory hit (or no key) is answered at once on the caller's thread, and nil returned.
    // Otherwise the disk is read on the IO queue and `done` called on the main queue with the
    // image or nil and RIImageCacheTypeDisk; the answer is an operation whose cancel, before the
    // read begins, stops the query and its call. No block: nothing happens.
    Ref<NSOperation> queryDiskCacheForKey(const Ref<NSString>& key, RIWebImageQueryCompletedBlock done);

    // Removal from memory at once and, from disk, on the IO queue, then `completion` on the main
    // queue (on the caller's thread at once when the disk is not touched). No key: nothing, and
    // no call.
    void removeImageForKey(const Ref<NSString>& key);
    void removeImageForKeyWithCompletion(const Ref<NSString>& key, RIWebImageNoParamsBlock completion);
    void removeImageForKey(const Ref<NSString>& key, bool fromDisk);
    void removeImageForKey(const Ref<NSString>& key, bool fromDisk, RIWebImageNoParamsBlock completion);

    void clearMemory();
    // Empties the disk folder (it stays, empty) on the IO queue; completion on the main queue.
    void clearDisk();
    void clearDiskOnCompletion(RIWebImageNoParamsBlock completion);
    // Removes the files whose age reached maxCacheAge, then, past maxCacheSize, the oldest files
    // until half the limit is left; on the IO queue, completion on the main queue. Ages run on
    // the process clock: a file is stamped with its clock time when written.
    void cleanDisk();
    void cleanDiskWithCompletionBlock(RIWebImageNoParamsBlock completion);
    // The clean inside an application background task.
    void backgroundCleanDisk();

    // Waits for the IO queue: never call them from a block running on it.
    NSUInteger getSize();
    NSUInteger getDiskCount();
    void calculateSizeWithCompletionBlock(RIWebImageCalculateSizeBlock completion);

    NSUInteger maxMemoryCost() const;
    void setMaxMemoryCost(NSUInteger cost);
    NSUInteger maxMemoryCountLimit() const;
    void setMaxMemoryCountLimit(NSUInteger limit);

    bool shouldDecompressImages() const { return m_shouldDecompressImages; }
    void setShouldDecompressImages(bool value) { m_shouldDecompressImages = value; }
    bool shouldDisableiCloud() const { return m_shouldDisableiCloud; }
    void setShouldDisableiCloud(bool value) { m_shouldDisableiCloud = value; }
    bool shouldCacheImagesInMemory() const { return m_shouldCacheImagesInMemory; }
    void setShouldCacheImagesInMemory(bool value) { m_shouldCacheImagesInMemory = value; }
    NSInteger maxCacheAge() const { return m_maxCacheAge; }
    void setMaxCacheAge(NSInteger seconds) { m_maxCacheAge = seconds; }
    NSUInteger maxCacheSize() const { return m_maxCacheSize; }
    void setMaxCacheSize(NSUInteger bytes) { m_maxCacheSize = bytes; }

    // Made at set-up and kept for the cache's life.
    const Ref<AutoPurgeCache>& memCache() const { return m_memCache; }
    const dispatch_queue_t& ioQueue() const { return m_ioQueue; }
    Ref<NSString> diskCachePath() const;
    void setDiskCachePath(const Ref<NSString>& path);
    // nil until the first read-only folder is added.
    Ref<NSArray> customPaths() const;
    void setCustomPaths(const Ref<NSArray>& paths);

    // The memory cost of an image: its pixels (points times the scale squared), every frame of an
    // animated one counted.
    static NSUInteger memoryCostOf(const Ref<UIImage>& image);

private:
    void writeToDisk(const Ref<UIImage>& image, bool recalculate, const Ref<NSData>& imageData, const Ref<NSString>& key);
    void cleanOnIOQueue();
    void handleMemoryWarning(const Ref<NSNotification>& notification);
    void handleWillTerminate(const Ref<NSNotification>& notification);
    void handleDidEnterBackground(const Ref<NSNotification>& notification);

    std::atomic<bool> m_shouldDecompressImages = true;
    std::atomic<bool> m_shouldDisableiCloud = true;
    std::atomic<bool> m_shouldCacheImagesInMemory = true;
    std::atomic<NSInteger> m_maxCacheAge = 0;
    std::atomic<NSUInteger> m_maxCacheSize = 0;
    Ref<AutoPurgeCache> m_memCache;
    dispatch_queue_t m_ioQueue;
    Ref<NSFileManager> m_fileManager; // used on the IO queue only

    mutable dv::Mutex m_pathsLock;
    Ref<NSString> m_diskCachePath DV_GUARDED_BY(m_pathsLock);
    Ref<NSMutableArray> m_customPaths DV_GUARDED_BY(m_pathsLock);
};
