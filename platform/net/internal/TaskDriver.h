// The machinery behind one URL session task: starts its transfers on the transport, turns what
// the transport reports into the delegate's calls (or the completion handler's), and ends the
// task exactly once. The jobs around it have units of their own: the event queue and its pump
// (TaskEventPump), the request body (RequestBody), the URL cache (ResponseCaching), cookies
// (TaskCookies), redirects (RedirectPolicy), authentication (HTTPAuthentication), server trust
// (ServerTrustDecision) and download files (DownloadFile, DownloadResume). The conversations
// with the delegate about trust, body streams, redirects and authentication are in
// TaskDriverChallenges.cpp.
//
// Ownership: the task owns the driver; the driver holds the task weakly and its session strongly
// only while the task runs. Threads: resume, suspend and cancel come from any thread; the
// transport reports on its own thread; everything else runs on the session's delegate queue, one
// event at a time. Each field below says which lock or thread owns it.
#pragma once

#include "platform/base/Forward.h"
#include "platform/base/Mutex.h"
#include "platform/net/NSURLSession.h"
#include "platform/net/internal/DownloadFile.h"
#include "platform/net/internal/DownloadResume.h"
#include "platform/net/internal/HTTPAuthentication.h"
#include "platform/net/internal/RedirectPolicy.h"
#include "platform/net/internal/ResponseCaching.h"
#include "platform/net/internal/ServerTrustDecision.h"
#include "platform/net/internal/TaskEventPump.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class NSHTTPURLResponse;
class NSMutableData;

namespace dv::internal::net {

class RequestBody;

class TaskDriver : public std::enable_shared_from_this<TaskDriver> {
public:
    enum class Kind { Data, Upload, StreamedUpload, Download };
    using ResumeDataHandler = std::function<void(const Ref<NSData>&)>;

    explicit TaskDriver(Kind kind);
    ~TaskDriver();

    // Set up by the session's task factory, before the task is handed out.
    void attach(const Ref<NSURLSessionTask>& task, const Ref<NSURLSession>& session);
    void setDataCompletion(NSURLSession::DataCompletion completion) { m_dataCompletion = std::move(completion); }
    void setDownloadCompletion(NSURLSession::DownloadCompletion completion) { m_downloadCompletion = std::move(completion); }
    void setUploadData(const Ref<NSData>& data);
    void setUploadFile(const Ref<NSURL>& fileURL);
    // Resume data made by a download task; data that cannot be used fails the task when it starts.
    void setResumeData(const Ref<NSData>& data);

    // `running` is called once the task is running and has told its "state" observers, before its
    // transfer starts or goes on, so that it comes before any delegate call the resume leads to
    // (not called when the resume changes nothing).
    void resume(const std::function<void()>& running = {}) DV_EXCLUDES(m_mutex);
    void suspend() DV_EXCLUDES(m_mutex);
    // `resumeData` set: the cancel of cancelByProducingResumeData.
    void cancel(ResumeDataHandler resumeData) DV_EXCLUDES(m_mutex);

private:
    enum class Phase { Final, Redirect, Authenticate };

    void handle(TaskEvent& event) DV_EXCLUDES(m_mutex);
    // The session while the task runs (nil before and after).
    Ref<NSURLSession> session() const DV_EXCLUDES(m_mutex);

    // Ends the task with `code` (cancellation, resource time-out); `resumeData` as for cancel.
    void stop(NSInteger code, ResumeDataHandler resumeData) DV_EXCLUDES(m_mutex);
    void startResourceTimer(const Ref<NSURLSession>& session) DV_EXCLUDES(m_mutex);
    void stopResourceTimer() DV_EXCLUDES(m_mutex);
    void start();
    bool serveFromCache(const Ref<NSURLRequest>& request);
    void startTransfer(const Ref<NSURLRequest>& request) DV_EXCLUDES(m_mutex);
    TransportRequest transportRequest(const Ref<NSURLRequest>& request, const Ref<NSURLSession>& session);
    void releaseSlot() DV_EXCLUDES(m_mutex);
    void failLater(const Ref<NSError>& error);

