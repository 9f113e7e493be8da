#include "foundation/identity/UIDeviceDIUUID.h"

#include "foundation/identity/DIUUID.h"
#include "platform/system/UIDevice.h"

Ref<NSString> uuid(const Ref<UIDevice>& device)
{
    // A message to nil answers nil.
    return device ? DIUUID::uuidForDevice() : nil;
}
