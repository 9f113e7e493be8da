// RIWebImageDownloaderOperation: downloads one image over one URL connection. The downloader makes
// one per URL and puts it on its operation queue; the queue starts it on a worker thread, which it
// keeps, running the connection on that thread's run loop, until the transfer ends. It reports
// progress, partial images (progressive mode) and the decoded image or an error through the three
// blocks it was made with, posts the download notifications on the main queue, and may keep
// running for a while in the background. A picture whose bytes so far already show more pixels
// than a remote picture may have (dv::kRemoteImageMaximumPixels, a GIF's frames together) ends
// the transfer at once with an error.
//
// Partial images are decoded as the bytes arrive, by one incremental decoder that also gives the
// final image, and shown at full size with the rows received at their place: the first as soon
// as there are rows, then at most one per partialImageInterval of the clock, each showing all
// that has come by then, however many pieces it came in. Bytes that arrive within the interval
// are shown at its end even when nothing follows them, so a transfer that stalls shows all it had.
//
// Threads: start() and every connection callback run on the worker thread, where the progress and
// the final completion are called; partial images are handed to the main thread synchronously;
// notifications are posted asynchronously on the main queue. cancel() may come from any thread:
// the decision is taken at once under the operation's lock (so nothing is delivered once it
// returns, except a call that had already begun), and the connection is cancelled and the run
// loop left on the worker thread.
//
//   auto op = alloc<RIWebImageDownloaderOperation>()->initWithRequest(request, 0, nil,
//       [](const Ref<UIImage>& image, const Ref<NSData>& data, const Ref<NSError>& error, bool finished) { ... },
//       nil);
//   queue->addOperation(op);
#pragma once

#include "platform/base/Mutex.h"
#include "platform/dispatch/NSOperation.h"
#include "platform/graphics/CGImageSource.h"
#include "platform/graphics/RemoteImageLimit.h"
#include "platform/graphics/UIImage.h"
#include "platform/net/NSURLConnection.h"
#include "platform/ui/UIApplication.h"
#include "ui/images/RIWebImageOperation.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class NSMutableData;
class NSThread;
class NSTimer;
class NSURLCredential;
class NSURLRequest;
class NSURLResponse;

using RIWebImageDownloadOptions = NSUInteger;
enum : RIWebImageDownloadOptions {
    // Queue priority low, unless the high bit is set too.
    RIWebImageDownloadLowPriority = 1 << 0,
    // Partial images while the data arrives (only when the response gives a length).
    RIWebImageDownloadProgressive = 1 << 1,
    // The request's protocol cache policy, so that the URL cache may answer; without it the
    // request reloads and ignores local cache data.
    RIWebImageDownloadUseURLCache = 1 << 2,
    // A response served from the URL cache completes with no image.
    RIWebImageDownloadIgnoreCachedResponse = 1 << 3,
    // The download asks the application for background execution time.
    RIWebImageDownloadInBackground = 1 << 4,
    // The request handles cookies.
    RIWebImageDownloadSendCookies = 1 << 5,
    // A server-trust challenge is answered with a credential for the presented trust.
    RIWebImageDownloadTrustAnyCertificate = 1 << 6,
    RIWebImageDownloadHighPriority = 1 << 7,
};

// (received bytes, expected bytes): -1 expected before the response, 0 when it gives no length.
using RIWebImageDownloaderProgressBlock = std::function<void(NSInteger receivedSize, NSInteger expectedSize)>;
// finished is NO only for partial images.
using RIWebImageDownloaderCompletedBlock =
    std::function<void(const Ref<UIImage>& image, const Ref<NSData>& data, const Ref<NSError>& error, bool finished)>;

// Posted on the main queue with the operation as object: after the connection started, when a
// response is accepted, when the transfer ends in any way once its connection existed, and (after
// the stop) when it finished loading.
extern const Ref<NSString> RIWebImageDownloadStartNotification;
extern const Ref<NSString> RIWebImageDownloadReceiveResponseNotification;
extern const Ref<NSString> RIWebImageDownloadStopNotification;
extern const Ref<NSString> RIWebImageDownloadFinishNotification;

