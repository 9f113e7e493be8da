// NSNull: the one null object that stands for "nothing" inside collections and JSON.
#pragma once

#include "platform/base/NSObject.h"

class NSNull : public NSObject, public NSCopying {
    DV_CLASS(NSNull, NSObject)

    NSNull() = default;
    // The single instance.
    static Ref<NSNull> null();

    Ref<NSString> description() const override; // "<null>"
    id copyWithZone(NSZone* zone) const override;
};

namespace dv {
// True for nil and for the null object.
bool isNullish(const NSObject* object);
inline bool isNullish(const id& object) { return isNullish(object.get()); }
} // namespace dv
