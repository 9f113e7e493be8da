#include "ui/images/RIWebImageDownloaderOperation.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSThread.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/graphics/CGColorSpace.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/RemoteImageLimit.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLAuthenticationChallenge.h"
#include "platform/net/NSURLCache.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLProtectionSpace.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLResponse.h"
#include "platform/system/FoundationVersion.h"
#include "ui/images/RIImageScaleFromKey.h"
#include "ui/images/RIWebImageManager.h"
#include "ui/images/UIImageForceDecode.h"
#include "ui/images/UIImageMultiFormat.h"

#include <algorithm>
#include <cmath>
#include <vector>

DV_DEFINE_CLASS(RIWebImageDownloaderOperation)

const Ref<NSString> RIWebImageDownloadStartNotification = "RIWebImageDownloadStartNotification"_ns;
const Ref<NSString> RIWebImageDownloadReceiveResponseNotification = "RIWebImageDownloadReceiveResponseNotification"_ns;
const Ref<NSString> RIWebImageDownloadStopNotification = "RIWebImageDownloadStopNotification"_ns;
const Ref<NSString> RIWebImageDownloadFinishNotification = "RIWebImageDownloadFinishNotification"_ns;

namespace {

// Systems up to this Foundation version give a download's run loop at most ten seconds.
constexpr double kOldestRunLoopFoundationVersion = 890.1;
constexpr NSTimeInterval kOldSystemRunLoopLimit = 10;
// What a partial image's buffer may reserve before the bytes are there: a length the server
// announces is not trusted with more.
constexpr NSUInteger kMaximumReservedCapacity = 16u << 20;

// The rows decoded so far, drawn at the top of a transparent canvas of the full size, so that the
// picture keeps its place and size while it fills in. Drawn in the drawing backend's own layout
// straight into the pixels the image then keeps: nothing is converted or copied afterwards.
CGImageRef fullSizePartialImage(const CGImageRef& rows, NSUInteger width, NSUInteger height)
{
    constexpr CGBitmapInfo kLayout = kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little;
    std::vector<std::uint8_t> pixels(std::size_t(width) * height * 4);
    auto context = CGBitmapContextCreate(pixels.data(), width, height, 8, width * 4, CGColorSpaceCreateDeviceRGB(), kLayout);
    if (!context)
        return nil;
    const CGFloat rowsHeight = std::min<CGFloat>(CGFloat(CGImageGetHeight(rows)), CGFloat(height));
    CGContextDrawImage(context, CGRectMake(0, CGFloat(height) - rowsHeight, CGFloat(width), rowsHeight), rows);
    CGContextFlush(context);
    context = nullptr;
    return dv::makeImage(width, height, 8, 32, width * 4, CGColorSpaceCreateDeviceRGB(), kLayout, std::move(pixels));
}

// The key the image manager files the URL's image under, which also gives its scale.
Ref<NSString> cacheKeyForURL(const Ref<NSURL>& url) { return RIWebImageManager::sharedManager()->cacheKeyForURL(url); }

Ref<NSError> imageError(const char* description)
{
    return NSError::errorWithDomain(RIWebImageErrorDomain, 0,
        NSDictionary::dictionaryWithObjectForKey(NSString::fromUTF8(description), NSLocalizedDescriptionKey));
}

bool isServerTrust(const Ref<NSURLAuthenticationChallenge>& challenge)
{
    auto space = challenge->protectionSpace();
    return space && dv::equal(space->authenticationMethod(), NSURLAuthenticationMethodServerTrust);
}

} // namespace

RIWebImageDownloaderOperation::RIWebImageDownloaderOperation() = default;

RIWebImageDownloaderOperation::~RIWebImageDownloaderOperation() = default;

