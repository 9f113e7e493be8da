#include "foundation/http/PNMultipartBodyStream.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/Mutex.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSString.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

DV_DEFINE_CLASS(PNMultipartBodyStream)

Ref<PNMultipartBodyStream> PNMultipartBodyStream::initWithStringEncoding(NSStringEncoding encoding)
{
    NSObject::init();
    m_stringEncoding = encoding;
    m_numberOfBytesInPacket = NSUInteger(NSIntegerMax);
    m_delay = 0;
    return self<PNMultipartBodyStream>();
}

void PNMultipartBodyStream::setInitialAndFinalBoundaries()
{
    if (m_parts.empty())
        return;
    for (const auto& part : m_parts) {
        part->setHasInitialBoundary(false);
        part->setHasFinalBoundary(false);
    }
    m_parts.front()->setHasInitialBoundary(true);
    m_parts.back()->setHasFinalBoundary(true);
}

void PNMultipartBodyStream::appendHTTPBodyPart(const Ref<PNHTTPBodyPart>& bodyPart)
{
    if (bodyPart)
        m_parts.push_back(bodyPart);
}

bool PNMultipartBodyStream::isEmpty() const { return m_parts.empty(); }

Ref<NSArray> PNMultipartBodyStream::HTTPBodyParts() const
{
    return NSArray::fromVector(std::vector<id>(m_parts.begin(), m_parts.end()));
}

NSInteger PNMultipartBodyStream::read(std::uint8_t* buffer, NSUInteger maxLength)
{
    if (m_status == NSStreamStatusClosed || m_status == NSStreamStatusNotOpen)
        return 0;
    if (m_status == NSStreamStatusError || !buffer)
        return -1;

    const NSUInteger limit = std::min(maxLength, m_numberOfBytesInPacket);
    NSUInteger written = 0;
    while (written < limit) {
        if (!m_currentHTTPBodyPart || !m_currentHTTPBodyPart->hasBytesAvailable()) {
            if (m_nextPart >= m_parts.size()) {
                m_currentHTTPBodyPart = nil;
                break;
            }
            m_currentHTTPBodyPart = m_parts[m_nextPart++];
            continue;
        }
        const NSInteger count = m_currentHTTPBodyPart->read(buffer + written, limit - written);
        if (count < 0) {
            auto error = m_currentHTTPBodyPart->inputStream()->streamError();
            if (!error) {
                error = NSError::errorWithDomain(NSPOSIXErrorDomain, EIO,
                    NSDictionary::of({{NSLocalizedDescriptionKey, "A part of the multipart body could not be read."_ns}}));
            }
            setStreamError(error);
            // The bytes of this call are dropped with the rest of the body: the upload fails.
            m_status = NSStreamStatusError;
            return -1;
        }
        written += NSUInteger(count);
        if (m_delay > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(m_delay));
    }
    return NSInteger(written);
}

bool PNMultipartBodyStream::getBuffer(std::uint8_t**, NSUInteger*) { return false; }

bool PNMultipartBodyStream::hasBytesAvailable() const { return m_status == NSStreamStatusOpen; }

void PNMultipartBodyStream::open()
{
    if (m_status == NSStreamStatusOpen)
        return;
    m_status = NSStreamStatusOpen;
    setInitialAndFinalBoundaries();
    m_nextPart = 0;
    m_currentHTTPBodyPart = nil;
}

void PNMultipartBodyStream::close() { m_status = NSStreamStatusClosed; }

NSStreamStatus PNMultipartBodyStream::streamStatus() const { return m_status; }

Ref<NSError> PNMultipartBodyStream::streamError() const
{
    dv::MutexLocker lock(m_errorMutex);
    return m_streamError;
}

void PNMultipartBodyStream::setStreamError(const Ref<NSError>& error)
{
    dv::MutexLocker lock(m_errorMutex);
    m_streamError = error;
}

id PNMultipartBodyStream::propertyForKey(const Ref<NSString>&) const { return nil; }
bool PNMultipartBodyStream::setPropertyForKey(const id&, const Ref<NSString>&) { return false; }
void PNMultipartBodyStream::scheduleInRunLoop(const id&, const Ref<NSString>&) { }
void PNMultipartBodyStream::removeFromRunLoop(const id&, const Ref<NSString>&) { }

std::uint64_t PNMultipartBodyStream::contentLength() const
{
    std::uint64_t length = 0;
    for (const auto& part : m_parts)
        length += part->contentLength();
    return length;
}

id PNMultipartBodyStream::copyWithZone(NSZone*) const
{
    auto copy = alloc<PNMultipartBodyStream>()->initWithStringEncoding(m_stringEncoding);
    for (const auto& part : m_parts)
        copy->appendHTTPBodyPart(std::static_pointer_cast<PNHTTPBodyPart>(part->copy()));
    copy->setInitialAndFinalBoundaries();
    return copy;
}
