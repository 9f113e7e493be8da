// PNHTTPSessionManager: a session manager with a base URL, a request serialiser and one operation
// per HTTP verb. Each verb builds its request on the caller's thread, makes a data task (a
// streamed upload task for multipart POST), resumes it and reports through exactly one of its
// blocks, on the completion queue (the main queue unless one is set), after the response
// serialiser has validated and parsed the reply.
//
//   auto manager = PNHTTPSessionManager::manager();
//   manager->requestSerializer()->setTimeoutInterval(10);
//   manager->POST("http://example.com/api/login"_ns, params, {}, success, failure);
#pragma once

#include "foundation/http/PNHTTPRequestSerializer.h"
#include "foundation/http/PNURLSessionManager.h"
#include "platform/base/Mutex.h"

class PNHTTPResponseSerializer;

class PNHTTPSessionManager : public PNURLSessionManager {
    DV_CLASS(PNHTTPSessionManager, PNURLSessionManager)

public:
    using SuccessBlock = std::function<void(const Ref<NSURLSessionDataTask>& task, const id& responseObject)>;
    using TaskOnlySuccessBlock = std::function<void(const Ref<NSURLSessionDataTask>& task)>;
    // The task is nil when the request could not be built.
    using FailureBlock = std::function<void(const Ref<NSURLSessionDataTask>& task, const Ref<NSError>& error)>;
    using ConstructingBodyBlock = PNHTTPRequestSerializer::ConstructingBodyBlock;

    PNHTTPSessionManager() = default;
    Ref<PNHTTPSessionManager> init();
    Ref<PNHTTPSessionManager> initWithBaseURL(const Ref<NSURL>& url);
    Ref<PNURLSessionManager> initWithSessionConfiguration(const Ref<NSURLSessionConfiguration>& configuration) override;
    // A base URL with a path gets a trailing "/" so relative strings resolve beneath it.
    Ref<PNHTTPSessionManager> initWithBaseURL(const Ref<NSURL>& url, const Ref<NSURLSessionConfiguration>& configuration);

    // A new manager without base URL over a new session of the default configuration.
    static Ref<PNHTTPSessionManager> manager();

    Ref<NSURL> baseURL() const { return m_baseURL; }
    // Stored as given (no slash added).
    void setBaseURL(const Ref<NSURL>& url) { m_baseURL = url; }
    Ref<PNHTTPRequestSerializer> requestSerializer() const;
    void setRequestSerializer(const Ref<PNHTTPRequestSerializer>& serializer);
    Ref<PNHTTPResponseSerializer> HTTPResponseSerializer() const;

    Ref<NSURLSessionDataTask> GET(const Ref<NSString>& URLString, const id& parameters, SuccessBlock success, FailureBlock failure);
    Ref<NSURLSessionDataTask> GET(const Ref<NSString>& URLString, const id& parameters, ProgressBlock downloadProgress,
        SuccessBlock success, FailureBlock failure);
    Ref<NSURLSessionDataTask> HEAD(const Ref<NSString>& URLString, const id& parameters, TaskOnlySuccessBlock success, FailureBlock failure);
    Ref<NSURLSessionDataTask> POST(const Ref<NSString>& URLString, const id& parameters, SuccessBlock success, FailureBlock failure);
    Ref<NSURLSessionDataTask> POST(const Ref<NSString>& URLString, const id& parameters, ProgressBlock uploadProgress,
        SuccessBlock success, FailureBlock failure);
    Ref<NSURLSessionDataTask> POST(const Ref<NSString>& URLString, const id& parameters, ConstructingBodyBlock block,
        SuccessBlock success, FailureBlock failure);
    // Multipart: one text part per parameter, then the parts the block appends (on this thread).
    Ref<NSURLSessionDataTask> POST(const Ref<NSString>& URLString, const id& parameters, ConstructingBodyBlock block,
        ProgressBlock uploadProgress, SuccessBlock success, FailureBlock failure);
    Ref<NSURLSessionDataTask> PUT(const Ref<NSString>& URLString, const id& parameters, SuccessBlock success, FailureBlock failure);
    Ref<NSURLSessionDataTask> PATCH(const Ref<NSString>& URLString, const id& parameters, SuccessBlock success, FailureBlock failure);
    Ref<NSURLSessionDataTask> DELETE(const Ref<NSString>& URLString, const id& parameters, SuccessBlock success, FailureBlock failure);

    // The builder behind every verb: the task, not resumed, or nil (failure then follows later,
    // on the completion queue, with a nil task).
    Ref<NSURLSessionDataTask> dataTaskWithHTTPMethod(const Ref<NSString>& method, const Ref<NSString>& URLString, const id& parameters,
        ProgressBlock uploadProgress, ProgressBlock downloadProgress, SuccessBlock success, FailureBlock failure);

    Ref<NSString> description() const override;

    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;
    id copyWithZone(NSZone* zone) const override;

private:
    Ref<NSString> resolvedURLString(const Ref<NSString>& URLString) const;
    void failLater(FailureBlock failure, const Ref<NSError>& error);

    Ref<NSURL> m_baseURL;
    mutable dv::Mutex m_serializerMutex;
    Ref<PNHTTPRequestSerializer> m_requestSerializer DV_GUARDED_BY(m_serializerMutex);
};
