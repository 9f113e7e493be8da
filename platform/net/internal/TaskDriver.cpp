#include "platform/net/internal/TaskDriver.h"
#include "platform/net/internal/TaskSupport.h"

#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPCookie.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLCache.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLProtectionSpace.h"
#include "platform/net/SecPolicy.h"
#include "platform/net/SecTrust.h"
#include "platform/dispatch/Clock.h"
#include "platform/net/internal/CachePaths.h"
#include "platform/net/internal/DeadlineWatcher.h"
#include "platform/net/internal/HeaderFields.h"
#include "platform/net/internal/StreamBody.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <sstream>

namespace dv::internal {

namespace {

std::atomic<bool> s_offline { false };

} // namespace


bool networkSimulatedOffline() { return s_offline.load(); }
void setNetworkSimulatedOffline(bool offline) { s_offline = offline; }

TaskDriver::TaskDriver(Kind kind)
    : m_kind(kind)
{
}

TaskDriver::~TaskDriver()
{
    if (m_resourceTimer)
        DeadlineWatcher::shared().remove(m_resourceTimer);
    if (m_uploadHandle)
        std::fclose(m_uploadHandle);
    closeFile();
}

void TaskDriver::attach(const Ref<NSURLSessionTask>& task, const Ref<NSURLSession>& session)
{
    m_task = task;
    m_weakSession = session;
    m_queue = session->delegateQueue();
    auto request = task->originalRequest();
    if (m_kind == Kind::StreamedUpload)
        m_bodySource = BodySource::Stream;
    else if (m_bodySource == BodySource::None && request && request->HTTPBody())
        m_bodySource = BodySource::Data;
    else if (m_bodySource == BodySource::None && request && request->HTTPBodyStream())
        m_bodySource = BodySource::Stream;
    if (m_bodySource == BodySource::Data && !m_uploadData && request)
        m_uploadData = request->HTTPBody();
    std::int64_t expected = 0;
    if (m_bodySource == BodySource::Data)
        expected = static_cast<std::int64_t>(m_uploadData ? m_uploadData->length() : 0);
    else if (m_bodySource == BodySource::File) {
        std::error_code ec;
        auto size = std::filesystem::file_size(m_uploadFile, ec);
        expected = ec ? NSURLSessionTransferSizeUnknown : static_cast<std::int64_t>(size);
    } else if (m_bodySource == BodySource::Stream) {
        auto length = request ? request->valueForHTTPHeaderField("Content-Length"_ns) : nullptr;
        expected = length ? std::strtoll(length->UTF8String(), nullptr, 10) : NSURLSessionTransferSizeUnknown;
    }
    task->setCountOfBytesExpectedToSend(expected);
    task->setCountOfBytesExpectedToReceive(NSURLSessionTransferSizeUnknown);
}

void TaskDriver::setUploadData(const Ref<NSData>& data)
{
    m_bodySource = BodySource::Data;
    m_uploadData = data ? data : NSData::data();
}

void TaskDriver::setUploadFile(const Ref<NSURL>& fileURL)
{
    m_bodySource = BodySource::File;
    m_uploadFile = fileURL && fileURL->path() ? fileURL->path()->utf8() : std::string();
}

bool TaskDriver::setResumeData(const Ref<NSData>& data)
{
    auto resume = data ? decodeResumeData(data->view()) : std::nullopt;
    if (!resume) {
        m_resumeDataInvalid = true;
        return false;
    }
    std::error_code ec;
    std::filesystem::resize_file(resume->path, static_cast<std::uintmax_t>(resume->offset), ec);
    m_filePath = resume->path;
    m_resumeOffset = resume->offset;
    m_resumeValidator = resume->validator;
    return true;
}

// Event queue ------------------------------------------------------------------------------------

void TaskDriver::post(Event event, bool front)
{
    std::lock_guard lock(m_mutex);
    if (m_finished && event.type != Event::Type::Invoke)
        return;
    if (front)
        m_events.push_front(std::move(event));
    else
        m_events.push_back(std::move(event));
    if (!m_waiting && !m_pumpScheduled) {
        m_pumpScheduled = true;
        auto self = shared_from_this();
        m_queue->addOperationWithBlock([self] { self->pump(); });
    }
}

void TaskDriver::schedulePump()
{
    std::lock_guard lock(m_mutex);
    if (m_waiting || m_pumpScheduled || m_events.empty())
        return;
    m_pumpScheduled = true;
    auto self = shared_from_this();
    m_queue->addOperationWithBlock([self] { self->pump(); });
}

void TaskDriver::pump()
{
    for (;;) {
        Event event;
        {
            std::lock_guard lock(m_mutex);
            if (m_waiting || m_events.empty()) {
                m_pumpScheduled = false;
                return;
            }
            event = std::move(m_events.front());
            m_events.pop_front();
        }
        handle(event);
    }
}

void TaskDriver::waitForDelegate()
{
    std::lock_guard lock(m_mutex);
    m_waiting = true;
}

void TaskDriver::delegateAnswered()
{
    {
        std::lock_guard lock(m_mutex);
        m_waiting = false;
    }
    schedulePump();
}

void TaskDriver::handle(Event& event)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_finished) {
            if (event.trustReply)
                event.trustReply->answer(false);
            return;
        }
    }
    switch (event.type) {
    case Event::Type::Trust: handleTrust(event); break;
    case Event::Type::BodyStream: handleBodyStream(); break;
    case Event::Type::Sent: handleSent(event); break;
    case Event::Type::Response: handleResponse(event); break;
    case Event::Type::Data: handleData(event); break;
    case Event::Type::Complete: handleComplete(event); break;
    case Event::Type::Invoke: event.invoke(); break;
    }
}

