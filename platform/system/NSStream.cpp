#include "platform/system/NSStream.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSError.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSURL.h"

#include <cerrno>
#include <cstring>

const Ref<NSString> NSStreamDataWrittenToMemoryStreamKey = "NSStreamDataWrittenToMemoryStreamKey"_ns;
const Ref<NSString> NSStreamFileCurrentOffsetKey = "NSStreamFileCurrentOffsetKey"_ns;

DV_DEFINE_CLASS(NSStream)

void NSStream::open()
{
    if (m_status == NSStreamStatusNotOpen)
        m_status = NSStreamStatusOpen;
}

void NSStream::close()
{
    if (m_status != NSStreamStatusError)
        m_status = NSStreamStatusClosed;
}

id NSStream::propertyForKey(const Ref<NSString>&) const { return nil; }
bool NSStream::setPropertyForKey(const id&, const Ref<NSString>&) { return false; }
void NSStream::scheduleInRunLoop(const id&, const Ref<NSString>&) { }
void NSStream::removeFromRunLoop(const id&, const Ref<NSString>&) { }

void NSStream::failWith(const Ref<NSError>& error)
{
    m_error = error;
    m_status = NSStreamStatusError;
}
