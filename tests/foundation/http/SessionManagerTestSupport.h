// Shared set-up of the session manager tests: a loopback server, a record of which blocks ran
// where, and a bounded main-loop pump that also waits for the dispatch layer to settle, so that
// no test ends while a manager's blocks are still queued.
#pragma once

#include "HTTPTestSupport.h"

#include "foundation/http/PNHTTPSessionManager.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/net/NSURLSessionTask.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/support/RunLoopWaits.h"
#include "platform/testing/support/ServerSockets.h"

#include <atomic>
#include <string>
#include <vector>

namespace dv::test {

// What a verb's blocks saw. Every block must run exactly once overall, on the main thread.
struct Outcome {
    int successes = 0;
    int failures = 0;
    int offMainThread = 0;
    id object;
    Ref<NSError> error;
    Ref<NSURLSessionDataTask> task;

    PNHTTPSessionManager::SuccessBlock success()
    {
        return [this](const Ref<NSURLSessionDataTask>& t, const id& responseObject) {
            ++successes;
            if (!dv::isMainThread())
                ++offMainThread;
            task = t;
            object = responseObject;
        };
    }
    PNHTTPSessionManager::FailureBlock failure()
    {
        return [this](const Ref<NSURLSessionDataTask>& t, const Ref<NSError>& e) {
            ++failures;
            if (!dv::isMainThread())
                ++offMainThread;
            task = t;
            error = e;
        };
    }
    bool finished() const { return successes + failures > 0; }
    bool wait()
    {
        bool done = dv::testing::runMainLoopUntil([this] { return finished(); });
        // Give a wrongly repeated call the chance to show.
        dv::testing::runUntilIdle();
        return done;
    }
};

class SessionManagerTestFixture : public HTTPTestFixture {
protected:
    void TearDown() override
    {
        dv::testing::runUntilIdle();
        HTTPTestFixture::TearDown();
    }

    Ref<NSString> url(const std::string& path) const { return NSString::fromUTF8(server.url(path)); }

    static std::string deadURL(const std::string& path) { return dv::testing::refusedURL(path); }

    dv::testing::LoopbackServer server;
};

} // namespace dv::test
