#include "ImagesTestSupport.h"

#include "platform/testing/LargePictures.h"

#include "platform/base/Digest.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/system/NSFileManager.h"
#include "platform/system/NSURLResourceValues.h"
#include "platform/ui/UIApplication.h"
#include "ui/images/RIImageCache.h"

#include <atomic>
#include <fstream>
#include <thread>

namespace {

using dv::test::ImagesTest;

class ImageCacheTest : public ImagesTest {
protected:
    void SetUp() override
    {
        ImagesTest::SetUp();
        UIApplication::resetSharedApplication();
        m_cache = alloc<RIImageCache>()->initWithNamespace("test"_ns);
    }
    void TearDown() override
    {
        if (m_cache) {
            EXPECT_TRUE(dv::testing::drainQueue(m_cache->ioQueue()));
        }
        m_cache = nil;
        UIApplication::resetSharedApplication();
        ImagesTest::TearDown();
    }

    // Runs what the IO queue holds, then what it sent to the main queue.
    void settle()
    {
        ASSERT_TRUE(dv::testing::drainQueue(m_cache->ioQueue()));
        ASSERT_TRUE(dv::testing::runUntilIdle());
    }
    std::string fileOf(const char* key) const { return dv::str(m_cache->defaultCachePathForKey(NSString::stringWithUTF8String(key))); }
    static bool exists(const std::string& path) { return std::filesystem::exists(path); }
    static Ref<NSData> contents(const std::string& path) { return NSData::dataWithContentsOfFile(NSString::fromUTF8(path)); }
    static void writeFile(const std::string& path, const Ref<NSData>& data)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data->bytes()), std::streamsize(data->length()));
    }
    static bool excludedFromBackup(const std::string& path)
    {
        id value;
        return getResourceValue(NSURL::fileURLWithPath(NSString::fromUTF8(path)), &value, NSURLIsExcludedFromBackupKey, nullptr)
            && dv::as<NSNumber>(value)->boolValue();
    }

    Ref<RIImageCache> m_cache;
};

TEST_F(ImageCacheTest, FilesLiveUnderTheCachesFolderNamedByTheKeysDigest)
{
    const std::string caches = home() + "/app/Library/Caches";
    EXPECT_EQ(dv::str(alloc<RIImageCache>()->init()->diskCachePath()), caches + "/default/com.tornavel.RIWebImageCache.default");
    EXPECT_EQ(dv::str(m_cache->diskCachePath()), caches + "/test/com.tornavel.RIWebImageCache.test");
    EXPECT_EQ(dv::str(m_cache->memCache()->name()), "com.tornavel.RIWebImageCache.test");
    auto elsewhere = alloc<RIImageCache>()->initWithNamespace("x"_ns, NSString::fromUTF8(home() + "/own"));
    EXPECT_EQ(dv::str(elsewhere->diskCachePath()), home() + "/own/com.tornavel.RIWebImageCache.x");
    EXPECT_TRUE(RIImageCache::sharedImageCache()->diskCachePath()->hasSuffix("/Library/Caches/default/com.tornavel.RIWebImageCache.default"));
    EXPECT_EQ(RIImageCache::sharedImageCache(), RIImageCache::sharedImageCache());
    EXPECT_EQ(m_cache->maxCacheAge(), 604800);
    EXPECT_EQ(m_cache->maxCacheSize(), 0u);

    const std::string digest = dv::md5Hex(std::string_view("http://host/pic/a.png"));
    EXPECT_EQ(dv::str(m_cache->cachedFileNameForKey("http://host/pic/a.png"_ns)), digest + ".png");
    EXPECT_EQ(dv::str(m_cache->cachedFileNameForKey("http://host/pic/a"_ns)), dv::md5Hex(std::string_view("http://host/pic/a")));
    EXPECT_EQ(dv::str(m_cache->cachedFileNameForKey(nil)), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(dv::str(m_cache->cachePathForKey("k.jpg"_ns, "/tmp/x"_ns)), "/tmp/x/" + dv::md5Hex(std::string_view("k.jpg")) + ".jpg");
    // A name the file system could not create: the bare digest.
    const std::string longKey = "http://host/pic." + std::string(222, 'e');
    EXPECT_EQ(dv::str(m_cache->cachedFileNameForKey(NSString::fromUTF8(longKey))).size(), 255u);
    const std::string longerKey = longKey + "e";
    EXPECT_EQ(dv::str(m_cache->cachedFileNameForKey(NSString::fromUTF8(longerKey))), dv::md5Hex(std::string_view(longerKey)));
}

TEST_F(ImageCacheTest, AKeyWithAnOverlongExtensionIsStoredAndFound)
{
    auto key = NSString::fromUTF8("http://host/pic." + std::string(300, 'x'));
    m_cache->storeImage(image(4, 4), key);
    settle();
    EXPECT_TRUE(exists(dv::str(m_cache->defaultCachePathForKey(key))));
    EXPECT_TRUE(m_cache->diskImageExistsWithKey(key));
    m_cache->clearMemory();
    auto found = m_cache->imageFromDiskCacheForKey(key);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->CGImage()->width(), 4u);
}

