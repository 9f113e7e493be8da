// The download operation against a loopback server: results, progress, notifications, partial
// images, errors for bad replies, time limits, cancellation, background time, trust and
// credentials.
#include "DownloadTestSupport.h"

#include "platform/base/NSDictionary.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLResponse.h"
#include "platform/system/FoundationVersion.h"
#include "platform/testing/LargePictures.h"
#include "platform/ui/UIApplication.h"
#include "tests/platform/net/RawServer.h"

#include <atomic>
#include <thread>

namespace dv::test {
namespace {

using namespace std::chrono_literals;
using dv::testing::ScriptedReply;

class DownloadOperationTest : public DownloaderTest {
protected:
    // Downloads `path` and expects it to fail as a picture of too many pixels, with no image, no
    // partial image and next to no memory: nothing of it was decoded.
    void expectTooManyPixelsUndecoded(const std::string& path, RIWebImageDownloadOptions options)
    {
        auto recorder = Recorder::make();
        auto growth = peakMemoryGrowth([&] {
            download(url(path), recorder, options);
            ASSERT_TRUE(waitFinals(recorder));
            ASSERT_TRUE(waitAllFinished());
        });
        auto call = recorder->last();
        ASSERT_TRUE(call.error);
        EXPECT_EQ(dv::str(call.error->domain()), "RIWebImageErrorDomain");
        EXPECT_EQ(call.error->code(), 0);
        EXPECT_EQ(dv::str(call.error->localizedDescription()), "Downloaded image has too many pixels to decode");
        EXPECT_FALSE(call.image);
        EXPECT_EQ(recorder->partials(), 0);
        if (growth) {
            EXPECT_LT(*growth, 16u << 20) << "the picture was decoded, at least in part";
        }
    }
};

// Serves one picture with its length in pieces, each sent once the recorder has heard of the one
// before, so that every piece arrives by itself; the last `held` bytes wait for release().
class PiecewiseServer {
public:
    PiecewiseServer(std::string body, std::size_t piece, std::shared_ptr<Recorder> recorder, std::size_t held = 0)
        : m_body(std::move(body))
        , m_recorder(std::move(recorder))
        , m_server([this, piece, held](nettest::RawServer::Connection& c) {
            c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(m_body.size()) + "\r\n\r\n");
            const std::size_t first = m_body.size() - held;
            for (std::size_t at = 0; at < first; at += piece) {
                const std::size_t size = std::min(piece, first - at);
                c.send(std::string_view(m_body).substr(at, size));
                while (received() < NSInteger(at + size))
                    if (!c.pause(1ms))
                        return;
            }
            while (!m_released)
                if (!c.pause(1ms))
                    return;
            c.send(std::string_view(m_body).substr(first));
        })
    {
    }
    Ref<NSURL> url(const std::string& path) const { return NSURL::URLWithString(NSString::fromUTF8(m_server.url(path))); }
    // The bytes the recorder has heard of.
    NSInteger received() const
    {
        dv::MutexLocker lock(m_recorder->mutex);
        return m_recorder->progress.empty() ? NSInteger(0) : m_recorder->progress.back().first;
    }
    void release() { m_released = true; }

private:
    std::string m_body;
    std::shared_ptr<Recorder> m_recorder;
    std::atomic<bool> m_released { false };
    nettest::RawServer m_server; // last: stopped before what it sends goes
};

TEST_F(DownloadOperationTest, DeliversTheDecodedImageOnItsOwnThreadAfterProgressAndNotifications)
{
    auto png = noisyPNG(40, 30);
    server.route("/a.png", imageReply(png));
    auto recorder = Recorder::make();
    auto token = download(url("/a.png"), recorder);
    ASSERT_TRUE(token);
    EXPECT_TRUE(token->startedDownload());
    ASSERT_TRUE(waitFinals(recorder));
    ASSERT_TRUE(waitAllFinished());

    auto call = recorder->last();
    ASSERT_TRUE(call.image) << (call.error ? dv::str(call.error->localizedDescription()) : "");
    EXPECT_FALSE(call.error);
    EXPECT_TRUE(call.finished);
    EXPECT_FALSE(call.onMainThread);
    EXPECT_EQ(bytes(call.data), bytes(png));
    // The screen's scale (2), as the key has no scale of its own.
    EXPECT_EQ(call.image->scale(), 2);
    EXPECT_EQ(call.image->size().width, 20);
    EXPECT_EQ(call.image->size().height, 15);

    const auto total = NSInteger(png->length());
    dv::MutexLocker lock(recorder->mutex);
    ASSERT_GE(recorder->progress.size(), 3u);
    EXPECT_FALSE(recorder->progressOffMain);
    EXPECT_EQ(recorder->progress[0], std::make_pair(NSInteger(0), NSInteger(-1)));
    EXPECT_EQ(recorder->progress[1], std::make_pair(NSInteger(0), total));
    EXPECT_EQ(recorder->progress.back(), std::make_pair(total, total));
    for (std::size_t i = 2; i < recorder->progress.size(); ++i)
        EXPECT_GT(recorder->progress[i].first, recorder->progress[i - 1].first);
    EXPECT_EQ(notesFor(token->operation()), (std::vector<std::string> {"StartNotification", "ReceiveResponseNotification",
                                                "StopNotification", "FinishNotification"}));
    EXPECT_TRUE(token->operation()->isFinished());
    EXPECT_FALSE(token->operation()->isExecuting());
    EXPECT_FALSE(token->operation()->thread());
    EXPECT_FALSE(token->operation()->responseFromCached());
}

TEST_F(DownloadOperationTest, AnErrorStatusFailsWithItsCodeAndNoFinishNotification)
{
    server.route("/missing.png", ScriptedReply {.status = 404, .body = "not here"});
    auto recorder = Recorder::make();
    auto token = download(url("/missing.png"), recorder);
    ASSERT_TRUE(waitFinals(recorder));
    ASSERT_TRUE(waitAllFinished());
    auto call = recorder->last();
    ASSERT_TRUE(call.error);
    EXPECT_EQ(dv::str(call.error->domain()), "NSURLErrorDomain");
    EXPECT_EQ(call.error->code(), 404);
    EXPECT_FALSE(call.image);
    EXPECT_FALSE(call.data);
    EXPECT_TRUE(call.finished);
    EXPECT_EQ(recorder->all().size(), 1u);
    EXPECT_EQ(notesFor(token->operation()), (std::vector<std::string> {"StartNotification", "StopNotification"}));
}

TEST_F(DownloadOperationTest, NotModifiedCompletesWithNothingInsteadOfLeavingItsListenersWaiting)
{
    server.route("/same.png", ScriptedReply {.status = 304});
    auto first = Recorder::make(), second = Recorder::make();
    auto token = download(url("/same.png"), first);
    download(url("/same.png"), second);
    ASSERT_TRUE(waitFinals(first));
    ASSERT_TRUE(waitFinals(second));
    ASSERT_TRUE(waitAllFinished());
    for (auto& recorder : {first, second}) {
        auto call = recorder->last();
        EXPECT_FALSE(call.image);
        EXPECT_FALSE(call.data);
        EXPECT_FALSE(call.error);
        EXPECT_TRUE(call.finished);
    }
    EXPECT_TRUE(token->operation()->isFinished());
    EXPECT_EQ(notesFor(token->operation()), (std::vector<std::string> {"StartNotification", "StopNotification"}));
    // The URL's listeners are gone with it: the next request downloads again.
    auto again = Recorder::make();
    EXPECT_TRUE(download(url("/same.png"), again)->startedDownload());
    ASSERT_TRUE(waitFinals(again));
    EXPECT_EQ(server.requestCount("/same.png"), 2u);
}

TEST_F(DownloadOperationTest, BadRepliesEachFailAndGiveTheirThreadBack)
{
    auto png = noisyPNG(40, 40);
    const std::string image = bytes(png);
    server.route("/page.png", ScriptedReply {.body = "<html><body>moved</body></html>", .contentType = "text/html"});
    server.route("/empty.png", ScriptedReply {.body = "", .contentType = "image/png"});
    server.route("/dropped.png", ScriptedReply {.body = image, .contentType = "image/png", .dropAfterBytes = 100});
    server.route("/early.png", ScriptedReply {.body = image, .contentType = "image/png", .dropAfterBytes = 0});
    // A length smaller than the picture: the reply ends where the length says.
    nettest::RawServer shortLength([&](nettest::RawServer::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 300\r\nConnection: close\r\n\r\n" + image);
    });
    // Closed before any reply.
    nettest::RawServer closing([](nettest::RawServer::Connection&) { });

    struct Case {
        Ref<NSURL> url;
        std::string domain;
        NSInteger code;
    };
    std::vector<Case> cases = {
        {url("/page.png"), "RIWebImageErrorDomain", 0},
        {url("/empty.png"), "RIWebImageErrorDomain", 0},
        {url("/dropped.png"), "NSURLErrorDomain", 0},
        {url("/early.png"), "NSURLErrorDomain", 0},
        {NSURL::URLWithString(NSString::fromUTF8(shortLength.url("/short.png"))), "RIWebImageErrorDomain", 0},
        {NSURL::URLWithString(NSString::fromUTF8(closing.url("/closed.png"))), "NSURLErrorDomain", 0},
    };
    std::vector<std::shared_ptr<Recorder>> recorders;
    for (auto& c : cases) {
        recorders.push_back(Recorder::make());
        ASSERT_TRUE(download(c.url, recorders.back()));
    }
    ASSERT_TRUE(waitAllFinished());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(dv::str(cases[i].url->absoluteString()));
        auto all = recorders[i]->all();
        ASSERT_EQ(all.size(), 1u);
        ASSERT_TRUE(all[0].error);
        EXPECT_FALSE(all[0].image);
        EXPECT_TRUE(all[0].finished);
        EXPECT_EQ(dv::str(all[0].error->domain()), cases[i].domain);
        if (cases[i].domain == "NSURLErrorDomain") {
            EXPECT_LT(all[0].error->code(), 0); // a transfer error of the platform
        }
    }
    EXPECT_EQ(dv::str(recorders[0]->last().error->localizedDescription()), "Downloaded image has 0 pixels");
    EXPECT_EQ(dv::str(recorders[1]->last().error->localizedDescription()), "Image data is nil");
    EXPECT_EQ(downloader->currentDownloadCount(), 0u);
}

