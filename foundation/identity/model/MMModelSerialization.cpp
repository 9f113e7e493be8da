// Writing models out (JSON objects, data, text), copying, archiving, hashing and comparing them.
#include "foundation/identity/model/MMModel.h"

#include "foundation/identity/model/internal/MMDateFormat.h"
#include "foundation/identity/model/internal/MMModelConversion.h"
#include "foundation/identity/model/internal/MMModelMeta.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#if __has_include("platform/base/NSURL.h")
#include "platform/base/NSURL.h"
#define DV_MODEL_HAS_URL 1
#endif
#if __has_include("platform/base/NSJSONSerialization.h")
#include "platform/base/NSJSONSerialization.h"
#define DV_MODEL_HAS_JSON 1
#endif
#if __has_include("platform/base/NSKeyedArchiver.h")
#include "platform/base/NSKeyedArchiver.h"
#define DV_MODEL_HAS_CODER 1
#endif

#include <array>
#include <cmath>

using namespace dv::internal;

namespace {

// Deeper than any real reply; a model graph with a cycle stops here instead of overflowing the
// stack.
constexpr int kMaxDepth = 200;

bool isNull(const NSObject* value) { return dynamic_cast<const NSNull*>(value) != nullptr; }

bool isValidJSONValue(const NSObject* value, int depth)
{
    if (depth > kMaxDepth)
        return false;
    if (auto* number = dynamic_cast<const NSNumber*>(value))
        return std::isfinite(number->doubleValue()) || !number->isFloatingPoint();
    if (dynamic_cast<const NSString*>(value) || isNull(value))
        return true;
    if (auto* array = dynamic_cast<const NSArray*>(value)) {
        for (const id& element : *array)
            if (!isValidJSONValue(element.get(), depth + 1))
                return false;
        return true;
    }
    if (auto* dictionary = dynamic_cast<const NSDictionary*>(value)) {
        for (const auto& [key, element] : *dictionary)
            if (!dynamic_cast<const NSString*>(key.get()) || !isValidJSONValue(element.get(), depth + 1))
                return false;
        return true;
    }
    return false;
}

// What the JSON writer accepts: an array or dictionary of strings, finite numbers, null and
// nested containers, with string keys.
bool isValidJSONObject(const NSObject* value)
{
#ifdef DV_MODEL_HAS_JSON
    return NSJSONSerialization::isValidJSONObject(value ? value->self() : nil);
#else
    return (dynamic_cast<const NSArray*>(value) || dynamic_cast<const NSDictionary*>(value)) && isValidJSONValue(value, 0);
#endif
}

id modelToJSONObject(const NSObject* value, int depth);

id arrayToJSONObject(const Ref<NSArray>& array, int depth)
{
    if (isValidJSONObject(array.get()))
        return array;
    auto result = NSMutableArray::arrayWithCapacity(array->count());
    for (const id& element : *array) {
        if (dynamic_cast<const NSString*>(element.get()) || dynamic_cast<const NSNumber*>(element.get())) {
            result->addObject(element);
        } else {
            id converted = modelToJSONObject(element.get(), depth + 1);
            if (converted && !isNull(converted.get()))
                result->addObject(converted);
        }
    }
    return result;
}

void writeProperty(NSMutableDictionary& result, const NSObject& model, const MMModelPropertyMeta& meta, int depth)
{
    if (!meta.hasGetter || !meta.mappedToKey)
        return;
    id value;
    if (meta.isCNumber) {
        value = MMNumberFromProperty(model, meta);
    } else if (meta.nsType != MMEncodingNSType::Unknown) {
        id current = meta.stringAccess ? std::static_pointer_cast<NSObject>(meta.stringAccess->get(model)) : meta.get(model);
        value = modelToJSONObject(current.get(), depth + 1);
    } else {
        switch (meta.typeCode()) {
        case MMEncodingTypeObject:
            value = modelToJSONObject(meta.get(model).get(), depth + 1);
            if (isNull(value.get()))
                value = nil;
            break;
        case MMEncodingTypeClass:
        case MMEncodingTypeSEL:
            // Boxed as their names (nil for Nil and the null selector).
            value = dv::as<NSString>(meta.get(model));
            break;
        default: break;
        }
    }
    if (!value)
        return;

    if (meta.mappedToKeyPath.empty()) {
        if (!result.objectForKey(meta.mappedToKey->utf8()))
            result.setObjectForKey(value, meta.mappedToKey);
        return;
    }
    NSMutableDictionary* current = &result;
    const auto& path = meta.mappedToKeyPath;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (i + 1 == path.size()) {
            if (!current->objectForKey(path[i]->utf8()))
                current->setObjectForKey(value, path[i]);
            return;
        }
        id next = current->objectForKey(path[i]->utf8());
        if (!next) {
            auto created = NSMutableDictionary::dictionary();
            current->setObjectForKey(created, path[i]);
            current = created.get();
        } else if (auto mutableNext = dv::as<NSMutableDictionary>(next)) {
            current = mutableNext.get();
        } else if (auto immutableNext = dv::as<NSDictionary>(next)) {
            auto copied = NSMutableDictionary::dictionaryWithDictionary(immutableNext);
            current->setObjectForKey(copied, path[i]);
            current = copied.get();
        } else {
            return;
        }
    }
}