// Control ----------------------------------------------------------------------------------------

void TaskDriver::resume(const std::function<void()>& running)
{
    auto task = m_task.lock();
    if (!task)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (m_finished || m_cancelled || !m_suspended)
            return;
        m_suspended = false;
        task->storeState(NSURLSessionTaskStateRunning);
    }
    task->announceState();
    if (running)
        running();
    std::shared_ptr<Transfer> transfer;
    bool first = false;
    {
        std::lock_guard lock(m_mutex);
        // Whoever heard of the resume may have suspended or cancelled the task again.
        if (m_finished || m_cancelled || m_suspended)
            return;
        first = !m_started;
        m_started = true;
        transfer = m_transfer;
    }
    if (first) {
        m_session = m_weakSession.lock();
        if (m_session)
            m_session->taskStarted(task);
        startResourceTimer();
        // The first transfer starts on the calling thread: nothing else touches this task's
        // state yet, and every delegate call it leads to still goes through the queue.
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
        std::lock_guard lock(m_mutex);
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

void TaskDriver::cancel(std::function<void(const Ref<NSData>&)> resumeData)
{
    stop(NSURLErrorCancelled, std::move(resumeData));
}

void TaskDriver::stop(NSInteger code, std::function<void(const Ref<NSData>&)> resumeData)
{
    auto task = m_task.lock();
    std::shared_ptr<Transfer> transfer;
    bool canceling = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_finished || m_cancelled) {
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
        m_events.clear();
        m_waiting = false;
        Event complete { .type = Event::Type::Complete };
        complete.errorCode = code;
        m_events.push_back(std::move(complete));
        transfer = m_transfer;
        if (!m_started && !m_session)
            m_session = m_weakSession.lock();
    }
    if (canceling)
        task->announceState();
    m_changed.notify_all();
    if (transfer)
        transfer->cancel();
    schedulePump();
}

// Starting ---------------------------------------------------------------------------------------

