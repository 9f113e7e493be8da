#include "platform/net/NSURLSessionTask.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLResponse.h"
#include "platform/net/internal/TaskDriver.h"

#include <map>

DV_DEFINE_CLASS(NSURLSessionTask)
DV_DEFINE_CLASS(NSURLSessionDataTask)
DV_DEFINE_CLASS(NSURLSessionUploadTask)
DV_DEFINE_CLASS(NSURLSessionDownloadTask)

const float NSURLSessionTaskPriorityDefault = 0.5f;
const float NSURLSessionTaskPriorityLow = 0.25f;
const float NSURLSessionTaskPriorityHigh = 0.75f;

namespace {

struct StateHooks {
    dv::Mutex mutex;
    std::map<std::uint64_t, NSURLSessionTask::StateHook> table DV_GUARDED_BY(mutex);
    std::uint64_t next DV_GUARDED_BY(mutex) = 1;
};

StateHooks& stateHooks()
{
    static StateHooks* const hooks = new StateHooks; // kept for the process
    return *hooks;
}

} // namespace

NSURLSessionTask::~NSURLSessionTask() = default;

void NSURLSessionTask::setUp(NSUInteger identifier, const Ref<NSURLRequest>& request, const Ref<NSURLSession>& session,
    std::shared_ptr<dv::internal::net::TaskDriver> driver)
{
    m_identifier = identifier;
    m_originalRequest = request;
    {
        dv::MutexLocker lock(m_mutex);
        m_currentRequest = request;
    }
    m_session = session;
    m_driver = std::move(driver);
}

Ref<NSURLRequest> NSURLSessionTask::currentRequest() const
{
    dv::MutexLocker lock(m_mutex);
    return m_currentRequest;
}

Ref<NSURLResponse> NSURLSessionTask::response() const
{
    dv::MutexLocker lock(m_mutex);
    return m_response;
}

Ref<NSString> NSURLSessionTask::taskDescription() const
{
    dv::MutexLocker lock(m_mutex);
    return m_description;
}

void NSURLSessionTask::setTaskDescription(const Ref<NSString>& description)
{
    dv::MutexLocker lock(m_mutex);
    m_description = dv::copyAs<NSString>(description);
}

Ref<NSError> NSURLSessionTask::error() const
{
    dv::MutexLocker lock(m_mutex);
    return m_error;
}

void NSURLSessionTask::setCurrentRequest(const Ref<NSURLRequest>& request)
{
    dv::MutexLocker lock(m_mutex);
    m_currentRequest = request;
}

void NSURLSessionTask::setResponse(const Ref<NSURLResponse>& response)
{
    changeValueForKey("response", [&] {
        dv::MutexLocker lock(m_mutex);
        m_response = response;
    });
}

void NSURLSessionTask::setError(const Ref<NSError>& error)
{
    dv::MutexLocker lock(m_mutex);
    m_error = error;
}

void NSURLSessionTask::setState(NSURLSessionTaskState state)
{
    if (m_state.load() != state)
        changeValueForKey("state", [&] { m_state = state; });
}

void NSURLSessionTask::setCountOfBytesReceived(std::int64_t value)
{
    if (m_received.load() != value)
        changeValueForKey("countOfBytesReceived", [&] { m_received = value; });
}

void NSURLSessionTask::setCountOfBytesSent(std::int64_t value)
{
    if (m_sent.load() != value)
        changeValueForKey("countOfBytesSent", [&] { m_sent = value; });
}

void NSURLSessionTask::setCountOfBytesExpectedToSend(std::int64_t value)
{
    if (m_expectedToSend.load() != value)
        changeValueForKey("countOfBytesExpectedToSend", [&] { m_expectedToSend = value; });
}

void NSURLSessionTask::setCountOfBytesExpectedToReceive(std::int64_t value)
{
    if (m_expectedToReceive.load() != value)
        changeValueForKey("countOfBytesExpectedToReceive", [&] { m_expectedToReceive = value; });
}

id NSURLSessionTask::observedValueForKeyPath(std::string_view keyPath) const
{
    if (keyPath == "countOfBytesReceived")
        return NSNumber::numberWithLongLong(countOfBytesReceived());
    if (keyPath == "countOfBytesSent")
        return NSNumber::numberWithLongLong(countOfBytesSent());
    if (keyPath == "countOfBytesExpectedToSend")
        return NSNumber::numberWithLongLong(countOfBytesExpectedToSend());
    if (keyPath == "countOfBytesExpectedToReceive")
        return NSNumber::numberWithLongLong(countOfBytesExpectedToReceive());
    if (keyPath == "state")
        return NSNumber::numberWithInteger(state());
    if (keyPath == "response")
        return response();
    return nullptr;
}

void NSURLSessionTask::resume()
{
    auto before = state();
    // The hooks run before the transfer starts: once it has, the task may end on the delegate
    // queue before this thread goes on, and those that follow the task by its hooks would hear of
    // its resume after its end, or not at all.
    bool told = false;
    auto tell = [&] {
        told = true;
        runStateHooks(StateCall::Resume, before);
    };
    if (m_driver)
        m_driver->resume(tell);
    if (!told)
        runStateHooks(StateCall::Resume, before);
}

void NSURLSessionTask::suspend()
{
    auto before = state();
    if (m_driver)
        m_driver->suspend();
    runStateHooks(StateCall::Suspend, before);
}

void NSURLSessionTask::cancel()
{
    if (m_driver)
        m_driver->cancel(nullptr);
}

void NSURLSessionDownloadTask::cancelByProducingResumeData(std::function<void(const Ref<NSData>& resumeData)> completionHandler)
{
    if (driver())
        driver()->cancel(std::move(completionHandler));
}

std::uint64_t NSURLSessionTask::addStateHook(StateHook hook)
{
    auto& hooks = stateHooks();
    dv::MutexLocker lock(hooks.mutex);
    auto token = hooks.next++;
    hooks.table.emplace(token, std::move(hook));
    return token;
}

void NSURLSessionTask::removeStateHook(std::uint64_t token)
{
    auto& hooks = stateHooks();
    dv::MutexLocker lock(hooks.mutex);
    hooks.table.erase(token);
}

void NSURLSessionTask::runStateHooks(StateCall call, NSURLSessionTaskState before)
{
    std::vector<StateHook> current;
    {
        auto& hooks = stateHooks();
        dv::MutexLocker lock(hooks.mutex);
        for (auto& [token, hook] : hooks.table)
            current.push_back(hook);
    }
    auto me = self<NSURLSessionTask>();
    for (auto& hook : current)
        hook(me, call, before);
}

Ref<NSString> NSURLSessionTask::description() const
{
    return NSString::stringWithFormat("<%@: %p>{ taskIdentifier: %lu } { %@ }", className(), this,
        static_cast<unsigned long>(m_identifier), state() == NSURLSessionTaskStateCompleted ? "completed"_ns : state() == NSURLSessionTaskStateRunning ? "running"_ns : state() == NSURLSessionTaskStateCanceling ? "canceling"_ns : "suspended"_ns);
}

id NSURLSessionTask::copyWithZone(NSZone*) const
{
    return std::const_pointer_cast<NSObject>(shared_from_this());
}
