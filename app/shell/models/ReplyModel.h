// What the reply models share. A reply model is a plain record of the application server: only
// copied text properties, each named exactly as the JSON key that fills it, declared with
// DV_REPLY_PROPERTY in the class and registered with DV_DESCRIBE_REPLY_PROPERTY in its source,
// so that the model mapping (mm_modelWithDictionary) fills it: a text is copied, a number stored
// as its decimal text, a missing key (or null) leaves the property nil, and keys without a
// property are ignored.
//
//   class VQCityModel : public NSObject {
//       DV_CLASS(VQCityModel, NSObject)
//       DV_REPLY_PROPERTY(name, Name)
//   };
//   DV_DEFINE_CLASS_WITH(VQCityModel, b) { DV_DESCRIBE_REPLY_PROPERTY(VQCityModel, b, name, Name); }
//
//   auto cities = dv::app::replyModels<VQCityModel>(reply->infoArray());
//
// Models are made and read on one thread at a time (the main thread in the application).
#pragma once

#include "foundation/identity/model/MMModel.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSString.h"

#define DV_REPLY_PROPERTY(name, Name)                                                            \
public:                                                                                          \
    Ref<NSString> name() const { return m_##name; }                                              \
    void set##Name(const Ref<NSString>& value) { m_##name = dv::copyAs<NSString>(value); }       \
                                                                                                 \
private:                                                                                         \
    Ref<NSString> m_##name;                                                                      \
                                                                                                 \
public:

#define DV_DESCRIBE_REPLY_PROPERTY(Cls, builder, name, Name)                                     \
    builder.property<Ref<NSString>>(#name, "T@\"NSString\",C,N,V_" #name,                        \
        [](const Cls& model) { return model.name(); },                                           \
        [](Cls& model, Ref<NSString> value) { model.set##Name(value); })

namespace dv::app {

// A model of class T for every record (dictionary) of `records`, in order; entries that are not
// records are skipped. Empty (never nil) when `records` is not an array.
template <class T>
Ref<NSMutableArray> replyModels(const id& records)
{
    auto array = dv::as<NSArray>(records);
    auto models = array ? mm_modelArrayWithClass(T::class_(), array) : nil;
    return models ? models : NSMutableArray::array();
}

} // namespace dv::app
