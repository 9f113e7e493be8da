// Shared set-up of the downloader tests: a loopback server, a downloader of the test's own, a
// recorder of what the listeners and the notifications hear, and a gate that holds a scripted
// reply until the test opens it.
#pragma once

#include "ImagesTestSupport.h"

#include "platform/base/NSData.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSThread.h"
#include "platform/testing/LoopbackServer.h"
#include "ui/images/RIWebImageDownloader.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace dv::test {

// What one listener heard. Blocks may run on any thread, so everything is read under the lock.
struct Recorder {
    struct Call {
        Ref<UIImage> image;
        Ref<NSData> data;
        Ref<NSError> error;
        bool finished = false;
        bool onMainThread = false;
    };

    mutable std::mutex mutex;
    std::vector<Call> calls;
    std::vector<std::pair<NSInteger, NSInteger>> progress;
    bool progressOffMain = false;

    static std::shared_ptr<Recorder> make() { return std::make_shared<Recorder>(); }

    static RIWebImageDownloaderCompletedBlock completed(const std::shared_ptr<Recorder>& r)
    {
        return [r](const Ref<UIImage>& image, const Ref<NSData>& data, const Ref<NSError>& error, bool finished) {
            std::lock_guard lock(r->mutex);
            r->calls.push_back({image, data, error, finished, dv::isMainThread()});
        };
    }
    static RIWebImageDownloaderProgressBlock progressBlock(const std::shared_ptr<Recorder>& r)
    {
        return [r](NSInteger received, NSInteger expected) {
            std::lock_guard lock(r->mutex);
            r->progress.emplace_back(received, expected);
            r->progressOffMain |= !dv::isMainThread();
        };
    }

    int finals() const
    {
        std::lock_guard lock(mutex);
        int n = 0;
        for (auto& call : calls)
            n += call.finished;
        return n;
    }
    int partials() const
    {
        std::lock_guard lock(mutex);
        return int(calls.size()) - finalsLocked();
    }
    Call last() const
    {
        std::lock_guard lock(mutex);
        return calls.empty() ? Call {} : calls.back();
    }
    std::vector<Call> all() const
    {
        std::lock_guard lock(mutex);
        return calls;
    }

private:
    int finalsLocked() const
    {
        int n = 0;
        for (auto& call : calls)
            n += call.finished;
        return n;
    }
};

// Holds every request that reaches it until opened; counts how many are held at once.
class Gate {
public:
    ~Gate() { open(); }
    void open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }
    void pass()
    {
        std::unique_lock lock(m_mutex);
        ++m_waiting;
        ++m_arrived;
        m_most = std::max(m_most, m_waiting);
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_open; });
        --m_waiting;
    }
    int waiting() const
    {
        std::lock_guard lock(m_mutex);
        return m_waiting;
    }
    int arrived() const
    {
        std::lock_guard lock(m_mutex);
        return m_arrived;
    }
    int most() const
    {
        std::lock_guard lock(m_mutex);
        return m_most;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    int m_waiting = 0;
    int m_arrived = 0;
    int m_most = 0;
};

class DownloaderTest : public ImagesTest {
protected:
    void SetUp() override
    {
        ImagesTest::SetUp();
        downloader = alloc<RIWebImageDownloader>()->init();
        for (auto& name : {RIWebImageDownloadStartNotification, RIWebImageDownloadReceiveResponseNotification,
                 RIWebImageDownloadStopNotification, RIWebImageDownloadFinishNotification})
            m_observers.push_back(NSNotificationCenter::defaultCenter()->addObserverForName(name, nil, nil,
                [this](const Ref<NSNotification>& n) {
                    std::lock_guard lock(m_notesMutex);
                    m_notes.push_back({dv::str(n->name()), n->object().get()});
                }));
    }
    void TearDown() override
    {
        // Downloads still going are cancelled with their downloader, and their threads given back.
        downloader = nullptr;
        EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return liveOperations() == 0; }));
        dv::testing::runUntilIdle();
        for (auto& observer : m_observers)
            NSNotificationCenter::defaultCenter()->removeObserver(observer);
        {
            std::lock_guard lock(m_tokensMutex);
            m_tokens.clear();
        }
        ImagesTest::TearDown();
    }

    Ref<NSURL> url(const std::string& path) const { return NSURL::URLWithString(NSString::fromUTF8(server.url(path))); }

    Ref<RIWebImageDownloadToken> download(const Ref<NSURL>& url, const std::shared_ptr<Recorder>& recorder,
        RIWebImageDownloadOptions options = 0)
    {
        auto token = downloader->downloadImageWithURL(url, options, Recorder::progressBlock(recorder), Recorder::completed(recorder));
        if (token) {
            std::lock_guard lock(m_tokensMutex);
            m_tokens.push_back(token);
        }
        return token;
    }

    bool waitFinals(const std::shared_ptr<Recorder>& recorder, int count = 1)
    {
        return dv::testing::runMainLoopUntil([&] { return recorder->finals() >= count; });
    }
    // Until every download this test made has finished and its notifications are posted.
    bool waitAllFinished()
    {
        bool done = dv::testing::runMainLoopUntil([&] { return liveOperations() == 0; });
        dv::testing::runUntilIdle();
        return done;
    }
    std::size_t liveOperations()
    {
        std::lock_guard lock(m_tokensMutex);
        std::size_t live = 0;
        for (auto& token : m_tokens) {
            auto& op = token->operation();
            // A download cancelled while queued finishes when its queue gets to it, unless the
            // queue went first.
            live += op && !op->isFinished() && (op->isExecuting() || !op->isCancelled());
        }
        return live;
    }

    // The notification names posted for `operation`, in order, without the prefix.
    std::vector<std::string> notesFor(const Ref<RIWebImageDownloaderOperation>& operation)
    {
        std::lock_guard lock(m_notesMutex);
        std::vector<std::string> names;
        for (auto& [name, object] : m_notes)
            if (object == operation.get())
                names.push_back(name.substr(std::string("RIWebImageDownload").size()));
        return names;
    }

    static std::string bytes(const Ref<NSData>& data)
    {
        return data ? std::string(reinterpret_cast<const char*>(data->bytes()), data->length()) : std::string();
    }
    // A w x h picture of noise, so that its file is about as large as its pixels (and arrives in
    // many pieces); the top half red-ish, the bottom half blue-ish.
    static Ref<NSData> noisyPNG(std::size_t w, std::size_t h)
    {
        std::uint32_t seed = 7;
        auto image = makeRGBAImage(w, h, [&](std::size_t, std::size_t y) {
            seed = seed * 1664525u + 1013904223u;
            auto noise = std::uint8_t(seed >> 27);
            return y < h / 2 ? Pixel {std::uint8_t(200 + noise), 20, 20, 255} : Pixel {20, 20, std::uint8_t(200 + noise), 255};
        }, kCGImageAlphaNoneSkipLast);
        return UIImagePNGRepresentation(UIImage::imageWithCGImage(image, 1, UIImageOrientationUp));
    }
    static dv::testing::ScriptedReply imageReply(const Ref<NSData>& data, std::string type = "image/png")
    {
        return {.body = bytes(data), .contentType = std::move(type)};
    }

    dv::testing::LoopbackServer server;
    Ref<RIWebImageDownloader> downloader;

private:
    std::vector<id> m_observers;
    std::mutex m_notesMutex;
    std::vector<std::pair<std::string, const NSObject*>> m_notes;
    std::mutex m_tokensMutex;
    std::vector<Ref<RIWebImageDownloadToken>> m_tokens;
};

} // namespace dv::test