Ref<RIWebImageDownloaderOperation> RIWebImageDownloaderOperation::initWithRequest(const Ref<NSURLRequest>& request,
    RIWebImageDownloadOptions options, RIWebImageDownloaderProgressBlock progressBlock,
    RIWebImageDownloaderCompletedBlock completedBlock, RIWebImageNoParamsBlock cancelBlock)
{
    NSObject::init();
    m_request = request;
    m_options = options;
    dv::MutexLocker lock(m_lock);
    m_blocks = std::make_shared<const Blocks>(Blocks { std::move(progressBlock), std::move(completedBlock), std::move(cancelBlock) });
    return self<RIWebImageDownloaderOperation>();
}

// Life cycle ---------------------------------------------------------------------------------------

void RIWebImageDownloaderOperation::start()
{
    auto me = self<RIWebImageDownloaderOperation>(); // alive until the transfer has ended
    bool cancelledBeforeStart = false;
    {
        dv::MutexLocker lock(m_lock);
        if (m_thread || isExecuting() || isFinished())
            return; // started already
        if (m_ended)
            cancelledBeforeStart = true;
        else
            m_thread = NSThread::currentThread();
    }
    if (cancelledBeforeStart) {
        reset();
        setFinished(true);
        return;
    }
    beginBackgroundTask();
    setExecuting(true);
    m_connection = alloc<NSURLConnection>()->initWithRequest(m_request, me, false);
    if (m_connection) {
        runTransfer();
    } else {
        deliverResult(nil, nil,
            NSError::errorWithDomain(NSURLErrorDomain, 0,
                NSDictionary::dictionaryWithObjectForKey("Connection can't be initialized"_ns, NSLocalizedDescriptionKey)));
    }
    // The background time is given back before the operation reports itself finished.
    endBackgroundTask();
    done();
}

void RIWebImageDownloaderOperation::runTransfer()
{
    m_connection->start();
    deliverProgress(0, -1);
    postNotifications({RIWebImageDownloadStartNotification});

    NSTimeInterval limit = std::max<NSTimeInterval>(m_request->timeoutInterval(), 1) * transferTimeLimitInTimeouts;
    if (std::floor(NSFoundationVersionNumber) <= kOldestRunLoopFoundationVersion)
        limit = kOldSystemRunLoopLimit;
    const NSTimeInterval deadline = dv::Clock::current().now() + limit;
    auto limitDate = NSDate::dateWithTimeIntervalSinceReferenceDate(deadline);
    auto runLoop = NSRunLoop::currentRunLoop();
    // Every callback of the connection, and a cancel handed over from another thread, runs in
    // here; whichever ends the transfer lets the loop go after its turn.
    while (!m_transferEnded && dv::Clock::current().now() < deadline) {
        if (!runLoop->runModeBeforeDate(NSDefaultRunLoopMode, limitDate))
            break;
    }
    if (!m_transferEnded) {
        endTransfer(true);
        failWithError(dv::makeURLError(NSURLErrorTimedOut, m_request->URL()));
    }
}

void RIWebImageDownloaderOperation::cancel()
{
    if (isFinished())
        return;
    std::shared_ptr<const Blocks> blocks;
    Ref<NSThread> thread;
    {
        dv::MutexLocker lock(m_lock);
        if (m_ended)
            return; // the result is decided and on its way
        m_ended = true;
        blocks = std::exchange(m_blocks, nullptr);
        thread = m_thread;
    }
    NSOperation::cancel();
    if (blocks && blocks->cancel)
        blocks->cancel();
    // A running transfer is stopped on its own thread, where its connection and loop live. Before
    // the start there is nothing to stop: start() finishes the operation when the queue gets to it.
    if (thread) {
        Weak<RIWebImageDownloaderOperation> weak = self<RIWebImageDownloaderOperation>();
        performBlockOnThread(thread, [weak] {
            if (auto operation = weak.lock())
                operation->cancelInternalAndStop();
        }, WaitUntilDone::no);
    }
}

void RIWebImageDownloaderOperation::cancelInternalAndStop()
{
    // Runs on the worker. The thread may since have gone on to another transfer; this one then
    // has nothing left to stop.
    if (m_transferEnded || thread() != NSThread::currentThread())
        return;
    const bool hadConnection = m_connection != nullptr;
    endTransfer(true);
    if (hadConnection)
        postNotifications({RIWebImageDownloadStopNotification});
}

