// The per-class metadata of the model mapping: one record per mappable property (type, Foundation
// kind, accessors, the JSON key, key path or keys it is mapped to) and one record per class (the
// key-to-property mapper and the lists the conversions walk). Built once per class from the class
// reflection and the class's customisation hooks, then never changed; lookups after the first
// take no lock. Any thread may read.
#pragma once

#include "foundation/identity/model/MMClassInfo.h"
#include "foundation/identity/model/MMClassPropertyInfo.h"
#include "foundation/identity/model/MMEncodingType.h"
#include "platform/base/ClassBuilder.h"
#include "platform/base/NSString.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dv::internal::model {

// The Foundation kind of a class: the value classes the conversions treat specially.
enum class MMEncodingNSType : std::uint8_t {
    Unknown = 0,
    NSString,
    NSMutableString,
    NSValue,
    NSNumber,
    NSDecimalNumber,
    NSData,
    NSMutableData,
    NSDate,
    NSURL,
    NSArray,
    NSMutableArray,
    NSDictionary,
    NSMutableDictionary,
    NSSet,
    NSMutableSet,
};

MMEncodingNSType MMNSTypeOfClass(Class cls);

struct MMModelPropertyMeta {
    Ref<NSString> name;
    MMEncodingType type = 0;
    MMEncodingNSType nsType = MMEncodingNSType::Unknown;
    bool isCNumber = false;
    Class cls = Nil;
    Class genericCls = Nil;
    // The accessors: the declaring class's property descriptor; a missing accessor is false.
    const PropertyDescriptor* property = nullptr;
    bool hasGetter = false;
    bool hasSetter = false;
    bool isKVCCompatible = false;
    bool isStructAvailableForKeyedArchiver = false;
    bool hasCustomClassFromDictionary = false;

    Ref<NSString> mappedToKey;                  // nil: not mapped
    std::vector<Ref<NSString>> mappedToKeyPath; // empty unless the key is dotted
    Ref<NSArray> mappedToKeyArray;              // several keys: NSString or NSArray of components

    Ref<MMClassPropertyInfo> info;
    const MMModelPropertyMeta* next = nullptr; // the record mapped before this one to the same key

    // Typed accessors of a string property (the common case), else null.
    const TypedPropertyAccess<Ref<NSString>>* stringAccess = nullptr;

    MMEncodingType typeCode() const { return type & MMEncodingTypeMask; }
    id get(const NSObject& model) const { return hasGetter ? property->getter(model) : nullptr; }
    void set(NSObject& model, const id& value) const
    {
        if (hasSetter)
            property->setter(model, value);
    }
};

struct MMModelMeta {
    struct MapperEntry {
        id key; // the JSON key (NSString), or for several keys the very array the mapper gave
        const MMModelPropertyMeta* head;
    };

    Class cls = Nil;
    Ref<MMClassInfo> classInfo;
    std::vector<MapperEntry> mapper;
    std::vector<const MMModelPropertyMeta*> allPropertyMetas;
    std::vector<const MMModelPropertyMeta*> keyPathPropertyMetas;
    std::vector<const MMModelPropertyMeta*> multiKeysPropertyMetas;
    NSUInteger keyMappedCount = 0;
    MMEncodingNSType nsType = MMEncodingNSType::Unknown;
    bool hasCustomWillTransformFromDictionary = false;
    bool hasCustomTransformFromDictionary = false;
    bool hasCustomTransformToDictionary = false;
    bool hasCustomClassFromDictionary = false;

    // The chain mapped to a JSON key (an NSString key), or null.
    const MMModelPropertyMeta* propertyForKey(std::string_view key) const
    {
        auto found = m_byKey.find(key);
        return found == m_byKey.end() ? nullptr : found->second;
    }

    // The cached metadata of a class; null for Nil or a class that cannot be described.
    static const MMModelMeta* metaWithClass(Class cls);

private:
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
    };
    std::unordered_map<std::string, const MMModelPropertyMeta*, KeyHash, std::equal_to<>> m_byKey;
    std::vector<std::unique_ptr<MMModelPropertyMeta>> m_storage;

    friend struct MMModelMetaBuilder;
};

// Selectors of the customisation hooks.
SEL selModelCustomPropertyMapper();
SEL selModelContainerPropertyGenericClass();
SEL selModelCustomClassForDictionary();
SEL selModelPropertyBlacklist();
SEL selModelPropertyWhitelist();
SEL selModelCustomWillTransformFromDictionary();
SEL selModelCustomTransformFromDictionary();
SEL selModelCustomTransformToDictionary();

// The class a hook answered (a class object, or a class name), or Nil.
Class classFromHookAnswer(const id& answer);

} // namespace dv::internal::model
