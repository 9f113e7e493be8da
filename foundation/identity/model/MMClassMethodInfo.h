// MMClassMethodInfo: an immutable description of one method of a registered class: selector,
// implementation and the type encodings of its result and arguments (the receiver and the
// selector count as the first two arguments). Any thread may read it.
#pragma once

#include "platform/base/NSObject.h"

#include <string>
#include <string_view>
#include <vector>

class MMClassMethodInfo : public NSObject {
    DV_CLASS(MMClassMethodInfo, NSObject)

    MMClassMethodInfo() = default;
    // nil for a null handle.
    Ref<MMClassMethodInfo> initWithMethod(const dv::MethodDescriptor* method);

    const dv::MethodDescriptor* method() const { return m_method; }
    Ref<NSString> name() const { return m_name; }
    SEL sel() const { return m_sel; }
    const dv::IMP* imp() const { return m_imp; }
    Ref<NSString> typeEncoding() const { return m_typeEncoding; }
    Ref<NSString> returnTypeEncoding() const { return m_returnTypeEncoding; }
    // nil for a method that reports no arguments.
    Ref<NSArray> argumentTypeEncodings() const { return m_argumentTypeEncodings; }

private:
    const dv::MethodDescriptor* m_method = nullptr;
    Ref<NSString> m_name;
    SEL m_sel;
    const dv::IMP* m_imp = nullptr;
    Ref<NSString> m_typeEncoding;
    Ref<NSString> m_returnTypeEncoding;
    Ref<NSArray> m_argumentTypeEncodings;
};

namespace dv {
// The single types of a method type encoding ("v24@0:8@16" gives "v", "@", ":", "@"), without
// the frame offsets.
std::vector<std::string> splitMethodTypeEncoding(std::string_view types);
} // namespace dv
