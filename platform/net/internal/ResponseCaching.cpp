#include "platform/net/internal/ResponseCaching.h"

#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSString.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLCache.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLSessionConfiguration.h"
#include "platform/net/internal/HeaderFields.h"
#include "platform/net/internal/TaskSupport.h"

#include <cstdlib>
#include <ctime>

namespace dv::internal::net {

namespace {

// A response larger than this is not offered to the URL cache.
constexpr std::size_t kCacheBodyLimit = 16 << 20;

} // namespace

ResponseCaching::Lookup ResponseCaching::lookUp(const Ref<NSURLSessionConfiguration>& configuration, const Ref<NSURLRequest>& request)
{
    if (!configuration || request->HTTPMethod()->utf8() != "GET")
        return {};
    auto cache = configuration->URLCache();
    if (!cache)
        return {};
    auto policy = request->cachePolicy();
    if (policy == NSURLRequestUseProtocolCachePolicy)
        policy = configuration->requestCachePolicy();
    if (policy == NSURLRequestReloadIgnoringLocalCacheData || policy == NSURLRequestReloadIgnoringLocalAndRemoteCacheData
        || policy == NSURLRequestReloadRevalidatingCacheData)
        return {};
    auto cached = cache->cachedResponseForRequest(request);
    if (cached && (policy != NSURLRequestUseProtocolCachePolicy || isFresh(cached)))
        return { .answer = Answer::Serve, .cached = cached };
    if (policy == NSURLRequestReturnCacheDataDontLoad)
        return { .answer = Answer::Unavailable };
    return {};
}

bool ResponseCaching::isFresh(const Ref<NSCachedURLResponse>& cached)
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

void ResponseCaching::store(const Ref<NSURLSessionConfiguration>& configuration, const Ref<NSCachedURLResponse>& cached,
    const Ref<NSURLRequest>& request)
{
    if (!cached || !configuration)
        return;
    if (auto cache = configuration->URLCache())
        cache->storeCachedResponse(cached, request);
}

void ResponseCaching::reset()
{
    m_body.clear();
}

void ResponseCaching::begin(const Ref<NSURLSessionConfiguration>& configuration, const Ref<NSURLRequest>& request,
    const Ref<NSURLResponse>& response)
{
    auto http = dv::as<NSHTTPURLResponse>(response);
    auto control = http ? findHeader(http->receivedFields(), "Cache-Control") : std::nullopt;
    m_cacheable = !m_fromCache && configuration->URLCache() && http && http->statusCode() == 200 && request->HTTPMethod()->utf8() == "GET"
        && request->cachePolicy() != NSURLRequestReloadIgnoringLocalAndRemoteCacheData
        && !(control && lowercased(*control).find("no-store") != std::string::npos);
    m_body.clear();
}

void ResponseCaching::append(std::string_view bytes)
{
    if (!m_cacheable)
        return;
    if (m_body.size() + bytes.size() <= kCacheBodyLimit)
        m_body += bytes;
    else
        m_cacheable = false;
}

Ref<NSCachedURLResponse> ResponseCaching::takeProposal(const Ref<NSURLResponse>& response)
{
    if (!m_cacheable || m_fromCache)
        return nullptr;
    auto proposed = alloc<NSCachedURLResponse>()->initWithResponse(response, NSData::fromString(m_body), nil, NSURLCacheStorageAllowed);
    m_body.clear();
    return proposed;
}

} // namespace dv::internal::net