TEST_F(DownloadOperationTest, AnnouncedOrReceivedBytesPastTheLimitFail)
{
    nettest::RawServer huge([](nettest::RawServer::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 900000000\r\n\r\n");
        while (c.pause(5ms) && c.send(std::string(1024, 'x'))) { }
    });
    auto recorder = Recorder::make();
    auto token = download(NSURL::URLWithString(NSString::fromUTF8(huge.url("/huge.png"))), recorder);
    ASSERT_TRUE(waitFinals(recorder));
    ASSERT_TRUE(waitAllFinished());
    auto call = recorder->last();
    ASSERT_TRUE(call.error);
    EXPECT_EQ(call.error->code(), NSURLErrorDataLengthExceedsMaximum);
    EXPECT_EQ(notesFor(token->operation()), (std::vector<std::string> {"StartNotification", "StopNotification"}));
}

TEST_F(DownloadOperationTest, ATransferThatNeverEndsTimesOutOnTheClockAndFreesItsThread)
{
    // Bytes keep coming, so the request's own idle time-out never fires.
    nettest::RawServer trickle([](nettest::RawServer::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nTransfer-Encoding: chunked\r\n\r\n");
        while (c.pause(5ms) && c.send("1\r\nx\r\n")) { }
    });
    auto endless = NSURL::URLWithString(NSString::fromUTF8(trickle.url("/endless.png")));
    auto recorder = Recorder::make();
    auto token = download(endless, recorder);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] {
        dv::MutexLocker lock(recorder->mutex);
        return recorder->progress.size() >= 5;
    }));
    const NSTimeInterval limit = 15 * RIWebImageDownloaderOperation::transferTimeLimitInTimeouts;
    clock().advance(limit - 1);
    auto before = recorder->all().size();
    EXPECT_TRUE(dv::testing::runMainLoopUntil([&] {
        dv::MutexLocker lock(recorder->mutex);
        return recorder->progress.size() >= 10;
    }));
    EXPECT_EQ(recorder->all().size(), before);

    clock().advance(2);
    ASSERT_TRUE(waitFinals(recorder));
    ASSERT_TRUE(waitAllFinished());
    auto call = recorder->last();
    ASSERT_TRUE(call.error);
    EXPECT_EQ(call.error->code(), NSURLErrorTimedOut);
    EXPECT_TRUE(dv::equal(call.error->userInfo()->objectForKey(NSURLErrorFailingURLErrorKey), endless));
    EXPECT_EQ(downloader->currentDownloadCount(), 0u);
    EXPECT_EQ(notesFor(token->operation()).back(), "StopNotification");
}

