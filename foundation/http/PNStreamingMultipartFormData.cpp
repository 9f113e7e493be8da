#include "foundation/http/PNStreamingMultipartFormData.h"

#include "foundation/http/internal/MIMETypes.h"
#include "foundation/http/internal/NetworkingStrings.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSURL.h"
#include "platform/net/NSMutableURLRequest.h"
#include "platform/net/NSURLError.h"
#include "platform/system/NSFileManager.h"
#include "platform/system/NSURLResourceValues.h"

#include <random>

DV_DEFINE_CLASS(PNStreamingMultipartFormData)

const Ref<NSString> PNURLRequestSerializationErrorDomain = "com.pellucor.error.serialization.request"_ns;

namespace {

std::uint32_t random32()
{
    static thread_local std::mt19937 generator { std::random_device {}() };
    return static_cast<std::uint32_t>(generator());
}

Ref<NSString> createMultipartFormBoundary()
{
    return NSString::stringWithFormat("Boundary+%08X%08X", random32(), random32());
}

Ref<NSError> badFileURLError(const char* reason)
{
    return NSError::errorWithDomain(PNURLRequestSerializationErrorDomain, NSURLErrorBadURL,
        NSDictionary::of({{NSLocalizedFailureReasonErrorKey, dv::internal::http::networkingString(reason)}}));
}

} // namespace

