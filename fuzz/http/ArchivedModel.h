// A model archived through the model operations, for the keyed-archive fuzz target and its
// seeds. The header defines and registers the class: include it in one file per executable.
#pragma once

#include "foundation/identity/model/MMModel.h"
#include "platform/base/Base.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSCoder.h"

class FZArchivedModel : public NSObject, public NSCoding {
    DV_CLASS(FZArchivedModel, NSObject)
    Ref<NSString> m_title;
    long long m_count = 0;
    double m_ratio = 0;
    bool m_flag = false;
    Ref<NSArray> m_tags;
    Ref<NSDictionary> m_extra;
    Ref<NSDate> m_date;
    Ref<FZArchivedModel> m_child;

    void encodeWithCoder(NSCoder& coder) const override { mm_modelEncodeWithCoder(this, &coder); }
    id initWithCoder(NSCoder& coder) override { return mm_modelInitWithCoder(this, &coder); }
};

DV_DEFINE_CLASS_WITH(FZArchivedModel, b)
{
    using T = FZArchivedModel;
    b.property("title", &T::m_title, "T@\"NSString\",C,N,V_title");
    b.property("count", &T::m_count, "Tq,N,V_count");
    b.property("ratio", &T::m_ratio, "Td,N,V_ratio");
    b.property("flag", &T::m_flag, "TB,N,V_flag");
    b.property("tags", &T::m_tags, "T@\"NSArray\",&,N,V_tags");
    b.property("extra", &T::m_extra, "T@\"NSDictionary\",&,N,V_extra");
    b.property("date", &T::m_date, "T@\"NSDate\",&,N,V_date");
    b.property("child", &T::m_child, "T@\"FZArchivedModel\",&,N,V_child");
}