// The whole task, redirects, retries, suspensions and the delegate's deliberations included, must
// end within the configuration's resource time-out, however steadily its bytes arrive.
void TaskDriver::startResourceTimer()
{
    auto configuration = m_session ? m_session->sessionConfiguration() : nullptr;
    NSTimeInterval limit = configuration ? configuration->timeoutIntervalForResource() : 0;
    if (!(limit > 0))
        return;
    Weak<TaskDriver> weak = weak_from_this();
    auto token = DeadlineWatcher::shared().add(Clock::current().now() + limit, [weak] {
        if (auto self = weak.lock())
            self->stop(NSURLErrorTimedOut, {});
    });
    std::lock_guard lock(m_mutex);
    m_resourceTimer = token;
}

void TaskDriver::stopResourceTimer()
{
    DeadlineWatcher::Token token = 0;
    {
        std::lock_guard lock(m_mutex);
        token = std::exchange(m_resourceTimer, 0);
    }
    if (token)
        DeadlineWatcher::shared().remove(token);
}

void TaskDriver::start()
{
    auto task = m_task.lock();
    if (!task)
        return;
    auto request = task->currentRequest();
    auto self = shared_from_this();
    auto fail = [self](Ref<NSError> error) {
        self->post({ .type = Event::Type::Invoke, .invoke = [self, error] { self->finish(error); } });
    };
    if (networkSimulatedOffline()) {
        fail(makeURLError(NSURLErrorNotConnectedToInternet, request ? request->URL() : nullptr));
        return;
    }
    if (!request || !isLoadableURL(request->URL())) {
        fail(makeURLError(NSURLErrorUnsupportedURL, request ? request->URL() : nullptr));
        return;
    }
    if (m_resumeDataInvalid) {
        fail(makeURLError(NSURLErrorCannotDecodeRawData, request->URL()));
        return;
    }
    if (m_bodySource == BodySource::File && !m_uploadFile.empty()) {
        m_uploadHandle = std::fopen(m_uploadFile.c_str(), "rb");
        if (!m_uploadHandle) {
            fail(makeURLError(NSURLErrorFileDoesNotExist, request->URL()));
            return;
        }
    }
    if (serveFromCache(request))
        return;
    startTransfer(request);
}

bool TaskDriver::serveFromCache(const Ref<NSURLRequest>& request)
{
    auto session = m_session;
    if (m_kind != Kind::Data || !session || request->HTTPMethod()->utf8() != "GET")
        return false;
    auto cache = session->sessionConfiguration()->URLCache();
    if (!cache)
        return false;
    auto policy = request->cachePolicy();
    if (policy == NSURLRequestUseProtocolCachePolicy)
        policy = session->sessionConfiguration()->requestCachePolicy();
    if (policy == NSURLRequestReloadIgnoringLocalCacheData || policy == NSURLRequestReloadIgnoringLocalAndRemoteCacheData
        || policy == NSURLRequestReloadRevalidatingCacheData)
        return false;
    auto cached = cache->cachedResponseForRequest(request);
    bool use = cached && (policy != NSURLRequestUseProtocolCachePolicy || isFresh(cached));
    if (!use) {
        if (policy == NSURLRequestReturnCacheDataDontLoad) {
            auto self = shared_from_this();
            auto error = makeURLError(NSURLErrorResourceUnavailable, request->URL());
            post({ .type = Event::Type::Invoke, .invoke = [self, error] { self->finish(error); } });
            return true;
        }
        return false;
    }
    m_fromCache = true;
    auto self = shared_from_this();
    auto response = cached->response();
    std::string body(cached->data()->view());
    post({ .type = Event::Type::Invoke, .invoke = [self, response] { self->deliverResponse(response); } });
    post({ .type = Event::Type::Invoke, .invoke = [self, body] { self->deliverData(body); } });
    post({ .type = Event::Type::Invoke, .invoke = [self] { self->finishSuccessfully(); } });
    return true;
}