namespace dv::internal::http {

Ref<NSString> quotedDispositionName(const Ref<NSString>& name)
{
    if (!name)
        return nil;
    std::string out;
    for (char c : name->utf8()) {
        if (c == '"')
            out += "%22";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return NSString::fromUTF8(out);
}

} // namespace dv::internal::http

Ref<PNStreamingMultipartFormData> PNStreamingMultipartFormData::initWithURLRequest(const Ref<NSMutableURLRequest>& urlRequest, NSStringEncoding encoding)
{
    NSObject::init();
    setRequest(urlRequest);
    m_stringEncoding = encoding;
    m_boundary = createMultipartFormBoundary();
    m_bodyStream = alloc<PNMultipartBodyStream>()->initWithStringEncoding(encoding);
    return self<PNStreamingMultipartFormData>();
}

void PNStreamingMultipartFormData::setRequest(const Ref<NSMutableURLRequest>& request)
{
    m_request = request ? std::static_pointer_cast<NSMutableURLRequest>(request->mutableCopy()) : nil;
}

void PNStreamingMultipartFormData::setBoundary(const Ref<NSString>& boundary) { m_boundary = dv::copyAs<NSString>(boundary); }

bool PNStreamingMultipartFormData::appendPartWithFileURL(const Ref<NSURL>& fileURL, const Ref<NSString>& name, Ref<NSError>* error)
{
    auto fileName = fileURL ? fileURL->lastPathComponent() : nil;
    auto mimeType = dv::internal::http::preferredMIMETypeForExtension(fileURL ? fileURL->pathExtension() : nil);
    if (!mimeType)
        mimeType = "application/octet-stream"_ns;
    return appendPartWithFileURL(fileURL, name, fileName, mimeType, error);
}

bool PNStreamingMultipartFormData::appendPartWithFileURL(const Ref<NSURL>& fileURL, const Ref<NSString>& name, const Ref<NSString>& fileName,
    const Ref<NSString>& mimeType, Ref<NSError>* error)
{
    if (!fileURL || !fileURL->isFileURL()) {
        if (error)
            *error = badFileURLError("Expected URL to be a file URL");
        return false;
    }
    if (!checkResourceIsReachableAndReturnError(fileURL, nullptr)) {
        if (error)
            *error = badFileURLError("File URL not reachable.");
        return false;
    }
    Ref<NSError> attributesError;
    auto attributes = NSFileManager::defaultManager()->attributesOfItemAtPath(fileURL->path(), &attributesError);
    if (!attributes) {
        if (error)
            *error = attributesError;
        return false;
    }
    auto size = dv::as<NSNumber>(attributes->objectForKey(NSFileSize));
    auto headers = NSMutableDictionary::dictionary();
    headers->setObjectForKeyedSubscript(NSString::stringWithFormat("form-data; name=\"%@\"; filename=\"%@\"",
        dv::internal::http::quotedDispositionName(name), dv::internal::http::quotedDispositionName(fileName)), "Content-Disposition"_ns);
    headers->setObjectForKeyedSubscript(mimeType, "Content-Type"_ns);
    appendPart(headers, fileURL, size ? size->unsignedLongLongValue() : 0);
    return true;
}

void PNStreamingMultipartFormData::appendPartWithInputStream(const Ref<NSInputStream>& inputStream, const Ref<NSString>& name,
    const Ref<NSString>& fileName, std::int64_t length, const Ref<NSString>& mimeType)
{
    auto headers = NSMutableDictionary::dictionary();
    headers->setObjectForKeyedSubscript(NSString::stringWithFormat("form-data; name=\"%@\"; filename=\"%@\"",
        dv::internal::http::quotedDispositionName(name), dv::internal::http::quotedDispositionName(fileName)), "Content-Disposition"_ns);
    headers->setObjectForKeyedSubscript(mimeType, "Content-Type"_ns);
    appendPart(headers, inputStream, static_cast<std::uint64_t>(length));
}

void PNStreamingMultipartFormData::appendPartWithFileData(const Ref<NSData>& data, const Ref<NSString>& name, const Ref<NSString>& fileName,
    const Ref<NSString>& mimeType)
{
    auto headers = NSMutableDictionary::dictionary();
    headers->setObjectForKeyedSubscript(NSString::stringWithFormat("form-data; name=\"%@\"; filename=\"%@\"",
        dv::internal::http::quotedDispositionName(name), dv::internal::http::quotedDispositionName(fileName)), "Content-Disposition"_ns);
    headers->setObjectForKeyedSubscript(mimeType, "Content-Type"_ns);
    appendPartWithHeaders(headers, data);
}

void PNStreamingMultipartFormData::appendPartWithFormData(const Ref<NSData>& data, const Ref<NSString>& name)
{
    auto headers = NSMutableDictionary::dictionary();
    headers->setObjectForKeyedSubscript(NSString::stringWithFormat("form-data; name=\"%@\"", dv::internal::http::quotedDispositionName(name)),
        "Content-Disposition"_ns);
    appendPartWithHeaders(headers, data);
}

void PNStreamingMultipartFormData::appendPartWithHeaders(const Ref<NSDictionary>& headers, const Ref<NSData>& body)
{
    appendPart(headers, body, body ? body->length() : 0);
}

void PNStreamingMultipartFormData::appendPart(const Ref<NSDictionary>& headers, const id& body, std::uint64_t bodyLength)
{
    auto part = alloc<PNHTTPBodyPart>()->init();
    part->setStringEncoding(m_stringEncoding);
    part->setHeaders(headers);
    part->setBoundary(m_boundary);
    part->setBodyContentLength(bodyLength);
    part->setBody(body);
    m_bodyStream->appendHTTPBodyPart(part);
}

void PNStreamingMultipartFormData::throttleBandwidthWithPacketSize(NSUInteger numberOfBytes, NSTimeInterval delay)
{
    m_bodyStream->setNumberOfBytesInPacket(numberOfBytes);
    m_bodyStream->setDelay(delay);
}

Ref<NSMutableURLRequest> PNStreamingMultipartFormData::requestByFinalizingMultipartFormData()
{
    if (m_bodyStream->isEmpty())
        return m_request;
    m_bodyStream->setInitialAndFinalBoundaries();
    m_request->setHTTPBodyStream(m_bodyStream);
    m_request->setValueForHTTPHeaderField(NSString::stringWithFormat("multipart/form-data; boundary=%@", m_boundary), "Content-Type"_ns);
    m_request->setValueForHTTPHeaderField(NSString::stringWithFormat("%llu", static_cast<unsigned long long>(m_bodyStream->contentLength())),
        "Content-Length"_ns);
    return m_request;
}
