// PNHTTPBodyPart: one part of a multipart body, read in four phases — its opening boundary, its
// header block, its body (data, a file or a caller's stream, read through an input stream made on
// first use) and, for the last part, the closing boundary. Owned by the body stream and read only
// by the thread that reads that stream.
#pragma once

#include "platform/base/NSObject.h"
#include "platform/base/NSString.h"

class NSInputStream;

class PNHTTPBodyPart : public NSObject, public NSCopying {
    DV_CLASS(PNHTTPBodyPart, NSObject)

    enum Phase : std::int32_t { EncapsulationBoundaryPhase = 1, HeaderPhase = 2, BodyPhase = 3, FinalBoundaryPhase = 4 };

    PNHTTPBodyPart() = default;
    ~PNHTTPBodyPart() override;
    Ref<PNHTTPBodyPart> init();

    // The body's stream: over the data, over the file of a URL, the caller's stream itself, or over
    // empty data for any other body.
    Ref<NSInputStream> inputStream();
    Ref<NSString> stringForHeaders() const;
    // Opening boundary, headers, stated body length and, for the last part, the closing boundary.
    std::uint64_t contentLength() const;
    bool hasBytesAvailable() const;
    // Bytes written into the buffer, or -1 when the body's stream failed.
    NSInteger read(std::uint8_t* buffer, NSUInteger maxLength);
    bool transitionToNextPhase();

    std::int32_t phase() const { return m_phase; }
    NSUInteger phaseReadOffset() const { return m_phaseReadOffset; }
    bool hasInitialBoundary() const { return m_hasInitialBoundary; }
    void setHasInitialBoundary(bool value);
    bool hasFinalBoundary() const { return m_hasFinalBoundary; }
    void setHasFinalBoundary(bool value);
    NSStringEncoding stringEncoding() const { return m_stringEncoding; }
    void setStringEncoding(NSStringEncoding encoding);
    Ref<NSDictionary> headers() const { return m_headers; }
    void setHeaders(const Ref<NSDictionary>& headers);
    Ref<NSString> boundary() const { return m_boundary; }
    void setBoundary(const Ref<NSString>& boundary);
    id body() const { return m_body; }
    void setBody(const id& body) { m_body = body; }
    std::uint64_t bodyContentLength() const { return m_bodyContentLength; }
    void setBodyContentLength(std::uint64_t length) { m_bodyContentLength = length; }

    id copyWithZone(NSZone* zone) const override;

private:
    NSInteger readData(const Ref<NSData>& data, std::uint8_t* buffer, NSUInteger maxLength);
    Ref<NSData> openingBoundaryData() const;
    Ref<NSData> headerData() const;
    Ref<NSData> closingBoundaryData() const;
    void forgetEncodedTexts();

    std::int32_t m_phase = 0;
    Ref<NSInputStream> m_inputStream;
    NSUInteger m_phaseReadOffset = 0;
    bool m_hasInitialBoundary = false;
    bool m_hasFinalBoundary = false;
    NSStringEncoding m_stringEncoding = NSUTF8StringEncoding;
    Ref<NSDictionary> m_headers;
    Ref<NSString> m_boundary;
    id m_body;
    std::uint64_t m_bodyContentLength = 0;
    // The framing texts in the string encoding, made once per setting.
    mutable Ref<NSData> m_openingData, m_headerData, m_closingData;
};
