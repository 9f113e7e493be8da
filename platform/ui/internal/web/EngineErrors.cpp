#include "platform/ui/internal/web/EngineErrors.h"

#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSURLError.h"

#include <gio/gio.h>
#include <webkit2/webkit2.h>

#include <cstring>

namespace dv::internal::uikit {

namespace {

constexpr const char* kEngineDomain = "WebKitErrorDomain";

Ref<NSURL> urlOf(const std::string& text) { return text.empty() ? nil : NSURL::URLWithString(NSString::fromUTF8(text)); }

NSInteger urlErrorCode(const GError* error)
{
    if (error->domain == WEBKIT_NETWORK_ERROR) {
        switch (error->code) {
        case WEBKIT_NETWORK_ERROR_CANCELLED: return NSURLErrorCancelled;
        case WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL: return NSURLErrorUnsupportedURL;
        case WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST: return NSURLErrorFileDoesNotExist;
        default: return NSURLErrorUnknown;
        }
    }
    if (error->domain == G_RESOLVER_ERROR)
        return NSURLErrorCannotFindHost;
    if (error->domain == G_TLS_ERROR)
        return error->code == G_TLS_ERROR_BAD_CERTIFICATE ? NSURLErrorServerCertificateUntrusted : NSURLErrorSecureConnectionFailed;
    if (error->domain == G_IO_ERROR) {
        switch (error->code) {
        case G_IO_ERROR_CANCELLED: return NSURLErrorCancelled;
        case G_IO_ERROR_TIMED_OUT: return NSURLErrorTimedOut;
        case G_IO_ERROR_CONNECTION_REFUSED:
        case G_IO_ERROR_HOST_UNREACHABLE: return NSURLErrorCannotConnectToHost;
        case G_IO_ERROR_NETWORK_UNREACHABLE: return NSURLErrorNotConnectedToInternet;
        case G_IO_ERROR_HOST_NOT_FOUND: return NSURLErrorCannotFindHost;
        case G_IO_ERROR_CONNECTION_CLOSED: // the same code as a broken pipe
        case G_IO_ERROR_PARTIAL_INPUT: return NSURLErrorNetworkConnectionLost;
        default: return NSURLErrorUnknown;
        }
    }
    // The HTTP library's own failures: a reply it cannot read, redirects without end.
    const char* domain = g_quark_to_string(error->domain);
    if (domain && std::strcmp(domain, "soup-session-error-quark") == 0)
        return error->code == 2 ? NSURLErrorHTTPTooManyRedirects : NSURLErrorBadServerResponse;
    return NSURLErrorUnknown;
}

} // namespace

Ref<NSError> errorForFailedLoad(const GError* error, const std::string& failingURL)
{
    if (!error)
        return dv::makeURLError(NSURLErrorUnknown, urlOf(failingURL));
    if (error->domain == WEBKIT_POLICY_ERROR || error->domain == WEBKIT_PLUGIN_ERROR || error->domain == WEBKIT_DOWNLOAD_ERROR) {
        auto info = NSMutableDictionary::dictionary();
        info->setObjectForKey(NSString::fromUTF8(error->message ? error->message : ""), NSLocalizedDescriptionKey);
        if (!failingURL.empty())
            info->setObjectForKey(NSString::fromUTF8(failingURL), NSURLErrorFailingURLStringErrorKey);
        return NSError::errorWithDomain(NSString::fromUTF8(kEngineDomain), error->code, info);
    }
    return dv::makeURLError(urlErrorCode(error), urlOf(failingURL));
}

Ref<NSError> errorForEndedProcess(const std::string& failingURL)
{
    return dv::makeURLError(NSURLErrorUnknown, urlOf(failingURL));
}

} // namespace dv::internal::uikit
