// The URL loading system's error domain, codes and user-info keys. Every failed URL task or
// connection reports an NSError in NSURLErrorDomain whose user info carries a description, the
// failing URL and its text (and, for certificate failures, the server trust).
#pragma once

#include "platform/base/Forward.h"

#include <string_view>

extern const Ref<NSString> NSURLErrorDomain;
extern const Ref<NSString> NSURLErrorFailingURLErrorKey;       // "NSErrorFailingURLKey"
extern const Ref<NSString> NSURLErrorFailingURLStringErrorKey; // "NSErrorFailingURLStringKey"
extern const Ref<NSString> NSURLErrorFailingURLPeerTrustErrorKey;
extern const Ref<NSString> NSURLErrorBackgroundTaskCancelledReasonKey;
extern const Ref<NSString> NSURLSessionDownloadTaskResumeData;

enum : NSInteger {
    NSURLErrorUnknown = -1,
    NSURLErrorCancelled = -999,
    NSURLErrorBadURL = -1000,
    NSURLErrorTimedOut = -1001,
    NSURLErrorUnsupportedURL = -1002,
    NSURLErrorCannotFindHost = -1003,
    NSURLErrorCannotConnectToHost = -1004,
    NSURLErrorNetworkConnectionLost = -1005,
    NSURLErrorDNSLookupFailed = -1006,
    NSURLErrorHTTPTooManyRedirects = -1007,
    NSURLErrorResourceUnavailable = -1008,
    NSURLErrorNotConnectedToInternet = -1009,
    NSURLErrorRedirectToNonExistentLocation = -1010,
    NSURLErrorBadServerResponse = -1011,
    NSURLErrorUserCancelledAuthentication = -1012,
    NSURLErrorUserAuthenticationRequired = -1013,
    NSURLErrorZeroByteResource = -1014,
    NSURLErrorCannotDecodeRawData = -1015,
    NSURLErrorCannotDecodeContentData = -1016,
    NSURLErrorCannotParseResponse = -1017,
    NSURLErrorInternationalRoamingOff = -1018,
    NSURLErrorDataNotAllowed = -1020,
    NSURLErrorRequestBodyStreamExhausted = -1021,
    NSURLErrorFileDoesNotExist = -1100,
    NSURLErrorDataLengthExceedsMaximum = -1103,
    NSURLErrorCannotCreateFile = -3000,
    NSURLErrorCannotWriteToFile = -3003,
    NSURLErrorCannotMoveFile = -3005,
    NSURLErrorSecureConnectionFailed = -1200,
    NSURLErrorServerCertificateHasBadDate = -1201,
    NSURLErrorServerCertificateUntrusted = -1202,
    NSURLErrorServerCertificateHasUnknownRoot = -1203,
    NSURLErrorServerCertificateNotYetValid = -1204,
    NSURLErrorClientCertificateRejected = -1205,
    NSURLErrorCancelledReasonUserForceQuitApplication = 0,
};

class SecTrust;

namespace dv {

// An error of NSURLErrorDomain with the system's description for `code` and the failing URL
// (either may be nil). `trust` is added for certificate failures.
Ref<NSError> makeURLError(NSInteger code, const Ref<NSURL>& failingURL, const Ref<SecTrust>& trust = nullptr);
// The system's description of a URL error code.
Ref<NSString> URLErrorDescription(NSInteger code, const Ref<NSURL>& failingURL);

} // namespace dv
