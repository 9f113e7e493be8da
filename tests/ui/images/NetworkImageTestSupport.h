// Shared set-up of the network image downloader tests: a downloader of the test's own over a
// loopback server that serves picture number i at "/pic?i=<i>" (held behind a gate when the test
// asks), and a recorder of what the downloader's blocks hear. At the end every download has
// finished before the folder goes.
#pragma once

#include "WebImageTestSupport.h"

#include "foundation/http/PNURLSessionManager.h"
#include "platform/dispatch/NSNotificationCenter.h"
#include "platform/base/NSUUID.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSessionTask.h"
#include "ui/images/PNImageDownloadReceipt.h"
#include "ui/images/PNImageDownloader.h"
#include "ui/images/PNImageDownloaderMergedTask.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace dv::test {

// What the success and failure blocks heard, in order. The downloader calls them on the main
// queue, so no lock: onMainThread tells whether that held.
struct NetworkCalls {
    struct Call {
        std::string tag;
        Ref<NSURLRequest> request;
        Ref<NSHTTPURLResponse> response;
        Ref<UIImage> image;
        Ref<NSError> error;
        bool onMainThread = false;
    };
    std::vector<Call> successes;
    std::vector<Call> failures;
    std::vector<std::string> order; // tags of every call, successes and failures together

    PNImageDownloadSuccessBlock success(std::string tag = {})
    {
        return [this, tag](const Ref<NSURLRequest>& request, const Ref<NSHTTPURLResponse>& response, const Ref<UIImage>& image) {
            successes.push_back({tag, request, response, image, nil, dv::isMainThread()});
            order.push_back(tag);
        };
    }
    PNImageDownloadFailureBlock failure(std::string tag = {})
    {
        return [this, tag](const Ref<NSURLRequest>& request, const Ref<NSHTTPURLResponse>& response, const Ref<NSError>& error) {
            failures.push_back({tag, request, response, nil, error, dv::isMainThread()});
            order.push_back(tag);
        };
    }
    std::size_t total() const { return successes.size() + failures.size(); }
};

class NetworkImageTest : public ImagesTest {
protected:
    void SetUp() override
    {
        ImagesTest::SetUp();
        downloader = alloc<PNImageDownloader>()->init();
        servePictures();
        m_completionObserver = NSNotificationCenter::defaultCenter()->addObserverForName(PNTaskCompleteNotificationName, nil, nil,
            [this](const Ref<NSNotification>& notification) { m_completed.push_back(notification->object().get()); });
    }
    void TearDown() override
    {
        for (auto& gate : m_gates)
            gate->open();
        if (downloader) {
            EXPECT_TRUE(dv::testing::runMainLoopUntil([&] {
                return downloader->activeRequestCount() == 0 && downloader->mergedTasks().empty();
            }));
            EXPECT_TRUE(dv::testing::drainQueue(downloader->responseQueue()));
        }
        downloader = nil;
        dv::testing::runUntilIdle();
        NSNotificationCenter::defaultCenter()->removeObserver(m_completionObserver);
        ImagesTest::TearDown();
    }

    Ref<NSURL> url(const std::string& path) const { return NSURL::URLWithString(NSString::fromUTF8(server.url(path))); }
    Ref<NSURL> pictureURL(std::size_t index) const { return url("/pic?i=" + std::to_string(index)); }
    Ref<NSMutableURLRequest> pictureRequest(std::size_t index, NSURLRequestCachePolicy policy = NSURLRequestUseProtocolCachePolicy) const
    {
        return NSMutableURLRequest::requestWithURL(pictureURL(index), policy, 60);
    }

    // Serves picture i at "/pic?i=<i>"; behind a gate the test opens, when given.
    void servePictures(const std::shared_ptr<Gate>& gate = nullptr, std::vector<std::pair<std::string, std::string>> headers = {})
    {
        server.route("/pic", [gate, headers](const dv::testing::RecordedRequest& request) {
            if (gate)
                gate->pass();
            const std::size_t index = std::stoul(request.query.substr(request.query.find('=') + 1));
            auto data = colourPNG(colourOf(index));
            return dv::testing::ScriptedReply {.body = std::string(reinterpret_cast<const char*>(data->bytes()), data->length()),
                .contentType = "image/png", .headers = headers};
        });
    }
    std::shared_ptr<Gate> holdPictures()
    {
        auto gate = std::make_shared<Gate>();
        m_gates.push_back(gate);
        servePictures(gate);
        return gate;
    }
    // Until the downloader has processed the completion of the task (the session manager tells
    // of a completion on the main queue after its handler has handed it to the response queue).
    bool waitProcessed(const Ref<NSURLSessionTask>& task)
    {
        return waitFor([&] { return std::find(m_completed.begin(), m_completed.end(), task.get()) != m_completed.end(); })
            && dv::testing::drainQueue(downloader->responseQueue());
    }
    bool waitFor(const std::function<bool()>& condition) { return dv::testing::runMainLoopUntil(condition); }
    // A few turns of the main loop, for things that must not happen.
    static void turnLoop()
    {
        int turns = 0;
        dv::testing::runMainLoopUntil([&turns] { return ++turns > 5; });
    }
    std::vector<std::string> requestedQueries() const
    {
        std::vector<std::string> queries;
        for (auto& request : server.requests())
            queries.push_back(request.query);
        return queries;
    }

    dv::testing::LoopbackServer server;
    Ref<PNImageDownloader> downloader;

private:
    std::vector<std::shared_ptr<Gate>> m_gates;
    id m_completionObserver;
    std::vector<const NSObject*> m_completed; // main thread

};

} // namespace dv::test
