#include "ui/images/RIImageCache.h"

#include "platform/base/AtomicFile.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/Digest.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/system/NSFileManager.h"
#include "platform/system/NSURLResourceValues.h"
#include "platform/ui/UIApplication.h"
#include "ui/images/RIImageScaleFromKey.h"
#include "ui/images/UIImageForceDecode.h"
#include "ui/images/UIImageMultiFormat.h"

#include <cstring>

DV_DEFINE_CLASS(RIImageCache)

namespace {

constexpr NSInteger kDefaultCacheMaxCacheAge = 60 * 60 * 24 * 7; // one week
constexpr std::string_view kNamespacePrefix = "com.tornavel.RIWebImageCache.";
constexpr const char* kIOQueueLabel = "com.tornavel.RIWebImageCache";
// The longest file name the file systems we run on accept, in bytes.
constexpr std::size_t kMaxFileNameBytes = 255;

constexpr std::uint8_t kPNGSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

bool beginsWithPNGSignature(const Ref<NSData>& data)
{
    return data && data->length() >= sizeof kPNGSignature && std::memcmp(data->bytes(), kPNGSignature, sizeof kPNGSignature) == 0;
}

bool imageHasAlpha(const Ref<UIImage>& image)
{
    const CGImageAlphaInfo info = CGImageGetAlphaInfo(image->CGImage());
    return !(info == kCGImageAlphaNone || info == kCGImageAlphaNoneSkipLast || info == kCGImageAlphaNoneSkipFirst);
}

void onMainQueue(std::function<void()> block)
{
    if (block)
        dispatch_async(dispatch_get_main_queue(), std::move(block));
}

} // namespace

// Set-up ------------------------------------------------------------------------------------------

Ref<RIImageCache> RIImageCache::sharedImageCache()
{
    static const Ref<RIImageCache> shared = dv::keepingForever([] { return alloc<RIImageCache>()->init(); });
    return shared;
}

Ref<RIImageCache> RIImageCache::init() { return initWithNamespace("default"_ns); }

Ref<RIImageCache> RIImageCache::initWithNamespace(const Ref<NSString>& ns)
{
    return initWithNamespace(ns, makeDiskCachePath(ns));
}

Ref<RIImageCache> RIImageCache::initWithNamespace(const Ref<NSString>& ns, const Ref<NSString>& directory)
{
    NSObject::init();
    auto fullNamespace = NSString::fromUTF8(std::string(kNamespacePrefix) + dv::str(ns));
    m_ioQueue = dispatch_queue_create(kIOQueueLabel, DISPATCH_QUEUE_SERIAL);
    m_maxCacheAge = kDefaultCacheMaxCacheAge;
    m_memCache = alloc<AutoPurgeCache>()->init();
    m_memCache->setName(fullNamespace);
    {
        auto base = directory ? directory : makeDiskCachePath(ns);
        dv::MutexLocker lock(m_pathsLock);
        m_diskCachePath = base->stringByAppendingPathComponent(fullNamespace);
    }
    m_shouldDecompressImages = true;
    m_shouldDisableiCloud = true;
    m_shouldCacheImagesInMemory = true;
    dispatch_sync(m_ioQueue, [this] {
        m_fileManager = alloc<NSFileManager>();
        m_fileManager->init();
    });

    auto self = this->self<RIImageCache>();
    auto center = NSNotificationCenter::defaultCenter();
    center->addObserver(self, &RIImageCache::handleMemoryWarning, UIApplicationDidReceiveMemoryWarningNotification, nil);
    center->addObserver(self, &RIImageCache::handleWillTerminate, UIApplicationWillTerminateNotification, nil);
    center->addObserver(self, &RIImageCache::handleDidEnterBackground, UIApplicationDidEnterBackgroundNotification, nil);
    return self;
}

RIImageCache::~RIImageCache() { NSNotificationCenter::defaultCenter()->removeObserver(this); }

void RIImageCache::handleMemoryWarning(const Ref<NSNotification>&) { clearMemory(); }
void RIImageCache::handleWillTerminate(const Ref<NSNotification>&) { cleanDisk(); }
void RIImageCache::handleDidEnterBackground(const Ref<NSNotification>&) { backgroundCleanDisk(); }

