#include "foundation/http/PNHTTPRequestSerializer.h"

#include "foundation/http/PNQueryStringPair.h"
#include "foundation/http/PNStreamingMultipartFormData.h"
#include "foundation/http/internal/Transliteration.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSLocale.h"
#include "platform/base/NSCoder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSURL.h"
#include "platform/dispatch/Dispatch.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/system/NSBundle.h"
#include "platform/system/NSInputStream.h"
#include "platform/system/NSOutputStream.h"
#include "platform/system/UIDevice.h"
#include "platform/system/UIScreen.h"

#include <cerrno>
#include <mutex>

DV_DEFINE_CLASS(PNHTTPRequestSerializer)

Ref<NSArray> PNRequestPropertyKeyPaths()
{
    static std::once_flag once;
    static Ref<NSArray> keyPaths;
    std::call_once(once, [] {
        keyPaths = dv::keepingForever([] {
            return NSArray::of({"allowsCellularAccess"_ns, "cachePolicy"_ns, "HTTPShouldHandleCookies"_ns, "HTTPShouldUsePipelining"_ns,
                "networkServiceType"_ns, "timeoutInterval"_ns});
        });
    });
    return keyPaths;
}

namespace dv::internal::http {

Ref<NSString> defaultAcceptLanguage()
{
    auto entries = NSMutableArray::array();
    NSUInteger index = 0;
    auto languages = NSLocale::preferredLanguages();
    for (const id& language : *languages) {
        // Computed in single precision, as the weights have always been.
        const float q = 1.0f + (-0.1f * float(index));
        entries->addObject(NSString::stringWithFormat("%@;q=%0.1g", language, double(q)));
        ++index;
        if (q <= 0.5f)
            break;
    }
    return entries->componentsJoinedByString(", "_ns);
}

Ref<NSString> defaultUserAgent()
{
    auto bundle = NSBundle::mainBundle();
    auto info = [&bundle](const Ref<NSString>& key) -> id { return bundle ? bundle->objectForInfoDictionaryKey(key) : nil; };
    id executable = info(kCFBundleExecutableKey);
    if (!executable)
        executable = info(kCFBundleIdentifierKey);
    id version = info("CFBundleShortVersionString"_ns);
    if (!version)
        version = info(kCFBundleVersionKey);
    auto device = UIDevice::currentDevice();
    auto userAgent = NSString::stringWithFormat("%@/%@ (%@; iOS %@; Scale/%0.2f)", executable, version, device->model(),
        device->systemVersion(), double(UIScreen::mainScreen()->scale()));
    if (!userAgent)
        return nil;
    if (!userAgent->canBeConvertedToEncoding(NSASCIIStringEncoding)) {
        if (auto ascii = transliterate(userAgent->utf8(), "Any-Latin; Latin-ASCII; [:^ASCII:] Remove"))
            userAgent = NSString::fromUTF8(*ascii);
    }
    return userAgent;
}

} // namespace dv::internal::http

Ref<PNHTTPRequestSerializer> PNHTTPRequestSerializer::init()
{
    NSObject::init();
    applyDefaults();
    return self<PNHTTPRequestSerializer>();
}

Ref<PNHTTPRequestSerializer> PNHTTPRequestSerializer::serializer() { return alloc<PNHTTPRequestSerializer>()->init(); }

void PNHTTPRequestSerializer::applyDefaults()
{
    m_stringEncoding = NSUTF8StringEncoding;
    m_mutableHTTPRequestHeaders = NSMutableDictionary::dictionary();
    m_mutableHTTPRequestHeaders->setObjectForKeyedSubscript(dv::internal::http::defaultAcceptLanguage(), "Accept-Language"_ns);
    m_mutableHTTPRequestHeaders->setObjectForKeyedSubscript(dv::internal::http::defaultUserAgent(), "User-Agent"_ns);
    m_queryStringSerializationStyle = PNHTTPRequestQueryStringDefaultStyle;
    m_queryStringSerialization = nullptr;
    m_HTTPMethodsEncodingParametersInURI = NSSet::of({"GET"_ns, "HEAD"_ns, "DELETE"_ns});
    m_mutableObservedChangedKeyPaths = NSMutableSet::set();
    m_allowsCellularAccess = false;
    m_cachePolicy = 0;
    m_HTTPShouldHandleCookies = false;
    m_HTTPShouldUsePipelining = false;
    m_networkServiceType = 0;
    m_timeoutInterval = 0;
}

