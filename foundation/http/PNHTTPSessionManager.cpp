#include "foundation/http/PNHTTPSessionManager.h"

#include "foundation/http/PNHTTPResponseSerializer.h"
#include "foundation/http/PNJSONResponseSerializer.h"
#include "foundation/http/PNSecurityPolicy.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/NSOperationQueue.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLSession.h"
#include "platform/net/NSURLSessionConfiguration.h"
#include "platform/net/NSURLSessionTask.h"

DV_DEFINE_CLASS(PNHTTPSessionManager)

Ref<PNHTTPSessionManager> PNHTTPSessionManager::init()
{
    return initWithBaseURL(nil);
}

Ref<PNHTTPSessionManager> PNHTTPSessionManager::initWithBaseURL(const Ref<NSURL>& url)
{
    return initWithBaseURL(url, nil);
}

Ref<PNURLSessionManager> PNHTTPSessionManager::initWithSessionConfiguration(const Ref<NSURLSessionConfiguration>& configuration)
{
    return initWithBaseURL(nil, configuration);
}

Ref<PNHTTPSessionManager> PNHTTPSessionManager::initWithBaseURL(const Ref<NSURL>& url, const Ref<NSURLSessionConfiguration>& configuration)
{
    PNURLSessionManager::initWithSessionConfiguration(configuration);
    Ref<NSURL> base = url;
    if (base && base->path() && base->path()->length() > 0 && base->absoluteString() && !base->absoluteString()->hasSuffix("/"_ns))
        base = base->URLByAppendingPathComponent(""_ns);
    m_baseURL = base;
    setRequestSerializer(PNHTTPRequestSerializer::serializer());
    setResponseSerializer(PNJSONResponseSerializer::serializer());
    return self<PNHTTPSessionManager>();
}

Ref<PNHTTPSessionManager> PNHTTPSessionManager::manager()
{
    return alloc<PNHTTPSessionManager>()->initWithBaseURL(nil);
}

Ref<PNHTTPRequestSerializer> PNHTTPSessionManager::requestSerializer() const
{
    dv::MutexLocker lock(m_serializerMutex);
    return m_requestSerializer;
}

void PNHTTPSessionManager::setRequestSerializer(const Ref<PNHTTPRequestSerializer>& serializer)
{
    dv::MutexLocker lock(m_serializerMutex);
    m_requestSerializer = serializer;
}

Ref<PNHTTPResponseSerializer> PNHTTPSessionManager::HTTPResponseSerializer() const
{
    return dv::as<PNHTTPResponseSerializer>(responseSerializer());
}

Ref<NSString> PNHTTPSessionManager::resolvedURLString(const Ref<NSString>& URLString) const
{
    auto url = URLString ? NSURL::URLWithString(URLString, m_baseURL) : nil;
    return url ? url->absoluteString() : nil;
}

namespace {

// The completion of a task made for a verb: the success or the failure block, each given the
// task itself, which exists only once its factory has returned (the slot is filled after).
PNURLSessionManager::CompletionHandler completionCalling(const std::shared_ptr<Weak<NSURLSessionDataTask>>& taskSlot,
    PNHTTPSessionManager::SuccessBlock success, PNHTTPSessionManager::FailureBlock failure)
{
    return [taskSlot, success = std::move(success), failure = std::move(failure)](const Ref<NSURLResponse>&, const id& responseObject,
               const Ref<NSError>& error) {
        auto task = taskSlot->lock();
        if (error) {
            if (failure)
                failure(task, error);
        } else if (success) {
            success(task, responseObject);
        }
    };
}

Ref<NSURLSessionDataTask> resumed(const Ref<NSURLSessionDataTask>& task)
{
    if (task)
        task->resume();
    return task;
}

} // namespace

void PNHTTPSessionManager::failLater(FailureBlock failure, const Ref<NSError>& error)
{
    if (!failure)
        return;
    auto queue = completionQueue();
    dispatch_async(queue ? queue : dispatch_get_main_queue(), [failure, error] { failure(nil, error); });
}

