#include "foundation/http/internal/SessionManagerDelegateForwarder.h"

#include "foundation/http/PNURLSessionManager.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"

namespace dv::internal::http {

DV_DEFINE_CLASS(SessionManagerDelegateForwarder)

Ref<SessionManagerDelegateForwarder> SessionManagerDelegateForwarder::initWithManager(const Ref<PNURLSessionManager>& manager)
{
    dv::MutexLocker lock(m_mutex);
    m_manager = manager;
    return self<SessionManagerDelegateForwarder>();
}

void SessionManagerDelegateForwarder::keepManagerAlive(bool keep)
{
    Ref<PNURLSessionManager> released;
    dv::MutexLocker lock(m_mutex);
    if (keep)
        m_keepAlive = m_manager.lock();
    else
        released = std::exchange(m_keepAlive, nullptr);
}

Ref<PNURLSessionManager> SessionManagerDelegateForwarder::manager() const
{
    dv::MutexLocker lock(m_mutex);
    return m_manager.lock();
}

// Each callback keeps the manager in a local for the length of the call.
#define DV_FORWARD(...)                  \
    auto target = manager();             \
    if (!target)                         \
        return false;                    \
    return target->URLSession(__VA_ARGS__)

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSError>& error)
{
    DV_FORWARD(session, error);
}

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLAuthenticationChallenge>& challenge,
    NSURLSessionChallengeCompletion completionHandler)
{
    DV_FORWARD(session, challenge, std::move(completionHandler));
}

bool SessionManagerDelegateForwarder::URLSessionDidFinishEventsForBackgroundURLSession(const Ref<NSURLSession>& session)
{
    auto target = manager();
    return target && target->URLSessionDidFinishEventsForBackgroundURLSession(session);
}

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task,
    const Ref<NSHTTPURLResponse>& response, const Ref<NSURLRequest>& request, std::function<void(const Ref<NSURLRequest>&)> completionHandler)
{
    DV_FORWARD(session, task, response, request, std::move(completionHandler));
}

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task,
    const Ref<NSURLAuthenticationChallenge>& challenge, NSURLSessionChallengeCompletion completionHandler)
{
    DV_FORWARD(session, task, challenge, std::move(completionHandler));
}

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task,
    std::function<void(const Ref<NSInputStream>&)> completionHandler)
{
    DV_FORWARD(session, task, std::move(completionHandler));
}

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, std::int64_t bytesSent,
    std::int64_t totalBytesSent, std::int64_t totalBytesExpectedToSend)
{
    DV_FORWARD(session, task, bytesSent, totalBytesSent, totalBytesExpectedToSend);
}

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionTask>& task, const Ref<NSError>& error)
{
    DV_FORWARD(session, task, error);
}

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask,
    const Ref<NSURLResponse>& response, std::function<void(NSURLSessionResponseDisposition)> completionHandler)
{
    DV_FORWARD(session, dataTask, response, std::move(completionHandler));
}

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask,
    const Ref<NSURLSessionDownloadTask>& downloadTask)
{
    DV_FORWARD(session, dataTask, downloadTask);
}

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask,
    const Ref<NSData>& data)
{
    DV_FORWARD(session, dataTask, data);
}

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDataTask>& dataTask,
    const Ref<NSCachedURLResponse>& proposedResponse, std::function<void(const Ref<NSCachedURLResponse>&)> completionHandler)
{
    DV_FORWARD(session, dataTask, proposedResponse, std::move(completionHandler));
}

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask,
    const Ref<NSURL>& location)
{
    DV_FORWARD(session, downloadTask, location);
}

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask,
    std::int64_t bytesWritten, std::int64_t totalBytesWritten, std::int64_t totalBytesExpectedToWrite)
{
    DV_FORWARD(session, downloadTask, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
}

bool SessionManagerDelegateForwarder::URLSession(const Ref<NSURLSession>& session, const Ref<NSURLSessionDownloadTask>& downloadTask,
    std::int64_t fileOffset, std::int64_t expectedTotalBytes)
{
    DV_FORWARD(session, downloadTask, fileOffset, expectedTotalBytes);
}

#undef DV_FORWARD

} // namespace dv::internal::http
