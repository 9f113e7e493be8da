#include "platform/net/NSURLConnection.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSError.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/dispatch/NSRunLoop.h"
#include "platform/dispatch/NSTimer.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSURLAuthenticationChallenge.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLProtectionSpace.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSession.h"

#include <map>

DV_DEFINE_CLASS(NSURLConnection)

namespace {

// Answers a session challenge from a connection delegate's sender calls, once.
class ChallengeSender : public NSURLAuthenticationChallengeSender {
public:
    explicit ChallengeSender(NSURLSessionChallengeCompletion completion)
        : m_completion(std::move(completion))
    {
    }
    void useCredential(const Ref<NSURLCredential>& credential, const Ref<NSURLAuthenticationChallenge>&) override
    {
        answer(NSURLSessionAuthChallengeUseCredential, credential);
    }
    void continueWithoutCredentialForAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>& challenge) override
    {
        // Without a credential a server-trust question falls back to the ordinary evaluation.
        bool trust = challenge && challenge->protectionSpace()
            && challenge->protectionSpace()->authenticationMethod()->isEqualToString(NSURLAuthenticationMethodServerTrust->utf8());
        answer(trust ? NSURLSessionAuthChallengePerformDefaultHandling : NSURLSessionAuthChallengeUseCredential, nullptr);
    }
    void cancelAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>&) override
    {
        answer(NSURLSessionAuthChallengeCancelAuthenticationChallenge, nullptr);
    }
    void performDefaultHandlingForAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>&) override
    {
        answer(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
    }
    void rejectProtectionSpaceAndContinueWithChallenge(const Ref<NSURLAuthenticationChallenge>&) override
    {
        answer(NSURLSessionAuthChallengeRejectProtectionSpace, nullptr);
    }

private:
    void answer(NSURLSessionAuthChallengeDisposition disposition, const Ref<NSURLCredential>& credential)
    {
        auto done = std::exchange(m_completion, {});
        if (done)
            done(disposition, credential);
    }
    NSURLSessionChallengeCompletion m_completion;
};

// The delegate of the session all connections share: finds the connection of each task.
class ConnectionSessionAdapter : public NSObject, public NSURLSessionDataDelegate {
    DV_CLASS(ConnectionSessionAdapter, NSObject)

public:
    // The questions not answered here keep the protocols' "not implemented" answers.
    using NSURLSessionDataDelegate::URLSession;

    static Ref<ConnectionSessionAdapter> shared()
    {
        static const Ref<ConnectionSessionAdapter> adapter = dv::keepingForever([] { return alloc<ConnectionSessionAdapter>(); });
        return adapter;
    }
    static Ref<NSURLSession> session()
    {
        // Lives as long as the process: destroyed with the statics, it would hand its connection
        // pool's clean-up to the transport thread while exit tears down the TLS library under it.
        static const auto* session = new Ref<NSURLSession>(dv::keepingForever([] {
            return NSURLSession::sessionWithConfiguration(NSURLSessionConfiguration::defaultSessionConfiguration(), shared(), nil);
        }));
        return *session;
    }

    void add(NSUInteger identifier, const Ref<NSURLConnection>& connection)
    {
        dv::MutexLocker lock(m_mutex);
        m_connections[identifier] = connection;
    }
    Ref<NSURLConnection> find(const Ref<NSURLSessionTask>& task, bool remove = false)
    {
        dv::MutexLocker lock(m_mutex);
        auto it = m_connections.find(task->taskIdentifier());
        if (it == m_connections.end())
            return nullptr;
        auto connection = it->second;
        if (remove)
            m_connections.erase(it);
        return connection;
    }

    bool challenge(const Ref<NSURLSessionTask>& task, const Ref<NSURLAuthenticationChallenge>& challenge, NSURLSessionChallengeCompletion done)
    {
        auto connection = find(task);
        if (!connection || connection->isCancelled()) {
            done(NSURLSessionAuthChallengeCancelAuthenticationChallenge, nullptr);
            return true;
        }
        auto sender = std::make_shared<ChallengeSender>(done);
        auto forwarded = alloc<NSURLAuthenticationChallenge>()->initWithProtectionSpace(challenge->protectionSpace(),
            challenge->proposedCredential(), challenge->previousFailureCount(), challenge->failureResponse(), challenge->error(), sender);
        connection->deliver([forwarded, sender](const Ref<NSURLConnection>& c, const id& delegate) {
            auto* d = dynamic_cast<NSURLConnectionDelegate*>(delegate.get());
            if (!d || !d->connection(c, forwarded))
                sender->performDefaultHandlingForAuthenticationChallenge(forwarded);
        });
        return true;
    }

