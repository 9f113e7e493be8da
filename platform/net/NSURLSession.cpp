#include "platform/net/NSURLSession.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSException.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/internal/CurlTransport.h"
#include "platform/net/internal/TaskDriver.h"

DV_DEFINE_CLASS(NSURLSession)

using dv::internal::net::TaskDriver;

NSURLSession::~NSURLSession() = default;

Ref<NSURLSession> NSURLSession::sharedSession()
{
    static const Ref<NSURLSession> shared = dv::keepingForever([] {
        auto session = sessionWithConfiguration(NSURLSessionConfiguration::defaultSessionConfiguration(), nil, nil);
        session->m_shared = true;
        return session;
    });
    return shared;
}

Ref<NSURLSession> NSURLSession::sessionWithConfiguration(const Ref<NSURLSessionConfiguration>& configuration)
{
    return sessionWithConfiguration(configuration, nil, nil);
}

Ref<NSURLSession> NSURLSession::sessionWithConfiguration(const Ref<NSURLSessionConfiguration>& configuration, const id& delegate,
    const Ref<NSOperationQueue>& delegateQueue)
{
    auto session = alloc<NSURLSession>();
    auto config = configuration ? configuration : NSURLSessionConfiguration::defaultSessionConfiguration();
    session->m_configuration = std::static_pointer_cast<NSURLSessionConfiguration>(config->copy());
    {
        dv::MutexLocker lock(session->m_mutex);
        session->m_delegate = delegate;
    }
    session->m_queue = delegateQueue;
    if (!session->m_queue) {
        session->m_queue = alloc<NSOperationQueue>()->init();
        session->m_queue->setMaxConcurrentOperationCount(1);
    }
    session->m_pool = dv::internal::net::CurlTransport::shared().makePool();
    return session;
}

Ref<NSURLSessionConfiguration> NSURLSession::configuration() const
{
    return std::static_pointer_cast<NSURLSessionConfiguration>(m_configuration->copy());
}

id NSURLSession::delegate() const
{
    dv::MutexLocker lock(m_mutex);
    return m_delegate;
}

Ref<NSString> NSURLSession::sessionDescription() const
{
    dv::MutexLocker lock(m_mutex);
    return m_description;
}

void NSURLSession::setSessionDescription(const Ref<NSString>& description)
{
    dv::MutexLocker lock(m_mutex);
    m_description = dv::copyAs<NSString>(description);
}

template <class T>
Ref<T> NSURLSession::makeTask(const Ref<NSURLRequest>& request, std::function<void(TaskDriver&)> configure)
{
    TaskDriver::Kind kind = TaskDriver::Kind::Data;
    if constexpr (std::is_same_v<T, NSURLSessionUploadTask>)
        kind = TaskDriver::Kind::Upload;
    if constexpr (std::is_same_v<T, NSURLSessionDownloadTask>)
        kind = TaskDriver::Kind::Download;
    auto task = alloc<T>();
    auto driver = std::make_shared<TaskDriver>(kind);
    NSUInteger identifier;
    {
        dv::MutexLocker lock(m_mutex);
        if (m_invalidating)
            NSException::raise("NSGenericException", "Task created in a session that has been invalidated");
        identifier = m_nextIdentifier++;
    }
    auto frozen = request ? dv::copyAs<NSURLRequest>(request) : nullptr;
    task->setUp(identifier, frozen, self<NSURLSession>(), driver);
    if (configure)
        configure(*driver);
    driver->attach(task, self<NSURLSession>());
    dv::MutexLocker lock(m_mutex);
    m_tasks[identifier] = task;
    return task;
}

Ref<NSURLSessionDataTask> NSURLSession::dataTaskWithRequest(const Ref<NSURLRequest>& request)
{
    return makeTask<NSURLSessionDataTask>(request, {});
}

Ref<NSURLSessionDataTask> NSURLSession::dataTaskWithURL(const Ref<NSURL>& url)
{
    return dataTaskWithRequest(NSURLRequest::requestWithURL(url));
}

Ref<NSURLSessionDataTask> NSURLSession::dataTaskWithRequest(const Ref<NSURLRequest>& request, DataCompletion completionHandler)
{
    return makeTask<NSURLSessionDataTask>(request, [&](TaskDriver& d) { d.setDataCompletion(std::move(completionHandler)); });
}

Ref<NSURLSessionDataTask> NSURLSession::dataTaskWithURL(const Ref<NSURL>& url, DataCompletion completionHandler)
{
    return dataTaskWithRequest(NSURLRequest::requestWithURL(url), std::move(completionHandler));
}