void RIWebImageDownloaderOperation::endTransfer(bool cancelConnection)
{
    m_transferEnded = true;
    cancelPartialImage();
    auto connection = std::exchange(m_connection, nullptr);
    if (connection && cancelConnection)
        connection->cancel();
}

void RIWebImageDownloaderOperation::done()
{
    // Whoever sees it finished sees it let go of everything first.
    setExecuting(false);
    reset();
    setFinished(true);
}

void RIWebImageDownloaderOperation::reset()
{
    std::shared_ptr<const Blocks> blocks; // released outside the lock: they may hold the last reference to their owners
    {
        dv::MutexLocker lock(m_lock);
        m_ended = true;
        blocks = std::exchange(m_blocks, nullptr);
        m_thread = nullptr;
    }
    m_connection = nullptr;
    m_imageData = nullptr;
    m_imageSource = nullptr;
    m_lastPartialRows.reset();
    cancelPartialImage();
}

void RIWebImageDownloaderOperation::beginBackgroundTask()
{
    if (!shouldContinueWhenAppEntersBackground())
        return;
    auto application = UIApplication::sharedApplication();
    if (!application)
        return;
    Weak<RIWebImageDownloaderOperation> weak = self<RIWebImageDownloaderOperation>();
    auto identifier = application->beginBackgroundTaskWithExpirationHandler([weak] {
        if (auto operation = weak.lock()) {
            operation->cancel();
            operation->endBackgroundTask();
        }
    });
    dv::MutexLocker lock(m_lock);
    m_backgroundTaskId = identifier;
}

void RIWebImageDownloaderOperation::endBackgroundTask()
{
    UIBackgroundTaskIdentifier identifier;
    {
        dv::MutexLocker lock(m_lock);
        identifier = std::exchange(m_backgroundTaskId, UIBackgroundTaskInvalid);
    }
    if (identifier != UIBackgroundTaskInvalid)
        if (auto application = UIApplication::sharedApplication())
            application->endBackgroundTask(identifier);
}

// Deliveries ---------------------------------------------------------------------------------------

std::shared_ptr<const RIWebImageDownloaderOperation::Blocks> RIWebImageDownloaderOperation::liveBlocks() const
{
    dv::MutexLocker lock(m_lock);
    return m_ended ? nullptr : m_blocks;
}

void RIWebImageDownloaderOperation::deliverProgress(std::int64_t received, std::int64_t expected) const
{
    auto blocks = liveBlocks();
    if (blocks && blocks->progress)
        blocks->progress(received, expected);
}

void RIWebImageDownloaderOperation::deliverResult(const Ref<UIImage>& image, const Ref<NSData>& data, const Ref<NSError>& error)
{
    std::shared_ptr<const Blocks> blocks;
    {
        dv::MutexLocker lock(m_lock);
        if (m_ended)
            return;
        m_ended = true;
        blocks = std::exchange(m_blocks, nullptr);
    }
    if (blocks && blocks->completed)
        blocks->completed(image, data, error, true);
}

void RIWebImageDownloaderOperation::deliverPartialImage(const Ref<UIImage>& image)
{
    auto me = self<RIWebImageDownloaderOperation>();
    auto deliver = [me, image] {
        // Looked at on the main thread, where owners cancel: a cancel that came first wins.
        auto blocks = me->liveBlocks();
        if (blocks && blocks->completed)
            blocks->completed(image, nil, nil, false);
    };
    if (dv::isMainThread())
        deliver();
    else
        dispatch_sync(dispatch_get_main_queue(), deliver);
}

void RIWebImageDownloaderOperation::failWithError(const Ref<NSError>& error)
{
    postNotifications({RIWebImageDownloadStopNotification});
    deliverResult(nil, nil, error);
    setCompletionBlock(nullptr);
}

