#include "platform/base/NSFormatter.h"

#include "platform/base/ClassBuilder.h"

DV_DEFINE_CLASS(NSFormatter)

Ref<NSString> NSFormatter::stringForObjectValue(const id&) const { return nil; }

id NSFormatter::copyWithZone(NSZone*) const
{
    auto copy = getClass()->createInstance();
    if (copy)
        copy->init();
    return copy;
}