Ref<NSURLSessionUploadTask> NSURLSession::uploadTaskWithRequestFromFile(const Ref<NSURLRequest>& request, const Ref<NSURL>& fileURL)
{
    return makeTask<NSURLSessionUploadTask>(request, [&](TaskDriver& d) { d.setUploadFile(fileURL); });
}

Ref<NSURLSessionUploadTask> NSURLSession::uploadTaskWithRequestFromFile(const Ref<NSURLRequest>& request, const Ref<NSURL>& fileURL,
    DataCompletion completionHandler)
{
    return makeTask<NSURLSessionUploadTask>(request, [&](TaskDriver& d) {
        d.setUploadFile(fileURL);
        d.setDataCompletion(std::move(completionHandler));
    });
}

Ref<NSURLSessionUploadTask> NSURLSession::uploadTaskWithRequestFromData(const Ref<NSURLRequest>& request, const Ref<NSData>& bodyData)
{
    return makeTask<NSURLSessionUploadTask>(request, [&](TaskDriver& d) { d.setUploadData(bodyData); });
}

Ref<NSURLSessionUploadTask> NSURLSession::uploadTaskWithRequestFromData(const Ref<NSURLRequest>& request, const Ref<NSData>& bodyData,
    DataCompletion completionHandler)
{
    return makeTask<NSURLSessionUploadTask>(request, [&](TaskDriver& d) {
        d.setUploadData(bodyData);
        d.setDataCompletion(std::move(completionHandler));
    });
}

Ref<NSURLSessionUploadTask> NSURLSession::uploadTaskWithStreamedRequest(const Ref<NSURLRequest>& request)
{
    auto task = alloc<NSURLSessionUploadTask>();
    auto driver = std::make_shared<TaskDriver>(TaskDriver::Kind::StreamedUpload);
    NSUInteger identifier;
    {
        dv::MutexLocker lock(m_mutex);
        if (m_invalidating)
            NSException::raise("NSGenericException", "Task created in a session that has been invalidated");
        identifier = m_nextIdentifier++;
    }
    task->setUp(identifier, request ? dv::copyAs<NSURLRequest>(request) : nullptr, self<NSURLSession>(), driver);
    driver->attach(task, self<NSURLSession>());
    dv::MutexLocker lock(m_mutex);
    m_tasks[identifier] = task;
    return task;
}

Ref<NSURLSessionDownloadTask> NSURLSession::downloadTaskWithRequest(const Ref<NSURLRequest>& request)
{
    return makeTask<NSURLSessionDownloadTask>(request, {});
}

Ref<NSURLSessionDownloadTask> NSURLSession::downloadTaskWithURL(const Ref<NSURL>& url)
{
    return downloadTaskWithRequest(NSURLRequest::requestWithURL(url));
}

Ref<NSURLSessionDownloadTask> NSURLSession::downloadTaskWithRequest(const Ref<NSURLRequest>& request, DownloadCompletion completionHandler)
{
    return makeTask<NSURLSessionDownloadTask>(request, [&](TaskDriver& d) { d.setDownloadCompletion(std::move(completionHandler)); });
}

namespace {

Ref<NSURLRequest> requestFromResumeData(const Ref<NSData>& data)
{
    if (!data)
        return nullptr;
    std::string text(data->view());
    auto first = text.find('\n');
    auto second = first == std::string::npos ? std::string::npos : text.find('\n', first + 1);
    if (second == std::string::npos)
        return nullptr;
    auto url = NSURL::URLWithString(NSString::fromUTF8(text.substr(first + 1, second - first - 1)));
    return url ? NSURLRequest::requestWithURL(url) : nullptr;
}

} // namespace

Ref<NSURLSessionDownloadTask> NSURLSession::downloadTaskWithResumeData(const Ref<NSData>& resumeData)
{
    return makeTask<NSURLSessionDownloadTask>(requestFromResumeData(resumeData), [&](TaskDriver& d) { d.setResumeData(resumeData); });
}

Ref<NSURLSessionDownloadTask> NSURLSession::downloadTaskWithResumeData(const Ref<NSData>& resumeData, DownloadCompletion completionHandler)
{
    return makeTask<NSURLSessionDownloadTask>(requestFromResumeData(resumeData), [&](TaskDriver& d) {
        d.setResumeData(resumeData);
        d.setDownloadCompletion(std::move(completionHandler));
    });
}

void NSURLSession::getTasksWithCompletionHandler(std::function<void(const Ref<NSArray>&, const Ref<NSArray>&, const Ref<NSArray>&)> completionHandler)
{
    if (!completionHandler)
        return;
    auto session = self<NSURLSession>();
    m_queue->addOperationWithBlock([session, completionHandler] {
        auto data = NSMutableArray::array();
        auto upload = NSMutableArray::array();
        auto download = NSMutableArray::array();
        {
            dv::MutexLocker lock(session->m_mutex);
            for (auto& [identifier, task] : session->m_tasks) {
                if (task->state() == NSURLSessionTaskStateCompleted)
                    continue;
                if (dv::as<NSURLSessionUploadTask>(task))
                    upload->addObject(task);
                else if (dv::as<NSURLSessionDataTask>(task))
                    data->addObject(task);
                else if (dv::as<NSURLSessionDownloadTask>(task))
                    download->addObject(task);
            }
        }
        completionHandler(data, upload, download);
    });
}