TransportRequest TaskDriver::transportRequest(const Ref<NSURLRequest>& request)
{
    auto configuration = m_session ? m_session->sessionConfiguration() : NSURLSessionConfiguration::defaultSessionConfiguration();
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
    auto storage = configuration->HTTPCookieStorage();
    if (request->HTTPShouldHandleCookies() && configuration->HTTPShouldSetCookies() && storage && !findHeader(headers, "Cookie")) {
        auto fields = NSHTTPCookie::requestHeaderFieldsWithCookies(storage->cookiesForURL(request->URL()));
        if (auto cookie = dv::as<NSString>(fields->objectForKey("Cookie")))
            headers.emplace_back("Cookie", cookie->utf8());
    }
    if (m_kind == Kind::Download && m_resumeOffset > 0) {
        setHeader(headers, "Range", "bytes=" + std::to_string(m_resumeOffset) + "-");
        if (!m_resumeValidator.empty())
            setHeader(headers, "If-Range", m_resumeValidator);
    }
    out.headers = std::move(headers);

    double timeout = request->timeoutInterval();
    double limit = configuration->timeoutIntervalForRequest();
    if (timeout <= 0 || (limit > 0 && limit < timeout))
        timeout = limit;
    if (timeout <= 0)
        timeout = kDefaultURLRequestTimeout;
    out.idleTimeout = std::chrono::milliseconds(static_cast<long long>(timeout * 1000));

    auto self = shared_from_this();
    switch (m_bodySource) {
    case BodySource::None:
        break;
    case BodySource::Data:
        if (out.method == "GET" || out.method == "HEAD")
            break;
        out.body = std::make_shared<std::vector<std::uint8_t>>(m_uploadData ? m_uploadData->vector() : std::vector<std::uint8_t> {});
        break;
    case BodySource::File:
    case BodySource::Stream:
        out.bodyReader = [self](char* buffer, std::size_t capacity) { return self->readBody(buffer, capacity); };
        out.bodyLength = m_bodySource == BodySource::File ? (m_task.lock() ? m_task.lock()->countOfBytesExpectedToSend() : -1) : -1;
        if (m_bodySource == BodySource::Stream) {
            if (auto length = findHeader(out.headers, "Content-Length"))
                out.bodyLength = std::strtoll(length->c_str(), nullptr, 10);
            removeHeader(out.headers, "Content-Length");
        }
        break;
    }
    if (out.body || out.bodyReader)
        removeHeader(out.headers, "Content-Length");
    return out;
}