TEST_F(ImageCacheTest, StoresTheDownloadedBytesOrAnEncodingThatKeepsAlpha)
{
    auto downloaded = jpeg(8, 8);
    m_cache->storeImage(image(8, 8), false, downloaded, "kept.jpg"_ns, true);
    // PNG bytes given: a PNG, also when the image is encoded afresh.
    m_cache->storeImage(image(8, 8), true, png(2, 2), "png-again"_ns, true);
    m_cache->storeImage(image(8, 8), "opaque"_ns);
    m_cache->storeImage(image(8, 8, true), "alpha"_ns);
    // Short data says nothing of its format: alpha decides.
    m_cache->storeImage(image(8, 8), true, NSData::fromString("\x89PNG"), "short"_ns, true);
    m_cache->storeImage(nil, false, downloaded, "no-image"_ns, true);
    m_cache->storeImage(image(8, 8), nil);
    m_cache->storeImage(image(8, 8), "memory-only"_ns, false);
    settle();

    EXPECT_TRUE(dv::equal(contents(fileOf("kept.jpg")), downloaded));
    auto first = [&](const char* key) { auto data = contents(fileOf(key)); return data && data->length() ? int(data->bytes()[0]) : -1; };
    EXPECT_EQ(first("png-again"), 0x89);
    EXPECT_EQ(first("opaque"), 0xFF);
    EXPECT_EQ(first("alpha"), 0x89);
    EXPECT_EQ(first("short"), 0xFF);
    EXPECT_FALSE(exists(fileOf("no-image")));
    EXPECT_FALSE(m_cache->imageFromMemoryCacheForKey("no-image"_ns));
    EXPECT_FALSE(exists(fileOf("memory-only")));
    EXPECT_TRUE(m_cache->imageFromMemoryCacheForKey("memory-only"_ns));
    EXPECT_EQ(m_cache->getDiskCount(), 5u);

    // Written files are kept out of backups unless that is turned off.
    EXPECT_TRUE(excludedFromBackup(fileOf("opaque")));
    m_cache->setShouldDisableiCloud(false);
    m_cache->storeImage(image(8, 8), "backed-up"_ns);
    settle();
    EXPECT_TRUE(exists(fileOf("backed-up")));
    EXPECT_FALSE(excludedFromBackup(fileOf("backed-up")));
}

TEST_F(ImageCacheTest, AMemoryHitIsAnsweredBeforeTheQueryReturns)
{
    auto stored = image(4, 4);
    m_cache->storeImage(stored, "k"_ns);
    int calls = 0;
    auto operation = m_cache->queryDiskCacheForKey("k"_ns, [&](const Ref<UIImage>& image, RIImageCacheType type) {
        ++calls;
        EXPECT_EQ(image, stored);
        EXPECT_EQ(type, RIImageCacheTypeMemory);
    });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(operation, nil);

    EXPECT_EQ(m_cache->queryDiskCacheForKey(nil, [&](const Ref<UIImage>& image, RIImageCacheType type) {
        ++calls;
        EXPECT_EQ(image, nil);
        EXPECT_EQ(type, RIImageCacheTypeNone);
    }), nil);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(m_cache->queryDiskCacheForKey("k"_ns, {}), nil);
}