// The setters record the property as changed, whatever the value: once set, a property is
// carried onto every later request.
void PNHTTPRequestSerializer::didChangeRequestProperty(const char* keyPath)
{
    m_mutableObservedChangedKeyPaths->addObject(NSString::stringWithUTF8String(keyPath));
}

void PNHTTPRequestSerializer::setAllowsCellularAccess(bool allows)
{
    m_allowsCellularAccess = allows;
    didChangeRequestProperty("allowsCellularAccess");
}

void PNHTTPRequestSerializer::setCachePolicy(NSUInteger policy)
{
    m_cachePolicy = policy;
    didChangeRequestProperty("cachePolicy");
}

void PNHTTPRequestSerializer::setHTTPShouldHandleCookies(bool handle)
{
    m_HTTPShouldHandleCookies = handle;
    didChangeRequestProperty("HTTPShouldHandleCookies");
}

void PNHTTPRequestSerializer::setHTTPShouldUsePipelining(bool use)
{
    m_HTTPShouldUsePipelining = use;
    didChangeRequestProperty("HTTPShouldUsePipelining");
}

void PNHTTPRequestSerializer::setNetworkServiceType(NSUInteger type)
{
    m_networkServiceType = type;
    didChangeRequestProperty("networkServiceType");
}

void PNHTTPRequestSerializer::setTimeoutInterval(NSTimeInterval seconds)
{
    m_timeoutInterval = seconds;
    didChangeRequestProperty("timeoutInterval");
}

Ref<NSSet> PNHTTPRequestSerializer::observedChangedKeyPaths() const { return dv::copyAs<NSSet>(m_mutableObservedChangedKeyPaths); }

void PNHTTPRequestSerializer::applyChangedRequestProperties(NSMutableURLRequest& request) const
{
    auto keyPaths = PNRequestPropertyKeyPaths();
    for (const id& keyPath : *keyPaths) {
        if (!m_mutableObservedChangedKeyPaths->containsObject(keyPath))
            continue;
        const std::string& name = dv::as<NSString>(keyPath)->utf8();
        if (name == "allowsCellularAccess")
            request.setAllowsCellularAccess(m_allowsCellularAccess);
        else if (name == "cachePolicy")
            request.setCachePolicy(NSURLRequestCachePolicy(m_cachePolicy));
        else if (name == "HTTPShouldHandleCookies")
            request.setHTTPShouldHandleCookies(m_HTTPShouldHandleCookies);
        else if (name == "HTTPShouldUsePipelining")
            request.setHTTPShouldUsePipelining(m_HTTPShouldUsePipelining);
        else if (name == "networkServiceType")
            request.setNetworkServiceType(NSURLRequestNetworkServiceType(m_networkServiceType));
        else if (name == "timeoutInterval")
            request.setTimeoutInterval(m_timeoutInterval);
    }
}

Ref<NSDictionary> PNHTTPRequestSerializer::HTTPRequestHeaders() const { return dv::copyAs<NSDictionary>(m_mutableHTTPRequestHeaders); }

void PNHTTPRequestSerializer::setValueForHTTPHeaderField(const Ref<NSString>& value, const Ref<NSString>& field)
{
    if (field)
        m_mutableHTTPRequestHeaders->setObjectForKeyedSubscript(value, field);
}

Ref<NSString> PNHTTPRequestSerializer::valueForHTTPHeaderField(const Ref<NSString>& field) const
{
    return field ? dv::as<NSString>(m_mutableHTTPRequestHeaders->objectForKeyedSubscript(field)) : nil;
}

void PNHTTPRequestSerializer::setAuthorizationHeaderFieldWithUsername(const Ref<NSString>& username, const Ref<NSString>& password)
{
    auto credentials = NSString::stringWithFormat("%@:%@", username, password)->dataUsingEncoding(NSUTF8StringEncoding);
    setValueForHTTPHeaderField(NSString::stringWithFormat("Basic %@", credentials->base64EncodedStringWithOptions(0)), "Authorization"_ns);
}

void PNHTTPRequestSerializer::clearAuthorizationHeader() { m_mutableHTTPRequestHeaders->removeObjectForKey("Authorization"_ns); }

void PNHTTPRequestSerializer::setHTTPMethodsEncodingParametersInURI(const Ref<NSSet>& methods)
{
    m_HTTPMethodsEncodingParametersInURI = dv::copyAs<NSSet>(methods);
}

void PNHTTPRequestSerializer::setQueryStringSerializationWithStyle(NSUInteger style)
{
    m_queryStringSerializationStyle = style;
    m_queryStringSerialization = nullptr;
}