    // Server trust comes at the session level; it belongs to the task being connected, which
    // the task-level question identifies, so it is passed on there.
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLAuthenticationChallenge>&, NSURLSessionChallengeCompletion) override
    {
        return false;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>& task, const Ref<NSURLAuthenticationChallenge>& c,
        NSURLSessionChallengeCompletion done) override
    {
        return challenge(task, c, std::move(done));
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>& task, const Ref<NSURLResponse>& response,
        std::function<void(NSURLSessionResponseDisposition)> done) override
    {
        if (auto connection = find(task)) {
            connection->deliver([response](const Ref<NSURLConnection>& c, const id& delegate) {
                if (auto* d = dynamic_cast<NSURLConnectionDataDelegate*>(delegate.get()))
                    d->connection(c, response);
            });
        }
        done(NSURLSessionResponseAllow);
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>& task, const Ref<NSData>& data) override
    {
        if (auto connection = find(task)) {
            connection->deliver([data](const Ref<NSURLConnection>& c, const id& delegate) {
                if (auto* d = dynamic_cast<NSURLConnectionDataDelegate*>(delegate.get()))
                    d->connection(c, data);
            });
        }
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>& task, const Ref<NSCachedURLResponse>& proposed,
        std::function<void(const Ref<NSCachedURLResponse>&)> done) override
    {
        auto connection = find(task);
        if (!connection || connection->isCancelled()) {
            done(nullptr);
            return true;
        }
        auto answer = std::make_shared<std::function<void(const Ref<NSCachedURLResponse>&)>>(std::move(done));
        connection->deliver([proposed, answer](const Ref<NSURLConnection>& c, const id& delegate) {
            auto* d = dynamic_cast<NSURLConnectionDataDelegate*>(delegate.get());
            auto chosen = d ? d->connection(c, proposed) : std::nullopt;
            (*answer)(chosen ? *chosen : proposed);
        });
        return true;
    }
    bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>& task, const Ref<NSError>& error) override
    {
        auto connection = find(task, true);
        if (!connection)
            return true;
        connection->deliver([error](const Ref<NSURLConnection>& c, const id& delegate) {
            if (error) {
                if (auto* d = dynamic_cast<NSURLConnectionDelegate*>(delegate.get()))
                    d->connection(c, error);
            } else if (auto* d = dynamic_cast<NSURLConnectionDataDelegate*>(delegate.get())) {
                d->connectionDidFinishLoading(c);
            }
        }, true);
        return true;
    }

private:
    dv::Mutex m_mutex;
    std::map<NSUInteger, Ref<NSURLConnection>> m_connections DV_GUARDED_BY(m_mutex);
};

DV_DEFINE_CLASS(ConnectionSessionAdapter)

} // namespace

NSURLConnection::~NSURLConnection() = default;

Ref<NSURLConnection> NSURLConnection::initWithRequest(const Ref<NSURLRequest>& request, const id& delegate, bool startImmediately)
{
    if (!request)
        return nullptr;
    m_request = dv::copyAs<NSURLRequest>(request);
    {
        dv::MutexLocker lock(m_mutex);
        m_delegate = delegate;
    }
    auto me = self<NSURLConnection>();
    if (startImmediately)
        start();
    return me;
}

Ref<NSURLConnection> NSURLConnection::initWithRequest(const Ref<NSURLRequest>& request, const id& delegate)
{
    return initWithRequest(request, delegate, true);
}

Ref<NSData> NSURLConnection::sendSynchronousRequest(const Ref<NSURLRequest>& request, Ref<NSURLResponse>* response, Ref<NSError>* error)
{
    struct Outcome {
        dv::Mutex mutex;
        dv::ConditionVariable ended;
        bool done DV_GUARDED_BY(mutex) = false;
        Ref<NSData> data DV_GUARDED_BY(mutex);
        Ref<NSURLResponse> response DV_GUARDED_BY(mutex);
        Ref<NSError> error DV_GUARDED_BY(mutex);
    };
    if (!request) {
        if (response)
            *response = nil;
        if (error)
            *error = dv::makeURLError(NSURLErrorBadURL, nil);
        return nil;
    }
    // The completion runs on the shared session's own queue, never on the waiting thread, so the
    // main thread may wait here without holding up its own delivery.
    auto outcome = std::make_shared<Outcome>();
    auto task = NSURLSession::sharedSession()->dataTaskWithRequest(request,
        [outcome](const Ref<NSData>& data, const Ref<NSURLResponse>& loaded, const Ref<NSError>& failure) {
            dv::MutexLocker lock(outcome->mutex);
            outcome->data = data;
            outcome->response = loaded;
            outcome->error = failure;
            outcome->done = true;
            outcome->ended.notifyAll();
        });
    task->resume();
    dv::MutexLocker lock(outcome->mutex);
    outcome->ended.wait(lock, [&]() DV_REQUIRES(outcome->mutex) { return outcome->done; });
    if (response)
        *response = outcome->response;
    if (error)
        *error = outcome->error;
    return outcome->error ? nil : outcome->data;
}