TEST_F(DownloadOperationTest, OlderSystemsGiveATransferTenSeconds)
{
    nettest::RawServer trickle([](nettest::RawServer::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nTransfer-Encoding: chunked\r\n\r\n");
        while (c.pause(5ms) && c.send("1\r\nx\r\n")) { }
    });
    const double version = NSFoundationVersionNumber;
    NSFoundationVersionNumber = 890.1;
    auto recorder = Recorder::make();
    download(NSURL::URLWithString(NSString::fromUTF8(trickle.url("/old.png"))), recorder);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] {
        dv::MutexLocker lock(recorder->mutex);
        return recorder->progress.size() >= 3;
    }));
    clock().advance(11);
    ASSERT_TRUE(waitFinals(recorder));
    NSFoundationVersionNumber = version;
    ASSERT_TRUE(waitAllFinished());
    ASSERT_TRUE(recorder->last().error);
    EXPECT_EQ(recorder->last().error->code(), NSURLErrorTimedOut);
}

TEST_F(DownloadOperationTest, ACancelArrivingWhileTheResultIsDeliveredTakesNothingAway)
{
    // The cancel comes from the main thread while the worker is inside the completed block: it
    // neither waits for the block nor frees what the block is using.
    server.route("/busy.png", imageReply(noisyPNG(16, 16)));
    std::atomic<bool> inside { false }, cancelled { false };
    std::atomic<bool> intact { false };
    auto label = std::make_shared<std::string>("still here");
    auto token = downloader->downloadImageWithURL(url("/busy.png"), 0, nil,
        [&inside, &cancelled, &intact, label](const Ref<UIImage>& image, const Ref<NSData>& data, const Ref<NSError>&, bool) {
            inside = true;
            const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!cancelled && std::chrono::steady_clock::now() < limit)
                std::this_thread::yield();
            intact = *label == "still here" && image && CGImageGetWidth(image->CGImage()) == 16 && data && data->length() > 0;
        });
    label.reset();
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return inside.load(); }));
    auto operation = token->operation();
    operation->cancel();
    token->cancel();
    EXPECT_FALSE(operation->isCancelled()); // its result was already decided
    cancelled = true;
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return operation->isFinished(); }));
    dv::testing::runUntilIdle();
    EXPECT_TRUE(intact);
}