void PNHTTPRequestSerializer::setQueryStringSerializationWithBlock(QueryStringSerialization block)
{
    m_queryStringSerialization = std::move(block);
}

Ref<NSMutableURLRequest> PNHTTPRequestSerializer::requestWithMethod(const Ref<NSString>& method, const Ref<NSString>& URLString,
    const id& parameters, Ref<NSError>* error)
{
    auto url = URLString ? NSURL::URLWithString(URLString) : nil;
    auto request = NSMutableURLRequest::requestWithURL(url);
    request->setHTTPMethod(method);
    applyChangedRequestProperties(*request);
    auto serialized = requestBySerializingRequest(request, parameters, error);
    return serialized ? std::static_pointer_cast<NSMutableURLRequest>(serialized->mutableCopy()) : nil;
}

Ref<NSMutableURLRequest> PNHTTPRequestSerializer::mutableRequestWithDefaultHeaders(const Ref<NSURLRequest>& request) const
{
    auto mutableRequest = std::static_pointer_cast<NSMutableURLRequest>(request->mutableCopy());
    for (const auto& [field, value] : *m_mutableHTTPRequestHeaders) {
        auto name = dv::as<NSString>(field);
        if (!request->valueForHTTPHeaderField(name))
            mutableRequest->setValueForHTTPHeaderField(dv::as<NSString>(value), name);
    }
    return mutableRequest;
}

namespace {

// The URL with the query added before its fragment (a query after "#" would never be sent).
Ref<NSURL> urlWithQuery(const Ref<NSURL>& url, const Ref<NSString>& query)
{
    std::string text = url->absoluteString()->utf8();
    std::string fragment;
    if (auto hash = text.find('#'); hash != std::string::npos) {
        fragment = text.substr(hash);
        text.resize(hash);
    }
    text += url->query() ? "&" : "?";
    text += query->utf8();
    text += fragment;
    return NSURL::URLWithString(NSString::fromUTF8(text));
}

} // namespace

Ref<NSURLRequest> PNHTTPRequestSerializer::requestBySerializingRequest(const Ref<NSURLRequest>& request, const id& parameters, Ref<NSError>* error)
{
    if (!request)
        return nil;
    auto mutableRequest = mutableRequestWithDefaultHeaders(request);

    Ref<NSString> query;
    if (parameters) {
        if (m_queryStringSerialization) {
            Ref<NSError> serializationError;
            query = m_queryStringSerialization(request, parameters, &serializationError);
            if (serializationError) {
                if (error)
                    *error = serializationError;
                return nil;
            }
        } else if (m_queryStringSerializationStyle == PNHTTPRequestQueryStringDefaultStyle) {
            query = PNQueryStringFromParameters(parameters);
        }
    }

    if (m_HTTPMethodsEncodingParametersInURI->containsObject(request->HTTPMethod()->uppercaseString())) {
        if (query && mutableRequest->URL()) {
            if (auto url = urlWithQuery(mutableRequest->URL(), query))
                mutableRequest->setURL(url);
        }
    } else {
        if (!query)
            query = ""_ns;
        if (!mutableRequest->valueForHTTPHeaderField("Content-Type"_ns))
            mutableRequest->setValueForHTTPHeaderField("application/x-www-form-urlencoded"_ns, "Content-Type"_ns);
        mutableRequest->setHTTPBody(query->dataUsingEncoding(m_stringEncoding));
    }
    return mutableRequest;
}

Ref<NSMutableURLRequest> PNHTTPRequestSerializer::multipartFormRequestWithMethod(const Ref<NSString>& method, const Ref<NSString>& URLString,
    const id& parameters, const ConstructingBodyBlock& block, Ref<NSError>* error)
{
    auto request = requestWithMethod(method, URLString, nil, error);
    if (!request)
        return nil;
    auto formData = alloc<PNStreamingMultipartFormData>()->initWithURLRequest(request, NSUTF8StringEncoding);
    if (parameters) {
        auto pairs = PNQueryPairsFromKeyValue(nil, parameters);
        for (const id& entry : *pairs) {
            auto pair = std::static_pointer_cast<PNQueryStringPair>(entry);
            Ref<NSData> data;
            if (auto bytes = dv::as<NSData>(pair->value()))
                data = bytes;
            else if (pair->value() && pair->value()->isEqual(NSNull::null().get()))
                data = NSData::data();
            else
                data = (pair->value() ? pair->value()->description() : "(null)"_ns)->dataUsingEncoding(m_stringEncoding);
            if (data)
                formData->appendPartWithFormData(data, pair->field() ? pair->field()->description() : "(null)"_ns);
        }
    }
    if (block)
        block(*formData);
    return formData->requestByFinalizingMultipartFormData();
}

