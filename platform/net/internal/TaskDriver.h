// The machinery behind one URL session task: starts transfers on the transport, follows
// redirects, answers authentication and trust through the delegate, writes downloads to a file,
// consults the URL cache, and delivers every callback on the session's delegate queue in order.
// (The conversations with the delegate about trust, body streams, redirects and authentication
// are in TaskDriverChallenges.cpp.)
//
// Events from the transport thread are queued per task and run by a pump on the delegate queue,
// one at a time; while a delegate holds a completion handler the pump waits for its answer. The
// task owns the driver; the driver holds the task weakly and its session strongly only while the
// task runs.
#pragma once

#include "platform/base/Forward.h"
#include "platform/net/NSURLSession.h"
#include "platform/net/internal/CurlTransport.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

class NSCachedURLResponse;
class NSHTTPURLResponse;
class NSInputStream;
class NSMutableData;
class SecTrust;

namespace dv::internal {

class TaskDriver : public std::enable_shared_from_this<TaskDriver> {
public:
    enum class Kind { Data, Upload, StreamedUpload, Download };
    enum class BodySource { None, Data, File, Stream };

    TaskDriver(Kind kind);
    ~TaskDriver();

    void attach(const Ref<NSURLSessionTask>& task, const Ref<NSURLSession>& session);
    void setDataCompletion(NSURLSession::DataCompletion completion) { m_dataCompletion = std::move(completion); }
    void setDownloadCompletion(NSURLSession::DownloadCompletion completion) { m_downloadCompletion = std::move(completion); }
    void setUploadData(const Ref<NSData>& data);
    void setUploadFile(const Ref<NSURL>& fileURL);
    // Resume data made by a download task; false when it cannot be used.
    bool setResumeData(const Ref<NSData>& data);

    // `running` is called once the task is running and has told its "state" observers, before its
    // transfer starts or goes on, so that it comes before any delegate call the resume leads to
    // (not called when the resume changes nothing).
    void resume(const std::function<void()>& running = {});
    void suspend();
    // `resumeData` set: the cancel of cancelByProducingResumeData.
    void cancel(std::function<void(const Ref<NSData>&)> resumeData);

private:
    struct Event {
        enum class Type { Trust, BodyStream, Sent, Response, Data, Complete, Invoke } type = Type::Invoke;
        TrustQuestion trust {};
        std::shared_ptr<TrustReply> trustReply {};
        std::int64_t sent = 0, totalSent = 0, expectedToSend = 0;
        TransportResponse response {};
        Ref<NSURLResponse> cachedResponse {}; // a response served from the cache
        std::string data {};
        TransportFailure failure {};
        NSInteger errorCode = 0; // a failure decided here rather than by the transport
        std::function<void()> invoke {};
        std::uint64_t transfer = 0; // which transfer the event belongs to (0: none)
    };

    void post(Event event, bool front = false);
    void schedulePump();
    void pump();
    void waitForDelegate();
    void delegateAnswered();
    void handle(Event& event);

    // Ends the task with `code` (cancellation, resource time-out); `resumeData` as for cancel.
    void stop(NSInteger code, std::function<void(const Ref<NSData>&)> resumeData);
    void startResourceTimer();
    void stopResourceTimer();
    void start();
    void startTransfer(const Ref<NSURLRequest>& request);
    bool serveFromCache(const Ref<NSURLRequest>& request);
    TransportRequest transportRequest(const Ref<NSURLRequest>& request);
    long readBody(char* buffer, std::size_t capacity);
    void releaseSlot();

    void handleTrust(Event& event);
    void handleBodyStream();
    void handleSent(Event& event);
    void handleResponse(Event& event);
    void deliverResponse(const Ref<NSURLResponse>& response);
    void handleData(Event& event);
    void deliverData(const std::string& bytes);
    void handleComplete(Event& event);
    void handleRedirect();
    void followRedirect(const Ref<NSURLRequest>& request);
    void handleAuthentication();
    void deliverHeldResponseAsFinal();
    void finishSuccessfully();
    void finish(const Ref<NSError>& error);
    void storeInCache(const Ref<NSCachedURLResponse>& cached);
    Ref<NSData> makeResumeData();
    void closeFile();

    bool defaultTrustDecision(const Ref<SecTrust>& trust, const std::string& host);

    const Kind m_kind;
    Weak<NSURLSessionTask> m_task;
    Weak<NSURLSession> m_weakSession;
    Ref<NSURLSession> m_session; // held while the task runs
    Ref<NSOperationQueue> m_queue;

    NSURLSession::DataCompletion m_dataCompletion;
    NSURLSession::DownloadCompletion m_downloadCompletion;
    BodySource m_bodySource = BodySource::None;
    Ref<NSData> m_uploadData;
    std::string m_uploadFile;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Event> m_events;
    bool m_pumpScheduled = false;
    bool m_waiting = false;
    bool m_started = false;
    bool m_suspended = true;
    bool m_cancelled = false;
    bool m_finished = false;
    std::function<void(const Ref<NSData>&)> m_resumeDataHandler;
    std::shared_ptr<Transfer> m_transfer;
    std::uint64_t m_transferSerial = 0;
    std::string m_slotHost; // the host whose connection slot the running transfer holds
    std::uint64_t m_resourceTimer = 0; // the DeadlineWatcher token of the resource time-out

    // Body stream handed over from the delegate queue to the transport thread.
    Ref<NSInputStream> m_bodyStream;
    bool m_bodyStreamAsked = false;
    bool m_bodyStreamAnswered = false;
    std::FILE* m_uploadHandle = nullptr;

    // Delegate-queue state of the current transfer.
    enum class Phase { Final, Redirect, Authenticate } m_phase = Phase::Final;
    bool m_forceFinal = false;
    Ref<NSHTTPURLResponse> m_heldResponse;
    std::string m_heldBody;
    int m_redirects = 0;
    int m_authAttempts = 0;
    NSInteger m_trustFailureCode = 0;
    Ref<SecTrust> m_failedTrust;
    bool m_responseDelivered = false;
    bool m_fromCache = false;
    Ref<NSMutableData> m_completionData;
    std::string m_cacheBody;
    bool m_cacheable = false;

    // Downloads.
    std::string m_filePath;
    std::FILE* m_file = nullptr;
    std::int64_t m_written = 0;
    std::int64_t m_resumeOffset = 0;
    std::string m_resumeValidator;
    std::string m_validator;
    bool m_acceptsRanges = false;
    bool m_resumeDataInvalid = false;
};

// Set by tests through the reachability stand-in: while true every new load fails with
// NSURLErrorNotConnectedToInternet.
bool networkSimulatedOffline();
void setNetworkSimulatedOffline(bool offline);

} // namespace dv::internal