TEST_F(ImageCacheTest, ADiskQueryAnswersOnTheMainQueueAtTheKeysScale)
{
    m_cache->storeImage(image(8, 6), "http://host/a@3x.png"_ns);
    settle();
    m_cache->clearMemory();

    Ref<UIImage> found;
    std::optional<RIImageCacheType> type;
    bool onMain = false;
    auto operation = m_cache->queryDiskCacheForKey("http://host/a@3x.png"_ns, [&](const Ref<UIImage>& image, RIImageCacheType t) {
        found = image, type = t, onMain = dv::isMainThread();
    });
    EXPECT_TRUE(operation);
    EXPECT_FALSE(type);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return type.has_value(); }));
    EXPECT_TRUE(onMain);
    EXPECT_EQ(*type, RIImageCacheTypeDisk);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->scale(), 3);
    // Force-decoded, and kept in memory for the next time.
    EXPECT_EQ(found->CGImage()->alphaInfo(), kCGImageAlphaPremultipliedFirst);
    EXPECT_EQ(m_cache->imageFromMemoryCacheForKey("http://host/a@3x.png"_ns), found);

    // A key with nothing stored is answered too, without an image.
    type.reset();
    m_cache->queryDiskCacheForKey("missing"_ns, [&](const Ref<UIImage>& image, RIImageCacheType t) { found = image, type = t; });
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return type.has_value(); }));
    EXPECT_EQ(found, nil);
    EXPECT_EQ(*type, RIImageCacheTypeDisk);
}

TEST_F(ImageCacheTest, AQueryCancelledBeforeItsReadNeverAnswers)
{
    m_cache->storeImage(image(4, 4), "k.png"_ns);
    settle();
    m_cache->clearMemory();
    dispatch_suspend(m_cache->ioQueue());
    bool called = false;
    auto operation = m_cache->queryDiskCacheForKey("k.png"_ns, [&](const Ref<UIImage>&, RIImageCacheType) { called = true; });
    ASSERT_TRUE(operation);
    operation->cancel();
    dispatch_resume(m_cache->ioQueue());
    settle();
    EXPECT_FALSE(called);
    EXPECT_FALSE(m_cache->imageFromMemoryCacheForKey("k.png"_ns));
}

TEST_F(ImageCacheTest, DiskReadsSearchTheBareDigestAndReadOnlyFolders)
{
    // A file under the bare digest serves the key with its extension.
    const std::string bare = dv::str(m_cache->defaultCachePathForKey("http://h/a.png"_ns)->stringByDeletingPathExtension());
    writeFile(bare, png(3, 3));
    EXPECT_TRUE(m_cache->diskImageExistsWithKey("http://h/a.png"_ns));
    EXPECT_TRUE(m_cache->diskImageDataBySearchingAllPathsForKey("http://h/a.png"_ns));

    // Read-only folders are read, in the order added, but not asked for existence.
    const std::string shipped = home() + "/shipped";
    writeFile(dv::str(m_cache->cachePathForKey("http://h/b.png"_ns, NSString::fromUTF8(shipped))), png(5, 5));
    EXPECT_FALSE(m_cache->diskImageForKey("http://h/b.png"_ns));
    m_cache->addReadOnlyCachePath(NSString::fromUTF8(shipped));
    m_cache->addReadOnlyCachePath(NSString::fromUTF8(shipped));
    EXPECT_EQ(m_cache->customPaths()->count(), 1u);
    auto fromShipped = m_cache->imageFromDiskCacheForKey("http://h/b.png"_ns);
    ASSERT_TRUE(fromShipped);
    EXPECT_EQ(fromShipped->CGImage()->width(), 5u);
    EXPECT_EQ(m_cache->imageFromMemoryCacheForKey("http://h/b.png"_ns), fromShipped);
    EXPECT_FALSE(m_cache->diskImageExistsWithKey("http://h/b.png"_ns));

    bool answered = false, existed = true;
    m_cache->diskImageExistsWithKey("http://h/a.png"_ns, [&](bool exists) { answered = true, existed = exists; });
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return answered; }));
    EXPECT_TRUE(existed);
}

TEST_F(ImageCacheTest, DamagedFilesReadAsNoImage)
{
    const Ref<NSData> damaged[] = {NSData::fromString("<html>404</html>"), dv::test::prefix(png(40, 40), 60),
        dv::test::prefix(jpeg(40, 40), 100), NSData::fromString("GIF89a\xff\xff\xff\xff"), NSData::data()};
    int n = 0;
    for (const auto& bytes : damaged) {
        auto key = NSString::stringWithFormat("bad-%d.png", n++);
        writeFile(dv::str(m_cache->defaultCachePathForKey(key)), bytes);
        EXPECT_EQ(m_cache->imageFromDiskCacheForKey(key), nil) << n;
        EXPECT_EQ(m_cache->imageFromMemoryCacheForKey(key), nil);
        bool answered = false;
        m_cache->queryDiskCacheForKey(key, [&](const Ref<UIImage>& image, RIImageCacheType) {
            answered = true;
            EXPECT_EQ(image, nil);
        });
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return answered; }));
    }
    // A picture of more pixels than any screen shows, kept by a cache of older days.
    writeFile(dv::str(m_cache->defaultCachePathForKey("huge.png"_ns)), NSData::fromString(dv::testing::blackPng(10000, 10000)));
    EXPECT_EQ(m_cache->imageFromDiskCacheForKey("huge.png"_ns), nil);
    // A folder where the file should be.
    std::filesystem::create_directories(fileOf("folder.png"));
    EXPECT_EQ(m_cache->imageFromDiskCacheForKey("folder.png"_ns), nil);
}