Ref<NSURLSessionDataTask> PNHTTPSessionManager::dataTaskWithHTTPMethod(const Ref<NSString>& method, const Ref<NSString>& URLString,
    const id& parameters, ProgressBlock uploadProgress, ProgressBlock downloadProgress, SuccessBlock success, FailureBlock failure)
{
    Ref<NSError> serializationError;
    auto request = requestSerializer()->requestWithMethod(method, resolvedURLString(URLString), parameters, &serializationError);
    if (serializationError) {
        failLater(std::move(failure), serializationError);
        return nil;
    }

    auto taskSlot = std::make_shared<Weak<NSURLSessionDataTask>>();
    auto task = dataTaskWithRequest(request, std::move(uploadProgress), std::move(downloadProgress),
        completionCalling(taskSlot, std::move(success), std::move(failure)));
    *taskSlot = task;
    return task;
}

Ref<NSURLSessionDataTask> PNHTTPSessionManager::GET(const Ref<NSString>& URLString, const id& parameters, SuccessBlock success, FailureBlock failure)
{
    return GET(URLString, parameters, {}, std::move(success), std::move(failure));
}

Ref<NSURLSessionDataTask> PNHTTPSessionManager::GET(const Ref<NSString>& URLString, const id& parameters, ProgressBlock downloadProgress,
    SuccessBlock success, FailureBlock failure)
{
    return resumed(dataTaskWithHTTPMethod("GET"_ns, URLString, parameters, {}, std::move(downloadProgress), std::move(success), std::move(failure)));
}

Ref<NSURLSessionDataTask> PNHTTPSessionManager::HEAD(const Ref<NSString>& URLString, const id& parameters, TaskOnlySuccessBlock success,
    FailureBlock failure)
{
    SuccessBlock dropObject;
    if (success)
        dropObject = [success = std::move(success)](const Ref<NSURLSessionDataTask>& task, const id&) { success(task); };
    return resumed(dataTaskWithHTTPMethod("HEAD"_ns, URLString, parameters, {}, {}, std::move(dropObject), std::move(failure)));
}

Ref<NSURLSessionDataTask> PNHTTPSessionManager::POST(const Ref<NSString>& URLString, const id& parameters, SuccessBlock success, FailureBlock failure)
{
    return POST(URLString, parameters, ProgressBlock {}, std::move(success), std::move(failure));
}

Ref<NSURLSessionDataTask> PNHTTPSessionManager::POST(const Ref<NSString>& URLString, const id& parameters, ProgressBlock uploadProgress,
    SuccessBlock success, FailureBlock failure)
{
    return resumed(dataTaskWithHTTPMethod("POST"_ns, URLString, parameters, std::move(uploadProgress), {}, std::move(success), std::move(failure)));
}

Ref<NSURLSessionDataTask> PNHTTPSessionManager::POST(const Ref<NSString>& URLString, const id& parameters, ConstructingBodyBlock block,
    SuccessBlock success, FailureBlock failure)
{
    return POST(URLString, parameters, std::move(block), ProgressBlock {}, std::move(success), std::move(failure));
}

Ref<NSURLSessionDataTask> PNHTTPSessionManager::POST(const Ref<NSString>& URLString, const id& parameters, ConstructingBodyBlock block,
    ProgressBlock uploadProgress, SuccessBlock success, FailureBlock failure)
{
    Ref<NSError> serializationError;
    auto request = requestSerializer()->multipartFormRequestWithMethod("POST"_ns, resolvedURLString(URLString), parameters, block,
        &serializationError);
    if (serializationError) {
        failLater(std::move(failure), serializationError);
        return nil;
    }

    auto taskSlot = std::make_shared<Weak<NSURLSessionDataTask>>();
    Ref<NSURLSessionDataTask> task = uploadTaskWithStreamedRequest(request, std::move(uploadProgress),
        completionCalling(taskSlot, std::move(success), std::move(failure)));
    *taskSlot = task;
    return resumed(task);
}