TEST_F(DownloadOperationTest, ASilentServerTimesOutAfterTheRequestTimeOut)
{
    server.route("/slow.png", ScriptedReply {.body = "late", .delay = 5000ms});
    downloader->setDownloadTimeout(0.3);
    auto recorder = Recorder::make();
    auto token = download(url("/slow.png"), recorder);
    EXPECT_EQ(token->operation()->request()->timeoutInterval(), 0.3);
    ASSERT_TRUE(waitFinals(recorder));
    auto call = recorder->last();
    ASSERT_TRUE(call.error);
    EXPECT_EQ(call.error->code(), NSURLErrorTimedOut);
    ASSERT_TRUE(waitAllFinished());
}

TEST_F(DownloadOperationTest, ProgressiveDownloadsShowTheRowsReceivedAtTheirPlaceOnTheMainThread)
{
    // The picture arrives in three parts, each sent once the test has seen what the one before
    // made: a third of the rows, two thirds, all.
    const std::string image = bytes(noisyPNG(64, 64));
    std::atomic<int> released { 0 };
    nettest::RawServer paced([&](nettest::RawServer::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " + std::to_string(image.size()) + "\r\n\r\n");
        const std::size_t third = image.size() / 3;
        for (int part = 0; part < 3; ++part) {
            while (released < part)
                if (!c.pause(1ms))
                    return;
            const std::size_t from = std::size_t(part) * third;
            c.send(std::string_view(image).substr(from, part == 2 ? std::string::npos : third));
        }
    });
    auto recorder = Recorder::make();
    auto token = download(NSURL::URLWithString(NSString::fromUTF8(paced.url("/slow.png"))), recorder, RIWebImageDownloadProgressive);
    for (int part = 1; part < 3; ++part) {
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return recorder->partials() >= part; }));
        released = part;
        // Partial images come at most once per interval: the part is shown when it ends.
        clock().advance(RIWebImageDownloaderOperation::partialImageInterval);
    }
    ASSERT_TRUE(waitFinals(recorder));
    ASSERT_TRUE(waitAllFinished());

    auto calls = recorder->all();
    ASSERT_GE(calls.size(), 3u);
    ASSERT_TRUE(calls.back().finished);
    ASSERT_TRUE(calls.back().image);
    EXPECT_EQ(token->operation()->width(), 64u);
    EXPECT_EQ(token->operation()->height(), 64u);
    for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
        auto& partial = calls[i];
        EXPECT_FALSE(partial.finished);
        EXPECT_TRUE(partial.onMainThread);
        EXPECT_FALSE(partial.data);
        ASSERT_TRUE(partial.image);
        // Full size from the first partial on, at the key's scale.
        EXPECT_EQ(partial.image->size().width, 32);
        EXPECT_EQ(partial.image->size().height, 32);
        auto top = pixelAt(partial.image->CGImage(), 10, 0);
        EXPECT_GE(top[0], 190) << show(top);
    }
    // The first part holds a third of the rows: the top ones, in their place, and nothing below.
    auto first = calls.front().image->CGImage();
    EXPECT_GE(pixelAt(first, 10, 5)[0], 190);
    EXPECT_EQ(pixelAt(first, 10, 63)[3], 0) << show(pixelAt(first, 10, 63));
    auto final = calls.back().image;
    EXPECT_GE(pixelAt(final->CGImage(), 10, 63)[2], 190);
}

TEST_F(DownloadOperationTest, APictureOfMorePixelsThanAScreenShowsFailsUndecodedWithoutPartialImages)
{
    server.route("/huge.png", ScriptedReply {.body = dv::testing::blackPng(10000, 10000), .contentType = "image/png",
                                  .pieceSize = 1024, .pieceDelay = 1ms});
    expectTooManyPixelsUndecoded("/huge.png", RIWebImageDownloadProgressive);
}

TEST_F(DownloadOperationTest, AnAnimatedWebpOfMoreFramesThanTheLimitFailsUndecoded)
{
    // Six canvases of 4096 x 4096 in a few hundred bytes: each frame within the limit, together six
    // times past it.
    server.route("/frames.webp", ScriptedReply {.body = dv::testing::blackWebp(4096, 4096, 6), .contentType = "image/webp",
                                     .pieceSize = 64, .pieceDelay = 1ms});
    for (RIWebImageDownloadOptions options : {RIWebImageDownloadOptions(0), RIWebImageDownloadOptions(RIWebImageDownloadProgressive)}) {
        SCOPED_TRACE(options ? "progressive" : "whole");
        expectTooManyPixelsUndecoded("/frames.webp", options);
    }
}