// Paths -------------------------------------------------------------------------------------------

Ref<NSString> RIImageCache::diskCachePath() const
{
    dv::MutexLocker lock(m_pathsLock);
    return m_diskCachePath;
}

void RIImageCache::setDiskCachePath(const Ref<NSString>& path)
{
    dv::MutexLocker lock(m_pathsLock);
    m_diskCachePath = path;
}

Ref<NSArray> RIImageCache::customPaths() const
{
    dv::MutexLocker lock(m_pathsLock);
    return m_customPaths ? NSArray::arrayWithArray(m_customPaths) : nil;
}

void RIImageCache::setCustomPaths(const Ref<NSArray>& paths)
{
    dv::MutexLocker lock(m_pathsLock);
    m_customPaths = paths ? NSMutableArray::arrayWithArray(paths) : nil;
}

void RIImageCache::addReadOnlyCachePath(const Ref<NSString>& path)
{
    if (!path)
        return;
    dv::MutexLocker lock(m_pathsLock);
    if (!m_customPaths)
        m_customPaths = NSMutableArray::array();
    if (!m_customPaths->containsObject(path))
        m_customPaths->addObject(path);
}

Ref<NSString> RIImageCache::makeDiskCachePath(const Ref<NSString>& name) const
{
    auto paths = NSSearchPathForDirectoriesInDomains(NSCachesDirectory, NSUserDomainMask, true);
    auto caches = paths && paths->count() ? dv::as<NSString>(paths->objectAtIndex(0)) : nil;
    if (!caches)
        caches = NSTemporaryDirectory();
    return caches->stringByAppendingPathComponent(name ? name : NSString::string());
}

Ref<NSString> RIImageCache::cachedFileNameForKey(const Ref<NSString>& key) const
{
    std::string name = dv::md5Hex(std::string_view(dv::str(key)));
    // A name the file system refuses could never be written: such keys use the bare digest,
    // which the reads look for as well.
    auto extension = key ? key->pathExtension() : nil;
    if (extension && extension->length() > 0 && name.size() + 1 + extension->utf8().size() <= kMaxFileNameBytes)
        name += "." + extension->utf8();
    return NSString::fromUTF8(name);
}

Ref<NSString> RIImageCache::cachePathForKey(const Ref<NSString>& key, const Ref<NSString>& path) const
{
    return path ? path->stringByAppendingPathComponent(cachedFileNameForKey(key)) : nil;
}

Ref<NSString> RIImageCache::defaultCachePathForKey(const Ref<NSString>& key) const
{
    return cachePathForKey(key, diskCachePath());
}

// Memory ------------------------------------------------------------------------------------------

NSUInteger RIImageCache::memoryCostOf(const Ref<UIImage>& image)
{
    if (!image)
        return 0;
    auto pixels = [](const Ref<UIImage>& one) {
        const CGSize size = one->size();
        const double cost = size.width * size.height * one->scale() * one->scale();
        return cost > 0 ? static_cast<NSUInteger>(cost) : NSUInteger(0);
    };
    auto frames = image->images();
    if (!frames)
        return pixels(image);
    // Every frame is a bitmap of its own in memory.
    NSUInteger total = 0;
    for (const id& item : *frames)
        if (auto frame = dv::as<UIImage>(item))
            total += pixels(frame);
    return total;
}

Ref<UIImage> RIImageCache::imageFromMemoryCacheForKey(const Ref<NSString>& key) const
{
    // Only images are stored under the cache's keys; the check guards against a caller's own
    // objects in memCache without another reference count round trip.
    id object = m_memCache->objectForKey(key);
    auto* image = dynamic_cast<UIImage*>(object.get());
    return image ? Ref<UIImage>(std::move(object), image) : nil;
}

void RIImageCache::clearMemory() { m_memCache->removeAllObjects(); }

NSUInteger RIImageCache::maxMemoryCost() const { return m_memCache->totalCostLimit(); }
void RIImageCache::setMaxMemoryCost(NSUInteger cost) { m_memCache->setTotalCostLimit(cost); }
NSUInteger RIImageCache::maxMemoryCountLimit() const { return m_memCache->countLimit(); }
void RIImageCache::setMaxMemoryCountLimit(NSUInteger limit) { m_memCache->setCountLimit(limit); }

