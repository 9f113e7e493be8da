// Shared set-up of the image-manager and view-category tests: the shared manager reads and writes
// a cache in the test's own folder and downloads with the test's own downloader from a loopback
// server; pictures of one colour each, told apart by their pixels; an application with a key
// window and a driver for the tests that look at the screen.
#pragma once

#include "DownloadTestSupport.h"
#include "tests/platform/net/RawServer.h"

#include "platform/testing/Pixels.h"
#include "platform/testing/UIDriver.h"
#include "platform/ui/UIApplication.h"
#include "platform/ui/UIImageView.h"
#include "platform/ui/UIWindow.h"
#include "ui/images/RIWebImageManager.h"

#include <atomic>
#include <string>

namespace dv::test {

// What a view-category completion heard, on which thread.
struct ViewCall {
    Ref<UIImage> image;
    Ref<NSError> error;
    RIImageCacheType cacheType = RIImageCacheTypeNone;
    Ref<NSURL> url;
    bool onMainThread = false;
};

// An opaque picture of one colour, as PNG bytes.
inline Ref<NSData> colourPNG(Pixel colour, std::size_t side = 16)
{
    auto image = makeRGBAImage(side, side, [&](std::size_t, std::size_t) { return colour; }, kCGImageAlphaNoneSkipLast);
    return UIImagePNGRepresentation(UIImage::imageWithCGImage(image, 1, UIImageOrientationUp));
}
inline Ref<UIImage> colourImage(Pixel colour, std::size_t side = 16)
{
    return UIImage::imageWithCGImage(makeRGBAImage(side, side, [&](std::size_t, std::size_t) { return colour; },
        kCGImageAlphaNoneSkipLast), 1, UIImageOrientationUp);
}
// The colour of picture number `index` (0...511): three channels of eight steps each.
inline Pixel colourOf(std::size_t index)
{
    return {std::uint8_t(16 + (index % 8) * 30), std::uint8_t(16 + (index / 8 % 8) * 30), std::uint8_t(16 + (index / 64 % 8) * 30),
        255};
}
// The picture number a colour stands for, or -1 when it is none of them.
inline int indexOf(const dv::testing::Pixel& p)
{
    int index = 0, scale = 1;
    for (int channel = 0; channel < 3; ++channel, scale *= 8) {
        const int step = (p[std::size_t(channel)] - 16 + 15) / 30;
        if (step < 0 || step > 7 || std::abs(p[std::size_t(channel)] - (16 + step * 30)) > 4)
            return -1;
        index += step * scale;
    }
    return index;
}
// The colour at the middle of an image.
inline dv::testing::Pixel middleOf(const Ref<UIImage>& image)
{
    if (!image)
        return {-1, -1, -1, -1};
    const dv::testing::Pixels pixels(image);
    auto size = pixels.sizeInPoints();
    return pixels.at(size.width / 2, size.height / 2);
}

// A noisy 64 × 64 PNG served in three parts with its length, each part sent only once the test
// has released it (release(1), then release(2)), so that what every part makes can be seen before
// the next one arrives.
class PacedPicture {
public:
    explicit PacedPicture(const Ref<NSData>& png)
        : m_bytes(png->view())
        , m_server([this](nettest::RawServer::Connection& c) {
            c.send("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " + std::to_string(m_bytes.size()) + "\r\n\r\n");
            const std::size_t third = m_bytes.size() / 3;
            for (int part = 0; part < 3; ++part) {
                while (m_released < part)
                    if (!c.pause(std::chrono::milliseconds(1)))
                        return;
                c.send(std::string_view(m_bytes).substr(std::size_t(part) * third, part == 2 ? std::string::npos : third));
            }
        })
    {
    }
    Ref<NSURL> url() const { return NSURL::URLWithString(NSString::fromUTF8(m_server.url("/paced.png"))); }
    void release(int part) { m_released = part; }

private:
    std::atomic<int> m_released { 0 };
    std::string m_bytes;
    nettest::RawServer m_server; // last: stopped before the bytes it sends go
};

class WebImageTest : public DownloaderTest {
protected:
    void SetUp() override
    {
        DownloaderTest::SetUp();
        manager = RIWebImageManager::sharedManager();
        m_previousCache = manager->imageCache();
        m_previousDownloader = manager->imageDownloader();
        cache = alloc<RIImageCache>()->initWithNamespace("test"_ns, NSString::fromUTF8(home()));
        manager->setImageCache(cache);
        manager->setImageDownloader(downloader);
    }
    void TearDown() override
    {
        manager->cancelAll();
        EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return downloader->currentDownloadCount() == 0; }));
        (void)cache->getSize(); // the disk writes queued so far are done
        dv::testing::runUntilIdle();
        m_driver.reset();
        m_window = nil;
        UIApplication::resetSharedApplication();
        manager->setImageCache(m_previousCache);
        manager->setImageDownloader(m_previousDownloader);
        manager->setDelegate(nil);
        manager->setCacheKeyFilter(nil);
        manager = nil;
        cache = nil;
        DownloaderTest::TearDown();
    }

    // Serves picture `index` at "/pic?i=<index>" for every index.
    void servePictures(std::chrono::milliseconds delay = std::chrono::milliseconds(0))
    {
        server.route("/pic", [delay](const dv::testing::RecordedRequest& request) {
            const std::size_t index = std::stoul(request.query.substr(request.query.find('=') + 1));
            return dv::testing::ScriptedReply {
                .body = bytes(colourPNG(colourOf(index))), .contentType = "image/png", .delay = index % 3 == 0 ? delay : std::chrono::milliseconds(0)};
        });
    }
    Ref<NSURL> pictureURL(std::size_t index) const { return url("/pic?i=" + std::to_string(index)); }

    static std::function<void(const Ref<UIImage>&, const Ref<NSError>&, RIImageCacheType, const Ref<NSURL>&)> recordInto(
        std::vector<ViewCall>& calls)
    {
        return [&calls](const Ref<UIImage>& image, const Ref<NSError>& error, RIImageCacheType type, const Ref<NSURL>& url) {
            calls.push_back({image, error, type, url, dv::isMainThread()});
        };
    }

    // A key window of the screen's size and a driver on it, made on first use.
    Ref<UIWindow> window()
    {
        if (!m_window) {
            UIApplication::resetSharedApplication();
            m_window = alloc<UIWindow>()->init();
            m_window->makeKeyAndVisible();
            m_driver.emplace(m_window);
            m_driver->runUntilIdle();
        }
        return m_window;
    }
    dv::testing::UIDriver& ui()
    {
        window();
        return *m_driver;
    }

    Ref<RIWebImageManager> manager;
    Ref<RIImageCache> cache;

private:
    Ref<RIImageCache> m_previousCache;
    Ref<RIWebImageDownloader> m_previousDownloader;
    Ref<UIWindow> m_window;
    std::optional<dv::testing::UIDriver> m_driver;
};

} // namespace dv::test