void RIWebImageDownloaderOperation::postNotifications(std::initializer_list<Ref<NSString>> names)
{
    std::vector<Ref<NSString>> list(names);
    auto me = self<RIWebImageDownloaderOperation>();
    dispatch_async(dispatch_get_main_queue(), [me, list] {
        for (auto& name : list)
            NSNotificationCenter::defaultCenter()->postNotificationName(name, me);
    });
}

// Connection callbacks -----------------------------------------------------------------------------

bool RIWebImageDownloaderOperation::connection(const Ref<NSURLConnection>&, const Ref<NSURLResponse>& response)
{
    if (m_transferEnded)
        return true;
    auto http = dv::as<NSHTTPURLResponse>(response);
    const NSInteger status = http ? http->statusCode() : 0;
    if (!http || (status < 400 && status != 304)) {
        const std::int64_t length = response ? response->expectedContentLength() : 0;
        const std::int64_t expected = length > 0 ? length : 0;
        if (expected > maximumImageBytes) {
            endTransfer(true);
            failWithError(dv::makeURLError(NSURLErrorDataLengthExceedsMaximum, m_request->URL()));
            return true;
        }
        m_expectedSize = expected;
        deliverProgress(0, expected);
        m_imageData = NSMutableData::dataWithCapacity(std::min<NSUInteger>(NSUInteger(expected), kMaximumReservedCapacity));
        {
            dv::MutexLocker lock(m_lock);
            m_response = response;
        }
        postNotifications({RIWebImageDownloadReceiveResponseNotification});
        return true;
    }
    endTransfer(true);
    postNotifications({RIWebImageDownloadStopNotification});
    if (status == 304) {
        // Nothing new on the server: the download is over, with nothing to show for it. Its
        // listeners hear so, instead of waiting for a result that never comes.
        deliverResult(nil, nil, nil);
    } else {
        deliverResult(nil, nil, NSError::errorWithDomain(NSURLErrorDomain, status, nil));
    }
    return true;
}

bool RIWebImageDownloaderOperation::connection(const Ref<NSURLConnection>&, const Ref<NSData>& data)
{
    if (m_transferEnded || !data)
        return true;
    if (!m_imageData)
        m_imageData = NSMutableData::dataWithCapacity(0);
    if (std::int64_t(m_imageData->length() + data->length()) > maximumImageBytes) {
        endTransfer(true);
        failWithError(dv::makeURLError(NSURLErrorDataLengthExceedsMaximum, m_request->URL()));
        return true;
    }
    m_imageData->appendData(data);
    if (failIfPastPixelLimit())
        return true;
    if ((m_options & RIWebImageDownloadProgressive) && m_expectedSize > 0) {
        auto blocks = liveBlocks();
        if (blocks && blocks->completed)
            progressiveStep();
    }
    deliverProgress(std::int64_t(m_imageData->length()), m_expectedSize);
    return true;
}

bool RIWebImageDownloaderOperation::failIfPastPixelLimit()
{
    m_extent = m_extentReader.update(m_imageData);
    if (!m_extent || m_extent->decodedPixels() <= dv::kRemoteImageMaximumPixels)
        return false;
    // Nothing of it would be decoded at the end: the rest of it need not come.
    endTransfer(true);
    failWithError(imageError("Downloaded image has too many pixels to decode"));
    return true;
}