void NSURLConnection::sendAsynchronousRequest(const Ref<NSURLRequest>& request, const Ref<NSOperationQueue>& queue,
    AsynchronousHandler handler)
{
    if (!handler)
        return;
    auto target = queue ? queue : NSOperationQueue::mainQueue();
    if (!request) {
        target->addOperationWithBlock([handler = std::move(handler)] { handler(nil, nil, dv::makeURLError(NSURLErrorBadURL, nil)); });
        return;
    }
    auto task = NSURLSession::sharedSession()->dataTaskWithRequest(request,
        [target, handler = std::move(handler)](const Ref<NSData>& data, const Ref<NSURLResponse>& response, const Ref<NSError>& error) {
            target->addOperationWithBlock([handler, data = error ? nil : data, response, error] { handler(response, data, error); });
        });
    task->resume();
}

Ref<NSURLConnection> NSURLConnection::connectionWithRequest(const Ref<NSURLRequest>& request, const id& delegate)
{
    return alloc<NSURLConnection>()->initWithRequest(request, delegate, true);
}

Ref<NSURLRequest> NSURLConnection::currentRequest() const
{
    Ref<NSURLSessionDataTask> task;
    {
        dv::MutexLocker lock(m_mutex);
        task = m_task;
    }
    return task ? task->currentRequest() : m_request;
}

id NSURLConnection::delegateObject() const
{
    dv::MutexLocker lock(m_mutex);
    return m_delegate;
}

void NSURLConnection::start()
{
    if (m_started.exchange(true) || m_cancelled.load())
        return;
    auto runLoop = NSRunLoop::currentRunLoop();
    // Stands for the connection's input source: the loop has something to wait for until the
    // load ends.
    auto keepAlive = NSTimer::timerWithTimeInterval(1.0e9, true, [](const Ref<NSTimer>&) { });
    runLoop->addTimer(keepAlive, NSRunLoopCommonModes);
    auto task = ConnectionSessionAdapter::session()->dataTaskWithRequest(m_request);
    {
        dv::MutexLocker lock(m_mutex);
        m_runLoop = runLoop;
        m_keepAlive = keepAlive;
        m_task = task;
        m_loading = self<NSURLConnection>();
    }
    ConnectionSessionAdapter::shared()->add(task->taskIdentifier(), self<NSURLConnection>());
    task->resume();
}

void NSURLConnection::cancel()
{
    if (m_cancelled.exchange(true))
        return;
    Ref<NSURLSessionDataTask> task;
    Ref<NSTimer> keepAlive;
    Ref<NSRunLoop> runLoop;
    Ref<NSURLConnection> loading; // let go of last, when this returns
    // The calls not yet run go now: their blocks on the loop find nothing to run, and a loop
    // that never runs again keeps nothing of the load.
    std::deque<PendingCall> pending;
    id delegate;
    {
        dv::MutexLocker lock(m_mutex);
        task = m_task;
        keepAlive = std::exchange(m_keepAlive, nullptr);
        runLoop = m_runLoop;
        delegate = std::exchange(m_delegate, nullptr);
        loading = std::exchange(m_loading, nullptr);
        pending.swap(m_pending);
    }
    if (task)
        task->cancel();
    if (keepAlive) {
        // Timers are invalidated on their own loop's thread.
        if (runLoop && runLoop != NSRunLoop::currentRunLoop())
            runLoop->performBlock([keepAlive] { keepAlive->invalidate(); });
        else
            keepAlive->invalidate();
    }
}

void NSURLConnection::deliver(DelegateCall call, bool last)
{
    Ref<NSRunLoop> runLoop;
    {
        dv::MutexLocker lock(m_mutex);
        // A cancelled connection tells its delegate nothing more. Checked under the lock that
        // cancel empties the calls under, so that no call is added after that.
        if (!m_runLoop || m_cancelled.load())
            return;
        runLoop = m_runLoop;
        m_pending.push_back({ std::move(call), last });
    }
    // The load keeps the connection alive until its last call has run (m_loading); the block
    // holds it weakly, so that a cancelled connection goes even when its thread's loop never
    // runs the blocks queued before the cancel.
    Weak<NSURLConnection> weak = self<NSURLConnection>();
    runLoop->performBlock([weak] {
        if (auto me = weak.lock())
            me->runNextCall();
    });
}

void NSURLConnection::runNextCall()
{
    PendingCall next;
    {
        dv::MutexLocker lock(m_mutex);
        // Empty after a cancel.
        if (m_pending.empty())
            return;
        next = std::move(m_pending.front());
        m_pending.pop_front();
    }
    auto me = self<NSURLConnection>();
    if (!m_cancelled.load()) {
        if (auto delegate = delegateObject())
            next.call(me, delegate);
    }
    if (next.last) {
        Ref<NSTimer> keepAlive;
        Ref<NSURLConnection> loading;
        id delegate;
        {
            dv::MutexLocker lock(m_mutex);
            keepAlive = std::exchange(m_keepAlive, nullptr);
            delegate = std::exchange(m_delegate, nullptr);
            loading = std::exchange(m_loading, nullptr);
        }
        if (keepAlive)
            keepAlive->invalidate();
    }
}
