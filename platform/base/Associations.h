// Associated objects: extra values hung on any object under a key, with the platform's storage
// policies. They die with the object they hang on.
#pragma once

#include "platform/base/NSObject.h"

enum objc_AssociationPolicy : std::uintptr_t {
    OBJC_ASSOCIATION_ASSIGN = 0,            // held weakly: reads nil once the value is gone
    OBJC_ASSOCIATION_RETAIN_NONATOMIC = 1,
    OBJC_ASSOCIATION_COPY_NONATOMIC = 3,
    OBJC_ASSOCIATION_RETAIN = 01401,
    OBJC_ASSOCIATION_COPY = 01403,
};

// A nil value removes the association. A nil object is ignored.
void objc_setAssociatedObject(const NSObject* object, const void* key, const id& value, objc_AssociationPolicy policy);
id objc_getAssociatedObject(const NSObject* object, const void* key);
void objc_removeAssociatedObjects(const NSObject* object);

inline void objc_setAssociatedObject(const id& object, const void* key, const id& value, objc_AssociationPolicy policy)
{
    objc_setAssociatedObject(object.get(), key, value, policy);
}
inline id objc_getAssociatedObject(const id& object, const void* key) { return objc_getAssociatedObject(object.get(), key); }
