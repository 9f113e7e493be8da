// Writing models out (JSON objects, data, text), copying, archiving, hashing and comparing them.
#include "foundation/identity/model/MMModel.h"

#include "foundation/identity/model/internal/MMDateFormat.h"
#include "foundation/identity/model/internal/MMModelConversion.h"
#include "foundation/identity/model/internal/MMModelMeta.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSAttributedString.h"
#include "platform/base/NSDate.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNull.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSSet.h"
#include "platform/base/NSString.h"
#include "platform/base/NSException.h"
#include "platform/base/NSJSONSerialization.h"
#include "platform/base/NSURL.h"
#include "platform/base/NSCoder.h"

#include <array>
#include <cmath>

using namespace dv::internal::model;

namespace {

// Deeper than any real reply; a model graph with a cycle stops here instead of overflowing the
// stack.
constexpr int kMaxDepth = 200;

bool isNull(const NSObject* value) { return dynamic_cast<const NSNull*>(value) != nullptr; }

// What the JSON writer accepts: an array or dictionary of strings, finite numbers, null and
// nested containers, with string keys.
bool isValidJSONObject(const NSObject* value)
{
    return value && NSJSONSerialization::isValidJSONObject(std::const_pointer_cast<NSObject>(value->self()));
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
    if (auto* url = dynamic_cast<const NSURL*>(value))
        return url->absoluteString();
    if (auto* attributed = dynamic_cast<const NSAttributedString*>(value))
        return attributed->string();
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
    // Every record of a chain is offered its key (the first with a value keeps it), so a nil
    // property never hides a filled one mapped to the same key.
    for (const auto& entry : meta->mapper)
        for (const MMModelPropertyMeta* property = entry.head; property; property = property->next)
            writeProperty(*result, *value, *property, depth);
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
    // Numbers that JSON cannot hold (NaN, infinity) may sit inside containers: no data then.
    if (!NSJSONSerialization::isValidJSONObject(json))
        return nil;
    return NSJSONSerialization::dataWithJSONObject(json, 0, nullptr);
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

void mm_modelEncodeWithCoder(const NSObject* model, NSCoder* coder)
{
    if (!model || !coder)
        return;
    const MMModelMeta* meta = modelMeta(model);
    if (isFoundationValue(model, meta)) {
        if (dynamic_cast<const NSCoding*>(model))
            model->encodeWithCoder(*coder);
        return;
    }
    if (!meta)
        return;
    for (const MMModelPropertyMeta* property : meta->allPropertyMetas) {
        if (!property->hasGetter)
            continue;
        if (property->isCNumber) {
            if (auto number = MMNumberFromProperty(*model, *property))
                coder->encodeObject(number, property->name);
            continue;
        }
        switch (property->typeCode()) {
        case MMEncodingTypeObject: {
            id value = property->get(*model);
            if (!value)
                break;
            if (property->nsType == MMEncodingNSType::Unknown && !dynamic_cast<const NSCoding*>(value.get()))
                break;
            if (dv::as<NSValue>(value) && !dv::as<NSNumber>(value))
                break;
            coder->encodeObject(value, property->name);
            break;
        }
        case MMEncodingTypeSEL:
            if (id name = property->get(*model))
                coder->encodeObject(name, property->name);
            break;
        case MMEncodingTypeStruct:
        case MMEncodingTypeUnion:
            if (property->isKVCCompatible && property->isStructAvailableForKeyedArchiver) {
                // Only a boxed structure the coder can take; anything else would fail the archive.
                try {
                    if (id value = property->get(*model); value && dynamic_cast<const NSCoding*>(value.get()))
                        coder->encodeObject(value, property->name);
                } catch (const dv::RaisedException&) {
                    // Left out.
                }
            }
            break;
        default: break;
        }
    }
}

id mm_modelInitWithCoder(NSObject* model, NSCoder* coder)
{
    if (!model)
        return nil;
    const MMModelMeta* meta = modelMeta(model);
    if (!coder || isFoundationValue(model, meta) || !meta)
        return model->self();
    for (const MMModelPropertyMeta* property : meta->allPropertyMetas) {
        if (!property->hasSetter)
            continue;
        MMEncodingType code = property->typeCode();
        bool decodes = property->isCNumber || code == MMEncodingTypeObject || code == MMEncodingTypeSEL
            || (property->isKVCCompatible && (code == MMEncodingTypeStruct || code == MMEncodingTypeUnion));
        if (!decodes)
            continue;
        id value = coder->decodeObjectOfClass(NSObject::class_(), property->name);
        if (property->isCNumber) {
            if (auto number = dv::as<NSNumber>(value))
                MMModelSetNumber(*model, number, *property);
        } else if (code == MMEncodingTypeObject) {
            property->set(*model, value);
        } else if (code == MMEncodingTypeSEL) {
            if (auto name = dv::as<NSString>(value))
                property->set(*model, name);
        } else if (value) {
            try {
                property->set(*model, value);
            } catch (const dv::RaisedException&) {
                // Left as it was.
            }
        }
    }
    return model->self();
}
