// Arbitrary bytes as a reply: parsed, mapped onto a model with properties of every kind, written
// back out, copied and compared. Also feeds the text to the date reader directly.
#include "foundation/identity/model/MMModel.h"
#include "foundation/identity/model/internal/MMDateFormat.h"
#include "platform/base/Base.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSURL.h"

#include <cstddef>
#include <cstdint>

namespace {

class FZNode : public NSObject {
    DV_CLASS(FZNode, NSObject)
    Ref<NSString> m_name;
    long long m_int64 = 0;
    unsigned long long m_uint64 = 0;
    int m_int32 = 0;
    double m_double = 0;
    bool m_flag = false;
    Ref<NSNumber> m_number;
    Ref<NSDate> m_date;
    Ref<NSURL> m_url;
    Ref<NSData> m_data;
    Ref<NSMutableString> m_text;
    Ref<NSArray> m_children;
    Ref<NSDictionary> m_byKey;
    Ref<NSSet> m_set;
    Ref<FZNode> m_child;
    Class m_cls = Nil;
    SEL m_selector;
    CGRect m_rect {};
    NSUInteger hash() const override { return mm_modelHash(this); }
    bool isEqual(const NSObject* other) const override { return mm_modelIsEqual(this, other); }
};

} // namespace

DV_DEFINE_CLASS_WITH(FZNode, b)
{
    using T = FZNode;
    b.property("name", &T::m_name, "T@\"NSString\",C,N,V_name");
    b.property("int64", &T::m_int64, "Tq,N,V_int64");
    b.property("uint64", &T::m_uint64, "TQ,N,V_uint64");
    b.property("int32", &T::m_int32, "Ti,N,V_int32");
    b.property("double", &T::m_double, "Td,N,V_double");
    b.property("flag", &T::m_flag, "TB,N,V_flag");
    b.property("number", &T::m_number, "T@\"NSNumber\",&,N,V_number");
    b.property("date", &T::m_date, "T@\"NSDate\",&,N,V_date");
    b.property("url", &T::m_url, "T@\"NSURL\",&,N,V_url");
    b.property("data", &T::m_data, "T@\"NSData\",&,N,V_data");
    b.property("text", &T::m_text, "T@\"NSMutableString\",&,N,V_text");
    b.property("children", &T::m_children, "T@\"NSArray\",&,N,V_children");
    b.property("byKey", &T::m_byKey, "T@\"NSDictionary\",&,N,V_byKey");
    b.property("set", &T::m_set, "T@\"NSSet\",&,N,V_set");
    b.property("child", &T::m_child, "T@\"FZNode\",&,N,V_child");
    b.property("cls", &T::m_cls, "T#,&,N,V_cls");
    b.property("selector", &T::m_selector, "T:,N,V_selector");
    b.property("rect", &T::m_rect, "T{CGRect={CGPoint=dd}{CGSize=dd}},N,V_rect");
    b.classMethodReturning("modelContainerPropertyGenericClass", [] {
        return NSDictionary::of({{"children"_ns, "FZNode"_ns}, {"byKey"_ns, "FZNode"_ns}, {"set"_ns, "FZNode"_ns}});
    });
    b.classMethodReturning("modelCustomPropertyMapper", [] {
        return NSDictionary::of({{"int32"_ns, "a.b.c"_ns}, {"double"_ns, NSArray::of({"d"_ns, "x.d"_ns, "double"_ns})}});
    });
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    auto data = NSData::dataWithBytes(bytes, size);
    (void)dv::internal::model::parseModelDate(data->view());
    if (auto model = mm_modelWithJSON<FZNode>(data)) {
        (void)mm_modelToJSONString(model);
        auto copy = mm_modelCopy(model);
        if (!mm_modelIsEqual(model, copy) && !(model->m_double != model->m_double))
            __builtin_trap();
    }
    (void)mm_modelArrayWithClassJSON(FZNode::class_(), data);
    return 0;
}