void TaskDriver::startTransfer(const Ref<NSURLRequest>& request)
{
    m_phase = Phase::Final;
    m_heldResponse = nullptr;
    m_heldBody.clear();
    m_responseDelivered = false;
    m_cacheBody.clear();
    m_trustFailureCode = 0;
    m_failedTrust = nullptr;
    if (m_uploadHandle)
        std::rewind(m_uploadHandle);

    auto session = m_session;
    if (!session) {
        auto self = shared_from_this();
        auto error = makeURLError(NSURLErrorCancelled, request->URL());
        post({ .type = Event::Type::Invoke, .invoke = [self, error] { self->finish(error); } });
        return;
    }
    TransportRequest transport = transportRequest(request);
    std::uint64_t serial;
    {
        std::lock_guard lock(m_mutex);
        serial = ++m_transferSerial;
        if (m_bodySource == BodySource::Stream && !m_bodyStreamAnswered && !m_bodyStreamAsked && m_kind != Kind::StreamedUpload
            && serial == 1) {
            // The request's own stream serves the first attempt; later attempts ask the delegate.
            m_bodyStream = request->HTTPBodyStream();
            m_bodyStreamAnswered = true;
            openBodyStream(m_bodyStream);
        }
    }

    Weak<TaskDriver> weak = weak_from_this();
    TransferCallbacks callbacks;
    callbacks.evaluateServerTrust = [weak, serial](const TrustQuestion& question, std::shared_ptr<TrustReply> reply) {
        auto self = weak.lock();
        if (!self) {
            reply->answer(false);
            return;
        }
        self->post({ .type = Event::Type::Trust, .trust = question, .trustReply = reply, .transfer = serial });
    };
    callbacks.sentBodyData = [weak, serial](std::int64_t sent, std::int64_t total, std::int64_t expected) {
        if (auto self = weak.lock())
            self->post({ .type = Event::Type::Sent, .sent = sent, .totalSent = total, .expectedToSend = expected, .transfer = serial });
    };
    callbacks.receivedResponse = [weak, serial](const TransportResponse& response) {
        if (auto self = weak.lock())
            self->post({ .type = Event::Type::Response, .response = response, .transfer = serial });
    };
    callbacks.receivedData = [weak, serial](const std::uint8_t* bytes, std::size_t length) {
        if (auto self = weak.lock())
            self->post({ .type = Event::Type::Data, .data = std::string(reinterpret_cast<const char*>(bytes), length), .transfer = serial });
    };
    callbacks.complete = [weak, serial](const TransportFailure& failure) {
        if (auto self = weak.lock())
            self->post({ .type = Event::Type::Complete, .failure = failure, .transfer = serial });
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
            std::lock_guard lock(self->m_mutex);
            if (self->m_cancelled || self->m_finished) {
                transfer = nullptr;
            } else {
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
    {
        std::lock_guard lock(m_mutex);
        host = std::exchange(m_slotHost, std::string());
    }
    auto session = m_session ? m_session : m_weakSession.lock();
    if (!host.empty() && session)
        session->releaseHostSlot(host);
}

long TaskDriver::readBody(char* buffer, std::size_t capacity)
{
    if (m_bodySource == BodySource::File) {
        if (!m_uploadHandle)
            return -1;
        std::size_t n = std::fread(buffer, 1, capacity, m_uploadHandle);
        return std::ferror(m_uploadHandle) ? -1 : static_cast<long>(n);
    }
    Ref<NSInputStream> stream;
    {
        std::unique_lock lock(m_mutex);
        if (!m_bodyStreamAnswered && !m_bodyStreamAsked) {
            m_bodyStreamAsked = true;
            lock.unlock();
            post({ .type = Event::Type::BodyStream });
            lock.lock();
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        if (!m_changed.wait_until(lock, deadline, [&] { return m_bodyStreamAnswered || m_cancelled || m_finished; }))
            return -1;
        if (m_cancelled || m_finished)
            return -1;
        stream = m_bodyStream;
    }
    return readBodyStream(stream, buffer, capacity);
}

// Handlers ---------------------------------------------------------------------------------------

void TaskDriver::handleSent(Event& event)
{
    auto task = m_task.lock();
    auto session = m_session;
    if (!task || !session)
        return;
    task->setCountOfBytesSent(event.totalSent);
    std::int64_t expected = task->countOfBytesExpectedToSend();
    id delegate = session->delegate();
    if (auto* taskDelegate = dynamic_cast<NSURLSessionTaskDelegate*>(delegate.get()); taskDelegate && !m_dataCompletion)
        taskDelegate->URLSession(session, task, event.sent, event.totalSent, expected);
}

void TaskDriver::handleResponse(Event& event)
{
    auto task = m_task.lock();
    auto session = m_session;
    if (!task || !session)
        return;
    auto url = task->currentRequest()->URL();
    if (url->absoluteUTF8() != event.response.url) {
        if (auto reported = NSURL::URLWithString(NSString::fromUTF8(event.response.url)))
            url = reported;
    }
    auto response = alloc<NSHTTPURLResponse>()->initWithURL(url, event.response.statusCode, event.response.headers);

    auto configuration = session->sessionConfiguration();
    auto storage = configuration->HTTPCookieStorage();
    auto request = task->currentRequest();
    if (storage && configuration->HTTPShouldSetCookies() && request->HTTPShouldHandleCookies()) {
        std::vector<std::string> lines;
        for (auto& [name, value] : event.response.headers) {
            if (headerNamesEqual(name, "Set-Cookie"))
                lines.push_back(value);
        }
        if (!lines.empty())
            storage->setCookies(NSHTTPCookie::cookiesWithSetCookieLines(lines, url), url, request->mainDocumentURL());
    }

    long status = event.response.statusCode;
    bool redirect = (status == 301 || status == 302 || status == 303 || status == 307 || status == 308)
        && event.response.header("Location").has_value();
    bool authenticate = (status == 401 && event.response.header("WWW-Authenticate").has_value())
        || (status == 407 && event.response.header("Proxy-Authenticate").has_value());
    m_heldBody.clear();
    if (redirect || authenticate) {
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
    auto session = m_session;
    if (!task || !session)
        return;
    m_responseDelivered = true;
    task->setResponse(response);
    auto http = dv::as<NSHTTPURLResponse>(response);
    std::int64_t expected = response->expectedContentLength();

    if (m_kind == Kind::Download) {
        m_validator.clear();
        if (http) {
            auto etag = findHeader(http->receivedFields(), "ETag");
            auto modified = findHeader(http->receivedFields(), "Last-Modified");
            m_validator = etag ? *etag : modified ? *modified : "";
            auto ranges = findHeader(http->receivedFields(), "Accept-Ranges");
            m_acceptsRanges = (ranges && lowercased(*ranges) == "bytes") || http->statusCode() == 206;
        }
        bool resuming = m_resumeOffset > 0 && http && http->statusCode() == 206;
        if (m_filePath.empty())
            m_filePath = temporaryDownloadPath();
        m_file = std::fopen(m_filePath.c_str(), resuming ? "ab" : "wb");
        if (!m_file) {
            finish(makeURLError(NSURLErrorCannotCreateFile, response->URL()));
            if (auto transfer = m_transfer)
                transfer->cancel();
            return;
        }
        std::int64_t offset = resuming ? m_resumeOffset : 0;
        m_written = offset;
        task->setCountOfBytesReceived(offset);
        task->setCountOfBytesExpectedToReceive(expected >= 0 ? expected + offset : NSURLSessionTransferSizeUnknown);
        if (m_resumeOffset > 0 && !m_downloadCompletion) {
            id delegate = session->delegate();
            if (auto* downloadDelegate = dynamic_cast<NSURLSessionDownloadDelegate*>(delegate.get()))
                downloadDelegate->URLSession(session, std::static_pointer_cast<NSURLSessionDownloadTask>(task), offset,
                    task->countOfBytesExpectedToReceive());
        }
        return;
    }

    task->setCountOfBytesExpectedToReceive(expected);
    auto request = task->currentRequest();
    auto cache = session->sessionConfiguration()->URLCache();
    auto control = http ? findHeader(http->receivedFields(), "Cache-Control") : std::nullopt;
    m_cacheable = !m_fromCache && cache && http && http->statusCode() == 200 && request->HTTPMethod()->utf8() == "GET"
        && request->cachePolicy() != NSURLRequestReloadIgnoringLocalAndRemoteCacheData
        && !(control && lowercased(*control).find("no-store") != std::string::npos);
    m_cacheBody.clear();

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
    waitForDelegate();
    bool implemented = dataDelegate->URLSession(session, std::static_pointer_cast<NSURLSessionDataTask>(task), response,
        std::function<void(NSURLSessionResponseDisposition)>([self, once](NSURLSessionResponseDisposition disposition) {
            if (once->exchange(true))
                return;
            if (disposition == NSURLSessionResponseCancel) {
                // Cancelling puts the cancellation first in line; nothing else is reported.
                if (auto task = self->m_task.lock())
                    task->cancel();
            }
            self->delegateAnswered();
        }));
    if (!implemented) {
        std::lock_guard lock(m_mutex);
        m_waiting = false;
    }
}

void TaskDriver::handleData(Event& event)
{
    std::shared_ptr<Transfer> transfer;
    {
        std::lock_guard lock(m_mutex);
        transfer = m_transfer;
    }
    if (m_phase != Phase::Final) {
        if (m_heldBody.size() < kHeldBodyLimit)
            m_heldBody.append(event.data, 0, std::min(event.data.size(), kHeldBodyLimit - m_heldBody.size()));
    } else {
        deliverData(event.data);
    }
    if (transfer && event.transfer == m_transferSerial)
        transfer->consumed(event.data.size());
}

void TaskDriver::deliverData(const std::string& bytes)
{
    auto task = m_task.lock();
    auto session = m_session;
    if (!task || !session || bytes.empty())
        return;
    if (m_kind == Kind::Download) {
        if (!m_file)
            return;
        if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
            auto url = task->currentRequest()->URL();
            finish(makeURLError(NSURLErrorCannotWriteToFile, url));
            if (auto transfer = m_transfer)
                transfer->cancel();
            return;
        }
        m_written += static_cast<std::int64_t>(bytes.size());
        task->setCountOfBytesReceived(m_written);
        if (!m_downloadCompletion) {
            id delegate = session->delegate();
            if (auto* downloadDelegate = dynamic_cast<NSURLSessionDownloadDelegate*>(delegate.get()))
                downloadDelegate->URLSession(session, std::static_pointer_cast<NSURLSessionDownloadTask>(task),
                    static_cast<std::int64_t>(bytes.size()), m_written, task->countOfBytesExpectedToReceive());
        }
        return;
    }
    task->setCountOfBytesReceived(task->countOfBytesReceived() + static_cast<std::int64_t>(bytes.size()));
    if (m_cacheable) {
        if (m_cacheBody.size() + bytes.size() <= kCacheBodyLimit)
            m_cacheBody += bytes;
        else
            m_cacheable = false;
    }
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

void TaskDriver::handleComplete(Event& event)
{
    auto task = m_task.lock();
    if (!task)
        return;
    {
        std::lock_guard lock(m_mutex);
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
        if (event.failure.error == TransportError::ServerCertificateRejected && m_trustFailureCode)
            code = m_trustFailureCode;
        bool certificate = code == NSURLErrorServerCertificateUntrusted || code == NSURLErrorServerCertificateHasBadDate
            || code == NSURLErrorServerCertificateNotYetValid;
        finish(makeURLError(code, url, certificate ? m_failedTrust : nullptr));
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
    auto session = m_session;
    if (!task || !session)
        return;
    if (m_kind == Kind::Download) {
        closeFile();
        if (m_filePath.empty()) {
            m_filePath = temporaryDownloadPath();
            if (std::FILE* empty = std::fopen(m_filePath.c_str(), "wb"))
                std::fclose(empty);
        }
        auto location = NSURL::fileURLWithPath(NSString::fromUTF8(m_filePath), false);
        if (m_downloadCompletion) {
            finish(nullptr);
            return;
        }
        id delegate = session->delegate();
        if (auto* downloadDelegate = dynamic_cast<NSURLSessionDownloadDelegate*>(delegate.get()))
            downloadDelegate->URLSession(session, std::static_pointer_cast<NSURLSessionDownloadTask>(task), location);
        std::error_code ignored;
        std::filesystem::remove(m_filePath, ignored);
        m_filePath.clear();
        finish(nullptr);
        return;
    }
    if (!m_cacheable || m_fromCache) {
        finish(nullptr);
        return;
    }
    auto proposed = alloc<NSCachedURLResponse>()->initWithResponse(task->response(), NSData::fromString(m_cacheBody), nil, NSURLCacheStorageAllowed);
    m_cacheBody.clear();
    id delegate = session->delegate();
    auto* dataDelegate = dynamic_cast<NSURLSessionDataDelegate*>(delegate.get());
    if (!dataDelegate || m_dataCompletion) {
        storeInCache(proposed);
        finish(nullptr);
        return;
    }
    auto self = shared_from_this();
    auto once = std::make_shared<std::atomic<bool>>(false);
    waitForDelegate();
    bool implemented = dataDelegate->URLSession(session, std::static_pointer_cast<NSURLSessionDataTask>(task), proposed,
        std::function<void(const Ref<NSCachedURLResponse>&)>([self, once](const Ref<NSCachedURLResponse>& answer) {
            if (once->exchange(true))
                return;
            self->post({ .type = Event::Type::Invoke, .invoke = [self, answer] {
                self->storeInCache(answer);
                self->finish(nullptr);
            } }, true);
            self->delegateAnswered();
        }));
    if (!implemented) {
        {
            std::lock_guard lock(m_mutex);
            m_waiting = false;
        }
        storeInCache(proposed);
        finish(nullptr);
    }
}

void TaskDriver::storeInCache(const Ref<NSCachedURLResponse>& cached)
{
    auto task = m_task.lock();
    auto session = m_session;
    if (!cached || !task || !session)
        return;
    if (auto cache = session->sessionConfiguration()->URLCache())
        cache->storeCachedResponse(cached, task->originalRequest());
}

Ref<NSData> TaskDriver::makeResumeData()
{
    auto task = m_task.lock();
    if (m_kind != Kind::Download || !task || m_filePath.empty() || m_written <= 0 || m_validator.empty() || !m_acceptsRanges
        || m_validator.find('\n') != std::string::npos)
        return nullptr;
    auto url = task->currentRequest()->URL()->absoluteString()->utf8();
    return NSData::fromString(encodeResumeData({ .url = url, .validator = m_validator, .offset = m_written, .path = m_filePath }));
}

void TaskDriver::closeFile()
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

void TaskDriver::finish(const Ref<NSError>& failure)
{
    auto task = m_task.lock();
    std::shared_ptr<Transfer> transfer;
    std::function<void(const Ref<NSData>&)> resumeHandler;
    {
        std::lock_guard lock(m_mutex);
        if (m_finished)
            return;
        m_finished = true;
        m_events.clear();
        m_waiting = false;
        transfer = std::move(m_transfer);
        resumeHandler = std::move(m_resumeDataHandler);
    }
    m_changed.notify_all();
    stopResourceTimer();
    if (transfer)
        transfer->cancel();
    releaseSlot();
    if (m_uploadHandle) {
        std::fclose(m_uploadHandle);
        m_uploadHandle = nullptr;
    }
    closeBodyStream(m_bodyStream);
    auto session = m_session ? m_session : m_weakSession.lock();
    if (!task)
        return;

    Ref<NSError> error = failure;
    Ref<NSURL> location;
    if (m_kind == Kind::Download) {
        closeFile();
        if (error) {
            auto resumeData = makeResumeData();
            if (resumeData) {
                auto info = NSMutableDictionary::dictionaryWithDictionary(error->userInfo());
                info->setObjectForKey(resumeData, NSURLSessionDownloadTaskResumeData);
                error = NSError::errorWithDomain(error->domain(), error->code(), info);
            } else if (!m_filePath.empty()) {
                std::error_code ignored;
                std::filesystem::remove(m_filePath, ignored);
            }
            if (resumeHandler)
                resumeHandler(resumeData);
        } else if (!m_filePath.empty()) {
            location = NSURL::fileURLWithPath(NSString::fromUTF8(m_filePath), false);
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
    if (location) {
        // A download handed to a completion handler is removed once the handler returns.
        std::error_code ignored;
        std::filesystem::remove(m_filePath, ignored);
        m_filePath.clear();
    }
    if (session)
        session->taskCompleted(task);
    m_session.reset();
}

} // namespace dv::internal