id modelToJSONObject(const NSObject* value, int depth)
{
    if (!value || depth > kMaxDepth)
        return nil;
    if (isNull(value) || dynamic_cast<const NSString*>(value) || dynamic_cast<const NSNumber*>(value))
        return std::const_pointer_cast<NSObject>(value->self());
    if (auto* dictionary = dynamic_cast<const NSDictionary*>(value)) {
        if (isValidJSONObject(dictionary))
            return std::const_pointer_cast<NSObject>(value->self());
        auto result = NSMutableDictionary::dictionaryWithCapacity(dictionary->count());
        for (const auto& [key, element] : *dictionary) {
            Ref<NSString> name = dv::as<NSString>(key);
            if (!name)
                name = key->description();
            if (!name)
                continue;
            id converted = modelToJSONObject(element.get(), depth + 1);
            result->setObjectForKey(converted ? converted : NSNull::null(), name);
        }
        return result;
    }
    if (auto* set = dynamic_cast<const NSSet*>(value))
        return arrayToJSONObject(set->allObjects(), depth);
    if (auto* array = dynamic_cast<const NSArray*>(value))
        return arrayToJSONObject(std::const_pointer_cast<NSArray>(array->self<NSArray>()), depth);
#ifdef DV_MODEL_HAS_URL
    if (auto* url = dynamic_cast<const NSURL*>(value))
        return url->absoluteString();
#endif
    if (auto* date = dynamic_cast<const NSDate*>(value)) {
        std::string text = formatModelDate(date->timeIntervalSince1970());
        return text.empty() ? nil : NSString::fromUTF8(text);
    }
    if (dynamic_cast<const NSData*>(value))
        return nil;

    const MMModelMeta* meta = MMModelMeta::metaWithClass(value->getClass());
    if (!meta || meta->keyMappedCount == 0)
        return nil;
    auto result = NSMutableDictionary::dictionaryWithCapacity(64);
    for (const auto& entry : meta->mapper)
        writeProperty(*result, *value, *entry.head, depth);
    if (meta->hasCustomTransformToDictionary) {
        std::array<id, 1> args {result};
        auto answer = dv::as<NSNumber>(const_cast<NSObject*>(value)->performSelector(selModelCustomTransformToDictionary(), args));
        if (!answer || !answer->boolValue())
            return nil;
    }
    return result;
}

const MMModelMeta* modelMeta(const NSObject* model)
{
    return model ? MMModelMeta::metaWithClass(model->getClass()) : nullptr;
}

bool isFoundationValue(const NSObject* model, const MMModelMeta* meta)
{
    return isNull(model) || (meta && meta->nsType != MMEncodingNSType::Unknown);
}

// Blocks have no identity once boxed (each read boxes the function anew), so they take no part
// in hashing and equality.
bool comparable(const MMModelPropertyMeta& meta)
{
    return meta.isKVCCompatible && meta.typeCode() != MMEncodingTypeBlock;
}

} // namespace