TEST_F(DownloadOperationTest, AHeaderPastThePixelLimitEndsTheTransferBeforeTheBody)
{
    // The picture's header, then a body that trickles in for as long as the connection is open:
    // the server counts the body bytes it could send.
    const std::string header = dv::testing::blackPng(10000, 10000).substr(0, 64);
    for (RIWebImageDownloadOptions options : {RIWebImageDownloadOptions(0), RIWebImageDownloadOptions(RIWebImageDownloadProgressive)}) {
        SCOPED_TRACE(options ? "progressive" : "whole");
        std::atomic<std::size_t> sent { 0 };
        std::atomic<bool> gone { false };
        nettest::RawServer trickle([&](nettest::RawServer::Connection& c) {
            c.send("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 50000000\r\n\r\n" + header);
            while (c.pause(2ms) && c.send(std::string(16, '\0')))
                sent += 16;
            gone = true;
        });
        auto recorder = Recorder::make();
        auto token = download(NSURL::URLWithString(NSString::fromUTF8(trickle.url("/huge.png"))), recorder, options);
        ASSERT_TRUE(waitFinals(recorder));
        auto call = recorder->last();
        ASSERT_TRUE(call.error);
        EXPECT_EQ(dv::str(call.error->domain()), "RIWebImageErrorDomain");
        EXPECT_EQ(dv::str(call.error->localizedDescription()), "Downloaded image has too many pixels to decode");
        EXPECT_EQ(recorder->partials(), 0);
        ASSERT_TRUE(waitAllFinished());
        EXPECT_EQ(notesFor(token->operation()), (std::vector<std::string> {"StartNotification", "ReceiveResponseNotification",
                                                    "StopNotification"}));
        // The connection went while the body had hardly begun.
        ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gone.load(); }));
        EXPECT_LT(sent.load(), std::size_t(1) << 20);
    }
}

TEST_F(DownloadOperationTest, AProgressiveGIFStopsAtTheFrameThatPassesThePixelLimitWithNoPartialImageAfter)
{
    // A screen of 1500 x 1500 with frames of a quarter of it: seven screens fit in the limit
    // together, the eighth passes it. The server sends seven frames, then the eighth once the test
    // has seen the first partial image, then nothing.
    auto gif = [](int frames) {
        std::vector<GifFrame> list(static_cast<std::size_t>(frames));
        for (auto& frame : list) {
            frame.width = frame.height = 750;
            frame.indices.assign(750 * 750, 1);
        }
        return bytes(writeGif(1500, 1500, {{0, 0, 0}, {255, 255, 255}}, list));
    };
    const std::string whole = gif(9);
    // Identical frames are written alike, each after the screen's records, the trailer last.
    const std::size_t frameBytes = gif(2).size() - gif(1).size(), screenBytes = gif(1).size() - 1 - frameBytes;
    ASSERT_EQ(whole.size(), screenBytes + 9 * frameBytes + 1);
    const std::size_t sevenFrames = screenBytes + 7 * frameBytes, eightFrames = sevenFrames + frameBytes;
    std::atomic<bool> released { false };
    nettest::RawServer paced([&](nettest::RawServer::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Type: image/gif\r\nContent-Length: " + std::to_string(whole.size()) + "\r\n\r\n");
        c.send(std::string_view(whole).substr(0, sevenFrames));
        while (!released)
            if (!c.pause(1ms))
                return;
        c.send(std::string_view(whole).substr(sevenFrames, eightFrames - sevenFrames));
        while (c.pause(5ms)) { }
    });
    auto recorder = Recorder::make();
    download(NSURL::URLWithString(NSString::fromUTF8(paced.url("/frames.gif"))), recorder, RIWebImageDownloadProgressive);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] {
        dv::MutexLocker lock(recorder->mutex);
        return !recorder->progress.empty() && recorder->progress.back().first == NSInteger(sevenFrames);
    }));
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return recorder->partials() >= 1; }));
    const int partialsBefore = recorder->partials();
    // Partial images would be allowed again from here on.
    clock().advance(RIWebImageDownloaderOperation::partialImageInterval);
    released = true;

    // The error comes without the rest of the file.
    ASSERT_TRUE(waitFinals(recorder));
    ASSERT_TRUE(waitAllFinished());
    auto call = recorder->last();
    ASSERT_TRUE(call.error);
    EXPECT_EQ(dv::str(call.error->localizedDescription()), "Downloaded image has too many pixels to decode");
    EXPECT_FALSE(call.image);
    EXPECT_EQ(recorder->partials(), partialsBefore);
    auto calls = recorder->all();
    EXPECT_TRUE(calls.back().finished);
    for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
        ASSERT_TRUE(calls[i].image);
        EXPECT_EQ(calls[i].image->size().width, 750); // the first frame's screen, at the screen's scale
    }
}

