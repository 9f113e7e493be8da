#include "platform/base/NSNull.h"

#include "platform/base/ClassBuilder.h"
#include "platform/base/KeptObjects.h"
#include "platform/base/NSString.h"

DV_DEFINE_CLASS(NSNull)

Ref<NSNull> NSNull::null()
{
    static const Ref<NSNull> instance = dv::keepingForever([] { return alloc<NSNull>(); });
    return instance;
}

Ref<NSString> NSNull::description() const { return NSString::fromUTF8("<null>"); }
id NSNull::copyWithZone(NSZone*) const { return null(); }

namespace dv {
bool isNullish(const NSObject* object) { return !object || dynamic_cast<const NSNull*>(object) != nullptr; }
} // namespace dv