Ref<NSMutableURLRequest> PNHTTPRequestSerializer::requestWithMultipartFormRequest(const Ref<NSURLRequest>& request, const Ref<NSURL>& fileURL,
    std::function<void(const Ref<NSError>& error)> handler)
{
    if (!request)
        return nil;
    auto inputStream = request->HTTPBodyStream();
    auto outputStream = fileURL ? NSOutputStream::outputStreamToFileAtPath(fileURL->path(), false) : nil;

    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [inputStream, outputStream, handler = std::move(handler)] {
        Ref<NSError> error;
        auto failure = [](const Ref<NSError>& reported, const char* what) {
            return reported ? reported
                            : NSError::errorWithDomain(NSPOSIXErrorDomain, EIO, NSDictionary::of({{NSLocalizedDescriptionKey, NSString::stringWithUTF8String(what)}}));
        };
        if (!outputStream) {
            error = failure(nil, "The multipart body has no file to be written to.");
        } else if (inputStream) {
            inputStream->open();
            outputStream->open();
            std::uint8_t buffer[1024];
            while (inputStream->hasBytesAvailable() && outputStream->hasSpaceAvailable()) {
                const NSInteger bytesRead = inputStream->read(buffer, sizeof buffer);
                if (bytesRead < 0 || inputStream->streamError()) {
                    error = failure(inputStream->streamError(), "The multipart body could not be read.");
                    break;
                }
                // A short write is continued until the chunk is written or the file fails.
                NSInteger offset = 0;
                while (offset < bytesRead) {
                    const NSInteger bytesWritten = outputStream->write(buffer + offset, NSUInteger(bytesRead - offset));
                    if (bytesWritten <= 0 || outputStream->streamError()) {
                        error = failure(outputStream->streamError(), "The multipart body could not be written to the file.");
                        break;
                    }
                    offset += bytesWritten;
                }
                if (error || bytesRead == 0)
                    break;
            }
            outputStream->close();
            inputStream->close();
        } else {
            // No body stream: the file is made empty.
            outputStream->open();
            if (outputStream->streamError())
                error = outputStream->streamError();
            outputStream->close();
        }
        if (handler)
            dispatch_async(dispatch_get_main_queue(), [handler, error] { handler(error); });
    });

    auto copy = std::static_pointer_cast<NSMutableURLRequest>(request->mutableCopy());
    copy->setHTTPBodyStream(nil);
    return copy;
}

void PNHTTPRequestSerializer::encodeWithCoder(NSCoder& coder) const
{
    coder.encodeObject(m_mutableHTTPRequestHeaders, "mutableHTTPRequestHeaders"_ns);
    coder.encodeInteger(NSInteger(m_queryStringSerializationStyle), "queryStringSerializationStyle"_ns);
}

id PNHTTPRequestSerializer::initWithCoder(NSCoder& coder)
{
    NSObject::init();
    applyDefaults();
    // The classes allow a string at the top as well (for the values): anything but a dictionary
    // leaves the defaults.
    auto headers = dv::as<NSDictionary>(coder.decodeObjectOfClasses({NSDictionary::class_(), NSString::class_()}, "mutableHTTPRequestHeaders"_ns));
    m_mutableHTTPRequestHeaders = headers ? dv::as<NSMutableDictionary>(headers->mutableCopy()) : NSMutableDictionary::dictionary();
    m_queryStringSerializationStyle = NSUInteger(coder.decodeIntegerForKey("queryStringSerializationStyle"_ns));
    return self();
}

void PNHTTPRequestSerializer::copyBaseStateInto(PNHTTPRequestSerializer& copy) const
{
    copy.m_mutableHTTPRequestHeaders = std::static_pointer_cast<NSMutableDictionary>(m_mutableHTTPRequestHeaders->mutableCopy());
    copy.m_queryStringSerializationStyle = m_queryStringSerializationStyle;
    copy.m_queryStringSerialization = m_queryStringSerialization;
}

id PNHTTPRequestSerializer::copyWithZone(NSZone*) const
{
    auto copy = std::dynamic_pointer_cast<PNHTTPRequestSerializer>(getClass()->createInstance());
    copy->NSObject::init();
    copy->applyDefaults();
    copyBaseStateInto(*copy);
    return copy;
}