TEST_F(DownloadOperationTest, PartialImagesComeAtMostOncePerIntervalKeepingTheFirstAndTheLast)
{
    // A picture in pieces of 256 bytes, all but its last rows; then nothing until the test says.
    const std::string image = bytes(noisyPNG(96, 96));
    const std::size_t held = 512;
    auto recorder = Recorder::make();
    PiecewiseServer pieces(image, 256, recorder, held);
    download(pieces.url("/pieces.png"), recorder, RIWebImageDownloadProgressive);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return pieces.received() == NSInteger(image.size() - held); }));
    {
        dv::MutexLocker lock(recorder->mutex);
        EXPECT_GT(recorder->progress.size(), (image.size() - held) / 256);
    }
    // The clock has not moved: only the first, made as soon as there were rows.
    ASSERT_EQ(recorder->partials(), 1);
    auto first = recorder->all().front().image->CGImage();
    EXPECT_GE(pixelAt(first, 10, 0)[0], 190) << show(pixelAt(first, 10, 0));
    EXPECT_EQ(pixelAt(first, 10, 95)[3], 0) << show(pixelAt(first, 10, 95));

    // The rest of the interval passes with nothing new coming: what had come is shown.
    clock().advance(RIWebImageDownloaderOperation::partialImageInterval);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return recorder->partials() == 2; }));
    auto last = recorder->all().back().image->CGImage();
    EXPECT_GE(pixelAt(last, 10, 80)[2], 190) << show(pixelAt(last, 10, 80));
    // More time with nothing new makes no partial image, nor does the end of the picture.
    clock().advance(RIWebImageDownloaderOperation::partialImageInterval);
    pieces.release();
    ASSERT_TRUE(waitFinals(recorder));
    ASSERT_TRUE(waitAllFinished());
    EXPECT_EQ(recorder->partials(), 2);
    ASSERT_TRUE(recorder->last().image);
    EXPECT_GE(pixelAt(recorder->last().image->CGImage(), 10, 95)[2], 190);
}

TEST_F(DownloadOperationTest, AProgressiveDownloadEndsWithTheImageAPlainOneGives)
{
    // The final image comes from the decoder that made the partial images: the same pixels,
    // scale and orientation as decoding the whole file. Among them, four-component JPEGs whose
    // decoder hands back several rows at once.
    auto corpusFile = [](const char* name) {
        return NSData::dataWithContentsOfFile(NSString::fromUTF8(std::string(DV_IMAGE_CORPUS_DIR) + "/fuzz_image_jpeg/" + name));
    };
    for (const auto& data : {noisyPNG(80, 60), jpeg(120, 90, UIImageOrientationRight), corpusFile("ycck-64x64.jpg"),
             corpusFile("cmyk-k1x2-64x64.jpg")}) {
        ASSERT_TRUE(data);
        server.route("/plain", imageReply(data));
        auto plain = Recorder::make(), progressive = Recorder::make();
        PiecewiseServer pieces(bytes(data), 256, progressive);
        download(url("/plain"), plain);
        download(pieces.url("/progressive"), progressive, RIWebImageDownloadProgressive);
        ASSERT_TRUE(waitFinals(plain));
        ASSERT_TRUE(waitFinals(progressive));
        ASSERT_TRUE(waitAllFinished());
        EXPECT_GE(progressive->partials(), 1);
        auto whole = plain->last().image, followed = progressive->last().image;
        ASSERT_TRUE(whole);
        ASSERT_TRUE(followed);
        EXPECT_EQ(followed->imageOrientation(), whole->imageOrientation());
        EXPECT_EQ(followed->scale(), whole->scale());
        EXPECT_EQ(CGImageGetWidth(followed->CGImage()), CGImageGetWidth(whole->CGImage()));
        EXPECT_TRUE(dv::imagePixelsRGBA8(followed->CGImage()) == dv::imagePixelsRGBA8(whole->CGImage()));
    }
}

TEST_F(DownloadOperationTest, WithoutALengthNoPartialImagesAreMade)
{
    auto png = noisyPNG(64, 64);
    server.route("/chunked.png", ScriptedReply {.body = bytes(png), .contentType = "image/png",
                                     .framing = ScriptedReply::Framing::Chunked, .pieceSize = 2048, .pieceDelay = 2ms});
    auto recorder = Recorder::make();
    download(url("/chunked.png"), recorder, RIWebImageDownloadProgressive);
    ASSERT_TRUE(waitFinals(recorder));
    ASSERT_TRUE(waitAllFinished());
    EXPECT_EQ(recorder->partials(), 0);
    EXPECT_TRUE(recorder->last().image);
    dv::MutexLocker lock(recorder->mutex);
    ASSERT_GE(recorder->progress.size(), 3u);
    EXPECT_EQ(recorder->progress[1].second, 0);
    EXPECT_EQ(recorder->progress.back(), std::make_pair(NSInteger(png->length()), NSInteger(0)));
}

