#include "foundation/http/PNHTTPBodyPart.h"

#include "foundation/http/internal/DataBodyInputStream.h"
#include "foundation/http/internal/FileBodyInputStream.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSURL.h"
#include "platform/system/NSInputStream.h"

#include <algorithm>
#include <cstring>

DV_DEFINE_CLASS(PNHTTPBodyPart)

namespace {

constexpr const char* kCRLF = "\r\n";

} // namespace

PNHTTPBodyPart::~PNHTTPBodyPart()
{
    if (m_inputStream)
        m_inputStream->close();
}

Ref<PNHTTPBodyPart> PNHTTPBodyPart::init()
{
    NSObject::init();
    // Parts are created and read on whatever thread builds or sends the body; phase changes are
    // plain state changes on that thread and never wait for the main thread.
    transitionToNextPhase();
    return self<PNHTTPBodyPart>();
}

Ref<NSInputStream> PNHTTPBodyPart::inputStream()
{
    if (!m_inputStream) {
        if (auto data = dv::as<NSData>(m_body))
            m_inputStream = alloc<dv::internal::http::DataBodyInputStream>()->initWithBodyData(data);
        else if (auto url = dv::as<NSURL>(m_body); url && url->isFileURL())
            m_inputStream = alloc<dv::internal::http::FileBodyInputStream>()->initWithPath(url->path()->utf8());
        else if (auto stream = dv::as<NSInputStream>(m_body))
            m_inputStream = stream;
        if (!m_inputStream)
            m_inputStream = alloc<dv::internal::http::DataBodyInputStream>()->initWithBodyData(NSData::data());
    }
    return m_inputStream;
}

Ref<NSString> PNHTTPBodyPart::stringForHeaders() const
{
    auto text = NSMutableString::string();
    if (m_headers) {
        for (const auto& [field, value] : *m_headers)
            text->appendFormat("%@: %@%s", field, value, kCRLF);
    }
    text->appendUTF8(kCRLF);
    return dv::copyAs<NSString>(text);
}

namespace {

Ref<NSData> encoded(const Ref<NSString>& text, NSStringEncoding encoding)
{
    auto data = text->dataUsingEncoding(encoding);
    return data ? data : NSData::data();
}

} // namespace

Ref<NSData> PNHTTPBodyPart::openingBoundaryData() const
{
    if (!m_openingData) {
        auto text = m_hasInitialBoundary ? NSString::stringWithFormat("--%@%s", m_boundary, kCRLF)
                                         : NSString::stringWithFormat("%s--%@%s", kCRLF, m_boundary, kCRLF);
        m_openingData = encoded(text, m_stringEncoding);
    }
    return m_openingData;
}

Ref<NSData> PNHTTPBodyPart::headerData() const
{
    if (!m_headerData)
        m_headerData = encoded(stringForHeaders(), m_stringEncoding);
    return m_headerData;
}

Ref<NSData> PNHTTPBodyPart::closingBoundaryData() const
{
    if (!m_closingData)
        m_closingData = m_hasFinalBoundary ? encoded(NSString::stringWithFormat("%s--%@--%s", kCRLF, m_boundary, kCRLF), m_stringEncoding)
                                           : NSData::data();
    return m_closingData;
}

void PNHTTPBodyPart::forgetEncodedTexts()
{
    m_openingData = nil;
    m_headerData = nil;
    m_closingData = nil;
}

void PNHTTPBodyPart::setHasInitialBoundary(bool value)
{
    m_hasInitialBoundary = value;
    m_openingData = nil;
}

void PNHTTPBodyPart::setHasFinalBoundary(bool value)
{
    m_hasFinalBoundary = value;
    m_closingData = nil;
}

void PNHTTPBodyPart::setStringEncoding(NSStringEncoding encoding)
{
    m_stringEncoding = encoding;
    forgetEncodedTexts();
}

void PNHTTPBodyPart::setHeaders(const Ref<NSDictionary>& headers)
{
    m_headers = headers;
    m_headerData = nil;
}

void PNHTTPBodyPart::setBoundary(const Ref<NSString>& boundary)
{
    m_boundary = dv::copyAs<NSString>(boundary);
    forgetEncodedTexts();
}

std::uint64_t PNHTTPBodyPart::contentLength() const
{
    return openingBoundaryData()->length() + headerData()->length() + m_bodyContentLength + closingBoundaryData()->length();
}

bool PNHTTPBodyPart::hasBytesAvailable() const
{
    if (m_phase == FinalBoundaryPhase)
        return true;
    if (!m_inputStream)
        return true; // not opened yet: everything is still to come
    const NSStreamStatus status = m_inputStream->streamStatus();
    // A failed stream still answers YES, so that the next read reports the failure instead of
    // the body ending early as if it were complete.
    return status < NSStreamStatusAtEnd || status == NSStreamStatusError;
}

NSInteger PNHTTPBodyPart::read(std::uint8_t* buffer, NSUInteger maxLength)
{
    NSInteger total = 0;
    if (m_phase == EncapsulationBoundaryPhase)
        total += readData(openingBoundaryData(), buffer, maxLength);
    if (m_phase == HeaderPhase)
        total += readData(headerData(), buffer + total, maxLength - NSUInteger(total));
    if (m_phase == BodyPhase) {
        const NSUInteger room = maxLength - NSUInteger(total);
        auto stream = inputStream();
        NSInteger count = 0;
        if (room > 0 || stream->streamStatus() == NSStreamStatusError) {
            count = stream->read(buffer + total, room);
            if (count < 0)
                return -1;
        }
        total += count;
        // A stream answers 0 for a non-empty buffer only at its end, whatever status it shows.
        if (stream->streamStatus() >= NSStreamStatusAtEnd || (room > 0 && count == 0))
            transitionToNextPhase();
    }
    if (m_phase == FinalBoundaryPhase)
        total += readData(closingBoundaryData(), buffer + total, maxLength - NSUInteger(total));
    return total;
}

NSInteger PNHTTPBodyPart::readData(const Ref<NSData>& data, std::uint8_t* buffer, NSUInteger maxLength)
{
    const NSUInteger remaining = data->length() - std::min<NSUInteger>(m_phaseReadOffset, data->length());
    const NSUInteger count = std::min(remaining, maxLength);
    if (count > 0)
        std::memcpy(buffer, data->bytes() + m_phaseReadOffset, count);
    m_phaseReadOffset += count;
    if (m_phaseReadOffset >= data->length())
        transitionToNextPhase();
    return NSInteger(count);
}

bool PNHTTPBodyPart::transitionToNextPhase()
{
    switch (m_phase) {
    case EncapsulationBoundaryPhase:
        m_phase = HeaderPhase;
        break;
    case HeaderPhase: {
        auto stream = inputStream();
        if (stream->streamStatus() == NSStreamStatusNotOpen)
            stream->open();
        m_phase = BodyPhase;
        break;
    }
    case BodyPhase:
        inputStream()->close();
        m_phase = FinalBoundaryPhase;
        break;
    default:
        m_phase = EncapsulationBoundaryPhase;
        break;
    }
    m_phaseReadOffset = 0;
    return true;
}

id PNHTTPBodyPart::copyWithZone(NSZone*) const
{
    auto copy = alloc<PNHTTPBodyPart>()->init();
    copy->setStringEncoding(m_stringEncoding);
    copy->setHeaders(m_headers);
    copy->setBodyContentLength(m_bodyContentLength);
    copy->setBody(m_body);
    copy->setBoundary(m_boundary);
    return copy;
}