// Store -------------------------------------------------------------------------------------------

void RIImageCache::storeImage(const Ref<UIImage>& image, const Ref<NSString>& key) { storeImage(image, true, nil, key, true); }

void RIImageCache::storeImage(const Ref<UIImage>& image, const Ref<NSString>& key, bool toDisk)
{
    storeImage(image, true, nil, key, toDisk);
}

void RIImageCache::storeImage(const Ref<UIImage>& image, bool recalculate, const Ref<NSData>& imageData,
    const Ref<NSString>& key, bool toDisk)
{
    if (!image || !key)
        return;
    if (m_shouldCacheImagesInMemory)
        m_memCache->setObjectForKey(image, key, memoryCostOf(image));
    if (!toDisk)
        return;
    // The queued write keeps the cache alive until it has run, so that what was stored is on disk.
    dispatch_async(m_ioQueue, [self = self<RIImageCache>(), image, recalculate, imageData, key] {
        self->writeToDisk(image, recalculate, imageData, key);
    });
}

void RIImageCache::writeToDisk(const Ref<UIImage>& image, bool recalculate, const Ref<NSData>& imageData, const Ref<NSString>& key)
{
    Ref<NSData> data = imageData;
    if (image && (recalculate || !data)) {
        // Downloaded bytes say which format the image came in; without them, alpha decides.
        const bool png = data && data->length() >= sizeof kPNGSignature ? beginsWithPNGSignature(data) : imageHasAlpha(image);
        data = png ? UIImagePNGRepresentation(image) : UIImageJPEGRepresentation(image, 1.0);
    }
    if (!data)
        return;
    auto folder = diskCachePath();
    if (!m_fileManager->fileExistsAtPath(folder))
        (void)m_fileManager->createDirectoryAtPath(folder, true, nil, nullptr); // a failure shows as the write's
    auto path = cachePathForKey(key, folder);
    // A copy of a download can always be fetched again: it is put in place whole, without waiting
    // for the disk (a crash of the machine may lose it, and a short file decodes to no image).
    if (!dv::writeFileAtomically(dv::str(path), data->view(), nullptr, dv::FileDurability::Replaceable))
        return;
    // The file's age is counted on the process clock, which the clean reads too.
    auto stamp = NSDictionary::dictionaryWithObjectForKey(NSDate::date(), NSFileModificationDate);
    if (!m_fileManager->setAttributesOfItemAtPath(stamp, path, nullptr))
        return;
    if (m_shouldDisableiCloud)
        (void)setResourceValue(NSURL::fileURLWithPath(path), NSNumber::numberWithBool(true), NSURLIsExcludedFromBackupKey, nullptr);
}

// Reads -------------------------------------------------------------------------------------------

bool RIImageCache::diskImageExistsWithKey(const Ref<NSString>& key) const
{
    auto path = defaultCachePathForKey(key);
    if (!path)
        return false;
    auto fm = NSFileManager::defaultManager();
    return fm->fileExistsAtPath(path) || fm->fileExistsAtPath(path->stringByDeletingPathExtension());
}

void RIImageCache::diskImageExistsWithKey(const Ref<NSString>& key, RIWebImageCheckCacheCompletionBlock completion)
{
    dispatch_async(m_ioQueue, [self = self<RIImageCache>(), key, completion = std::move(completion)] {
        auto path = self->defaultCachePathForKey(key);
        const bool exists = path
            && (self->m_fileManager->fileExistsAtPath(path) || self->m_fileManager->fileExistsAtPath(path->stringByDeletingPathExtension()));
        if (completion)
            onMainQueue([completion, exists] { completion(exists); });
    });
}

