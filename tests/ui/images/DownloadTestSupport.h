// Shared set-up of the downloader tests: a loopback server, a downloader of the test's own, a
// recorder of what the listeners and the notifications hear, and a gate that holds a scripted
// reply until the test opens it.
#pragma once

#include "ImagesTestSupport.h"

#include "platform/base/Mutex.h"
#include "platform/base/NSData.h"
#include "platform/base/NSError.h"
#include "platform/base/NSLog.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSNotification.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/dispatch/NSThread.h"
#include "platform/testing/LoopbackServer.h"
#include "ui/images/RIWebImageDownloader.h"

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

    mutable dv::Mutex mutex;
    std::vector<Call> calls DV_GUARDED_BY(mutex);
    std::vector<std::pair<NSInteger, NSInteger>> progress DV_GUARDED_BY(mutex);
    bool progressOffMain DV_GUARDED_BY(mutex) = false;

    static std::shared_ptr<Recorder> make() { return std::make_shared<Recorder>(); }

    static RIWebImageDownloaderCompletedBlock completed(const std::shared_ptr<Recorder>& r)
    {
        return [r](const Ref<UIImage>& image, const Ref<NSData>& data, const Ref<NSError>& error, bool finished) {
            dv::MutexLocker lock(r->mutex);
            r->calls.push_back({image, data, error, finished, dv::isMainThread()});
        };
    }
    static RIWebImageDownloaderProgressBlock progressBlock(const std::shared_ptr<Recorder>& r)
    {
        return [r](NSInteger received, NSInteger expected) {
            dv::MutexLocker lock(r->mutex);
            r->progress.emplace_back(received, expected);
            r->progressOffMain |= !dv::isMainThread();
        };
    }

    int finals() const
    {
        dv::MutexLocker lock(mutex);
        int n = 0;
        for (auto& call : calls)
            n += call.finished;
        return n;
    }
    int partials() const
    {
        dv::MutexLocker lock(mutex);
        return int(calls.size()) - finalsLocked();
    }
    Call last() const
    {
        dv::MutexLocker lock(mutex);
        return calls.empty() ? Call {} : calls.back();
    }
    std::vector<Call> all() const
    {
        dv::MutexLocker lock(mutex);
        return calls;
    }

private:
    int finalsLocked() const DV_REQUIRES(mutex)
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
            dv::MutexLocker lock(m_mutex);
            m_open = true;
        }
        m_changed.notifyAll();
    }
    void pass()
    {
        dv::MutexLocker lock(m_mutex);
        ++m_waiting;
        ++m_arrived;
        m_most = std::max(m_most, m_waiting);
        m_changed.notifyAll();
        m_changed.wait(lock, [&]() DV_REQUIRES(m_mutex) { return m_open; });
        --m_waiting;
    }
    int waiting() const
    {
        dv::MutexLocker lock(m_mutex);
        return m_waiting;
    }
    int arrived() const
    {
        dv::MutexLocker lock(m_mutex);
        return m_arrived;
    }
    int most() const
    {
        dv::MutexLocker lock(m_mutex);
        return m_most;
    }

private:
    mutable dv::Mutex m_mutex;
    dv::ConditionVariable m_changed;
    bool m_open DV_GUARDED_BY(m_mutex) = false;
    int m_waiting DV_GUARDED_BY(m_mutex) = 0;
    int m_arrived DV_GUARDED_BY(m_mutex) = 0;
    int m_most DV_GUARDED_BY(m_mutex) = 0;
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
                    dv::MutexLocker lock(m_notesMutex);
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
            dv::MutexLocker lock(m_tokensMutex);
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
            dv::MutexLocker lock(m_tokensMutex);
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
        dv::MutexLocker lock(m_tokensMutex);
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
        dv::MutexLocker lock(m_notesMutex);
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
    dv::Mutex m_notesMutex;
    std::vector<std::pair<std::string, const NSObject*>> m_notes DV_GUARDED_BY(m_notesMutex);
    dv::Mutex m_tokensMutex;
    std::vector<Ref<RIWebImageDownloadToken>> m_tokens DV_GUARDED_BY(m_tokensMutex);
};

} // namespace dv::test
