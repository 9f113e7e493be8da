// The delegate a session manager gives its URL session. The session keeps its delegate until it
// is invalidated, and the application never invalidates its managers; so the session holds this
// small object instead, which holds the manager weakly and strongly only while the manager has
// registered tasks. Every callback is passed on to the manager, kept alive for the call. When
// the manager is gone the callbacks answer "not handled" and the session goes its default way.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"
#include "platform/net/NSURLSessionDelegate.h"

class PNURLSessionManager;

namespace dv::internal::http {

class SessionManagerDelegateForwarder : public NSObject, public NSURLSessionDataDelegate, public NSURLSessionDownloadDelegate {
    DV_CLASS(SessionManagerDelegateForwarder, NSObject)

    SessionManagerDelegateForwarder() = default;
    Ref<SessionManagerDelegateForwarder> initWithManager(const Ref<PNURLSessionManager>& manager);

    // Called by the manager under its table lock as the table fills and empties. Dropping the
    // last strong link never frees the manager there: the caller still holds it.
    void keepManagerAlive(bool keep);

    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSError>& error) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLAuthenticationChallenge>& challenge,
        NSURLSessionChallengeCompletion completionHandler) override;
    bool URLSessionDidFinishEventsForBackgroundURLSession(const Ref<NSURLSession>& session) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, const Ref<NSHTTPURLResponse>& response,
        const Ref<NSURLRequest>& request, std::function<void(const Ref<NSURLRequest>&)> completionHandler) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, const Ref<NSURLAuthenticationChallenge>& challenge,
        NSURLSessionChallengeCompletion completionHandler) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task,
        std::function<void(const Ref<NSInputStream>&)> completionHandler) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, std::int64_t bytesSent, std::int64_t totalBytesSent,
        std::int64_t totalBytesExpectedToSend) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, const Ref<NSError>& error) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask, const Ref<NSURLResponse>& response,
        std::function<void(NSURLSessionResponseDisposition)> completionHandler) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask,
        const Ref<NSURLSessionDownloadTask>& downloadTask) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask, const Ref<NSData>& data) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask, const Ref<NSCachedURLResponse>& proposedResponse,
        std::function<void(const Ref<NSCachedURLResponse>&)> completionHandler) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask, const Ref<NSURL>& location) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask, std::int64_t bytesWritten,
        std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite) override;
    bool URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask, std::int64_t fileOffset,
        std::int64_t expectedTotalBytes) override;

private:
    Ref<PNURLSessionManager> manager() const;

    mutable dv::Mutex m_mutex;
    Weak<PNURLSessionManager> m_manager DV_GUARDED_BY(m_mutex);
    Ref<PNURLSessionManager> m_keepAlive DV_GUARDED_BY(m_mutex);
};

} // namespace dv::internal::http
