#include "platform/net/internal/HTTPAuthentication.h"

#include "platform/base/NSData.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLAuthenticationChallenge.h"
#include "platform/net/NSURLCredential.h"
#include "platform/net/NSURLProtectionSpace.h"
#include "platform/net/internal/TaskSupport.h"

namespace dv::internal::net {

namespace {

bool isProxyRefusal(const Ref<NSHTTPURLResponse>& refusal)
{
    return refusal->statusCode() == 407;
}

} // namespace

bool HTTPAuthentication::isChallenge(const TransportResponse& response)
{
    return (response.statusCode == 401 && response.header("WWW-Authenticate").has_value())
        || (response.statusCode == 407 && response.header("Proxy-Authenticate").has_value());
}

Ref<NSURLAuthenticationChallenge> HTTPAuthentication::challenge(const Ref<NSURL>& url, const Ref<NSHTTPURLResponse>& refusal) const
{
    auto header = refusal->valueForHTTPHeaderField(isProxyRefusal(refusal) ? "Proxy-Authenticate"_ns : "WWW-Authenticate"_ns);
    std::string text = header ? header->utf8() : "";
    std::string lower = lowercased(text);
    auto method = NSURLAuthenticationMethodDefault;
    if (lower.starts_with("basic"))
        method = NSURLAuthenticationMethodHTTPBasic;
    else if (lower.starts_with("digest"))
        method = NSURLAuthenticationMethodHTTPDigest;
    Ref<NSString> realm;
    if (auto at = lower.find("realm="); at != std::string::npos) {
        std::string value = text.substr(at + 6);
        if (!value.empty() && value.front() == '"') {
            auto end = value.find('"', 1);
            value = value.substr(1, end == std::string::npos ? std::string::npos : end - 1);
        } else {
            value = value.substr(0, value.find_first_of(", "));
        }
        realm = NSString::fromUTF8(value);
    }
    auto port = url->port();
    NSInteger portNumber = port ? port->integerValue() : (lowercased(url->scheme()->utf8()) == "https" ? 443 : 80);
    auto space = alloc<NSURLProtectionSpace>()->initWithHost(url->host(), portNumber, url->scheme()->lowercaseString(), realm, method);
    return alloc<NSURLAuthenticationChallenge>()->initWithProtectionSpace(space, nil, m_attempts, refusal, nil, nullptr);
}

Ref<NSURLRequest> HTTPAuthentication::retry(const Ref<NSURLRequest>& current, const Ref<NSURLCredential>& credential,
    const Ref<NSHTTPURLResponse>& refusal)
{
    if (!credential || !credential->user())
        return nullptr;
    ++m_attempts;
    std::string pair = credential->user()->utf8() + ":" + (credential->password() ? credential->password()->utf8() : "");
    auto token = NSData::fromString(pair)->base64EncodedStringWithOptions(0);
    auto request = std::static_pointer_cast<NSMutableURLRequest>(current->mutableCopy());
    request->setValueForHTTPHeaderField(NSString::stringWithFormat("Basic %@", token),
        isProxyRefusal(refusal) ? "Proxy-Authorization"_ns : "Authorization"_ns);
    return request;
}

} // namespace dv::internal::net
