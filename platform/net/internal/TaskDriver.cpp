#include "platform/net/internal/TaskDriver.h"

#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/base/Scope.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/internal/DeadlineWatcher.h"
#include "platform/net/internal/HeaderFields.h"
#include "platform/net/internal/RequestBody.h"
#include "platform/net/internal/TaskCookies.h"
#include "platform/net/internal/TaskSupport.h"

#include <atomic>

namespace dv::internal::net {

namespace {

std::atomic<bool> s_offline { false };

} // namespace

bool networkSimulatedOffline() { return s_offline.load(); }
void setNetworkSimulatedOffline(bool offline) { s_offline = offline; }

TaskDriver::TaskDriver(Kind kind)
    : m_kind(kind)
    , m_body(std::make_shared<RequestBody>())
{
}

TaskDriver::~TaskDriver()
{
    if (m_resourceTimer)
        DeadlineWatcher::shared().remove(m_resourceTimer);
}

void TaskDriver::attach(const Ref<NSURLSessionTask>& task, const Ref<NSURLSession>& session)
{
    m_task = task;
    m_weakSession = session;
    m_queue = session->delegateQueue();
    m_pump.attach(m_queue, weak_from_this(), [this](TaskEvent& event) { handle(event); });
    auto streamed = m_kind == Kind::StreamedUpload ? RequestBody::Streamed::Yes : RequestBody::Streamed::No;
    task->setCountOfBytesExpectedToSend(m_body->adopt(task->originalRequest(), streamed));
    task->setCountOfBytesExpectedToReceive(NSURLSessionTransferSizeUnknown);
}

void TaskDriver::setUploadData(const Ref<NSData>& data)
{
    m_body->setData(data);
}

void TaskDriver::setUploadFile(const Ref<NSURL>& fileURL)
{
    m_body->setFile(fileURL);
}

void TaskDriver::setResumeData(const Ref<NSData>& data)
{
    m_resume.adopt(data, m_download);
}

Ref<NSURLSession> TaskDriver::session() const
{
    dv::MutexLocker lock(m_mutex);
    return m_session;
}

void TaskDriver::handle(TaskEvent& event)
{
    bool finished = false;
    {
        dv::MutexLocker lock(m_mutex);
        finished = m_finished;
    }
    if (finished) {
        if (event.trustReply)
            event.trustReply->answer(false);
        return;
    }
    switch (event.type) {
    case TaskEvent::Type::Trust: handleTrust(event); break;
    case TaskEvent::Type::BodyStream: handleBodyStream(); break;
    case TaskEvent::Type::Sent: handleSent(event); break;
    case TaskEvent::Type::Response: handleResponse(event); break;
    case TaskEvent::Type::Data: handleData(event); break;
    case TaskEvent::Type::Complete: handleComplete(event); break;
    case TaskEvent::Type::Invoke: event.invoke(); break;
    }
}

// Control ----------------------------------------------------------------------------------------

void TaskDriver::resume(const std::function<void()>& running)
{
    auto task = m_task.lock();
    if (!task)
        return;
    {
        dv::MutexLocker lock(m_mutex);
        if (m_finished || m_cancelled || !m_suspended)
            return;
        m_suspended = false;
        task->storeState(NSURLSessionTaskStateRunning);
    }
    task->announceState();
    if (running)
        running();
    std::shared_ptr<Transfer> transfer;
    Ref<NSURLSession> session;
    bool first = false;
    {
        dv::MutexLocker lock(m_mutex);
        // Whoever heard of the resume may have suspended or cancelled the task again.
        if (m_finished || m_cancelled || m_suspended)
            return;
        first = !m_started;
        m_started = true;
        transfer = m_transfer;
        if (first) {
            m_session = m_weakSession.lock();
            session = m_session;
            // The first transfer starts on this thread, so that the caller never waits for the
            // delegate queue; until it has started, nothing the task's events lead to runs there
            // (a cancel from another thread included), so the task's state has one owner.
            m_pump.hold();
        }
    }
    if (first) {
        dv::ScopeExit release([this] { m_pump.release(); });
        if (session)
            session->taskStarted(task);
        startResourceTimer(session);
        start();
    } else if (transfer) {
        transfer->setSuspended(false);
    }
}

void TaskDriver::suspend()
{
    auto task = m_task.lock();
    std::shared_ptr<Transfer> transfer;
    {
        dv::MutexLocker lock(m_mutex);
        if (m_finished || m_cancelled || m_suspended)
            return;
        m_suspended = true;
        transfer = m_transfer;
        if (task)
            task->storeState(NSURLSessionTaskStateSuspended);
    }
    if (task)
        task->announceState();
    if (transfer)
        transfer->setSuspended(true);
}

void TaskDriver::cancel(ResumeDataHandler resumeData)
{
    stop(NSURLErrorCancelled, std::move(resumeData));
}

void TaskDriver::stop(NSInteger code, ResumeDataHandler resumeData)
{
    auto task = m_task.lock();
    std::shared_ptr<Transfer> transfer;
    bool canceling = false;
    {
        dv::MutexLocker lock(m_mutex);
        if (m_finished || m_cancelled) {
            lock.unlock();
            if (resumeData)
                m_queue->addOperationWithBlock([resumeData] { resumeData(nullptr); });
            return;
        }
        m_cancelled = true;
        m_resumeDataHandler = std::move(resumeData);
        if (task && code == NSURLErrorCancelled) {
            task->storeState(NSURLSessionTaskStateCanceling);
            canceling = true;
        }
        // Whatever was still to be reported gives way to the end, a delegate's pending answer
        // included.
        m_pump.endWith({ .type = TaskEvent::Type::Complete, .errorCode = code });
        transfer = m_transfer;
        if (!m_started && !m_session)
            m_session = m_weakSession.lock();
    }
    if (canceling)
        task->announceState();
    m_body->abandon();
    if (transfer)
        transfer->cancel();
    m_pump.wake();
}

// Starting ---------------------------------------------------------------------------------------

// The whole task, redirects, retries, suspensions and the delegate's deliberations included, must
// end within the configuration's resource time-out, however steadily its bytes arrive.
void TaskDriver::startResourceTimer(const Ref<NSURLSession>& session)
{
    auto configuration = session ? session->sessionConfiguration() : nullptr;
    NSTimeInterval limit = configuration ? configuration->timeoutIntervalForResource() : 0;
    if (!(limit > 0))
        return;
    Weak<TaskDriver> weak = weak_from_this();
    auto token = DeadlineWatcher::shared().add(Clock::current().now() + limit, [weak] {
        if (auto self = weak.lock())
            self->stop(NSURLErrorTimedOut, {});
    });
    dv::MutexLocker lock(m_mutex);
    m_resourceTimer = token;
}

void TaskDriver::stopResourceTimer()
{
    DeadlineWatcher::Token token = 0;
    {
        dv::MutexLocker lock(m_mutex);
        token = std::exchange(m_resourceTimer, 0);
    }
    if (token)
        DeadlineWatcher::shared().remove(token);
}

void TaskDriver::failLater(const Ref<NSError>& error)
{
    auto self = shared_from_this();
    m_pump.post({ .type = TaskEvent::Type::Invoke, .invoke = [self, error] { self->finish(error); } });
}

void TaskDriver::start()
{
    auto task = m_task.lock();
    if (!task)
        return;
    auto request = task->currentRequest();
    if (networkSimulatedOffline()) {
        failLater(makeURLError(NSURLErrorNotConnectedToInternet, request ? request->URL() : nullptr));
        return;
    }
    if (!request || !isLoadableURL(request->URL())) {
        failLater(makeURLError(NSURLErrorUnsupportedURL, request ? request->URL() : nullptr));
        return;
    }
    if (auto usable = m_resume.usable(); !usable) {
        failLater(URLErrorWithReason(NSURLErrorCannotDecodeRawData, request->URL(), std::move(usable).failure()));
        return;
    }
    if (auto opened = m_body->open(); !opened) {
        failLater(URLErrorWithReason(NSURLErrorFileDoesNotExist, request->URL(), std::move(opened).failure()));
        return;
    }
    if (serveFromCache(request))
        return;
    startTransfer(request);
}

bool TaskDriver::serveFromCache(const Ref<NSURLRequest>& request)
{
    auto session = this->session();
    if (m_kind != Kind::Data || !session)
        return false;
    auto lookup = ResponseCaching::lookUp(session->sessionConfiguration(), request);
    switch (lookup.answer) {
    case ResponseCaching::Answer::Load:
        return false;
    case ResponseCaching::Answer::Unavailable:
        failLater(makeURLError(NSURLErrorResourceUnavailable, request->URL()));
        return true;
    case ResponseCaching::Answer::Serve:
        break;
    }
    m_caching.servedFromCache();
    auto self = shared_from_this();
    auto response = lookup.cached->response();
    std::string body(lookup.cached->data()->view());
    m_pump.post({ .type = TaskEvent::Type::Invoke, .invoke = [self, response] { self->deliverResponse(response); } });
    m_pump.post({ .type = TaskEvent::Type::Invoke, .invoke = [self, body] { self->deliverData(body); } });
    m_pump.post({ .type = TaskEvent::Type::Invoke, .invoke = [self] { self->finishSuccessfully(); } });
    return true;
}

TransportRequest TaskDriver::transportRequest(const Ref<NSURLRequest>& request, const Ref<NSURLSession>& session)
{
    auto configuration = session->sessionConfiguration();
    TransportRequest out;
    out.method = request->HTTPMethod()->utf8();
    out.url = request->URL()->absoluteString()->utf8();
    HeaderFields headers = request->headerList();
    if (auto extra = configuration->HTTPAdditionalHeaders()) {
        for (auto& [key, value] : extra->entries()) {
            auto name = dv::as<NSString>(key);
            auto text = dv::as<NSString>(value);
            if (name && text && !findHeader(headers, name->utf8()))
                headers.emplace_back(name->utf8(), text->utf8());
        }
    }
    TaskCookies::addRequestCookies(headers, configuration, request);
    if (m_kind == Kind::Download)
        m_resume.addRangeHeaders(headers);
    out.headers = std::move(headers);

    double timeout = request->timeoutInterval();
    double limit = configuration->timeoutIntervalForRequest();
    if (timeout <= 0 || (limit > 0 && limit < timeout))
        timeout = limit;
    if (timeout <= 0)
        timeout = kDefaultURLRequestTimeout;
    out.idleTimeout = std::chrono::milliseconds(static_cast<long long>(timeout * 1000));

    auto task = m_task.lock();
    auto self = shared_from_this();
    // The question runs on the transport thread, which waits for the answer: the driver stays
    // for as long as the transfer may ask.
    m_body->describe(out, task ? task->countOfBytesExpectedToSend() : -1,
        [self] { self->m_pump.post({ .type = TaskEvent::Type::BodyStream }); });
    return out;
}

void TaskDriver::startTransfer(const Ref<NSURLRequest>& request)
{
    m_phase = Phase::Final;
    m_heldResponse = nullptr;
    m_heldBody.clear();
    m_caching.reset();
    m_trust.reset();

    auto session = this->session();
    if (!session) {
        failLater(makeURLError(NSURLErrorCancelled, request->URL()));
        return;
    }
    std::uint64_t serial;
    {
        dv::MutexLocker lock(m_mutex);
        serial = ++m_transferSerial;
    }
    m_body->prepare(request, serial == 1);
    TransportRequest transport = transportRequest(request, session);

    Weak<TaskDriver> weak = weak_from_this();
    TransferCallbacks callbacks;
    callbacks.evaluateServerTrust = [weak, serial](const TrustQuestion& question, std::shared_ptr<TrustReply> reply) {
        auto self = weak.lock();
        if (!self) {
            reply->answer(false);
            return;
        }
        self->m_pump.post({ .type = TaskEvent::Type::Trust, .trust = question, .trustReply = reply, .transfer = serial });
    };
    callbacks.sentBodyData = [weak, serial](std::int64_t sent, std::int64_t total, std::int64_t expected) {
        if (auto self = weak.lock())
            self->m_pump.post({ .type = TaskEvent::Type::Sent, .sent = sent, .totalSent = total, .expectedToSend = expected, .transfer = serial });
    };
    callbacks.receivedResponse = [weak, serial](const TransportResponse& response) {
        if (auto self = weak.lock())
            self->m_pump.post({ .type = TaskEvent::Type::Response, .response = response, .transfer = serial });
    };
    callbacks.receivedData = [weak, serial](const std::uint8_t* bytes, std::size_t length) {
        if (auto self = weak.lock())
            self->m_pump.post(
                { .type = TaskEvent::Type::Data, .data = std::string(reinterpret_cast<const char*>(bytes), length), .transfer = serial });
    };
    callbacks.complete = [weak, serial](const TransportFailure& failure) {
        if (auto self = weak.lock())
            self->m_pump.post({ .type = TaskEvent::Type::Complete, .failure = failure, .transfer = serial });
    };
    // At most the configured number of transfers per host run at once; the rest wait for a
    // slot in the order they asked.
    auto url = request->URL();
    std::string host = lowercased(url->scheme()->utf8()) + "://" + lowercased(url->host()->utf8()) + ":"
        + (url->port() ? url->port()->stringValue()->utf8() : std::string());
    auto shared = std::make_shared<std::pair<TransportRequest, TransferCallbacks>>(std::move(transport), std::move(callbacks));
    auto pool = session->connectionPool();
    Weak<NSURLSession> weakSession = session;
    auto launch = [weak, shared, pool, host, weakSession]() {
        auto session = weakSession.lock();
        if (!session)
            return;
        auto self = weak.lock();
        if (!self) {
            session->releaseHostSlot(host);
            return;
        }
        std::shared_ptr<Transfer> transfer;
        {
            // Started under the lock, so that a cancel or suspend either comes first (and no
            // transfer starts) or finds the transfer.
            dv::MutexLocker lock(self->m_mutex);
            if (!self->m_cancelled && !self->m_finished) {
                self->m_slotHost = host;
                transfer = CurlTransport::shared().start(pool, std::move(shared->first), std::move(shared->second));
                self->m_transfer = transfer;
                if (self->m_suspended)
                    transfer->setSuspended(true);
            }
        }
        if (!transfer)
            session->releaseHostSlot(host);
    };
    if (session->acquireHostSlot(host, launch))
        launch();
}

void TaskDriver::releaseSlot()
{
    std::string host;
    Ref<NSURLSession> session;
    {
        dv::MutexLocker lock(m_mutex);
        host = std::exchange(m_slotHost, std::string());
        session = m_session;
    }
    if (!session)
        session = m_weakSession.lock();
    if (!host.empty() && session)
        session->releaseHostSlot(host);
}

// Handlers ---------------------------------------------------------------------------------------

void TaskDriver::handleSent(TaskEvent& event)
{
    auto task = m_task.lock();
    auto session = this->session();
    if (!task || !session)
        return;
    task->setCountOfBytesSent(event.totalSent);
    std::int64_t expected = task->countOfBytesExpectedToSend();
    id delegate = session->delegate();
    if (auto* taskDelegate = dynamic_cast<NSURLSessionTaskDelegate*>(delegate.get()); taskDelegate && !m_dataCompletion)
        taskDelegate->URLSession(session, task, event.sent, event.totalSent, expected);
}

void TaskDriver::handleResponse(TaskEvent& event)
{
    auto task = m_task.lock();
    auto session = this->session();
    if (!task || !session)
        return;
    auto request = task->currentRequest();
    auto url = request->URL();
    if (url->absoluteUTF8() != event.response.url) {
        if (auto reported = NSURL::URLWithString(NSString::fromUTF8(event.response.url)))
            url = reported;
    }
    auto response = alloc<NSHTTPURLResponse>()->initWithURL(url, event.response.statusCode, event.response.headers);
    TaskCookies::storeResponseCookies(event.response.headers, url, session->sessionConfiguration(), request);

    bool redirect = RedirectPolicy::isRedirect(event.response);
    m_heldBody.clear();
    if (redirect || HTTPAuthentication::isChallenge(event.response)) {
        m_phase = redirect ? Phase::Redirect : Phase::Authenticate;
        m_heldResponse = response;
        return;
    }
    m_phase = Phase::Final;
    deliverResponse(response);
}

void TaskDriver::deliverResponse(const Ref<NSURLResponse>& response)
{
    auto task = m_task.lock();
    auto session = this->session();
    if (!task || !session)
        return;
    task->setResponse(response);
    auto http = dv::as<NSHTTPURLResponse>(response);
    std::int64_t expected = response->expectedContentLength();

    if (m_kind == Kind::Download) {
        std::int64_t offset = m_resume.learn(http);
        if (auto opened = m_download.open(offset); !opened) {
            finish(URLErrorWithReason(NSURLErrorCannotCreateFile, response->URL(), std::move(opened).failure()));
            return;
        }
        task->setCountOfBytesReceived(offset);
        task->setCountOfBytesExpectedToReceive(expected >= 0 ? expected + offset : NSURLSessionTransferSizeUnknown);
        if (m_resume.resumes() && !m_downloadCompletion) {
            id delegate = session->delegate();
            if (auto* downloadDelegate = dynamic_cast<NSURLSessionDownloadDelegate*>(delegate.get()))
                downloadDelegate->URLSession(session, std::static_pointer_cast<NSURLSessionDownloadTask>(task), offset,
                    task->countOfBytesExpectedToReceive());
        }
        return;
    }

    task->setCountOfBytesExpectedToReceive(expected);
    m_caching.begin(session->sessionConfiguration(), task->currentRequest(), response);

    if (m_dataCompletion) {
        if (!m_completionData)
            m_completionData = NSMutableData::data();
        return;
    }
    id delegate = session->delegate();
    auto* dataDelegate = dynamic_cast<NSURLSessionDataDelegate*>(delegate.get());
    if (!dataDelegate)
        return;
    auto self = shared_from_this();
    auto once = std::make_shared<std::atomic<bool>>(false);
    m_pump.waitForDelegate();
    bool implemented = dataDelegate->URLSession(session, std::static_pointer_cast<NSURLSessionDataTask>(task), response,
        std::function<void(NSURLSessionResponseDisposition)>([self, once](NSURLSessionResponseDisposition disposition) {
            if (once->exchange(true))
                return;
            if (disposition == NSURLSessionResponseCancel) {
                // Cancelling puts the cancellation first in line; nothing else is reported.
                if (auto task = self->m_task.lock())
                    task->cancel();
            }
            self->m_pump.delegateAnswered();
        }));
    if (!implemented)
        m_pump.delegateDeclined();
}

void TaskDriver::handleData(TaskEvent& event)
{
    std::shared_ptr<Transfer> transfer;
    {
        dv::MutexLocker lock(m_mutex);
        if (event.transfer == m_transferSerial)
            transfer = m_transfer;
    }
    if (m_phase != Phase::Final) {
        if (m_heldBody.size() < kHeldBodyLimit)
            m_heldBody.append(event.data, 0, std::min(event.data.size(), kHeldBodyLimit - m_heldBody.size()));
    } else {
        deliverData(event.data);
    }
    if (transfer)
        transfer->consumed(event.data.size());
}

void TaskDriver::deliverData(const std::string& bytes)
{
    auto task = m_task.lock();
    auto session = this->session();
    if (!task || !session || bytes.empty())
        return;
    if (m_kind == Kind::Download) {
        if (!m_download.isOpen())
            return;
        if (auto written = m_download.write(bytes); !written) {
            finish(URLErrorWithReason(NSURLErrorCannotWriteToFile, task->currentRequest()->URL(), std::move(written).failure()));
            return;
        }
        task->setCountOfBytesReceived(m_download.written());
        if (!m_downloadCompletion) {
            id delegate = session->delegate();
            if (auto* downloadDelegate = dynamic_cast<NSURLSessionDownloadDelegate*>(delegate.get()))
                downloadDelegate->URLSession(session, std::static_pointer_cast<NSURLSessionDownloadTask>(task),
                    static_cast<std::int64_t>(bytes.size()), m_download.written(), task->countOfBytesExpectedToReceive());
        }
        return;
    }
    task->setCountOfBytesReceived(task->countOfBytesReceived() + static_cast<std::int64_t>(bytes.size()));
    m_caching.append(bytes);
    if (m_dataCompletion) {
        if (!m_completionData)
            m_completionData = NSMutableData::data();
        m_completionData->appendBytes(bytes.data(), bytes.size());
        return;
    }
    id delegate = session->delegate();
    if (auto* dataDelegate = dynamic_cast<NSURLSessionDataDelegate*>(delegate.get()))
        dataDelegate->URLSession(session, std::static_pointer_cast<NSURLSessionDataTask>(task), NSData::fromString(bytes));
}

void TaskDriver::handleComplete(TaskEvent& event)
{
    auto task = m_task.lock();
    if (!task)
        return;
    {
        dv::MutexLocker lock(m_mutex);
        if (event.transfer && event.transfer == m_transferSerial)
            m_transfer.reset();
    }
    releaseSlot();
    auto url = task->currentRequest() ? task->currentRequest()->URL() : nullptr;
    if (event.errorCode) {
        finish(makeURLError(event.errorCode, url));
        return;
    }
    if (event.failure.error != TransportError::None) {
        NSInteger code = URLErrorCodeFor(event.failure.error);
        if (event.failure.error == TransportError::ServerCertificateRejected && m_trust.failureCode())
            code = m_trust.failureCode();
        bool certificate = code == NSURLErrorServerCertificateUntrusted || code == NSURLErrorServerCertificateHasBadDate
            || code == NSURLErrorServerCertificateNotYetValid;
        // A reply refused as unfit says what was wrong with it.
        if (event.failure.error == TransportError::BadServerResponse && !event.failure.detail.empty())
            finish(URLErrorWithReason(code, url, Failure(event.failure.detail)));
        else
            finish(makeURLError(code, url, certificate ? m_trust.failedTrust() : nullptr));
        return;
    }
    switch (m_phase) {
    case Phase::Redirect:
        handleRedirect();
        return;
    case Phase::Authenticate:
        handleAuthentication();
        return;
    case Phase::Final:
        finishSuccessfully();
        return;
    }
}

void TaskDriver::finishSuccessfully()
{
    auto task = m_task.lock();
    auto session = this->session();
    if (!task || !session)
        return;
    if (m_kind == Kind::Download) {
        // The last bytes reach the disk when the file is closed: a download is whole only then.
        if (auto closed = m_download.close(); !closed) {
            finish(URLErrorWithReason(NSURLErrorCannotWriteToFile, task->currentRequest()->URL(), std::move(closed).failure()));
            return;
        }
        m_download.createIfMissing();
        if (m_downloadCompletion) {
            finish(nullptr);
            return;
        }
        auto location = NSURL::fileURLWithPath(NSString::fromUTF8(m_download.path()), false);
        id delegate = session->delegate();
        if (auto* downloadDelegate = dynamic_cast<NSURLSessionDownloadDelegate*>(delegate.get()))
            downloadDelegate->URLSession(session, std::static_pointer_cast<NSURLSessionDownloadTask>(task), location);
        m_download.remove();
        finish(nullptr);
        return;
    }
    auto proposed = m_caching.takeProposal(task->response());
    if (!proposed) {
        finish(nullptr);
        return;
    }
    id delegate = session->delegate();
    auto* dataDelegate = dynamic_cast<NSURLSessionDataDelegate*>(delegate.get());
    auto configuration = session->sessionConfiguration();
    if (!dataDelegate || m_dataCompletion) {
        ResponseCaching::store(configuration, proposed, task->originalRequest());
        finish(nullptr);
        return;
    }
    auto self = shared_from_this();
    m_pump.waitForDelegate();
    bool implemented = dataDelegate->URLSession(session, std::static_pointer_cast<NSURLSessionDataTask>(task), proposed,
        answerOnce<const Ref<NSCachedURLResponse>&>([self, configuration](const Ref<NSCachedURLResponse>& answer) {
            if (auto task = self->m_task.lock())
                ResponseCaching::store(configuration, answer, task->originalRequest());
            self->finish(nullptr);
        }));
    if (!implemented) {
        m_pump.delegateDeclined();
        ResponseCaching::store(configuration, proposed, task->originalRequest());
        finish(nullptr);
    }
}

void TaskDriver::finish(const Ref<NSError>& failure)
{
    auto task = m_task.lock();
    std::shared_ptr<Transfer> transfer;
    ResumeDataHandler resumeHandler;
    {
        dv::MutexLocker lock(m_mutex);
        if (m_finished)
            return;
        m_finished = true;
        m_pump.close();
        transfer = std::move(m_transfer);
        resumeHandler = std::move(m_resumeDataHandler);
    }
    stopResourceTimer();
    if (transfer)
        transfer->cancel();
    releaseSlot();
    m_body->close();
    auto session = this->session();
    if (!session)
        session = m_weakSession.lock();
    if (!task)
        return;

    Ref<NSError> error = failure;
    Ref<NSURL> location;
    if (m_kind == Kind::Download) {
        // A failed download has no file to hand over; what could not be flushed changes nothing.
        static_cast<void>(m_download.close());
        if (error) {
            auto request = task->currentRequest();
            auto resumeData = m_resume.resumeData(request ? request->URL() : nullptr, m_download);
            if (resumeData) {
                auto info = NSMutableDictionary::dictionaryWithDictionary(error->userInfo());
                info->setObjectForKey(resumeData, NSURLSessionDownloadTaskResumeData);
                error = NSError::errorWithDomain(error->domain(), error->code(), info);
            } else {
                m_download.remove();
            }
            if (resumeHandler)
                resumeHandler(resumeData);
        } else if (m_download.hasPath()) {
            location = NSURL::fileURLWithPath(NSString::fromUTF8(m_download.path()), false);
        }
    } else if (resumeHandler) {
        resumeHandler(nullptr);
    }

    task->setError(error);
    task->setState(NSURLSessionTaskStateCompleted);
    if (m_dataCompletion) {
        auto done = std::exchange(m_dataCompletion, {});
        done(error ? nullptr : (m_completionData ? NSData::dataWithData(m_completionData) : NSData::data()), task->response(), error);
    } else if (m_downloadCompletion) {
        auto done = std::exchange(m_downloadCompletion, {});
        done(location, task->response(), error);
    } else if (session) {
        id delegate = session->delegate();
        if (auto* taskDelegate = dynamic_cast<NSURLSessionTaskDelegate*>(delegate.get())) {
            Ref<NSError> reported = error;
            taskDelegate->URLSession(session, task, reported);
        }
    }
    // A download handed to a completion handler is removed once the handler returns.
    if (location)
        m_download.remove();
    if (session)
        session->taskCompleted(task);
    // Let go after the lock: it may be the session's last reference.
    Ref<NSURLSession> held;
    {
        dv::MutexLocker lock(m_mutex);
        held = std::move(m_session);
    }
}

} // namespace dv::internal::net
