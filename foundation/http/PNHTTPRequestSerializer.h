// PNHTTPRequestSerializer: turns a method, a URL string and parameters into a mutable request with
// the default headers ("Accept-Language", "User-Agent", and any the caller sets), the request
// properties set on the serialiser, and the parameters form-encoded — in the URL's query for GET,
// HEAD and DELETE, as an "application/x-www-form-urlencoded" body otherwise. It also builds
// streamed multipart requests. Configured, then used by one thread at a time; no locks.
//
//   auto serializer = PNHTTPRequestSerializer::serializer();
//   serializer->setTimeoutInterval(10);
//   auto request = serializer->requestWithMethod("POST"_ns, url, params, &error);
#pragma once

#include "foundation/http/PNURLRequestSerialization.h"
#include "platform/base/NSString.h"

#include <functional>

class NSMutableURLRequest;
class NSSet;
class NSMutableSet;
class PNMultipartFormData;

enum PNHTTPRequestQueryStringSerializationStyle : NSUInteger {
    PNHTTPRequestQueryStringDefaultStyle = 0,
};

class PNHTTPRequestSerializer : public NSObject, public PNURLRequestSerialization {
    DV_CLASS(PNHTTPRequestSerializer, NSObject)

    using QueryStringSerialization = std::function<Ref<NSString>(const Ref<NSURLRequest>& request, const id& parameters, Ref<NSError>* error)>;
    using ConstructingBodyBlock = std::function<void(PNMultipartFormData& formData)>;

    PNHTTPRequestSerializer() = default;
    Ref<PNHTTPRequestSerializer> init();
    static Ref<PNHTTPRequestSerializer> serializer();
    static bool supportsSecureCoding() { return true; }

    NSStringEncoding stringEncoding() const { return m_stringEncoding; }
    void setStringEncoding(NSStringEncoding encoding) { m_stringEncoding = encoding; }

    // The six request properties. A request gets one only after it has been set here (even back
    // to its initial value); until then the request keeps the platform's default.
    bool allowsCellularAccess() const { return m_allowsCellularAccess; }
    void setAllowsCellularAccess(bool allows);
    NSUInteger cachePolicy() const { return m_cachePolicy; }
    void setCachePolicy(NSUInteger policy);
    bool HTTPShouldHandleCookies() const { return m_HTTPShouldHandleCookies; }
    void setHTTPShouldHandleCookies(bool handle);
    bool HTTPShouldUsePipelining() const { return m_HTTPShouldUsePipelining; }
    void setHTTPShouldUsePipelining(bool use);
    NSUInteger networkServiceType() const { return m_networkServiceType; }
    void setNetworkServiceType(NSUInteger type);
    NSTimeInterval timeoutInterval() const { return m_timeoutInterval; }
    void setTimeoutInterval(NSTimeInterval seconds);

    Ref<NSDictionary> HTTPRequestHeaders() const;
    // nil removes the field.
    void setValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field);
    Ref<NSString> valueForHTTPHeaderField(const Ref<NSString>& field) const;
    void setAuthorizationHeaderFieldWithUsername(const Ref<NSString>& username, const Ref<NSString>& password);
    void clearAuthorizationHeader();

    Ref<NSSet> HTTPMethodsEncodingParametersInURI() const { return m_HTTPMethodsEncodingParametersInURI; }
    void setHTTPMethodsEncodingParametersInURI(const Ref<NSSet>& methods);

    NSUInteger queryStringSerializationStyle() const { return m_queryStringSerializationStyle; }
    void setQueryStringSerializationWithStyle(NSUInteger style);
    const QueryStringSerialization& queryStringSerialization() const { return m_queryStringSerialization; }
    void setQueryStringSerializationWithBlock(QueryStringSerialization block);

    Ref<NSMutableURLRequest> requestWithMethod(const Ref<NSString>& method, const Ref<NSString>& URLString, const id& parameters,
        Ref<NSError>* error);
    Ref<NSMutableURLRequest> multipartFormRequestWithMethod(const Ref<NSString>& method, const Ref<NSString>& URLString,
        const id& parameters, const ConstructingBodyBlock& block, Ref<NSError>* error);
    // Copies the request's multipart body stream into the file on a global queue and answers at
    // once the request without its body stream (its multipart headers stay). The handler runs on
    // the main queue with the first read or write error, or nil.
    Ref<NSMutableURLRequest> requestWithMultipartFormRequest(const Ref<NSURLRequest>& request, const Ref<NSURL>& fileURL,
        std::function<void(const Ref<NSError>& error)> handler);

    Ref<NSURLRequest> requestBySerializingRequest(const Ref<NSURLRequest>& request, const id& parameters, Ref<NSError>* error) override;

    void encodeWithCoder(NSCoder& coder) const override;
    id initWithCoder(NSCoder& coder) override;
    // Keeps the headers, the query style and block; not the encoding, the URI methods or the
    // request properties.
    id copyWithZone(NSZone* zone) const override;

    // Names of the request properties set on this serialiser.
    Ref<NSSet> observedChangedKeyPaths() const;

protected:
    virtual void applyDefaults();
    // The serialiser's default headers put on a copy of the request where it has none of its own.
    Ref<NSMutableURLRequest> mutableRequestWithDefaultHeaders(const Ref<NSURLRequest>& request) const;
    void copyBaseStateInto(PNHTTPRequestSerializer& copy) const;

private:
    void didChangeRequestProperty(const char* keyPath);
    void applyChangedRequestProperties(NSMutableURLRequest& request) const;

    Ref<NSMutableSet> m_mutableObservedChangedKeyPaths;
    Ref<NSMutableDictionary> m_mutableHTTPRequestHeaders;
    NSUInteger m_queryStringSerializationStyle = PNHTTPRequestQueryStringDefaultStyle;
    QueryStringSerialization m_queryStringSerialization;
    NSStringEncoding m_stringEncoding = NSUTF8StringEncoding;
    bool m_allowsCellularAccess = false;
    NSUInteger m_cachePolicy = 0;
    bool m_HTTPShouldHandleCookies = false;
    bool m_HTTPShouldUsePipelining = false;
    NSUInteger m_networkServiceType = 0;
    NSTimeInterval m_timeoutInterval = 0;
    Ref<NSSet> m_HTTPMethodsEncodingParametersInURI;
};

// The request properties a serialiser carries onto its requests, in the order they are applied.
Ref<NSArray> PNRequestPropertyKeyPaths();

namespace dv::internal::http {

// The default header values, as init computes them.
Ref<NSString> defaultAcceptLanguage();
Ref<NSString> defaultUserAgent();

} // namespace dv::internal::http
