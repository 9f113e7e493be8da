// NSStream: the common part of input and output streams — a status that moves from not open
// through open to at end, closed or error, and the error that stopped it. Streams here are read
// and written synchronously by their owner's thread; run-loop scheduling is accepted and ignored.
// Subclasses (the HTTP layer's body stream) override the virtual members.
#pragma once

#include "platform/base/NSObject.h"

enum NSStreamStatus : NSUInteger {
    NSStreamStatusNotOpen = 0,
    NSStreamStatusOpening = 1,
    NSStreamStatusOpen = 2,
    NSStreamStatusReading = 3,
    NSStreamStatusWriting = 4,
    NSStreamStatusAtEnd = 5,
    NSStreamStatusClosed = 6,
    NSStreamStatusError = 7,
};

extern const Ref<NSString> NSStreamDataWrittenToMemoryStreamKey;
extern const Ref<NSString> NSStreamFileCurrentOffsetKey;

class NSStream : public NSObject {
    DV_CLASS(NSStream, NSObject)

    NSStream() = default;

    virtual void open();
    virtual void close();
    virtual NSStreamStatus streamStatus() const { return m_status; }
    virtual Ref<NSError> streamError() const { return m_error; }
    virtual id propertyForKey(const Ref<NSString>& key) const;
    virtual bool setPropertyForKey(const id& property, const Ref<NSString>& key);
    // Accepted for the platform's sake; these streams send no run-loop events.
    virtual void scheduleInRunLoop(const id& runLoop, const Ref<NSString>& mode);
    virtual void removeFromRunLoop(const id& runLoop, const Ref<NSString>& mode);

protected:
    void setStatus(NSStreamStatus status) { m_status = status; }
    void failWith(const Ref<NSError>& error);

    NSStreamStatus m_status = NSStreamStatusNotOpen;
    Ref<NSError> m_error;
};