TEST_F(DownloadOperationTest, CancellingARunningDownloadStopsItOnItsThreadAndReportsNothing)
{
    // Half the picture, then nothing until the connection goes.
    const std::string image = bytes(noisyPNG(64, 64));
    nettest::RawServer stalling([&](nettest::RawServer::Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " + std::to_string(image.size()) + "\r\n\r\n");
        c.send(std::string_view(image).substr(0, image.size() / 2));
        while (c.pause(5ms)) { }
    });
    auto recorder = Recorder::make();
    auto token = download(NSURL::URLWithString(NSString::fromUTF8(stalling.url("/slow.png"))), recorder, RIWebImageDownloadProgressive);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return recorder->partials() >= 1; }));
    auto operation = token->operation();
    ASSERT_TRUE(operation->isExecuting());
    operation->cancel();
    auto heard = recorder->all().size();
    ASSERT_TRUE(waitAllFinished());
    EXPECT_EQ(recorder->all().size(), heard); // nothing after the cancel
    EXPECT_EQ(recorder->finals(), 0);
    EXPECT_TRUE(operation->isCancelled());
    EXPECT_TRUE(operation->isFinished());
    EXPECT_FALSE(operation->isExecuting());
    EXPECT_EQ(notesFor(operation).back(), "StopNotification");
    EXPECT_EQ(downloader->currentDownloadCount(), 0u);
}

TEST_F(DownloadOperationTest, AQueuedDownloadCancelledFinishesWhenStartedWithoutAConnection)
{
    auto gate = std::make_shared<Gate>();
    server.route("/held.png", [gate](const dv::testing::RecordedRequest&) {
        gate->pass();
        return ScriptedReply {.body = "x"};
    });
    server.route("/queued.png", imageReply(noisyPNG(8, 8)));
    downloader->setMaxConcurrentDownloads(1);
    auto held = Recorder::make(), queued = Recorder::make();
    download(url("/held.png"), held);
    auto token = download(url("/queued.png"), queued);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->waiting() == 1; }));
    auto operation = token->operation();
    operation->cancel();
    EXPECT_FALSE(operation->isExecuting());
    gate->open();
    ASSERT_TRUE(waitAllFinished());
    EXPECT_TRUE(operation->isFinished());
    EXPECT_TRUE(operation->isCancelled());
    EXPECT_TRUE(queued->all().empty());
    EXPECT_TRUE(notesFor(operation).empty());
    EXPECT_EQ(server.requestCount("/queued.png"), 0u);
}

TEST_F(DownloadOperationTest, CancelsRacingDeliveriesNeverDeliverTwiceOrCrash)
{
    // Cancels from the main thread at every phase of downloads that deliver partial images on
    // the main thread and their results on their own: each listener hears at most one result,
    // nothing once its cancel returned on the main thread, and every download gives its thread
    // back.
    auto png = noisyPNG(48, 48);
    server.route("/race.png", ScriptedReply {.body = bytes(png), .contentType = "image/png", .pieceSize = 512, .pieceDelay = 1ms});
    constexpr int rounds = 24;
    std::vector<std::shared_ptr<Recorder>> recorders;
    std::vector<Ref<RIWebImageDownloadToken>> tokens;
    for (int i = 0; i < rounds; ++i) {
        auto recorder = Recorder::make();
        recorders.push_back(recorder);
        auto u = url("/race.png?n=" + std::to_string(i));
        tokens.push_back(download(u, recorder, RIWebImageDownloadProgressive));
    }
    std::vector<std::size_t> heardAtCancel(rounds, 0);
    for (int i = 0; i < rounds; ++i) {
        // Let the download run a little further each round before it is cancelled.
        dv::testing::runMainLoopUntil([&] {
            dv::MutexLocker lock(recorders[i]->mutex);
            return recorders[i]->progress.size() >= std::size_t(i % 8) || !recorders[i]->calls.empty();
        }, 2);
        if (i % 2)
            tokens[i]->cancel();
        else
            tokens[i]->operation()->cancel();
        heardAtCancel[i] = recorders[i]->partials();
    }
    ASSERT_TRUE(waitAllFinished());
    for (int i = 0; i < rounds; ++i) {
        EXPECT_LE(recorders[i]->finals(), 1);
        EXPECT_EQ(recorders[i]->partials(), int(heardAtCancel[i]));
        EXPECT_TRUE(tokens[i]->operation()->isFinished());
    }
    EXPECT_EQ(downloader->currentDownloadCount(), 0u);
}

TEST_F(DownloadOperationTest, BackgroundDownloadsHoldATaskThatExpiryCancels)
{
    auto application = UIApplication::sharedApplication();
    auto png = noisyPNG(16, 16);
    server.route("/bg.png", imageReply(png));
    auto recorder = Recorder::make();
    download(url("/bg.png"), recorder, RIWebImageDownloadInBackground);
    ASSERT_TRUE(waitFinals(recorder));
    ASSERT_TRUE(waitAllFinished());
    EXPECT_TRUE(recorder->last().image);
    EXPECT_EQ(application->backgroundTaskCount(), 0u);

    auto gate = std::make_shared<Gate>();
    server.route("/held.png", [gate](const dv::testing::RecordedRequest&) {
        gate->pass();
        return ScriptedReply {.body = "x"};
    });
    auto expiring = Recorder::make();
    auto token = download(url("/held.png"), expiring, RIWebImageDownloadInBackground);
    ASSERT_TRUE(dv::testing::runMainLoopUntil([&] { return gate->waiting() == 1; }));
    EXPECT_EQ(application->backgroundTaskCount(), 1u);
    EXPECT_NE(token->operation()->backgroundTaskId(), UIBackgroundTaskInvalid);
    dv::LogCapture capture;
    application->expireBackgroundTasks();
    EXPECT_FALSE(capture.contains("was not ended"));
    EXPECT_EQ(application->backgroundTaskCount(), 0u);
    gate->open();
    ASSERT_TRUE(waitAllFinished());
    EXPECT_TRUE(token->operation()->isCancelled());
    EXPECT_TRUE(expiring->all().empty());
}