void RIWebImageDownloaderOperation::progressiveStep()
{
    if (std::int64_t(m_imageData->length()) >= m_expectedSize) {
        // The whole picture follows at once; a partial image now would only hold it up.
        cancelPartialImage();
        return;
    }
    if (m_width == 0 && m_height == 0 && m_extent) {
        m_width = NSUInteger(m_extent->width);
        m_height = NSUInteger(m_extent->height);
        m_orientation = orientationFromPropertyValue(m_extent->exifOrientation ? m_extent->exifOrientation : 1);
    }
    if (m_width == 0 || m_height == 0)
        return; // decoding waits for the header, which tells that the picture fits
    // One source for the whole download: it keeps its decoder, so each byte is decoded once.
    if (!m_imageSource)
        m_imageSource = CGImageSourceCreateIncremental(nil);
    CGImageSourceUpdateData(m_imageSource, m_imageData, false);
    if (m_partialImageTimer)
        return; // the partial image due shows these bytes too
    const NSTimeInterval wait = m_lastPartialImageTime
        ? *m_lastPartialImageTime + partialImageInterval - dv::Clock::current().now() : 0;
    if (wait <= 0) {
        showPartialImage();
        return;
    }
    Weak<RIWebImageDownloaderOperation> weak = self<RIWebImageDownloaderOperation>();
    m_partialImageTimer = NSTimer::scheduledTimerWithTimeInterval(wait, false, [weak](const Ref<NSTimer>&) {
        if (auto operation = weak.lock()) {
            operation->m_partialImageTimer = nil;
            operation->showPartialImage();
        }
    });
}

void RIWebImageDownloaderOperation::showPartialImage()
{
    auto blocks = liveBlocks();
    if (m_transferEnded || !m_imageSource || !blocks || !blocks->completed)
        return;
    CGImageRef rows = CGImageSourceCreateImageAtIndex(m_imageSource, 0, nil);
    if (!rows || rows == m_lastPartialRows.lock())
        return; // nothing decoded yet, or nothing since the last one
    m_lastPartialRows = rows;
    m_lastPartialImageTime = dv::Clock::current().now();
    CGImageRef partial = fullSizePartialImage(rows, m_width, m_height);
    if (!partial)
        return;
    auto image = UIImage::imageWithCGImage(partial, 1, m_orientation);
    image = scaledImageForKey(cacheKeyForURL(m_request->URL()), image);
    if (m_shouldDecompressImages)
        image = decodedImageWithImage(image);
    deliverPartialImage(image);
}

void RIWebImageDownloaderOperation::cancelPartialImage()
{
    if (auto timer = std::exchange(m_partialImageTimer, nil))
        timer->invalidate();
}

bool RIWebImageDownloaderOperation::connectionDidFinishLoading(const Ref<NSURLConnection>&)
{
    if (m_transferEnded)
        return true;
    endTransfer(false);
    postNotifications({RIWebImageDownloadStopNotification, RIWebImageDownloadFinishNotification});
    if (m_responseFromCached && !NSURLCache::sharedURLCache()->cachedResponseForRequest(m_request))
        m_responseFromCached = false;
    finishWithData();
    setCompletionBlock(nullptr);
    return true;
}

void RIWebImageDownloaderOperation::finishWithData()
{
    auto blocks = liveBlocks();
    if (!blocks || !blocks->completed) {
        deliverResult(nil, nil, nil); // nobody to tell; the result is only marked as decided
        return;
    }
    if ((m_options & RIWebImageDownloadIgnoreCachedResponse) && m_responseFromCached) {
        deliverResult(nil, nil, nil);
        return;
    }
    if (!m_imageData || m_imageData->length() == 0) {
        deliverResult(nil, nil, imageError("Image data is nil"));
        return;
    }
    // A picture past the pixel limit has ended already: every byte went through the extent
    // reader as it came (failIfPastPixelLimit).
    // Decoded here, on the worker, so that the main thread has nothing left to decode when it
    // draws; animations are left as they are.
    auto decoded = imageFromIncrementalDecoder();
    auto image = scaledImageForKey(cacheKeyForURL(m_request->URL()), decoded ? decoded : ri_imageWithData(m_imageData));
    if (image && !image->images() && m_shouldDecompressImages)
        image = decodedImageWithImage(image);
    if (!image || (image->size().width == 0 && image->size().height == 0)) {
        deliverResult(nil, nil, imageError("Downloaded image has 0 pixels"));
        return;
    }
    deliverResult(image, m_imageData, nil);
}

