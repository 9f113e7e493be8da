#include "platform/net/internal/TaskSupport.h"

#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLError.h"
#include "platform/net/internal/CachePaths.h"
#include "platform/net/internal/HeaderFields.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <sstream>

namespace dv::internal {
std::string lowercased(std::string s)
{
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

NSInteger URLErrorCodeFor(TransportError error)
{
    switch (error) {
    case TransportError::None: return 0;
    case TransportError::Cancelled: return NSURLErrorCancelled;
    case TransportError::TimedOut: return NSURLErrorTimedOut;
    case TransportError::BadURL: return NSURLErrorBadURL;
    case TransportError::UnsupportedURL: return NSURLErrorUnsupportedURL;
    case TransportError::CannotFindHost: return NSURLErrorCannotFindHost;
    case TransportError::CannotConnect: return NSURLErrorCannotConnectToHost;
    case TransportError::ConnectionLost: return NSURLErrorNetworkConnectionLost;
    case TransportError::BadServerResponse: return NSURLErrorBadServerResponse;
    case TransportError::SecureConnectionFailed: return NSURLErrorSecureConnectionFailed;
    case TransportError::ServerCertificateRejected: return NSURLErrorServerCertificateUntrusted;
    case TransportError::CannotDecodeContent: return NSURLErrorCannotDecodeContentData;
    case TransportError::BodyStreamFailed: return NSURLErrorRequestBodyStreamExhausted;
    }
    return NSURLErrorNetworkConnectionLost;
}

bool isLoadableURL(const Ref<NSURL>& url)
{
    if (!url || !url->scheme() || !url->host() || url->host()->length() == 0)
        return false;
    auto scheme = lowercased(url->scheme()->utf8());
    return scheme == "http" || scheme == "https";
}

std::string temporaryDownloadPath()
{
    static std::atomic<unsigned> counter { 0 };
    std::random_device random;
    std::ostringstream name;
    name << "CFNetworkDownload_" << std::hex << random() << (counter++) << ".tmp";
    auto directory = std::filesystem::path(temporaryDirectoryPath());
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    return (directory / name.str()).string();
}

// Whether a cached response may be used without asking the server.
bool isFresh(const Ref<NSCachedURLResponse>& cached)
{
    auto http = dv::as<NSHTTPURLResponse>(cached->response());
    if (!http)
        return false;
    double now = NSDate::date()->timeIntervalSince1970();
    double date = now;
    if (auto d = findHeader(http->receivedFields(), "Date")) {
        std::tm tm {};
        if (strptime(d->c_str(), "%a, %d %b %Y %H:%M:%S", &tm))
            date = static_cast<double>(timegm(&tm));
    }
    if (auto control = findHeader(http->receivedFields(), "Cache-Control")) {
        auto text = lowercased(*control);
        if (text.find("no-cache") != std::string::npos || text.find("no-store") != std::string::npos)
            return false;
        auto at = text.find("max-age=");
        if (at != std::string::npos)
            return now - date < std::strtod(text.c_str() + at + 8, nullptr);
    }
    if (auto expires = findHeader(http->receivedFields(), "Expires")) {
        std::tm tm {};
        if (strptime(expires->c_str(), "%a, %d %b %Y %H:%M:%S", &tm))
            return static_cast<double>(timegm(&tm)) > now;
    }
    return false;
}

} // namespace dv::internal