Ref<NSData> RIImageCache::diskImageDataBySearchingAllPathsForKey(const Ref<NSString>& key) const
{
    auto read = [](const Ref<NSString>& path) -> Ref<NSData> {
        if (!path)
            return nil;
        if (auto data = NSData::dataWithContentsOfFile(path))
            return data;
        // A file stored under the bare digest serves a key with an extension as well.
        auto bare = path->stringByDeletingPathExtension();
        return bare->isEqualToString(path) ? nil : NSData::dataWithContentsOfFile(bare);
    };
    if (auto data = read(defaultCachePathForKey(key)))
        return data;
    if (auto folders = customPaths())
        for (const id& folder : *folders)
            if (auto data = read(cachePathForKey(key, dv::as<NSString>(folder))))
                return data;
    return nil;
}

Ref<UIImage> RIImageCache::scaledImageForKey(const Ref<NSString>& key, const Ref<UIImage>& image) const
{
    return RIImageScaleFromKey(key, image);
}

Ref<UIImage> RIImageCache::diskImageForKey(const Ref<NSString>& key) const
{
    auto data = diskImageDataBySearchingAllPathsForKey(key);
    if (!data)
        return nil;
    auto image = scaledImageForKey(key, ri_imageWithData(data));
    if (image && m_shouldDecompressImages)
        image = decodedImageWithImage(image);
    return image;
}

Ref<UIImage> RIImageCache::imageFromDiskCacheForKey(const Ref<NSString>& key)
{
    if (auto image = imageFromMemoryCacheForKey(key))
        return image;
    auto image = diskImageForKey(key);
    if (image && m_shouldCacheImagesInMemory)
        m_memCache->setObjectForKey(image, key, memoryCostOf(image));
    return image;
}

Ref<NSOperation> RIImageCache::queryDiskCacheForKey(const Ref<NSString>& key, RIWebImageQueryCompletedBlock done)
{
    if (!done)
        return nil;
    if (!key) {
        done(nil, RIImageCacheTypeNone);
        return nil;
    }
    if (auto image = imageFromMemoryCacheForKey(key)) {
        done(image, RIImageCacheTypeMemory);
        return nil;
    }
    // Never started: it only carries the caller's cancellation to the IO queue.
    Ref<NSOperation> operation = alloc<NSOperation>();
    operation->init();
    dispatch_async(m_ioQueue, [self = self<RIImageCache>(), key, done = std::move(done), operation] {
        if (operation->isCancelled())
            return;
        auto image = self->diskImageForKey(key);
        if (image && self->m_shouldCacheImagesInMemory)
            self->m_memCache->setObjectForKey(image, key, memoryCostOf(image));
        onMainQueue([done, image] { done(image, RIImageCacheTypeDisk); });
    });
    return operation;
}

// Removal -----------------------------------------------------------------------------------------

void RIImageCache::removeImageForKey(const Ref<NSString>& key) { removeImageForKey(key, true, {}); }

void RIImageCache::removeImageForKeyWithCompletion(const Ref<NSString>& key, RIWebImageNoParamsBlock completion)
{
    removeImageForKey(key, true, std::move(completion));
}

void RIImageCache::removeImageForKey(const Ref<NSString>& key, bool fromDisk) { removeImageForKey(key, fromDisk, {}); }

void RIImageCache::removeImageForKey(const Ref<NSString>& key, bool fromDisk, RIWebImageNoParamsBlock completion)
{
    if (!key)
        return;
    if (m_shouldCacheImagesInMemory)
        m_memCache->removeObjectForKey(key);
    if (!fromDisk) {
        if (completion)
            completion();
        return;
    }
    dispatch_async(m_ioQueue, [self = self<RIImageCache>(), key, completion = std::move(completion)] {
        (void)self->m_fileManager->removeItemAtPath(self->defaultCachePathForKey(key), nullptr); // absent is fine
        onMainQueue(completion);
    });
}

void RIImageCache::clearDisk() { clearDiskOnCompletion({}); }

void RIImageCache::clearDiskOnCompletion(RIWebImageNoParamsBlock completion)
{
    dispatch_async(m_ioQueue, [self = self<RIImageCache>(), completion = std::move(completion)] {
        auto folder = self->diskCachePath();
        (void)self->m_fileManager->removeItemAtPath(folder, nullptr);
        (void)self->m_fileManager->createDirectoryAtPath(folder, true, nil, nullptr);
        onMainQueue(completion);
    });
}