class RIWebImageDownloaderOperation : public NSOperation, public NSURLConnectionDataDelegate, public RIWebImageOperation {
    DV_CLASS(RIWebImageDownloaderOperation, NSOperation)

    RIWebImageDownloaderOperation();
    ~RIWebImageDownloaderOperation() override;

    // The blocks are kept until the operation ends; the cancel block runs once when it is
    // cancelled before its result was decided.
    Ref<RIWebImageDownloaderOperation> initWithRequest(const Ref<NSURLRequest>& request, RIWebImageDownloadOptions options,
        RIWebImageDownloaderProgressBlock progressBlock, RIWebImageDownloaderCompletedBlock completedBlock,
        RIWebImageNoParamsBlock cancelBlock);

    // Runs the whole transfer on the calling thread (a queue's worker) and returns when it ended.
    void start() override;
    // Any thread. A result already being delivered is not taken back.
    void cancel() override;
    bool isAsynchronous() const override { return true; }

    // The URL connection's delegate; the connection calls them on the worker thread.
    bool connection(const Ref<NSURLConnection>& connection, const Ref<NSURLResponse>& response) override;
    bool connection(const Ref<NSURLConnection>& connection, const Ref<NSData>& data) override;
    bool connectionDidFinishLoading(const Ref<NSURLConnection>& connection) override;
    bool connection(const Ref<NSURLConnection>& connection, const Ref<NSError>& error) override;
    std::optional<Ref<NSCachedURLResponse>> connection(const Ref<NSURLConnection>& connection,
        const Ref<NSCachedURLResponse>& cachedResponse) override;
    std::optional<bool> connectionShouldUseCredentialStorage(const Ref<NSURLConnection>& connection) override;
    bool connection(const Ref<NSURLConnection>& connection, const Ref<NSURLAuthenticationChallenge>& challenge) override;

    // The image at the scale its cache key implies.
    Ref<UIImage> scaledImageForKey(const Ref<NSString>& key, const Ref<UIImage>& image) const;
    bool shouldContinueWhenAppEntersBackground() const { return (m_options & RIWebImageDownloadInBackground) != 0; }
    // EXIF 1...8 to the image orientation; any other value is up.
    static UIImageOrientation orientationFromPropertyValue(NSInteger value);

    // The pixel size and orientation read from the data in progressive mode; 0 and up until known.
    NSUInteger width() const { return m_width; }
    NSUInteger height() const { return m_height; }
    UIImageOrientation orientation() const { return m_orientation; }
    // YES until the response turns out to have come from the network.
    bool responseFromCached() const { return m_responseFromCached; }
    bool shouldDecompressImages() const { return m_shouldDecompressImages; }
    void setShouldDecompressImages(bool value) { m_shouldDecompressImages = value; }
    bool shouldUseCredentialStorage() const { return m_shouldUseCredentialStorage; }
    void setShouldUseCredentialStorage(bool value) { m_shouldUseCredentialStorage = value; }
    const Ref<NSURLRequest>& request() const { return m_request; }
    Ref<NSURLCredential> credential() const;
    void setCredential(const Ref<NSURLCredential>& credential);
    RIWebImageDownloadOptions options() const { return m_options; }
    std::int64_t expectedSize() const { return m_expectedSize; }
    Ref<NSURLResponse> response() const;
    // The worker thread while the transfer runs, nil before and after.
    Ref<NSThread> thread() const;
    UIBackgroundTaskIdentifier backgroundTaskId() const;