Ref<NSURLSessionDataTask> PNHTTPSessionManager::PUT(const Ref<NSString>& URLString, const id& parameters, SuccessBlock success, FailureBlock failure)
{
    return resumed(dataTaskWithHTTPMethod("PUT"_ns, URLString, parameters, {}, {}, std::move(success), std::move(failure)));
}

Ref<NSURLSessionDataTask> PNHTTPSessionManager::PATCH(const Ref<NSString>& URLString, const id& parameters, SuccessBlock success, FailureBlock failure)
{
    return resumed(dataTaskWithHTTPMethod("PATCH"_ns, URLString, parameters, {}, {}, std::move(success), std::move(failure)));
}

Ref<NSURLSessionDataTask> PNHTTPSessionManager::DELETE(const Ref<NSString>& URLString, const id& parameters, SuccessBlock success, FailureBlock failure)
{
    return resumed(dataTaskWithHTTPMethod("DELETE"_ns, URLString, parameters, {}, {}, std::move(success), std::move(failure)));
}

Ref<NSString> PNHTTPSessionManager::description() const
{
    return NSString::stringWithFormat("<%@: %p, baseURL: %@, session: %@, operationQueue: %@>", className(), this,
        m_baseURL ? m_baseURL->absoluteString() : nil, session(), operationQueue());
}

void PNHTTPSessionManager::encodeWithCoder(NSCoder& coder) const
{
    PNURLSessionManager::encodeWithCoder(coder);
    coder.encodeObject(m_baseURL, "baseURL"_ns);
    auto configuration = session()->configuration();
    if (dynamic_cast<NSCoding*>(configuration.get()))
        coder.encodeObject(configuration, "sessionConfiguration"_ns);
    else
        coder.encodeObject(configuration->identifier(), "identifier"_ns);
    coder.encodeObject(requestSerializer(), "requestSerializer"_ns);
    coder.encodeObject(responseSerializer(), "responseSerializer"_ns);
    coder.encodeObject(securityPolicy(), "securityPolicy"_ns);
}

id PNHTTPSessionManager::initWithCoder(NSCoder& coder)
{
    auto url = coder.decodeObjectOfClass<NSURL>("baseURL"_ns);
    auto configuration = coder.decodeObjectOfClass<NSURLSessionConfiguration>("sessionConfiguration"_ns);
    if (!configuration) {
        if (auto identifier = coder.decodeObjectOfClass<NSString>("identifier"_ns))
            configuration = NSURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(identifier);
    }
    initWithBaseURL(url, configuration);
    setRequestSerializer(dv::as<PNHTTPRequestSerializer>(coder.decodeObjectOfClass(PNHTTPRequestSerializer::class_(), "requestSerializer"_ns)));
    setResponseSerializer(dv::as<PNHTTPResponseSerializer>(coder.decodeObjectOfClass(PNHTTPResponseSerializer::class_(), "responseSerializer"_ns)));
    if (auto policy = dv::as<PNSecurityPolicy>(coder.decodeObjectOfClass(PNSecurityPolicy::class_(), "securityPolicy"_ns)))
        setSecurityPolicy(policy);
    return self<PNHTTPSessionManager>();
}

id PNHTTPSessionManager::copyWithZone(NSZone*) const
{
    auto copy = std::dynamic_pointer_cast<PNHTTPSessionManager>(getClass()->createInstance());
    copy->initWithBaseURL(m_baseURL, session()->configuration());
    copy->setRequestSerializer(dv::copyAs<PNHTTPRequestSerializer>(requestSerializer()));
    copy->setResponseSerializer(dv::as<NSObject>(responseSerializer() ? responseSerializer()->copy() : nil));
    copy->setSecurityPolicy(dv::copyAs<PNSecurityPolicy>(securityPolicy()));
    return copy;
}