TEST_F(ImageCacheTest, TheFuzzSeedsReadFromDiskAsTheirFormatSays)
{
    const std::filesystem::path corpus = std::filesystem::path(DV_IMAGE_CORPUS_DIR) / "fuzz_remote_images";
    int pictures = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        auto bytes = NSData::dataWithContentsOfFile(NSString::fromUTF8(entry.path().string()));
        ASSERT_TRUE(bytes);
        auto key = NSString::fromUTF8("http://host/" + entry.path().filename().string());
        writeFile(dv::str(m_cache->defaultCachePathForKey(key)), bytes);
        auto read = m_cache->imageFromDiskCacheForKey(key);
        // Every seed but the text is a picture.
        EXPECT_EQ(bool(read), entry.path().extension() != ".txt") << entry.path();
        pictures += read ? 1 : 0;
    }
    EXPECT_GE(pictures, 8);
}

TEST_F(ImageCacheTest, RemovalAndClearing)
{
    m_cache->storeImage(image(4, 4), "a"_ns);
    m_cache->storeImage(image(4, 4), "b"_ns);
    settle();

    // Not from disk: the block runs before the call returns.
    bool removed = false;
    m_cache->removeImageForKey("a"_ns, false, [&] { removed = true; });
    EXPECT_TRUE(removed);
    EXPECT_FALSE(m_cache->imageFromMemoryCacheForKey("a"_ns));
    EXPECT_TRUE(exists(fileOf("a")));

    removed = false;
    m_cache->removeImageForKeyWithCompletion("a"_ns, [&] { removed = dv::isMainThread(); });
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return removed; }));
    EXPECT_FALSE(exists(fileOf("a")));
    m_cache->removeImageForKey(nil, true, [&] { ADD_FAILURE() << "no key, no call"; });

    bool cleared = false;
    m_cache->clearDiskOnCompletion([&] { cleared = true; });
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return cleared; }));
    EXPECT_TRUE(std::filesystem::is_directory(dv::str(m_cache->diskCachePath())));
    EXPECT_TRUE(std::filesystem::is_empty(dv::str(m_cache->diskCachePath())));
    EXPECT_TRUE(m_cache->imageFromMemoryCacheForKey("b"_ns)); // memory is left alone
    m_cache->clearMemory();
    EXPECT_FALSE(m_cache->imageFromMemoryCacheForKey("b"_ns));
}

TEST_F(ImageCacheTest, TheCleanRemovesFilesAWeekOldOnTheClock)
{
    m_cache->storeImage(image(4, 4), "old"_ns);
    settle();
    clock().advance(3 * 86400);
    m_cache->storeImage(image(4, 4), "newer"_ns);
    settle();
    // "old" is now exactly a week old, which counts as expired.
    clock().advance(4 * 86400);
    bool cleaned = false;
    m_cache->cleanDiskWithCompletionBlock([&] { cleaned = true; });
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return cleaned; }));
    EXPECT_FALSE(exists(fileOf("old")));
    EXPECT_TRUE(exists(fileOf("newer")));

    // With no age allowed, everything not dated in the future goes.
    m_cache->setMaxCacheAge(0);
    m_cache->cleanDisk();
    settle();
    EXPECT_FALSE(exists(fileOf("newer")));
}

TEST_F(ImageCacheTest, PastTheSizeLimitTheOldestFilesGoUntilHalfIsLeft)
{
    const char* keys[] = {"k1", "k2", "k3", "k4", "k5"};
    for (const char* key : keys) {
        m_cache->storeImage(image(4, 4), NSString::stringWithUTF8String(key));
        settle();
        clock().advance(10);
    }
    id allocated;
    ASSERT_TRUE(getResourceValue(NSURL::fileURLWithPath(NSString::fromUTF8(fileOf("k1"))), &allocated, NSURLTotalFileAllocatedSizeKey, nullptr));
    const NSUInteger each = dv::as<NSNumber>(allocated)->unsignedLongLongValue();
    ASSERT_GT(each, 0u);

    // No limit: the size rule does nothing.
    m_cache->cleanDisk();
    settle();
    EXPECT_EQ(m_cache->getDiskCount(), 5u);

    // Five files of `each` against a limit of 10/3 of one: down to below 5/3 of one, the newest.
    m_cache->setMaxCacheSize(each * 10 / 3);
    m_cache->cleanDisk();
    settle();
    for (const char* key : {"k1", "k2", "k3", "k4"})
        EXPECT_FALSE(exists(fileOf(key))) << key;
    EXPECT_TRUE(exists(fileOf("k5")));
}