Ref<UIImage> RIWebImageDownloaderOperation::imageFromIncrementalDecoder()
{
    if (!m_imageSource)
        return nil;
    CGImageSourceUpdateData(m_imageSource, m_imageData, true);
    // An animation is made of all its frames, elsewhere.
    if (dv::str(CGImageSourceGetType(m_imageSource)) == "com.compuserve.gif")
        return nil;
    CGImageRef image = CGImageSourceCreateImageAtIndex(m_imageSource, 0, nil);
    if (!image || CGImageSourceGetStatus(m_imageSource) != kCGImageStatusComplete || CGImageSourceGetCount(m_imageSource) != 1)
        return nil;
    auto properties = CGImageSourceCopyPropertiesAtIndex(m_imageSource, 0, nil);
    auto exif = properties ? dv::as<NSNumber>(properties->objectForKey(kCGImagePropertyOrientation)) : nil;
    return UIImage::imageWithCGImage(image, 1, dv::imageOrientationFromEXIF(exif ? exif->intValue() : 0));
}

bool RIWebImageDownloaderOperation::connection(const Ref<NSURLConnection>&, const Ref<NSError>& error)
{
    if (m_transferEnded)
        return true;
    endTransfer(false);
    failWithError(error);
    return true;
}

std::optional<Ref<NSCachedURLResponse>> RIWebImageDownloaderOperation::connection(const Ref<NSURLConnection>&,
    const Ref<NSCachedURLResponse>& cachedResponse)
{
    m_responseFromCached = false; // asked to store it, so it came from the network
    if (m_request->cachePolicy() == NSURLRequestReloadIgnoringLocalCacheData)
        return Ref<NSCachedURLResponse>();
    return cachedResponse;
}

std::optional<bool> RIWebImageDownloaderOperation::connectionShouldUseCredentialStorage(const Ref<NSURLConnection>&)
{
    return bool(m_shouldUseCredentialStorage);
}

bool RIWebImageDownloaderOperation::connection(const Ref<NSURLConnection>&, const Ref<NSURLAuthenticationChallenge>& challenge)
{
    auto sender = challenge ? challenge->sender() : nullptr;
    if (!sender)
        return false;
    if (isServerTrust(challenge)) {
        if (!(m_options & RIWebImageDownloadTrustAnyCertificate) && sender->supportsDefaultHandling())
            sender->performDefaultHandlingForAuthenticationChallenge(challenge);
        else
            sender->useCredential(NSURLCredential::credentialForTrust(challenge->protectionSpace()->serverTrust()), challenge);
        return true;
    }
    auto credential = this->credential();
    if (challenge->previousFailureCount() == 0 && credential)
        sender->useCredential(credential, challenge);
    else
        sender->continueWithoutCredentialForAuthenticationChallenge(challenge);
    return true;
}

// Helpers and accessors ----------------------------------------------------------------------------

Ref<UIImage> RIWebImageDownloaderOperation::scaledImageForKey(const Ref<NSString>& key, const Ref<UIImage>& image) const
{
    return RIImageScaleFromKey(key, image);
}

UIImageOrientation RIWebImageDownloaderOperation::orientationFromPropertyValue(NSInteger value)
{
    return ri_exifOrientationToiOSOrientation(value >= 1 && value <= 8 ? std::int32_t(value) : 1);
}

Ref<NSURLCredential> RIWebImageDownloaderOperation::credential() const
{
    dv::MutexLocker lock(m_lock);
    return m_credential;
}

void RIWebImageDownloaderOperation::setCredential(const Ref<NSURLCredential>& credential)
{
    dv::MutexLocker lock(m_lock);
    m_credential = credential;
}

Ref<NSURLResponse> RIWebImageDownloaderOperation::response() const
{
    dv::MutexLocker lock(m_lock);
    return m_response;
}

Ref<NSThread> RIWebImageDownloaderOperation::thread() const
{
    dv::MutexLocker lock(m_lock);
    return m_thread;
}

UIBackgroundTaskIdentifier RIWebImageDownloaderOperation::backgroundTaskId() const
{
    dv::MutexLocker lock(m_lock);
    return m_backgroundTaskId;
}