id mm_modelToJSONObject(const NSObject* model)
{
    id json = modelToJSONObject(model, 0);
    if (dv::as<NSArray>(json) || dv::as<NSDictionary>(json))
        return json;
    return nil;
}

Ref<NSData> mm_modelToJSONData(const NSObject* model)
{
    id json = mm_modelToJSONObject(model);
    if (!json)
        return nil;
#ifdef DV_MODEL_HAS_JSON
    if (!NSJSONSerialization::isValidJSONObject(json))
        return nil;
    return NSJSONSerialization::dataWithJSONObject(json, 0, nullptr);
#else
    return nil;
#endif
}

Ref<NSString> mm_modelToJSONString(const NSObject* model)
{
    Ref<NSData> data = mm_modelToJSONData(model);
    if (!data || data->length() == 0)
        return nil;
    return alloc<NSString>()->initWithData(data, NSUTF8StringEncoding);
}

id mm_modelCopy(const NSObject* model)
{
    if (!model)
        return nil;
    const MMModelMeta* meta = modelMeta(model);
    if (isNull(model))
        return std::const_pointer_cast<NSObject>(model->self());
    if (isFoundationValue(model, meta))
        return model->conformsToCopying() ? model->copy() : std::const_pointer_cast<NSObject>(model->self());
    id copy = model->getClass()->createInstance();
    if (!copy || !meta)
        return copy;
    for (const MMModelPropertyMeta* property : meta->allPropertyMetas) {
        if (!property->hasGetter || !property->hasSetter)
            continue;
        MMEncodingType code = property->typeCode();
        if (code == MMEncodingTypeLongDouble) {
            auto* typed = dv::typedAccess<long double>(*property->property);
            if (typed && typed->get && typed->set) {
                typed->set(*copy, typed->get(*model));
                continue;
            }
        }
        bool copied = property->isCNumber || code == MMEncodingTypeObject || code == MMEncodingTypeClass
            || code == MMEncodingTypeBlock || code == MMEncodingTypeSEL || code == MMEncodingTypePointer
            || code == MMEncodingTypeCString || code == MMEncodingTypeStruct || code == MMEncodingTypeUnion;
        if (!copied)
            continue;
        id value = property->get(*model);
        if (code == MMEncodingTypeStruct || code == MMEncodingTypeUnion) {
            if (value)
                property->set(*copy, value);
        } else {
            property->set(*copy, value);
        }
    }
    return copy;
}

NSUInteger mm_modelHash(const NSObject* model)
{
    if (!model)
        return 0;
    const MMModelMeta* meta = modelMeta(model);
    if (isFoundationValue(model, meta))
        return model->hash();
    NSUInteger value = 0;
    NSUInteger count = 0;
    if (meta) {
        for (const MMModelPropertyMeta* property : meta->allPropertyMetas) {
            if (!comparable(*property))
                continue;
            id propertyValue = property->get(*model);
            value ^= propertyValue ? propertyValue->hash() : 0;
            ++count;
        }
    }
    if (count == 0)
        return reinterpret_cast<NSUInteger>(model);
    return value;
}

bool mm_modelIsEqual(const NSObject* model, const NSObject* other)
{
    if (!model)
        return false;
    if (model == other)
        return true;
    if (!other || !other->isMemberOfClass(model->getClass()))
        return false;
    const MMModelMeta* meta = modelMeta(model);
    if (isFoundationValue(model, meta))
        return model->isEqual(other);
    if (model->hash() != other->hash())
        return false;
    if (!meta)
        return true;
    for (const MMModelPropertyMeta* property : meta->allPropertyMetas) {
        if (!comparable(*property))
            continue;
        if (!dv::equal(property->get(*model), property->get(*other)))
            return false;
    }
    return true;
}

#ifndef DV_MODEL_HAS_CODER
void mm_modelEncodeWithCoder(const NSObject*, NSCoder*) { }
id mm_modelInitWithCoder(NSObject* model, NSCoder*) { return model ? model->self() : nil; }
#endif