TEST_F(ImageCacheTest, SizesAndCountsOfTheDiskLevel)
{
    EXPECT_EQ(m_cache->getSize(), 0u);
    EXPECT_EQ(m_cache->getDiskCount(), 0u);
    m_cache->storeImage(image(8, 8), false, NSData::fromString(std::string(100, 'a')), "a"_ns, true);
    m_cache->storeImage(image(8, 8), false, NSData::fromString(std::string(250, 'b')), "b"_ns, true);
    EXPECT_EQ(m_cache->getSize(), 350u);
    EXPECT_EQ(m_cache->getDiskCount(), 2u);
    std::optional<std::pair<NSUInteger, NSUInteger>> sizes;
    m_cache->calculateSizeWithCompletionBlock([&](NSUInteger count, NSUInteger size) { sizes = {count, size}; });
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return sizes.has_value(); }));
    EXPECT_EQ(sizes->first, 2u);
    EXPECT_EQ(sizes->second, 350u);
}

TEST_F(ImageCacheTest, MemoryCostIsThePixelCountAndLimitsEvictTheLeastRecentlyUsed)
{
    EXPECT_EQ(RIImageCache::memoryCostOf(image(10, 10, false, 2)), 100u);
    EXPECT_EQ(RIImageCache::memoryCostOf(image(10, 10, false, 1)), 100u);
    EXPECT_EQ(RIImageCache::memoryCostOf(UIImage::imageWithCGImage(bitmap(10, 10), 2, UIImageOrientationUp)), 100u);
    auto frame = image(4, 4);
    EXPECT_EQ(RIImageCache::memoryCostOf(UIImage::animatedImageWithImages(NSArray::of({frame, frame, frame}), 1)), 48u);
    EXPECT_EQ(RIImageCache::memoryCostOf(nil), 0u);

    m_cache->setMaxMemoryCost(300);
    EXPECT_EQ(m_cache->maxMemoryCost(), 300u);
    for (const char* key : {"a", "b", "c"})
        m_cache->storeImage(image(10, 10), NSString::stringWithUTF8String(key), false);
    EXPECT_EQ(m_cache->memCache()->totalCost(), 300u);
    // "a" used again, so "b" is the least recently used when "d" comes.
    EXPECT_TRUE(m_cache->imageFromMemoryCacheForKey("a"_ns));
    m_cache->storeImage(image(10, 10), "d"_ns, false);
    EXPECT_TRUE(m_cache->imageFromMemoryCacheForKey("a"_ns));
    EXPECT_FALSE(m_cache->imageFromMemoryCacheForKey("b"_ns));
    EXPECT_TRUE(m_cache->imageFromMemoryCacheForKey("c"_ns));
    // One image above the whole limit does not stay.
    m_cache->storeImage(image(20, 20), "huge"_ns, false);
    EXPECT_FALSE(m_cache->imageFromMemoryCacheForKey("huge"_ns));

    m_cache->setMaxMemoryCost(0);
    m_cache->setMaxMemoryCountLimit(2);
    EXPECT_EQ(m_cache->maxMemoryCountLimit(), 2u);
    EXPECT_LE(m_cache->memCache()->count(), 2u);

    // Without the memory level, nothing is kept there.
    m_cache->clearMemory();
    m_cache->setShouldCacheImagesInMemory(false);
    m_cache->storeImage(image(4, 4), "e"_ns, false);
    EXPECT_FALSE(m_cache->imageFromMemoryCacheForKey("e"_ns));
}

