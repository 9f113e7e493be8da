// Shared pieces of the URL session tests: a delegate that records every callback in order and
// answers as a test scripts it, and a fixture with a loopback server, a private DOVRELTA_HOME and
// a session that is invalidated (and its delegate released) at the end of each test.
#pragma once

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSData.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLProtectionSpace.h"
#include "platform/net/NSURLSession.h"
#include "platform/testing/LoopbackServer.h"
#include "platform/testing/support/RunLoopWaits.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace nettest {

// Records callbacks as short names ("response", "data", "complete", ...).
class RecordingDelegate : public NSObject, public NSURLSessionDataDelegate, public NSURLSessionDownloadDelegate {
    DV_CLASS(RecordingDelegate, NSObject)

    // What the callbacks recorded. A test reads a copy (recorded()) once the callbacks it waits
    // for have run, or the record itself with the mutex held.
    struct Record {
        std::vector<std::string> calls;
        std::string body;
        Ref<NSURLResponse> response;
        Ref<NSError> error;
        int completions = 0;
        bool invalidated = false;
        std::vector<Ref<NSURLAuthenticationChallenge>> challenges;
        std::vector<Ref<NSURLRequest>> redirects;
        std::vector<std::int64_t> sentTotals;
        std::vector<std::int64_t> writtenTotals;
        std::int64_t expectedToWrite = 0;
        std::optional<std::pair<std::int64_t, std::int64_t>> resumedAt;
        std::string downloadedContent;
        std::string downloadedPath;
        bool downloadExistedDuringCallback = false;
        std::int64_t receivedCounterAtData = -1;
    };
    dv::Mutex mutex;
    Record record DV_GUARDED_BY(mutex);

    // Scripted answers; unset means "not implemented".
    std::function<void(const Ref<NSURLAuthenticationChallenge>&, NSURLSessionChallengeCompletion)> onSessionChallenge;
    std::function<void(const Ref<NSURLAuthenticationChallenge>&, NSURLSessionChallengeCompletion)> onTaskChallenge;
    std::function<void(const Ref<NSURLRequest>&, std::function<void(const Ref<NSURLRequest>&)>)> onRedirect;
    std::function<void(const Ref<NSURLResponse>&, std::function<void(NSURLSessionResponseDisposition)>)> onResponse;
    std::function<void(const Ref<NSCachedURLResponse>&, std::function<void(const Ref<NSCachedURLResponse>&)>)> onWillCache;
    std::function<void(std::function<void(const Ref<NSInputStream>&)>)> onNeedBodyStream;

    Record recorded() DV_EXCLUDES(mutex)
    {
        dv::MutexLocker lock(mutex);
        return record;
    }
    // Before another task: the completions counted so far and their error are forgotten.
    void forgetCompletions() DV_EXCLUDES(mutex)
    {
        dv::MutexLocker lock(mutex);
        record.completions = 0;
        record.error = nullptr;
    }
    void note(const std::string& call) DV_EXCLUDES(mutex)
    {
        dv::MutexLocker lock(mutex);
        record.calls.push_back(call);
    }
    std::vector<std::string> callList() DV_EXCLUDES(mutex)
    {
        dv::MutexLocker lock(mutex);
        return record.calls;
    }
    // Calls with consecutive repeats ("data", "data") folded into one.
    std::vector<std::string> callOrder() DV_EXCLUDES(mutex)
    {
        dv::MutexLocker lock(mutex);
        std::vector<std::string> out;
        for (auto& c : record.calls) {
            if (out.empty() || out.back() != c)
                out.push_back(c);
        }
        return out;
    }
    bool waitComplete(double limit = 10) DV_EXCLUDES(mutex)
    {
        return dv::testing::runMainLoopUntil([this] { dv::MutexLocker lock(mutex); return record.completions > 0; }, limit);
    }

