// MMClassIvarInfo: an immutable description of one instance variable of a registered class, as
// the class reflection of the model mapping reads it from the runtime. Any thread may read it.
#pragma once

#include "foundation/identity/model/MMEncodingType.h"
#include "platform/base/NSObject.h"

class MMClassIvarInfo : public NSObject {
    DV_CLASS(MMClassIvarInfo, NSObject)

    MMClassIvarInfo() = default;
    // nil for a null handle.
    Ref<MMClassIvarInfo> initWithIvar(const dv::IvarDescriptor* ivar);

    const dv::IvarDescriptor* ivar() const { return m_ivar; }
    Ref<NSString> name() const { return m_name; }
    std::ptrdiff_t offset() const { return m_offset; }
    Ref<NSString> typeEncoding() const { return m_typeEncoding; }
    MMEncodingType type() const { return m_type; }

private:
    const dv::IvarDescriptor* m_ivar = nullptr;
    Ref<NSString> m_name;
    std::ptrdiff_t m_offset = 0;
    Ref<NSString> m_typeEncoding;
    MMEncodingType m_type = 0;
};
