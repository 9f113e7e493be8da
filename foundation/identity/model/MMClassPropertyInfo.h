// MMClassPropertyInfo: an immutable description of one declared property of a registered class:
// name, type word (type, qualifiers and attribute flags), type encoding, backing ivar, the class
// of an object type, and the getter and setter names (defaults filled in). Any thread may read it.
#pragma once

#include "foundation/identity/model/MMEncodingType.h"
#include "platform/base/NSObject.h"

#include <string>

class MMClassPropertyInfo : public NSObject {
    DV_CLASS(MMClassPropertyInfo, NSObject)

    MMClassPropertyInfo() = default;
    // nil for a null handle.
    Ref<MMClassPropertyInfo> initWithProperty(const dv::PropertyDescriptor* property);

    const dv::PropertyDescriptor* property() const { return m_property; }
    Ref<NSString> name() const { return m_name; }
    MMEncodingType type() const { return m_type; }
    Ref<NSString> typeEncoding() const { return m_typeEncoding; }
    Ref<NSString> ivarName() const { return m_ivarName; }
    Class cls() const { return m_cls; }
    Ref<NSString> getter() const { return m_getter; }
    Ref<NSString> setter() const { return m_setter; }

private:
    const dv::PropertyDescriptor* m_property = nullptr;
    Ref<NSString> m_name;
    MMEncodingType m_type = 0;
    Ref<NSString> m_typeEncoding;
    Ref<NSString> m_ivarName;
    Class m_cls = Nil;
    Ref<NSString> m_getter;
    Ref<NSString> m_setter;
};