    bool URLSession(const Ref<NSURLSession>&, const Ref<NSError>&) override
    {
        dv::MutexLocker lock(mutex);
        record.calls.push_back("invalid");
        record.invalidated = true;
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLAuthenticationChallenge>& challenge, NSURLSessionChallengeCompletion done) override
    {
        if (!onSessionChallenge)
            return false;
        note("session-challenge");
        { dv::MutexLocker lock(mutex); record.challenges.push_back(challenge); }
        onSessionChallenge(challenge, std::move(done));
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&, const Ref<NSHTTPURLResponse>&, const Ref<NSURLRequest>& request,
        std::function<void(const Ref<NSURLRequest>&)> done) override
    {
        if (!onRedirect)
            return false;
        note("redirect");
        { dv::MutexLocker lock(mutex); record.redirects.push_back(request); }
        onRedirect(request, std::move(done));
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&, const Ref<NSURLAuthenticationChallenge>& challenge,
        NSURLSessionChallengeCompletion done) override
    {
        if (!onTaskChallenge)
            return false;
        note("task-challenge");
        { dv::MutexLocker lock(mutex); record.challenges.push_back(challenge); }
        onTaskChallenge(challenge, std::move(done));
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&, std::function<void(const Ref<NSInputStream>&)> done) override
    {
        if (!onNeedBodyStream)
            return false;
        note("body-stream");
        onNeedBodyStream(std::move(done));
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&, std::int64_t, std::int64_t total, std::int64_t) override
    {
        note("sent");
        dv::MutexLocker lock(mutex);
        record.sentTotals.push_back(total);
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&, const Ref<NSError>& e) override
    {
        note("complete");
        dv::MutexLocker lock(mutex);
        record.error = e;
        ++record.completions;
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>&, const Ref<NSURLResponse>& r,
        std::function<void(NSURLSessionResponseDisposition)> done) override
    {
        note("response");
        { dv::MutexLocker lock(mutex); record.response = r; }
        if (onResponse)
            onResponse(r, std::move(done));
        else
            done(NSURLSessionResponseAllow);
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>& task, const Ref<NSData>& data) override
    {
        note("data");
        dv::MutexLocker lock(mutex);
        record.body += std::string(data->view());
        record.receivedCounterAtData = task->countOfBytesReceived();
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>&, const Ref<NSCachedURLResponse>& proposed,
        std::function<void(const Ref<NSCachedURLResponse>&)> done) override
    {
        note("will-cache");
        if (onWillCache)
            onWillCache(proposed, std::move(done));
        else
            done(proposed);
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDownloadTask>&, const Ref<NSURL>& location) override
    {
        note("finished-download");
        dv::MutexLocker lock(mutex);
        record.downloadedPath = location->path()->utf8();
        record.downloadExistedDuringCallback = std::filesystem::exists(record.downloadedPath);
        std::ifstream in(record.downloadedPath, std::ios::binary);
        record.downloadedContent.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDownloadTask>& task, std::int64_t, std::int64_t total, std::int64_t expected) override
    {
        note("wrote");
        dv::MutexLocker lock(mutex);
        record.writtenTotals.push_back(total);
        record.expectedToWrite = expected;
        record.response = task->response();
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDownloadTask>&, std::int64_t offset, std::int64_t expected) override
    {
        note("resumed");
        dv::MutexLocker lock(mutex);
        record.resumedAt = std::make_pair(offset, expected);
        return true;
    }
};

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/dvnet-XXXXXX";
        m_home = mkdtemp(pattern);
        const char* previous = std::getenv("DOVRELTA_HOME");
        if (previous)
            m_previousHome = previous;
        setenv("DOVRELTA_HOME", m_home.c_str(), 1);
        delegate = alloc<RecordingDelegate>();
        configuration = NSURLSessionConfiguration::ephemeralSessionConfiguration();
    }

    void TearDown() override
    {
        if (session) {
            session->invalidateAndCancel();
            EXPECT_TRUE(dv::testing::runMainLoopUntil([this] { dv::MutexLocker lock(delegate->mutex); return delegate->record.invalidated; }, 10));
            Weak<RecordingDelegate> weak = delegate;
            Weak<NSURLSession> weakSession = session;
            delegate = nullptr;
            session = nullptr;
            // The session lets its delegate go once invalidated, and is itself gone soon after
            // (closing its connections before the server stops).
            EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return weak.expired(); }, 10));
            EXPECT_TRUE(dv::testing::runMainLoopUntil([&] { return weakSession.expired(); }, 10));
        }
        if (m_previousHome.empty())
            unsetenv("DOVRELTA_HOME");
        else
            setenv("DOVRELTA_HOME", m_previousHome.c_str(), 1);
        std::error_code ignored;
        std::filesystem::remove_all(m_home, ignored);
    }

    Ref<NSURLSession> makeSession()
    {
        session = NSURLSession::sessionWithConfiguration(configuration, delegate, nil);
        return session;
    }

    Ref<NSURL> url(const std::string& path) { return NSURL::URLWithString(NSString::fromUTF8(server.url(path))); }

    Ref<NSMutableURLRequest> request(const std::string& path)
    {
        return NSMutableURLRequest::requestWithURL(url(path));
    }

    dv::testing::LoopbackServer server;
    Ref<RecordingDelegate> delegate;
    Ref<NSURLSessionConfiguration> configuration;
    Ref<NSURLSession> session;
    std::string m_home;
    std::string m_previousHome;
};

} // namespace nettest