    void handleTrust(TaskEvent& event);
    void handleBodyStream() DV_EXCLUDES(m_mutex);
    void handleSent(TaskEvent& event);
    void handleResponse(TaskEvent& event);
    void deliverResponse(const Ref<NSURLResponse>& response);
    void handleData(TaskEvent& event) DV_EXCLUDES(m_mutex);
    void deliverData(const std::string& bytes);
    void handleComplete(TaskEvent& event) DV_EXCLUDES(m_mutex);
    void handleRedirect();
    void followRedirect(const Ref<NSURLRequest>& request);
    void handleAuthentication();
    void deliverHeldResponseAsFinal();
    void finishSuccessfully();
    void finish(const Ref<NSError>& error) DV_EXCLUDES(m_mutex);

    // A completion handler for a delegate: its first call runs `then` (with the answer) on the
    // delegate queue before anything else queued meanwhile, and lets the pump go on; later calls
    // are ignored.
    template <class... Args, class Then>
    std::function<void(Args...)> answerOnce(Then then)
    {
        auto self = shared_from_this();
        auto once = std::make_shared<std::atomic<bool>>(false);
        return [self, once, then = std::move(then)](Args... args) {
            if (once->exchange(true))
                return;
            self->m_pump.post({ .type = TaskEvent::Type::Invoke, .invoke = [then, ... answer = std::decay_t<Args>(args)] { then(answer...); } },
                TaskEventPump::Position::Front);
            self->m_pump.delegateAnswered();
        };
    }

    // Set while the task is made, read only afterwards.
    const Kind m_kind;
    Weak<NSURLSessionTask> m_task;
    Weak<NSURLSession> m_weakSession;
    Ref<NSOperationQueue> m_queue;
    const std::shared_ptr<RequestBody> m_body; // thread-safe where it must be (RequestBody.h)
    TaskEventPump m_pump;                      // thread-safe

    // Lifecycle, shared by the threads that control the task, the transport's launch of a
    // transfer and the delegate queue.
    mutable dv::Mutex m_mutex;
    Ref<NSURLSession> m_session DV_GUARDED_BY(m_mutex); // held while the task runs
    bool m_started DV_GUARDED_BY(m_mutex) = false;
    bool m_suspended DV_GUARDED_BY(m_mutex) = true;
    bool m_cancelled DV_GUARDED_BY(m_mutex) = false;
    bool m_finished DV_GUARDED_BY(m_mutex) = false;
    ResumeDataHandler m_resumeDataHandler DV_GUARDED_BY(m_mutex);
    std::shared_ptr<Transfer> m_transfer DV_GUARDED_BY(m_mutex);
    std::uint64_t m_transferSerial DV_GUARDED_BY(m_mutex) = 0;
    std::string m_slotHost DV_GUARDED_BY(m_mutex); // the host whose connection slot the running transfer holds
    std::uint64_t m_resourceTimer DV_GUARDED_BY(m_mutex) = 0; // the DeadlineWatcher token of the resource time-out

    // The delegate queue's. The task's first transfer is started on the thread that resumes it,
    // while the pump is held: no event of the task runs meanwhile, so the two never overlap.
    NSURLSession::DataCompletion m_dataCompletion;
    NSURLSession::DownloadCompletion m_downloadCompletion;
    Phase m_phase = Phase::Final;
    Ref<NSHTTPURLResponse> m_heldResponse; // a redirect or refusal, delivered if it ends up final
    std::string m_heldBody;
    Ref<NSMutableData> m_completionData;
    RedirectPolicy m_redirects;
    HTTPAuthentication m_authentication;
    ServerTrustDecision m_trust;
    ResponseCaching m_caching;
    DownloadFile m_download;
    DownloadResume m_resume;
};

// Set by tests through the reachability stand-in: while true every new load fails with
// NSURLErrorNotConnectedToInternet.
bool networkSimulatedOffline();
void setNetworkSimulatedOffline(bool offline);

} // namespace dv::internal::net
