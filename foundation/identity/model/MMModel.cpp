#include "foundation/identity/model/MMModel.h"

#include "foundation/identity/model/internal/MMModelConversion.h"
#include "foundation/identity/model/internal/MMModelMeta.h"
#include "platform/base/NSArray.h"
#include "platform/base/NSData.h"
#include "platform/base/NSDictionary.h"
#include "platform/base/NSNumber.h"
#include "platform/base/NSString.h"
#include "platform/base/NSJSONSerialization.h"

#include <array>

using namespace dv::internal::model;

namespace {

// JSON text (NSString as UTF-8, or NSData) parsed with no options; nil on any failure.
id parseJSON(const id& json)
{
    Ref<NSData> data = dv::as<NSData>(json);
    if (!data)
        if (auto text = dv::as<NSString>(json))
            data = text->dataUsingEncoding(NSUTF8StringEncoding);
    if (!data)
        return nil;
    return NSJSONSerialization::JSONObjectWithData(data, 0, nullptr);
}

// One property from a dictionary by its key, key path or keys.
void setFromDictionary(NSObject& model, const NSDictionary& dictionary, const MMModelPropertyMeta& meta)
{
    if (!meta.hasSetter)
        return;
    id value;
    if (meta.mappedToKeyArray) {
        for (const id& key : *meta.mappedToKeyArray) {
            if (auto name = dv::as<NSString>(key)) {
                value = dictionary.objectForKey(name->utf8());
            } else if (auto components = dv::as<NSArray>(key)) {
                std::vector<Ref<NSString>> path;
                for (const id& component : *components)
                    path.push_back(std::static_pointer_cast<NSString>(component));
                value = MMValueAtKeyPath(dictionary, path);
            }
            if (value)
                break;
        }
    } else if (!meta.mappedToKeyPath.empty()) {
        value = MMValueAtKeyPath(dictionary, meta.mappedToKeyPath);
    } else if (meta.mappedToKey) {
        value = dictionary.objectForKey(meta.mappedToKey->utf8());
    }
    if (value)
        MMModelSetPropertyFromValue(model, value, meta);
}

bool answersYes(const id& answer)
{
    auto number = dv::as<NSNumber>(answer);
    return number && number->boolValue();
}

} // namespace

Ref<NSDictionary> dv::_mm_dictionaryWithJSON(const id& json)
{
    if (!json)
        return nil;
    if (auto dictionary = dv::as<NSDictionary>(json))
        return dictionary;
    if (!dv::as<NSString>(json) && !dv::as<NSData>(json))
        return nil;
    return dv::as<NSDictionary>(parseJSON(json));
}

bool mm_modelSetWithDictionary(NSObject* model, const id& dictionaryObject)
{
    if (!model)
        return false;
    Ref<NSDictionary> dictionary = dv::as<NSDictionary>(dictionaryObject);
    if (!dictionary)
        return false;
    const MMModelMeta* meta = MMModelMeta::metaWithClass(model->getClass());
    if (!meta || meta->keyMappedCount == 0)
        return false;

    if (meta->hasCustomWillTransformFromDictionary) {
        std::array<id, 1> args {dictionary};
        dictionary = dv::as<NSDictionary>(model->performSelector(selModelCustomWillTransformFromDictionary(), args));
        if (!dictionary)
            return false;
    }

    // Walk whichever side is smaller.
    if (meta->keyMappedCount >= dictionary->count()) {
        for (const auto& [key, value] : *dictionary) {
            auto* name = dynamic_cast<const NSString*>(key.get());
            if (!name)
                continue;
            for (const MMModelPropertyMeta* property = meta->propertyForKey(name->utf8()); property; property = property->next)
                if (property->hasSetter)
                    MMModelSetPropertyFromValue(*model, value, *property);
        }
        for (const MMModelPropertyMeta* property : meta->keyPathPropertyMetas)
            setFromDictionary(*model, *dictionary, *property);
        for (const MMModelPropertyMeta* property : meta->multiKeysPropertyMetas)
            setFromDictionary(*model, *dictionary, *property);
    } else {
        for (const MMModelPropertyMeta* property : meta->allPropertyMetas)
            setFromDictionary(*model, *dictionary, *property);
    }

    if (meta->hasCustomTransformFromDictionary) {
        std::array<id, 1> args {dictionary};
        return answersYes(model->performSelector(selModelCustomTransformFromDictionary(), args));
    }
    return true;
}

bool mm_modelSetWithJSON(NSObject* model, const id& json)
{
    return mm_modelSetWithDictionary(model, dv::_mm_dictionaryWithJSON(json));
}

id mm_modelWithDictionary(Class cls, const id& dictionaryObject)
{
    Ref<NSDictionary> dictionary = dv::as<NSDictionary>(dictionaryObject);
    if (!cls || !dictionary)
        return nil;
    const MMModelMeta* meta = MMModelMeta::metaWithClass(cls);
    if (meta && meta->hasCustomClassFromDictionary) {
        std::array<id, 1> args {dictionary};
        if (Class chosen = classFromHookAnswer(cls->performClassSelector(selModelCustomClassForDictionary(), args)))
            cls = chosen;
    }
    id model = cls->createInstance();
    if (model && mm_modelSetWithDictionary(model, dictionary))
        return model;
    return nil;
}

id mm_modelWithJSON(Class cls, const id& json)
{
    return mm_modelWithDictionary(cls, dv::_mm_dictionaryWithJSON(json));
}

Ref<NSMutableArray> mm_modelArrayWithClass(Class cls, const Ref<NSArray>& array)
{
    if (!cls || !array)
        return nil;
    auto models = NSMutableArray::arrayWithCapacity(array->count());
    for (const id& element : *array) {
        if (!dv::as<NSDictionary>(element))
            continue;
        if (id model = mm_modelWithDictionary(cls, element))
            models->addObject(model);
    }
    return models;
}

Ref<NSMutableArray> mm_modelArrayWithClassJSON(Class cls, const id& json)
{
    Ref<NSArray> array = dv::as<NSArray>(json);
    if (!array && (dv::as<NSString>(json) || dv::as<NSData>(json)))
        array = dv::as<NSArray>(parseJSON(json));
    return mm_modelArrayWithClass(cls, array);
}

Ref<NSMutableDictionary> mm_modelDictionaryWithClass(Class cls, const Ref<NSDictionary>& dictionary)
{
    if (!cls || !dictionary)
        return nil;
    auto models = NSMutableDictionary::dictionaryWithCapacity(dictionary->count());
    for (const auto& [key, value] : *dictionary) {
        if (!dv::as<NSString>(key))
            continue;
        if (id model = mm_modelWithDictionary(cls, value))
            models->setObjectForKey(model, key);
    }
    return models;
}

Ref<NSMutableDictionary> mm_modelDictionaryWithClassJSON(Class cls, const id& json)
{
    Ref<NSDictionary> dictionary = dv::as<NSDictionary>(json);
    if (!dictionary && (dv::as<NSString>(json) || dv::as<NSData>(json)))
        dictionary = dv::as<NSDictionary>(parseJSON(json));
    return mm_modelDictionaryWithClass(cls, dictionary);
}
