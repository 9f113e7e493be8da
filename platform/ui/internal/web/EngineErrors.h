// The platform's errors for the web engine's failed loads: transfer failures become URL errors
// of NSURLErrorDomain with the platform's codes (cancelled -999, timed out -1001, cannot find host
// -1003, cannot connect -1004, connection lost -1005, not connected -1009, bad server response
// -1011, secure connection failed -1200, untrusted certificate -1202); the engine's own refusals
// (a download, a type it cannot show, a blocked port) keep the codes of "WebKitErrorDomain".
#pragma once

#include "platform/base/Forward.h"

#include <string>

typedef struct _GError GError;
class NSError;

namespace dv::internal::uikit {

Ref<NSError> errorForFailedLoad(const GError* error, const std::string& failingURL);
// The error of a load the engine stopped because the page's web process ended.
Ref<NSError> errorForEndedProcess(const std::string& failingURL);

} // namespace dv::internal::uikit