void NSURLSession::getAllTasksWithCompletionHandler(std::function<void(const Ref<NSArray>&)> completionHandler)
{
    if (!completionHandler)
        return;
    getTasksWithCompletionHandler([completionHandler](const Ref<NSArray>& data, const Ref<NSArray>& upload, const Ref<NSArray>& download) {
        auto all = NSMutableArray::arrayWithArray(data);
        for (NSUInteger i = 0; i < upload->count(); ++i)
            all->addObject(upload->objectAtIndex(i));
        for (NSUInteger i = 0; i < download->count(); ++i)
            all->addObject(download->objectAtIndex(i));
        completionHandler(all);
    });
}

void NSURLSession::taskStarted(const Ref<NSURLSessionTask>& task)
{
    dv::MutexLocker lock(m_mutex);
    m_started[task->taskIdentifier()] = true;
}

bool NSURLSession::acquireHostSlot(const std::string& host, std::function<void()> launch)
{
    dv::MutexLocker lock(m_mutex);
    NSInteger limit = m_configuration->HTTPMaximumConnectionsPerHost();
    auto& slots = m_hosts[host];
    if (limit <= 0 || slots.busy < limit) {
        ++slots.busy;
        return true;
    }
    slots.waiting.push_back(std::move(launch));
    return false;
}

void NSURLSession::releaseHostSlot(const std::string& host)
{
    std::function<void()> next;
    {
        dv::MutexLocker lock(m_mutex);
        auto found = m_hosts.find(host);
        if (found == m_hosts.end())
            return;
        auto& slots = found->second;
        if (!slots.waiting.empty()) {
            // The slot passes straight to the next waiting transfer.
            next = std::move(slots.waiting.front());
            slots.waiting.pop_front();
        } else if (--slots.busy <= 0) {
            m_hosts.erase(found);
        }
    }
    if (next)
        next();
}

void NSURLSession::taskCompleted(const Ref<NSURLSessionTask>& task)
{
    bool invalid = false;
    {
        dv::MutexLocker lock(m_mutex);
        m_tasks.erase(task->taskIdentifier());
        m_started.erase(task->taskIdentifier());
        invalid = becomeInvalidIfDoneLocked();
    }
    if (invalid)
        announceInvalidation();
}

bool NSURLSession::becomeInvalidIfDoneLocked()
{
    if (!m_invalidating || m_invalidated)
        return false;
    for (auto& [identifier, task] : m_tasks) {
        if (m_started.count(identifier))
            return false;
    }
    m_invalidated = true;
    return true;
}

void NSURLSession::announceInvalidation()
{
    auto session = self<NSURLSession>();
    // The delegate learns of the end on its queue after every task's completion, and is then let go.
    m_queue->addOperationWithBlock([session] {
        id delegate;
        {
            dv::MutexLocker lock(session->m_mutex);
            delegate = session->m_delegate;
        }
        if (auto* sessionDelegate = dynamic_cast<NSURLSessionDelegate*>(delegate.get())) {
            Ref<NSError> none;
            sessionDelegate->URLSession(session, none);
        }
        dv::MutexLocker lock(session->m_mutex);
        session->m_delegate = nullptr;
    });
}

void NSURLSession::finishTasksAndInvalidate()
{
    bool invalid = false;
    {
        dv::MutexLocker lock(m_mutex);
        if (m_shared || m_invalidating)
            return;
        m_invalidating = true;
        invalid = becomeInvalidIfDoneLocked();
    }
    if (invalid)
        announceInvalidation();
}

void NSURLSession::invalidateAndCancel()
{
    std::vector<Ref<NSURLSessionTask>> tasks;
    {
        dv::MutexLocker lock(m_mutex);
        if (m_shared || m_invalidating)
            return;
        m_invalidating = true;
        for (auto& [identifier, task] : m_tasks)
            tasks.push_back(task);
    }
    for (auto& task : tasks)
        task->cancel();
    bool invalid = false;
    {
        dv::MutexLocker lock(m_mutex);
        invalid = becomeInvalidIfDoneLocked();
    }
    if (invalid)
        announceInvalidation();
}

Ref<NSString> NSURLSession::description() const
{
    return NSString::stringWithFormat("<%@: %p>", className(), this);
}