TEST_F(DownloadOperationTest, UntrustedServersNeedTheTrustAnyOption)
{
    dv::testing::LoopbackServer secure(dv::testing::TestCertificates::shared().rogue, {});
    auto png = noisyPNG(16, 16);
    secure.route("/s.png", imageReply(png));
    auto address = NSURL::URLWithString(NSString::fromUTF8(secure.url("/s.png")));
    auto refused = Recorder::make();
    download(address, refused);
    ASSERT_TRUE(waitFinals(refused));
    ASSERT_TRUE(refused->last().error);
    EXPECT_LE(refused->last().error->code(), NSURLErrorSecureConnectionFailed);

    auto trusting = Recorder::make();
    download(address, trusting, RIWebImageDownloadTrustAnyCertificate);
    ASSERT_TRUE(waitFinals(trusting));
    EXPECT_TRUE(trusting->last().image);
    EXPECT_FALSE(trusting->last().error);
    ASSERT_TRUE(waitAllFinished());
}

TEST_F(DownloadOperationTest, CredentialsAnswerTheFirstChallengeOnly)
{
    auto png = noisyPNG(16, 16);
    auto reply = imageReply(png);
    reply.user = "ann";
    reply.password = "secret";
    server.route("/private.png", reply);

    auto anonymous = Recorder::make();
    download(url("/private.png"), anonymous);
    ASSERT_TRUE(waitFinals(anonymous));
    ASSERT_TRUE(anonymous->last().error);
    EXPECT_EQ(anonymous->last().error->code(), 401);

    downloader->setUsername("ann"_ns);
    downloader->setPassword("wrong"_ns);
    auto wrong = Recorder::make();
    download(url("/private.png?2"), wrong);
    ASSERT_TRUE(waitFinals(wrong));
    ASSERT_TRUE(wrong->last().error);
    EXPECT_EQ(wrong->last().error->code(), 401);

    // The credential, when set, goes before the user name and password.
    downloader->setUrlCredential(NSURLCredential::credentialWithUser("ann"_ns, "secret"_ns, NSURLCredentialPersistenceNone));
    auto allowed = Recorder::make();
    auto token = download(url("/private.png?3"), allowed);
    ASSERT_TRUE(waitFinals(allowed));
    EXPECT_TRUE(allowed->last().image);
    EXPECT_TRUE(dv::equal(token->operation()->credential()->password(), "secret"_ns));
    ASSERT_TRUE(waitAllFinished());
}

TEST_F(DownloadOperationTest, ACachedResponseIsIgnoredWhenAsked)
{
    auto png = noisyPNG(16, 16);
    auto reply = imageReply(png);
    reply.headers = {{"Cache-Control", "max-age=3600"}};
    server.route("/cached.png", reply);
    auto first = Recorder::make();
    auto token = download(url("/cached.png"), first, RIWebImageDownloadUseURLCache);
    ASSERT_TRUE(waitFinals(first));
    EXPECT_TRUE(first->last().image);
    EXPECT_EQ(token->operation()->request()->cachePolicy(), NSURLRequestUseProtocolCachePolicy);
    ASSERT_TRUE(waitAllFinished());

    auto second = Recorder::make();
    auto again = download(url("/cached.png"), second, RIWebImageDownloadUseURLCache | RIWebImageDownloadIgnoreCachedResponse);
    ASSERT_TRUE(waitFinals(second));
    ASSERT_TRUE(waitAllFinished());
    EXPECT_EQ(server.requestCount("/cached.png"), 1u);
    EXPECT_TRUE(again->operation()->responseFromCached());
    auto call = second->last();
    EXPECT_FALSE(call.image);
    EXPECT_FALSE(call.data);
    EXPECT_FALSE(call.error);
    EXPECT_TRUE(call.finished);
}

TEST_F(DownloadOperationTest, ExifOrientationsMapToImageOrientations)
{
    const std::vector<std::pair<NSInteger, UIImageOrientation>> table = {
        {1, UIImageOrientationUp}, {2, UIImageOrientationUpMirrored}, {3, UIImageOrientationDown},
        {4, UIImageOrientationDownMirrored}, {5, UIImageOrientationLeftMirrored}, {6, UIImageOrientationRight},
        {7, UIImageOrientationRightMirrored}, {8, UIImageOrientationLeft}, {0, UIImageOrientationUp}, {9, UIImageOrientationUp},
        {-6, UIImageOrientationUp}};
    for (auto [exif, orientation] : table)
        EXPECT_EQ(RIWebImageDownloaderOperation::orientationFromPropertyValue(exif), orientation) << exif;
}

} // namespace
} // namespace dv::test
