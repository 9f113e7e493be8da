// A URL load whose delegate is called on the run loop of the thread that started it: response,
// data, finish or failure, will-cache and authentication challenges (answered through the
// challenge's sender). While it runs, the connection keeps that run loop from returning for lack
// of work and keeps its delegate; both are let go when it finishes, fails or is cancelled. After
// cancel the delegate hears nothing more. Loads go through a URL session shared by all
// connections (default configuration: shared cookies and URL cache).
//
//   auto connection = alloc<NSURLConnection>()->initWithRequest(request, self(), false);
//   connection->start();
//   NSRunLoop::currentRunLoop()->run(); // the delegate stops it when done
//
// sendSynchronousRequest loads a request on the calling thread, which waits (runs nothing, not
// even its run loop) until the load ends: the body, or nil and the error. An HTTP status of any
// kind is a loaded body, not an error; the caller reads it from the response. The main thread
// uses sendAsynchronousRequest instead: the same load, its outcome handed to a queue.
#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/NSObject.h"

#include <atomic>
#include <deque>
#include <functional>
#include <optional>

class NSCachedURLResponse;
class NSOperationQueue;
class NSRunLoop;
class NSTimer;
class NSURLAuthenticationChallenge;
class NSURLConnection;
class NSURLRequest;
class NSURLResponse;
class NSURLSessionDataTask;

class NSURLConnectionDelegate {
public:
    virtual ~NSURLConnectionDelegate() = default;
    // connection:didFailWithError:
    virtual bool connection(const Ref<NSURLConnection>&, const Ref<NSError>&) { return false; }
    // connectionShouldUseCredentialStorage:
    virtual std::optional<bool> connectionShouldUseCredentialStorage(const Ref<NSURLConnection>&) { return std::nullopt; }
    // connection:willSendRequestForAuthenticationChallenge: (answer through challenge->sender())
    virtual bool connection(const Ref<NSURLConnection>&, const Ref<NSURLAuthenticationChallenge>&) { return false; }
};

class NSURLConnectionDataDelegate : public virtual NSURLConnectionDelegate {
public:
    // connection:didReceiveResponse:
    virtual bool connection(const Ref<NSURLConnection>&, const Ref<NSURLResponse>&) { return false; }
    // connection:didReceiveData:
    virtual bool connection(const Ref<NSURLConnection>&, const Ref<NSData>&) { return false; }
    virtual bool connectionDidFinishLoading(const Ref<NSURLConnection>&) { return false; }
    // connection:willCacheResponse: (nil stores nothing); nullopt: not implemented
    virtual std::optional<Ref<NSCachedURLResponse>> connection(const Ref<NSURLConnection>&, const Ref<NSCachedURLResponse>&) { return std::nullopt; }
    using NSURLConnectionDelegate::connection;
};

class NSURLConnection : public NSObject {
    DV_CLASS(NSURLConnection, NSObject)

    NSURLConnection() = default;
    ~NSURLConnection() override;
    // nil for a nil request. With startImmediately the load starts on the calling thread's loop.
    Ref<NSURLConnection> initWithRequest(const Ref<NSURLRequest>& request, const id& delegate, bool startImmediately);
    Ref<NSURLConnection> initWithRequest(const Ref<NSURLRequest>& request, const id& delegate);
    static Ref<NSURLConnection> connectionWithRequest(const Ref<NSURLRequest>& request, const id& delegate);

    // Waits for the load within the request's time-out. `response` and `error` may be null; the
    // error of a nil request is NSURLErrorBadURL.
    static Ref<NSData> sendSynchronousRequest(const Ref<NSURLRequest>& request, Ref<NSURLResponse>* response, Ref<NSError>* error);
    // The same load without waiting: `handler` runs once on `queue` (the main queue for a nil
    // queue) with the response, the body (nil on failure) and the error.
    using AsynchronousHandler = std::function<void(const Ref<NSURLResponse>& response, const Ref<NSData>& data, const Ref<NSError>& error)>;
    static void sendAsynchronousRequest(const Ref<NSURLRequest>& request, const Ref<NSOperationQueue>& queue, AsynchronousHandler handler);

    Ref<NSURLRequest> originalRequest() const { return m_request; }
    Ref<NSURLRequest> currentRequest() const;

    // Starts on the calling thread's run loop; a second start does nothing.
    void start();
    void cancel();

    // Used by the session adapter, on the session's delegate queue: the call runs on the
    // connection's run loop, after those delivered before it. Until then the connection holds
    // it, and a cancel lets go of it and of what it carries (a response, data, a proposed cache
    // entry), whether or not that loop ever runs again.
    using DelegateCall = std::function<void(const Ref<NSURLConnection>&, const id& delegate)>;
    void deliver(DelegateCall call, bool last = false);
    bool isCancelled() const { return m_cancelled.load(); }
    id delegateObject() const;

private:
    Ref<NSURLRequest> m_request; // set by init, read only afterwards
    mutable dv::Mutex m_mutex;
    id m_delegate DV_GUARDED_BY(m_mutex); // kept until the load ends
    Ref<NSRunLoop> m_runLoop DV_GUARDED_BY(m_mutex);
    Ref<NSTimer> m_keepAlive DV_GUARDED_BY(m_mutex);
    Ref<NSURLSessionDataTask> m_task DV_GUARDED_BY(m_mutex);
    // Itself, from the start until the load has ended or is cancelled: what keeps a connection
    // nobody holds alive (the calls queued for its delegate hold it weakly).
    Ref<NSURLConnection> m_loading DV_GUARDED_BY(m_mutex);
    // The delegate calls delivered and not yet run, oldest first; each has a block on the run
    // loop that runs the oldest one.
    struct PendingCall {
        DelegateCall call;
        bool last = false;
    };
    std::deque<PendingCall> m_pending DV_GUARDED_BY(m_mutex);
    std::atomic<bool> m_started { false };
    std::atomic<bool> m_cancelled { false };

    void runNextCall();
};