    // The most bytes one image may have. A response announcing more, or a body growing past it,
    // fails with NSURLErrorDataLengthExceedsMaximum.
    static constexpr std::int64_t maximumImageBytes = 64ll << 20;
    // The longest a transfer may run, in request time-outs: a body that keeps trickling in never
    // lets the request's own idle time-out fire, so the whole transfer has a limit too, after
    // which it fails as timed out.
    static constexpr double transferTimeLimitInTimeouts = 10;
    // The least time between two partial images, in seconds.
    static constexpr NSTimeInterval partialImageInterval = 0.2;

private:
    struct Blocks {
        RIWebImageDownloaderProgressBlock progress;
        RIWebImageDownloaderCompletedBlock completed;
        RIWebImageNoParamsBlock cancel;
    };

    // Worker thread: the transfer on this thread's run loop until it ends or runs out of time.
    void runTransfer();
    void cancelInternalAndStop();
    // Ends the transfer on the worker: the loop is left after the current callback. With
    // `cancelConnection` the connection is cancelled (it did not end by itself).
    void endTransfer(bool cancelConnection);
    void done();
    void reset();
    void beginBackgroundTask();
    void endBackgroundTask();

    // The blocks while the result is still open, else nil; read just before each delivery.
    std::shared_ptr<const Blocks> liveBlocks() const;
    void deliverProgress(std::int64_t received, std::int64_t expected) const;
    // Decides the result (unless a cancel decided first) and calls the completed block.
    void deliverResult(const Ref<UIImage>& image, const Ref<NSData>& data, const Ref<NSError>& error);
    void deliverPartialImage(const Ref<UIImage>& image);
    void failWithError(const Ref<NSError>& error);
    // Ends the transfer with an error when the bytes so far show a picture past the pixel limit.
    bool failIfPastPixelLimit();
    void progressiveStep();
    // Decodes and delivers a partial image of everything received, unless nothing new would show.
    void showPartialImage();
    void cancelPartialImage();
    // The whole picture from the incremental decoder, when it decoded a still picture completely.
    Ref<UIImage> imageFromIncrementalDecoder();
    void finishWithData();
    void postNotifications(std::initializer_list<Ref<NSString>> names);

    // Immutable after init.
    Ref<NSURLRequest> m_request;
    RIWebImageDownloadOptions m_options = 0;

    std::atomic<NSUInteger> m_width { 0 };
    std::atomic<NSUInteger> m_height { 0 };
    std::atomic<UIImageOrientation> m_orientation { UIImageOrientationUp };
    std::atomic<bool> m_responseFromCached { true };
    std::atomic<bool> m_shouldDecompressImages { true };
    std::atomic<bool> m_shouldUseCredentialStorage { true };
    std::atomic<std::int64_t> m_expectedSize { 0 };

    mutable dv::Mutex m_lock;
    // Set once, under the lock, by whoever decides how the operation ends: the worker when it
    // delivers its result, or cancel(). Nothing is delivered after it is set.
    bool m_ended DV_GUARDED_BY(m_lock) = false;
    std::shared_ptr<const Blocks> m_blocks DV_GUARDED_BY(m_lock);
    Ref<NSThread> m_thread DV_GUARDED_BY(m_lock);
    Ref<NSURLCredential> m_credential DV_GUARDED_BY(m_lock);
    Ref<NSURLResponse> m_response DV_GUARDED_BY(m_lock);
    UIBackgroundTaskIdentifier m_backgroundTaskId DV_GUARDED_BY(m_lock) = UIBackgroundTaskInvalid;

    // The worker thread's own, while start() runs.
    Ref<NSURLConnection> m_connection;
    Ref<NSMutableData> m_imageData;
    dv::ImageExtentReader m_extentReader;
    std::optional<dv::ImageExtent> m_extent;
    CGImageSourceRef m_imageSource;
    // Partial images: when the last was made, the decoder's image it was made of (to tell
    // whether anything new has been decoded since), and the timer of the next one when it waits.
    std::optional<NSTimeInterval> m_lastPartialImageTime;
    Weak<CGImage> m_lastPartialRows;
    Ref<NSTimer> m_partialImageTimer;
    bool m_transferEnded = false;
};