TEST_F(ImageCacheTest, MemoryWarningsEmptyTheMemoryLevel)
{
    m_cache->storeImage(image(4, 4), "a"_ns, false);
    auto purging = alloc<AutoPurgeCache>()->init();
    purging->setObjectForKey(image(2, 2), "x"_ns);
    UIApplication::sharedApplication()->simulateMemoryWarning();
    EXPECT_FALSE(m_cache->imageFromMemoryCacheForKey("a"_ns));
    EXPECT_EQ(purging->count(), 0u);

    // Caches that are gone are no longer registered.
    auto center = NSNotificationCenter::defaultCenter();
    const std::size_t before = center->observerCount();
    {
        auto scratch = alloc<RIImageCache>()->initWithNamespace("scratch"_ns);
        EXPECT_EQ(center->observerCount(), before + 4); // the cache's three and its memory level's
    }
    EXPECT_EQ(center->observerCount(), before);
}

TEST_F(ImageCacheTest, LeavingTheForegroundCleansInsideABackgroundTask)
{
    auto application = UIApplication::sharedApplication();
    application->launch(nil);
    m_cache->storeImage(image(4, 4), "old"_ns);
    settle();
    clock().advance(8 * 86400);
    m_cache->storeImage(image(4, 4), "fresh"_ns);
    settle();

    // Other caches alive in the process clean too; this one's task stays while its queue waits.
    dispatch_suspend(m_cache->ioQueue());
    application->enterBackground();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return application->backgroundTaskCount() == 1; }));
    dispatch_resume(m_cache->ioQueue());
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return application->backgroundTaskCount() == 0; }));
    EXPECT_FALSE(exists(fileOf("old")));
    EXPECT_TRUE(exists(fileOf("fresh")));

    // The system taking the time away ends the task; the clean's own end changes nothing then.
    application->enterForeground();
    dispatch_suspend(m_cache->ioQueue());
    application->enterBackground();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return application->backgroundTaskCount() == 1; }));
    application->expireBackgroundTasks();
    EXPECT_EQ(application->backgroundTaskCount(), 0u);
    dispatch_resume(m_cache->ioQueue());
    settle();
    EXPECT_EQ(application->backgroundTaskCount(), 0u);

    // Termination cleans as well.
    clock().advance(8 * 86400);
    application->terminate();
    settle();
    EXPECT_FALSE(exists(fileOf("fresh")));
}

TEST_F(ImageCacheTest, QueuedWorkKeepsTheCacheUntilItHasRun)
{
    Weak<RIImageCache> weak = m_cache;
    dispatch_queue_t io = m_cache->ioQueue();
    dispatch_suspend(io);
    m_cache->storeImage(image(4, 4), "k"_ns);
    const std::string path = fileOf("k");
    m_cache = nil;
    EXPECT_FALSE(weak.expired());
    dispatch_resume(io);
    ASSERT_TRUE(dv::testing::drainQueue(io));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return weak.expired(); }));
    EXPECT_TRUE(exists(path));
}

TEST_F(ImageCacheTest, StoresAndQueriesFromSeveralThreads)
{
    constexpr int kThreads = 4;
    constexpr int kPerThread = 25;
    auto keyOf = [](int thread, int n) { return NSString::stringWithFormat("http://host/t%d/%d.png", thread, n); };
    std::atomic<int> answers {0};
    std::atomic<int> images {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            auto picture = image(8, 8, t % 2 == 1);
            for (int n = 0; n < kPerThread; ++n) {
                m_cache->storeImage(picture, keyOf(t, n));
                // Another thread's key, stored or not yet: answered here from memory, or later on
                // the main queue from disk.
                m_cache->queryDiskCacheForKey(keyOf((t + 1) % kThreads, n), [&](const Ref<UIImage>& found, RIImageCacheType) {
                    if (found) {
                        EXPECT_EQ(found->CGImage()->width(), 8u);
                        ++images;
                    }
                    ++answers;
                });
                if (auto read = m_cache->imageFromDiskCacheForKey(keyOf((t + 2) % kThreads, n / 2))) {
                    EXPECT_EQ(read->CGImage()->width(), 8u);
                }
                if (n % 10 == 9) {
                    m_cache->clearMemory();
                    m_cache->removeImageForKey(keyOf(t, n - 1), false);
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return answers == kThreads * kPerThread; }));
    EXPECT_GT(images.load(), 0);
    settle();

    // Every file is whole.
    m_cache->clearMemory();
    for (int t = 0; t < kThreads; ++t)
        for (int n = 0; n < kPerThread; ++n) {
            auto read = m_cache->diskImageForKey(keyOf(t, n));
            ASSERT_TRUE(read) << t << "/" << n;
            EXPECT_EQ(read->CGImage()->width(), 8u);
        }
    EXPECT_EQ(m_cache->getDiskCount(), NSUInteger(kThreads * kPerThread));
}

} // namespace
