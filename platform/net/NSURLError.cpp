#include "platform/net/NSURLError.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/SecTrust.h"

const Ref<NSString> NSURLErrorDomain = "NSURLErrorDomain"_ns;
const Ref<NSString> NSURLErrorFailingURLErrorKey = "NSErrorFailingURLKey"_ns;
const Ref<NSString> NSURLErrorFailingURLStringErrorKey = "NSErrorFailingURLStringKey"_ns;
const Ref<NSString> NSURLErrorFailingURLPeerTrustErrorKey = "NSURLErrorFailingURLPeerTrustErrorKey"_ns;
const Ref<NSString> NSURLErrorBackgroundTaskCancelledReasonKey = "NSURLErrorBackgroundTaskCancelledReasonKey"_ns;
const Ref<NSString> NSURLSessionDownloadTaskResumeData = "NSURLSessionDownloadTaskResumeData"_ns;

namespace dv {

Ref<NSString> URLErrorDescription(NSInteger code, const Ref<NSURL>& failingURL)
{
    switch (code) {
    case NSURLErrorCancelled:
        return "cancelled"_ns;
    case NSURLErrorBadURL:
        return "bad URL"_ns;
    case NSURLErrorTimedOut:
        return "The request timed out."_ns;
    case NSURLErrorUnsupportedURL:
        return "unsupported URL"_ns;
    case NSURLErrorCannotFindHost:
        return "A server with the specified hostname could not be found."_ns;
    case NSURLErrorCannotConnectToHost:
        return "Could not connect to the server."_ns;
    case NSURLErrorNetworkConnectionLost:
        return "The network connection was lost."_ns;
    case NSURLErrorHTTPTooManyRedirects:
        return "too many HTTP redirects"_ns;
    case NSURLErrorBadServerResponse:
        return "bad server response"_ns;
    case NSURLErrorNotConnectedToInternet:
        return "The Internet connection appears to be offline."_ns;
    case NSURLErrorCannotDecodeContentData:
        return "cannot decode content data"_ns;
    case NSURLErrorRequestBodyStreamExhausted:
        return "request body stream exhausted"_ns;
    case NSURLErrorCannotCreateFile:
        return "cannot create file"_ns;
    case NSURLErrorCannotWriteToFile:
        return "cannot write to file"_ns;
    case NSURLErrorFileDoesNotExist:
        return "The requested URL was not found on this server."_ns;
    case NSURLErrorDataLengthExceedsMaximum:
        return "resource exceeds maximum size"_ns;
    case NSURLErrorSecureConnectionFailed:
        return "An SSL error has occurred and a secure connection to the server cannot be made."_ns;
    case NSURLErrorServerCertificateHasBadDate:
    case NSURLErrorServerCertificateUntrusted:
    case NSURLErrorServerCertificateNotYetValid: {
        auto host = failingURL ? failingURL->host() : nullptr;
        const char* problem = code == NSURLErrorServerCertificateHasBadDate ? "has expired"
            : code == NSURLErrorServerCertificateNotYetValid                ? "is not yet valid"
                                                                            : "is invalid";
        return NSString::stringWithFormat(
            "The certificate for this server %s. You might be connecting to a server that is pretending to be “%@” which could put your confidential information at risk.",
            problem, host ? host : "(null)"_ns);
    }
    default:
        return "An unknown error occurred."_ns;
    }
}

Ref<NSError> makeURLError(NSInteger code, const Ref<NSURL>& failingURL, const Ref<SecTrust>& trust)
{
    auto info = NSMutableDictionary::dictionary();
    info->setObjectForKeyedSubscript(URLErrorDescription(code, failingURL), NSLocalizedDescriptionKey);
    if (failingURL) {
        info->setObjectForKeyedSubscript(failingURL, NSURLErrorFailingURLErrorKey);
        info->setObjectForKeyedSubscript(failingURL->absoluteString(), NSURLErrorFailingURLStringErrorKey);
    }
    if (trust)
        info->setObjectForKeyedSubscript(trust, NSURLErrorFailingURLPeerTrustErrorKey);
    return NSError::errorWithDomain(NSURLErrorDomain, code, info);
}

} // namespace dv
