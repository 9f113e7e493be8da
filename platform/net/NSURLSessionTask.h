// One load in a URL session. Tasks are made suspended by the session's factories; resume starts
// them. The byte counters are observable properties (countOfBytesReceived, ...) that change on
// the delegate queue just before the callback that reports the same bytes. state goes
// suspended → running → (canceling) → completed; a completed task ignores resume, suspend and
// cancel. state is observable too: observers hear of every change, on the thread that made it.
// The session keeps a task until it completes; the task keeps its session weakly.
//
//   auto task = session->dataTaskWithRequest(request);
//   task->resume();
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"
#include "platform/dispatch/Observable.h"

#include <atomic>
#include <functional>
#include <memory>

class NSURLRequest;
class NSURLResponse;
class NSURLSession;

namespace dv::internal::net {
class TaskDriver;
}

enum NSURLSessionTaskState : NSInteger {
    NSURLSessionTaskStateRunning = 0,
    NSURLSessionTaskStateSuspended = 1,
    NSURLSessionTaskStateCanceling = 2,
    NSURLSessionTaskStateCompleted = 3,
};

inline constexpr std::int64_t NSURLSessionTransferSizeUnknown = -1;
extern const float NSURLSessionTaskPriorityDefault;
extern const float NSURLSessionTaskPriorityLow;
extern const float NSURLSessionTaskPriorityHigh;

class NSURLSessionTask : public NSObject, public NSCopying, public dv::Observable {
    DV_CLASS(NSURLSessionTask, NSObject)

    NSURLSessionTask() = default;
    ~NSURLSessionTask() override;

    NSUInteger taskIdentifier() const { return m_identifier; }
    Ref<NSURLRequest> originalRequest() const { return m_originalRequest; }
    Ref<NSURLRequest> currentRequest() const;
    Ref<NSURLResponse> response() const;
    Ref<NSString> taskDescription() const;
    void setTaskDescription(const Ref<NSString>& description);
    NSURLSessionTaskState state() const { return m_state.load(); }
    Ref<NSError> error() const;
    float priority() const { return m_priority.load(); }
    void setPriority(float priority) { m_priority = priority; }

    std::int64_t countOfBytesReceived() const { return m_received.load(); }
    std::int64_t countOfBytesSent() const { return m_sent.load(); }
    std::int64_t countOfBytesExpectedToSend() const { return m_expectedToSend.load(); }
    std::int64_t countOfBytesExpectedToReceive() const { return m_expectedToReceive.load(); }

    virtual void resume();
    virtual void suspend();
    virtual void cancel();

    // Calls made after every resume and suspend, on the calling thread, with the state the task
    // had before the call. Categories that must learn of every resume and suspend install one.
    // A resume that starts the task (or lets it go on) makes them as soon as the task is running,
    // before its transfer starts: they come before any delegate call of the task, and before its
    // end, however long the calling thread then waits.
    enum class StateCall { Resume, Suspend };
    using StateHook = std::function<void(const Ref<NSURLSessionTask>& task, StateCall call, NSURLSessionTaskState before)>;
    static std::uint64_t addStateHook(StateHook hook);
    static void removeStateHook(std::uint64_t token);

    Ref<NSString> description() const override;
    id copyWithZone(NSZone* zone) const override;
    id observedValueForKeyPath(std::string_view keyPath) const override;

    // Used by the session's machinery.
    void setUp(NSUInteger identifier, const Ref<NSURLRequest>& request, const Ref<NSURLSession>& session,
        std::shared_ptr<dv::internal::net::TaskDriver> driver);
    dv::internal::net::TaskDriver* driver() const { return m_driver.get(); }
    // Changes the state and tells the observers of "state" at once.
    void setState(NSURLSessionTaskState state);
    // A change made under the machinery's own lock: stored there, and told with announceState once
    // the lock is let go, so that an observer may call back into the task (without the old value).
    void storeState(NSURLSessionTaskState state) { m_state = state; }
    void announceState() { didChangeValueForKey("state"); }
    void setCurrentRequest(const Ref<NSURLRequest>& request);
    void setResponse(const Ref<NSURLResponse>& response);
    void setError(const Ref<NSError>& error);
    void setCountOfBytesReceived(std::int64_t value);
    void setCountOfBytesSent(std::int64_t value);
    void setCountOfBytesExpectedToSend(std::int64_t value);
    void setCountOfBytesExpectedToReceive(std::int64_t value);
    Ref<NSURLSession> session() const { return m_session.lock(); }

private:
    void runStateHooks(StateCall call, NSURLSessionTaskState before);

    // Set by setUp while the task is made, read only afterwards.
    NSUInteger m_identifier = 0;
    Ref<NSURLRequest> m_originalRequest;
    Weak<NSURLSession> m_session;
    std::shared_ptr<dv::internal::net::TaskDriver> m_driver;

    mutable dv::Mutex m_mutex;
    Ref<NSURLRequest> m_currentRequest DV_GUARDED_BY(m_mutex);
    Ref<NSURLResponse> m_response DV_GUARDED_BY(m_mutex);
    Ref<NSString> m_description DV_GUARDED_BY(m_mutex);
    Ref<NSError> m_error DV_GUARDED_BY(m_mutex);
    std::atomic<NSURLSessionTaskState> m_state { NSURLSessionTaskStateSuspended };
    std::atomic<float> m_priority { 0.5f };
    std::atomic<std::int64_t> m_received { 0 };
    std::atomic<std::int64_t> m_sent { 0 };
    std::atomic<std::int64_t> m_expectedToSend { 0 };
    std::atomic<std::int64_t> m_expectedToReceive { 0 };
};

class NSURLSessionDataTask : public NSURLSessionTask {
    DV_CLASS(NSURLSessionDataTask, NSURLSessionTask)
};

class NSURLSessionUploadTask : public NSURLSessionDataTask {
    DV_CLASS(NSURLSessionUploadTask, NSURLSessionDataTask)
};

class NSURLSessionDownloadTask : public NSURLSessionTask {
    DV_CLASS(NSURLSessionDownloadTask, NSURLSessionTask)

    // Cancels the task; the handler gets data from which downloadTaskWithResumeData can go on, or
    // nil when the download cannot be resumed (no validator, no bytes yet, server without ranges).
    void cancelByProducingResumeData(std::function<void(const Ref<NSData>& resumeData)> completionHandler);
};
