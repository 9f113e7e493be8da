// Model mapping: fills objects of ordinary model classes from JSON dictionaries by property name,
// and writes them back out, copies, archives, hashes and compares them, with no per-class code.
// A model class declares its properties with the class builder; optional hooks, registered as
// methods of the class, customise the mapping:
//
//   class methods (no arguments unless noted)
//     modelCustomPropertyMapper           NSDictionary property name -> JSON key ("a.b" is a key
//                                         path) or NSArray of keys (the first present one wins)
//     modelContainerPropertyGenericClass  NSDictionary property name -> element class (a class
//                                         object, dv::classObject(cls), or a class name)
//     modelCustomClassForDictionary:      the class to build for a dictionary, or nil
//     modelPropertyBlacklist / modelPropertyWhitelist   NSArray of property names
//   instance methods (one dictionary argument)
//     modelCustomWillTransformFromDictionary:  the dictionary to fill from (nil refuses it)
//     modelCustomTransformFromDictionary:      NSNumber BOOL, the last step of filling
//     modelCustomTransformToDictionary:        NSNumber BOOL, the last step of writing JSON
//
//   auto model = mm_modelWithDictionary<VQPassiveModel>(record);
//   id json = mm_modelToJSONObject(model);
//
// Conversions run on the caller's thread; several threads may convert at once. A model must not
// be filled or read by two threads at once.
#pragma once

#include "platform/base/NSObject.h"

class NSCoder;

// MARK: - NSObject(MMModel), class operations

// A new instance of `cls` filled from a dictionary; nil for nil, NSNull or anything that is not a
// dictionary, and for a class without mappable properties.
id mm_modelWithDictionary(Class cls, const id& dictionary);
// The same from JSON: a dictionary, or JSON text (NSString) or data (NSData) holding an object.
id mm_modelWithJSON(Class cls, const id& json);

template <class T>
Ref<T> mm_modelWithDictionary(const id& dictionary)
{
    return std::dynamic_pointer_cast<T>(mm_modelWithDictionary(T::class_(), dictionary));
}
template <class T>
Ref<T> mm_modelWithJSON(const id& json)
{
    return std::dynamic_pointer_cast<T>(mm_modelWithJSON(T::class_(), json));
}

namespace dv {
// The dictionary of a JSON value: a dictionary itself, or NSString/NSData JSON text of an object;
// nil otherwise.
Ref<NSDictionary> _mm_dictionaryWithJSON(const id& json);
} // namespace dv

// MARK: - NSObject(MMModel), instance operations (a nil model answers NO, nil or 0)

bool mm_modelSetWithDictionary(NSObject* model, const id& dictionary);
bool mm_modelSetWithJSON(NSObject* model, const id& json);
inline bool mm_modelSetWithDictionary(const id& model, const id& dictionary) { return mm_modelSetWithDictionary(model.get(), dictionary); }
inline bool mm_modelSetWithJSON(const id& model, const id& json) { return mm_modelSetWithJSON(model.get(), json); }

// The model as a JSON object (NSDictionary or NSArray), else nil.
id mm_modelToJSONObject(const NSObject* model);
// JSON text of that object as data or as a string; nil when it cannot be written.
Ref<NSData> mm_modelToJSONData(const NSObject* model);
Ref<NSString> mm_modelToJSONString(const NSObject* model);
// A new instance with the same property values (objects are shared, not copied).
id mm_modelCopy(const NSObject* model);
// Keyed archiving of the properties, for a class's own encodeWithCoder / initWithCoder.
void mm_modelEncodeWithCoder(const NSObject* model, NSCoder* coder);
id mm_modelInitWithCoder(NSObject* model, NSCoder* coder);
// Property-wise hash and equality, for a class's own hash() and isEqual().
NSUInteger mm_modelHash(const NSObject* model);
bool mm_modelIsEqual(const NSObject* model, const NSObject* other);

inline id mm_modelToJSONObject(const id& model) { return mm_modelToJSONObject(model.get()); }
inline Ref<NSData> mm_modelToJSONData(const id& model) { return mm_modelToJSONData(model.get()); }
inline Ref<NSString> mm_modelToJSONString(const id& model) { return mm_modelToJSONString(model.get()); }
inline id mm_modelCopy(const id& model) { return mm_modelCopy(model.get()); }
inline NSUInteger mm_modelHash(const id& model) { return mm_modelHash(model.get()); }
inline bool mm_modelIsEqual(const id& model, const id& other) { return mm_modelIsEqual(model.get(), other.get()); }

// MARK: - NSArray(MMModel), NSDictionary(MMModel)

// Models of `cls` for every dictionary element of an array (JSON text or data of an array is
// parsed first); other elements are skipped. nil for a nil class or something not an array.
Ref<NSMutableArray> mm_modelArrayWithClass(Class cls, const Ref<NSArray>& array);
Ref<NSMutableArray> mm_modelArrayWithClassJSON(Class cls, const id& json);
// Models of `cls` under the same keys, for every string-keyed entry that gives a model.
Ref<NSMutableDictionary> mm_modelDictionaryWithClass(Class cls, const Ref<NSDictionary>& dictionary);
Ref<NSMutableDictionary> mm_modelDictionaryWithClassJSON(Class cls, const id& json);
