// PNMultipartBodyStream: the input stream that produces a multipart body on demand, part after
// part, while the URL session uploads it; files and caller streams are read in pieces, never
// loaded whole. Read synchronously by one thread (the transport's); run-loop scheduling is
// accepted and ignored, and no events are sent. When a part's stream fails, the stream takes the
// error, moves to the error status and answers -1, so the upload fails instead of ending short.
//
//   auto stream = alloc<PNMultipartBodyStream>()->initWithStringEncoding(NSUTF8StringEncoding);
//   stream->appendHTTPBodyPart(part);
//   stream->open(); while ((n = stream->read(buf, sizeof buf)) > 0) send(buf, n);
#pragma once

#include "foundation/http/PNHTTPBodyPart.h"
#include "platform/base/Mutex.h"
#include "platform/system/NSInputStream.h"

class PNMultipartBodyStream : public NSInputStream, public NSCopying {
    DV_CLASS(PNMultipartBodyStream, NSInputStream)

    PNMultipartBodyStream() = default;
    Ref<PNMultipartBodyStream> initWithStringEncoding(NSStringEncoding encoding);

    // Marks the first part's opening and the last part's closing boundary.
    void setInitialAndFinalBoundaries();
    void appendHTTPBodyPart(const Ref<PNHTTPBodyPart>& bodyPart);
    bool isEmpty() const;

    NSInteger read(std::uint8_t* buffer, NSUInteger maxLength) override;
    bool getBuffer(std::uint8_t** buffer, NSUInteger* length) override;
    bool hasBytesAvailable() const override;
    void open() override;
    void close() override;
    NSStreamStatus streamStatus() const override;
    Ref<NSError> streamError() const override;
    id propertyForKey(const Ref<NSString>& key) const override;
    bool setPropertyForKey(const id& property, const Ref<NSString>& key) override;
    void scheduleInRunLoop(const id& runLoop, const Ref<NSString>& mode) override;
    void removeFromRunLoop(const id& runLoop, const Ref<NSString>& mode) override;

    std::uint64_t contentLength() const;

    // The stream's delegate is stored and answered only; no events are sent to it.
    id delegate() const { return m_delegate.lock(); }
    void setDelegate(const id& delegate) { m_delegate = delegate; }
    NSUInteger numberOfBytesInPacket() const { return m_numberOfBytesInPacket; }
    void setNumberOfBytesInPacket(NSUInteger bytes) { m_numberOfBytesInPacket = bytes; }
    NSTimeInterval delay() const { return m_delay; }
    void setDelay(NSTimeInterval delay) { m_delay = delay; }
    NSStringEncoding stringEncoding() const { return m_stringEncoding; }
    Ref<NSArray> HTTPBodyParts() const;
    Ref<PNHTTPBodyPart> currentHTTPBodyPart() const { return m_currentHTTPBodyPart; }

    // A fresh, unopened stream over copies of the parts (a caller's stream is shared, not copied).
    id copyWithZone(NSZone* zone) const override;

private:
    void setStreamError(const Ref<NSError>& error);

    Weak<NSObject> m_delegate;
    NSUInteger m_numberOfBytesInPacket = NSUInteger(NSIntegerMax);
    NSTimeInterval m_delay = 0;
    NSStringEncoding m_stringEncoding = NSUTF8StringEncoding;
    std::vector<Ref<PNHTTPBodyPart>> m_parts;
    std::size_t m_nextPart = 0;
    Ref<PNHTTPBodyPart> m_currentHTTPBodyPart;
    mutable dv::Mutex m_errorMutex;
    Ref<NSError> m_streamError DV_GUARDED_BY(m_errorMutex);
};
