// PNStreamingMultipartFormData: the builder of a "multipart/form-data" request body. It holds the
// parts as records (headers and source) in a PNMultipartBodyStream and, when finalised, puts that
// stream and the multipart headers on its request. Lives from the request serialiser's call to the
// end of finalising, on the thread that builds the request.
//
//   auto form = alloc<PNStreamingMultipartFormData>()->initWithURLRequest(request, NSUTF8StringEncoding);
//   form->appendPartWithFormData(NSData::fromString("1"), "id"_ns);
//   auto finished = form->requestByFinalizingMultipartFormData();
#pragma once

#include "foundation/http/PNMultipartBodyStream.h"
#include "foundation/http/PNMultipartFormData.h"

class NSMutableURLRequest;

class PNStreamingMultipartFormData : public NSObject, public PNMultipartFormData {
    DV_CLASS(PNStreamingMultipartFormData, NSObject)

    PNStreamingMultipartFormData() = default;
    Ref<PNStreamingMultipartFormData> initWithURLRequest(const Ref<NSMutableURLRequest>& urlRequest, NSStringEncoding encoding);

    bool appendPartWithFileURL(const Ref<NSURL>& fileURL, const Ref<NSString>& name, Ref<NSError>* error) override;
    bool appendPartWithFileURL(const Ref<NSURL>& fileURL, const Ref<NSString>& name, const Ref<NSString>& fileName,
        const Ref<NSString>& mimeType, Ref<NSError>* error) override;
    void appendPartWithInputStream(const Ref<NSInputStream>& inputStream, const Ref<NSString>& name, const Ref<NSString>& fileName,
        std::int64_t length, const Ref<NSString>& mimeType) override;
    void appendPartWithFileData(const Ref<NSData>& data, const Ref<NSString>& name, const Ref<NSString>& fileName,
        const Ref<NSString>& mimeType) override;
    void appendPartWithFormData(const Ref<NSData>& data, const Ref<NSString>& name) override;
    void appendPartWithHeaders(const Ref<NSDictionary>& headers, const Ref<NSData>& body) override;
    void throttleBandwidthWithPacketSize(NSUInteger numberOfBytes, NSTimeInterval delay) override;

    // The request with the body stream, "Content-Type" (multipart, with the boundary) and
    // "Content-Length"; unchanged when no part was appended.
    Ref<NSMutableURLRequest> requestByFinalizingMultipartFormData();

    Ref<NSMutableURLRequest> request() const { return m_request; }
    void setRequest(const Ref<NSMutableURLRequest>& request);
    NSStringEncoding stringEncoding() const { return m_stringEncoding; }
    void setStringEncoding(NSStringEncoding encoding) { m_stringEncoding = encoding; }
    // "Boundary+" and 16 upper-case hexadecimal digits, made once per builder.
    Ref<NSString> boundary() const { return m_boundary; }
    void setBoundary(const Ref<NSString>& boundary);
    Ref<PNMultipartBodyStream> bodyStream() const { return m_bodyStream; }
    void setBodyStream(const Ref<PNMultipartBodyStream>& stream) { m_bodyStream = stream; }

private:
    void appendPart(const Ref<NSDictionary>& headers, const id& body, std::uint64_t bodyLength);

    Ref<NSMutableURLRequest> m_request;
    NSStringEncoding m_stringEncoding = NSUTF8StringEncoding;
    Ref<NSString> m_boundary;
    Ref<PNMultipartBodyStream> m_bodyStream;
};

// The error domain of the request serialisers and the multipart builder.
extern const Ref<NSString> PNURLRequestSerializationErrorDomain; // "com.pellucor.error.serialization.request"

namespace dv::internal::http {

// A field or file name as it may appear between the quotes of a Content-Disposition value:
// '"', CR and LF are percent-encoded so that a name cannot end the value or start a header.
Ref<NSString> quotedDispositionName(const Ref<NSString>& name);

} // namespace dv::internal::http
