// The delegate protocols of URL sessions. A session's delegate is any object that derives from
// the protocols it adopts; the session finds them by dynamic cast. Every method is optional: a
// method that answers false (the default) counts as not implemented, and the session then does
// what the platform does without it. A method given a completion handler must call it exactly
// once, now or later, from any thread.
//
// All calls come on the session's delegate queue, one at a time, in this order for a task:
// server-trust challenge (session level, else task level); new body stream; sent body data;
// redirection; authentication challenge for 401/407 (task level); response; data (or download
// progress and finished download); will-cache; completion, exactly once and last.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/net/NSURLAuthenticationChallenge.h"

#include <functional>

class NSCachedURLResponse;
class NSHTTPURLResponse;
class NSInputStream;
class NSURLCredential;
class NSURLRequest;
class NSURLResponse;
class NSURLSession;
class NSURLSessionDataTask;
class NSURLSessionDownloadTask;
class NSURLSessionTask;

// Cancel ends the task with NSURLErrorCancelled; Allow goes on. BecomeDownload and BecomeStream
// are not offered here and go on as Allow.
enum NSURLSessionResponseDisposition : NSInteger {
    NSURLSessionResponseCancel = 0,
    NSURLSessionResponseAllow = 1,
    NSURLSessionResponseBecomeDownload = 2,
    NSURLSessionResponseBecomeStream = 3,
};

using NSURLSessionChallengeCompletion = std::function<void(NSURLSessionAuthChallengeDisposition, const Ref<NSURLCredential>&)>;

class NSURLSessionDelegate {
public:
    virtual ~NSURLSessionDelegate() = default;
    // URLSession:didBecomeInvalidWithError:
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSError>&) { return false; }
    // URLSession:didReceiveChallenge:completionHandler: (session-level: server trust)
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLAuthenticationChallenge>&, NSURLSessionChallengeCompletion) { return false; }
    virtual bool URLSessionDidFinishEventsForBackgroundURLSession(const Ref<NSURLSession>&) { return false; }
};

class NSURLSessionTaskDelegate : public virtual NSURLSessionDelegate {
public:
    // URLSession:task:willPerformHTTPRedirection:newRequest:completionHandler: (nil: do not follow)
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&, const Ref<NSHTTPURLResponse>&,
        const Ref<NSURLRequest>&, std::function<void(const Ref<NSURLRequest>&)>) { return false; }
    // URLSession:task:didReceiveChallenge:completionHandler:
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&, const Ref<NSURLAuthenticationChallenge>&,
        NSURLSessionChallengeCompletion) { return false; }
    // URLSession:task:needNewBodyStream:
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&, std::function<void(const Ref<NSInputStream>&)>) { return false; }
    // URLSession:task:didSendBodyData:totalBytesSent:totalBytesExpectedToSend:
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&, std::int64_t, std::int64_t, std::int64_t) { return false; }
    // URLSession:task:didCompleteWithError:
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionTask>&, const Ref<NSError>&) { return false; }
    using NSURLSessionDelegate::URLSession;
};

class NSURLSessionDataDelegate : public virtual NSURLSessionTaskDelegate {
public:
    // URLSession:dataTask:didReceiveResponse:completionHandler:
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>&, const Ref<NSURLResponse>&,
        std::function<void(NSURLSessionResponseDisposition)>) { return false; }
    // URLSession:dataTask:didBecomeDownloadTask:
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>&, const Ref<NSURLSessionDownloadTask>&) { return false; }
    // URLSession:dataTask:didReceiveData:
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>&, const Ref<NSData>&) { return false; }
    // URLSession:dataTask:willCacheResponse:completionHandler: (nil: store nothing)
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDataTask>&, const Ref<NSCachedURLResponse>&,
        std::function<void(const Ref<NSCachedURLResponse>&)>) { return false; }
    using NSURLSessionTaskDelegate::URLSession;
};

class NSURLSessionDownloadDelegate : public virtual NSURLSessionTaskDelegate {
public:
    // URLSession:downloadTask:didFinishDownloadingToURL: (the file is removed when this returns)
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDownloadTask>&, const Ref<NSURL>&) { return false; }
    // URLSession:downloadTask:didWriteData:totalBytesWritten:totalBytesExpectedToWrite:
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDownloadTask>&, std::int64_t, std::int64_t, std::int64_t) { return false; }
    // URLSession:downloadTask:didResumeAtOffset:expectedTotalBytes:
    virtual bool URLSession(const Ref<NSURLSession>&, const Ref<NSURLSessionDownloadTask>&, std::int64_t, std::int64_t) { return false; }
    using NSURLSessionTaskDelegate::URLSession;
};
